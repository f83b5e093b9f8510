// Clean-up of host surfaces: merging coincident points and dropping
// degenerate triangles.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"

namespace {

using KRO::G3D_DVertex;

constexpr double kMergeTol = 0.001;

// The merged points of a surface, with a grid over them so that the first
// point within the merge tolerance is found among the few points of the
// cells around it. Cells are four times the tolerance wide and the cells
// looked at cover 1.25 times the tolerance on each side, so rounding in the
// cell computation can never hide a point within the tolerance.
class MergedPoints {
 public:
  explicit MergedPoints(size_t reserve) {
    m_pts.reserve(reserve);
    m_cells.reserve(reserve);
  }

  long Append(const G3D_DVertex& p) {
    const long id = static_cast<long>(m_pts.size());
    m_pts.push_back(p);
    m_cells[Key(Cell(p.x), Cell(p.y), Cell(p.z))].push_back(id);
    return id;
  }

  // Smallest index of a point within the tolerance on every axis, or -1.
  long FindFirst(const G3D_DVertex& p) const {
    constexpr double kReach = 1.25 * kMergeTol;
    long best = -1;
    const int64_t x0 = Cell(p.x - kReach), x1 = Cell(p.x + kReach);
    const int64_t y0 = Cell(p.y - kReach), y1 = Cell(p.y + kReach);
    const int64_t z0 = Cell(p.z - kReach), z1 = Cell(p.z + kReach);
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy)
        for (int64_t cz = z0; cz <= z1; ++cz) {
          auto it = m_cells.find(Key(cx, cy, cz));
          if (it == m_cells.end()) continue;
          for (long id : it->second) {
            const G3D_DVertex& q = m_pts[id];
            if ((best < 0 || id < best) && std::fabs(q.x - p.x) < kMergeTol &&
                std::fabs(q.y - p.y) < kMergeTol && std::fabs(q.z - p.z) < kMergeTol)
              best = id;
          }
        }
    return best;
  }

  const std::vector<G3D_DVertex>& Points() const { return m_pts; }

 private:
  static int64_t Cell(double v) {
    const double c = std::floor(v / (4.0 * kMergeTol));
    if (!(c > -4e18)) return INT64_MIN / 4;  // also NaN
    if (c > 4e18) return INT64_MAX / 4;
    return static_cast<int64_t>(c);
  }
  static uint64_t Key(int64_t x, int64_t y, int64_t z) {
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(z) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    return h;
  }

  std::vector<G3D_DVertex> m_pts;
  // Cells are keyed by a hash of their indices; a collision only adds
  // candidates, which are always tested exactly.
  std::unordered_map<uint64_t, std::vector<long>> m_cells;
};

bool IndicesInRange(const C3DTriangle& t, long nPts) {
  for (long v : t.v)
    if (v < 0 || v >= nPts) return false;
  return true;
}

}  // namespace

long CMathFunCls::RemoveRepeatedPnt(C3DSurface& surf) {
  CPointCollection points;
  CVertexDecorationObj deco;
  surf.GetPointCollection(points, deco);
  const long nPts = points.GetPointNum();
  const long nTris = surf.GetTriangleCount();
  if (nPts <= 0 || nTris <= 0) return 0;

  // A decoration kind travels only when the surface holds one record per
  // point; a shorter array cannot be read for every point.
  KRO::G_TEXCOORD* tex = nullptr;
  KRO::VECTOR3* normals = nullptr;
  KRO::COLOR4* colours = nullptr;
  long nTex = 0, nNormals = 0, nColours = 0;
  deco.GetTexcoords(0, &tex, &nTex);
  deco.GetNormals(&normals, &nNormals);
  deco.GetColors(&colours, &nColours);
  const bool hasTex = tex && nTex >= nPts;
  const bool hasNormals = normals && nNormals >= nPts;
  const bool hasColours = colours && nColours >= nPts;

  const std::vector<G3D_DVertex>& src = points.Points();
  MergedPoints merged(static_cast<size_t>(nPts));
  std::vector<KRO::G_TEXCOORD> newTex;
  std::vector<KRO::VECTOR3> newNormals;
  std::vector<KRO::COLOR4> newColours;
  auto append = [&](long old) {
    if (hasTex) newTex.push_back(tex[old]);
    if (hasNormals) newNormals.push_back(normals[old]);
    if (hasColours) newColours.push_back(colours[old]);
    return merged.Append(src[old]);
  };

  std::vector<C3DTriangle> tris;
  tris.reserve(static_cast<size_t>(nTris));
  bool firstDone = false;
  for (long t = 0; t < nTris; ++t) {
    C3DTriangle tri;
    if (!surf.GetTriangle(t, &tri, nullptr) || !IndicesInRange(tri, nPts)) continue;
    C3DTriangle out;
    for (int k = 0; k < 3; ++k) {
      // The first triangle's corners start the new point list as they are.
      long id = firstDone ? merged.FindFirst(src[tri.v[k]]) : -1;
      if (id < 0) id = append(tri.v[k]);
      out.v[k] = id;
    }
    firstDone = true;
    tris.push_back(out);
  }

  C3DSurface rebuilt(-1, 0);
  CPointCollection newPoints;
  CVertexDecorationObj newDeco;
  const std::vector<G3D_DVertex>& mpts = merged.Points();
  newPoints.AppendPoints(mpts.data(), static_cast<long>(mpts.size()));
  if (hasTex) newDeco.AppendTexcoords(0, newTex.data(), static_cast<long>(newTex.size()));
  if (hasNormals) newDeco.AppendNormals(newNormals.data(), static_cast<long>(newNormals.size()));
  if (hasColours) newDeco.AppendColors(newColours.data(), static_cast<long>(newColours.size()));
  rebuilt.AddTriangle(tris.data(), nullptr, static_cast<long>(tris.size()));
  rebuilt.AppendPointCollection(&newPoints, &newDeco);
  rebuilt.SetMaterialName(surf.GetMaterialName());

  RemoveRepeatedTriangle(rebuilt);

  surf.Reset();
  surf = rebuilt;
  return 1;
}

long CMathFunCls::RemoveRepeatedTriangle(C3DSurface& surf) {
  CPointCollection points;
  CVertexDecorationObj deco;
  surf.GetPointCollection(points, deco);
  const long nPts = points.GetPointNum();
  const long nTris = surf.GetTriangleCount();
  if (nPts <= 0 || nTris <= 0) return 0;

  const std::vector<G3D_DVertex>& pts = points.Points();
  std::vector<C3DTriangle> kept;
  kept.reserve(static_cast<size_t>(nTris));
  for (long t = 0; t < nTris; ++t) {
    C3DTriangle tri;
    if (!surf.GetTriangle(t, &tri, nullptr) || !IndicesInRange(tri, nPts)) continue;
    if (tri.v[0] == tri.v[1] || tri.v[1] == tri.v[2] || tri.v[2] == tri.v[0]) continue;
    G3D_DVertex p0 = pts[tri.v[0]], p1 = pts[tri.v[1]], p2 = pts[tri.v[2]];
    if (!IsLegalTri(&p0, &p1, &p2)) continue;
    kept.push_back(tri);
  }

  // The clean-up member empties everything; what describes the points
  // (decorations, material, operation type) is put back with them.
  const std::string material = surf.GetMaterialName();
  const unsigned char opType = surf.GetOperationType();
  surf.Reset();
  surf.AppendPointCollection(&points, &deco);
  surf.SetMaterialName(material);
  surf.SetOperationType(opType);
  const std::vector<CTriangleTopInfo> tops(kept.size(), CTriangleTopInfo(-1, -1, -1));
  surf.AddTriangle(kept.data(), tops.data(), static_cast<long>(kept.size()));
  return 1;
}
