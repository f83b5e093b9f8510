// Collision and ray processing over mesh OBB wrappers.
//
// CObbtObjProcc collides two wrappers and keeps the colliding triangle pairs
// for the intersection engine; it also answers ray questions against one
// wrapper's mesh: which triangles a ray crosses, whether a point lies inside
// a closed solid (parity of ray crossings), which way a solid's triangle
// faces, and a quick inside test against the solid's boxes.
//
// One processor belongs to one thread at a time; different processors may
// collide on different threads at once. A large collision spreads over
// SetThreadCount threads with the one-thread result (pairs sorted by ids).
// The ray members and CheckPntAndOBB collide on the processor they are
// called on, so they replace its pairs and wrappers.
#pragma once

#include <type_traits>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

class CObbtBase;

/// One colliding pair: a triangle of the first wrapper's mesh (the cut
/// model) and a triangle of the second wrapper's mesh (the cutting model).
struct tcTriCutPair {
  long triIndex1;
  long triIndex2;
};
static_assert(std::is_trivially_copyable<tcTriCutPair>::value, "pairs are copied as raw memory");

/// Most direction changes the point-in-solid test makes before it gives up
/// (each change tilts the ray when it met an edge or a vertex).
constexpr int OBBT_MAX_DIR_RESTARTS = 24;
/// Result of the point-in-solid tests when every tried ray met an edge or a
/// vertex, so the parity could not be decided.
constexpr long OBBT_PNT_UNDECIDED = -2;

class CObbtObjProcc {
 public:
  /// No pairs, no wrappers.
  CObbtObjProcc();
  /// Copies take their own copy of the pairs (the wrappers stay shared,
  /// they are not owned).
  CObbtObjProcc(const CObbtObjProcc& other);
  CObbtObjProcc& operator=(const CObbtObjProcc& other);
  ~CObbtObjProcc();

  /// Collects every colliding triangle pair of a's and b's trees; a is the
  /// cut model, b the cutting model. R1, R2 (row-major 3 x 3) and T1, T2
  /// place the models (x -> s * R * x + T); they are used only when all four
  /// are given, else both placements are the identity. The pairs are copied
  /// out of the OBB core at once. Returns 0 with no pairs when a or b is
  /// null or the two (placed) mesh boxes are disjoint on every axis; else
  /// the status of the query: 0, 2 (contact list out of memory, the pairs
  /// found so far are kept) or 3 (a tree not built; no pairs).
  long ObbtCollide(CObbtBase* a, CObbtBase* b, double* R1, double* R2, double* T1, double* T2,
                   double s1, double s2);
  /// Threads one collision may use, for the whole library: 0 (the default)
  /// for every core, 1 for the calling thread only; negative counts as 0.
  /// The pairs found and their order do not depend on it.
  static void SetThreadCount(int threads);
  /// The threads a collision uses now (0 resolved to the core count).
  static int GetThreadCount();

  /// Hands out the pairs and their count of the last collision; the array
  /// stays owned by the processor and valid until its next collision. A
  /// null output is skipped. Returns 1. The array is null when there are
  /// no pairs, or when it could not be allocated (the count then stays).
  long GetCollideTriPair(tcTriCutPair** pairs, long* count);
  /// The wrappers of the last collision (not owned); null before the first
  /// one, and the second is null after a ray member (its one-triangle
  /// wrapper no longer exists).
  CObbtBase* GetFirstObbt() const { return m_pObbt1; }
  CObbtBase* GetSecondObbt() const { return m_pObbt2; }
  /// Result of the mesh-box test of the last collision (1 overlap, 0 not).
  long GetAABBOverlap() const { return m_aabbOverlap; }

  /// Distinct triangles of solid crossed by the line through origin along
  /// dir, found with a thin triangle standing for the ray from origin; hits
  /// on the ray, beyond its far end and behind the origin all count, and
  /// triangles crossed at one point count once (the first in contact order
  /// stays). tris needs room for one entry per triangle of the solid.
  /// Returns 1 (count may be 0); -1 when an argument is null or dir is the
  /// zero vector; 0 when memory
  /// ran out. count is 0 whenever the result is not 1 (when count is given).
  long _FindCollideTrisWithRay(CObbtBase* solid, KRO::G3D_DVertex* origin, KRO::G3D_DVertex* dir,
                               long* tris, long* count);
  /// Point in a closed solid by the parity of the crossings of an upward
  /// ray (only crossings ahead of the point count). A ray through an edge
  /// or a vertex is tilted by (0.15, 0.25, 0) and cast again, at most
  /// OBBT_MAX_DIR_RESTARTS times. 1 inside, or on the surface with
  /// onSurface true; -1 outside (also for a solid without triangles); 0 for
  /// a null solid or point, a wrapper without a model or an allocation
  /// failure; OBBT_PNT_UNDECIDED when every ray met an edge or a vertex.
  long _CheckPntAndPolyhWithObbt(CObbtBase* solid, KRO::G3D_DVertex* pnt, bool& onSurface);
  /// Facing of triangle tri of a closed solid: 1 when its normal points out
  /// of the solid (odd number of crossings ahead of its centre along the
  /// normal, the triangle itself included), -1 when it points in; 0 for a
  /// null or empty solid, tri out of range or an allocation failure.
  long CheckTriDirOfModel(CObbtBase* solid, long tri);
  /// Turns every inward-facing triangle of a closed point/net solid outward
  /// in place: its first two point numbers are swapped, and its second and
  /// third neighbour numbers with them so that they still follow the edge
  /// order. Triangles whose facing cannot be decided are left alone.
  /// Returns 1, or -1 when pnts or nets is null.
  long AdjustTriDirOfPolyh(KroPntStrcT* pnts, long pntNum, KroNetStrcT* nets, long netNum);
  /// Quick inside test of pnt against solid: -1 at once when pnt.x is not
  /// strictly inside box's x range while y and z are strictly inside
  /// theirs; otherwise 1 when the triangle from pnt to the solid's root box
  /// centre (and pnt + (1, 1, 0)) crosses no triangle of the solid, -1 when
  /// it crosses one. 0 when solid, pnt or box is null or the solid's tree is
  /// not built. flag is set to false.
  long CheckPntAndOBB(CObbtBase* solid, KRO::G3D_DVertex* pnt, tctagD3ConvexBox* box, bool& flag);

 private:
  // Collides solid with the thin triangle standing for the ray from origin
  // along dir: the solid's triangles met, in contact order, into cands, and
  // the ray's far end. 1; -1 for a zero dir. Throws std::bad_alloc.
  long RayCandidates(CObbtBase* solid, const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                     KRO::G3D_DVertex& farEnd, std::vector<long>& cands);

  long m_pairCount;
  std::vector<tcTriCutPair> m_pairs;
  CObbtBase* m_pObbt1;
  CObbtBase* m_pObbt2;
  long m_aabbOverlap;
};
