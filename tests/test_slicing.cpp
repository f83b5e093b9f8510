// Point in solid by slicing: one triangle against a plane, duplicate
// removal, chaining, the decision, boxes, and agreement with a parity count
// on tessellated solids.
#include <gtest/gtest.h>

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

// A closed surface as points and triangles, asked for a point's side.
struct Solid : shapes::TriSoup {
  short Check(double x, double y, double z) {
    std::vector<C3DTriangle> t;
    for (const auto& c : tris) t.emplace_back(c.v[0], c.v[1], c.v[2]);
    D_3DOT p{x, y, z};
    return GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        pts.data(), static_cast<long>(pts.size()), t.data(), static_cast<long>(t.size()), &p);
  }
};

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
      s.tris.push_back({{id(i, j), id(i + 1, j), id(i + 1, j + 1)}});
      s.tris.push_back({{id(i, j), id(i + 1, j + 1), id(i, j + 1)}});
    }
  return s;
}

F_Intsersecs Results() {
  F_Intsersecs r;
  GeoMathPosition::GetIntersecResults(r);
  return r;
}

}  // namespace

TEST(SliceStore, DuplicatesChainsIntoRingsAndLifetime) {
  std::vector<D_3DOT> dots = {{0, 0, 0}, {0, 0, 5}, {1, 0, 0}, {1.000001, 0, 0}};
  GeoMathPosition::DelRepeatElement(dots);
  EXPECT_TRUE(dots.size() == 2u && dots[0].z == 0.0);  // z is not compared
  D_3DOT p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0};
  std::vector<F_IntsersecLines> segs = {{p1, p2}, {p2, p1}, {p1, p3}, {p1, {1.0000001, 0, 0}}};
  GeoMathPosition::DelRepeatElement(segs);
  EXPECT_EQ(segs.size(), 2u);
  // 512 segments of a circle handed over every other one first: the first
  // pass leaves 256 pieces, more than six halving passes can join.
  const int n = 512;
  std::vector<std::vector<D_3DOT>> polys;
  std::vector<D_3DOT> ring;
  for (int i = 0; i < n; ++i)
    ring.push_back({std::cos(2 * shapes::kPi * i / n), std::sin(2 * shapes::kPi * i / n), 0});
  segs.clear();
  for (int parity = 0; parity < 2; ++parity)
    for (int i = parity; i < n; i += 2) segs.push_back({ring[i], ring[(i + 1) % n]});
  ASSERT_EQ(GeoMathPosition::GetInterLinesOfEntityAndSur(segs, polys), 1);
  ASSERT_TRUE(polys.size() == 1u && polys[0].size() == size_t(n + 1));
  EXPECT_TRUE(GeoMathPosition::IsSame3Dot(polys[0].front(), polys[0].back()));
  segs.clear();
  EXPECT_EQ(GeoMathPosition::GetInterLinesOfEntityAndSur(segs, polys), 0);
  // The destructor of any object empties the module-wide store.
  double z = 0.0;
  D_3DOT a{0, 0, -1}, b{1, 0, 1}, c{0, 1, 1};
  GeoMathPosition::CalPlaneAndTriIntersect(z, a, b, c);
  EXPECT_EQ(Results().interLines.size(), 1u);
  // A vertex in the plane, the opposite edge crossing: a line from it.
  D_3DOT v{0, 0, 0}, up{1, 0, 1}, down{0, 1, -1};
  EXPECT_EQ(GeoMathPosition::CalPlaneAndTriIntersect(z, v, up, down), 3);
  EXPECT_EQ(Results().interLines.size(), 2u);
  { GeoMathPosition scratch; }
  EXPECT_TRUE(Results().interLines.empty());
}

TEST(SlicePointInSolid, BoundaryCasesOfACubeAndAnOctahedron) {
  // Cube: on the vertical faces the plan polygon test decides; at the top
  // face's height in-plane triangles decide inside them and the in-plane
  // edges of the side faces mark the boundary; a touching corner is on it.
  Solid cube{shapes::BoxSoup({0, 0, 0}, {1, 1, 1})};
  const double rows[][4] = {{0.5, 0.5, 0.5, 1}, {2, 0.5, 0.5, -1},  {0, 0.5, 0.5, 1},
                            {1, 0.5, 0.5, -1},  {0.3, 0.6, 1.0, 1}, {0.5, 0.0, 1.0, 0},
                            {1.0, 0.5, 1.0, 0}, {0.0, 0.0, 1.0, 0}};
  for (auto r : rows)
    EXPECT_EQ(cube.Check(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[1] << " " << r[2];
  EXPECT_TRUE(Results().interLines.empty());  // the store is left empty
  cube.tris[3].v[1] = 99;                     // a corner outside the points
  EXPECT_EQ(cube.Check(0.5, 0.5, 0.5), -1);
  // An octahedron sliced through its four equator edges: a point on one of
  // them is on the boundary, the edges still outline the slice.
  Solid oct;
  oct.pts = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (long k = 0; k < 4; ++k) {
    oct.tris.push_back({{k, (k + 1) % 4, 4}});
    oct.tris.push_back({{(k + 1) % 4, k, 5}});
  }
  const double octRows[][4] = {
      {0.1, 0.2, 0, 1}, {0.5, 0.5, 0, 0}, {0.1, 0.2, 0.5, 1}, {0.9, 0.9, 0, -1}};
  for (auto r : octRows) EXPECT_EQ(oct.Check(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[2];
}

TEST(SlicePointInSolid, HostObjectOverloads) {
  Solid cube{shapes::BoxSoup({0, 0, 0}, {1, 1, 1})};
  C3DSurface surf = shapes::MakeSurface(cube.pts, cube.tris);
  const shapes::TriSoup far = shapes::BoxSoup({10, 10, 10}, {11, 11, 11});
  C3DSurface farSurf = shapes::MakeSurface(far.pts, far.tris);
  D_3DOT in{0.5, 0.5, 0.5};
  // A solid tries its surfaces in order: the far box says -1, the cube then says 1.
  C3DEntity solid(-1, 0), none(-1, 0);
  solid.AddSurface(&farSurf, nullptr);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(solid, in), -1);
  solid.AddSurface(&surf, nullptr);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(solid, in), 1);
  EXPECT_EQ(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(none, in), -2);
  // A plane through the middle of the solids' box slices the side faces.
  C3DBox box;
  C3DSurface mid(-1, 0);
  GeoMathPosition::GetEntityBox(solid, box);
  GeoMathPosition::GetPlaneSur(&box, in, mid);
  EXPECT_EQ(GeoMathPosition::CalIntsersecLinesOfSurAndEntity(solid, mid), 1);
  EXPECT_GE(Results().interLines.size(), 4u);
  GeoMathPosition::EmptyIntersecStore();
}

TEST(SlicePointInSolid, AgreesWithParityCountOnTessellatedSolids) {
  // The prism's points are taken at the heights of its rings of vertices
  // and horizontal edges; slices of the torus are two nested rings.
  struct {
    const char* what;
    Solid s;
    double range;
    int n, minCompared;
    bool wholeHeights;
  } rows[] = {
      {"sphere", Solid{shapes::SphereSoup({0.1, -0.2, 0.05}, 1.0, 16, 32)}, 1.3, 150, 120, false},
      {"layered prism", Solid{shapes::LayeredPrism({-1, 0, 1, 2})}, 1.2, 200, 100, true},
      {"torus", Torus(1.0, 0.4, 32, 16), 1.5, 150, 120, false}};
  // Each against the parity count of JudgePntInPolyhedron for random
  // points; points the slicing puts on the boundary (within its tolerance of
  // the surface) are not compared.
  unsigned seed = 2024;
  for (auto r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<KroPntStrcT> pts;
    std::vector<KroNetStrcT> nets;
    shapes::ToPntNet(r.s, pts, nets);
    std::mt19937 rng(seed++);
    std::uniform_real_distribution<double> u(-r.range, r.range);
    int compared = 0;
    for (int i = 0; i < r.n; ++i) {
      V p{u(rng), u(rng), u(rng)};
      if (r.wholeHeights) p.z = std::round(p.z);
      const short got = r.s.Check(p.x, p.y, p.z);
      if (got == 0) continue;
      V q{p.x + 1000.0, p.y + 731.3, p.z + 417.9};
      const bool inside = CMathFunCls::JudgePntInPolyhedron(&p, &q, pts.data(), long(pts.size()),
                                                            nets.data(), long(nets.size()));
      ASSERT_EQ(got, inside ? 1 : -1)
          << "point " << i << " at (" << p.x << ", " << p.y << ", " << p.z << ")";
      ++compared;
    }
    EXPECT_GT(compared, r.minCompared);
  }
  EXPECT_EQ(rows[1].s.Check(0.1, 0.1, 0.0) + rows[1].s.Check(0.1, 0.1, 1.0), 2);
  EXPECT_EQ(rows[2].s.Check(0.0, 0.0, 0.05), -1);  // the torus's hole
  EXPECT_EQ(rows[2].s.Check(1.0, 0.0, 0.05), 1);
}

TEST(HostGeoMath, LineMeetsPlaneAndPointInTriangleNamesItsVertex) {
  const G3DPLANE z2{0, 0, 2, -4};  // z = 2, normal not unit
  const V start{1, 2, 0}, up{0, 0, 3}, flat{1, 0, 0};
  V hit{9, 9, 9};
  EXPECT_EQ(CMathCheckPosition::GM_intersLine_Plane(&hit, &start, &up, &z2), 1);
  EXPECT_TRUE(hit.x == 1 && hit.y == 2 && std::fabs(hit.z - 2) < 1e-12);
  EXPECT_EQ(CMathCheckPosition::GM_intersLine_Plane(&hit, &start, &flat, &z2), 0);  // parallel
  EXPECT_EQ(CMathCheckPosition::GM_intersLine_Plane(nullptr, &start, &up, &z2), -1);
  // x, y of a point against the triangle (0,0) (2,0) (0,2): code, then the
  // vertex or edge it is on (-1: none).
  const double rows[][4] = {{0.5, 0.5, 1, -1}, {2, 0, 0, 1}, {2, 2, -2, -1}};
  for (auto r : rows) {
    short pos = 9;
    EXPECT_EQ(
        CMathCheckPosition::GeoMath_CheckPntInTri(0, 0, 0, 2, 0, 0, 0, 2, 0, r[0], r[1], 0, &pos),
        r[2]);
    EXPECT_EQ(pos, r[3]) << r[0] << " " << r[1];
  }
}
