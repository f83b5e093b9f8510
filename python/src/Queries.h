// Point queries over many points at once: the tree or index of the model
// is built once and asked for every point (the tool's single-point queries
// build it per call).
#pragma once

#include <cstdint>
#include <vector>

#include "Model.h"

namespace kpy {

/// Per point: 1 inside the closed solid, 0 on its boundary, -1 outside.
std::vector<int8_t> LocateInSolid(const tricut::Model& solid,
                                  const std::vector<KRO::G3D_DVertex>& pts);
/// Per point: 1 on the side the surface's normals face, -1 behind it, 0 in
/// the plane of the deciding triangle, -2 when no triangle sees the point.
std::vector<int8_t> SideOfSurface(const tricut::Model& surface,
                                  const std::vector<KRO::G3D_DVertex>& pts);

}  // namespace kpy
