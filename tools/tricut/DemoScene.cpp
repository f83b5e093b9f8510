#include "DemoScene.h"

#include <cmath>

#include "Errors.h"
#include "kromesh/math/CMathFunCls.h"

namespace tricut {
namespace demo {

namespace {

using Vec = KRO::G3D_DVertex;
const double kPi = 3.14159265358979323846;

Part MakePart(const std::string& name, const std::string& material, const std::vector<Vec>& pts,
              const std::vector<C3DTriangle>& tris, const std::vector<KRO::G_TEXCOORD>& tex = {}) {
  Part p;
  p.name = name;
  p.surface = MakeSurface(pts, tris, material, {}, {}, tex);
  p.deco.m_materialName = material;
  return p;
}

// A grid of (nu+1) x (nv+1) points from f(u, v), u, v in [0, 1], with two
// triangles per cell facing along the u x v direction.
template <class F>
void Grid(int nu, int nv, F f, std::vector<Vec>& pts, std::vector<C3DTriangle>& tris) {
  pts.clear();
  tris.clear();
  for (int j = 0; j <= nv; ++j)
    for (int i = 0; i <= nu; ++i)
      pts.push_back(f(static_cast<double>(i) / nu, static_cast<double>(j) / nv));
  auto id = [&](int i, int j) { return static_cast<long>(j) * (nu + 1) + i; };
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i) {
      tris.emplace_back(id(i, j), id(i + 1, j), id(i + 1, j + 1));
      tris.emplace_back(id(i, j), id(i + 1, j + 1), id(i, j + 1));
    }
}

// A wall between two point rows of equal length (a strip of quads).
Part Wall(const std::string& name, const std::string& material, const std::vector<Vec>& lower,
          const std::vector<Vec>& upper) {
  std::vector<Vec> pts = lower;
  pts.insert(pts.end(), upper.begin(), upper.end());
  const long n = static_cast<long>(lower.size());
  std::vector<C3DTriangle> tris;
  for (long i = 0; i + 1 < n; ++i) {
    tris.emplace_back(i, i + 1, n + i + 1);
    tris.emplace_back(i, n + i + 1, n + i);
  }
  return MakePart(name, material, pts, tris);
}

double TerrainZ(double x, double y) {
  return 100 + 15 * std::sin(x / 70) * std::cos(y / 55) + 0.04 * x;
}

// Layered body: plan [80, 320] x [60, 240].
const double kBx0 = 80, kBx1 = 320, kBy0 = 60, kBy1 = 240;
double BodyTop(double x, double y) {
  return 45 + 10 * std::sin(x / 40) + 6 * std::cos(y / 30);
}
double BodyBottom(double x, double y) {
  return -90 + 6 * std::cos(y / 35) + 4 * std::sin(x / 50);
}

}  // namespace

Model Terrain() {
  std::vector<Vec> pts;
  std::vector<C3DTriangle> tris;
  Grid(
      40, 30,
      [](double u, double v) {
        const double x = 400 * u, y = 300 * v;
        return Vec{kX0 + x, kY0 + y, TerrainZ(x, y)};
      },
      pts, tris);
  Model m;
  m.name = "terrain";
  m.parts.push_back(MakePart("terrain", "Soil", pts, tris));
  return m;
}

Model Fault() {
  // Strike from (150, -20) to (260, 320) in plan; the surface leans east
  // with depth (dip about 70 degrees) and bows a little along strike.
  const double ax = 150, ay = -20, bx = 260, by = 320;
  const double sx = bx - ax, sy = by - ay, len = std::hypot(sx, sy);
  const double ex = sy / len, ey = -sx / len;  // horizontal, east of the strike
  const double cot = 1 / std::tan(70 * kPi / 180);
  std::vector<Vec> pts;
  std::vector<C3DTriangle> tris;
  Grid(
      16, 12,
      [&](double u, double v) {
        const double z = -200 + 420 * v;
        const double off = -z * cot + 12 * std::sin(kPi * u);
        return Vec{kX0 + ax + u * sx + off * ex, kY0 + ay + u * sy + off * ey, z};
      },
      pts, tris);
  Model m;
  m.name = "fault";
  m.parts.push_back(MakePart("fault", "FaultGouge", pts, tris));
  return m;
}

Model LayeredBody() {
  const int nx = 24, ny = 18;
  auto px = [&](int i) { return kBx0 + (kBx1 - kBx0) * i / nx; };
  auto py = [&](int j) { return kBy0 + (kBy1 - kBy0) * j / ny; };
  Model m;
  m.name = "body";
  // Top, facing up, textured by its plan position.
  {
    std::vector<Vec> pts;
    std::vector<C3DTriangle> tris;
    Grid(
        nx, ny,
        [&](double u, double v) {
          const double x = kBx0 + (kBx1 - kBx0) * u, y = kBy0 + (kBy1 - kBy0) * v;
          return Vec{kX0 + x, kY0 + y, BodyTop(x, y)};
        },
        pts, tris);
    std::vector<KRO::G_TEXCOORD> tex;
    for (const auto& p : pts) {
      KRO::G_TEXCOORD t;
      t.u = static_cast<float>((p.x - kX0 - kBx0) / 60.0);
      t.v = static_cast<float>((p.y - kY0 - kBy0) / 60.0);
      tex.push_back(t);
    }
    m.parts.push_back(MakePart("top", "Limestone", pts, tris, tex));
  }
  // Bottom, facing down.
  {
    std::vector<Vec> pts;
    std::vector<C3DTriangle> tris;
    Grid(
        nx, ny,
        [&](double u, double v) {
          const double x = kBx0 + (kBx1 - kBx0) * u, y = kBy0 + (kBy1 - kBy0) * v;
          return Vec{kX0 + x, kY0 + y, BodyBottom(x, y)};
        },
        pts, tris);
    for (auto& t : tris) std::swap(t.v[1], t.v[2]);
    m.parts.push_back(MakePart("bottom", "Granite", pts, tris));
  }
  // Walls along the four sides, going round counter-clockwise seen from
  // above, so that each strip faces outwards.
  auto row = [&](bool top, int side) {
    std::vector<Vec> r;
    const int n = (side % 2 == 0) ? nx : ny;
    for (int k = 0; k <= n; ++k) {
      double x = 0, y = 0;
      if (side == 0) x = px(k), y = py(0);        // south, west to east
      if (side == 1) x = px(nx), y = py(k);       // east, south to north
      if (side == 2) x = px(nx - k), y = py(ny);  // north, east to west
      if (side == 3) x = px(0), y = py(ny - k);   // west, north to south
      r.push_back({kX0 + x, kY0 + y, top ? BodyTop(x, y) : BodyBottom(x, y)});
    }
    return r;
  };
  const char* names[4] = {"south", "east", "north", "west"};
  for (int side = 0; side < 4; ++side)
    m.parts.push_back(Wall(names[side], "Marl", row(false, side), row(true, side)));
  OrientSurfaces(m);
  return m;
}

Model Lens() {
  const Vec c{kX0 + 265, kY0 + 175, -15};
  const double rx = 85, ry = 60, rz = 42;
  const int nLat = 12, nLon = 24;
  Model m;
  m.name = "lens";
  for (int half = 0; half < 2; ++half) {
    // Latitude bands 0..nLat/2 (upper) or nLat/2..nLat (lower); poles single.
    std::vector<Vec> pts;
    std::vector<C3DTriangle> tris;
    const int b0 = half == 0 ? 0 : nLat / 2, b1 = half == 0 ? nLat / 2 : nLat;
    std::vector<std::vector<long>> ring;
    for (int i = b0; i <= b1; ++i) {
      std::vector<long> r;
      const double th = kPi * i / nLat;
      if (i == 0 || i == nLat) {
        const long id = static_cast<long>(pts.size());
        pts.push_back({c.x, c.y, c.z + (i == 0 ? rz : -rz)});
        r.assign(nLon, id);
      } else {
        for (int j = 0; j < nLon; ++j) {
          const double ph = 2 * kPi * j / nLon;
          r.push_back(static_cast<long>(pts.size()));
          pts.push_back({c.x + rx * std::sin(th) * std::cos(ph),
                         c.y + ry * std::sin(th) * std::sin(ph), c.z + rz * std::cos(th)});
        }
      }
      ring.push_back(r);
    }
    for (std::size_t i = 0; i + 1 < ring.size(); ++i)
      for (int j = 0; j < nLon; ++j) {
        const int k = (j + 1) % nLon;
        const long a = ring[i][j], b = ring[i + 1][j], cc = ring[i + 1][k], d = ring[i][k];
        if (a != d) tris.emplace_back(a, b, d);
        if (b != cc) tris.emplace_back(d, b, cc);
      }
    m.parts.push_back(MakePart(half == 0 ? "upper" : "lower", "Ore", pts, tris));
  }
  OrientSurfaces(m);
  return m;
}

Model Tunnel() {
  // Floor paths 30 m apart from (40, 140) to (360, 165) at z = -45.
  const int n = 17;
  const double x0 = 40, y0 = 140, x1 = 360, y1 = 165, z = -45, halfWidth = 15;
  const double dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
  const double nx = -dy / len, ny = dx / len;
  std::vector<Vec> left(n), right(n);
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / (n - 1);
    const double cx = x0 + t * dx, cy = y0 + t * dy;
    left[i] = {kX0 + cx + halfWidth * nx, kY0 + cy + halfWidth * ny, z};
    right[i] = {kX0 + cx - halfWidth * nx, kY0 + cy - halfWidth * ny, z};
  }
  const long nDiv = 8;
  const float h = 8.f;  // the arch has radius 2h = 16 over the 30 m span
  std::vector<Vec> vault(static_cast<std::size_t>((nDiv + 1) * n));
  if (CMathFunCls::GetVaultPathFromLRPath(left.data(), right.data(), n, h, 0.0, nDiv,
                                          vault.data()) < 1)
    throw ToolError("demo: the vault path could not be built");
  Model m;
  m.name = "tunnel";
  // Vault: row k, column i is vault[k * n + i].
  {
    std::vector<C3DTriangle> tris;
    for (long k = 0; k < nDiv; ++k)
      for (long i = 0; i + 1 < n; ++i) {
        const long a = k * n + i, b = k * n + i + 1, c = (k + 1) * n + i + 1, d = (k + 1) * n + i;
        tris.emplace_back(a, b, c);
        tris.emplace_back(a, c, d);
      }
    m.parts.push_back(MakePart("vault", "Shotcrete", vault, tris));
  }
  // Floor between the two paths.
  m.parts.push_back(Wall("floor", "Concrete", right, left));
  // End faces: the arch section at each end, fanned from its left foot.
  for (int end = 0; end < 2; ++end) {
    const long i = end == 0 ? 0 : n - 1;
    std::vector<Vec> pts;
    for (long k = 0; k <= nDiv; ++k) pts.push_back(vault[k * n + i]);
    std::vector<C3DTriangle> tris;
    for (long k = 1; k < nDiv; ++k) tris.emplace_back(0, k, k + 1);
    m.parts.push_back(MakePart(end == 0 ? "portal_west" : "portal_east", "Shotcrete", pts, tris));
  }
  OrientSurfaces(m);
  return m;
}

std::vector<D_DOT> CurtainLine() {
  return {
      {kX0 - 10, kY0 + 40}, {kX0 + 120, kY0 + 110}, {kX0 + 250, kY0 + 130}, {kX0 + 410, kY0 + 260}};
}

}  // namespace demo
}  // namespace tricut
