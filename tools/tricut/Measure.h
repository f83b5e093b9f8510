// Measurements and point queries of the tool, done by the library's
// geometry utilities on the tool's models.
//
// Models at geological coordinates (x near 500000, y near 4000000) are
// moved to a local frame around their box centre before the library sees
// them: areas, volumes and point positions do not change under a shift,
// but products of large coordinates would lose digits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Model.h"

namespace tricut {

/// Plan and true areas and the cut/fill volumes of a surface against the
/// level z0 (cut: material above z0, fill: space below it up to z0).
struct VolumeReport {
  double planArea = 0;
  double surfaceArea = 0;
  double cutVolume = 0;
  double fillVolume = 0;
  double planAreaAbove = 0;
  double planAreaBelow = 0;
};
VolumeReport MeasureVolume(const Model& m, double z0);

class Progress;

/// Points against a closed solid: per point 1 inside, 0 on its boundary,
/// -1 outside. The solid's tree is built once for all points. progress,
/// when given, hears of building the tree (at fraction from) and of the
/// queries (near to).
std::vector<int8_t> LocatePointsInSolid(const Model& solid,
                                        const std::vector<KRO::G3D_DVertex>& pts,
                                        Progress* progress = nullptr, double from = 0,
                                        double to = 1);
inline int LocateInSolid(const Model& solid, const KRO::G3D_DVertex& p,
                         Progress* progress = nullptr, double from = 0, double to = 1) {
  return LocatePointsInSolid(solid, {p}, progress, from, to)[0];
}

/// Points against an open surface: per point 1 on the side its normals
/// face, -1 on the other side, 0 in the plane of the deciding triangle, -2
/// when no triangle is in plain view of the point. The surface's triangle
/// index is built once for all points.
std::vector<int8_t> SidesOfSurface(const Model& surface, const std::vector<KRO::G3D_DVertex>& pts);
inline int SideOfSurface(const Model& surface, const KRO::G3D_DVertex& p) {
  return SidesOfSurface(surface, {p})[0];
}

}  // namespace tricut
