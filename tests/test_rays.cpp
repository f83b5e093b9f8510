// Rays and segments against triangles and boxes; point against surface and
// solid.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "support/Shapes.h"

using KRO::G3D_DVertex;
using M = CMathFunCls;

TEST(SegTri, LineTriSlackPastTheEndRejectsInPlaneRadialTriWhole) {
  double a[3] = {-10, -10, 0}, b[3] = {10, -10, 0}, c[3] = {0, 10, 0}, out[3] = {0, 0, 0};
  // t = 1 + 0.5e-5: p1 stops just short of the plane; t = 1 + 2e-5: too short.
  const double z1 = 1.0 - 1.0 / (1.0 + 0.5e-5), z2 = 1.0 - 1.0 / (1.0 + 2e-5);
  double p0[3] = {1, 1, 1}, p1[3] = {1, 1, z1}, p2[3] = {1, 1, z2};
  EXPECT_EQ(M::line_tri(p0, p1, a, b, c, out, nullptr), 1);
  EXPECT_EQ(M::line_tri(p0, p2, a, b, c, out, nullptr), 0);
  // t = -1e-9: the plane lies just behind p0; the other way round it meets.
  double q0[3] = {1, 1, 1e-9}, q1[3] = {1, 1, 1 + 1e-9};
  EXPECT_EQ(M::line_tri(q0, q1, a, b, c, out, nullptr), 0);
  EXPECT_EQ(M::line_tri(q1, q0, a, b, c, out, nullptr), 1);
  long pos = 7;
  double i0[3] = {-1, 0, 0}, i1[3] = {1, 0, 5e-7}, d0[3] = {0, 0, 1}, d1[3] = {0, 0, -1},
         flat[3] = {20, -10, 0};
  EXPECT_EQ(M::line_tri(i0, i1, a, b, c, out, &pos), 0);  // in the plane
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(M::line_tri(d0, d1, a, b, flat, out, nullptr), 0);  // degenerate triangle
  // With pos a point just outside a vertex snaps onto it; without, it misses.
  double s0[3] = {10 + 4e-7, -10 - 4e-7, 1}, s1[3] = {10 + 4e-7, -10 - 4e-7, -1};
  EXPECT_EQ(M::line_tri(s0, s1, a, b, c, out, nullptr), 0);
  ASSERT_EQ(M::line_tri(s0, s1, a, b, c, out, &pos), 1);
  EXPECT_TRUE(pos == 2 && out[0] == b[0] && out[1] == b[1] && out[2] == b[2]);
  // Radial_Tri counts the whole line.
  double o[3] = {2, 3, 5}, up[3] = {0, 0, 1};
  pos = -1;
  EXPECT_EQ(M::Radial_Tri(o, up, a, b, c, out, &pos), 1);  // the triangle is behind o
  EXPECT_TRUE(pos == 0 && out[0] == 2 && std::fabs(out[2]) < 1e-12);
  double side[3] = {1, 0, 1e-6};
  EXPECT_EQ(M::Radial_Tri(o, side, a, b, c, out, &pos), 0);  // parallel
}

TEST(RayTriangle, ThinWedgeTurnedAboutTheNormalOfTheOffsetPlane) {
  // p1 lies far along the ray; p2 is p1 turned by about ten degrees in the
  // plane through o, p1 and p1 + side. A ray along the usual side offset
  // (1, 4, 0) needs the other one.
  const struct {
    G3D_DVertex dir, side;
  } rows[] = {{{0.3, -0.2, 0.9}, {10000, 40000, 0}}, {{1, 4, 0}, {0, 10000, 40000}}};
  for (const auto& r : rows) {
    G3D_DVertex o = {1, 2, 3}, dir = r.dir, p1, p2;
    ASSERT_EQ(M::GetTriByRadial(&o, &dir, &p1, &p2), 1);
    EXPECT_TRUE(p1.x == o.x + 1e7 * dir.x && p1.z == o.z + 1e7 * dir.z) << dir.y;
    const G3D_DVertex a = shapes::Sub(p1, o), b = shapes::Sub(p2, o);
    const G3D_DVertex k = shapes::Cross(a, shapes::Add(a, r.side));
    const double la = shapes::Norm(a), lb = shapes::Norm(b);
    EXPECT_NEAR(lb / la, 1.0, 1e-9) << dir.y;
    EXPECT_NEAR(shapes::Dot(b, k) / (lb * shapes::Norm(k)), 0.0, 1e-9) << dir.y;  // in that plane
    EXPECT_NEAR(std::acos(shapes::Dot(a, b) / (la * lb)) * 180 / M_PI, 9.96, 0.01) << dir.y;
  }
  G3D_DVertex o = {0, 0, 0}, zero = {0, 0, 0}, p1, p2 = {7, 7, 7};
  EXPECT_EQ(M::GetTriByRadial(&o, &zero, &p1, &p2), 0);
  EXPECT_EQ(p2.x, 0.0);
}

TEST(RayBox, QuadrantMethod) {
  double lo[3] = {0, 0, 0}, hi[3] = {2, 2, 2};
  const struct {
    const char* what;
    double o[3], d[3];
    char hit;
    double at[3];
  } rows[] = {{"from inside: the origin", {1, 1.5, 0.5}, {0, 0, -1}, 1, {1, 1.5, 0.5}},
              {"from the side", {-2, 1, 1}, {1, 0.25, 0}, 1, {0, 1.5, 1}},
              {"box behind", {-2, 1, 1}, {-1, 0, 0}, 0, {9, 9, 9}},
              {"tie: the lowest axis is the hit plane", {-1, -1, -1}, {1, 1, 1}, 1, {0, 0, 0}}};
  for (auto r : rows) {
    double coord[3] = {9, 9, 9};
    EXPECT_EQ(M::HitBoundingBox(lo, hi, r.o, r.d, coord), r.hit) << r.what;
    for (int i = 0; r.hit && i < 3; ++i) EXPECT_DOUBLE_EQ(coord[i], r.at[i]) << r.what;
  }
}

TEST(Sliver, LongestEdgeOfFlatTriangles) {
  G3D_DVertex a = {0, 0, 0}, b = {10, 0, 0}, c = {5, 0.5, 0};
  G3D_DVertex e = {5, std::sqrt(75.0), 0}, mid = {5, 0, 0};
  // The index of the longest edge of a flat one (collinear: flat too), -1 for a fat one.
  EXPECT_TRUE(M::IsThinPlateTriangle(&a, &b, &c) == 0 && M::IsThinPlateTriangle(&b, &c, &a) == 2);
  EXPECT_TRUE(M::IsThinPlateTriangle(&a, &b, &e) == -1 &&
              M::IsThinPlateTriangle(&a, &b, &mid) == 0);
  EXPECT_EQ(M::IsThinPlateTriangle(&a, &a, &b), 1);
}

TEST(PointAndSurface, OneTriangleAndFailuresWithTheTriangleTheyReport) {
  // Side of p against the surface, and the triangle that decided (in: the
  // one to start from, -1 for the nearest).
  auto side = [](std::vector<G3D_DVertex> v, std::vector<C3DTriData> t, G3D_DVertex p, long& tri) {
    return M::Check3dPntAndKroSurf(&p, v.data(), long(v.size()), t.data(), long(t.size()), tri);
  };
  const std::vector<G3D_DVertex> v = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  // x, y, z, start, code, deciding triangle, whether corner 2 is past the array.
  const double rows[][7] = {{1, 1, 3, -1, 1, 0, 0}, {9, -3, -0.5, -1, -1, 0, 0},
                            {7, 7, 0, -1, 0, 0, 0}, {4. / 3, 4. / 3, 0, -1, 0, 0, 0},
                            {1, 1, 1, 5, -2, 5, 0},  // no such start triangle
                            {1, 1, 1, -1, -2, 0, 1}};
  for (auto r : rows) {
    long tri = static_cast<long>(r[3]);
    EXPECT_EQ(side(v, {{{0, 1, r[6] ? 9 : 2}}}, {r[0], r[1], r[2]}, tri), r[4])
        << r[0] << " " << r[2];
    EXPECT_EQ(tri, r[5]) << r[0] << " " << r[2];
  }
  // Two crossing sheets: each centroid is seen through the other sheet.
  const std::vector<C3DTriData> two = {{{0, 1, 2}}, {{3, 4, 5}}};
  long tri = -1;
  EXPECT_EQ(side({{0, -3, -3}, {0, -3, 3}, {0, 9, 0}, {-3, 0, -3}, {-3, 0, 3}, {9, 0, 0}}, two,
                 {-1, -1, 0}, tri),
            -2);
  EXPECT_EQ(tri, 0);
  // Triangle 0 is a sliver right under p facing down: the nearest does not
  // decide, triangle 1 (facing up) does.
  tri = -1;
  EXPECT_EQ(side({{-5, 0, 0}, {0, 0.1, 0}, {5, 0, 0}, {-2, 3, -1}, {2, 3, -1}, {0, 6, -1}}, two,
                 {0, 0.5, 1}, tri),
            1);
  EXPECT_EQ(tri, 1);
}

TEST(FoldedSheet, SearchAndSegmentsSkipTheHiddenNearestTriangle) {
  // Triangle 1 is nearest to p but hidden under triangle 2 (facing down);
  // triangle 0 lies far off in plain view (facing up).
  std::vector<G3D_DVertex> v = {{20, 20, 0},     {30, 20, 0},    {20, 30, 0},
                                {-0.5, -0.5, 0}, {0.5, -0.5, 0}, {0, 0.5, 0},
                                {-2, -5, 1},     {-2, 5, 1},     {11, 0, 1}};
  std::vector<C3DTriData> t = {{{0, 1, 2}}, {{3, 4, 5}}, {{6, 7, 8}}};
  G3D_DVertex p = {0, 0, 2};
  long tri = -1;
  EXPECT_EQ(M::Check3dPntAndKroSurf(&p, v.data(), 9, t.data(), 3, tri), 1);
  EXPECT_EQ(tri, 0);  // below is tried before above
  tri = 2;            // starting on the cover decides at once
  EXPECT_EQ(M::Check3dPntAndKroSurf(&p, v.data(), 9, t.data(), 3, tri), -1);
  EXPECT_EQ(tri, 2);
  std::vector<KroPntStrcT> pts;  // the same triangles as points and nets
  std::vector<KroNetStrcT> nets;
  shapes::ToPntNet({v, t}, pts, nets);
  tri = -1;
  EXPECT_EQ(M::Check3dPntAndSurf(&p, pts.data(), 9, nets.data(), 3, tri), 1);
  EXPECT_EQ(tri, 0);
  // A segment from p crossing the sheet, triangle 1 skipped.
  G3D_DVertex g = {0, -1.0 / 6, 0};  // centroid of triangle 1
  EXPECT_EQ(M::CheckSegAndOtherKroSurf(1, &p, &g, v.data(), 9, t.data(), 3), 1);
  G3D_DVertex short_end = {0, 0, 1.5};  // stops above the cover
  EXPECT_EQ(M::CheckSegAndOtherKroSurf(1, &p, &short_end, v.data(), 9, t.data(), 3), 0);
  EXPECT_EQ(M::CheckSegAndOtherKroSurf(1, &p, nullptr, v.data(), 9, t.data(), 3), 0);
  EXPECT_EQ(M::CheckSegAndOtherSurf(1, &p, &short_end, pts.data(), 9, nets.data(), 3), 0);
}
