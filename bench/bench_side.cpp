// Side of points against a curved cutter: the plain scans against the
// triangle index, on wavy terrains. The cut terrain's triangle centroids are
// classified against a cutter terrain that crosses it, as the curved-surface
// checker does during a cut (start triangle 0), and with the nearest-centroid
// start.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/TriangleIndex.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "kromesh/organize/CMeshPosCheck.h"
#include "support/FastSideShapes.h"

namespace {

using fastside::Surface;

// n x n cells, two triangles each: n = 316 gives 199,712 triangles.
const Surface& Cutter(int n) {
  static std::map<int, Surface> cache;
  auto it = cache.find(n);
  if (it == cache.end()) it = cache.emplace(n, fastside::WavyTerrain(n, 1.0, 4.0, 0.7)).first;
  return it->second;
}

// The cut terrain: the same extent, other waves, so that it crosses the
// cutter everywhere.
const Surface& CutTerrain(int n) {
  static std::map<int, Surface> cache;
  auto it = cache.find(n);
  if (it == cache.end()) {
    Surface s = fastside::Terrain(n, 1.0, 0.0, [n](double x, double y) {
      const double k = 6.283185307179586 / n;
      return 3.0 * std::cos(2 * k * x + 0.3) * std::sin(4 * k * y + 1.1);
    });
    it = cache.emplace(n, std::move(s)).first;
  }
  return it->second;
}

void BM_SideIndexBuild(benchmark::State& state) {
  const Surface& c = Cutter(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CTriangleIndex index;
    benchmark::DoNotOptimize(index.Build(c.v.data(), c.nv(), c.t.data(), c.nt()));
  }
  state.counters["triangles"] = static_cast<double>(c.nt());
}

// An evenly spread sample of the cut terrain's centroids through the
// curved-surface checker (start triangle 0, the road a cut takes).
void BM_SideClassifyIndexedSample(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const long sample = state.range(1);
  Surface c = Cutter(n);
  std::vector<KRO::G3D_DVertex> g = fastside::Centroids(CutTerrain(n));
  const size_t stride = g.size() / static_cast<size_t>(sample);
  CMeshPosCheckCurv checker;
  checker.SetKroMeshBuf(c.v.data(), c.nv(), c.t.data(), c.nt());
  for (auto _ : state) {
    for (long k = 0; k < sample; ++k)
      benchmark::DoNotOptimize(checker.PosCheckPntAndMesh(&g[static_cast<size_t>(k) * stride],
                                                          nullptr, nullptr, nullptr));
  }
  state.counters["points/s"] = benchmark::Counter(static_cast<double>(sample),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// The same with the nearest-centroid start (tri = -1).
void BM_SideClassifyIndexedNearest(benchmark::State& state) {
  Surface c = Cutter(static_cast<int>(state.range(0)));
  std::vector<KRO::G3D_DVertex> g =
      fastside::Centroids(CutTerrain(static_cast<int>(state.range(0))));
  CTriangleIndex index;
  index.Build(c.v.data(), c.nv(), c.t.data(), c.nt());
  long occluder = -1;
  for (auto _ : state) {
    for (KRO::G3D_DVertex& p : g) {
      long tri = -1;
      benchmark::DoNotOptimize(CMathFunCls::Check3dPntAndKroSurf(&p, &index, tri, &occluder));
    }
  }
  state.counters["points/s"] = benchmark::Counter(static_cast<double>(g.size()),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// The plain scans on an evenly spread sample of the centroids with the
// nearest-centroid start; the full classification would take (points /
// sample) times as long. (With start 0 a single point takes minutes here.)
void BM_SideClassifyPlainSample(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const long sample = state.range(1);
  const long start = state.range(2);
  Surface c = Cutter(n);
  std::vector<KRO::G3D_DVertex> g = fastside::Centroids(CutTerrain(n));
  const size_t stride = g.size() / static_cast<size_t>(sample);
  for (auto _ : state) {
    for (long k = 0; k < sample; ++k) {
      long tri = start;
      benchmark::DoNotOptimize(CMathFunCls::Check3dPntAndKroSurf(
          &g[static_cast<size_t>(k) * stride], c.v.data(), c.nv(), c.t.data(), c.nt(), tri));
    }
  }
  state.counters["points/s"] = benchmark::Counter(static_cast<double>(sample),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// A whole cut-mesh classification through the organizer of a curved cutter
// (2 x n^2 cutter triangles, arg 2; 3,200 cut triangles), index on or off
// (arg 0), over a gently curved cutter (arg 1 = 0) or a strongly wavy one
// (1). Both put many centroids out of view of most points, so the walk from
// triangle 0 is long.
void BM_SideOrganizerClassify(benchmark::State& state) {
  const bool wavy = state.range(1) != 0;
  const int n = static_cast<int>(state.range(2));
  Surface c = fastside::WavyTerrain(n, 80.0 / n, wavy ? 4.0 : 0.5, 0.7);
  Surface cutS = fastside::Terrain(40, 2.0, 0.0, [wavy](double x, double y) {
    return wavy ? 3.0 * std::cos(0.157 * x + 0.3) * std::sin(0.314 * y + 1.1)
                : 0.02 * (x + y) - 1.5;
  });
  KroSimpleMesh cut;
  cut.m_positions = cutS.v;
  cut.m_triangles = cutS.t;
  CMeshOrganizeSurf o;
  o.SetObbtObj(nullptr, c.v.data(), c.nv(), c.t.data(), c.nt());
  o.BuildPosCheckObj();
  static_cast<CMeshPosCheckCurv*>(o.GetPosCheckObj())->SetUseIndex(state.range(0) != 0);
  long side1 = 0;
  for (auto _ : state) {
    KroSimpleMesh s1, s2;
    benchmark::DoNotOptimize(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2));
    side1 = static_cast<long>(s1.m_triangles.size());
  }
  state.counters["cutter"] = static_cast<double>(c.nt());
  state.counters["cut"] = static_cast<double>(cutS.nt());
  state.counters["side1"] = static_cast<double>(side1);
}

}  // namespace

BENCHMARK(BM_SideIndexBuild)->Arg(316)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SideClassifyIndexedSample)
    ->Args({316, 200})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_SideClassifyIndexedNearest)->Arg(316)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SideClassifyPlainSample)
    ->Args({316, 20, -1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
// The plain scans over the 12,800-triangle cutters take many minutes; they
// are timed over 800 triangles only.
BENCHMARK(BM_SideOrganizerClassify)
    ->Args({1, 0, 20})
    ->Args({0, 0, 20})
    ->Args({1, 1, 20})
    ->Args({0, 1, 20})
    ->Args({1, 0, 80})
    ->Args({1, 1, 80})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
