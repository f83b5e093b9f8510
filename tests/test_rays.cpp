// Rays and segments against triangles and boxes; point against surface and
// solid.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "support/OrganizeShapes.h"

using KRO::G3D_DVertex;
using M = CMathFunCls;

namespace {

// The same triangles in the point/net layout (1-based point numbers).
struct PointNet {
  std::vector<KroPntStrcT> pts;
  std::vector<KroNetStrcT> nets;
};
PointNet ToPointNet(const std::vector<G3D_DVertex>& v, const std::vector<C3DTriData>& t) {
  PointNet pn;
  for (const auto& p : v) pn.pts.push_back({p.x, p.y, p.z, 0, 0, 0});
  for (const auto& tri : t)
    pn.nets.push_back({{tri.v[0] + 1, tri.v[1] + 1, tri.v[2] + 1}, {0, 0, 0}, 0, 0});
  return pn;
}

}  // namespace

// ---- Segment and line against a triangle -----------------------------------

class SegTri : public ::testing::Test {
 protected:
  double a[3] = {-10, -10, 0}, b[3] = {10, -10, 0}, c[3] = {0, 10, 0};
  double out[3] = {0, 0, 0};
};

TEST_F(SegTri, LineTriSlackPastTheEndRejectsInPlaneAndLineTriFClosed) {
  // t = 1 + 0.5e-5: p1 stops just short of the plane.
  const double z1 = 1.0 - 1.0 / (1.0 + 0.5e-5);
  double p0[3] = {1, 1, 1}, p1[3] = {1, 1, z1};
  EXPECT_EQ(M::line_tri(p0, p1, a, b, c, out, nullptr), 1);
  EXPECT_NEAR(out[2], 0.0, 1e-12);
  const double z2 = 1.0 - 1.0 / (1.0 + 2e-5);
  double p2[3] = {1, 1, z2};
  EXPECT_EQ(M::line_tri(p0, p2, a, b, c, out, nullptr), 0);
  // t = -1e-9: the plane lies just behind p0.
  double q0[3] = {1, 1, 1e-9}, q1[3] = {1, 1, 1 + 1e-9};
  EXPECT_EQ(M::line_tri(q0, q1, a, b, c, out, nullptr), 0);
  EXPECT_EQ(M::line_tri(q1, q0, a, b, c, out, nullptr), 1);  // the other way round
  // line_triF has no slack past p1 but accepts a p1 in the plane.
  EXPECT_EQ(M::line_triF(p0, p1, a, b, c, out, nullptr), 0);
  double e1[3] = {1, 1, 0};
  EXPECT_EQ(M::line_triF(p0, e1, a, b, c, out, nullptr), 1);
  long pos = 7;
  double i0[3] = {-1, 0, 0}, i1[3] = {1, 0, 5e-7};
  EXPECT_EQ(M::line_tri(i0, i1, a, b, c, out, &pos), 0);
  EXPECT_EQ(pos, 0);
  double d0[3] = {0, 0, 1}, d1[3] = {0, 0, -1}, flat[3] = {20, -10, 0};
  EXPECT_EQ(M::line_tri(d0, d1, a, b, flat, out, nullptr), 0);  // degenerate triangle
}

TEST_F(SegTri, LineTriSnapsOntoVertexWithPos) {
  double p0[3] = {10 + 4e-7, -10 - 4e-7, 1}, p1[3] = {10 + 4e-7, -10 - 4e-7, -1};
  long pos = -1;
  ASSERT_EQ(M::line_tri(p0, p1, a, b, c, out, &pos), 1);
  EXPECT_EQ(pos, 2);
  EXPECT_TRUE(out[0] == b[0] && out[1] == b[1] && out[2] == b[2]);
  // Without pos the point just outside the vertex is not pulled in.
  EXPECT_EQ(M::line_tri(p0, p1, a, b, c, out, nullptr), 0);
}

TEST_F(SegTri, RadialTriCountsTheWholeLine) {
  double o[3] = {2, 3, 5}, up[3] = {0, 0, 1};
  long pos = -1;
  EXPECT_EQ(M::Radial_Tri(o, up, a, b, c, out, &pos), 1);  // the triangle is behind o
  EXPECT_EQ(pos, 0);
  EXPECT_DOUBLE_EQ(out[0], 2);
  EXPECT_NEAR(out[2], 0, 1e-12);
  double side[3] = {1, 0, 1e-6};
  EXPECT_EQ(M::Radial_Tri(o, side, a, b, c, out, &pos), 0);  // parallel
}

// ---- Ray triangle ------------------------------------------------------------

TEST(RayTriangle, MatchesTheRotationOfItsQuaternion) {
  G3D_DVertex o = {1, 2, 3}, dir = {0.3, -0.2, 0.9}, p1, p2;
  ASSERT_EQ(M::GetTriByRadial(&o, &dir, &p1, &p2), 1);
  EXPECT_EQ(p1.x, 1 + 10000000.0 * 0.3);
  EXPECT_EQ(p1.z, 3 + 10000000.0 * 0.9);
  // Independent construction: Rodrigues' rotation of p1 - o about the unit
  // normal k of (o, p1, p1 + (10000, 40000, 0)), by twice the half-angle of
  // the normalised quaternion.
  double v[3] = {p1.x - o.x, p1.y - o.y, p1.z - o.z}, w[3] = {v[0] + 10000, v[1] + 40000, v[2]};
  double k[3] = {v[1] * w[2] - v[2] * w[1], v[2] * w[0] - v[0] * w[2], v[0] * w[1] - v[1] * w[0]};
  const double kl = std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
  for (double& x : k) x /= kl;
  const double th = 2 * std::atan2(std::sin(0.08726646192371845), std::cos(0.003490658476948738));
  const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
  const double kxv[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2],
                         k[0] * v[1] - k[1] * v[0]};
  double r[3];
  for (int i = 0; i < 3; ++i)
    r[i] = v[i] * std::cos(th) + kxv[i] * std::sin(th) + k[i] * kv * (1 - std::cos(th));
  EXPECT_NEAR(p2.x, o.x + r[0], 1e-6);
  EXPECT_NEAR(p2.y, o.y + r[1], 1e-6);
  EXPECT_NEAR(p2.z, o.z + r[2], 1e-6);
  EXPECT_NEAR(th * 57.2957795131, 9.96, 0.01);  // a thin wedge of about ten degrees
}

TEST(RayTriangle, DirectionAlongTheOffsetStillGivesAWedge) {
  G3D_DVertex o = {0, 0, 0}, dir = {1, 4, 0}, p1, p2;
  ASSERT_EQ(M::GetTriByRadial(&o, &dir, &p1, &p2), 1);
  G3D_DVertex n;
  double e1[3] = {p1.x, p1.y, p1.z}, e2[3] = {p2.x, p2.y, p2.z};
  n = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  EXPECT_GT(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1e12);
  EXPECT_NEAR(M::CalDist3dDot(&o, &p2), M::CalDist3dDot(&o, &p1), 1e-3);
  G3D_DVertex zero = {0, 0, 0};
  EXPECT_EQ(M::GetTriByRadial(&o, &zero, &p1, &p2), 0);
  EXPECT_EQ(p2.x, 0.0);
}

// ---- Ray against box -----------------------------------------------------

TEST(RayBox, QuadrantMethod) {
  double lo[3] = {0, 0, 0}, hi[3] = {2, 2, 2}, coord[3] = {9, 9, 9};
  double in[3] = {1, 1.5, 0.5}, any[3] = {0, 0, -1};
  EXPECT_EQ(M::HitBoundingBox(lo, hi, in, any, coord), 1);
  EXPECT_EQ(coord[1], 1.5);
  double o[3] = {-2, 1, 1}, dx[3] = {1, 0.25, 0};
  ASSERT_EQ(M::HitBoundingBox(lo, hi, o, dx, coord), 1);
  EXPECT_EQ(coord[0], 0.0);
  EXPECT_DOUBLE_EQ(coord[1], 1.5);
  double away[3] = {-1, 0, 0};
  EXPECT_EQ(M::HitBoundingBox(lo, hi, o, away, coord), 0);  // box behind
  double corner[3] = {-1, -1, -1}, diag[3] = {1, 1, 1};
  ASSERT_EQ(M::HitBoundingBox(lo, hi, corner, diag, coord), 1);
  EXPECT_EQ(coord[0], 0.0);  // tie: the lowest axis is the hit plane
  EXPECT_EQ(coord[2], 0.0);
}

// ---- Sliver triangles ------------------------------------------------------

TEST(Sliver, LongestEdgeOfFlatTriangles) {
  G3D_DVertex a = {0, 0, 0}, b = {10, 0, 0}, c = {5, 0.5, 0};
  EXPECT_EQ(M::IsThinPlateTriangle(&a, &b, &c), 0);
  EXPECT_EQ(M::IsThinPlateTriangle(&b, &c, &a), 2);
  G3D_DVertex e = {5, std::sqrt(75.0), 0}, mid = {5, 0, 0};
  EXPECT_EQ(M::IsThinPlateTriangle(&a, &b, &e), -1);
  EXPECT_EQ(M::IsThinPlateTriangle(&a, &b, &mid), 0);  // collinear: flat
  EXPECT_EQ(M::IsThinPlateTriangle(&a, &a, &b), 1);
}

// ---- Point against surface ---------------------------------------------------

TEST(PointAndSurface, OneTriangleAndFailuresWithTheTriangleTheyReport) {
  std::vector<G3D_DVertex> v = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  std::vector<C3DTriData> t = {{{0, 1, 2}}}, bad = {{{0, 1, 9}}};  // 9: past the array
  const struct {
    G3D_DVertex p;
    long start, code, tri;
    bool bad;
  } rows[] = {{{1, 1, 3}, -1, 1, 0, false}, {{9, -3, -0.5}, -1, -1, 0, false},
              {{7, 7, 0}, -1, 0, 0, false}, {{4.0 / 3, 4.0 / 3, 0}, -1, 0, 0, false},
              {{1, 1, 1}, 5, -2, 5, false},  // no such start triangle
              {{1, 1, 1}, -1, -2, 0, true}};
  for (const auto& r : rows) {
    G3D_DVertex p = r.p;
    long tri = r.start;
    EXPECT_EQ(M::Check3dPntAndKroSurf(&p, v.data(), 3, (r.bad ? bad : t).data(), 1, tri), r.code)
        << p.x << " " << p.z;
    EXPECT_EQ(tri, r.tri) << p.x << " " << p.z;
  }
  // Two crossing sheets: each centroid is seen through the other sheet.
  std::vector<G3D_DVertex> x = {{0, -3, -3}, {0, -3, 3}, {0, 9, 0},
                                {-3, 0, -3}, {-3, 0, 3}, {9, 0, 0}};
  std::vector<C3DTriData> xt = {{{0, 1, 2}}, {{3, 4, 5}}};
  G3D_DVertex q = {-1, -1, 0};
  long tri = -1;
  EXPECT_EQ(M::Check3dPntAndKroSurf(&q, x.data(), 6, xt.data(), 2, tri), -2);
  EXPECT_EQ(tri, 0);
  // Triangle 0 is a sliver right under p facing down: the nearest does not
  // decide, triangle 1 (facing up) does.
  std::vector<G3D_DVertex> s = {{-5, 0, 0},  {0, 0.1, 0}, {5, 0, 0},
                                {-2, 3, -1}, {2, 3, -1},  {0, 6, -1}};
  G3D_DVertex p = {0, 0.5, 1};
  tri = -1;
  EXPECT_EQ(M::Check3dPntAndKroSurf(&p, s.data(), 6, xt.data(), 2, tri), 1);
  EXPECT_EQ(tri, 1);
}

// Triangle 1 is nearest to p but hidden under triangle 2 (facing down);
// triangle 0 lies far off in plain view (facing up).
class FoldedSheet : public ::testing::Test {
 protected:
  std::vector<G3D_DVertex> v = {{20, 20, 0},     {30, 20, 0},    {20, 30, 0},
                                {-0.5, -0.5, 0}, {0.5, -0.5, 0}, {0, 0.5, 0},
                                {-2, -5, 1},     {-2, 5, 1},     {11, 0, 1}};
  std::vector<C3DTriData> t = {{{0, 1, 2}}, {{3, 4, 5}}, {{6, 7, 8}}};
  G3D_DVertex p = {0, 0, 2};
};

TEST_F(FoldedSheet, SearchAndSegmentsSkipTheHiddenNearestTriangle) {
  long tri = -1;
  EXPECT_EQ(M::Check3dPntAndKroSurf(&p, v.data(), 9, t.data(), 3, tri), 1);
  EXPECT_EQ(tri, 0);  // below is tried before above
  tri = 2;            // starting on the cover decides at once
  EXPECT_EQ(M::Check3dPntAndKroSurf(&p, v.data(), 9, t.data(), 3, tri), -1);
  EXPECT_EQ(tri, 2);
  PointNet pn = ToPointNet(v, t);
  tri = -1;
  EXPECT_EQ(M::Check3dPntAndSurf(&p, pn.pts.data(), 9, pn.nets.data(), 3, tri), 1);
  EXPECT_EQ(tri, 0);
  // A segment from p crossing the sheet, triangle 1 skipped.
  G3D_DVertex g = {0, -1.0 / 6, 0};  // centroid of triangle 1
  EXPECT_EQ(M::CheckSegAndOtherKroSurf(1, &p, &g, v.data(), 9, t.data(), 3), 1);
  G3D_DVertex short_end = {0, 0, 1.5};  // stops above the cover
  EXPECT_EQ(M::CheckSegAndOtherKroSurf(1, &p, &short_end, v.data(), 9, t.data(), 3), 0);
  EXPECT_EQ(M::CheckSegAndOtherSurf(1, &p, &short_end, pn.pts.data(), 9, pn.nets.data(), 3), 0);
}

// ---- Point in solid ------------------------------------------------------

TEST(PointInSolid, ParityOfCrossings) {
  std::vector<G3D_DVertex> v;
  std::vector<C3DTriData> t;
  orgshapes::BoxArrays({0, 0, 0}, {1, 1, 1}, v, t);
  PointNet pn = ToPointNet(v, t);
  G3D_DVertex far = {50.3, 31.7, 77.9};
  const long np = 8, nn = 12;
  G3D_DVertex in = {0.4, 0.55, 0.3}, out = {1.7, 0.5, 0.5}, beside = {-3, 0.2, 0.1};
  EXPECT_TRUE(M::JudgePntInPolyhedron(&in, &far, pn.pts.data(), np, pn.nets.data(), nn));
  EXPECT_FALSE(M::JudgePntInPolyhedron(&out, &far, pn.pts.data(), np, pn.nets.data(), nn));
  G3D_DVertex through = {-40.1, -25.3, -60.7};  // segment passes through the cube
  EXPECT_FALSE(M::JudgePntInPolyhedron(&beside, &through, pn.pts.data(), np, pn.nets.data(), nn));
  G3D_DVertex onFace = {0.3, 0.6, 1.0};
  EXPECT_TRUE(M::JudgePntInPolyhedron(&onFace, &far, pn.pts.data(), np, pn.nets.data(), nn));
  EXPECT_FALSE(M::JudgePntInPolyhedron(&in, &far, pn.pts.data(), np, pn.nets.data(), 0));
}
