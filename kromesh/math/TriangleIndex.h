// Spatial index over one triangle set for the point-against-surface tests.
//
// The plain tests (CMathFunCls::Check3dPntAndKroSurf and friends) scan every
// triangle for the nearest centroid and again for every visibility check, so
// classifying a whole cut mesh costs (cut triangles) x (cutter triangles).
// CTriangleIndex answers the same two questions from two bounding-volume
// trees and gives exactly the plain tests' answers: the same triangle for
// the nearest centroid (ties included) and the same crossing verdict, since
// every candidate it cannot rule out is tested with the very same
// line_tri / Check3dPntAndSeg calls.
//
// Build keeps its own copy of the points and triangles: the index answers
// for the set as it was at Build, whatever later happens to the caller's
// buffers. BuildView reads the caller's buffers instead. Per triangle of a
// closed mesh: about 44 bytes for flags, two trees of float boxes and the
// centroids, 36 more for Build's copies; the build needs 28 bytes more for a
// while.
// Queries are const and touch no shared state.
#pragma once

#include <cstdint>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

class CTriangleIndex {
 public:
  /// An empty index (every query answers "none").
  CTriangleIndex();
  ~CTriangleIndex();
  CTriangleIndex(const CTriangleIndex&);
  CTriangleIndex& operator=(const CTriangleIndex&);
  CTriangleIndex(CTriangleIndex&&) noexcept;
  CTriangleIndex& operator=(CTriangleIndex&&) noexcept;

  /// Builds over the vertex-buffer layout (0-based C3DTriData corners),
  /// replacing any earlier content; the buffers stay the caller's and are
  /// not read after the call. A triangle with a corner outside 0..nVerts-1
  /// is kept as unreadable (never found, never cuts), as the plain tests
  /// skip it. Returns 1; 0 for null buffers or nVerts, nTris <= 0 (the index
  /// is left empty); -1 when memory runs out or nTris exceeds INT32_MAX / 2
  /// (the index is left empty).
  long Build(const KRO::G3D_DVertex* verts, long nVerts, const C3DTriData* tris, long nTris);
  /// Build without copying: the index reads the caller's points and
  /// triangles while it answers, so they must stay alive and unchanged until
  /// the next Build or Clear (for a caller that holds those buffers anyway).
  /// Same results and codes as Build.
  long BuildView(const KRO::G3D_DVertex* verts, long nVerts, const C3DTriData* tris, long nTris);
  /// Build over the point/net layout (1-based KroNetStrcT point numbers):
  /// the index then answers as the plain point/net tests would.
  long Build(const KroPntStrcT* pts, long nPts, const KroNetStrcT* nets, long nNets);
  /// Empties the index.
  void Clear();

  /// True when Build has not succeeded since construction or Clear.
  bool IsEmpty() const { return m_triCount == 0; }
  /// Number of triangles given to Build (unreadable ones included).
  long GetTriCount() const { return m_triCount; }
  /// True when every triangle given to Build could be read.
  bool AllReadable() const { return m_unreadableCount == 0; }

  /// Copies the corners of triangle i into abc[0..2] and returns true; false
  /// (abc untouched) for an unreadable triangle, an index out of range or a
  /// null abc.
  bool GetTriangle(long i, KRO::G3D_DVertex* abc) const;
  /// The centroid of triangle i as GetBaryOfTri computes it; false as for
  /// GetTriangle.
  bool GetCentroid(long i, KRO::G3D_DVertex* g) const;

  /// The well-shaped triangle (IsThinPlateTriangle -1) whose centroid is
  /// nearest to p by CalDist3dDot, the lowest index among equal distances,
  /// counting only distances below 1.79769313486232e+307; -1 when none
  /// qualifies or p is null. seed: a triangle whose centroid is likely
  /// near (the answer for a point close by) to measure first; any value is
  /// accepted and only changes the time taken.
  long FindNearestCentroid(const KRO::G3D_DVertex* p, long seed = -1) const;

  /// 1 when some readable triangle other than skip cuts the closed segment
  /// p-q by CheckSegAndOtherKroSurf's rule (line_tri hit, Check3dPntAndSeg
  /// code 0), else 0 (also for a null p or q). hint (may be null): in, a
  /// triangle to test first (any value is accepted; it only changes the
  /// order of the tests, never the answer); out, the triangle found cutting
  /// when the answer is 1, unchanged otherwise.
  long CheckSegAndOther(long skip, const KRO::G3D_DVertex* p, const KRO::G3D_DVertex* q,
                        long* hint = nullptr) const;

 private:
  enum : uint8_t { kReadable = 1, kSliver = 2 };
  // One node of a bounding-volume tree stored depth first: a leaf holds
  // items [first, first + count); an inner node's left child follows it and
  // its right child is at `right`. The box is kept in floats rounded
  // outwards: it can only grow, so it still rules out only what it must.
  struct Node {
    float lo[3], hi[3];
    int32_t first;
    int32_t count;  // 0 for an inner node
    int32_t right;
  };

  long IndexOwnCopies();
  // Flags and both trees over the given buffers, which become the ones read.
  long Index(const KRO::G3D_DVertex* verts, long nVerts, const C3DTriData* tris, long nTris);
  long BuildFromTris();
  // Corner k of a readable triangle i, and its centroid (GetBaryOfTri's).
  const KRO::G3D_DVertex& P(long i, int k) const { return m_viewPts[m_viewTris[i].v[k]]; }
  KRO::G3D_DVertex Centroid(long i) const;
  bool Readable(long i) const { return m_flags[static_cast<size_t>(i)] & kReadable; }
  bool SegmentCut(long tri, long skip, const KRO::G3D_DVertex& p, const KRO::G3D_DVertex& q) const;

  long m_triCount;
  long m_unreadableCount;
  // The points and triangles read: the caller's (BuildView) or m_pts and
  // m_ownTris (Build, 0-based).
  const KRO::G3D_DVertex* m_viewPts = nullptr;
  const C3DTriData* m_viewTris = nullptr;
  std::vector<KRO::G3D_DVertex> m_pts;
  std::vector<C3DTriData> m_ownTris;
  std::vector<uint8_t> m_flags;
  // Segment tree: boxes of the readable triangles with finite corners,
  // widened by what line_tri and Check3dPntAndSeg tolerate.
  std::vector<Node> m_segNodes;
  std::vector<int32_t> m_segItems;
  // Readable triangles with a non-finite corner: tested on every query.
  std::vector<long> m_unboxed;
  // Nearest tree: centroids of the readable well-shaped triangles with a
  // finite centroid.
  std::vector<Node> m_cenNodes;
  std::vector<int32_t> m_cenItems;
  std::vector<KRO::G3D_DVertex> m_cenPts;  // the centroid of each item, in the same order
};
