// Measurements and point queries of the tool, done by the library's
// geometry utilities on the tool's models.
//
// Models at geological coordinates (x near 500000, y near 4000000) are
// moved to a local frame around their box centre before the library sees
// them: areas, volumes and point positions do not change under a shift,
// but products of large coordinates would lose digits.
#pragma once

#include <string>

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

/// Point against a closed solid: 1 inside, 0 on its boundary, -1 outside.
/// progress, when given, hears of building the index (at fraction from) and
/// of the query (near to).
int LocateInSolid(const Model& solid, const KRO::G3D_DVertex& p, Progress* progress = nullptr,
                  double from = 0, double to = 1);

/// Point against an open surface: 1 on the side its normals face, -1 on
/// the other side, 0 in the plane of the deciding triangle, -2 when no
/// triangle is in plain view of the point.
int SideOfSurface(const Model& surface, const KRO::G3D_DVertex& p);

}  // namespace tricut
