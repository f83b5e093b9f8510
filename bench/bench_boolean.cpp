// Boolean union of two solids through the facade, and through CGAL's
// corefinement (corefine_and_compute_union, Surface_mesh, Epick) on the
// same triangles: two overlapping lat/long spheres at 20k, 200k and 1M
// triangles per sphere, and a pair of real models (tests/data/spot.off and
// spot_moved.off).
//
// Timed: building each library's model from the point and triangle arrays,
// and the union. Not timed: making or reading the inputs, measuring the
// result. The check compares the union's volume with CGAL's (1e-3
// relative).
#include <CGAL/Polygon_mesh_processing/corefinement.h>
#include <CGAL/Polygon_mesh_processing/measure.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "BenchHarness.h"
#include "Model.h"
#include "ModelIO.h"
#include "kromesh/KroMeshTriCut.h"

namespace {

using bench::TriMesh;

// Latitude/longitude sphere, outward facing, 2 * segments * (rings - 1)
// triangles.
TriMesh MakeSphere(double cx, double cy, double cz, double r, int rings, int segments) {
  TriMesh s;
  const double pi = 3.14159265358979323846;
  s.pts.push_back({cx, cy, cz + r});
  for (int i = 1; i < rings; ++i) {
    const double th = pi * i / rings;
    for (int j = 0; j < segments; ++j) {
      const double ph = 2 * pi * j / segments;
      s.pts.push_back({cx + r * std::sin(th) * std::cos(ph), cy + r * std::sin(th) * std::sin(ph),
                       cz + r * std::cos(th)});
    }
  }
  s.pts.push_back({cx, cy, cz - r});
  const long south = static_cast<long>(s.pts.size()) - 1;
  auto at = [segments](int ring, int j) { return 1L + (ring - 1) * segments + (j % segments); };
  for (int j = 0; j < segments; ++j) s.tris.emplace_back(0, at(1, j), at(1, j + 1));
  for (int i = 1; i < rings - 1; ++i)
    for (int j = 0; j < segments; ++j) {
      s.tris.emplace_back(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      s.tris.emplace_back(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  for (int j = 0; j < segments; ++j)
    s.tris.emplace_back(south, at(rings - 1, j + 1), at(rings - 1, j));
  return s;
}

// All parts of a model file as one triangle list.
TriMesh ReadMesh(const std::string& file) {
  const tricut::Model m = tricut::ReadModel(bench::DataDir() + "/" + file);
  TriMesh out;
  for (const tricut::Part& part : m.parts) {
    const long base = static_cast<long>(out.pts.size());
    const auto& pts = part.surface.Points();
    out.pts.insert(out.pts.end(), pts.begin(), pts.end());
    for (const C3DTriangle& t : tricut::TrianglesOf(part.surface))
      out.tris.emplace_back(t.v[0] + base, t.v[1] + base, t.v[2] + base);
  }
  return out;
}

// Sphere cases: rings = segments. Radius 100, so that the default data
// precision stays far below the triangle size even at 1M triangles.
int Rings(const bench::Case& c) {
  return c.name == "sphere-20k" ? 100 : c.name == "sphere-200k" ? 316 : 707;
}

bench::Outcome Run(const bench::Case& c, bool kromesh) {
  TriMesh a, b;
  if (c.family == "sphere") {
    a = MakeSphere(0, 0, 0, 100.0, Rings(c), Rings(c));
    b = MakeSphere(60, 31, 17, 90.0, Rings(c), Rings(c));
  } else {
    a = ReadMesh("spot.off");
    b = ReadMesh("spot_moved.off");
  }
  bench::Outcome o;
  if (kromesh) {
    bench::Stopwatch sw;
    C3DEntity ea = bench::ToEntity(a, "A");
    C3DEntity eb = bench::ToEntity(b, "B");
    C3DEntity out(-1, 0);
    CKroMeshTriCut cut;
    cut.CalMdlBetweenMdl(&ea, &eb, &out, Kro_Oper_Union);
    sw.Stop(o);
    o.figures = {bench::SignedVolume(out), static_cast<double>(bench::TriangleCount(out))};
  } else {
    bench::Stopwatch sw;
    bench::CgalMesh ma = bench::ToCgal(a);
    bench::CgalMesh mb = bench::ToCgal(b);
    bench::CgalMesh out;
    const bool ok = CGAL::Polygon_mesh_processing::corefine_and_compute_union(ma, mb, out);
    sw.Stop(o);
    o.figures = {
        ok ? CGAL::Polygon_mesh_processing::volume(out) : std::numeric_limits<double>::quiet_NaN(),
        static_cast<double>(out.number_of_faces())};
  }
  return o;
}

bool Check(const std::vector<double>& kro, const std::vector<double>& cgal, std::string& text) {
  if (kro.size() < 2 || cgal.size() < 2 || !std::isfinite(cgal[0])) {
    text = "CGAL gave no union";
    return true;
  }
  const double rel = std::abs(kro[0] - cgal[0]) / std::abs(cgal[0]);
  char b[96];
  std::snprintf(b, sizeof b, "volume %.1e rel. off, %.0f / %.0f result triangles", rel, kro[1],
                cgal[1]);
  text = b;
  return rel <= 1e-3;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Suite s;
  s.title = "Union of two solids";
  s.cases = {{"sphere-20k", "sphere", "2 x 19,800"},
             {"sphere-200k", "sphere", "2 x 199,080"},
             {"sphere-1M", "sphere", "2 x 998,284"},
             {"field-spot", "field", "2 x 5,856"}};
  s.run = Run;
  s.check = Check;
  return bench::Main(argc, argv, s);
}
