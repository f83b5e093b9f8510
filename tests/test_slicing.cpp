// Point in solid by slicing: one triangle against a plane, duplicate
// removal, chaining, the decision, boxes, and agreement with a parity count
// on tessellated solids.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroGeoMath.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"
#include "support/Shapes.h"

namespace {

using V = KRO::G3D_DVertex;

struct Solid {
  std::vector<V> pts;
  std::vector<C3DTriangle> tris;
  short Check(double x, double y, double z) {
    D_3DOT p{x, y, z};
    return GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        pts.data(), static_cast<long>(pts.size()), tris.data(), static_cast<long>(tris.size()), &p);
  }
  C3DSurface Surface() const {
    std::vector<C3DTriData> t;
    for (const auto& x : tris) t.push_back({{x.v[0], x.v[1], x.v[2]}});
    return shapes::MakeSurface(pts, t);
  }
};

Solid FromSoup(const shapes::TriSoup& soup) {
  Solid s;
  s.pts = soup.pts;
  for (const auto& t : soup.tris) s.tris.emplace_back(t.v[0], t.v[1], t.v[2]);
  return s;
}

// The unit cube as one closed surface of 12 outward triangles.
Solid UnitCube() {
  return FromSoup(shapes::BoxSoup({0, 0, 0}, {1, 1, 1}));
}

Solid Torus(double R, double r, int nu, int nv) {
  Solid s;
  const double pi = shapes::kPi;
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      const double u = 2 * pi * i / nu, v = 2 * pi * j / nv;
      s.pts.push_back({(R + r * std::cos(v)) * std::cos(u), (R + r * std::cos(v)) * std::sin(u),
                       r * std::sin(v)});
    }
  auto id = [&](int i, int j) { return static_cast<long>((i % nu) * nv + (j % nv)); };
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      s.tris.emplace_back(id(i, j), id(i + 1, j), id(i + 1, j + 1));
      s.tris.emplace_back(id(i, j), id(i + 1, j + 1), id(i, j + 1));
    }
  return s;
}

double DistToTriangle(const V& p, const V& a, const V& b, const V& c) {
  using namespace shapes;
  const V n = Normalized(Cross(Sub(b, a), Sub(c, a)));
  const V f = Sub(p, Scale(n, Dot(Sub(p, a), n)));
  const V e[3][2] = {{a, b}, {b, c}, {c, a}};
  bool inside = true;
  for (auto& ed : e)
    if (Dot(Cross(Sub(ed[1], ed[0]), Sub(f, ed[0])), n) < 0) inside = false;
  if (inside) return std::fabs(Dot(Sub(p, a), n));
  double best = 1e300;
  for (auto& ed : e) {
    const V d = Sub(ed[1], ed[0]);
    double t = Dot(Sub(p, ed[0]), d) / Dot(d, d);
    t = std::clamp(t, 0.0, 1.0);
    best = std::min(best, Norm(Sub(p, Add(ed[0], Scale(d, t)))));
  }
  return best;
}

// Counts agreement of the slicing test with the parity count of
// JudgePntInPolyhedron for random points at least 1e-3 from the surface.
void CompareWithParity(Solid& s, double lo, double hi, int n, unsigned seed, int* compared,
                       bool wholeHeights = false) {
  std::vector<KroPntStrcT> pts;
  for (const V& p : s.pts) pts.push_back({p.x, p.y, p.z, 0, 0, 0});
  std::vector<KroNetStrcT> nets;
  for (const auto& t : s.tris) {
    KroNetStrcT nt{};
    for (int k = 0; k < 3; ++k) nt.pnt[k] = t.v[k] + 1;
    nets.push_back(nt);
  }
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  *compared = 0;
  for (int i = 0; i < n; ++i) {
    V p{u(rng), u(rng), u(rng)};
    if (wholeHeights) p.z = std::round(p.z);
    double d = 1e300;
    for (const auto& t : s.tris)
      d = std::min(d, DistToTriangle(p, s.pts[t.v[0]], s.pts[t.v[1]], s.pts[t.v[2]]));
    if (d < 1e-3) continue;
    V q{p.x + 1000.0, p.y + 731.3, p.z + 417.9};
    const bool inside = CMathFunCls::JudgePntInPolyhedron(&p, &q, pts.data(), long(pts.size()),
                                                          nets.data(), long(nets.size()));
    ASSERT_EQ(s.Check(p.x, p.y, p.z), inside ? 1 : -1)
        << "point " << i << " at (" << p.x << ", " << p.y << ", " << p.z << ")";
    ++*compared;
  }
}

F_Intsersecs Results() {
  F_Intsersecs r;
  GeoMathPosition::GetIntersecResults(r);
  return r;
}

}  // namespace

TEST(SliceStore, DuplicatesAndLifetime) {
  std::vector<D_3DOT> dots = {{0, 0, 0}, {0, 0, 5}, {1, 0, 0}, {1.000001, 0, 0}};
  GeoMathPosition::DelRepeatElement(dots);
  ASSERT_EQ(dots.size(), 2u);  // z is not compared
  EXPECT_EQ(dots[0].z, 0.0);

  D_3DOT p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0};
  std::vector<F_IntsersecLines> lines = {{p1, p2}, {p2, p1}, {p1, p3}, {p1, {1.0000001, 0, 0}}};
  GeoMathPosition::DelRepeatElement(lines);
  EXPECT_EQ(lines.size(), 2u);

  // The destructor of any object empties the module-wide store.
  double z = 0.0;
  D_3DOT a{0, 0, -1}, b{1, 0, 1}, c{0, 1, 1};
  GeoMathPosition::CalPlaneAndTriIntersect(z, a, b, c);
  EXPECT_EQ(Results().interLines.size(), 1u);
  { GeoMathPosition scratch; }
  EXPECT_TRUE(Results().interLines.empty());
}

TEST(SliceChains, SegmentsChainIntoClosedRings) {
  D_3DOT p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0};
  std::vector<F_IntsersecLines> segs = {{p1, p2}, {p3, p2}, {p3, p1}};
  std::vector<std::vector<D_3DOT>> polys;
  ASSERT_EQ(GeoMathPosition::GetInterLinesOfEntityAndSur(segs, polys), 1);
  ASSERT_EQ(polys.size(), 1u);
  ASSERT_EQ(polys[0].size(), 4u);
  D_3DOT want[4] = {p1, p2, p3, p1};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(GeoMathPosition::IsSame3Dot(polys[0][i], want[i])) << i;
  std::vector<F_IntsersecLines> none;
  EXPECT_EQ(GeoMathPosition::GetInterLinesOfEntityAndSur(none, polys), 0);

  // 512 segments of a circle handed over every other one first: the first
  // pass leaves 256 pieces, more than six halving passes can join.
  const int n = 512;
  std::vector<D_3DOT> ring;
  for (int i = 0; i < n; ++i)
    ring.push_back({std::cos(2 * shapes::kPi * i / n), std::sin(2 * shapes::kPi * i / n), 0});
  segs.clear();
  for (int parity = 0; parity < 2; ++parity)
    for (int i = parity; i < n; i += 2) segs.push_back({ring[i], ring[(i + 1) % n]});
  polys.clear();
  ASSERT_EQ(GeoMathPosition::GetInterLinesOfEntityAndSur(segs, polys), 1);
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_EQ(polys[0].size(), size_t(n + 1));
  EXPECT_TRUE(GeoMathPosition::IsSame3Dot(polys[0].front(), polys[0].back()));

  // Two separate triangles give two closed rings of four points.
  D_3DOT a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0}, d{5, 5, 0}, e{6, 5, 0}, f{5, 6, 0};
  std::vector<F_IntsersecLines> two = {{a, b}, {d, e}, {b, c}, {e, f}, {c, a}, {f, d}};
  polys.clear();
  GeoMathPosition::GetInterLinesOfEntityAndSur(two, polys);
  ASSERT_EQ(polys.size(), 2u);
  EXPECT_TRUE(polys[0].size() == 4u && polys[1].size() == 4u);
}

TEST(SlicePointInSolid, UnitCube) {
  Solid cube = UnitCube();
  EXPECT_EQ(cube.Check(0.5, 0.5, 0.5), 1);
  EXPECT_EQ(cube.Check(2, 0.5, 0.5), -1);  // outside the box
  // On the vertical faces the plan polygon test decides.
  EXPECT_EQ(cube.Check(0, 0.5, 0.5), 1);
  EXPECT_EQ(cube.Check(1, 0.5, 0.5), -1);
  // At the top face's height: in-plane triangles decide inside them, the
  // in-plane edges of the side faces mark the boundary.
  EXPECT_EQ(cube.Check(0.3, 0.6, 1.0), 1);
  EXPECT_EQ(cube.Check(0.5, 0.0, 1.0), 0);
  EXPECT_EQ(cube.Check(1.0, 0.5, 1.0), 0);
  // A touching corner point.
  EXPECT_EQ(cube.Check(0.0, 0.0, 1.0), 0);
  EXPECT_TRUE(Results().interLines.empty());  // the store is left empty
  cube.tris[3].v[1] = 99;                     // a corner outside the points
  EXPECT_EQ(cube.Check(0.5, 0.5, 0.5), -1);
}

TEST(SlicePointInSolid, EdgesLyingInThePlane) {
  // An octahedron sliced through its four equator edges: a point on one of
  // them is on the boundary, the edges still outline the slice.
  Solid oct;
  oct.pts = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (long k = 0; k < 4; ++k) {
    oct.tris.emplace_back(k, (k + 1) % 4, 4);
    oct.tris.emplace_back((k + 1) % 4, k, 5);
  }
  EXPECT_EQ(oct.Check(0.1, 0.2, 0.0), 1);
  EXPECT_EQ(oct.Check(0.5, 0.5, 0.0), 0);
  EXPECT_EQ(oct.Check(0.1, 0.2, 0.5), 1);
  EXPECT_EQ(oct.Check(0.9, 0.9, 0.0), -1);
}

TEST(SlicePointInSolid, HostObjectOverloads) {
  Solid cube = UnitCube();
  C3DSurface surf = cube.Surface();
  D_3DOT in{0.5, 0.5, 0.5}, out{1.5, 0.5, 0.5};
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(surf, in), 1);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(surf, out), -1);

  // A solid tries its surfaces in order: the far tetrahedron says -1, the
  // cube then says 1.
  Solid tet;
  tet.pts = {{10, 10, 10}, {11, 10, 10}, {10, 11, 10}, {10, 10, 11}};
  tet.tris = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  C3DSurface tetSurf = tet.Surface();
  C3DEntity solid(-1, 0);
  solid.AddSurface(&tetSurf, nullptr);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(solid, in), -1);
  solid.AddSurface(&surf, nullptr);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(solid, in), 1);
  C3DEntity none(-1, 0);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(none, in), -2);

  // A plane above the solid gives no lines.
  C3DEntity cubeSolid(-1, 0);
  cubeSolid.AddSurface(&surf, nullptr);
  C3DBox box;
  GeoMathPosition::GetEntityBox(cubeSolid, box);
  C3DSurface high(-1, 0);
  D_3DOT above{0.5, 0.5, 3.0};
  GeoMathPosition::GetPlaneSur(&box, above, high);
  EXPECT_EQ(GeoMathPosition::CalIntsersecLinesOfSurAndEntity(cubeSolid, high), 0);
  // One through it slices every side face.
  C3DSurface mid(-1, 0);
  GeoMathPosition::GetPlaneSur(&box, in, mid);
  EXPECT_EQ(GeoMathPosition::CalIntsersecLinesOfSurAndEntity(cubeSolid, mid), 1);
  EXPECT_GE(Results().interLines.size(), 4u);
  GeoMathPosition::EmptyIntersecStore();
}

TEST(SlicePointInSolid, SphereAgreesWithParityCount) {
  shapes::TriSoup ball;
  shapes::SphereArrays({0.1, -0.2, 0.05}, 1.0, 16, 32, ball.pts, ball.tris);
  Solid s = FromSoup(ball);
  int compared = 0;
  CompareWithParity(s, -1.3, 1.3, 150, 2024, &compared);
  EXPECT_GT(compared, 120);
}

TEST(SlicePointInSolid, LayeredPrismAtRingHeights) {
  // Every point at the height of a ring of vertices and horizontal edges.
  Solid s = FromSoup(shapes::LayeredPrism({-1, 0, 1, 2}));
  int compared = 0;
  CompareWithParity(s, -1.2, 1.2, 200, 99, &compared, true);
  EXPECT_EQ(s.Check(0.1, 0.1, 0.0), 1);
  EXPECT_EQ(s.Check(0.1, 0.1, 1.0), 1);
  EXPECT_GT(compared, 100);
}

TEST(SlicePointInSolid, TorusHoleIsOutside) {
  // Slices of a torus are two nested rings: the hole must come out as
  // outside.
  Solid t = Torus(1.0, 0.4, 32, 16);
  EXPECT_EQ(t.Check(0.0, 0.0, 0.05), -1);
  EXPECT_EQ(t.Check(1.0, 0.0, 0.05), 1);
  int compared = 0;
  CompareWithParity(t, -1.5, 1.5, 150, 77, &compared);
  EXPECT_GT(compared, 120);
}

TEST(HostGeoMath, PointInTriangleNamesItsVertex) {
  short pos = 9;
  EXPECT_EQ(CMathCheckPosition::GeoMath_CheckPntInTri(0, 0, 0, 2, 0, 0, 0, 2, 0, 0.5, 0.5, 0, &pos),
            1);
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(CMathCheckPosition::GeoMath_CheckPntInTri(0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 0, 0, &pos), 0);
  EXPECT_EQ(pos, 1);  // on vertex 1
  EXPECT_EQ(CMathCheckPosition::GeoMath_CheckPntInTri(0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 0, &pos),
            -2);
}
