// The lattice grids and block loops of the region-search tests live in
// Shapes.h; these names stay for the tests that use them from here.
#pragma once

#include <vector>

#include "support/Shapes.h"

namespace orgshapes {

using shapes::BlockLoop;
using shapes::Centroid;
using shapes::Grid;

/// The closed box [lo, hi] as eight vertices and twelve outward-facing
/// triangles.
inline void BoxArrays(const KRO::G3D_DVertex& lo, const KRO::G3D_DVertex& hi,
                      std::vector<KRO::G3D_DVertex>& pts, std::vector<C3DTriData>& tris) {
  pts.clear();
  for (int k = 0; k < 8; ++k) pts.push_back(shapes::BoxCorner(lo, hi, k));
  tris = {{{0, 2, 3}}, {{0, 3, 1}}, {{4, 5, 7}}, {{4, 7, 6}}, {{0, 1, 5}}, {{0, 5, 4}},
          {{2, 6, 7}}, {{2, 7, 3}}, {{0, 4, 6}}, {{0, 6, 2}}, {{1, 3, 7}}, {{1, 7, 5}}};
}

}  // namespace orgshapes
