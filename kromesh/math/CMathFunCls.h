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

  // ==================================================================
  // Queries through OBB trees
  // ==================================================================
  // Distinct triangles of a built tree crossed by the line through origin
  // along dir (found with a thin triangle standing for the ray from origin;
  // triangles crossed at one point count once). tris needs room for one
  // entry per triangle of the model. 1 (count may be 0); -1 for a null
  // argument; 0 when memory ran out. count is 0 unless the result is 1.
  static long FindCollideTrisWithRay(class RAPID_model* model, KRO::G3D_DVertex* origin,
                                     KRO::G3D_DVertex* dir, long* tris, long* count);
  // Point in the closed solid of a built tree by the parity of the
  // crossings ahead of pnt on an upward ray, tilted by (0.15, 0.25, 0) at
  // most OBBT_MAX_DIR_RESTARTS times when it meets an edge or a vertex.
  // Every listed triangle is tested for the point first. 1 inside (or on
  // the surface, onSurface true), -1 outside, 0 for a null model or point,
  // an empty model or an allocation failure, OBBT_PNT_UNDECIDED (-2) when
  // every ray met an edge or a vertex.
  static long CheckPntAndPolyhWithObbt(class RAPID_model* model, KRO::G3D_DVertex* pnt,
                                       bool& onSurface);
};
