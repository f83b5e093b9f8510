#include "BenchHarness.h"

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <limits>
#include <map>
#include <sstream>

extern char** environ;

namespace bench {

C3DSurface ToSurface(const TriMesh& m, const char* material) {
  C3DSurface s(-1, 0);
  CPointCollection pc;
  pc.AppendPoints(m.pts.data(), static_cast<long>(m.pts.size()));
  s.AppendPointCollection(&pc, nullptr);
  s.AddTriangle(m.tris.data(), nullptr, m.Count());
  s.SetMaterialName(material);
  return s;
}

C3DEntity ToEntity(const TriMesh& m, const char* material) {
  C3DSurface s = ToSurface(m, material);
  C3DEntity e(-1, 0);
  e.AddSurface(&s, nullptr);
  return e;
}

CgalMesh ToCgal(const TriMesh& m) {
  CgalMesh out;
  out.reserve(static_cast<CgalMesh::size_type>(m.pts.size()),
              static_cast<CgalMesh::size_type>(3 * m.tris.size() / 2),
              static_cast<CgalMesh::size_type>(m.tris.size()));
  std::vector<CgalMesh::Vertex_index> v;
  v.reserve(m.pts.size());
  for (const auto& p : m.pts) v.push_back(out.add_vertex(Kernel::Point_3(p.x, p.y, p.z)));
  for (const auto& t : m.tris) out.add_face(v[t.v[0]], v[t.v[1]], v[t.v[2]]);
  return out;
}

// ----------------------------------------------------------------- sheets

namespace {

double& Coord(KRO::G3D_DVertex& p, int axis) {
  return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}
double Coord(const KRO::G3D_DVertex& p, int axis) {
  return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

}  // namespace

GridSheet::GridSheet(int cells, double uLo, double vLo, double uLen, double vLen, int au, int av,
                     int ah, const std::function<double(double, double)>& height)
    : n(cells),
      u0(uLo),
      v0(vLo),
      du(uLen / cells),
      dv(vLen / cells),
      axisU(au),
      axisV(av),
      axisH(ah) {
  h.reserve(static_cast<size_t>(n + 1) * (n + 1));
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) h.push_back(height(u0 + i * du, v0 + j * dv));
}

TriMesh GridSheet::Mesh() const {
  TriMesh m;
  m.pts.reserve(h.size());
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) {
      KRO::G3D_DVertex p{0, 0, 0};
      Coord(p, axisU) = u0 + i * du;
      Coord(p, axisV) = v0 + j * dv;
      Coord(p, axisH) = h[static_cast<size_t>(j) * (n + 1) + i];
      m.pts.push_back(p);
    }
  auto id = [this](int i, int j) { return static_cast<long>(j) * (n + 1) + i; };
  m.tris.reserve(2 * static_cast<size_t>(n) * n);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      m.tris.emplace_back(id(i, j), id(i + 1, j), id(i + 1, j + 1));
      m.tris.emplace_back(id(i, j), id(i + 1, j + 1), id(i, j + 1));
    }
  return m;
}

double GridSheet::Offset(const KRO::G3D_DVertex& p) const {
  const double fu = (Coord(p, axisU) - u0) / du, fv = (Coord(p, axisV) - v0) / dv;
  if (!(fu >= 0 && fu <= n && fv >= 0 && fv <= n)) return std::numeric_limits<double>::quiet_NaN();
  const int i = std::min(static_cast<int>(fu), n - 1), j = std::min(static_cast<int>(fv), n - 1);
  const double a = fu - i, b = fv - j;
  auto at = [this](int ii, int jj) { return h[static_cast<size_t>(jj) * (n + 1) + ii]; };
  const double h00 = at(i, j), h10 = at(i + 1, j), h11 = at(i + 1, j + 1), h01 = at(i, j + 1);
  // The same two triangles as Mesh(), so the offset is exact up to rounding.
  const double z =
      a >= b ? h00 + a * (h10 - h00) + b * (h11 - h10) : h00 + b * (h01 - h00) + a * (h11 - h01);
  return Coord(p, axisH) - z;
}

// ----------------------------------------------------------------- figures

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double Area(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b, const KRO::G3D_DVertex& c) {
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  return 0.5 * std::sqrt(nx * nx + ny * ny + nz * nz);
}

double SignedVolume(const C3DEntity& e) {
  double v = 0;
  for (long s = 0; s < e.GetSurfaceNum(); ++s) {
    const C3DSurface* surf = e.SurfaceAt(s);
    const auto& p = surf->Points();
    C3DTriangle t;
    for (long i = 0; i < surf->GetTriangleCount(); ++i) {
      surf->GetTriangle(i, &t, nullptr);
      const auto &a = p[t.v[0]], &b = p[t.v[1]], &c = p[t.v[2]];
      v += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
           a.z * (b.x * c.y - b.y * c.x);
    }
  }
  return v / 6.0;
}

long TriangleCount(const C3DEntity& e) {
  long n = 0;
  for (long s = 0; s < e.GetSurfaceNum(); ++s) n += e.SurfaceAt(s)->GetTriangleCount();
  return n;
}

std::vector<double> SideAreas(const GridSheet& sheet, const std::vector<KRO::G3D_DVertex>& pts,
                              const std::vector<C3DTriangle>& tris) {
  std::vector<double> out(3, 0.0);
  for (const auto& t : tris) {
    const auto &a = pts[t.v[0]], &b = pts[t.v[1]], &c = pts[t.v[2]];
    const KRO::G3D_DVertex g{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
    const double off = sheet.Offset(g);
    out[off > 0 ? 0 : off < 0 ? 1 : 2] += Area(a, b, c);
  }
  return out;
}

std::vector<double> SideAreas(const GridSheet& sheet, const C3DSurface& s) {
  std::vector<C3DTriangle> tris(static_cast<size_t>(s.GetTriangleCount()));
  for (long i = 0; i < s.GetTriangleCount(); ++i) s.GetTriangle(i, &tris[i], nullptr);
  return SideAreas(sheet, s.Points(), tris);
}

std::vector<double> SideAreas(const GridSheet& sheet, const CgalMesh& m) {
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<C3DTriangle> tris;
  std::map<CgalMesh::Vertex_index, long> id;
  for (auto v : m.vertices()) {
    const auto& p = m.point(v);
    id[v] = static_cast<long>(pts.size());
    pts.push_back({p.x(), p.y(), p.z()});
  }
  for (auto f : m.faces()) {
    auto h = m.halfedge(f);
    tris.emplace_back(id[m.source(h)], id[m.target(h)], id[m.target(m.next(h))]);
  }
  return SideAreas(sheet, pts, tris);
}

// ----------------------------------------------------------------- driver

namespace {

std::string g_dataDir = KROMESH_BENCH_DATA_DIR;

struct ChildResult {
  enum Status { kDone, kTimeout, kFailed, kSkipped } status = kFailed;
  double seconds = 0;
  double cpuSeconds = 0;
  double peakMiB = 0;
  std::vector<double> figures;
  std::string why;
};

ChildResult RunChild(const std::string& caseName, const char* impl, int limit) {
  ChildResult r;
  std::fflush(stdout);
  int fds[2];
  if (pipe(fds) != 0) {
    r.why = "no pipe";
    return r;
  }
  const std::string limitText = std::to_string(limit);
  std::vector<std::string> args = {"bench",  "--case",  caseName,       "--impl", impl,
                                   "--data", g_dataDir, "--time-limit", limitText};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  posix_spawn_file_actions_addclose(&fa, fds[1]);
  // The kernel's peak for the child starts from the driver's resident set
  // (about 4 MiB: the driver never builds a mesh), below any case's own.
  pid_t pid = 0;
  const int err = posix_spawn(&pid, "/proc/self/exe", &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (err != 0) {
    close(fds[0]);
    r.why = std::string("spawn: ") + std::strerror(err);
    return r;
  }
  std::string out;
  char buf[4096];
  for (ssize_t got; (got = read(fds[0], buf, sizeof buf)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    out.append(buf, static_cast<size_t>(got));
  }
  close(fds[0]);
  int status = 0;
  struct rusage ru {};
  while (wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
  }
  r.peakMiB = static_cast<double>(ru.ru_maxrss) / 1024.0;
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
    r.status = ChildResult::kTimeout;
    return r;
  }
  const size_t at = out.find("RESULT ");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos) {
    r.why = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                : "exit " + std::to_string(WEXITSTATUS(status));
    return r;
  }
  std::istringstream in(out.substr(at + 7));
  in >> r.seconds >> r.cpuSeconds;
  for (double f; in >> f;) r.figures.push_back(f);
  r.status = ChildResult::kDone;
  return r;
}

std::string Seconds(double s) {
  char b[32];
  std::snprintf(b, sizeof b, s < 10 ? "%.2f" : s < 100 ? "%.1f" : "%.0f", s);
  return b;
}

std::string Ratio(double r) {
  char b[32];
  std::snprintf(b, sizeof b, r < 10 ? "%.2f" : "%.0f", r);
  return b;
}

std::string TimeCell(const ChildResult& r, int limit) {
  switch (r.status) {
    case ChildResult::kDone:
      return Seconds(r.seconds) + " (" + Seconds(r.cpuSeconds) + ")";
    case ChildResult::kTimeout:
      return "timeout (> " + std::to_string(limit) + ")";
    case ChildResult::kSkipped:
      return "skipped";
    default:
      return "failed (" + r.why + ")";
  }
}

std::string MemCell(const ChildResult& r) {
  if (r.status == ChildResult::kSkipped || r.peakMiB <= 0) return "-";
  char b[32];
  std::snprintf(b, sizeof b, "%.0f", r.peakMiB);
  return r.status == ChildResult::kTimeout ? std::string("> ") + b : b;
}

int ChildMain(const Suite& suite, const std::string& name, const std::string& impl, int limit) {
  if (impl != "kromesh" && impl != "cgal") {
    std::fprintf(stderr, "--impl must be kromesh or cgal\n");
    return 2;
  }
  for (const Case& c : suite.cases)
    if (c.name == name) {
      if (limit > 0) alarm(static_cast<unsigned>(limit));
      Outcome o;
      try {
        o = suite.run(c, impl == "kromesh");
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
        return 3;
      }
      std::printf("RESULT %.6f %.6f", o.seconds, o.cpuSeconds);
      for (double f : o.figures) std::printf(" %.17g", f);
      std::printf("\n");
      return 0;
    }
  std::fprintf(stderr, "no case '%s'\n", name.c_str());
  return 2;
}

}  // namespace

const std::string& DataDir() {
  return g_dataDir;
}

int Main(int argc, char** argv, const Suite& suite) {
  std::string caseName, impl, only;
  int limit = 90;
  bool skip = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--case" && more) {
      caseName = argv[++i];
    } else if (a == "--impl" && more) {
      impl = argv[++i];
    } else if (a == "--time-limit" && more) {
      limit = std::atoi(argv[++i]);
    } else if (a == "--only" && more) {
      only = argv[++i];
    } else if (a == "--data" && more) {
      g_dataDir = argv[++i];
    } else if (a == "--no-skip") {
      skip = false;
    } else {
      std::fprintf(stderr,
                   "usage: %s [--time-limit S] [--only TEXT] [--no-skip] [--data DIR]\n"
                   "       %s --case NAME --impl kromesh|cgal\ncases:",
                   argv[0], argv[0]);
      for (const Case& c : suite.cases) std::fprintf(stderr, " %s", c.name.c_str());
      std::fprintf(stderr, "\n");
      return 2;
    }
  }
  if (!caseName.empty()) return ChildMain(suite, caseName, impl, limit);

  std::printf(
      "%s: seconds of the timed part, wall (processor); peak resident MiB of each child "
      "process; time limit %d s of wall time per child\n\n",
      suite.title.c_str(), limit);
  std::printf(
      "| case | triangles | KroMesh s | KroMesh MiB | CGAL s | CGAL MiB | time KroMesh/CGAL "
      "wall (cpu) | memory KroMesh/CGAL | check |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  std::fflush(stdout);
  std::map<std::string, bool> timedOut;  // family + impl
  bool bad = false;
  for (const Case& c : suite.cases) {
    if (!only.empty() && c.name.find(only) == std::string::npos) continue;
    ChildResult res[2];
    const char* impls[2] = {"kromesh", "cgal"};
    for (int k = 0; k < 2; ++k) {
      const std::string key = c.family + "/" + impls[k];
      if (skip && timedOut[key]) {
        res[k].status = ChildResult::kSkipped;
        continue;
      }
      res[k] = RunChild(c.name, impls[k], limit);
      if (res[k].status == ChildResult::kTimeout) timedOut[key] = true;
      if (res[k].status == ChildResult::kFailed) bad = true;
    }
    const ChildResult &kro = res[0], &cg = res[1];
    std::string timeRatio = "-", memRatio = "-", check = "-";
    if (cg.status == ChildResult::kDone && cg.seconds > 0) {
      if (kro.status == ChildResult::kDone)
        timeRatio = Ratio(kro.seconds / cg.seconds) + " (" +
                    Ratio(kro.cpuSeconds / std::max(cg.cpuSeconds, 1e-9)) + ")";
      else if (kro.status == ChildResult::kTimeout)
        timeRatio = "> " + Ratio(limit / cg.seconds);
      if (kro.status == ChildResult::kDone || kro.status == ChildResult::kTimeout)
        memRatio = (kro.status == ChildResult::kTimeout ? "> " : "") +
                   Ratio(kro.peakMiB / std::max(cg.peakMiB, 1e-9));
    }
    if (kro.status == ChildResult::kDone && cg.status == ChildResult::kDone) {
      if (!suite.check(kro.figures, cg.figures, check)) {
        check = "WRONG: " + check;
        bad = true;
      }
    } else if (kro.status == ChildResult::kDone) {
      check = "no CGAL result to compare";
    }
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", c.name.c_str(),
                c.triangles.c_str(), TimeCell(kro, limit).c_str(), MemCell(kro).c_str(),
                TimeCell(cg, limit).c_str(), MemCell(cg).c_str(), timeRatio.c_str(),
                memRatio.c_str(), check.c_str());
    std::fflush(stdout);
  }
  return bad ? 1 : 0;
}

}  // namespace bench
