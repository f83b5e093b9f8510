// Small meshes for the region search, the position checkers and the
// organizers: lattice grids, the loop of lattice points around a block of
// cells, and a closed box as plain arrays.
#pragma once

#include <vector>

#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace orgshapes {

/// An n x n grid of unit cells at height z over [x0, x0 + n] x [y0, y0 + n]:
/// vertex (i, j) is index j * (n + 1) + i, and cell (i, j) gives the
/// triangles (i,j)-(i+1,j)-(i+1,j+1) and (i,j)-(i+1,j+1)-(i,j+1) (facing +z),
/// cells row by row.
inline KroSimpleMesh Grid(int n, double z = 0.0, double x0 = 0.0, double y0 = 0.0) {
  KroSimpleMesh m;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) m.m_positions.push_back({x0 + i, y0 + j, z});
  auto id = [n](int i, int j) { return static_cast<long>(j * (n + 1) + i); };
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      m.m_triangles.push_back({{id(i, j), id(i + 1, j), id(i + 1, j + 1)}});
      m.m_triangles.push_back({{id(i, j), id(i + 1, j + 1), id(i, j + 1)}});
    }
  }
  return m;
}

/// The lattice points on the boundary of the block [a, b] x [a, b] of a grid
/// at height z, once round (the first point is not repeated).
inline std::vector<KRO::G3D_DVertex> BlockLoop(int a, int b, double z = 0.0) {
  std::vector<KRO::G3D_DVertex> loop;
  for (int i = a; i < b; ++i) loop.push_back({double(i), double(a), z});
  for (int j = a; j < b; ++j) loop.push_back({double(b), double(j), z});
  for (int i = b; i > a; --i) loop.push_back({double(i), double(b), z});
  for (int j = b; j > a; --j) loop.push_back({double(a), double(j), z});
  return loop;
}

/// Centroid of triangle t of m.
inline KRO::G3D_DVertex Centroid(const KroSimpleMesh& m, long t) {
  const C3DTriData& tri = m.m_triangles[static_cast<size_t>(t)];
  KRO::G3D_DVertex g{0, 0, 0};
  for (long v : tri.v) {
    g.x += m.m_positions[static_cast<size_t>(v)].x / 3.0;
    g.y += m.m_positions[static_cast<size_t>(v)].y / 3.0;
    g.z += m.m_positions[static_cast<size_t>(v)].z / 3.0;
  }
  return g;
}

/// The closed box [lo, hi] as eight vertices and twelve outward-facing
/// triangles.
inline void BoxArrays(const KRO::G3D_DVertex& lo, const KRO::G3D_DVertex& hi,
                      std::vector<KRO::G3D_DVertex>& pts, std::vector<C3DTriData>& tris) {
  pts.clear();
  for (int k = 0; k < 8; ++k)
    pts.push_back({(k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z});
  tris = {{{0, 2, 3}}, {{0, 3, 1}}, {{4, 5, 7}}, {{4, 7, 6}}, {{0, 1, 5}}, {{0, 5, 4}},
          {{2, 6, 7}}, {{2, 7, 3}}, {{0, 4, 6}}, {{0, 6, 2}}, {{1, 3, 7}}, {{1, 7, 5}}};
}

}  // namespace orgshapes
