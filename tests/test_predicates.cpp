// Points, segments, triangles, planes and boxes of CMathFunCls.
#include <gtest/gtest.h>

#include <cmath>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;
using M = CMathFunCls;

namespace {
double* P(G3D_DVertex& v) {
  return &v.x;
}
bool Finite(const G3D_DVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
}  // namespace

// ---- Vector basics --------------------------------------------------------

TEST(VectorBasics, NormaliseLeavesZeroVectorsFinite) {
  double v[3] = {0, 0, 0};
  M::Normalise3D(v);
  EXPECT_EQ(v[0], 0.0);
  EXPECT_EQ(v[2], 0.0);
  double w[3] = {3, 0, 4};
  M::Normalise3D(w);
  EXPECT_DOUBLE_EQ(w[0], 0.6);
  EXPECT_DOUBLE_EQ(w[2], 0.8);
  double s[2] = {5e-7, 0};
  M::Normalise2D(s);  // below 1e-6: left as it is
  EXPECT_EQ(s[0], 5e-7);
}

TEST(VectorBasics, AngleOfParallelVectorsIsNeverNaN) {
  G3D_DVertex a = {0.1, 0.2, 0.3}, b = {-0.3, -0.6, -0.9}, z = {0, 0, 0};
  EXPECT_NEAR(M::CalVectorsAngle(&a, &b), M_PI, 1e-7);
  EXPECT_NEAR(M::CalVectorsAngle(&a, &a), 0.0, 1e-7);
  EXPECT_EQ(M::CalVectorsAngle(&a, &z), 0.0);
  // An antiparallel vector is turned round even when rounding pushes the
  // cosine past -1.
  G3D_DVertex v = b;
  M::CheckTriDir(&v, &a);
  EXPECT_DOUBLE_EQ(v.x, 0.3);
  G3D_DVertex w = {1, 0, 0}, ref = {1, 1, 0};
  M::CheckTriDir(&w, &ref);
  EXPECT_EQ(w.x, 1.0);
}

TEST(VectorBasics, MaxValTiesGoToTheLaterArgument) {
  long which = -1;
  EXPECT_EQ(M::getMaxVal(2, 2, 1, which), 2);
  EXPECT_EQ(which, 1);
  EXPECT_EQ(M::getMaxVal(3, 1, 3, which), 3);
  EXPECT_EQ(which, 2);
  EXPECT_EQ(M::getMaxVal(5, 1, 3, which), 5);
  EXPECT_EQ(which, 0);
}

TEST(VectorBasics, AreasAndNormals) {
  G3D_DVertex a = {0, 0, 5}, b = {4, 0, 1}, c = {0, 3, 9}, d = {4, 3, 0};
  EXPECT_DOUBLE_EQ(M::GetTriArea(&a, &b, &c), 6.0);  // plan area, z ignored
  EXPECT_DOUBLE_EQ(M::GetQuadArea(&a, &b, &d, &c), 12.0);
  double area = -1;
  M::GetTriArea(P(a), P(b), P(b), &area);  // Heron on a flat triangle: 0, not NaN
  EXPECT_EQ(area, 0.0);
  double n[3], z = 0;
  M::GetTriangleNormal(P(a), P(b), P(b), n);
  EXPECT_EQ(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 0.0);
  M::Get2dTriNorm(P(a), P(c), P(b), &z);  // clockwise seen from +z
  EXPECT_DOUBLE_EQ(z, -12.0);
}

TEST(VectorBasics, PointAtHeightAndFootOnLine) {
  G3D_DVertex a = {0, 0, 0}, b = {10, 20, 10}, out;
  M::GetPnt(&a, &b, 5, &out);
  EXPECT_DOUBLE_EQ(out.x, 5);
  EXPECT_DOUBLE_EQ(out.y, 10);
  G3D_DVertex flat = {10, 20, 0};
  M::GetPnt(&a, &flat, 5, &out);  // horizontal line: no division by zero
  EXPECT_TRUE(Finite(out));
  EXPECT_EQ(out.z, 5.0);
  G3D_DVertex p = {3, 5, 0}, q = {0, 0, 0}, dir = {2, 0, 0}, u;
  EXPECT_EQ(M::GetUnitVecToALin(&p, &q, &dir, &u), 1);
  EXPECT_DOUBLE_EQ(u.y, -1.0);
  EXPECT_DOUBLE_EQ(u.x, 0.0);
}

TEST(VectorBasics, QuaternionRotatesRowVectors) {
  // 90 degrees about +z: (1,0,0) goes to (0,1,0); q need not be unit.
  const double h = std::sqrt(0.5);
  double q[4] = {0, 0, 2 * h, 2 * h};
  double m[4][4];
  EXPECT_EQ(M::MatrixRotationQuaternion(m, q), m);
  G3D_DVertex x = {1, 0, 0}, out;
  M::TransformCoor(&out, &x, m);
  EXPECT_NEAR(out.x, 0, 1e-12);
  EXPECT_NEAR(out.y, 1, 1e-12);
  G3D_DVertex v = {0, 3, 0};
  M::TransformVector(&out, &v, m);
  EXPECT_NEAR(out.x, -1, 1e-12);
  double zero[4] = {0, 0, 0, 0};
  M::MatrixRotationQuaternion(m, zero);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(m[i][j], i == j ? 1.0 : 0.0);
}

// ---- Point equality ----------------------------------------------------------

TEST(PointEquality, ToleranceIsStrict) {
  G3D_DVertex a = {0, 0, 0}, b = {1e-6, 0, 0}, c = {0, 0, 9e-7};
  EXPECT_FALSE(M::IsSame3DDot(a, b));
  EXPECT_TRUE(M::IsSame3DDot(a, c));
  EXPECT_TRUE(M::IsSame3DDot_Prec(a, b, 2e-6));
  G3D_DVertex d = {0.0099, 0.0099, -0.0099}, e = {0, 0.01, 0};
  EXPECT_TRUE(M::IsSame3DDot_2Bit(a, d));
  EXPECT_FALSE(M::IsSame3DDot_2Bit(a, e));
  D_DOT p = {1, 1}, q = {1 + 5e-8, 1}, r = {1, 1 + 2e-7};
  EXPECT_EQ(M::IsSame2DDot(&p, &q), 1);
  EXPECT_EQ(M::IsSame2DDot(&p, &r), 0);
}

TEST(DegenerateTriangle, RejectsRepeatsAndNeedleTrianglesButNotSmallOnes) {
  G3D_DVertex a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0};
  EXPECT_TRUE(M::IsLegalTri(&a, &b, &c));
  G3D_DVertex near_a = {5e-7, 0, 0};
  EXPECT_FALSE(M::IsLegalTri(&a, &near_a, &c));
  // Small is not degenerate: a cut leaves such triangles along its lines.
  G3D_DVertex s1 = {0.1, 0, 0}, s2 = {0, 0.1, 0};  // area 0.005
  EXPECT_TRUE(M::IsLegalTri(&a, &s1, &s2));
  G3D_DVertex t1 = {1e-3, 0, 0}, t2 = {0, 1e-3, 0};
  EXPECT_TRUE(M::IsLegalTri(&a, &t1, &t2));
  // Needles are degenerate whichever vertex comes first.
  G3D_DVertex m = {100, 0.75e-4, 0};
  EXPECT_FALSE(M::IsLegalTri(&m, &a, &b));
  G3D_DVertex n1 = {200, 0, 0}, n2 = {200, 1.5e-4, 0};  // needle, area 0.015
  EXPECT_FALSE(M::IsLegalTri(&a, &n1, &n2));
  G3D_DVertex col = {2, 0, 0};
  EXPECT_FALSE(M::IsLegalTri(&a, &b, &col));
}

// ---- Planes -----------------------------------------------------------

TEST(Planes, CoefficientsOfTheXYPlaneAreExact) {
  G3D_DVertex a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0};
  double coef[4] = {9, 9, 9, 9};
  EXPECT_EQ(M::GetPanelCoef(P(a), P(b), P(c), coef), 1);
  EXPECT_EQ(coef[0], 0.0);
  EXPECT_EQ(coef[1], 0.0);
  EXPECT_EQ(coef[2], 1.0);
  EXPECT_EQ(coef[3], 0.0);
  G3D_DVertex d = {2, 0, 0};  // degenerate: no NaN
  M::GetPanelCoef(P(a), P(b), P(d), coef);
  for (double v : coef) EXPECT_EQ(v, 0.0);
}

TEST(Planes, OnPlaneToleranceIsOneThousandth) {
  double coef[4] = {0, 0, 1, -2};  // z = 2
  G3D_DVertex on = {5, 5, 2.0005}, above = {5, 5, 2.0011}, below = {5, 5, 1.9989};
  EXPECT_EQ(M::Check3dPntAndPanel(&on, coef), 0);
  EXPECT_EQ(M::Check3dPntAndPanel(&above, coef), 1);
  EXPECT_EQ(M::Check3dPntAndPanel(&below, coef), -1);
  double zc[4] = {0, 0, 1, 0};
  G3D_DVertex at = {0, 0, 0.001};  // exactly the tolerance: off the plane
  EXPECT_EQ(M::Check3dPntAndPanel(&at, zc), 1);
  EXPECT_FALSE(M::PntIsOnPanel(P(at), zc));
  G3D_DVertex half = {0, 0, -0.0005};
  EXPECT_TRUE(M::PntIsOnPanel(P(half), zc));
  EXPECT_EQ(M::CalcSignedDistPntPlane(P(half), zc), 0.0f);
  EXPECT_EQ(M::Check3dPntAndPanel(&on, nullptr), -1);
  G3D_DVertex a = {0, 0, 2}, b = {1, 0, 2}, c = {0, 1, 2};
  EXPECT_EQ(M::Check3dPntAndPanelF(&on, &a, &b, &c), 0);
  EXPECT_EQ(M::Check3dPntAndPanelF(&below, &a, &c, &b), 1);  // reversed facing
}

TEST(Planes, DistancesAndProjection) {
  double coef[4] = {0, 0, 2, -4};  // z = 2, normal not unit
  G3D_DVertex p = {1, 1, 5}, foot;
  double dist = 0, t = 7;
  M::GetDistOfPntToPanel(&p, coef, &dist);
  EXPECT_DOUBLE_EQ(dist, 3.0);
  EXPECT_EQ(M::GetPanelProjDot(&p, coef, &foot, &t), 1);
  EXPECT_DOUBLE_EQ(foot.z, 2.0);
  EXPECT_DOUBLE_EQ(t, -1.5);
  G3D_DVertex back;
  EXPECT_EQ(M::GetOrgDotViaProj(&foot, coef, t, &back), 1);
  EXPECT_DOUBLE_EQ(back.z, 5.0);
  G3D_DVertex close = {0, 0, 2 + 1e-7};
  M::GetPanelProjDot(&close, coef, &foot, &t);
  EXPECT_EQ(t, 0.0);
  EXPECT_EQ(M::GetPanelProjDot(&p, nullptr, &foot, &t), -1);
  EXPECT_EQ(M::GetOrgDotViaProj(&p, nullptr, 1, &foot), -1);
  G3D_DVertex a = {0, 0, 2}, b = {1, 0, 2}, c = {0, 1, 2};
  M::GetDistOfPntToPanel(P(p), P(a), P(c), P(b), &dist);
  EXPECT_DOUBLE_EQ(dist, -3.0);  // signed: behind the reversed normal
  double zp[3] = {0, 0, 0};
  EXPECT_EQ(M::GetZPlane(&a, &b, &c, zp), 1);
  EXPECT_DOUBLE_EQ(zp[0], 2.0);
  G3D_DVertex v0 = {0, 0, 0}, v1 = {1, 1, 0}, v2 = {2, 2, 5};  // vertical
  EXPECT_EQ(M::GetZPlane(&v0, &v1, &v2, zp), 0);
  G3D_DVertex s0 = {0, 0, 1}, s1 = {2, 0, 3}, s2 = {0, 4, 9};
  M::GetZPlane(&s0, &s1, &s2, zp);
  EXPECT_DOUBLE_EQ(zp[1], 1.0);
  EXPECT_DOUBLE_EQ(zp[2], 2.0);
  EXPECT_DOUBLE_EQ(zp[0], 1.0);
}

TEST(Planes, SideOfPointAgainstTriangle) {
  G3D_DVertex a = {0, 0, 0}, b = {3, 0, 0}, c = {0, 3, 0};
  G3D_DVertex up = {5, 5, 1}, down = {1, 1, -4}, side = {7, -2, 0}, g = {1, 1, 0};
  EXPECT_EQ(M::CheckPntToSurfPos(&up, &a, &b, &c), 1);
  EXPECT_EQ(M::CheckPntToSurfPos(&down, &a, &b, &c), -1);
  EXPECT_EQ(M::CheckPntToSurfPos(&side, &a, &b, &c), 0);
  EXPECT_EQ(M::CheckPntToSurfPos(&g, &a, &b, &c), 0);  // at the centroid
  G3D_DVertex n = {0, 0, 1}, v = {1, 1, -0.5};
  EXPECT_EQ(M::GetDotPosToPolyh(&n, &v), -1);
  EXPECT_EQ(M::GetDotPosToPolyh(&a, &b, &c, &up), 1);
  G3D_DVertex flat = {1, 0, 0};
  EXPECT_EQ(M::GetDotPosToPolyh(&n, &flat), -1);  // zero product: other side
}

TEST(Planes, SameOrientationIgnoresOffset) {
  G3D_DVertex a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0};
  G3D_DVertex d = {5, 5, 9}, e = {7, 5, 9}, f = {5, 9, 9};
  EXPECT_TRUE(M::IsOnOneSurf_Tri_Tri(a, b, c, d, e, f));
  EXPECT_FALSE(M::IsOnOneSurf_Tri_Tri(a, b, c, d, f, e));
  G3D_DVertex t = {0, 1, 1e-6};
  EXPECT_FALSE(M::IsOnOneSurf_Tri_Tri(a, b, c, a, b, t));
}

// ---- Point against segment ------------------------------------------------

TEST(PointAndSegment, Check3dPntAndSegCodes) {
  G3D_DVertex a = {1, 1, 1}, b = {3, 2, 5};
  G3D_DVertex beyond = {5, 3, 9}, before = {-1, 0, -3}, mid = {2, 1.5, 3}, off = {2, 1.5, 3.1};
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &b), 0);
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &a), 0);
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &mid), 0);
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &beyond), 1);
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &before), -1);
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &off), -2);
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &a, &mid), -2);  // degenerate segment
}

TEST(PointAndSegment, InLineSegCodes) {
  G3D_DVertex a = {0, 0, 0}, b = {4, 0, 0};
  G3D_DVertex in = {1, 0, 0}, before = {-1, 0, 0}, after = {6, 0, 0}, off = {1, 1, 0};
  G3D_DVertex mirrored = {1, -0.0, 0}, nearA = {5e-7, 0, 0};
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&in, &a, &b), 1);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&nearA, &a, &b), 0);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&before, &a, &b), 3);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&after, &a, &b), 4);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&off, &a, &b), 2);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&mirrored, &a, &b), 1);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(nullptr, &a, &b), -1);
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&in, &a, nullptr), -1);
}

TEST(PointAndSegment, GeoMathVariants) {
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSeg(0, 0, 0, 2, 2, 2, 1, 1, 1), 1);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSeg(0, 0, 0, 2, 2, 2, 2, 2, 2.00005), 0);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSeg(0, 0, 0, 2, 2, 2, 3, 3, 3), 0);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSeg(0, 0, 0, 2, 2, 2, 1, 1, 1.1), 0);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, 3, 0), 1);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, -3, 0), 1);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, 2.00005, 0), 0);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, 1, 0), -1);
  EXPECT_EQ(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, 3, 1), -1);
}

// ---- Point in triangle ----------------------------------------------------

class PntInTri : public ::testing::Test {
 protected:
  G3D_DVertex a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0};
};

TEST_F(PntInTri, SnapsOntoMatchingVertex) {
  G3D_DVertex p = {4 + 5e-7, -5e-7, 5e-7};
  long pos = -1;
  EXPECT_EQ(M::IsPntInTriPanel(&p, &a, &b, &c, &pos), 1);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(p.x, b.x);
  EXPECT_EQ(p.y, b.y);
  EXPECT_EQ(p.z, b.z);
  G3D_DVertex q = {1e-7, 4, 0};
  EXPECT_EQ(M::IsPntInTriPanel2(&q, &a, &b, &c, &pos), 1);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(q.x, 0.0);
}

TEST_F(PntInTri, NoSnapWithoutPosOrBeyondTolerance) {
  G3D_DVertex p = {4 + 5e-7, 0, 0};
  EXPECT_EQ(M::IsPntInTriPanel(&p, &a, &b, &c, nullptr), 0);  // just outside, not moved
  EXPECT_EQ(p.x, 4 + 5e-7);
  G3D_DVertex v = b;
  EXPECT_EQ(M::IsPntInTriPanel(&v, &a, &b, &c, nullptr), 1);  // exactly on a vertex
  G3D_DVertex far = {4 - 1e-6, 0, 0};
  long pos = -1;
  EXPECT_EQ(M::IsPntInTriPanel(&far, &a, &b, &c, &pos), 1);
  EXPECT_EQ(pos, 1);  // on edge a-b, not snapped
  EXPECT_EQ(far.x, 4 - 1e-6);
}

TEST_F(PntInTri, EdgeInsideAndOutsideCodes) {
  long pos = -1;
  G3D_DVertex mbc = {2, 2, 0}, mca = {0, 1, 0}, g = {4.0 / 3, 4.0 / 3, 0};
  EXPECT_EQ(M::IsPntInTriPanel(&mbc, &a, &b, &c, &pos), 1);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(M::IsPntInTriPanel(&mca, &a, &b, &c, &pos), 1);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(M::IsPntInTriPanel(&g, &a, &b, &c, &pos), 1);
  EXPECT_EQ(pos, 0);
  G3D_DVertex above = {4.0 / 3, 4.0 / 3, 1}, out = {3, 3, 0}, line = {6, 0, 0};
  EXPECT_EQ(M::IsPntInTriPanel(&above, &a, &b, &c, &pos), 0);
  EXPECT_EQ(M::IsPntInTriPanel(&out, &a, &b, &c, &pos), 0);
  EXPECT_EQ(M::IsPntInTriPanel(&line, &a, &b, &c, &pos), 0);
}

// ---- Lines ------------------------------------------------------------

TEST(Lines, ClosestPointsOfSkewLines) {
  G3D_DVertex p1 = {0, 0, 0}, p2 = {2, 0, 0}, p3 = {1, -1, 1}, p4 = {1, 1, 1};
  G3D_DVertex pa, pb;
  double mua = 0, mub = 0;
  ASSERT_EQ(M::_tcGM_LineLineIntersect(&p1, &p2, &p3, &p4, &pa, &pb, &mua, &mub), 1);
  EXPECT_NEAR(mua, 0.5, 1e-12);
  EXPECT_NEAR(mub, 0.5, 1e-12);
  EXPECT_NEAR(pb.z - pa.z, 1.0, 1e-12);
  G3D_DVertex q3 = {0, 1, 0}, q4 = {3, 1, 0};
  EXPECT_EQ(M::_tcGM_LineLineIntersect(&p1, &p2, &q3, &q4, &pa, &pb, &mua, &mub), 0);
  EXPECT_EQ(M::_tcGM_LineLineIntersect(&p1, &p1, &p3, &p4, &pa, &pb, &mua, &mub), 0);
}

TEST(Lines, SegmentsMeetOnlyWhenBothContainThePoint) {
  G3D_DVertex a1 = {0, 0, 0}, a2 = {2, 0, 0}, b1 = {1, -1, 0}, b2 = {1, 1, 0};
  G3D_DVertex out = {9, 9, 9};
  EXPECT_TRUE(M::CalTwoLineInsercDot(a1, a2, b1, b2, out));
  EXPECT_NEAR(out.x, 1.0, 1e-12);
  G3D_DVertex s1 = {1, -1, 1}, s2 = {1, 1, 1}, keep = {9, 9, 9};
  EXPECT_FALSE(M::CalTwoLineInsercDot(a1, a2, s1, s2, keep));  // skew
  EXPECT_EQ(keep.x, 9.0);
  G3D_DVertex c1 = {3, -1, 0}, c2 = {3, 1, 0};
  EXPECT_FALSE(M::CalTwoLineInsercDot(a1, a2, c1, c2, keep));  // beyond a2
  G3D_DVertex t1 = {2, 0, 0}, t2 = {2, 5, 0};
  EXPECT_TRUE(M::CalTwoLineInsercDot(a1, a2, t1, t2, out));  // touching at an end
  EXPECT_NEAR(out.x, 2.0, 1e-12);
}

TEST(Lines, TwoDimensionalSegments) {
  double a1[2] = {0, 0}, a2[2] = {4, 4}, b1[2] = {0, 4}, b2[2] = {4, 0}, out[2] = {0, 0};
  EXPECT_TRUE(M::LinLinIntsect(a1, a2, b1, b2, out));
  EXPECT_NEAR(out[0], 2, 1e-12);
  EXPECT_NEAR(out[1], 2, 1e-12);
  double t1[2] = {2, 2}, t2[2] = {5, -1};  // b touches a at b's first end
  EXPECT_TRUE(M::LinLinIntsect(a1, a2, t1, t2, nullptr));
  double e1[2] = {5, -1}, e2[2] = {2, 2};  // ... and at its last end
  EXPECT_TRUE(M::LinLinIntsect(a1, a2, e1, e2, out));
  double v1[2] = {1, -1}, v2[2] = {1, 9};  // vertical b
  EXPECT_TRUE(M::LinLinIntsect(a1, a2, v1, v2, out));
  EXPECT_NEAR(out[1], 1, 1e-12);
  double va1[2] = {3, 0}, va2[2] = {3, 10}, h1[2] = {0, 5}, h2[2] = {9, 5};  // vertical a
  EXPECT_TRUE(M::LinLinIntsect(va1, va2, h1, h2, out));
  EXPECT_NEAR(out[0], 3, 1e-12);
  double p1[2] = {0, 1}, p2[2] = {4, 5};
  EXPECT_FALSE(M::LinLinIntsect(a1, a2, p1, p2, out));  // parallel
  double s1[2] = {5, 7}, s2[2] = {7, 5};
  EXPECT_FALSE(M::LinLinIntsect(a1, a2, s1, s2, out));  // meets the line past a2
  EXPECT_FALSE(M::LinLinIntsect(a1, a1, b1, b2, out));
}

// ---- Boxes ------------------------------------------------------------

TEST(Boxes, ConvexBoxOfPoints) {
  tctagD3ConvexBox box;
  M::Get3DConvexBox(nullptr, 0, &box);
  EXPECT_EQ(box.xmin, 3.402823e+38);
  EXPECT_EQ(box.zmax, -3.402823e+38);
  KroPntStrcT pts[3] = {{1, 5, -2, 0, 0, 0}, {-3, 2, 7, 0, 0, 0}, {0, 9, 1, 0, 0, 0}};
  M::Get3DConvexBox(pts, 0, &box);
  EXPECT_EQ(box.ymin, 3.402823e+38);
  M::Get3DConvexBox(pts, 3, &box);
  EXPECT_EQ(box.xmin, -3);
  EXPECT_EQ(box.xmax, 1);
  EXPECT_EQ(box.ymax, 9);
  EXPECT_EQ(box.zmin, -2);
  tctagD2ConvexBox b2;
  M::Get2DConvexBox(pts, 2, &b2);
  EXPECT_EQ(b2.ymin, 2);
  EXPECT_EQ(b2.ymax, 5);
}

TEST(Boxes, CornerOrderAndPointTests) {
  tctagD3ConvexBox box = {0, 1, 10, 11, 20, 21};
  G3D_DVertex c[8];
  EXPECT_EQ(M::Get8VertexOfAABB(c, &box), 1);
  EXPECT_EQ(c[1].y, 11);
  EXPECT_EQ(c[1].x, 0);
  EXPECT_EQ(c[2].x, 1);
  EXPECT_EQ(c[3].y, 10);
  EXPECT_EQ(c[4].z, 21);
  EXPECT_EQ(c[7].x, 1);
  double b6[6] = {0, 10, 20, 1, 11, 21};
  bool flag = true;
  G3D_DVertex corner = {1, 11, 20}, out = {1, 11, 21.5};
  EXPECT_EQ(M::CheckPntAndAABB(b6, &corner, flag), 1);
  EXPECT_FALSE(flag);
  flag = true;
  EXPECT_EQ(M::CheckPntAndAABB(b6, &out, flag), -1);
  EXPECT_FALSE(flag);
  G3D_DVertex onlyZ = {50, 50, 20.5}, none = {50, 50, 50};
  EXPECT_EQ(M::CheckPntAndAABB(&onlyZ, &box), 1);
  EXPECT_EQ(M::CheckPntAndAABB(&none, &box), -1);
}

TEST(Boxes, TwoBoxesOverlapTest) {
  tctagD3ConvexBox a = {0, 2, 0, 2, 0, 2};
  tctagD3ConvexBox inside = {0.5, 1, 0.5, 1, 0.5, 1};
  tctagD3ConvexBox onlyX = {1, 3, 5, 6, 5, 6};
  tctagD3ConvexBox apart = {3, 4, 3, 4, 3, 4};
  tctagD3ConvexBox big = {-10, 10, -10, 10, -10, 10};
  EXPECT_EQ(M::CheckTwoAABB(&a, &inside), 1);
  EXPECT_EQ(M::CheckTwoAABB(&a, &big), 1);  // a inside b: found from b's corners too
  EXPECT_EQ(M::CheckTwoAABB(&a, &onlyX), 1);
  EXPECT_EQ(M::CheckTwoAABB(&a, &apart), 0);
  EXPECT_EQ(M::CheckTwoAABB(&apart, &a), 0);
}
