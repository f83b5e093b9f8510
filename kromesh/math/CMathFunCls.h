// Geometry utilities of the library: one class of static functions.
//
// The members are defined in several source files of kromesh/math, one per
// topic (predicates, rays, 2D polygons, area and volume, clean-up, texture,
// polylines, intersection helpers, tree queries). Each topic keeps its
// declarations in its own block below.
//
// Conventions: tolerances are absolute and compared per coordinate and
// strictly (a difference equal to the tolerance counts as different); a
// plane is double[4] (a, b, c, d) of a*x + b*y + c*z + d = 0.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "kromesh/math/KroVolumeInfo.h"
#include "kromesh/mesh/KroRecords.h"

class C3DSurface;
class C3DEntity;
class C3DBox;
class CObbtBase;
class KroSimpleMesh;
class CTriangleIndex;

class CMathFunCls {
 public:
  CMathFunCls() = delete;

  // ==================================================================
  // Points, segments, triangles and planes
  // ==================================================================
  // ---- Vector basics ------------------------------------------------
  // 3D points and vectors are KRO::G3D_DVertex or bare double[3] (x, y, z);
  // functions taking `double* const` accept either. Pointers are never owned
  // and, unless a line says otherwise, must not be null.

  /// Divides v (3 doubles) by its length in place. A zero vector is left
  /// unchanged (it has no direction), so the result never holds NaN.
  static void Normalise3D(double* const v);
  /// Divides the 2D vector v by its length; a length below 1e-6 counts as 1,
  /// so a near-zero vector is left unchanged.
  static void Normalise2D(double* const v);
  /// out = a x b (out may alias a or b); returns out.
  static KRO::G3D_DVertex* Vec3dCross(KRO::G3D_DVertex* out, KRO::G3D_DVertex* a,
                                      KRO::G3D_DVertex* b);
  /// Euclidean distance of two 3D points.
  static double CalDist3dDot(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b);
  /// Euclidean distance of two 3D points (const variant).
  static double _tcGM_CalcDist(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b);
  /// Euclidean distance of two 2D points.
  static double CalDist2dDot(D_DOT* a, D_DOT* b);
  /// Angle between a and b in radians, in [0, pi]; 0 when either is a zero
  /// vector. The cosine is clamped to [-1, 1] so parallel vectors give 0 or pi.
  static double CalVectorsAngle(KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b);
  /// out = (a + b + c) / 3, the centroid.
  static void GetBaryOfTri(double* const a, double* const b, double* const c, double* const out);
  /// Area of the triangle's projection on the xy plane (shoelace, unsigned).
  static double GetTriArea(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* c);
  /// *area = the 3D area by Heron's formula; 0 when s(s-l1)(s-l2)(s-l3) is
  /// not positive (degenerate triangle).
  static void GetTriArea(double* const a, double* const b, double* const c, double* area);
  /// Area of the projection on the xy plane of the quadrilateral a, b, c, d.
  static double GetQuadArea(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* c,
                            KRO::G3D_DVertex* d);
  /// n = normalise((b - a) x (c - b)); a degenerate triangle gives (0, 0, 0).
  static void GetTriangleNormal(double* const a, double* const b, double* const c, double* const n);
  /// *z = z component of (b - a) x (c - b), not normalised (twice the signed
  /// xy area; positive for a counter-clockwise triangle seen from +z).
  static void Get2dTriNorm(double* const a, double* const b, double* const c, double* z);
  /// Largest of a, b, c; which = 0, 1 or 2 for the winner. Ties go to the
  /// later argument.
  static double getMaxVal(double a, double b, double c, long& which);
  /// out = unit vector from p to its foot on the line through q with
  /// direction dir. A zero dir takes q as the foot; p on the line gives a
  /// zero vector. Returns 1.
  static long GetUnitVecToALin(KRO::G3D_DVertex* p, KRO::G3D_DVertex* q, KRO::G3D_DVertex* dir,
                               KRO::G3D_DVertex* out);
  /// out = the point of line a-b at height z (x, y interpolated linearly in
  /// z, out.z = z). A horizontal line (a.z == b.z) gives a's x and y.
  static void GetPnt(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, double z, KRO::G3D_DVertex* out);
  /// Fills m with the rotation of the quaternion q = (x, y, z, w) for row
  /// vectors, normalising q on the way (a zero q gives the identity).
  /// Returns m.
  static auto MatrixRotationQuaternion(double (*const m)[4], double* q) -> double (*)[4];
  /// out = (p, 1) * m divided by its fourth component (kept as is when that
  /// component is 0). Returns out.
  static KRO::G3D_DVertex* TransformCoor(KRO::G3D_DVertex* out, KRO::G3D_DVertex* p,
                                         double (*const m)[4]);
  /// out = normalise((v, 0) * m). Returns out.
  static KRO::G3D_DVertex* TransformVector(KRO::G3D_DVertex* out, KRO::G3D_DVertex* v,
                                           double (*const m)[4]);

  // ---- Point equality ---------------------------------------------------
  /// True when every coordinate differs by less than 1e-6.
  static bool IsSame3DDot(KRO::G3D_DVertex a, KRO::G3D_DVertex b);
  /// True when every coordinate differs by less than eps.
  static bool IsSame3DDot_Prec(KRO::G3D_DVertex a, KRO::G3D_DVertex b, double eps);
  /// True when every coordinate differs by less than 0.01.
  static bool IsSame3DDot_2Bit(KRO::G3D_DVertex a, KRO::G3D_DVertex b);
  /// 1 when x and y differ by less than 1e-7 each, else 0.
  static long IsSame2DDot(D_DOT* a, D_DOT* b);

  // ---- Degenerate triangles -------------------------------------------
  /// False for a degenerate triangle: two vertices within 1e-6, no positive
  /// 3D area, or edge directions at p0 parallel within 1e-6 per component
  /// (collinear). Size alone never makes a triangle degenerate.
  static bool IsLegalTri(KRO::G3D_DVertex* p0, KRO::G3D_DVertex* p1, KRO::G3D_DVertex* p2);

  // ---- Planes ------------------------------------------------------------
  /// coef = plane through a, b, c with unit normal normalise((b-a) x (c-a))
  /// and d = -normal.a; coefficients below 1e-10 in magnitude become 0.
  /// A degenerate triangle gives (0, 0, 0, 0). Returns 1.
  static long GetPanelCoef(double* const a, double* const b, double* const c, double* const coef);
  /// Plane z = coef[0] + coef[1]*x + coef[2]*y through a, b, c. Returns 1,
  /// or 0 (coef untouched) when the xy determinant is below 1e-6 (vertical
  /// or degenerate triangle).
  static short GetZPlane(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* c,
                         double* coef);
  /// a*x + b*y + c*z + d (not divided by the normal's length); a value below
  /// 0.001 in magnitude is returned as exactly 0.
  static float CalcSignedDistPntPlane(const double* const p, const double* const coef);
  /// Side of p: 1 positive side, 0 within 0.001 of the plane, -1 negative
  /// side; -1 also when p or coef is null.
  static long Check3dPntAndPanel(KRO::G3D_DVertex* p, double* coef);
  /// Check3dPntAndPanel against the plane GetPanelCoef(a, b, c).
  static long Check3dPntAndPanelF(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                                  KRO::G3D_DVertex* c);
  /// True when abs(a*x + b*y + c*z + d) < 0.001.
  static bool PntIsOnPanel(double* p, double* coef);
  /// *dist = unsigned distance of p to the plane coef (a plane with a zero
  /// normal gives abs(d)).
  static void GetDistOfPntToPanel(KRO::G3D_DVertex* p, double* coef, double* dist);
  /// *dist = signed distance of p to the plane GetPanelCoef(a, b, c),
  /// positive on the side the normal points to.
  static void GetDistOfPntToPanel(double* const p, double* const a, double* const b,
                                  double* const c, double* dist);
  /// out = foot of p on the plane coef; *t (when t is not null) = the
  /// parameter along the normal, stored as 0 below 1e-6. A zero normal gives
  /// out = p. Returns 1, or -1 when coef is null.
  static long GetPanelProjDot(KRO::G3D_DVertex* p, double* coef, KRO::G3D_DVertex* out, double* t);
  /// out = p - t*dir (undoes GetPanelProjDot). Returns 1, or -1 when dir is
  /// null.
  static long GetOrgDotViaProj(KRO::G3D_DVertex* p, double* dir, double t, KRO::G3D_DVertex* out);
  /// Side of p against triangle a, b, c by the angle between the normal and
  /// the direction from the centroid: 1 in front, -1 behind, 0 in the plane
  /// (within 1e-7 degrees of 90). A point at the centroid, or a degenerate
  /// triangle, gives 0.
  static long CheckPntToSurfPos(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                                KRO::G3D_DVertex* c);
  /// 1 when n.v > 0, else -1.
  static long GetDotPosToPolyh(KRO::G3D_DVertex* n, KRO::G3D_DVertex* v);
  /// 1 when GetTriangleNormal(a, b, c).v > 0, else -1.
  static long GetDotPosToPolyh(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* c,
                               KRO::G3D_DVertex* v);
  /// Negates v in place when its angle to ref exceeds 1.5707963 radians.
  static void CheckTriDir(KRO::G3D_DVertex* v, KRO::G3D_DVertex* ref);
  /// True when the unit normals of the two triangles agree per component
  /// within 1e-8 (parallel planes, same orientation; offsets not compared).
  static bool IsOnOneSurf_Tri_Tri(KRO::G3D_DVertex& a1, KRO::G3D_DVertex& b1, KRO::G3D_DVertex& c1,
                                  KRO::G3D_DVertex& a2, KRO::G3D_DVertex& b2, KRO::G3D_DVertex& c2);

  // ---- Point against segment --------------------------------------------
  /// p against the segment a-b: 0 on the closed segment (or within 1e-6 of
  /// an end), 1 on the line beyond b, -1 on the line before a, -2 off the
  /// line. Directions are compared per component within 1e-5.
  static long Check3dPntAndSeg(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* p);
  /// p against the segment a-b: -1 null argument, 0 p on an end (1e-6),
  /// 1 strictly inside, 2 off the line, 3 on the line outside nearer to a
  /// (or equally near), 4 on the line outside nearer to b.
  static long _tcGM_CheckPntInLineSeg(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a,
                                      KRO::G3D_DVertex* b);
  /// 1 when p lies strictly inside the 3D segment (tolerance 0.0001), else
  /// 0 (an endpoint included).
  static short _tcGeoMath_CheckPntInLineSeg(double x1, double y1, double z1, double x2, double y2,
                                            double z2, double px, double py, double pz);
  /// 2D: 1 p on the line outside the segment, 0 p on an endpoint (0.0001),
  /// -1 otherwise (inside the segment or off the line).
  static short _tcGeoMath_CheckPntInLineSegSec(double x1, double y1, double x2, double y2,
                                               double px, double py);

  // ---- Point in triangle -------------------------------------------------
  /// 1 when p lies in the closed triangle a, b, c (angle sum within 1e-5
  /// degrees of 360), else 0. With pos given: a p within 1e-6 per axis of a,
  /// b or c is moved exactly onto that vertex with *pos = 1, 2 or 3;
  /// otherwise *pos = 1, 2, 3 for p on edge a-b, b-c, c-a and 0 strictly
  /// inside. pos may be null (no vertex test, no snapping; a p exactly on a
  /// vertex then counts as inside).
  static long IsPntInTriPanel(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                              KRO::G3D_DVertex* c, long* pos);
  /// Identical to IsPntInTriPanel.
  static long IsPntInTriPanel2(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                               KRO::G3D_DVertex* c, long* pos);

  // ---- Lines -----------------------------------------------------------
  /// Closest points pa = p1 + mua(p2 - p1), pb = p3 + mub(p4 - p3) of the
  /// lines p1-p2 and p3-p4. Returns 1, or 0 (outputs untouched) when a line
  /// is degenerate (1e-6) or the lines are parallel.
  static int _tcGM_LineLineIntersect(const KRO::G3D_DVertex* p1, const KRO::G3D_DVertex* p2,
                                     const KRO::G3D_DVertex* p3, const KRO::G3D_DVertex* p4,
                                     KRO::G3D_DVertex* pa, KRO::G3D_DVertex* pb, double* mua,
                                     double* mub);
  /// True, with out set, when the 3D segments a1-a2 and b1-b2 meet (ends
  /// included); skew or parallel segments give false and leave out.
  static bool CalTwoLineInsercDot(KRO::G3D_DVertex& a1, KRO::G3D_DVertex& a2, KRO::G3D_DVertex& b1,
                                  KRO::G3D_DVertex& b2, KRO::G3D_DVertex& out);
  /// 2D intersection (x, y of each point) of the segments a1-a2 and b1-b2,
  /// ends included; true with out[0..1] set when out is not null. Degenerate
  /// or parallel segments give false.
  static bool LinLinIntsect(double* const a1, double* const a2, double* const b1, double* const b2,
                            double* out);

  // ---- Boxes -------------------------------------------------------------
  /// Bounding box of the first n points; with n <= 0 or null pts the box
  /// stays empty (minima 3.402823e+38, maxima -3.402823e+38).
  static void Get3DConvexBox(KroPntStrcT* pts, long n, tctagD3ConvexBox* box);
  /// The same in x and y.
  static void Get2DConvexBox(KroPntStrcT* pts, long n, tctagD2ConvexBox* box);
  /// out[0..7] = the corners (xmin,ymin,zmin), (xmin,ymax,zmin),
  /// (xmax,ymax,zmin), (xmax,ymin,zmin), then the same with zmax. Returns 1.
  static long Get8VertexOfAABB(KRO::G3D_DVertex* const out, tctagD3ConvexBox* box);
  /// box6 = (xmin, ymin, zmin, xmax, ymax, zmax): 1 when p is in the closed
  /// box, else -1. flag is set to false in both cases.
  static long CheckPntAndAABB(double* const box6, KRO::G3D_DVertex* p, bool& flag);
  /// 1 when at least one coordinate of p lies in the box's closed range on
  /// its axis, else -1.
  static long CheckPntAndAABB(KRO::G3D_DVertex* p, tctagD3ConvexBox* box);
  /// 1 when the ranges of the two boxes overlap on at least one axis (a
  /// conservative pre-test: never 0 for boxes that really overlap), else 0.
  static long CheckTwoAABB(tctagD3ConvexBox* a, tctagD3ConvexBox* b);

  // ==================================================================
  // Rays and point against surface
  // ==================================================================
  // Triangle sets: vertex-buffer layout (G3D_DVertex + C3DTriData, 0-based)
  // or point/net layout (KroPntStrcT + KroNetStrcT, 1-based point numbers).
  // A triangle whose vertex numbers fall outside the point array is skipped.

  /// Side of p against an open triangulated surface, decided by one triangle
  /// whose centroid p sees unobstructed: 1 in front of its normal, -1 behind,
  /// 0 in its plane, -2 failure (null or empty input, start triangle out of
  /// range, every triangle hidden). tri in: -1 to start from the nearest
  /// well-shaped triangle, else the triangle to start from; tri out: the
  /// deciding triangle (on failure 0 when it was -1, else unchanged).
  static long Check3dPntAndKroSurf(KRO::G3D_DVertex* p, KRO::G3D_DVertex* verts, long nVerts,
                                   C3DTriData* tris, long nTris, long& tri);
  /// Check3dPntAndKroSurf over the point/net layout.
  static long Check3dPntAndSurf(KRO::G3D_DVertex* p, KroPntStrcT* pts, long nPts, KroNetStrcT* nets,
                                long nNets, long& tri);
  /// 1 when a triangle other than skip cuts the closed segment p-q (line_tri
  /// hit on the segment), else 0 (also for null input).
  static long CheckSegAndOtherKroSurf(long skip, KRO::G3D_DVertex* p, KRO::G3D_DVertex* q,
                                      KRO::G3D_DVertex* verts, long nVerts, C3DTriData* tris,
                                      long nTris);
  /// CheckSegAndOtherKroSurf over the point/net layout (skip is 0-based).
  static long CheckSegAndOtherSurf(long skip, KRO::G3D_DVertex* p, KRO::G3D_DVertex* q,
                                   KroPntStrcT* pts, long nPts, KroNetStrcT* nets, long nNets);
  /// -1 for a well-shaped triangle; for a sliver (angle opposite the longest
  /// edge above 135 degrees, or a zero-length edge) the index of the longest
  /// edge: 0 for a-b, 1 for b-c, 2 for c-a.
  static short IsThinPlateTriangle(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* c);
  /// True when p lies inside or on the closed triangle set, by the parity of
  /// crossings of the segment p-q (q far outside, chosen by the caller);
  /// false for null input or no triangles.
  static bool JudgePntInPolyhedron(KRO::G3D_DVertex* p, KRO::G3D_DVertex* q, KroPntStrcT* pts,
                                   long nPts, KroNetStrcT* nets, long nNets);
  /// 1 when the whole line through o with direction dir (both ways) meets the
  /// triangle a, b, c, with the meeting point in hit (snapped onto a vertex it
  /// matches when pos is given) and *pos the code of IsPntInTriPanel; 0 when
  /// the line misses or is parallel to the plane (1e-5). pos may be null.
  static int Radial_Tri(double* o, double* dir, double* a, double* b, double* c, double* hit,
                        long* pos);
  /// 1 when the segment p0-p1 meets the triangle t0, t1, t2 (accepted up to
  /// t = 1 + 1e-5 past p1, never before p0), with the point in out (snapped
  /// onto a matching vertex when pos is given; *pos as IsPntInTriPanel).
  /// 0 for a segment in the plane (1e-6), parallel to it (1e-5) or missing.
  static int line_tri(double* p0, double* p1, double* t0, double* t1, double* t2, double* out,
                      long* pos);
  /// Like line_tri but over the plane GetPanelCoef(a, b, c), parallel
  /// tolerance 1e-6 (a segment in the plane included) and 0 <= t <= 1.
  static int line_triF(double* p0, double* p1, double* a, double* b, double* c, double* out,
                       long* pos);
  /// The long thin triangle (o, p1, p2) standing for the ray o + s*dir in a
  /// triangle-against-tree collision: p1 = o + 1e7*dir, p2 = p1 turned by a
  /// small angle about an axis through o. Returns 1, or 0 for a zero dir
  /// (then p1 = p2 = o).
  static long GetTriByRadial(KRO::G3D_DVertex* o, KRO::G3D_DVertex* dir, KRO::G3D_DVertex* p1,
                             KRO::G3D_DVertex* p2);
  /// 1 when the ray origin + s*dir (s >= 0) hits the box minB..maxB, with
  /// the first hit point in coord (the origin itself when it is inside);
  /// 0 for a miss or a box behind the origin.
  static char HitBoundingBox(double* const minB, double* const maxB, double* const origin,
                             double* const dir, double* const coord);

  // ==================================================================
  // Point against surface through a triangle index
  // ==================================================================
  // The same answers as the plain tests above, found through a
  // CTriangleIndex built over the triangle set (either layout) instead of
  // scans over every triangle. The index stays the caller's.

  /// Check3dPntAndKroSurf over the triangles index was built from: the same
  /// code and the same tri (in and out) as the plain function over those
  /// buffers. A null or empty index counts as an empty set (-2; tri 0 when
  /// it was -1). occluder (may be null) carries a triangle that hid a
  /// centroid from one call to the next and is tested first; nearest (may
  /// be null) carries the triangle whose centroid was nearest, where the
  /// next search starts. Both change the time taken, never the result.
  static long Check3dPntAndKroSurf(KRO::G3D_DVertex* p, const CTriangleIndex* index, long& tri,
                                   long* occluder = nullptr, long* nearest = nullptr);
  /// Check3dPntAndSurf over an index built from the point/net layout (the
  /// same as the overload above; named for that layout).
  static long Check3dPntAndSurf(KRO::G3D_DVertex* p, const CTriangleIndex* index, long& tri,
                                long* occluder = nullptr);
  /// CheckSegAndOtherKroSurf over the indexed triangles: 1 when a triangle
  /// other than skip cuts the closed segment p-q, else 0 (also for null
  /// input or an empty index).
  static long CheckSegAndOtherKroSurf(long skip, KRO::G3D_DVertex* p, KRO::G3D_DVertex* q,
                                      const CTriangleIndex* index);

  // ==================================================================
  // 2D polygons and polylines
  // ==================================================================
  // Points are D_DOT unless stated; a polygon is closed when its first and
  // last points agree within 1e-6 per axis; the point-in-polygon tests close
  // an open ring implicitly. Several polygons travel as one concatenated
  // point array plus an array of point counts.

  /// Crossing count over the n edges (the last edge closes the ring): 1
  /// inside, -1 outside. A point on a left/bottom edge counts as inside, on
  /// a right/top edge as outside. -1 for a null polygon or n < 1.
  static short PtInPolygon(D_DOT* poly, long n, D_DOT p);
  /// Inside by the toggling crossing rule (edge j-i, j starting at n - 1);
  /// a vertex at exactly height y counts for both of its edges. Level
  /// edges at height y are skipped. false for a null polygon or n < 1.
  static bool JudgePntInPolyF(double x, double y, D_DOT* poly, long n);
  /// true when the segment p-q crosses the open polyline's n - 1 edges in
  /// an odd number of distinct points (1e-6). false for null input or
  /// n < 1.
  static bool JudgePntInPoly(D_DOT* p, D_DOT* q, D_DOT* poly, long n);
  /// Index of the first point of buf equal to p within 1e-6 per axis; -1
  /// when none, n <= 0 or buf is null.
  static long SearchInDotBuf(D_DOT p, D_DOT* buf, long n);
  /// p against the segment a-b: 0 on the closed segment, 1 on the line
  /// beyond b, -1 on the line before a, -2 off the line (points equal
  /// within 1e-7, unit directions compared within 1e-7); -2 for null input.
  static long Check2dPntAndSeg(D_DOT* a, D_DOT* b, D_DOT* p);
  /// Line ka*x + kb*y + kc = 0 through a and b (kb = -1 unless the line is
  /// vertical within 1e-7, then ka = 1, kb = 0). Returns 1; -1 for null
  /// input.
  static long GetCoefOfLin(D_DOT* a, D_DOT* b, double* ka, double* kb, double* kc);
  /// Meeting point of the lines a1-a2 and b1-b2 in *out: -2 for a
  /// degenerate segment (ends within 1e-5) or null input, -1 parallel (out
  /// untouched); otherwise Check2dPntAndSeg(a1, a2, out) when not 0, else
  /// Check2dPntAndSeg(b1, b2, out). 0 means the closed segments meet.
  static long InterOf2dLins(D_DOT* a1, D_DOT* a2, D_DOT* b1, D_DOT* b2, D_DOT* out);
  /// 0 when the path p-q is cut, away from p and q, by a segment of the
  /// polyline other than segment skip (the polyline counts as extended
  /// without end at both ends); -2 when it is free or input is null.
  /// Parallel segments never block.
  static long CheckCurSegAndOtherSegs(D_DOT* p, D_DOT* q, D_DOT* poly, long n, long skip);
  /// Side of p against segment i (poly[i] to poly[i + 1]): 1 left, -1
  /// right; on the line: -1 before the segment, 1 beyond it, -2 on it.
  /// -2 for null input.
  static long CheckPntPos(D_DOT* p, D_DOT* poly, long i);
  /// Closed polyline: PtInPolygon's code (1 inside, -1 outside). Open
  /// polyline: 1 left, -1 right, -2 on it or undecidable. -2 for a null
  /// point or polyline, or n < 2.
  static long Check2dPntAndCurve(D_DOT* p, D_DOT* poly, long n);
  /// A point inside the polygon in *out (the centroid for a triangle, else
  /// the first midpoint of poly[0]-poly[k], k = 2..n-2, inside by
  /// JudgePntInPolyF, else the last candidate). Returns 1; -1 for null
  /// input or n < 3.
  static long Get1InnerDotFromPoly(D_DOT* poly, long n, D_DOT* out);
  /// Per polygon an inner point and whether it lies inside another polygon
  /// (a hole). Returns 1; -1 for null input or a count below 3.
  static long FindHole2DDotsOfPoly(D_DOT* pts, long* counts, long nPolys, D_DOT* inner,
                                   bool* isHole);
  /// The same on the x and y of 3D points; every inner point gets the z of
  /// pts[0].
  static long FindHoleDotsOfPoly(KRO::G3D_DVertex* pts, long* counts, long nPolys,
                                 KRO::G3D_DVertex* inner, bool* isHole);
  /// true when the ray origin + t*dir (t up to 100000) meets the rectangle
  /// box = {xmin, xmax, ymin, ymax}; out gets the meeting point on the
  /// first edge hit in the order left, top, right, bottom (not
  /// necessarily the nearest). false for null input.
  static bool Hit2DBoundingBox(double* const box, double* const origin, double* const dir,
                               double* const out);
  /// Moves the fold line's first and last points onto the box's boundary
  /// along the chord first-last; coordinates within 1e-5 of a box side
  /// snap onto it; an end whose ray misses is left. Returns 1; 0 for n < 2
  /// or a zero chord; -1 for null input.
  static long ExtendFoldLinToBox(tctagD3ConvexBox* box, D_DOT* pts, long n);
  /// First point moved 10 units back along the first segment, last point
  /// 10 units on along the last segment (an end of zero length stays).
  /// Returns 1; 0 for n < 2; -1 for null.
  static long ExtendALinSeg(KRO::G3D_DVertex* pts, long n);
  /// First point := 2*pts[0] - pts[1], last := 2*pts[n-1] - pts[n-2].
  /// Returns 1; 0 for n < 2; -1 for null.
  static long ExtendALinSegF(KroPntStrcT* pts, long n);
  /// Appends to surf the curtain over the polyline between heights z1 and
  /// z2: 2n points (z1 row, then z2 row) and 2(n - 1) triangles (i, i + 1,
  /// i + n) and (i + 1, i + 1 + n, i + n), numbered after the points surf
  /// already holds; sets the operation type 4 and an empty material name.
  /// Returns 1; 0 for n < 2; -1 for a null point array.
  static long GenSurfByPolylin(C3DSurface& surf, D_DOT* pts, long n, double z1, double z2);
  static long GenSurfByPolylin(C3DSurface& surf, D_3DOT* pts, long n, double z1, double z2);
  /// The curtain in caller-provided point/net records (1-based numbers):
  /// fold point i gives points 2i (z1) and 2i + 1 (z2) for i < nOutPts / 2;
  /// triangles 2j and 2j + 1 for j < nOutNets / 2. nDots is not read.
  /// Returns 1; -1 for null input.
  static long GetFoldLinCurv(D_DOT* pts, long nDots, double z1, double z2, KroPntStrcT* outPts,
                             long nOutPts, KroNetStrcT* outNets, long nOutNets);
  /// Orientation of the plane through p[0..2]: 0 not vertical, 1 vertical
  /// with its normal along x, 2 any other vertical plane, also a degenerate
  /// or null input (unit normal components compared within 1e-6).
  static long JudgeCurveDir(KRO::G3D_DVertex* const p);

  // ==================================================================
  // Area and volume
  // ==================================================================

  // Surfaces here use the point/net layout: point numbers in nets are
  // 1-based. A net whose point number lies outside 1..nPts (or below 1 when
  // nPts <= 0, the count then being unknown) is skipped, never read.

  /// Measures the triangle tri[0..2] against z = z0 and writes the fields of
  /// its case into *info (which the caller zeroes first); reorders tri in
  /// place by ascending z. Volumes and areas are never negative; flat,
  /// vertical and degenerate triangles give finite values (a vertical one
  /// has no plan area and no volume). 1, or -1 when tri or info is null.
  static long CalTriangleVolume(KRO::G3D_DVertex* tri, double z0, VolumeInfoStrcT1* info);
  /// Cut (*cut, above z0) and fill (*fill, below z0) volumes of the nNets
  /// triangles, both starting from 0. 1, or -1 with the outputs untouched
  /// when any pointer is null.
  static long CalDrugAndFillVolume(KroPntStrcT* pts, KroNetStrcT* nets, long nPts, long nNets,
                                   double z0, double* cut, double* fill);
  /// Volume between two surfaces of the same point and triangle counts,
  /// both measured down to 100 below their lowest point: abs(V1 - V2), the
  /// layer volume when one surface lies above the other everywhere. 0 when
  /// a pointer is null or nPts < 1.
  static double CalPolyhedronVolume(KroPntStrcT* pts1, KroNetStrcT* nets1, KroPntStrcT* pts2,
                                    KroNetStrcT* nets2, long nPts, long nNets);
  /// Sum of the xy-projected areas of the nNets triangles; 0 when a pointer
  /// is null.
  static double CalTriNetArea(KroPntStrcT* pts, KroNetStrcT* nets, long nPts, long nNets);
  /// *vol = projected area of (a, b, c) times the signed distance of d from
  /// their plane, over 3: the tetrahedron's volume when a, b, c lie in a
  /// horizontal plane, signed by d's side. 1; 0 with *vol = 0 when a, b, c
  /// span no plane; -1 for a null argument.
  static long GetTetVolume(double* const a, double* const b, double* const c, double* const d,
                           double* vol);
  /// Fits interpolation coefficients through n = 4 points (coef: linear
  /// form in x, y, z and 1) or n = 8 points (trilinear form 1, x, y, z, xy,
  /// yz, zx, xyz). Returns the solver's result (1 solved, 0 singular), 0
  /// also when the working matrix cannot be allocated; 1 without computing
  /// for any other n; -1 for a null argument.
  static long CalEquCoef(KRO::G3D_DVertex* pts, double* values, double* coef, long n);
  /// Solves the n x n system held row by row in aug (n rows of n + 1
  /// values, the last one the right-hand side) by Gauss-Jordan elimination
  /// with partial pivoting; aug is overwritten. 1 with x filled; 0 when a
  /// pivot is exactly 0 (x untouched); -1 for null input or n < 1.
  static long GetCeofWithGauss(double* aug, double* x, long n);

  // ==================================================================
  // Surface clean-up, topology and index utilities
  // ==================================================================
  /// Merges points of surf closer than 0.001 on every axis (the first
  /// occurrence and its decorations are kept; a decoration kind travels
  /// when it has one record per point), then drops degenerate triangles
  /// and triangles with an index out of range. surf is replaced by the
  /// rebuilt surface (id -1, operation type 0, material name kept, no
  /// neighbours). Returns 1; 0 when surf has no points or no triangles
  /// (surf unchanged).
  static long RemoveRepeatedPnt(C3DSurface& surf);
  /// Rebuilds surf's triangles without those with two equal indices, an
  /// index out of range, or rejected by IsLegalTri; points, decorations and
  /// material name are kept, neighbours become -1. Returns 1; 0 when surf
  /// has no points or no triangles (nothing happens).
  static long RemoveRepeatedTriangle(C3DSurface& surf);
  /// mode 0: nothing; 1: swaps x and z; other: swaps y and z. Returns 1;
  /// -1 for n <= 0 or null pts.
  static long AdjustPntCoord(KRO::G3D_DVertex* pts, long n, int mode);
  /// 1 when tri[0..2] is not level (a z differs from z0 by more than 1e-6),
  /// else 0 (also for null).
  static int IsNeedAdjust(KRO::G3D_DVertex* tri);
  /// Makes triangle orientations agree along a walk from triangle 0 over
  /// unvisited neighbours (1-based numbers, 0 = none), flipping a triangle
  /// by exchanging its first and third point numbers. The walk ends after
  /// nNets - 1 steps, at a triangle with no unvisited neighbour or with a
  /// negative neighbour number. Out-of-range numbers are treated as none.
  /// Returns 1; -1 for null arrays.
  static long AdjustNomalOfCurvSurf(KroPntStrcT* pts, long nPts, KroNetStrcT* nets, long nNets);
  /// tops[t] for t = first..nTris-1: the neighbour across each edge among
  /// those triangles, -1 for none. Returns 1; 0 when the incidence lists
  /// cannot be allocated; -1 for null arrays. Vertex indices outside
  /// 0..nVerts-1 have no neighbours.
  static long SetTinTop(C3DTriData* tris, C3DTriaTop* tops, long nTris, long nVerts, long first);
  /// nb (also returned) = the first triangle other than t in lists[a], then
  /// lists[b], that uses both a and b; -1 when none or lists is null.
  static long FindNetNo(C3DTriData* tris, long t, long a, long b, long& nb,
                        std::vector<long>* lists);
  /// Index of key in the ascending array (its first occurrence), or -1
  /// (also for n <= 0 or null).
  static long bin_search(long key, long* arr, long n);
  /// The value stored under key, or -1 when absent or m is null.
  static long bin_search_byMap(long key, std::map<long, long>* m);
  /// Index of the first element equal to key, or -1 (also null, n <= 0).
  static long SearchFronFToB(long key, long* arr, long n);
  static long SearchFronFToBByVector(long key, std::vector<long>* v);
  /// Ascending in place; nothing for null or n <= 0.
  static void BubbleSort(long* arr, long n);
  static void BubbleSortByVector(std::vector<long>* v);
  /// Shell sort ascending with the caller's increments in the given order
  /// (the last should be 1; increments below 1 are skipped). Nothing for a
  /// null array or n <= 0.
  static void shellsort(long* arr, long n, long* gaps, long nGaps);
  /// Index of the first point of buf within 1e-5 of p on every axis, or -1
  /// (also for null buf or n <= 0).
  static long FindTriPntPosInOldBuf(KRO::G3D_DVertex p, KRO::G3D_DVertex* buf, long n);

  // ==================================================================
  // Texture coordinates, surface colour and vault paths
  // ==================================================================

  /// tp = the affine interpolation at p of the texture coordinates given at
  /// the plan triangle a, b, c (u and v solved separately). 1; 0 with tp
  /// untouched for a degenerate triangle; -1 for a null argument.
  static long d2_calTriPntTexCoord(D_DOT* a, D_DOT* b, D_DOT* c, D_DOT* p, KRO::G_TEXCOORD* ta,
                                   KRO::G_TEXCOORD* tb, KRO::G_TEXCOORD* tc, KRO::G_TEXCOORD* tp);
  /// The same for a 3D triangle, through the triangle's rectangle frame.
  /// 1; 0 with tp untouched when no frame can be built over the triangle;
  /// -1 for a null argument.
  static long d3_calTriPntTexCoord(KRO::G3D_DVertex* a, KRO::G3D_DVertex* b, KRO::G3D_DVertex* c,
                                   KRO::G3D_DVertex* p, KRO::G_TEXCOORD* ta, KRO::G_TEXCOORD* tb,
                                   KRO::G_TEXCOORD* tc, KRO::G_TEXCOORD* tp);
  /// out[i] = (su * ((pts[i] - rect[0]) . e1), sv * pts[i].z), e1 the unit
  /// first axis rect[0] -> rect[1]; the height is absolute, not along the
  /// frame. 1; 0 with out untouched when the first axis has no length; -1
  /// for a null rect (or null pts/out with n > 0).
  static long _tcGetVolToImgCoor(D_3DOT* const rect, D_3DOT* pts, D_DOT* out, long n, double su,
                                 double sv);
  /// Unrolls p onto the curtain over the plan fold line fold[0..n-1]:
  /// out = (su * distance along the line, sv * p.z). A point on the line
  /// of the first (last) segment beyond its end is placed before 0 (past
  /// the total length). A point that cannot be placed leaves out unchanged.
  /// true; false for a null argument (nothing is placed with n < 2).
  static bool _tcGeoMathGis_Sec_3Dto2D(D_DOT* fold, long n, D_3DOT* p, D_DOT* out, double su,
                                       double sv);
  /// Writes the fold-line texture coordinate of every point of surf into
  /// stage 0 (overwriting the surface's own coordinates, or appending one
  /// per point when it has none or too few); a point that cannot be placed
  /// keeps the coordinate it had (0, 0 when new). Sets the material when
  /// the name is not empty. 1 (also for a surface without points); -1 for
  /// a null surf or fold, n < 2, or when working memory runs out (surface
  /// unchanged).
  static long _tcUpdateSurfTexCoordByFoldSurf(C3DSurface* surf, D_DOT* fold, long n,
                                              std::string material, double su, double sv);
  /// Writes the texture coordinate of _tcGetVolToImgCoor against rect (four
  /// corners) of every point of surf into stage 0, as above. 1 (also for a
  /// surface without points); -1 for a null surf or rect or when working
  /// memory runs out; 0 with the surface unchanged when rect has no first
  /// axis.
  static long _tcUpdateSurfTexCoordByBoxSurf(C3DSurface* surf, D_3DOT* const rect,
                                             std::string material, double su, double sv);
  /// Gives every point of surf the colour *c: the surface's colours are
  /// overwritten (and extended to one per point), or one per point is
  /// appended when it has none. Always 0 (the result carries no
  /// information); a null argument changes nothing.
  static long _tcUpdateSurfColor(C3DSurface* surf, KRO::COLOR4* c);
  /// Fills out with nDiv + 1 rows of n points: row 0 = left, row nDiv =
  /// right, rows 1..nDiv-1 on a circular arch of radius 2h in the vertical
  /// plane through left[i] and right[i], springing at the paths' height.
  /// A column wider than 4h (no arch of radius 2h spans it) gets the half
  /// circle over its span instead; a column whose ends coincide keeps that
  /// point. s is not read. 1 when every column had its arch, 2 when some
  /// column got the half circle; 0 with nothing written for nDiv < 1, n < 1
  /// or h not above 0; -1 for a null argument. out holds (nDiv + 1) * n.
  static long GetVaultPathFromLRPath(KRO::G3D_DVertex* left, KRO::G3D_DVertex* right, long n,
                                     float h, double s, long nDiv, KRO::G3D_DVertex* out);

  // ==================================================================
  // Polyline assembly from discrete lines
  // ==================================================================

  // Points are equal within 1e-6 per axis (IsSame3DDot).

  /// true when na = nb and the lines agree point by point: in the same
  /// order when a[0] equals b[0], otherwise in reverse order. false for a
  /// null line or na < 1.
  static bool IsSame3DLinF(KRO::G3D_DVertex* a, long na, KRO::G3D_DVertex* b, long nb);
  /// The same for lines given as index arrays into vertex arrays (va[ia[i]]
  /// against vb[ib[i]], or vb[ib[nb - 1 - i]] reversed). Indices are not
  /// range-checked; false for a null argument or na < 1.
  static bool IsSame3DLin(KRO::G3D_DVertex* va, long* ia, long na, KRO::G3D_DVertex* vb, long* ib,
                          long nb);
  /// Joins nLines lines (points of all lines one after the other in pts,
  /// counts[i] points each) into polylines: repeated lines (either
  /// direction) count once, closed lines pass through as they are, open
  /// lines chain end to end (reversed where needed) until they close.
  /// Lines of fewer than 2 points are ignored. The closed polylines are
  /// written one after the other to out (last point = first point exactly),
  /// their counts to outCounts, their number to *nOut. An open chain that
  /// no remaining line continues is dropped (not counted; its slot is
  /// reused) and assembly goes on with the remaining lines; the open chain
  /// still being built when the lines run out is written after the counted
  /// ones (outCounts[*nOut]) but not counted. The caller sizes out for
  /// every input point plus one per polyline, outCounts for nLines.
  /// 1; -1 for a null argument (*nOut = 0 when nOut is given, nothing
  /// written); 0 with *nOut = 0 when working memory runs out.
  static long ConstrPolysByDiscrtSegs(KRO::G3D_DVertex* pts, long* counts, long nLines,
                                      KRO::G3D_DVertex* out, long* outCounts, long* nOut);

  // ==================================================================
  // Intersection engine helpers
  // ==================================================================

  /// Overlap points of two triangles lying in one plane: the meeting points
  /// of B's edges with A's edges (CalTwoLineInsercDot, repeats within 1e-6
  /// dropped), then the vertices of B inside A (IsPntInTriPanel). Appends
  /// to out; when no edges meet, out is left unchanged and the result is 0
  /// (B's vertices are then not reported). 1 when out is not empty, else 0.
  /// Vertices of A inside B are never reported.
  static long Tri_Tri_OnSurf(KRO::G3D_DVertex& a0, KRO::G3D_DVertex& a1, KRO::G3D_DVertex& a2,
                             KRO::G3D_DVertex& b0, KRO::G3D_DVertex& b1, KRO::G3D_DVertex& b2,
                             std::vector<KRO::G3D_DVertex>& out);
  /// The same point set computed in a plane frame: the frame is the
  /// rectangle of the OBB over both triangles (CObbtBase::Get4VertexOfOBB),
  /// or A's own frame (_tcGetRectof3DTri) when that rectangle does not lie
  /// in the triangles' plane; edges meet where InterOf2dLins returns 0.
  /// 1 when out is not empty, else 0.
  static long Tri_Tri_OnSurf2(KRO::G3D_DVertex& a0, KRO::G3D_DVertex& a1, KRO::G3D_DVertex& a2,
                              KRO::G3D_DVertex& b0, KRO::G3D_DVertex& b1, KRO::G3D_DVertex& b2,
                              std::vector<KRO::G3D_DVertex>& out);
  /// First index i < count with |p - buf[i]| < 1e-6 on each axis, or -1
  /// (also for count <= 0 or a null buf).
  static long SearchInDotBuf(KRO::G3D_DVertex p, KRO::G3D_DVertex* buf, long count);
  /// Rectangle frame over the triangle tri[0..2]: rect[0] = tri[1], rect[1]
  /// = tri[2], rect[2], rect[3] raised by the height of tri[0] over that
  /// edge. 1; 0 when the edge or the height is shorter than 1e-6; -1 for a
  /// null argument.
  static long _tcGetRectof3DTri(KRO::G3D_DVertex* tri, KRO::G3D_DVertex* rect);
  /// Frame coordinates of p: along rect[0]->rect[1] and rect[0]->rect[3].
  /// 1; -1 when an argument is null.
  static long GetVolToImgCoor(KRO::G3D_DVertex* rect, KRO::G3D_DVertex* p, D_DOT* out);
  /// Inverse of GetVolToImgCoor: the 3D point of frame coordinates p. 1; -1
  /// when an argument is null.
  static long GetImgToVolCoor(KRO::G3D_DVertex* rect, D_DOT* p, KRO::G3D_DVertex* out);
  /// Texture coordinates of p from the corners a, b, c and their texture
  /// coordinates: along an edge when p lies on one, else through the point
  /// where the line a-p meets the line b-c. out is left unchanged where the
  /// triangle gives no answer. 1; -1 when an argument is null.
  static long _tcGetTextureOfTriangle(D_3DOT* a, D_3DOT* b, D_3DOT* c, D_3DOT* p, D_DOT* ta,
                                      D_DOT* tb, D_DOT* tc, D_DOT* out);
  /// out = ta + (|p - a| / |b - a|) (tb - ta): 1; 0 when |b - a| < 1e-6
  /// (out unchanged); -1 when an argument is null. The distance ratio has no
  /// sign.
  static long _tcGetTextureOfLine(D_3DOT* a, D_3DOT* b, D_DOT* ta, D_DOT* tb, D_3DOT* p,
                                  D_DOT* out);

  // ==================================================================
  // Queries through OBB trees
  // ==================================================================
  /// Distinct triangles of a built tree crossed by the line through origin
  /// along dir (found with a thin triangle standing for the ray from origin;
  /// triangles crossed at one point count once). tris needs room for one
  /// entry per triangle of the model. 1 (count may be 0); -1 for a null
  /// argument or a zero dir; 0 when memory ran out. count is 0 unless the
  /// result is 1.
  static long FindCollideTrisWithRay(class RAPID_model* model, KRO::G3D_DVertex* origin,
                                     KRO::G3D_DVertex* dir, long* tris, long* count);
  /// Point in the closed solid of a built tree by the parity of the
  /// crossings ahead of pnt on an upward ray, tilted by (0.15, 0.25, 0) at
  /// most OBBT_MAX_DIR_RESTARTS (24, CObbtObjProcc.h) times when it meets an
  /// edge or a vertex. Every listed triangle is tested for the point first.
  /// 1 inside (or on
  /// the surface, onSurface true), -1 outside (also for a model without
  /// triangles), 0 for a null model or point or an allocation failure,
  /// OBBT_PNT_UNDECIDED (-2) when every ray met an edge or a vertex.
  static long CheckPntAndPolyhWithObbt(class RAPID_model* model, KRO::G3D_DVertex* pnt,
                                       bool& onSurface);
};
