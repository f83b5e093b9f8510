// The solid checker's height index: its answers must be those of the full
// slicing test over every triangle, point for point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/GeoMathPosition.h"
#include "kromesh/organize/CMeshPosCheck.h"
#include "support/ObbtShapes.h"
#include "support/Shapes.h"

namespace {

using Solid = shapes::TriSoup;

short FullScan(Solid& s, const KRO::G3D_DVertex& p) {
  std::vector<C3DTriangle> tris;
  for (const C3DTriData& t : s.tris) tris.emplace_back(t.v[0], t.v[1], t.v[2]);
  D_3DOT q{p.x, p.y, p.z};
  return GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
      s.pts.data(), static_cast<long>(s.pts.size()), tris.data(), static_cast<long>(tris.size()),
      &q);
}

// Checker c answers for solid s from now on.
void SetSolid(CMeshPosCheckEntity& c, Solid& s) {
  c.SetObbtObj(nullptr, s.pts.data(), static_cast<long>(s.pts.size()), s.tris.data(),
               static_cast<long>(s.tris.size()));
}

// Every probe answered by the indexed checker as by the full scan; returns
// how many answers of each kind were seen, so the probes are known to reach
// all three. Probes: random points in and around the box, at vertex
// heights, on and just off the vertices and edge midpoints.
std::vector<int> ExpectSameAnswers(Solid& s, int count, unsigned seed) {
  CMeshPosCheckEntity c;
  SetSolid(c, s);
  std::mt19937 rng(seed);
  KRO::G3D_DVertex lo = s.pts[0], hi = s.pts[0];
  for (const auto& v : s.pts) {
    lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
    hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
  }
  auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  std::vector<int> seen(3, 0);
  for (int i = 0; i < count; ++i) {
    KRO::G3D_DVertex p{uni(lo.x - 0.2, hi.x + 0.2), uni(lo.y - 0.2, hi.y + 0.2),
                       uni(lo.z - 0.2, hi.z + 0.2)};
    const KRO::G3D_DVertex& v = s.pts[pick(s.pts.size())];
    const C3DTriData& t = s.tris[pick(s.tris.size())];
    const KRO::G3D_DVertex &a = s.pts[t.v[0]], &b = s.pts[t.v[1]];
    const double d[] = {0.0, 1e-7, -1e-7, 5e-6, -5e-6, 2e-5, -1e-3};
    const double e = d[pick(7)];
    if (i % 4 == 1) p.z = v.z + (i % 8 == 1 ? 0.0 : e);
    if (i % 4 == 2) p = {v.x * (1 + e), v.y * (1 + e), v.z + e};
    if (i % 4 == 3) p = {(a.x + b.x) / 2 * (1 + e), (a.y + b.y) / 2 * (1 + e), (a.z + b.z) / 2 + e};
    const short want = FullScan(s, p);
    EXPECT_EQ(c.PosCheckPntAndMesh(&p, nullptr, nullptr, nullptr), want)
        << p.x << " " << p.y << " " << p.z;
    if (want >= -1 && want <= 1) ++seen[want + 1];
  }
  return seen;
}

}  // namespace

TEST(FastSolidCheck, SolidsMatchFullScan) {
  const struct {
    const char* name;
    Solid s;
    int count;
    unsigned seed;
  } cases[] = {
      {"sphere", shapes::SphereSoup({0, 0, 0}, 5.0, 24, 40), 600, 12345u},
      {"layered prism", shapes::LayeredPrism({-2.0, -1.0, -0.5, 0.0, 0.25, 1.0, 3.0}, 3, 2), 800,
       777u},
  };
  for (auto c : cases) {
    const std::vector<int> seen = ExpectSameAnswers(c.s, c.count, c.seed);
    EXPECT_TRUE(seen[0] > 20 && seen[1] > 5 && seen[2] > 20)
        << c.name << ": " << seen[0] << " outside, " << seen[1] << " on, " << seen[2] << " inside";
  }
}

// Layers placed on the boundaries of the checker's height slabs (about
// four triangles a slab, the range widened by 2e-5 at both ends), probed
// just above and below each layer, where a triangle filed into too few
// slabs would be missed.
TEST(FastSolidCheck, LayersOnSlabBoundariesMatchFullScan) {
  const int L = 40;
  const double H = 8.0, tol = 2e-5, z0 = -tol;
  const double h = (H + tol + 1e-9 * H - z0) / (3.0 * L);
  std::vector<double> z{0.0};
  for (int i = 1; i + 1 < L; ++i) z.push_back(z0 + 3.0 * i * h);
  z.push_back(H);
  Solid s = shapes::LayeredPrism(z, 3, 2);
  CMeshPosCheckEntity c;
  SetSolid(c, s);
  int inside = 0, boundary = 0;
  for (const KRO::G3D_DVertex& v : s.pts)
    for (double dz : {0.0, 1e-7, -1e-7, 1e-6, -1e-6, 9e-6, -9e-6})
      for (double f : {1.0, 0.5, 1.0 + 1e-7, 1.01}) {
        KRO::G3D_DVertex p{v.x * f + 1e-3, v.y * f, v.z + dz};
        const short want = FullScan(s, p);
        EXPECT_EQ(c.PosCheckPntAndMesh(&p, nullptr, nullptr, nullptr), want)
            << p.x << " " << p.y << " " << p.z;
        inside += want == 1;
        boundary += want == 0;
      }
  EXPECT_GT(inside, 100);
  EXPECT_GT(boundary, 10);
}

TEST(FastSolidCheck, ClonesAndNewBuffersAnswerForTheirSolid) {
  Solid big = shapes::SphereSoup({0, 0, 0}, 5.0, 12, 16),
        small = shapes::SphereSoup({0, 0, 0}, 1.0, 12, 16);
  auto side = [](CMeshPosCheckBase& c, KRO::G3D_DVertex p) {
    return c.PosCheckPntAndMesh(&p, nullptr, nullptr, nullptr);
  };
  CMeshPosCheckEntity c, bad;
  SetSolid(c, big);
  EXPECT_EQ(side(c, {3.0, 0.0, 0.5}), 1);
  std::unique_ptr<CMeshPosCheckBase> copy(c.Clone());
  ASSERT_TRUE(copy);
  // Re-pointing the original must not disturb the copy's index.
  SetSolid(c, small);
  EXPECT_EQ(side(c, {3.0, 0.0, 0.5}), -1);
  EXPECT_EQ(side(*copy, {3.0, 0.0, 0.5}), 1);
  // A corner outside the vertex buffer makes the solid unusable.
  small.tris[3].v[1] = static_cast<long>(small.pts.size());
  SetSolid(bad, small);
  EXPECT_EQ(side(bad, {0, 0, 0}), -1);
  EXPECT_EQ(bad.PosCheckPntAndMesh(nullptr, nullptr, nullptr, nullptr), -1);
}

// A collision spread over several threads reports the pairs of the
// one-thread walk, in the same (sorted) order (queries on several threads at
// once are checked by the parallel cuts).
TEST(FastSolidCheck, ParallelCollisionMatchesOneThreadInOrder) {
  struct Scene {
    const char* name;
    obbt_test::Soup a, b;
    obbt_test::Placement pb;
  };
  const double c0[3] = {0, 0, 0}, c1[3] = {0.6, 0.3, 0.1};
  std::mt19937 rng(99);
  obbt_test::Placement shifted;
  shifted.T[0] = 0.3;
  const Scene scenes[] = {
      {"crossing spheres", obbt_test::MakeSphere(c0, 1.0, 40, 80),
       obbt_test::MakeSphere(c1, 0.9, 30, 60), obbt_test::Rotation(0, 0.6, 0.8, 0.5)},
      {"random soups", obbt_test::RandomSoup(rng, 3000, 10.0, 0.6),
       obbt_test::RandomSoup(rng, 2000, 10.0, 0.6), shifted}};
  const obbt_test::Placement id;
  for (const Scene& sc : scenes) {
    RAPID_model ma, mb;
    ASSERT_EQ(obbt_test::FillModel(ma, sc.a), OBBT_OK) << sc.name;
    ASSERT_EQ(obbt_test::FillModel(mb, sc.b), OBBT_OK) << sc.name;
    auto collide = [&](int threads) {
      SetObbtThreadCount(threads);
      EXPECT_EQ(CollideModels(id.R, id.T, 1.0, &ma, sc.pb.R, sc.pb.T, 1.0, &mb), OBBT_OK);
      return obbt_test::Contacts();
    };
    const std::vector<obbt_test::Pair> one = collide(1);
    EXPECT_GT(one.size(), 100u) << sc.name;
    for (int threads : {2, 3, 8}) EXPECT_EQ(collide(threads), one) << sc.name << " " << threads;
    SetObbtThreadCount(0);
  }
}

// A tree built on several threads has the boxes of the one-thread build, box
// by box in the same shape (only where they sit in memory may differ).
TEST(FastSolidCheck, ParallelTreeBuildMatchesOneThread) {
  const double c0[3] = {0, 0, 0};
  const obbt_test::Soup soup = obbt_test::MakeSphere(c0, 1.0, 100, 200);
  RAPID_model one, many;
  SetObbtThreadCount(1);
  ASSERT_EQ(obbt_test::FillModel(one, soup), OBBT_OK);
  SetObbtThreadCount(3);
  ASSERT_EQ(obbt_test::FillModel(many, soup), OBBT_OK);
  SetObbtThreadCount(0);
  ASSERT_GT(one.GetTriCount(), 16384);
  size_t boxes = 0;
  std::function<bool(int32_t, int32_t)> same = [&](int32_t i, int32_t j) {
    ++boxes;
    const ObbNode &a = one.Nodes()[i], &b = many.Nodes()[j];
    if (std::memcmp(a.rot, b.rot, sizeof a.rot) || std::memcmp(a.pos, b.pos, sizeof a.pos) ||
        std::memcmp(a.halfExt, b.halfExt, sizeof a.halfExt) || a.count != b.count)
      return false;
    if (a.IsLeaf())
      return std::equal(&one.LeafOrder()[a.child], &one.LeafOrder()[a.child] + a.count,
                        &many.LeafOrder()[b.child]);
    return same(a.child, b.child) && same(a.child + 1, b.child + 1);
  };
  EXPECT_TRUE(same(0, 0));
  EXPECT_EQ(boxes, one.Nodes().size());
  EXPECT_EQ(boxes, many.Nodes().size());
}
