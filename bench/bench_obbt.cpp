// Build and all-contacts query times of the OBB tree core on tessellated
// spheres of about 10k, 100k and 1M triangles; with FCL installed, the same
// triangles through FCL's OBB and OBBRSS trees.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "kromesh/Obbt/RAPID_model.h"
#include "support/ObbtShapes.h"

#ifdef KROMESH_BENCH_WITH_FCL
#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/narrowphase/collision.h>
#include <fcl/narrowphase/collision_object.h>
#endif

namespace {

using obbt_test::Soup;

// Sphere A at the origin; sphere B shifted and turned so that the two
// tessellations cross in general position.
const Soup& Sphere(long n, bool second) {
  static std::map<std::pair<long, bool>, Soup> cache;
  auto it = cache.find({n, second});
  if (it != cache.end()) return it->second;
  // About n triangles: 2 * stacks * slices with twice as many slices.
  const int stacks = std::max(2, static_cast<int>(std::lround(std::sqrt(n / 4.0))));
  const double c0[3] = {0, 0, 0};
  Soup s = obbt_test::MakeSphere(c0, 1.0, stacks, 2 * stacks);
  if (second) {
    const obbt_test::Placement p = obbt_test::Rotation(0.0, 0.6, 0.8, 0.5);
    const double shift[3] = {0.6, 0.3, 0.1};
    for (auto& t : s) {
      for (int v = 0; v < 3; ++v) {
        const double x[3] = {t[3 * v], t[3 * v + 1], t[3 * v + 2]};
        for (int r = 0; r < 3; ++r)
          t[3 * v + r] = 0.95 * (p.R[r][0] * x[0] + p.R[r][1] * x[1] + p.R[r][2] * x[2]) + shift[r];
      }
    }
  }
  return cache.emplace(std::make_pair(n, second), std::move(s)).first->second;
}

void BM_ObbtBuild(benchmark::State& state) {
  const Soup& s = Sphere(state.range(0), false);
  for (auto _ : state) {
    RAPID_model m;
    if (obbt_test::FillModel(m, s) != OBBT_OK) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(m.Nodes().data());
  }
  state.counters["tris"] = static_cast<double>(s.size());
}

void BM_ObbtCollide(benchmark::State& state) {
  const Soup& s1 = Sphere(state.range(0), false);
  const Soup& s2 = Sphere(state.range(0), true);
  RAPID_model a, b;
  if (obbt_test::FillModel(a, s1) != OBBT_OK || obbt_test::FillModel(b, s2) != OBBT_OK) {
    state.SkipWithError("build failed");
    return;
  }
  for (auto _ : state) {
    if (CollideModelsInPlace(&a, &b, OBBT_ALL_CONTACTS) != OBBT_OK)
      state.SkipWithError("query failed");
  }
  state.counters["tris"] = static_cast<double>(s1.size());
  state.counters["contacts"] = static_cast<double>(ObbtContactCount());
}

#ifdef KROMESH_BENCH_WITH_FCL

struct FclInput {
  std::vector<fcl::Vector3d> points;
  std::vector<fcl::Triangle> tris;
};

FclInput ToFcl(const Soup& s) {
  FclInput in;
  in.points.reserve(3 * s.size());
  in.tris.reserve(s.size());
  for (const auto& t : s) {
    const std::size_t base = in.points.size();
    for (int v = 0; v < 3; ++v) in.points.emplace_back(t[3 * v], t[3 * v + 1], t[3 * v + 2]);
    in.tris.emplace_back(base, base + 1, base + 2);
  }
  return in;
}

template <class BV>
std::shared_ptr<fcl::BVHModel<BV>> BuildFcl(const FclInput& in) {
  auto m = std::make_shared<fcl::BVHModel<BV>>();
  m->beginModel(static_cast<int>(in.tris.size()), static_cast<int>(in.points.size()));
  m->addSubModel(in.points, in.tris);
  m->endModel();
  return m;
}

template <class BV>
void BM_FclBuild(benchmark::State& state) {
  const FclInput in = ToFcl(Sphere(state.range(0), false));
  for (auto _ : state) {
    auto m = BuildFcl<BV>(in);
    benchmark::DoNotOptimize(m.get());
  }
  state.counters["tris"] = static_cast<double>(in.tris.size());
}

template <class BV>
void BM_FclCollide(benchmark::State& state) {
  const FclInput in1 = ToFcl(Sphere(state.range(0), false));
  const FclInput in2 = ToFcl(Sphere(state.range(0), true));
  fcl::CollisionObjectd o1(BuildFcl<BV>(in1), fcl::Transform3d::Identity());
  fcl::CollisionObjectd o2(BuildFcl<BV>(in2), fcl::Transform3d::Identity());
  fcl::CollisionRequestd request(std::numeric_limits<std::size_t>::max(), false);
  std::size_t contacts = 0;
  for (auto _ : state) {
    fcl::CollisionResultd result;
    fcl::collide(&o1, &o2, request, result);
    contacts = result.numContacts();
  }
  state.counters["tris"] = static_cast<double>(in1.tris.size());
  state.counters["contacts"] = static_cast<double>(contacts);
}

#endif

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_ObbtBuild)->Apply(Sizes);
BENCHMARK(BM_ObbtCollide)->Apply(Sizes);
#ifdef KROMESH_BENCH_WITH_FCL
BENCHMARK_TEMPLATE(BM_FclBuild, fcl::OBBd)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_FclBuild, fcl::OBBRSSd)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_FclCollide, fcl::OBBd)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_FclCollide, fcl::OBBRSSd)->Apply(Sizes);
#endif

BENCHMARK_MAIN();
