// Collects the arrays of one part while a file is read, then makes the
// host surface in one go.
#pragma once

#include <string>
#include <vector>

#include "Model.h"

namespace tricut {

struct PartBuilder {
  std::string name;
  std::string material;
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<KRO::COLOR4> colours;
  std::vector<KRO::VECTOR3> normals;
  std::vector<KRO::G_TEXCOORD> texcoords;
  std::vector<C3DTriangle> tris;
  KRO::COLOR4 surfaceColour;
  bool hasSurfaceColour = false;

  /// The part; decoration kinds that do not hold one value per point are
  /// left out.
  Part Finish() const {
    Part p;
    p.name = name;
    p.surface = MakeSurface(pts, tris, material, colours, normals, texcoords);
    p.deco.m_materialName = material;
    if (hasSurfaceColour) {
      p.deco.m_colour = surfaceColour;
      p.deco.m_hasColour = true;
    }
    return p;
  }
};

/// Per-vertex decorations of a part as plain vectors (empty when the part
/// has none, or not one per point).
struct PartArrays {
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<C3DTriangle> tris;
  std::vector<KRO::COLOR4> colours;
  std::vector<KRO::VECTOR3> normals;
  std::vector<KRO::G_TEXCOORD> texcoords;
};

inline PartArrays ArraysOf(const Part& part) {
  PartArrays a;
  a.pts = part.surface.Points();
  a.tris = TrianglesOf(part.surface);
  const auto& d = part.surface.Decoration();
  const std::size_t n = a.pts.size();
  if (d.m_colours.size() == n) a.colours = d.m_colours;
  if (d.m_normals.size() == n) a.normals = d.m_normals;
  if (d.m_texcoords[0].size() == n) a.texcoords = d.m_texcoords[0];
  return a;
}

}  // namespace tricut
