// Shape builders and geometric checkers shared by the tests.
//
// Builders return host objects (C3DSurface, C3DEntity) made through the
// host layer's public calls, the way a host application would hand models
// to the library. Checkers work on a plain triangle soup (TriSoup) that can
// be taken from a KroSimpleMesh, a C3DSurface or a C3DEntity without going
// through the library's conversions, so they stay independent of the code
// under test.
//
// Everything is deterministic: no randomness, fixed tessellations.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace shapes {

constexpr double kPi = 3.14159265358979323846;

using Vec = KRO::G3D_DVertex;

inline Vec Sub(const Vec& a, const Vec& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec Add(const Vec& a, const Vec& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec Scale(const Vec& a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(const Vec& a, const Vec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Norm(const Vec& a) {
  return std::sqrt(Dot(a, a));
}
inline Vec Normalized(const Vec& a) {
  const double n = Norm(a);
  return n > 0 ? Scale(a, 1.0 / n) : Vec{0, 0, 0};
}

// ---------------------------------------------------------------------------
// Building host objects

/// A host surface made from arrays: points appended through a
/// CPointCollection, triangles through AddTriangle (neighbours -1).
inline C3DSurface MakeSurface(const std::vector<Vec>& points, const std::vector<C3DTriData>& tris,
                              const std::string& material = "BaseWhite") {
  C3DSurface surf(-1, 0);
  CPointCollection pc;
  pc.AppendPoints(points.data(), static_cast<long>(points.size()));
  CVertexDecorationObj deco;
  std::vector<C3DTriangle> hostTris;
  hostTris.reserve(tris.size());
  for (const auto& t : tris) hostTris.emplace_back(t.v[0], t.v[1], t.v[2]);
  surf.AddTriangle(hostTris.data(), nullptr, static_cast<long>(hostTris.size()));
  surf.AppendPointCollection(&pc, &deco);
  surf.SetMaterialName(material);
  return surf;
}

// Box corner c of [lo, hi] takes x from bit 0, y from bit 1, z from bit 2;
// the faces -x, +x, -y, +y, -z, +z as quads counter-clockwise from outside.
inline Vec BoxCorner(const Vec& lo, const Vec& hi, int c) {
  return Vec{(c & 1) ? hi.x : lo.x, (c & 2) ? hi.y : lo.y, (c & 4) ? hi.z : lo.z};
}
constexpr int kBoxQuads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                 {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};

/// The six faces of the box [lo, hi] as six host surfaces of 4 points and
/// 2 outward-facing triangles each, in the order of kBoxQuads.
/// Surface k has material "face<k>".
inline std::vector<C3DSurface> MakeBoxFaces(const Vec& lo, const Vec& hi) {
  std::vector<C3DSurface> faces;
  for (int f = 0; f < 6; ++f) {
    std::vector<Vec> pts;
    for (int k = 0; k < 4; ++k) pts.push_back(BoxCorner(lo, hi, kBoxQuads[f][k]));
    faces.push_back(MakeSurface(pts, {{{0, 1, 2}}, {{0, 2, 3}}}, "face" + std::to_string(f)));
  }
  return faces;
}

/// A closed box solid of six surfaces (see MakeBoxFaces).
inline C3DEntity MakeBox(const Vec& lo, const Vec& hi) {
  C3DEntity solid(-1, 0);
  for (const auto& face : MakeBoxFaces(lo, hi)) solid.AddSurface(&face, nullptr);
  return solid;
}

/// The unit cube [0,1]^3 as a solid of six surfaces.
inline C3DEntity MakeUnitCube() {
  return MakeBox({0, 0, 0}, {1, 1, 1});
}

/// Points and outward triangles of a latitude/longitude sphere with nLat
/// bands (>= 2) and nLon sectors (>= 3); shared vertices, poles single.
inline void SphereArrays(const Vec& c, double r, int nLat, int nLon, std::vector<Vec>& pts,
                         std::vector<C3DTriData>& tris) {
  pts.clear();
  tris.clear();
  pts.push_back({c.x, c.y, c.z + r});  // north pole: 0
  for (int i = 1; i < nLat; ++i) {
    const double th = kPi * i / nLat;
    for (int j = 0; j < nLon; ++j) {
      const double ph = 2 * kPi * j / nLon;
      pts.push_back({c.x + r * std::sin(th) * std::cos(ph), c.y + r * std::sin(th) * std::sin(ph),
                     c.z + r * std::cos(th)});
    }
  }
  const long south = static_cast<long>(pts.size());
  pts.push_back({c.x, c.y, c.z - r});
  auto ring = [&](int i, int j) { return 1 + static_cast<long>(i - 1) * nLon + (j % nLon); };
  for (int j = 0; j < nLon; ++j) tris.push_back({{0, ring(1, j), ring(1, j + 1)}});
  for (int i = 1; i < nLat - 1; ++i)
    for (int j = 0; j < nLon; ++j) {
      tris.push_back({{ring(i, j), ring(i + 1, j), ring(i + 1, j + 1)}});
      tris.push_back({{ring(i, j), ring(i + 1, j + 1), ring(i, j + 1)}});
    }
  for (int j = 0; j < nLon; ++j)
    tris.push_back({{ring(nLat - 1, j), south, ring(nLat - 1, j + 1)}});
}

/// A sphere solid of two surfaces, the northern and southern halves of the
/// tessellation (nLat even); the equator's points appear in both.
inline C3DEntity MakeSphereEntity(const Vec& c, double r, int nLat = 12, int nLon = 24) {
  std::vector<Vec> pts;
  std::vector<C3DTriData> tris;
  SphereArrays(c, r, nLat, nLon, pts, tris);
  // Split the triangles by the height of their centroid; each half gets
  // its own compact point list.
  C3DEntity solid(-1, 0);
  for (int half = 0; half < 2; ++half) {
    std::map<long, long> remap;
    std::vector<Vec> hp;
    std::vector<C3DTriData> ht;
    for (const auto& t : tris) {
      const double z = (pts[t.v[0]].z + pts[t.v[1]].z + pts[t.v[2]].z) / 3.0;
      if ((z >= c.z) != (half == 0)) continue;
      ht.push_back(t);
      for (long& v : ht.back().v) {
        const auto [it, added] = remap.emplace(v, static_cast<long>(hp.size()));
        if (added) hp.push_back(pts[v]);
        v = it->second;
      }
    }
    C3DSurface s = MakeSurface(hp, ht, half == 0 ? "north" : "south");
    solid.AddSurface(&s, nullptr);
  }
  return solid;
}

// ---------------------------------------------------------------------------
// Triangle soups and checkers

/// Positions and triangles gathered from any model, read directly.
struct TriSoup {
  std::vector<Vec> pts;
  std::vector<C3DTriData> tris;
};

inline TriSoup SoupOf(const KroSimpleMesh& m) {
  return {m.m_positions, m.m_triangles};
}

inline KroSimpleMesh ToMesh(const TriSoup& s) {
  KroSimpleMesh m;
  m.m_positions = s.pts;
  m.m_triangles = s.tris;
  return m;
}

/// A height-field grid over [x0, x0 + nx*dx] x [y0, y0 + ny*dy]: point (i, j)
/// is j * (nx + 1) + i, and cell (i, j) gives the triangles (i,j)-(i+1,j)-
/// (i+1,j+1) and (i,j)-(i+1,j+1)-(i,j+1) (facing +z), cells row by row.
template <class Height>
TriSoup GridSoup(int nx, int ny, double x0, double y0, double dx, double dy, Height height) {
  TriSoup s;
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) {
      const double x = x0 + i * dx, y = y0 + j * dy;
      s.pts.push_back({x, y, height(x, y)});
    }
  auto id = [&](int i, int j) { return static_cast<long>(j) * (nx + 1) + i; };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      s.tris.push_back({{id(i, j), id(i + 1, j), id(i + 1, j + 1)}});
      s.tris.push_back({{id(i, j), id(i + 1, j + 1), id(i, j + 1)}});
    }
  return s;
}

/// A flat square of side 2*half centred at c, perpendicular to normal and
/// facing along it, divided into n x n cells (2*n*n triangles, see GridSoup).
inline C3DSurface MakeTiltedPlane(const Vec& c, const Vec& normal, double half, int n = 4) {
  const Vec nz = Normalized(normal);
  // Any vector not parallel to the normal gives the in-plane axes.
  const Vec u = Normalized(Cross(std::fabs(nz.z) < 0.9 ? Vec{0, 0, 1} : Vec{1, 0, 0}, nz));
  const Vec v = Cross(nz, u);
  TriSoup s = GridSoup(n, n, 0, 0, 1, 1, [](double, double) { return 0.0; });
  for (Vec& p : s.pts)
    p = Add(c, Add(Scale(u, -half + 2 * half * p.x / n), Scale(v, -half + 2 * half * p.y / n)));
  return MakeSurface(s.pts, s.tris, "plane");
}

/// The height field as a host surface (see GridSoup); by default gentle
/// hills.
inline C3DSurface MakeTerrain(
    int nx, int ny, double x0, double y0, double dx, double dy,
    const std::function<double(double, double)>& height = [](double x, double y) {
      return 0.5 * std::sin(0.7 * x) * std::cos(0.5 * y) + 0.05 * x;
    }) {
  const TriSoup s = GridSoup(nx, ny, x0, y0, dx, dy, height);
  return MakeSurface(s.pts, s.tris, "terrain");
}

/// An n x n grid of unit cells at height z from (x0, y0) (see GridSoup).
inline KroSimpleMesh Grid(int n, double z = 0.0, double x0 = 0.0, double y0 = 0.0) {
  return ToMesh(GridSoup(n, n, x0, y0, 1, 1, [z](double, double) { return z; }));
}

/// The lattice points on the boundary of the block [a, b] x [a, b] of a grid
/// at height z, once round (the first point is not repeated).
inline std::vector<Vec> BlockLoop(int a, int b, double z = 0.0) {
  std::vector<Vec> loop;
  for (int i = a; i < b; ++i) loop.push_back({double(i), double(a), z});
  for (int j = a; j < b; ++j) loop.push_back({double(b), double(j), z});
  for (int i = b; i > a; --i) loop.push_back({double(i), double(b), z});
  for (int j = b; j > a; --j) loop.push_back({double(a), double(j), z});
  return loop;
}

/// Centroid of triangle t of m.
inline Vec Centroid(const KroSimpleMesh& m, long t) {
  const C3DTriData& tri = m.m_triangles[static_cast<size_t>(t)];
  Vec g{0, 0, 0};
  for (long v : tri.v) {
    const Vec& p = m.m_positions[static_cast<size_t>(v)];
    g = {g.x + p.x / 3.0, g.y + p.y / 3.0, g.z + p.z / 3.0};
  }
  return g;
}

/// The box [lo, hi] as 8 shared corners and 12 outward triangles, two per
/// face in the order of kBoxQuads (triangles 2k and 2k+1 make face k).
inline TriSoup BoxSoup(const Vec& lo, const Vec& hi) {
  TriSoup s;
  for (int c = 0; c < 8; ++c) s.pts.push_back(BoxCorner(lo, hi, c));
  for (const auto& q : kBoxQuads) {
    s.tris.push_back({{q[0], q[1], q[2]}});
    s.tris.push_back({{q[0], q[2], q[3]}});
  }
  return s;
}

/// A latitude/longitude sphere as a soup (see SphereArrays).
inline TriSoup SphereSoup(const Vec& c, double r, int nLat, int nLon) {
  TriSoup s;
  SphereArrays(c, r, nLat, nLon, s.pts, s.tris);
  return s;
}

/// A hexagonal prism (radii rx, ry) whose walls are split into layers at the
/// heights z, with fan caps: many vertices and horizontal edges lie at the
/// layer heights. Outward facing.
inline TriSoup LayeredPrism(const std::vector<double>& z, double rx = 1, double ry = 1) {
  TriSoup s;
  const int n = 6, L = static_cast<int>(z.size());
  for (double h : z)
    for (int j = 0; j < n; ++j)
      s.pts.push_back({rx * std::cos(2 * kPi * j / n), ry * std::sin(2 * kPi * j / n), h});
  auto at = [&](int i, int j) { return static_cast<long>(i * n + (j % n)); };
  for (int i = 0; i + 1 < L; ++i)
    for (int j = 0; j < n; ++j) {
      s.tris.push_back({{at(i, j), at(i, j + 1), at(i + 1, j + 1)}});
      s.tris.push_back({{at(i, j), at(i + 1, j + 1), at(i + 1, j)}});
    }
  const long bottom = static_cast<long>(s.pts.size()), top = bottom + 1;
  s.pts.push_back({0, 0, z.front()});
  s.pts.push_back({0, 0, z.back()});
  for (int j = 0; j < n; ++j) {
    s.tris.push_back({{bottom, at(0, j + 1), at(0, j)}});
    s.tris.push_back({{top, at(L - 1, j), at(L - 1, j + 1)}});
  }
  return s;
}

/// Neighbour table (edge order v0-v1, v1-v2, v2-v0; -1 for none).
inline std::vector<C3DTriaTop> Neighbours(const TriSoup& s) {
  std::map<std::pair<long, long>, long> edgeOwner;
  for (long t = 0; t < static_cast<long>(s.tris.size()); ++t)
    for (int k = 0; k < 3; ++k) edgeOwner[{s.tris[t].v[k], s.tris[t].v[(k + 1) % 3]}] = t;
  std::vector<C3DTriaTop> tops(s.tris.size());
  for (long t = 0; t < static_cast<long>(s.tris.size()); ++t)
    for (int k = 0; k < 3; ++k) {
      const long a = s.tris[t].v[k], b = s.tris[t].v[(k + 1) % 3];
      auto it = edgeOwner.find({b, a});
      if (it == edgeOwner.end()) it = edgeOwner.find({a, b});  // wrongly wound neighbour
      tops[t].n[k] = (it != edgeOwner.end() && it->second != t) ? it->second : -1;
    }
  return tops;
}

/// The point/net layout of s: 1-based point and neighbour numbers (0: none).
inline void ToPntNet(const TriSoup& s, std::vector<KroPntStrcT>& pnts,
                     std::vector<KroNetStrcT>& nets) {
  pnts.clear();
  for (const Vec& p : s.pts) pnts.push_back({p.x, p.y, p.z, 0, 0, 0});
  const std::vector<C3DTriaTop> tops = Neighbours(s);
  nets.assign(s.tris.size(), KroNetStrcT{});
  for (size_t t = 0; t < s.tris.size(); ++t)
    for (int k = 0; k < 3; ++k) {
      nets[t].pnt[k] = s.tris[t].v[k] + 1;
      nets[t].adj[k] = tops[t].n[k] + 1;
    }
}

/// Appends a surface's points and triangles to soup (indices offset).
inline void AppendSurface(TriSoup& soup, const C3DSurface& s) {
  const long off = static_cast<long>(soup.pts.size());
  soup.pts.insert(soup.pts.end(), s.Points().begin(), s.Points().end());
  for (long t = 0; t < s.GetTriangleCount(); ++t) {
    C3DTriangle tri;
    CTriangleTopInfo top;
    s.GetTriangle(t, tri, top);
    soup.tris.push_back({{tri.v[0] + off, tri.v[1] + off, tri.v[2] + off}});
  }
}

inline TriSoup SoupOf(const C3DSurface& s) {
  TriSoup soup;
  AppendSurface(soup, s);
  return soup;
}

/// Every surface of a solid in one soup (points not welded).
inline TriSoup SoupOf(const C3DEntity& e) {
  TriSoup soup;
  for (long i = 0; i < e.GetSurfaceNum(); ++i) AppendSurface(soup, *e.SurfaceAt(i));
  return soup;
}

/// True when every triangle index (of t, of every triangle) lies inside the
/// point list.
inline bool Readable(const TriSoup& s, const C3DTriData& t) {
  for (long v : t.v)
    if (v < 0 || v >= static_cast<long>(s.pts.size())) return false;
  return true;
}
inline bool IndicesValid(const TriSoup& s) {
  for (const auto& t : s.tris)
    if (!Readable(s, t)) return false;
  return true;
}

/// Sum of triangle areas (invalid triangles skipped).
inline double TotalArea(const TriSoup& s) {
  double area = 0;
  for (const auto& t : s.tris)
    if (Readable(s, t))
      area +=
          0.5 * Norm(Cross(Sub(s.pts[t.v[1]], s.pts[t.v[0]]), Sub(s.pts[t.v[2]], s.pts[t.v[0]])));
  return area;
}

/// Signed enclosed volume by the divergence theorem: sum of p0.(p1 x p2)/6.
/// Positive for a closed, outward-facing solid. Terms are taken about the
/// soup's first point so that far-off models keep their precision.
inline double SignedVolume(const TriSoup& s) {
  if (s.pts.empty()) return 0;
  const Vec o = s.pts.front();
  double vol = 0;
  for (const auto& t : s.tris) {
    if (!Readable(s, t)) continue;
    const Vec a = Sub(s.pts[t.v[0]], o), b = Sub(s.pts[t.v[1]], o), c = Sub(s.pts[t.v[2]], o);
    vol += Dot(a, Cross(b, c)) / 6.0;
  }
  return vol;
}

/// Map from each point to the first point within tol on every axis
/// (a grid hash with the neighbouring cells searched). A tol of 0 or below
/// welds nothing: every point maps to itself.
inline std::vector<long> WeldMap(const std::vector<Vec>& pts, double tol) {
  using Key = std::array<int64_t, 3>;
  std::map<Key, std::vector<long>> grid;
  std::vector<long> map(pts.size());
  auto cell = [&](double v) { return static_cast<int64_t>(std::floor(v / tol)); };
  for (size_t i = 0; i < pts.size(); ++i) {
    const Vec& p = pts[i];
    map[i] = static_cast<long>(i);
    if (!(tol > 0)) continue;
    const Key k{cell(p.x), cell(p.y), cell(p.z)};
    for (int d = 0; d < 27 && map[i] == static_cast<long>(i); ++d) {
      auto it = grid.find({k[0] + d / 9 - 1, k[1] + d / 3 % 3 - 1, k[2] + d % 3 - 1});
      if (it == grid.end()) continue;
      for (long r : it->second) {
        const Vec& q = pts[r];
        if (std::fabs(q.x - p.x) <= tol && std::fabs(q.y - p.y) <= tol &&
            std::fabs(q.z - p.z) <= tol && map[i] == static_cast<long>(i))
          map[i] = r;
      }
    }
    if (map[i] == static_cast<long>(i)) grid[k].push_back(static_cast<long>(i));
  }
  return map;
}

/// Edge use after welding points closer than tol.
struct EdgeReport {
  long edges = 0;        ///< distinct undirected edges
  long boundary = 0;     ///< edges used by one triangle
  long nonManifold = 0;  ///< edges used by more than two triangles
  long misoriented = 0;  ///< two-triangle edges walked the same way twice
  long degenerate = 0;   ///< triangles that collapse under welding
  bool closed() const { return edges > 0 && boundary == 0 && nonManifold == 0 && misoriented == 0; }
};

inline EdgeReport CheckEdges(const TriSoup& s, double tol = 1e-6) {
  const std::vector<long> w = WeldMap(s.pts, tol);
  // Undirected edge -> (uses along a<b, uses along b<a).
  std::map<std::pair<long, long>, std::pair<int, int>> uses;
  EdgeReport r;
  for (const auto& t : s.tris) {
    long v[3];
    for (int k = 0; k < 3; ++k) v[k] = w.at(static_cast<size_t>(t.v[k]));
    if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) {
      ++r.degenerate;
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      const long a = v[k], b = v[(k + 1) % 3];
      auto& u = uses[{std::min(a, b), std::max(a, b)}];
      (a < b ? u.first : u.second)++;
    }
  }
  r.edges = static_cast<long>(uses.size());
  for (const auto& e : uses) {
    const int total = e.second.first + e.second.second;
    if (total == 1) ++r.boundary;
    if (total > 2) ++r.nonManifold;
    if (total == 2 && e.second.first != 1) ++r.misoriented;
  }
  return r;
}

/// Number of edge-connected pieces after welding (isolated points ignored).
inline long CountPieces(const TriSoup& s, double tol = 1e-6) {
  const std::vector<long> w = WeldMap(s.pts, tol);
  std::vector<long> parent(s.pts.size(), -1);  // -1: unused
  auto find = [&](long x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  for (const auto& t : s.tris)
    for (long v : t.v)
      if (parent[w.at(v)] < 0) parent[w.at(v)] = w.at(v);
  for (const auto& t : s.tris)
    for (int k = 0; k < 3; ++k) parent[find(w.at(t.v[k]))] = find(w.at(t.v[(k + 1) % 3]));
  long pieces = 0;
  for (size_t i = 0; i < parent.size(); ++i) pieces += parent[i] == static_cast<long>(i);
  return pieces;
}

// ---------------------------------------------------------------------------
// Vertex decorations

/// Appends stage-0 texture coordinates and colours to the points of s.
inline void Decorate(C3DSurface& s, const std::vector<KRO::G_TEXCOORD>& tex,
                     const std::vector<KRO::COLOR4>& colours = {}) {
  CPointCollection pc;
  CVertexDecorationObj deco;
  s.GetPointCollection(&pc, &deco);
  if (!tex.empty()) deco.AppendTexcoords(0, tex.data(), static_cast<long>(tex.size()));
  if (!colours.empty()) deco.AppendColors(colours.data(), static_cast<long>(colours.size()));
  s.UpdatePointCollection(&pc, &deco);
}

/// The stage-0 texture coordinates of s.
inline std::vector<KRO::G_TEXCOORD> TexCoords0(const C3DSurface& s) {
  CVertexDecorationObj deco = s.Decoration();
  KRO::G_TEXCOORD* tc = nullptr;
  long n = 0;
  deco.GetTexcoords(0, &tc, &n);
  return std::vector<KRO::G_TEXCOORD>(tc, tc + n);
}

}  // namespace shapes
