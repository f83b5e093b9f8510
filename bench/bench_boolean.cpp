// Boolean union of two overlapping tessellated spheres, through the facade
// and through CGAL's corefinement on the same triangles.
//
// Each case runs in a child process so that its peak memory (maximum
// resident set) is its own; a case that runs past the time limit is
// stopped and reported as such.
//
// Usage: bench_boolean [max_triangles_per_sphere] [time_limit_seconds]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/corefinement.h>
#include <CGAL/Surface_mesh.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kromesh/KroMeshTriCut.h"

namespace {

struct Sphere {
  std::vector<KRO::G3D_DVertex> points;
  std::vector<C3DTriangle> tris;
};

// Latitude/longitude sphere, outward facing, about 2*rings*segments
// triangles.
Sphere MakeSphere(double cx, double cy, double cz, double r, int rings, int segments) {
  Sphere s;
  const double pi = 3.14159265358979323846;
  s.points.push_back({cx, cy, cz + r});
  for (int i = 1; i < rings; ++i) {
    const double th = pi * i / rings;
    for (int j = 0; j < segments; ++j) {
      const double ph = 2 * pi * j / segments;
      s.points.push_back({cx + r * std::sin(th) * std::cos(ph), cy + r * std::sin(th) * std::sin(ph),
                          cz + r * std::cos(th)});
    }
  }
  s.points.push_back({cx, cy, cz - r});
  const long south = static_cast<long>(s.points.size()) - 1;
  auto at = [segments](int ring, int j) { return 1L + (ring - 1) * segments + (j % segments); };
  for (int j = 0; j < segments; ++j) s.tris.emplace_back(0, at(1, j), at(1, j + 1));
  for (int i = 1; i < rings - 1; ++i)
    for (int j = 0; j < segments; ++j) {
      s.tris.emplace_back(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      s.tris.emplace_back(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  for (int j = 0; j < segments; ++j) s.tris.emplace_back(south, at(rings - 1, j + 1), at(rings - 1, j));
  return s;
}

C3DEntity ToEntity(const Sphere& s, const char* material) {
  C3DSurface surf(-1, 0);
  CPointCollection pc;
  pc.AppendPoints(s.points.data(), static_cast<long>(s.points.size()));
  surf.AppendPointCollection(&pc, nullptr);
  surf.AddTriangle(s.tris.data(), nullptr, static_cast<long>(s.tris.size()));
  surf.SetMaterialName(material);
  C3DEntity e(-1, 0);
  e.AddSurface(&surf, nullptr);
  return e;
}

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;

Mesh ToCgal(const Sphere& s) {
  Mesh m;
  std::vector<Mesh::Vertex_index> v;
  v.reserve(s.points.size());
  for (const auto& p : s.points) v.push_back(m.add_vertex(Kernel::Point_3(p.x, p.y, p.z)));
  for (const auto& t : s.tris) m.add_face(v[t.v[0]], v[t.v[1]], v[t.v[2]]);
  return m;
}

long RunKromesh(const Sphere& a, const Sphere& b) {
  C3DEntity ea = ToEntity(a, "A");
  C3DEntity eb = ToEntity(b, "B");
  C3DEntity out(-1, 0);
  CKroMeshTriCut cut;
  cut.CalMdlBetweenMdl(&ea, &eb, &out, Kro_Oper_Union);
  long tris = 0;
  for (long i = 0; i < out.GetSurfaceNum(); ++i) tris += out.SurfaceAt(i)->GetTriangleCount();
  return tris;
}

long RunCgal(const Sphere& a, const Sphere& b) {
  Mesh ma = ToCgal(a);
  Mesh mb = ToCgal(b);
  Mesh out;
  if (!CGAL::Polygon_mesh_processing::corefine_and_compute_union(ma, mb, out)) return -1;
  return static_cast<long>(out.number_of_faces());
}

void RunCase(const char* engine, int rings, int timeLimit) {
  const int segments = rings;
  std::fflush(stdout);
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    alarm(static_cast<unsigned>(timeLimit));
    Sphere a = MakeSphere(0, 0, 0, 1.0, rings, segments);
    Sphere b = MakeSphere(0.6, 0.31, 0.17, 0.9, rings, segments);
    auto t0 = std::chrono::steady_clock::now();
    long tris = engine[0] == 'k' ? RunKromesh(a, b) : RunCgal(a, b);
    double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    char buf[128];
    int n = std::snprintf(buf, sizeof buf, "%ld %zu %.3f", tris, a.tris.size(), sec);
    if (write(fds[1], buf, static_cast<size_t>(n)) < 0) _exit(3);
    _exit(0);
  }
  close(fds[1]);
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  char buf[128] = {0};
  ssize_t got = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
    std::printf("%-8s rings=%4d  stopped: over the %d s limit\n", engine, rings, timeLimit);
    return;
  }
  if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("%-8s rings=%4d  failed (status %d)\n", engine, rings, status);
    return;
  }
  long outTris = 0;
  size_t inTris = 0;
  double sec = 0;
  std::sscanf(buf, "%ld %zu %lf", &outTris, &inTris, &sec);
  std::printf("%-8s %8zu tris/sphere  %9.3f s  peak %8.1f MiB  result %ld tris\n", engine, inTris,
              sec, ru.ru_maxrss / 1024.0, outTris);
}

}  // namespace

int main(int argc, char** argv) {
  const long maxTris = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int limit = argc > 2 ? std::atoi(argv[2]) : 600;
  std::printf("cores: %ld\n", sysconf(_SC_NPROCESSORS_ONLN));
  for (int rings : {100, 316, 707}) {
    if (2L * rings * rings > maxTris * 11 / 10) break;
    RunCase("kromesh", rings, limit);
    RunCase("cgal", rings, limit);
  }
  return 0;
}
