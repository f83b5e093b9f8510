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

  // ==================================================================
  // Area and volume
  // ==================================================================

  // Surfaces here use the point/net layout: point numbers in nets are
  // 1-based. A net whose point number lies outside 1..nPts (or below 1 when
  // nPts <= 0, the count then being unknown) is skipped, never read.

  /// Measures the triangle tri[0..2] against z = z0 and writes the fields of
  /// its case into *info (which the caller zeroes first); reorders tri in
  /// place by ascending z. Flat, vertical and degenerate triangles give
  /// finite values. 1, or -1 when tri or info is null.
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
  /// yz, zx, xyz). Returns the solver's result (1 solved, 0 singular); 1
  /// without computing for any other n; -1 for a null argument.
  static long CalEquCoef(KRO::G3D_DVertex* pts, double* values, double* coef, long n);
  /// Solves the n x n system held row by row in aug (n rows of n + 1
  /// values, the last one the right-hand side) by Gauss-Jordan elimination
  /// with partial pivoting; aug is overwritten. 1 with x filled; 0 when a
  /// pivot is exactly 0 (x partly untouched); -1 for null input or n < 1.
  static long GetCeofWithGauss(double* aug, double* x, long n);

  // ==================================================================
  // Surface clean-up, topology and index utilities
  // ==================================================================

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
  /// a null surf or fold, or n < 2.
  static long _tcUpdateSurfTexCoordByFoldSurf(C3DSurface* surf, D_DOT* fold, long n,
                                              std::string material, double su, double sv);
  /// Writes the texture coordinate of _tcGetVolToImgCoor against rect (four
  /// corners) of every point of surf into stage 0, as above. 1 (also for a
  /// surface without points); -1 for a null surf or rect; 0 with the
  /// surface unchanged when rect has no first axis.
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

  // ==================================================================
  // Queries through OBB trees
  // ==================================================================
};
