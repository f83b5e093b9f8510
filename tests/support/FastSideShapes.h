// Triangle sets for the point-against-surface tests and benchmark: wavy
// terrains, a sheet folded over itself, a lattice with ties and slivers,
// and the probe points thrown at them.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "kromesh/mesh/KroRecords.h"
#include "support/Shapes.h"

namespace fastside {

struct Surface {
  std::vector<KRO::G3D_DVertex> v;
  std::vector<C3DTriData> t;
  long nv() const { return static_cast<long>(v.size()); }
  long nt() const { return static_cast<long>(t.size()); }
};

/// An n x n cell grid over [x0, x0 + n*step]^2 (see shapes::GridSoup) with
/// z = height(x, y).
template <class Height>
Surface Terrain(int n, double step, double x0, Height height) {
  shapes::TriSoup g = shapes::GridSoup(n, n, x0, x0, step, step, height);
  return {std::move(g.pts), std::move(g.tris)};
}

/// Wavy terrain over [0, n*step]^2 with height amplitude amp.
inline Surface WavyTerrain(int n, double step, double amp, double phase = 0.0) {
  return Terrain(n, step, 0.0, [amp, phase, n, step](double x, double y) {
    const double k = 6.283185307179586 / (n * step);
    return amp * (std::sin(3 * k * x + phase) * std::cos(2 * k * y) + 0.5 * std::sin(5 * k * y));
  });
}

/// A sheet folded twice into a Z over [0, len] in x: layers at z = 0, gap
/// and 2 * gap joined by vertical strips, extruded over [0, width] in y,
/// triangles in shuffled order (seeded), corners jittered by up to jitter.
inline Surface FoldedSheet(int nx, int ny, double len, double width, double gap, double jitter,
                           unsigned seed) {
  // Cross-section polyline in (x, z).
  std::vector<std::pair<double, double>> sec;
  for (int i = 0; i <= nx; ++i) sec.push_back({len * i / nx, 0.0});
  sec.push_back({len, gap});
  for (int i = nx - 1; i >= 0; --i) sec.push_back({len * i / nx, gap});
  sec.push_back({0.0, 2 * gap});
  for (int i = 1; i <= nx; ++i) sec.push_back({len * i / nx, 2 * gap});
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jit(-jitter, jitter);
  Surface s;
  const int ns = static_cast<int>(sec.size());
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i < ns; ++i)
      s.v.push_back({sec[i].first + jit(rng), width * j / ny + jit(rng), sec[i].second + jit(rng)});
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i + 1 < ns; ++i) {
      const long a = j * ns + i, b = a + 1, c = a + ns + 1, d = a + ns;
      s.t.push_back({{a, b, c}});
      s.t.push_back({{a, c, d}});
    }
  std::shuffle(s.t.begin(), s.t.end(), rng);
  return s;
}

/// A flat integer lattice (n x n unit cells at z = 0, so that many centroids
/// are equidistant from lattice and half-lattice points), followed by
/// copies of some of its triangles (exact ties) and slivers lying across it.
inline Surface TiedLattice(int n) {
  Surface s = Terrain(n, 1.0, 0.0, [](double, double) { return 0.0; });
  const long base = s.nt();
  for (long k = 0; k < base; k += 7) s.t.push_back(s.t[static_cast<size_t>(k)]);
  // Slivers whose centroids sit right on lattice points, nearer than any
  // well-shaped centroid: they must never decide.
  for (int j = 1; j < n; j += 2)
    for (int i = 1; i < n; i += 2) {
      const long a = s.nv();
      s.v.insert(
          s.v.end(),
          {{i - 0.5, double(j), 0.0}, {i + 0.5, double(j), 0.0}, {double(i), j + 0.01, 0.06}});
      s.t.push_back({{a, a + 1, a + 2}});
    }
  return s;
}

/// count points in [lo, hi]^3 (seeded).
inline std::vector<KRO::G3D_DVertex> RandomPoints(int count, const KRO::G3D_DVertex& lo,
                                                  const KRO::G3D_DVertex& hi, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<KRO::G3D_DVertex> pts;
  for (int i = 0; i < count; ++i)
    pts.push_back({lo.x + (hi.x - lo.x) * u(rng), lo.y + (hi.y - lo.y) * u(rng),
                   lo.z + (hi.z - lo.z) * u(rng)});
  return pts;
}

/// Points on and near the surface: for some triangles (seeded pick) a
/// corner, the centroid, an edge midpoint, and those moved along z by
/// +-1e-7, +-1e-6 and +-1e-5.
inline std::vector<KRO::G3D_DVertex> PointsOnAndNear(const Surface& s, int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<long> pick(0, s.nt() - 1);
  const double offsets[] = {0.0, 1e-7, -1e-7, 1e-6, -1e-6, 1e-5, -1e-5};
  std::vector<KRO::G3D_DVertex> pts;
  for (int i = 0; i < count; ++i) {
    const C3DTriData& t = s.t[static_cast<size_t>(pick(rng))];
    const KRO::G3D_DVertex &a = s.v[t.v[0]], &b = s.v[t.v[1]], &c = s.v[t.v[2]];
    const KRO::G3D_DVertex g{(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0,
                             (a.z + b.z + c.z) / 3.0};
    KRO::G3D_DVertex p =
        i % 3 == 0   ? a
        : i % 3 == 1 ? g
                     : KRO::G3D_DVertex{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0, (a.z + b.z) / 2.0};
    p.z += offsets[(i / 3) % 7];
    pts.push_back(p);
  }
  return pts;
}

/// Centroids of every triangle of s ((0, 0, 0) for a triangle with a
/// corner outside s.v).
inline std::vector<KRO::G3D_DVertex> Centroids(const Surface& s) {
  std::vector<KRO::G3D_DVertex> g;
  g.reserve(s.t.size());
  for (const C3DTriData& t : s.t) {
    bool readable = true;
    for (long v : t.v) readable = readable && v >= 0 && v < s.nv();
    if (!readable) {
      g.push_back({0.0, 0.0, 0.0});
      continue;
    }
    const KRO::G3D_DVertex &a = s.v[t.v[0]], &b = s.v[t.v[1]], &c = s.v[t.v[2]];
    g.push_back({(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0});
  }
  return g;
}

}  // namespace fastside
