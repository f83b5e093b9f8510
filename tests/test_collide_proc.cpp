// Collision and ray processing: colliding pairs of two wrappers, ray
// crossing lists, point in solid, triangle facing, orientation repair and
// the quick box test.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/ObbtSolids.h"
#include "support/Shapes.h"

namespace {

using obbtsolids::Solid;
using obbtsolids::Vec;

std::unique_ptr<CObbtBase> Wrap(const Solid& s) {
  auto w = std::make_unique<CObbtBase>();
  KroSimpleMesh mesh = obbtsolids::ToMesh(s);
  EXPECT_EQ(w->BuildMeshObbt(&mesh), OBBT_OK);
  return w;
}

Solid Sphere(const Vec& c, double r, int nLat, int nLon) {
  Solid s;
  shapes::SphereArrays(c, r, nLat, nLon, s.pts, s.tris);
  return s;
}

// A prism along x whose section is the diamond |y| + |z| <= 1.
Solid Diamond() {
  return obbtsolids::Prism({-5, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 10.0,
                           {{0, -1}, {1, 0}, {0, 1}, {-1, 0}});
}

// Triangles' boxes overlap (a contact must at least do that).
bool BoxesTouch(const Vec a[3], const Vec b[3]) {
  auto lo = [](const Vec t[3], int k) {
    return std::fmin(std::fmin((&t[0].x)[k], (&t[1].x)[k]), (&t[2].x)[k]);
  };
  auto hi = [](const Vec t[3], int k) {
    return std::fmax(std::fmax((&t[0].x)[k], (&t[1].x)[k]), (&t[2].x)[k]);
  };
  for (int k = 0; k < 3; ++k) {
    if (lo(a, k) > hi(b, k) + 1e-12 || lo(b, k) > hi(a, k) + 1e-12) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Colliding pairs

TEST(ObbtCollide, DisjointBoxesGiveNoPairs) {
  auto a = Wrap(obbtsolids::Box({0, 0, 0}, {1, 1, 1}));
  auto b = Wrap(obbtsolids::Box({5, 5, 5}, {6, 6, 6}));
  CObbtObjProcc proc;
  EXPECT_EQ(proc.ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1.0, 1.0), 0);
  tcTriCutPair dummy{7, 7};
  tcTriCutPair* pairs = &dummy;
  long count = -1;
  EXPECT_EQ(proc.GetCollideTriPair(&pairs, &count), 1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(pairs, nullptr);
  EXPECT_EQ(proc.GetAABBOverlap(), 0);
  EXPECT_EQ(proc.GetFirstObbt(), a.get());
  EXPECT_EQ(proc.ObbtCollide(nullptr, b.get(), nullptr, nullptr, nullptr, nullptr, 1, 1), 0);
}

TEST(ObbtCollide, OverlappingBoxesReportTouchingPairs) {
  Solid sa = obbtsolids::Box({0, 0, 0}, {2, 2, 2});
  Solid sb = obbtsolids::Box({1, 1, 1}, {3, 3, 3});
  auto a = Wrap(sa);
  auto b = Wrap(sb);
  CObbtObjProcc proc;
  ASSERT_EQ(proc.ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1.0, 1.0), 0);
  tcTriCutPair* pairs = nullptr;
  long count = 0;
  proc.GetCollideTriPair(&pairs, &count);
  ASSERT_GT(count, 0);
  ASSERT_NE(pairs, nullptr);
  std::set<std::pair<long, long>> distinct;
  for (long k = 0; k < count; ++k) {
    ASSERT_GE(pairs[k].triIndex1, 0);
    ASSERT_LT(pairs[k].triIndex1, 12);
    ASSERT_GE(pairs[k].triIndex2, 0);
    ASSERT_LT(pairs[k].triIndex2, 12);
    Vec ta[3], tb[3];
    a->GetTriDotFromObbt(ta, pairs[k].triIndex1);
    b->GetTriDotFromObbt(tb, pairs[k].triIndex2);
    EXPECT_TRUE(BoxesTouch(ta, tb));
    distinct.insert({pairs[k].triIndex1, pairs[k].triIndex2});
  }
  EXPECT_EQ(static_cast<long>(distinct.size()), count);
  // The +x face of a (triangles 2, 3) cuts through b; the -x face of a
  // (triangles 0, 1) lies outside b's box entirely.
  bool plusX = false, minusX = false;
  for (const auto& p : distinct) {
    plusX = plusX || p.first == 2 || p.first == 3;
    minusX = minusX || p.first == 0 || p.first == 1;
  }
  EXPECT_TRUE(plusX);
  EXPECT_FALSE(minusX);
}

TEST(ObbtCollide, PairsSurviveTheWrappersAndCopiesOwnThem) {
  auto a = Wrap(obbtsolids::Box({0, 0, 0}, {2, 2, 2}));
  auto b = Wrap(obbtsolids::Box({1, 1, 1}, {3, 3, 3}));
  auto proc = std::make_unique<CObbtObjProcc>();
  proc->ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
  long count = 0;
  tcTriCutPair* pairs = nullptr;
  proc->GetCollideTriPair(&pairs, &count);
  const std::vector<tcTriCutPair> before(pairs, pairs + count);
  b.reset();  // destroying a model empties the tree core's contact list
  EXPECT_EQ(ObbtContactCount(), 0);

  CObbtObjProcc copy(*proc);
  CObbtObjProcc assigned;
  assigned = *proc;
  proc.reset();
  tcTriCutPair* copied = nullptr;
  long copiedCount = 0;
  copy.GetCollideTriPair(&copied, &copiedCount);
  ASSERT_EQ(copiedCount, count);
  for (long k = 0; k < count; ++k) {
    EXPECT_EQ(copied[k].triIndex1, before[k].triIndex1);
    EXPECT_EQ(copied[k].triIndex2, before[k].triIndex2);
  }
  assigned.GetCollideTriPair(&copied, &copiedCount);
  EXPECT_EQ(copiedCount, count);
  EXPECT_NE(copied, nullptr);
}

TEST(ObbtCollide, PlacementsMoveTheBoxesToo) {
  auto a = Wrap(obbtsolids::Box({0, 0, 0}, {1, 1, 1}));
  auto b = Wrap(obbtsolids::Box({10, 10, 10}, {11, 11, 11}));
  double I[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  double T1[3] = {0, 0, 0};
  double T2[3] = {-9.5, -9.5, -9.5};  // b now straddles a's far corner
  CObbtObjProcc proc;
  EXPECT_EQ(proc.ObbtCollide(a.get(), b.get(), I, I, T1, T2, 1.0, 1.0), 0);
  EXPECT_EQ(proc.GetAABBOverlap(), 1);
  long count = 0;
  proc.GetCollideTriPair(nullptr, &count);
  EXPECT_GT(count, 0);
  // Without placements the same two boxes are apart.
  EXPECT_EQ(proc.ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1, 1), 0);
  proc.GetCollideTriPair(nullptr, &count);
  EXPECT_EQ(count, 0);
}

TEST(ObbtCollide, UnbuiltTreeDoesNotInheritEarlierContacts) {
  auto a = Wrap(obbtsolids::Box({0, 0, 0}, {2, 2, 2}));
  auto b = Wrap(obbtsolids::Box({1, 1, 1}, {3, 3, 3}));
  CObbtObjProcc proc;
  proc.ObbtCollide(a.get(), b.get(), nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
  ASSERT_GT(ObbtContactCount(), 0);
  CObbtBase unbuilt;  // never filled: its box is the all-zero box, touching a's
  EXPECT_EQ(proc.ObbtCollide(a.get(), &unbuilt, nullptr, nullptr, nullptr, nullptr, 1, 1),
            OBBT_NOT_BUILT);
  long count = -1;
  tcTriCutPair* pairs = nullptr;
  proc.GetCollideTriPair(&pairs, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(pairs, nullptr);
}

// ---------------------------------------------------------------------------
// Ray crossing lists

TEST(ObbtRay, SharedVertexHitCountsOnce) {
  Solid fan = obbtsolids::Fan(2.0);
  auto w = Wrap(fan);
  CObbtObjProcc proc;
  Vec origin{0, 0, 0}, dir{0, 0, 1};
  long tris[4] = {-1, -1, -1, -1};
  long count = 0;
  ASSERT_EQ(proc._FindCollideTrisWithRay(w.get(), &origin, &dir, tris, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(proc.GetSecondObbt(), nullptr);  // the ray's own wrapper is gone

  count = 0;
  ASSERT_EQ(CMathFunCls::FindCollideTrisWithRay(w->GetObbtModel(), &origin, &dir, tris, &count), 1);
  EXPECT_EQ(count, 1);

  // Off the centre, one triangle; and the line counts behind the origin too.
  Vec above{0.5, 0.1, 5.0};
  ASSERT_EQ(proc._FindCollideTrisWithRay(w.get(), &above, &dir, tris, &count), 1);
  EXPECT_EQ(count, 0);  // the ray triangle starts above the sheet: no contact
  Vec below{0.5, 0.1, -5.0};
  ASSERT_EQ(proc._FindCollideTrisWithRay(w.get(), &below, &dir, tris, &count), 1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(tris[0], 1);  // triangle (0, 2, 3) holds (0.5, 0.1)
}

TEST(ObbtRay, NullArgumentsAnswerMinusOne) {
  auto w = Wrap(obbtsolids::Fan(0.0));
  CObbtObjProcc proc;
  Vec o{0, 0, -1}, d{0, 0, 1};
  long tris[4];
  long count = 9;
  EXPECT_EQ(proc._FindCollideTrisWithRay(nullptr, &o, &d, tris, &count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(proc._FindCollideTrisWithRay(w.get(), &o, nullptr, tris, &count), -1);
  EXPECT_EQ(proc._FindCollideTrisWithRay(w.get(), &o, &d, nullptr, &count), -1);
  EXPECT_EQ(CMathFunCls::FindCollideTrisWithRay(nullptr, &o, &d, tris, &count), -1);
  Vec zero{0, 0, 0};
  EXPECT_EQ(proc._FindCollideTrisWithRay(w.get(), &o, &zero, tris, &count), -1);
  EXPECT_EQ(CMathFunCls::FindCollideTrisWithRay(w->GetObbtModel(), &o, &zero, tris, &count), -1);
  bool on = true;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(nullptr, &o, on), 0);
  EXPECT_FALSE(on);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(nullptr, &o, on), 0);
  CObbtBase empty;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(&empty, &o, on), -1);
  empty.DeleteObbtObj();
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(&empty, &o, on), 0);
}

// ---------------------------------------------------------------------------
// Point in solid

TEST(ObbtPointInSolid, PointOnAFaceIsOnTheSurface) {
  auto cube = Wrap(obbtsolids::Box({0, 0, 0}, {2, 2, 2}));
  CObbtObjProcc proc;
  Vec onTop{0.7, 1.1, 2.0};
  bool on = false;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(cube.get(), &onTop, on), 1);
  EXPECT_TRUE(on);
  Vec onSide{2.0, 0.4, 1.3};
  on = false;
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(cube->GetObbtModel(), &onSide, on), 1);
  EXPECT_TRUE(on);
}

TEST(ObbtPointInSolid, InsideAndOutsideACube) {
  auto cube = Wrap(obbtsolids::Box({0, 0, 0}, {2, 2, 2}));
  CObbtObjProcc proc;
  bool on = true;
  Vec inside{0.3, 1.7, 0.9};
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(cube.get(), &inside, on), 1);
  EXPECT_FALSE(on);
  Vec below{0.3, 1.7, -4.0};  // ray crosses the bottom and the top
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(cube.get(), &below, on), -1);
  Vec beside{5.0, 5.0, 1.0};  // ray misses the solid
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(cube.get(), &beside, on), -1);
  Vec above{0.3, 1.7, 3.0};  // the cube lies behind the point only
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(cube.get(), &above, on), -1);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(cube->GetObbtModel(), &inside, on), 1);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(cube->GetObbtModel(), &below, on), -1);
}

TEST(ObbtPointInSolid, RayThroughSharedEdgeTurnsItsDirection) {
  // Straight below the diamond's side edge (y = 1, z = 0): the vertical ray
  // only grazes that edge, a single crossing that would say "inside".
  auto prism = Wrap(Diamond());
  CObbtObjProcc proc;
  Vec p{0.0, 1.0, -3.0}, up{0, 0, 1};
  long tris[32];
  long count = 0;
  ASSERT_EQ(proc._FindCollideTrisWithRay(prism.get(), &p, &up, tris, &count), 1);
  ASSERT_EQ(count, 1);  // the two faces at the edge count once
  Vec v[3];
  prism->GetTriDotFromObbt(v, tris[0]);
  double o[3] = {p.x, p.y, p.z}, d[3] = {0, 0, 1}, hit[3];
  long pos = 0;
  ASSERT_EQ(CMathFunCls::Radial_Tri(o, d, &v[0].x, &v[1].x, &v[2].x, hit, &pos), 1);
  EXPECT_NE(pos, 0);  // an edge hit

  bool on = true;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(prism.get(), &p, on), -1);
  EXPECT_FALSE(on);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(prism->GetObbtModel(), &p, on), -1);
  // Straight below the bottom edge, the ray enters through an edge and
  // leaves through the top edge: inside-ness must still come out right.
  Vec under{0.0, 0.0, 0.5};
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(prism.get(), &under, on), 1);
  Vec deep{0.0, 0.0, -7.0};
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(prism.get(), &deep, on), -1);
}

TEST(ObbtPointInSolid, RestartsAreBoundedWhenEveryRayMeetsAnEdge) {
  // A roof whose ridge lies in the plane of every tilted ray from p.
  const double wl = std::sqrt(0.15 * 0.15 + 0.25 * 0.25);
  const Vec a{0.15 / wl, 0.25 / wl, 0};
  const Vec V{0, 0, 1};
  const Vec U{-a.y, a.x, 0};  // V x a
  Solid roof = obbtsolids::Prism({-2 * a.x, -2 * a.y, 0}, a, U, V, 14.0, {{-1, 0}, {1, 0}, {0, 1}});
  auto w = Wrap(roof);
  CObbtObjProcc proc;
  Vec p{0, 0, 0.5};
  bool on = true;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(w.get(), &p, on), OBBT_PNT_UNDECIDED);
  EXPECT_FALSE(on);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(w->GetObbtModel(), &p, on), OBBT_PNT_UNDECIDED);
  // Beside the ridge's plane the same solid is decided at once.
  Vec q{0.1, -0.1, 0.3};
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(w.get(), &q, on), 1);
}

TEST(ObbtPointInSolid, CrossingsBehindThePointDoNotCount) {
  // The upward ray triangle from the origin leans towards w = (1, 4, 0).
  // One face of this tetrahedron reaches from below the origin (where the
  // vertical line enters the solid) up into that triangle; the origin itself
  // lies outside.
  const double r17 = std::sqrt(17.0);
  const Vec w{1 / r17, 4 / r17, 0}, v{-4 / r17, 1 / r17, 0};
  const Vec B{0, 0, -1};
  const Vec d{0.1 * w.x, 0.1 * w.y, 2.0};  // from B to a point of the ray triangle
  auto at = [&](double a, double b) {
    return Vec{B.x + a * d.x + b * v.x, B.y + a * d.y + b * v.y, B.z + a * d.z + b * v.z};
  };
  const Vec apex{1.55 * w.x, 1.55 * w.y, 0};
  Solid tet = obbtsolids::Tetra(at(-0.5, -1), at(-0.5, 1), at(2, 0), apex);
  auto solid = Wrap(tet);
  CObbtObjProcc proc;
  Vec origin{0, 0, 0}, up{0, 0, 1};
  long tris[4];
  long count = 0;
  ASSERT_EQ(proc._FindCollideTrisWithRay(solid.get(), &origin, &up, tris, &count), 1);
  ASSERT_GE(count, 1);  // the lower face is on the list
  bool on = true;
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(solid.get(), &origin, on), -1);
  EXPECT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(solid->GetObbtModel(), &origin, on), -1);
  Vec inside{0.6 * w.x, 0.6 * w.y, -0.2};
  EXPECT_EQ(proc._CheckPntAndPolyhWithObbt(solid.get(), &inside, on), 1);
}

TEST(ObbtPointInSolid, TessellatedSphereAgreesWithTheAnalyticSphere) {
  const Vec c{0.3, -0.2, 0.1};
  const double r = 10.0;
  auto sphere = Wrap(Sphere(c, r, 12, 24));
  CObbtObjProcc proc;
  obbtsolids::Lcg rng(20261206);
  int tested = 0, inside = 0;
  for (int i = 0; i < 400; ++i) {
    Vec p{c.x + (rng.Next() * 2 - 1) * 13, c.y + (rng.Next() * 2 - 1) * 13,
          c.z + (rng.Next() * 2 - 1) * 13};
    if (i % 10 == 0) p.x = c.x, p.y = c.y;  // on the axis: rays through the poles
    const double d = std::sqrt((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y) +
                               (p.z - c.z) * (p.z - c.z));
    // Between the faces and the sphere the two answers may differ.
    if (d > 9.5 && d < 10.0 + 1e-9) continue;
    const long expected = d < 9.5 ? 1 : -1;
    bool on = true;
    ASSERT_EQ(proc._CheckPntAndPolyhWithObbt(sphere.get(), &p, on), expected)
        << p.x << " " << p.y << " " << p.z;
    EXPECT_FALSE(on);
    ASSERT_EQ(CMathFunCls::CheckPntAndPolyhWithObbt(sphere->GetObbtModel(), &p, on), expected);
    ++tested;
    inside += expected == 1;
  }
  EXPECT_GT(tested, 300);
  EXPECT_GT(inside, 60);
}

// ---------------------------------------------------------------------------
// Facing and orientation repair

TEST(ObbtFacing, CubeTrianglesFaceOutwards) {
  Solid box = obbtsolids::Box({0, 0, 0}, {1, 2, 3});
  box.tris[7] = {{box.tris[7].v[1], box.tris[7].v[0], box.tris[7].v[2]}};
  auto w = Wrap(box);
  CObbtObjProcc proc;
  for (long i = 0; i < 12; ++i) EXPECT_EQ(proc.CheckTriDirOfModel(w.get(), i), i == 7 ? -1 : 1);
  EXPECT_EQ(proc.CheckTriDirOfModel(w.get(), 12), 0);
  EXPECT_EQ(proc.CheckTriDirOfModel(nullptr, 0), 0);
  CObbtBase empty;
  EXPECT_EQ(proc.CheckTriDirOfModel(&empty, 0), 0);
}

TEST(ObbtFacing, AdjustTurnsOnlyTheInwardTriangle) {
  Solid box = obbtsolids::Box({-1, -1, -1}, {1, 1, 1});
  std::vector<KroPntStrcT> pnts;
  std::vector<KroNetStrcT> nets;
  obbtsolids::ToPntNet(box, pnts, nets);
  // Wind triangle 9 inwards; its neighbour table follows the new edges.
  KroNetStrcT& bad = nets[9];
  std::swap(bad.pnt[0], bad.pnt[1]);
  std::swap(bad.adj[1], bad.adj[2]);
  bad.flag1 = 42;
  const std::vector<KroNetStrcT> before = nets;
  CObbtObjProcc proc;
  ASSERT_EQ(proc.AdjustTriDirOfPolyh(pnts.data(), 8, nets.data(), 12), 1);
  for (long i = 0; i < 12; ++i) {
    if (i == 9) continue;
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(nets[i].pnt[k], before[i].pnt[k]);
      EXPECT_EQ(nets[i].adj[k], before[i].adj[k]);
    }
  }
  EXPECT_EQ(nets[9].pnt[0], before[9].pnt[1]);
  EXPECT_EQ(nets[9].pnt[1], before[9].pnt[0]);
  EXPECT_EQ(nets[9].pnt[2], before[9].pnt[2]);
  EXPECT_EQ(nets[9].adj[0], before[9].adj[0]);
  EXPECT_EQ(nets[9].adj[1], before[9].adj[2]);
  EXPECT_EQ(nets[9].adj[2], before[9].adj[1]);
  EXPECT_EQ(nets[9].flag1, 42);
  // The repaired solid is consistently outward: positive volume.
  double vol = 0;
  for (const KroNetStrcT& n : nets) {
    const KroPntStrcT& a = pnts[n.pnt[0] - 1];
    const KroPntStrcT& b = pnts[n.pnt[1] - 1];
    const KroPntStrcT& c = pnts[n.pnt[2] - 1];
    vol += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
            a.z * (b.x * c.y - b.y * c.x)) /
           6.0;
  }
  EXPECT_NEAR(vol, 8.0, 1e-9);
  EXPECT_EQ(proc.AdjustTriDirOfPolyh(nullptr, 8, nets.data(), 12), -1);
}

// ---------------------------------------------------------------------------
// Quick box test

TEST(ObbtPointAndObb, QuickTestAndCentreVisibility) {
  auto cube = Wrap(obbtsolids::Box({0, 0, 0}, {4, 4, 4}));
  tctagD3ConvexBox box = cube->GetMeshAABB();
  CObbtObjProcc proc;
  bool flag = true;
  Vec leftOfBox{-1, 2, 2};
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &leftOfBox, &box, flag), -1);
  EXPECT_FALSE(flag);
  Vec inside{1, 1.5, 2.5};
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &inside, &box, flag), 1);
  Vec aboveBox{2, 2, 9};  // not caught by the quick test: the probe crosses the top
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &aboveBox, &box, flag), -1);
  EXPECT_EQ(proc.GetSecondObbt(), nullptr);
  EXPECT_EQ(proc.CheckPntAndOBB(cube.get(), &inside, nullptr, flag), 0);
  EXPECT_EQ(proc.CheckPntAndOBB(nullptr, &inside, &box, flag), 0);
}
