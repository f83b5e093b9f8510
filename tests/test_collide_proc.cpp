// Collision and ray processing: colliding pairs of two wrappers, ray
// crossing lists, point in solid, triangle facing, orientation repair and
// the quick box test.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/ObbtShapes.h"
#include "support/Shapes.h"

namespace {

using shapes::TriSoup;
using shapes::Vec;

std::unique_ptr<CObbtBase> Wrap(const TriSoup& s) {
  auto w = std::make_unique<CObbtBase>();
  KroSimpleMesh mesh = shapes::ToMesh(s);
  EXPECT_EQ(w->BuildMeshObbt(&mesh), OBBT_OK);
  return w;
}

// A prism along a with the convex section given counter-clockwise in the
// (U, V) plane; outward when (U, V, a) is right-handed.
TriSoup Prism(const Vec& base, const Vec& a, const Vec& U, const Vec& V, double len,
              const std::vector<std::pair<double, double>>& section) {
  using namespace shapes;
  TriSoup s;
  const long n = static_cast<long>(section.size());
  for (double t : {0.0, len})
    for (const auto& uv : section)
      s.pts.push_back(Add(Add(base, Scale(a, t)), Add(Scale(U, uv.first), Scale(V, uv.second))));
  for (long k = 0; k < n; ++k) {
    const long k1 = (k + 1) % n;
    s.tris.push_back({{k, k1, n + k1}});
    s.tris.push_back({{k, n + k1, n + k}});
  }
  for (long k = 1; k + 1 < n; ++k) {
    s.tris.push_back({{0, k + 1, k}});
    s.tris.push_back({{n, n + k, n + k + 1}});
  }
  return s;
}

// Point in solid through both entries; `on` must come back as onSurface.
void ExpectInSolid(CObbtBase* w, Vec p, long expected, bool onSurface = false) {
  CObbtObjProcc proc;
  bool on = !onSurface;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(w, &p, on), expected) << p.x << " " << p.y << " " << p.z;
  EXPECT_EQ(on, onSurface);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(w->GetObbtModel(), &p, on), expected);
}

// The colliding pairs a processor hands out, in its order.
std::vector<obbt_test::Pair> PairsOf(CObbtObjProcc& proc) {
  tcTriCutPair dummy{7, 7};
  tcTriCutPair* pairs = &dummy;  // written over even when there are none
  long count = -1;
  EXPECT_EQ(proc.GetCollideTriPair(&pairs, &count), 1);
  EXPECT_EQ(pairs == nullptr, count == 0);
  std::vector<obbt_test::Pair> out;
  for (long k = 0; k < count; ++k)
    out.emplace_back(static_cast<int32_t>(pairs[k].triIndex1),
                     static_cast<int32_t>(pairs[k].triIndex2));
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Colliding pairs

TEST(ObbtCollide, OverlappingBoxesReportTouchingPairsThatOutliveTheWrappers) {
  const TriSoup sa = shapes::BoxSoup({0, 0, 0}, {2, 2, 2}),
                sb = shapes::BoxSoup({1, 1, 1}, {3, 3, 3});
  auto a = Wrap(sa);
  auto b = Wrap(sb);
  auto proc = std::make_unique<CObbtObjProcc>();
  ASSERT_EQ(proc->ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1.0, 1.0), 0);
  const std::vector<obbt_test::Pair> got = PairsOf(*proc);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(obbt_test::Sorted(got), obbt_test::BruteForcePairs(obbt_test::FromTriSoup(sa), {},
                                                               obbt_test::FromTriSoup(sb), {}));
  b.reset();  // destroying a model empties the tree core's contact list
  EXPECT_EQ(ObbtContactCount(), 0);
  CObbtObjProcc copy(*proc);
  CObbtObjProcc assigned;
  assigned = *proc;
  proc.reset();
  EXPECT_EQ(PairsOf(copy), got);
  EXPECT_EQ(PairsOf(assigned), got);
}

TEST(ObbtCollide, PlacementsMoveTheBoxesAndNoContactsAreInherited) {
  auto a = Wrap(shapes::BoxSoup({0, 0, 0}, {1, 1, 1}));
  auto b = Wrap(shapes::BoxSoup({10, 10, 10}, {11, 11, 11}));
  double I[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  double T1[3] = {0, 0, 0};
  double T2[3] = {-9.5, -9.5, -9.5};  // b now straddles a's far corner
  CObbtObjProcc proc;
  EXPECT_EQ(proc.ObbtCollide(a.get(), b.get(), I, I, T1, T2, 1.0, 1.0), 0);
  EXPECT_EQ(proc.GetAABBOverlap(), 1);
  EXPECT_FALSE(PairsOf(proc).empty());
  ASSERT_GT(ObbtContactCount(), 0);
  // Turned a quarter about z and moved, b straddles a's far corner again.
  double Rz[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1}, Tz[3] = {11.5, -9.5, -9.5};
  proc.ObbtCollide(a.get(), b.get(), I, Rz, T1, Tz, 1.0, 1.0);
  EXPECT_EQ(proc.GetAABBOverlap(), 1);
  EXPECT_FALSE(PairsOf(proc).empty());
  // Without placements the same two boxes are apart.
  EXPECT_EQ(proc.ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1, 1), 0);
  EXPECT_EQ(proc.GetAABBOverlap(), 0);
  EXPECT_TRUE(PairsOf(proc).empty());
  EXPECT_EQ(proc.ObbtCollide(nullptr, b.get(), nullptr, nullptr, nullptr, nullptr, 1, 1), 0);
  // A tree never filled has the all-zero box, touching a's: refused, and
  // the pairs of an earlier query are not handed out again.
  proc.ObbtCollide(a.get(), b.get(), I, I, T1, T2, 1.0, 1.0);
  CObbtBase unbuilt;
  EXPECT_EQ(proc.ObbtCollide(a.get(), &unbuilt, nullptr, nullptr, nullptr, nullptr, 1, 1),
            OBBT_NOT_BUILT);
  EXPECT_TRUE(PairsOf(proc).empty());
}

// ---------------------------------------------------------------------------
// Ray crossing lists

TEST(ObbtRay, SharedVertexHitCountsOnce) {
  // Square sheet [-1, 1]^2 at height 2: four triangles around its centre.
  auto w = Wrap({{{0, 0, 2}, {-1, -1, 2}, {1, -1, 2}, {1, 1, 2}, {-1, 1, 2}},
                 {{{0, 1, 2}}, {{0, 2, 3}}, {{0, 3, 4}}, {{0, 4, 1}}}});
  CObbtObjProcc proc;
  Vec origin{0, 0, 0}, dir{0, 0, 1};
  long tris[4] = {-1, -1, -1, -1};
  long count = 0;
  ASSERT_EQ(proc._FindCollideTrisWithRay(w.get(), &origin, &dir, tris, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(proc.GetSecondObbt(), nullptr);  // the ray's own wrapper is gone
  ASSERT_EQ(CMathFunCls::FindCollideTrisWithRay(w->GetObbtModel(), &origin, &dir, tris, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(CMathFunCls::FindCollideTrisWithRay(w->GetObbtModel(), &origin, &dir, tris, nullptr),
            -1);
  Vec above{0.5, 0.1, 5.0};
  ASSERT_EQ(proc._FindCollideTrisWithRay(w.get(), &above, &dir, tris, &count), 1);
  EXPECT_EQ(count, 0);  // the ray triangle starts above the sheet: no contact
  Vec below{0.5, 0.1, -5.0};
  ASSERT_EQ(proc._FindCollideTrisWithRay(w.get(), &below, &dir, tris, &count), 1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(tris[0], 1);  // triangle (0, 2, 3) holds (0.5, 0.1)
}

// ---------------------------------------------------------------------------
// Point in solid

// Points on and in a cube, beside the diamond prism's edges (a vertical ray
// grazing an edge turns its direction), near a roof whose ridge lies in the
// plane of every tilted ray (restarts are bounded), and under a tetrahedron
// that the upward ray meets only behind the point.
TEST(ObbtPointInSolid, EdgesRidgesAndCrossingsBehindThePoint) {
  const double wl = std::sqrt(0.15 * 0.15 + 0.25 * 0.25);
  const Vec a{0.15 / wl, 0.25 / wl, 0};
  const double r17 = std::sqrt(17.0);
  const Vec w{1 / r17, 4 / r17, 0}, v{-4 / r17, 1 / r17, 0}, B{0, 0, -1};
  const Vec d{0.1 * w.x, 0.1 * w.y, 2.0};  // from B to a point of the ray triangle
  auto at = [&](double s, double t) {
    return shapes::Add(B, shapes::Add(shapes::Scale(d, s), shapes::Scale(v, t)));
  };
  TriSoup tet{{at(-0.5, -1), at(-0.5, 1), at(2, 0), {1.55 * w.x, 1.55 * w.y, 0}},
              {{{0, 1, 2}}, {{0, 3, 1}}, {{1, 3, 2}}, {{2, 3, 0}}}};
  if (shapes::SignedVolume(tet) < 0)
    for (auto& t : tet.tris) std::swap(t.v[1], t.v[2]);
  auto cube = Wrap(shapes::BoxSoup({0, 0, 0}, {2, 2, 2}));
  // A prism along x whose section is the diamond |y| + |z| <= 1.
  auto prism = Wrap(
      Prism({-5, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 10.0, {{0, -1}, {1, 0}, {0, 1}, {-1, 0}}));
  auto roof = Wrap(Prism({-2 * a.x, -2 * a.y, 0}, a, {-a.y, a.x, 0}, {0, 0, 1}, 14.0,
                         {{-1, 0}, {1, 0}, {0, 1}}));
  auto solid = Wrap(tet);
  const struct {
    const char* name;
    CObbtBase* w;
    Vec p;
    long expected;
    bool on;
  } cases[] = {
      {"cube top face", cube.get(), {0.7, 1.1, 2.0}, 1, true},
      {"cube side face", cube.get(), {2.0, 0.4, 1.3}, 1, true},
      {"in the cube", cube.get(), {0.3, 1.7, 0.9}, 1, false},
      {"below the cube", cube.get(), {0.3, 1.7, -4.0}, -1, false},
      {"beside the cube", cube.get(), {5.0, 5.0, 1.0}, -1, false},
      {"above the cube", cube.get(), {0.3, 1.7, 3.0}, -1, false},
      {"below the diamond's side edge", prism.get(), {0.0, 1.0, -3.0}, -1, false},
      {"in the diamond", prism.get(), {0.0, 0.0, 0.5}, 1, false},
      {"below the diamond", prism.get(), {0.0, 0.0, -7.0}, -1, false},
      {"on the ridge's plane", roof.get(), {0, 0, 0.5}, OBBT_PNT_UNDECIDED, false},
      {"beside the ridge's plane", roof.get(), {0.1, -0.1, 0.3}, 1, false},
      {"tetrahedron behind", solid.get(), {0, 0, 0}, -1, false},
      {"in the tetrahedron", solid.get(), {0.6 * w.x, 0.6 * w.y, -0.2}, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectInSolid(c.w, c.p, c.expected, c.on);
  }
}

TEST(ObbtPointInSolid, TessellatedSphereAgreesWithTheAnalyticSphere) {
  const Vec c{0.3, -0.2, 0.1};
  auto sphere = Wrap(shapes::SphereSoup(c, 10.0, 12, 24));
  std::mt19937 rng(20261206);
  std::uniform_real_distribution<double> u(-13, 13);
  int tested = 0, inside = 0;
  for (int i = 0; i < 200; ++i) {
    Vec p{c.x + u(rng), c.y + u(rng), c.z + u(rng)};
    if (i % 10 == 0) p.x = c.x, p.y = c.y;  // on the axis: rays through the poles
    const double dist = shapes::Norm(shapes::Sub(p, c));
    // Between the faces and the sphere the two answers may differ.
    if (dist > 9.5 && dist < 10.0 + 1e-9) continue;
    const long expected = dist < 9.5 ? 1 : -1;
    ExpectInSolid(sphere.get(), p, expected);
    ++tested;
    inside += expected == 1;
  }
  EXPECT_GT(tested, 150);
  EXPECT_GT(inside, 30);
}

// ---------------------------------------------------------------------------
// Facing and orientation repair

TEST(ObbtFacing, InwardTrianglesAreFoundAndTurned) {
  TriSoup box = shapes::BoxSoup({0, 0, 0}, {1, 2, 3});
  std::swap(box.tris[7].v[0], box.tris[7].v[1]);
  auto w = Wrap(box);
  CObbtObjProcc proc;
  for (long i = 0; i < 12; ++i) EXPECT_EQ(proc.CheckTriDirOfModel(w.get(), i), i == 7 ? -1 : 1);
  EXPECT_EQ(proc.CheckTriDirOfModel(w.get(), 12) + proc.CheckTriDirOfModel(nullptr, 0), 0);

  std::vector<KroPntStrcT> pnts;
  std::vector<KroNetStrcT> nets;
  shapes::ToPntNet(shapes::BoxSoup({-1, -1, -1}, {1, 1, 1}), pnts, nets);
  // Wind triangle 9 inwards; its neighbour table follows the new edges.
  const std::vector<KroNetStrcT> want = nets;
  std::swap(nets[9].pnt[0], nets[9].pnt[1]);
  std::swap(nets[9].adj[1], nets[9].adj[2]);
  nets[9].flag1 = 42;
  ASSERT_EQ(proc.AdjustTriDirOfPolyh(pnts.data(), 8, nets.data(), 12), 1);
  for (long i = 0; i < 12; ++i)
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(nets[i].pnt[k], want[i].pnt[k]) << i;
      EXPECT_EQ(nets[i].adj[k], want[i].adj[k]) << i;
    }
  EXPECT_EQ(nets[9].flag1, 42);
  EXPECT_EQ(proc.AdjustTriDirOfPolyh(nullptr, 8, nets.data(), 12), -1);
}

// ---------------------------------------------------------------------------
// Quick box test

TEST(ObbtPointAndObb, QuickTestAndCentreVisibility) {
  auto cube = Wrap(shapes::BoxSoup({0, 0, 0}, {4, 4, 4}));
  tctagD3ConvexBox box = cube->GetMeshAABB();
  CObbtObjProcc proc;
  bool flag = true;
  Vec leftOfBox{-1, 2, 2}, inside{1, 1.5, 2.5}, aboveBox{2, 2, 9};
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &leftOfBox, &box, flag), -1);
  EXPECT_FALSE(flag);
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &inside, &box, flag), 1);
  // Above the box: not caught by the quick test, the probe crosses the top.
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &aboveBox, &box, flag), -1);
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &inside, nullptr, flag), 0);
  EXPECT_EQ(proc.CheckPntAndOBB(nullptr, &inside, &box, flag), 0);
}
