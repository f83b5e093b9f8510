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

#include "kromesh/mesh/KroRecords.h"

class C3DSurface;
class C3DEntity;
class C3DBox;
class CObbtBase;
class KroSimpleMesh;

class CMathFunCls {
 public:
  CMathFunCls() = delete;

  // ==================================================================
  // Points, segments, triangles and planes
  // ==================================================================

  // ==================================================================
  // Rays and point against surface
  // ==================================================================

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
  /// z2: 2n points (z1 row, then z2 row) and 2(n - 1) triangles; sets the
  /// operation type 4 and an empty material name. Returns 1; 0 for n < 2;
  /// -1 for a null point array.
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

  // ==================================================================
  // Surface clean-up, topology and index utilities
  // ==================================================================
  /// Merges points of surf closer than 0.001 on every axis (the first
  /// occurrence and its decorations are kept), then drops degenerate
  /// triangles. Triangles with an index out of range are dropped. Returns
  /// 1; 0 when surf has no points or no triangles (surf unchanged).
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

  // ==================================================================
  // Polyline assembly from discrete lines
  // ==================================================================

  // ==================================================================
  // Intersection engine helpers
  // ==================================================================

  // ==================================================================
  // Queries through OBB trees
  // ==================================================================
};
