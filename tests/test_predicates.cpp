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
}  // namespace

TEST(VectorBasics, ZeroVectorsFlatTrianglesAndZeroQuaternionsGiveNoNaN) {
  double v[3] = {0, 0, 0}, s[2] = {5e-7, 0};
  M::Normalise3D(v);
  M::Normalise2D(s);  // below 1e-6: left as it is
  EXPECT_TRUE(v[0] == 0.0 && v[2] == 0.0 && s[0] == 5e-7);
  G3D_DVertex a = {0.1, 0.2, 0.3}, b = {-0.3, -0.6, -0.9}, z = {0, 0, 0};
  EXPECT_NEAR(M::CalVectorsAngle(&a, &b), M_PI, 1e-7);
  EXPECT_EQ(M::CalVectorsAngle(&a, &z), 0.0);
  // An antiparallel vector is turned round even when rounding pushes the
  // cosine past -1.
  M::CheckTriDir(&b, &a);
  EXPECT_DOUBLE_EQ(b.x, 0.3);
  G3D_DVertex p = {0, 0, 5}, q = {4, 0, 1}, r = {0, 3, 9};
  EXPECT_DOUBLE_EQ(M::GetTriArea(&p, &q, &r), 6.0);  // plan area, z ignored
  double area = -1, n[3];
  M::GetTriArea(P(p), P(q), P(q), &area);  // Heron on a flat triangle: 0
  M::GetTriangleNormal(P(p), P(q), P(q), n);
  EXPECT_EQ(area + n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 0.0);
  G3D_DVertex o = {0, 0, 0}, flat = {10, 20, 0}, out;
  M::GetPnt(&o, &flat, 5, &out);  // horizontal line: no division by zero
  EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y) && out.z == 5.0);
  double m[4][4], zero[4] = {0, 0, 0, 0};  // a zero quaternion: the identity, not NaN
  M::MatrixRotationQuaternion(m, zero);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i / 4][i % 4], i % 5 == 0 ? 1.0 : 0.0) << i;
}

TEST(PointEquality, ToleranceIsStrict) {
  G3D_DVertex a = {0, 0, 0}, b = {1e-6, 0, 0}, c = {0, 0, 9e-7};
  G3D_DVertex d = {0.0099, 0.0099, -0.0099}, e = {0, 0.01, 0};
  EXPECT_TRUE(!M::IsSame3DDot(a, b) && M::IsSame3DDot(a, c) && M::IsSame3DDot_Prec(a, b, 2e-6));
  EXPECT_TRUE(M::IsSame3DDot_2Bit(a, d) && !M::IsSame3DDot_2Bit(a, e));
  D_DOT p = {1, 1}, q = {1 + 5e-8, 1}, r = {1, 1 + 2e-7};
  EXPECT_EQ(M::IsSame2DDot(&p, &q) * 2 + M::IsSame2DDot(&p, &r), 2);
}

TEST(DegenerateTriangle, RejectsRepeatsAndNeedleTrianglesButNotSmallOnes) {
  const G3D_DVertex o = {0, 0, 0}, x = {1, 0, 0}, y = {0, 1, 0};
  const struct {
    G3D_DVertex a, b, c;
    bool legal;
  } rows[] = {
      // clang-format off
      {o, x, y, true},
      {o, {5e-7, 0, 0}, y, false},                // repeated corner
      {o, {0.1, 0, 0}, {0, 0.1, 0}, true},        // small is not degenerate
      {o, {1e-3, 0, 0}, {0, 1e-3, 0}, true},      // a cut leaves such triangles
      {{100, 0.75e-4, 0}, o, x, false},           // needle, whichever vertex first
      {o, {200, 0, 0}, {200, 1.5e-4, 0}, false},  // needle of area 0.015
      {o, x, {2, 0, 0}, false},                   // collinear
      // clang-format on
  };
  for (auto r : rows) EXPECT_EQ(M::IsLegalTri(&r.a, &r.b, &r.c), r.legal) << r.b.x << " " << r.c.x;
}

TEST(Planes, CoefficientsToleranceDistancesProjectionAndSides) {
  G3D_DVertex a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0}, d = {2, 0, 0};
  double coef[4] = {9, 9, 9, 9};
  EXPECT_EQ(M::GetPanelCoef(P(a), P(b), P(c), coef), 1);
  EXPECT_TRUE(coef[0] == 0.0 && coef[1] == 0.0 && coef[2] == 1.0 && coef[3] == 0.0);
  M::GetPanelCoef(P(a), P(b), P(d), coef);  // degenerate: no NaN
  EXPECT_TRUE(coef[0] == 0.0 && coef[1] == 0.0 && coef[2] == 0.0 && coef[3] == 0.0);
  // On the plane within one thousandth, strictly; facing by the winding.
  // Rows: height of the plane, z of the point, side.
  const double rows[][3] = {{2, 2.0005, 0}, {2, 2.0011, 1}, {2, 1.9989, -1}, {0, 0.001, 1}};
  for (auto r : rows) {
    double plane[4] = {0, 0, 1, -r[0]};
    G3D_DVertex p = {5, 5, r[1]}, a2 = {0, 0, r[0]}, b2 = {1, 0, r[0]}, c2 = {0, 1, r[0]};
    EXPECT_EQ(M::Check3dPntAndPanel(&p, plane), r[2]) << r[1];
    EXPECT_EQ(M::Check3dPntAndPanelF(&p, &a2, &b2, &c2), r[2]) << r[1];
    EXPECT_EQ(M::Check3dPntAndPanelF(&p, &a2, &c2, &b2), -r[2]) << r[1];
    EXPECT_EQ(M::PntIsOnPanel(P(p), plane), r[2] == 0) << r[1];
  }
}

TEST(PointAndSegment, ResultCodes) {
  G3D_DVertex a = {1, 1, 1}, b = {3, 2, 5}, mid = {2, 1.5, 3}, s = {0, 0, 0}, e = {4, 0, 0};
  // x, y, z, code: at either end or inside 0, past b 1, before a -1, off -2.
  // clang-format off
  const double rows[][4] = {{3, 2, 5, 0}, {1, 1, 1, 0}, {2, 1.5, 3, 0}, {5, 3, 9, 1}, {-1, 0, -3, -1},
                            {2, 1.5, 3.1, -2}};
  // x, y, code: inside 1, at an end 0, before the start 3, past the end 4, off 2.
  const double inSeg[][3] = {{1, 0, 1}, {5e-7, 0, 0}, {-1, 0, 3}, {6, 0, 4}, {1, 1, 2}, {1, -0.0, 1}};
  // clang-format on
  for (auto r : rows) {
    G3D_DVertex p = {r[0], r[1], r[2]};
    EXPECT_EQ(M::Check3dPntAndSeg(&a, &b, &p), r[3]) << r[0] << " " << r[2];
  }
  EXPECT_EQ(M::Check3dPntAndSeg(&a, &a, &mid), -2);  // degenerate segment
  for (auto r : inSeg) {
    G3D_DVertex p = {r[0], r[1], 0};
    EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(&p, &s, &e), r[2]) << r[0] << " " << r[1];
  }
  EXPECT_EQ(M::_tcGM_CheckPntInLineSeg(nullptr, &s, &e), -1);
}

TEST(PointInTriangle, CodesAndSnappingOntoAVertexOnlyWithPos) {
  G3D_DVertex a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0};
  // x, y, z, inside, pos (0 inside, 1..3 on an edge, ...); the point is not moved.
  // clang-format off
  const double rows[][5] = {{2, 2, 0, 1, 2}, {0, 1, 0, 1, 3}, {4. / 3, 4. / 3, 0, 1, 0}, {4. / 3, 4. / 3, 1, 0, -1},
                            {3, 3, 0, 0, -1}, {6, 0, 0, 0, -1},
                            {4 - 1e-6, 0, 0, 1, 1},  // on edge a-b, not snapped
                            {4. / 3, 4. / 3, 1e-4, 1, 0}};  // barely above: the angle sum is 360
  // clang-format on
  for (auto r : rows) {
    long pos = -1;
    G3D_DVertex p = {r[0], r[1], r[2]};
    EXPECT_EQ(M::IsPntInTriPanel(&p, &a, &b, &c, &pos), r[3]) << r[0] << " " << r[2];
    EXPECT_EQ(r[3] ? pos : r[4], r[4]) << r[0];
    EXPECT_EQ(p.x, r[0]);
  }
  G3D_DVertex p = {4 + 5e-7, -5e-7, 5e-7}, q = {1e-7, 4, 0}, r = {4 + 5e-7, 0, 0};
  long pos = -1;
  EXPECT_EQ(M::IsPntInTriPanel(&p, &a, &b, &c, &pos), 1);
  EXPECT_TRUE(pos == 2 && p.x == b.x && p.y == b.y && p.z == b.z);
  EXPECT_EQ(M::IsPntInTriPanel2(&q, &a, &b, &c, &pos), 1);
  EXPECT_TRUE(pos == 3 && q.x == 0.0);
  EXPECT_EQ(M::IsPntInTriPanel(&r, &a, &b, &c, nullptr), 0);  // just outside, not moved
  EXPECT_EQ(r.x, 4 + 5e-7);
}

TEST(Lines, TwoDimensionalSegments) {
  // a1 a2 b1 b2 (x, y each), meets, x of the meeting point (NAN: not checked).
  const struct {
    const char* what;
    double a1[2], a2[2], b1[2], b2[2];
    bool meets;
    double x;
  } rows[] = {
      // clang-format off
      {"crossing", {0, 0}, {4, 4}, {0, 4}, {4, 0}, true, 2},
      {"b touches a at b's first end", {0, 0}, {4, 4}, {2, 2}, {5, -1}, true, 2},
      {"... and at its last end", {0, 0}, {4, 4}, {5, -1}, {2, 2}, true, 2},
      {"vertical a", {3, 0}, {3, 10}, {0, 5}, {9, 5}, true, 3},
      {"parallel", {0, 0}, {4, 4}, {0, 1}, {4, 5}, false, NAN},
      {"meets the line past a2", {0, 0}, {4, 4}, {5, 7}, {7, 5}, false, NAN},
      {"degenerate a", {0, 0}, {0, 0}, {0, 4}, {4, 0}, false, NAN},
      {"past an end by less than the tolerance", {0, 0}, {4, 0}, {4 + 2e-7, -1}, {4 + 2e-7, 1}, true, NAN},
      // clang-format on
  };
  for (auto r : rows) {
    double out[2] = {NAN, NAN};
    EXPECT_EQ(M::LinLinIntsect(r.a1, r.a2, r.b1, r.b2, out), r.meets) << r.what;
    if (!std::isnan(r.x)) {
      EXPECT_NEAR(out[0], r.x, 1e-12) << r.what;
    }
  }
  double a1[2] = {0, 0}, a2[2] = {4, 4}, b1[2] = {2, 2}, b2[2] = {5, -1};
  EXPECT_TRUE(M::LinLinIntsect(a1, a2, b1, b2, nullptr));
}

// Helpers the cut does not call: their documented results, called in order.
TEST(PeripheralHelpers, DocumentedResults) {
  double z2[4] = {0, 0, 2, -4}, zp[3] = {0, 0, 0}, dist = 0, t = 7, mua = 0, mub = 0;  // z = 2
  G3D_DVertex p = {1, 1, 5}, foot, v0 = {0, 0, 1}, v1 = {2, 0, 3}, v2 = {0, 4, 9}, pa, pb;
  G3D_DVertex t0 = {0, 0, 0}, t1 = {3, 0, 0}, t2 = {0, 3, 0}, g = {1, 1, 0};
  G3D_DVertex above = {5, 5, 1}, below = {1, 1, -4}, nz = {0, 0, 1}, fx = {1, 0, 0};
  G3D_DVertex e = {5, 5, 9}, f = {7, 5, 9}, h = {5, 9, 9}, tilt = {0, 1, 1e-6}, c1 = {3, -1, 0};
  G3D_DVertex p1 = {0, 0, 0}, p2 = {2, 0, 0}, p3 = {1, -1, 1}, p4 = {1, 1, 1}, q3 = {0, 1, 0};
  G3D_DVertex q4 = {3, 1, 0}, b1 = {1, -1, 0}, b2 = {1, 1, 0}, c2 = {3, 1, 0};
  G3D_DVertex out = {9, 9, 9}, keep = {9, 9, 9}, corner = {1, 11, 20}, outside = {1, 11, 21.5};
  KroPntStrcT pts[3] = {{1, 5, -2, 0, 0, 0}, {-3, 2, 7, 0, 0, 0}, {0, 9, 1, 0, 0, 0}};
  double b6[6] = {0, 10, 20, 1, 11, 21};
  bool flag = true;
  double tp[3] = {0, 0, 1}, tq[3] = {2, 0, 1}, tr[3] = {0, 3, 1}, up[3] = {5, 5, 4}, tv = 0;
  long r = 0;
  D_DOT cshape[8] = {{4, 1}, {1, 1}, {1, 3}, {4, 3}, {4, 4}, {0, 4}, {0, 0}, {4, 0}}, in{};
  G3D_DVertex sq[8] = {{0, 0, 7}, {10, 0, 7}, {10, 10, 7}, {0, 10, 7},
                       {2, 2, 7}, {4, 2, 7},  {4, 4, 7},   {2, 4, 7}},
              inner[2];
  long counts[2] = {4, 4}, asc[5] = {1, 3, 5, 7, 9}, gaps[2] = {4, 1}, sh[6] = {5, -2, 9, 0, -2, 3};
  bool hole[2] = {true, false};
  G3D_DVertex buf[3] = {{0, 0, 0}, {1, 1, 1}, {1, 1, 1.000001}};
  tctagD3ConvexBox box, big = {-10, 10, -10, 10, -10, 10}, a = {0, 2, 0, 2, 0, 2},
                        apart = {3, 4, 3, 4, 3, 4};
  const struct {
    const char* call;
    double got, want;
  } calls[] = {
      // clang-format off
      {"distance to a plane, normal not unit", (M::GetDistOfPntToPanel(&p, z2, &dist), dist), 3},
      {"projection", double(M::GetPanelProjDot(&p, z2, &foot, &t)), 1},
      {"projection: foot, parameter", foot.z * 10 + t, 18.5},
      {"z = 1 + x + 2y", M::GetZPlane(&v0, &v1, &v2, zp) * 1000 + zp[0] * 100 + zp[1] * 10 + zp[2], 1112},
      {"above", double(M::CheckPntToSurfPos(&above, &t0, &t1, &t2)), 1},
      {"below", double(M::CheckPntToSurfPos(&below, &t0, &t1, &t2)), -1},
      {"at the centroid", double(M::CheckPntToSurfPos(&g, &t0, &t1, &t2)), 0},
      {"zero product: other side", double(M::GetDotPosToPolyh(&nz, &fx)), -1},
      {"parallel planes, same facing", double(M::IsOnOneSurf_Tri_Tri(t0, t1, t2, e, f, h)), 1},
      {"tilted", double(M::IsOnOneSurf_Tri_Tri(t0, t1, t2, t0, t1, tilt)), 0},
      {"coordinates: inside", double(M::_tcGeoMath_CheckPntInLineSeg(0, 0, 0, 2, 2, 2, 1, 1, 1)), 1},
      {"plan: past the end", double(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, 3, 0)), 1},
      {"plan: inside", double(M::_tcGeoMath_CheckPntInLineSegSec(0, 0, 2, 0, 1, 0)), -1},
      {"skew lines", double(M::_tcGM_LineLineIntersect(&p1, &p2, &p3, &p4, &pa, &pb, &mua, &mub)), 1},
      {"skew lines: closest points", mua + mub + pb.z - pa.z, 2},
      {"parallel lines", double(M::_tcGM_LineLineIntersect(&p1, &p2, &q3, &q4, &pa, &pb, &mua, &mub)), 0},
      {"segments cross", double(M::CalTwoLineInsercDot(p1, p2, b1, b2, out)) + out.x, 2},
      {"meeting beyond p2", double(M::CalTwoLineInsercDot(p1, p2, c1, c2, keep)) + keep.x, 9},
      {"box of points", (M::Get3DConvexBox(pts, 3, &box), box.xmin + box.xmax + box.ymax + box.zmin), 5},
      {"point on a box corner", double(M::CheckPntAndAABB(b6, &corner, flag)) + flag, 1},
      {"point off the box", double(M::CheckPntAndAABB(b6, &outside, flag)), -1},
      {"box inside a box: found from b's corners", double(M::CheckTwoAABB(&a, &big)), 1},
      {"boxes apart", double(M::CheckTwoAABB(&a, &apart) + M::CheckTwoAABB(&apart, &a)), 0},
      {"tetrahedron signed by its apex", (r = M::GetTetVolume(tp, tq, tr, up, &tv), r * 10 + tv), 13},
      {"tetrahedron on a collinear base", double(M::GetTetVolume(tp, tq, tq, up, &tv)), 0},
      {"C shape: inner point found outside the notch", (r = M::Get1InnerDotFromPoly(cshape, 8, &in), double(r + M::PtInPolygon(cshape, 8, in))), 2},
      {"square in a square: the inner one is the hole", (r = M::FindHoleDotsOfPoly(sq, counts, 2, inner, hole), double(r + hole[0] * 2 + hole[1] * 4 + (inner[1].x > 2 && inner[1].x < 4 && inner[1].y > 2 && inner[1].y < 4 && inner[1].z == 7))), 6},
      {"binary search: found, missing", double(M::bin_search(7, asc, 5) * 10 + M::bin_search(4, asc, 5)), 29},
      {"first point within 1e-5, 1e-6", double(M::FindTriPntPosInOldBuf({1, 1, 1.000004}, buf, 3) * 10 + M::FindTriPntPosInOldBuf({1, 1, 1.0001}, buf, 3)), 9},
      {"dot buffer within 1e-6", double(M::SearchInDotBuf(G3D_DVertex{1, 1, 1.0000005}, buf, 3)), 1},
      {"shell sort", (M::shellsort(sh, 6, gaps, 2), double(sh[0] + sh[1] * 10 + sh[5] * 100)), 878},
      // clang-format on
  };
  for (const auto& c : calls) EXPECT_EQ(c.got, c.want) << c.call;
}
