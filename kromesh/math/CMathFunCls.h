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

  // ==================================================================
  // Area and volume
  // ==================================================================

  // ==================================================================
  // Surface clean-up, topology and index utilities
  // ==================================================================

  // ==================================================================
  // Texture coordinates, surface colour and vault paths
  // ==================================================================

  // ==================================================================
  // Polyline assembly from discrete lines
  // ==================================================================

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
};
