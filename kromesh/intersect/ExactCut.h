// Exact decisions of the intersection engine (internal; no CGAL here).
//
// A cut point is named by what produces it: the smallest piece (vertex,
// edge or face) of each of the two triangles that holds it. That name is
// the same whichever model is cut, and the point's coordinates are built
// from the name alone, so both models of a cut get bit-identical points.
// Every decision (side of a plane, inside a triangle, on an edge) is an
// exact orientation test; only the coordinates are rounded.
#pragma once

#include <cstddef>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

namespace kroexact {

/// A vertex, edge or face of a triangle, as its 1 to 3 corners sorted
/// (x, then y, then z), so that a piece shared by two triangles or two
/// meshes has one name.
struct Simplex {
  int n = 0;
  KRO::G3D_DVertex p[3];
};

/// The name of a cut point: two simplices in a fixed order.
struct PntKey {
  Simplex s[2];
};
bool operator==(const PntKey& a, const PntKey& b);
struct PntKeyHash {
  size_t operator()(const PntKey& k) const;
};

/// One point of a triangle pair: its name, its coordinates and where on
/// the first (cut) triangle it lies: corners c0 (and c1 for an edge), -1
/// for unused; both -1 inside the face.
struct PairPnt {
  PntKey key;
  KRO::G3D_DVertex at;
  int c0 = -1, c1 = -1;
};

/// False when the triangle's corners are collinear (exactly).
bool IsProperTri(const KRO::G3D_DVertex* t);

/// Points where triangle b meets triangle a, one per name. Returns 0 for
/// triangles in general position: out then holds at most the two ends of
/// their common segment. Returns 1 when both lie in one plane: out holds
/// the corners of each inside the other and the crossings of their edges,
/// and segs (pairs of positions in out) the stretches of b's edges inside
/// a, which bound the overlap on a; facing is 1 when the two face the same
/// way, -1 when they face each other.
int PairPoints(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b, std::vector<PairPnt>& out,
               std::vector<int>* segs = nullptr, int* facing = nullptr);

/// The first edge e (corner e to e + 1) of t that p lies on or beyond in
/// the plane the triangle is split in (the two coordinates its normal
/// faces least), -1 when p lies strictly inside. A point inside t by
/// name may round to just outside it.
int EdgeBeyond(const KRO::G3D_DVertex* t, const KRO::G3D_DVertex& p);

/// True when p, projected along the normal of t, lies inside t or on its
/// border (exact in the projection).
bool InTriangleProjected(const KRO::G3D_DVertex* t, const KRO::G3D_DVertex& p);

/// Side of p against the plane of t, exactly: 1 on the side its normal
/// (corners counter-clockwise) points to, -1 on the other, 0 in the plane.
int Orient(const KRO::G3D_DVertex* t, const KRO::G3D_DVertex& p);

/// Where a point lies on the cut triangle (indices into its corners).
struct FacePnt {
  long id;     // caller's number of the point
  int c0, c1;  // as PairPnt
  KRO::G3D_DVertex at;
};

/// Re-triangulates the triangle with corners v (numbered id0..id2 by the
/// caller) and the points pts, with the segments segs (pairs of caller
/// numbers) as edges and every point on an edge splitting that edge. The
/// pieces face like the triangle. Points the triangulation adds where
/// segments cross are appended to added (with the numbers firstNew,
/// firstNew + 1, ...). Writes caller-numbered triangles to tris, and to
/// cutEdges (when given) one triple (end, end, k) per edge of the result
/// that lies on segment k (a segment through other points comes out as
/// several edges); false when the triangulation fails.
bool SplitFace(const KRO::G3D_DVertex* v, const long* ids, const std::vector<FacePnt>& pts,
               const std::vector<long>& segs, long firstNew, std::vector<KRO::G3D_DVertex>& added,
               std::vector<C3DTriData>& tris, std::vector<long>* cutEdges = nullptr);

}  // namespace kroexact
