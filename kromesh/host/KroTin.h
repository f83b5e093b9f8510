// Constrained triangulator of the host's TIN library.
//
// Four operations, used in this order: create a triangulation over points
// and constraint segments, run it and read the output counts, fetch the
// output records, release the handle. The triangulation is made in the
// plane of x and y; z is carried along.
//
// Output guarantees the intersection engine relies on:
// - output point i (1-based) for i = 1..n is input point i - 1, with its
//   coordinates unchanged and its flag byte set; points the triangulator
//   adds where constraints cross follow from n + 1 on, their z interpolated
//   along the first constraint that carries them;
// - triangles are numbered from 1 and name their vertices by output point
//   number (1-based), counter-clockwise in x and y;
// - every constraint segment is a union of triangle edges;
// - record 0 of both caller buffers is never written.
// Input points repeated exactly (same x and y) are one vertex of the
// triangulation; each still comes back as its own output point, and the
// triangles use the first of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kromesh/mesh/KroRecords.h"

#pragma pack(push, 1)
/// Output point, 28 bytes: x, y, z, a 16-bit attribute (always 0), the
/// usable flag (nonzero = usable) and the added mark (1 for a point the
/// triangulator inserted, 0 for a given one).
struct KroTinPntStrcT {
  double x, y, z;
  uint16_t attr;
  uint8_t flag;
  uint8_t added;
};

/// Output triangle, 26 bytes: three 1-based vertex numbers, three 1-based
/// neighbour triangle numbers across the edges v0-v1, v1-v2, v2-v0 (0 =
/// none), the flag byte (1 on output; callers may clear it to reject the
/// triangle) and one reserved byte.
struct KroTinTriStrcT {
  int32_t v[3];
  int32_t adj[3];
  uint8_t flag;
  uint8_t reserved;
};
#pragma pack(pop)

/// Constraint segment: two 0-based positions in the input point array.
struct KroTinSegStrcT {
  int32_t a, b;
};

static_assert(sizeof(KroTinPntStrcT) == 28, "TIN output point record is 28 bytes");
static_assert(sizeof(KroTinTriStrcT) == 26, "TIN output triangle record is 26 bytes");
static_assert(sizeof(KroTinSegStrcT) == 8, "TIN constraint segment is two 32-bit integers");
static_assert(offsetof(KroTinPntStrcT, z) == 16 && offsetof(KroTinPntStrcT, flag) == 26 &&
                  offsetof(KroTinTriStrcT, v) == 0 && offsetof(KroTinTriStrcT, flag) == 24,
              "TIN record fields in the exchange order");

/// Opaque triangulation handle.
struct KroTinObj;
typedef KroTinObj* KroTinHandle;

/// Status values of the run and fetch operations (below 1 = failure).
constexpr int16_t KRO_TIN_OK = 1;
constexpr int16_t KRO_TIN_NO_TRIANGLE = 0;    // fewer than 3 distinct points, or all collinear
constexpr int16_t KRO_TIN_BAD_ARGUMENT = -1;  // null handle or null output
constexpr int16_t KRO_TIN_FAILED = -2;        // the triangulation could not be built
constexpr int16_t KRO_TIN_BUFFER_SMALL = -3;  // the caller's buffers cannot hold the output
constexpr int16_t KRO_TIN_NOT_RUN = -4;       // fetch before a successful run

/// Creates a triangulation over pntNum points and segNum constraint
/// segments; both arrays are copied, the caller keeps them. reserved must
/// be null; opt1 and opt2 are reserved (pass 0); constrained nonzero
/// inserts the segments as constraints (0 ignores them). Returns null for
/// a null point array, pntNum < 1, negative segNum, or a null segment
/// array with segNum > 0. The caller releases the handle with
/// KroTinRelease.
KroTinHandle KroTinCreate(const void* reserved, const KRO::G3D_DVertex* pnts, long pntNum,
                          const KroTinSegStrcT* segs, long segNum, long opt1, long opt2,
                          long constrained);

/// Runs the triangulation and writes the output point and triangle counts.
/// KRO_TIN_OK on success; KRO_TIN_BAD_ARGUMENT for a null handle or count
/// pointer; KRO_TIN_NO_TRIANGLE when the points span no triangle;
/// KRO_TIN_FAILED when a coordinate is not finite, a segment names a point
/// out of range, or the build fails. A segment whose two ends are one
/// vertex (same index, or points repeated exactly) is ignored. On failure
/// both counts are 0.
int16_t KroTinRun(KroTinHandle h, long* pntNum, long* triNum);

/// Copies the output of the last successful run into the caller's buffers
/// from record 1 on. pntCap and triCap are the buffers' sizes in records,
/// record 0 included. KRO_TIN_OK; KRO_TIN_BAD_ARGUMENT for a null handle or
/// buffer; KRO_TIN_NOT_RUN before a successful run; KRO_TIN_BUFFER_SMALL
/// (nothing written) when count + 1 exceeds a capacity.
int16_t KroTinFetch(KroTinHandle h, KroTinPntStrcT* pnts, long pntCap, KroTinTriStrcT* tris,
                    long triCap);

/// Releases the handle; null is accepted. The handle is not used again.
void KroTinRelease(KroTinHandle h);
