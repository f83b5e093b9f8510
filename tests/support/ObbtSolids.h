// Small closed solids and sheets as plain arrays, for the OBB wrapper and
// ray tests: a box, a diamond-section prism, a roof prism and a flat fan,
// plus converters to KroSimpleMesh and to the point/net layout (with a
// neighbour table built from the shared edges).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace obbtsolids {

using Vec = KRO::G3D_DVertex;

struct Solid {
  std::vector<Vec> pts;
  std::vector<C3DTriData> tris;
};

/// Box [lo, hi], 12 outward triangles (two per face).
inline Solid Box(const Vec& lo, const Vec& hi) {
  Solid s;
  for (int c = 0; c < 8; ++c) {
    s.pts.push_back({(c & 1) ? hi.x : lo.x, (c & 2) ? hi.y : lo.y, (c & 4) ? hi.z : lo.z});
  }
  const int quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  for (const auto& q : quads) {
    s.tris.push_back({{q[0], q[1], q[2]}});
    s.tris.push_back({{q[0], q[2], q[3]}});
  }
  return s;
}

/// A prism along a, with the closed convex section given counter-clockwise
/// in the (u, v) plane: point k of the section sits at base + s*a + u*U +
/// v*V for s = 0 and s = len. Triangles face outward when (U, V, a) is a
/// right-handed frame.
inline Solid Prism(const Vec& base, const Vec& a, const Vec& U, const Vec& V, double len,
                   const std::vector<std::pair<double, double>>& section) {
  Solid s;
  const long n = static_cast<long>(section.size());
  for (int end = 0; end < 2; ++end) {
    const double t = end * len;
    for (const auto& uv : section) {
      s.pts.push_back({base.x + t * a.x + uv.first * U.x + uv.second * V.x,
                       base.y + t * a.y + uv.first * U.y + uv.second * V.y,
                       base.z + t * a.z + uv.first * U.z + uv.second * V.z});
    }
  }
  for (long k = 0; k < n; ++k) {
    const long k1 = (k + 1) % n;
    s.tris.push_back({{k, k1, n + k1}});
    s.tris.push_back({{k, n + k1, n + k}});
  }
  for (long k = 1; k + 1 < n; ++k) {
    s.tris.push_back({{0, k + 1, k}});          // start cap faces -a
    s.tris.push_back({{n, n + k, n + k + 1}});  // end cap faces +a
  }
  return s;
}

/// Square sheet [-1, 1]^2 at height z split into four triangles around its
/// centre (point 0), facing +z.
inline Solid Fan(double z) {
  Solid s;
  s.pts = {{0, 0, z}, {-1, -1, z}, {1, -1, z}, {1, 1, z}, {-1, 1, z}};
  s.tris = {{{0, 1, 2}}, {{0, 2, 3}}, {{0, 3, 4}}, {{0, 4, 1}}};
  return s;
}

/// Convex hull of four points as an outward tetrahedron.
inline Solid Tetra(const Vec& a, const Vec& b, const Vec& c, const Vec& d) {
  Solid s;
  s.pts = {a, b, c, d};
  const Vec g{(a.x + b.x + c.x + d.x) / 4, (a.y + b.y + c.y + d.y) / 4,
              (a.z + b.z + c.z + d.z) / 4};
  const long faces[4][3] = {{0, 1, 2}, {0, 3, 1}, {1, 3, 2}, {2, 3, 0}};
  for (const auto& f : faces) {
    const Vec& p = s.pts[f[0]];
    const Vec& q = s.pts[f[1]];
    const Vec& r = s.pts[f[2]];
    const Vec u{q.x - p.x, q.y - p.y, q.z - p.z}, v{r.x - p.x, r.y - p.y, r.z - p.z};
    const Vec n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    const double side = n.x * (p.x - g.x) + n.y * (p.y - g.y) + n.z * (p.z - g.z);
    if (side > 0) {
      s.tris.push_back({{f[0], f[1], f[2]}});
    } else {
      s.tris.push_back({{f[0], f[2], f[1]}});
    }
  }
  return s;
}

inline KroSimpleMesh ToMesh(const Solid& s) {
  KroSimpleMesh m;
  m.m_positions = s.pts;
  m.m_triangles = s.tris;
  return m;
}

/// Neighbour table (edge order v0-v1, v1-v2, v2-v0; -1 for none).
inline std::vector<C3DTriaTop> Neighbours(const Solid& s) {
  std::map<std::pair<long, long>, long> edgeOwner;
  for (long t = 0; t < static_cast<long>(s.tris.size()); ++t) {
    for (int k = 0; k < 3; ++k) edgeOwner[{s.tris[t].v[k], s.tris[t].v[(k + 1) % 3]}] = t;
  }
  std::vector<C3DTriaTop> tops(s.tris.size());
  for (long t = 0; t < static_cast<long>(s.tris.size()); ++t) {
    for (int k = 0; k < 3; ++k) {
      const long a = s.tris[t].v[k], b = s.tris[t].v[(k + 1) % 3];
      auto it = edgeOwner.find({b, a});
      if (it == edgeOwner.end()) it = edgeOwner.find({a, b});  // wrongly wound neighbour
      tops[t].n[k] = (it != edgeOwner.end() && it->second != t) ? it->second : -1;
    }
  }
  return tops;
}

/// The point/net layout of s: 1-based point numbers and neighbour numbers
/// (0 for none).
inline void ToPntNet(const Solid& s, std::vector<KroPntStrcT>& pnts,
                     std::vector<KroNetStrcT>& nets) {
  pnts.assign(s.pts.size(), KroPntStrcT{});
  for (size_t i = 0; i < s.pts.size(); ++i) {
    pnts[i].x = s.pts[i].x;
    pnts[i].y = s.pts[i].y;
    pnts[i].z = s.pts[i].z;
  }
  const std::vector<C3DTriaTop> tops = Neighbours(s);
  nets.assign(s.tris.size(), KroNetStrcT{});
  for (size_t t = 0; t < s.tris.size(); ++t) {
    for (int k = 0; k < 3; ++k) {
      nets[t].pnt[k] = s.tris[t].v[k] + 1;
      nets[t].adj[k] = tops[t].n[k] + 1;
    }
  }
}

/// Deterministic pseudo-random numbers in [0, 1) (64-bit LCG).
class Lcg {
 public:
  explicit Lcg(uint64_t seed) : m_state(seed) {}
  double Next() {
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(m_state >> 11) / 9007199254740992.0;
  }

 private:
  uint64_t m_state;
};

}  // namespace obbtsolids
