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
};
