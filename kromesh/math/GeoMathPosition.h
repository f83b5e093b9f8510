// Point location by slicing, 2D helpers and boxes of GeoMathPosition: a
// class of static functions working on D_3DOT points (two D_3DOT are the
// same point when every coordinate differs by less than 1e-06).
//
// The slicing test keeps its intersection store and working buffers per
// thread: tests on different threads do not meet, and a thread's buffers are
// reused from test to test. A test must not be nested inside another on the
// same thread.
#pragma once

#include <vector>

#include "kromesh/mesh/KroRecords.h"

class C3DSurface;
class C3DEntity;
class C3DBox;
class C3DLine;
struct C3DTriangle;

/// One segment of a slice: start and end point.
struct F_IntsersecLines {
  D_3DOT start;
  D_3DOT end;
};

/// A triangle lying in the slicing plane.
struct F_IntsersecTri {
  D_3DOT pnt[3];
};

/// What a horizontal plane makes of a triangle set: points where it only
/// touches a triangle, segments where it crosses one, triangle edges and
/// whole triangles lying in it.
struct F_Intsersecs {
  std::vector<D_3DOT> interDots;
  std::vector<F_IntsersecLines> interLines;
  std::vector<F_IntsersecLines> onPlaneLines;
  std::vector<F_IntsersecTri> onPlaneTris;
};

class GeoMathPosition {
 public:
  GeoMathPosition() = default;
  GeoMathPosition(const GeoMathPosition&) = default;
  GeoMathPosition& operator=(const GeoMathPosition&) = default;
  /// Empties the calling thread's intersection store.
  virtual ~GeoMathPosition();

  // ==================================================================
  // 2D helpers
  // ==================================================================
  /// -2 for a null polygon or n < 1; 0 when p lies on one of the n - 1
  /// segments poly[i]-poly[i + 1] (Check2dPntAndSeg code 0); otherwise 1
  /// inside, -1 outside by CMathFunCls::PtInPolygon.
  static short IsPntInPolygon(D_DOT* poly, long n, D_DOT& p);
  /// p against the segment a-b: 0 on the closed segment, 1 on the line
  /// beyond b, -1 on the line before a, -2 off the line (end points equal
  /// within 1e-6, unit directions compared within 0.01); -2 for null.
  static short Check2dPntAndSeg(D_DOT* a, D_DOT* b, D_DOT* p);
  /// 0 when |b - a| and |p - a| + |p - b| differ by less than 0.01 (p on
  /// the segment), else -1 (also for null).
  static short Check2dPntAndLine(D_DOT* a, D_DOT* b, D_DOT* p);
  /// 1 inside the triangle, 0 on an edge (cross product below 1e-5), -1
  /// outside (also for null).
  static short IsPntInTri(D_DOT* a, D_DOT* b, D_DOT* c, D_DOT& p);
  /// Both coordinates differ by less than 1e-6.
  static bool IsSame2Dot(D_DOT& a, D_DOT& b);
  /// Fixed stubs kept for the host's old callers: always -2, always true.
  static short GeoCheckDotInPolygon(int n, D_DOT* poly, D_DOT& p);
  static bool IsBigger(D_DOT& a, D_DOT& b);
  static bool IsBigger(D_3DOT& a, D_3DOT& b);

  // ==================================================================
  // Slicing a solid by a horizontal plane, point in solid, boxes
  // ==================================================================
  // A C3DBox is read and written as xmin, xmax, ymin, ymax, zmin, zmax.
  // The point tests slice the solid with the horizontal plane through the
  // point into the thread's intersection store, chain the crossing
  // segments into polygons and decide in plan. The store is emptied when a
  // point test starts and ends, and by the destructor of any object.

  /// p against the closed solid given as points and triangles (0-based):
  /// 1 inside, 0 on its boundary, -1 outside (also outside the solid's box,
  /// for null input, an empty set or a triangle index out of range).
  static short CheckPntAndPolyhWithGeoPlaneSur(KRO::G3D_DVertex* pts, long nPts, C3DTriangle* tris,
                                               long nTris, D_3DOT* p);
  /// The same answer as the overload above, slicing only the triangles
  /// listed in cand (nCand indices into tris, ascending) so that a caller
  /// with a height index pays for the triangles near p only. The caller
  /// guarantees: every corner index in range, box = GetSurBox of the nPts
  /// points, and every triangle left out lies at least 1e-5 above or below
  /// p. -1 for null pts, tris, box or p, or nPts <= 0.
  static short CheckPntAndPolyhWithGeoPlaneSur(const KRO::G3D_DVertex* pts, long nPts,
                                               const C3DTriData* tris, const long* cand, long nCand,
                                               C3DBox* box, D_3DOT* p);
  /// The same for a closed surface; -2 when surf has no points or no
  /// triangles.
  static short CheckPntAndPolyhWithGeoPlaneSur(C3DSurface& surf, D_3DOT& p);
  /// Tries the solid's surfaces in order; the first answer 1 or 0 decides,
  /// else the last surface's answer; -2 for a solid without surfaces.
  static short CheckPntAndPolyhWithGeoPlaneSur(C3DEntity& solid, D_3DOT& p);
  /// The decision from the store's current contents (the solid and plane
  /// only name what was sliced): 0 when p meets a touching point, an edge
  /// lying in the plane or the boundary of an in-plane triangle in plan; 1
  /// inside an odd number of the slice polygons chained from the crossing
  /// segments and the in-plane edges that the surface passes through (met
  /// by triangles from both sides), so a cavity or a hole through the solid
  /// counts as outside; 1 inside an in-plane triangle; else -1. Does not
  /// empty the store.
  static short CheckPntAndPolyhWithGeoPlaneSur(C3DEntity& solid, C3DSurface& plane, D_3DOT& p);
  /// Appends to the store the intersections of the solid's triangles with
  /// the horizontal plane at the height of plane's top. 1 when every
  /// surface was processed; 0 when the z ranges do not overlap (store
  /// untouched) or a surface without triangles ended the work.
  static short CalIntsersecLinesOfSurAndEntity(C3DEntity& solid, C3DSurface& plane);
  /// Intersects the plane at height z with the triangle a, b, c and appends
  /// the result to the store: 4 level triangle in the plane (onPlaneTris),
  /// 3 an edge in the plane (onPlaneLines) or a crossing segment
  /// (interLines), 2 a touching point (interDots), 1 no contact, 0 nothing
  /// recorded (an inconsistent count of meeting points).
  static short CalPlaneAndTriIntersect(double& z, D_3DOT& a, D_3DOT& b, D_3DOT& c);
  /// Removes duplicates from the store's points, in-plane edges and
  /// crossing segments, then copies the four sequences into out (replacing
  /// its contents). Returns 1.
  static long GetIntersecResults(F_Intsersecs& out);
  /// Empties the four sequences of the store.
  static void EmptyIntersecStore();
  /// Keeps the first of points that agree within 1e-5 in x and y (z is not
  /// compared), in order.
  static void DelRepeatElement(std::vector<D_3DOT>& v);
  /// Keeps the first of segments with the same ends (IsSame3Dot) in the
  /// same or the opposite order.
  static void DelRepeatElement(std::vector<F_IntsersecLines>& v);
  /// Chains segments into polylines, appended to polys (closed ones repeat
  /// their first point at the end). 1; 0 for an empty input.
  static short GetInterLinesOfEntityAndSur(std::vector<F_IntsersecLines>& segs,
                                           std::vector<std::vector<D_3DOT>>& polys);
  /// Appends to out a horizontal rectangle at height p.z covering the box
  /// widened by 5 in x and y: 4 points, triangles (0, 1, 2) and (2, 1, 3).
  /// 1, or 0 for a null box.
  static long GetPlaneSur(C3DBox* box, D_3DOT& p, C3DSurface& out);
  /// Bounding box of every point of every surface; without points the box
  /// stays inverted at +/-1.79769313486232e+307.
  static void GetEntityBox(C3DEntity& solid, C3DBox& box);
  static void GetSurBox(C3DSurface& surf, C3DBox& box);
  /// Bounding box of the n points; box untouched for null or n <= 0.
  static void GetSurBox(KRO::G3D_DVertex* pts, long n, C3DBox& box);
  /// 1 strictly inside the box, 0 on its surface, -1 outside (also null).
  static short CheckPntAndC3DBox(C3DBox* box, D_3DOT& p);
  /// Every coordinate differs by less than 1e-6.
  static bool IsSame3Dot(D_3DOT& a, D_3DOT& b);
  /// Display hooks for debugging; they do nothing.
  static void DisPlayC3DSur(C3DSurface& surf);
  static void DisPlayd3dot(D_3DOT& p);
  static void DisPlayC3DLine(C3DLine& line);

 private:
  // The decision of the (solid, plane, p) overload.
  static short DecideFromStore(const D_3DOT& p);
};
