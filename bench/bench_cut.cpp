// Surface cuts through the facade (CutMdlBetweenMdl, surface by surface),
// and through CGAL's Polygon_mesh_processing::split on the same triangles:
// - surface-*: a wavy terrain of n x n cells by a wavy sheet of the same
//   resolution reaching past it, each cut by the other (KroMesh: all four
//   sides; CGAL: split(terrain, sheet), which re-triangulates both along
//   the cut lines and splits the terrain);
// - terrain-1M: a 1M-triangle terrain by a 10k-triangle steep fault,
//   the terrain's two sides only (KroMesh: o1, o2 with the fault not
//   split; CGAL: split(terrain, fault)).
//
// Timed: building each library's model from the point and triangle arrays,
// and the cut. The check sorts the terrain's result triangles by their
// centroid against the cutter: KroMesh's area on each side must match
// CGAL's to 1e-3 of the terrain's area, and each KroMesh side must lie on
// one side of the cutter (misplaced area under 1e-3).
#include <CGAL/Polygon_mesh_processing/clip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "BenchHarness.h"
#include "kromesh/KroMeshTriCut.h"

namespace {

using bench::GridSheet;

const double kTwoPi = 6.283185307179586;

// Terrain over [0, 1000]^2 with 60 m of relief.
GridSheet Terrain(int cells) {
  return GridSheet(cells, 0, 0, 1000, 1000, 0, 1, 2, [](double x, double y) {
    const double k = kTwoPi / 1000;
    return 40 * (std::sin(3 * k * x + 0.7) * std::cos(2 * k * y) + 0.5 * std::sin(5 * k * y));
  });
}

// A wavy sheet over a slightly larger square, so that it covers the terrain
// and no boundary edges of the two meet.
GridSheet Sheet(int cells) {
  return GridSheet(cells, -7, -9, 1016, 1019, 0, 1, 2, [](double x, double y) {
    const double k = kTwoPi / 1000;
    return 30 * std::cos(2 * k * x + 0.3) * std::sin(4 * k * y + 1.1) + 5;
  });
}

// A steep fault: x as a function of (y, z), leaning 17 degrees, reaching
// past the terrain in y and z.
GridSheet Fault(int cells) {
  return GridSheet(cells, -20, -150, 1040, 300, 1, 2, 0, [](double y, double z) {
    return 480 + 0.3 * z + 40 * std::sin(kTwoPi * y / 700) + 8 * std::cos(kTwoPi * z / 150);
  });
}

int Cells(const bench::Case& c) {
  return c.name == "surface-20k" ? 100 : c.name == "surface-80k" ? 200 : 400;
}

bench::Outcome Run(const bench::Case& c, bool kromesh) {
  const bool both = c.family == "surface";
  const GridSheet terrain = both ? Terrain(Cells(c)) : Terrain(707);
  const GridSheet cutter = both ? Sheet(Cells(c)) : Fault(71);
  const bench::TriMesh tm = terrain.Mesh(), cm = cutter.Mesh();
  bench::Outcome o;
  if (kromesh) {
    bench::Stopwatch sw;
    C3DSurface s1 = bench::ToSurface(tm, "terrain");
    C3DSurface s2 = bench::ToSurface(cm, "cutter");
    C3DSurface o1, o2, o3, o4;
    CKroMeshTriCut cut;
    cut.CutMdlBetweenMdl(&s1, &s2, &o1, &o2, both ? &o3 : nullptr, both ? &o4 : nullptr, true,
                         both);
    sw.Stop(o);
    const std::vector<double> a1 = bench::SideAreas(cutter, o1), a2 = bench::SideAreas(cutter, o2);
    // Each side's minority and off-grid area is misplaced.
    const double misplaced = std::min(a1[0], a1[1]) + a1[2] + std::min(a2[0], a2[1]) + a2[2];
    o.figures = {a1[0] + a2[0], a1[1] + a2[1], misplaced};
  } else {
    bench::Stopwatch sw;
    bench::CgalMesh mt = bench::ToCgal(tm);
    bench::CgalMesh mc = bench::ToCgal(cm);
    CGAL::Polygon_mesh_processing::split(mt, mc);
    sw.Stop(o);
    const std::vector<double> a = bench::SideAreas(cutter, mt);
    o.figures = {a[0], a[1], a[2]};
  }
  return o;
}

bool Check(const std::vector<double>& kro, const std::vector<double>& cgal, std::string& text) {
  if (kro.size() < 3 || cgal.size() < 3) return false;
  const double total = cgal[0] + cgal[1] + cgal[2];
  const double off = std::max(std::abs(kro[0] - cgal[0]), std::abs(kro[1] - cgal[1])) / total;
  const double misplaced = kro[2] / total;
  char b[96];
  std::snprintf(b, sizeof b, "side areas %.1e rel. off, %.1e misplaced", off, misplaced);
  text = b;
  return off <= 1e-3 && misplaced <= 1e-3;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Suite s;
  s.title = "Surface cuts";
  s.cases = {{"surface-20k", "surface", "2 x 20,000"},
             {"surface-80k", "surface", "2 x 80,000"},
             {"surface-320k", "surface", "2 x 320,000"},
             {"terrain-1M", "terrain", "999,698 + 10,082"}};
  s.run = Run;
  s.check = Check;
  return bench::Main(argc, argv, s);
}
