// Point location by slicing, 2D helpers and boxes of GeoMathPosition: a
// class of static functions working on D_3DOT points (two D_3DOT are the
// same point when every coordinate differs by less than 1e-06).
//
// Not reentrant: the slicing test keeps a module-wide intersection store.
#pragma once

#include <vector>

#include "kromesh/mesh/KroRecords.h"

class C3DSurface;
class C3DEntity;
class C3DBox;
class C3DLine;

class GeoMathPosition {
 public:
  GeoMathPosition() = delete;

  // ==================================================================
  // 2D helpers
  // ==================================================================

  // ==================================================================
  // Slicing a solid by a horizontal plane, point in solid, boxes
  // ==================================================================
};
