// 2D polygons and polylines: point in polygon, side of an open polyline,
// segment meeting points, holes, fold-line extension and curtains.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"
#include "support/Shapes.h"

namespace {

std::vector<D_DOT> UnitSquare(bool closed) {
  std::vector<D_DOT> sq = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  if (closed) sq.push_back({0, 0});
  return sq;
}

long N(const std::vector<D_DOT>& v) {
  return static_cast<long>(v.size());
}

}  // namespace

TEST(PointInPolygon, UnitSquareCrossingCount) {
  auto sq = UnitSquare(false);
  EXPECT_EQ(CMathFunCls::PtInPolygon(sq.data(), 4, {0.5, 0.5}), 1);
  EXPECT_EQ(CMathFunCls::PtInPolygon(sq.data(), 4, {1.5, 0.5}), -1);
  // Strict x test: the left edge is inside, the right edge outside.
  EXPECT_EQ(CMathFunCls::PtInPolygon(sq.data(), 4, {0.0, 0.5}), 1);
  EXPECT_EQ(CMathFunCls::PtInPolygon(sq.data(), 4, {1.0, 0.5}), -1);
  // An explicitly closed ring gives the same answers.
  auto closed = UnitSquare(true);
  EXPECT_EQ(CMathFunCls::PtInPolygon(closed.data(), 5, {0.5, 0.5}), 1);
  EXPECT_EQ(CMathFunCls::PtInPolygon(nullptr, 4, {0.5, 0.5}), -1);
}

TEST(PointInPolygon, ToggleRuleWithLevelEdgeAtQueryHeight) {
  auto sq = UnitSquare(false);
  EXPECT_TRUE(CMathFunCls::JudgePntInPolyF(0.5, 0.5, sq.data(), 4));
  EXPECT_FALSE(CMathFunCls::JudgePntInPolyF(1.5, 0.5, sq.data(), 4));
  // The bottom edge is level at the query height: no division by zero,
  // the vertical edges decide.
  EXPECT_TRUE(CMathFunCls::JudgePntInPolyF(0.5, 0.0, sq.data(), 4));
  EXPECT_FALSE(CMathFunCls::JudgePntInPolyF(2.0, 0.0, sq.data(), 4));
  EXPECT_FALSE(CMathFunCls::JudgePntInPolyF(-1.0, 1.0, sq.data(), 4));
}

TEST(PointInPolygon, SegmentParityCountsSharedVertexOnce) {
  std::vector<D_DOT> zig = {{0, 0}, {1, 1}, {2, 0}};
  D_DOT p{1, -1}, q{1, 2};
  EXPECT_TRUE(CMathFunCls::JudgePntInPoly(&p, &q, zig.data(), 3));  // through the apex
  D_DOT p2{0.5, -1}, q2{0.5, 2};
  EXPECT_TRUE(CMathFunCls::JudgePntInPoly(&p2, &q2, zig.data(), 3));
  D_DOT p3{-1, 0.5}, q3{3, 0.5};
  EXPECT_FALSE(CMathFunCls::JudgePntInPoly(&p3, &q3, zig.data(), 3));  // crosses both legs
  EXPECT_FALSE(CMathFunCls::JudgePntInPoly(&p3, &q3, zig.data(), 0));
}

TEST(Segment2D, PointAgainstSegmentCodes) {
  D_DOT a{0, 0}, b{2, 0};
  D_DOT on{1, 0}, beyond{3, 0}, before{-1, 0}, off{1, 1}, end{2, 0};
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, &on), 0);
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, &beyond), 1);
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, &before), -1);
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, &off), -2);
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, &end), 0);
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, nullptr), -2);
}

TEST(Segment2D, LineCoefficientsAndMeetingPoints) {
  D_DOT a{1, 1}, b{3, 5};
  double ka, kb, kc;
  ASSERT_EQ(CMathFunCls::GetCoefOfLin(&a, &b, &ka, &kb, &kc), 1);
  EXPECT_DOUBLE_EQ(kb, -1.0);
  EXPECT_NEAR(ka * a.x + kb * a.y + kc, 0.0, 1e-12);
  EXPECT_NEAR(ka * b.x + kb * b.y + kc, 0.0, 1e-12);
  D_DOT v1{2, 0}, v2{2, 7};
  CMathFunCls::GetCoefOfLin(&v1, &v2, &ka, &kb, &kc);
  EXPECT_EQ(ka, 1.0);
  EXPECT_EQ(kb, 0.0);
  EXPECT_EQ(kc, -2.0);

  D_DOT a1{0, 0}, a2{2, 2}, b1{0, 2}, b2{2, 0}, out{};
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &b1, &b2, &out), 0);
  EXPECT_NEAR(out.x, 1.0, 1e-12);
  EXPECT_NEAR(out.y, 1.0, 1e-12);
  D_DOT c1{0, 1}, c2{2, 3};
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &c1, &c2, &out), -1);  // parallel
  D_DOT d1{5, 5}, d2{5, 5.000001};
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &d1, &d2, &out), -2);  // degenerate
  // The lines meet at (3, 3), beyond a2 on line a.
  D_DOT e1{0, 6}, e2{1, 5};
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &e1, &e2, &out), 1);
  EXPECT_NEAR(out.x, 3.0, 1e-12);
}

TEST(OpenPolyline, BlockedPathsAndExtensions) {
  // The first segment's backward extension crosses the path: blocked.
  std::vector<D_DOT> poly = {{1, 0}, {2, 0}, {2, 2}};
  D_DOT p{0, -1}, q{0, 1};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&p, &q, poly.data(), 3, 1), 0);
  // Segment 1 runs parallel to the path: it never blocks.
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&p, &q, poly.data(), 3, 0), -2);
  // A parallel first segment does not block either.
  std::vector<D_DOT> flat = {{0, 0}, {1, 0}, {1, 5}};
  D_DOT r{-5, 1}, s{5, 1};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&r, &s, flat.data(), 3, 1), -2);
  // The last segment's forward extension blocks.
  std::vector<D_DOT> hook = {{0, 5}, {0, 0}, {1, 0}};
  D_DOT u{3, -1}, w{3, 1};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&u, &w, hook.data(), 3, 0), 0);
  // A meeting point at the path's end does not block.
  D_DOT u2{3, -1}, w2{3, 0};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&u2, &w2, hook.data(), 3, 0), -2);
}

TEST(OpenPolyline, SideOfSegment) {
  std::vector<D_DOT> poly = {{0, 0}, {1, 0}};
  D_DOT left{0.5, 1}, right{0.5, -1}, on{0.5, 0}, before{-1, 0}, beyond{2, 0};
  EXPECT_EQ(CMathFunCls::CheckPntPos(&left, poly.data(), 0), 1);
  EXPECT_EQ(CMathFunCls::CheckPntPos(&right, poly.data(), 0), -1);
  EXPECT_EQ(CMathFunCls::CheckPntPos(&on, poly.data(), 0), -2);
  EXPECT_EQ(CMathFunCls::CheckPntPos(&before, poly.data(), 0), -1);
  EXPECT_EQ(CMathFunCls::CheckPntPos(&beyond, poly.data(), 0), 1);
}

TEST(OpenPolyline, PointAgainstCurve) {
  auto sq = UnitSquare(true);
  for (D_DOT p : {D_DOT{0.5, 0.5}, D_DOT{1.5, 0.5}, D_DOT{0, 0.5}, D_DOT{1, 0.5}})
    EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&p, sq.data(), 5),
              CMathFunCls::PtInPolygon(sq.data(), 5, p));

  std::vector<D_DOT> line = {{0, 0}, {1, 0}};
  D_DOT above{0.5, 1}, below{0.5, -1}, on{0.5, 0};
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&above, line.data(), 2), 1);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&below, line.data(), 2), -1);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&on, line.data(), 2), -2);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&above, nullptr, 2), -2);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&above, line.data(), 1), -2);

  // A spiral: the nearest segment (1) is hidden behind the forward
  // extension of the last segment, so segment 0 decides.
  std::vector<D_DOT> spiral = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 1}, {3, 1}};
  D_DOT q{3.5, 0.8};
  D_DOT mid1{4, 2};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&mid1, &q, spiral.data(), 6, 1), 0);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&q, spiral.data(), 6), 1);
  // Turning the spiral round swaps the side.
  std::vector<D_DOT> rev(spiral.rbegin(), spiral.rend());
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&q, rev.data(), 6), -1);
}

TEST(PolygonHoles, InnerPointsAndHoles) {
  D_DOT tri[3] = {{0, 0}, {3, 0}, {0, 3}}, c{};
  EXPECT_EQ(CMathFunCls::Get1InnerDotFromPoly(tri, 3, &c), 1);
  EXPECT_DOUBLE_EQ(c.x, 1.0);
  EXPECT_DOUBLE_EQ(c.y, 1.0);
  // A C shape whose first candidates (midpoints of poly[0] and poly[k])
  // lie in the notch or on its open side.
  std::vector<D_DOT> cshape = {{4, 1}, {1, 1}, {1, 3}, {4, 3}, {4, 4}, {0, 4}, {0, 0}, {4, 0}};
  EXPECT_EQ(CMathFunCls::PtInPolygon(cshape.data(), N(cshape), {2.5, 2}), -1);
  D_DOT in{};
  EXPECT_EQ(CMathFunCls::Get1InnerDotFromPoly(cshape.data(), N(cshape), &in), 1);
  EXPECT_EQ(CMathFunCls::PtInPolygon(cshape.data(), N(cshape), in), 1);
  EXPECT_EQ(CMathFunCls::Get1InnerDotFromPoly(nullptr, 4, &in), -1);

  std::vector<D_DOT> pts = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {2, 2}, {4, 2}, {4, 4}, {2, 4}};
  long counts[2] = {4, 4};
  D_DOT inner[2];
  bool hole[2] = {true, false};
  ASSERT_EQ(CMathFunCls::FindHole2DDotsOfPoly(pts.data(), counts, 2, inner, hole), 1);
  EXPECT_FALSE(hole[0]);
  EXPECT_TRUE(hole[1]);
  EXPECT_EQ(CMathFunCls::PtInPolygon(pts.data(), 4, inner[0]), 1);
  EXPECT_EQ(CMathFunCls::PtInPolygon(pts.data() + 4, 4, inner[1]), 1);

  std::vector<KRO::G3D_DVertex> pts3;
  for (const D_DOT& p : pts) pts3.push_back({p.x, p.y, 7.5});
  pts3[3].z = 1.0;  // only the very first point's z counts
  KRO::G3D_DVertex inner3[2];
  bool hole3[2];
  ASSERT_EQ(CMathFunCls::FindHoleDotsOfPoly(pts3.data(), counts, 2, inner3, hole3), 1);
  EXPECT_FALSE(hole3[0]);
  EXPECT_TRUE(hole3[1]);
  EXPECT_EQ(inner3[1].z, 7.5);
  EXPECT_NEAR(inner3[1].x, inner[1].x, 1e-12);
}

TEST(FoldLine, RayAgainstRectangle) {
  double box[4] = {0, 10, 0, 10};
  double origin[2] = {5, 5}, dir[2] = {1, 0}, out[2];
  ASSERT_TRUE(CMathFunCls::Hit2DBoundingBox(box, origin, dir, out));
  EXPECT_NEAR(out[0], 10.0, 1e-9);
  EXPECT_NEAR(out[1], 5.0, 1e-9);
  double outside[2] = {-5, 5};
  ASSERT_TRUE(CMathFunCls::Hit2DBoundingBox(box, outside, dir, out));
  EXPECT_NEAR(out[0], 0.0, 1e-9);  // the left edge comes first
  double away[2] = {-1, 0};
  EXPECT_FALSE(CMathFunCls::Hit2DBoundingBox(box, outside, away, out));
}

TEST(FoldLine, ExtendToBoxSnapsOntoSides) {
  tctagD3ConvexBox box{0, 10, 0, 10, 0, 5};
  std::vector<D_DOT> line = {{2, 5}, {8, 5}};
  ASSERT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, line.data(), 2), 1);
  EXPECT_EQ(line[0].x, 0.0);  // snapped exactly
  EXPECT_EQ(line[1].x, 10.0);
  EXPECT_NEAR(line[0].y, 5.0, 1e-5);
  EXPECT_NEAR(line[1].y, 5.0, 1e-5);

  // Both ends move along the chord, not along the end segments; the
  // middle point stays.
  std::vector<D_DOT> bent = {{2, 3}, {9, 0.5}, {4, 5}};
  ASSERT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, bent.data(), 3), 1);
  EXPECT_EQ(bent[0].x, 0.0);
  EXPECT_NEAR(bent[0].y, 1.0, 1e-5);
  EXPECT_NEAR(bent[2].x, 9.0, 1e-5);
  EXPECT_EQ(bent[2].y, 10.0);
  EXPECT_EQ(bent[1].x, 9.0);
  EXPECT_EQ(bent[1].y, 0.5);

  // A point within 1e-5 of a side takes the side's exact value.
  std::vector<D_DOT> near = {{1, 9.999996}, {5, 9.999996}};
  CMathFunCls::ExtendFoldLinToBox(&box, near.data(), 2);
  EXPECT_EQ(near[0].x, 0.0);
  EXPECT_EQ(near[0].y, 10.0);
  EXPECT_EQ(near[1].y, 10.0);

  // Rays that miss leave the ends alone.
  std::vector<D_DOT> far = {{20, 20}, {30, 20}};
  CMathFunCls::ExtendFoldLinToBox(&box, far.data(), 2);
  EXPECT_EQ(far[0].x, 20.0);
  EXPECT_EQ(far[1].x, 30.0);
  EXPECT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, far.data(), 1), 0);
}

TEST(FoldLine, ExtendEndSegments) {
  std::vector<KRO::G3D_DVertex> pts = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}};
  ASSERT_EQ(CMathFunCls::ExtendALinSeg(pts.data(), 3), 1);
  EXPECT_NEAR(pts[0].x, -10.0, 1e-12);
  EXPECT_NEAR(pts[2].y, 12.0, 1e-12);
  EXPECT_EQ(pts[1].x, 1.0);
  EXPECT_EQ(CMathFunCls::ExtendALinSeg(pts.data(), 1), 0);

  std::vector<KroPntStrcT> f(3);
  f[0] = {0, 0, 0, 0, 0, 0};
  f[1] = {1, 0, 1, 0, 0, 0};
  f[2] = {1, 3, 1, 0, 0, 0};
  ASSERT_EQ(CMathFunCls::ExtendALinSegF(f.data(), 3), 1);
  EXPECT_EQ(f[0].x, -1.0);
  EXPECT_EQ(f[0].z, -1.0);
  EXPECT_EQ(f[2].y, 6.0);
}

TEST(FoldLine, CurtainSurfaceCounts) {
  std::vector<D_DOT> pl = {{0, 0}, {3, 0}, {3, 4}};
  C3DSurface surf(-1, 0);
  ASSERT_EQ(CMathFunCls::GenSurfByPolylin(surf, pl.data(), 3, -1.0, 2.0), 1);
  EXPECT_EQ(surf.GetPointNum(), 6);
  EXPECT_EQ(surf.GetTriangleCount(), 4);
  EXPECT_EQ(surf.GetOperationType(), 4);
  EXPECT_EQ(surf.GetMaterialName(), "");
  // The curtain's area is the polyline's length times the height.
  EXPECT_NEAR(shapes::TotalArea(shapes::SoupOf(surf)), 7.0 * 3.0, 1e-9);
  EXPECT_EQ(surf.Points()[4].z, 2.0);

  std::vector<D_3DOT> pl3 = {{0, 0, 9}, {1, 1, 9}};
  C3DSurface s3(-1, 0);
  ASSERT_EQ(CMathFunCls::GenSurfByPolylin(s3, pl3.data(), 2, 0.0, 1.0), 1);
  EXPECT_EQ(s3.GetPointNum(), 4);
  EXPECT_EQ(s3.GetTriangleCount(), 2);
  EXPECT_EQ(s3.Points()[0].z, 0.0);
}

TEST(FoldLine, CurtainRecords) {
  std::vector<D_DOT> pl = {{0, 0}, {1, 0}, {2, 1}};
  std::vector<KroPntStrcT> pts(6);
  std::vector<KroNetStrcT> nets(5);
  nets[4].pnt[0] = 99;  // beyond nOutNets: untouched
  ASSERT_EQ(CMathFunCls::GetFoldLinCurv(pl.data(), 0, -2, 3, pts.data(), 6, nets.data(), 4), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pts[2 * i].z, -2.0);
    EXPECT_EQ(pts[2 * i + 1].z, 3.0);
    EXPECT_EQ(pts[2 * i].x, pl[i].x);
    EXPECT_EQ(pts[2 * i + 1].attr, 0);
    EXPECT_EQ(pts[2 * i + 1].flag1, 1);
    EXPECT_EQ(pts[2 * i + 1].flag2, 0);
  }
  EXPECT_EQ(nets[4].pnt[0], 99);
  // Neighbour numbers are symmetric and point at triangles sharing an edge.
  for (long t = 0; t < 4; ++t) {
    EXPECT_EQ(nets[t].flag1, 1);
    for (int k = 0; k < 3; ++k) {
      const long nb = nets[t].adj[k];
      if (nb == 0) continue;
      ASSERT_GE(nb, 1);
      ASSERT_LE(nb, 4);
      const KroNetStrcT& o = nets[nb - 1];
      EXPECT_TRUE(o.adj[0] == t + 1 || o.adj[1] == t + 1 || o.adj[2] == t + 1);
      const long a = nets[t].pnt[k], b = nets[t].pnt[(k + 1) % 3];
      int shared = 0;
      for (long v : o.pnt) shared += (v == a || v == b);
      EXPECT_EQ(shared, 2);
    }
  }
  EXPECT_EQ(nets[3].adj[1], 0);  // the last pair has no next triangle
  EXPECT_EQ(nets[1].adj[1], 3);
}

TEST(FoldLine, PlaneOrientation) {
  KRO::G3D_DVertex level[3] = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
  KRO::G3D_DVertex xNormal[3] = {{2, 0, 0}, {2, 1, 0}, {2, 0, 1}};
  KRO::G3D_DVertex yNormal[3] = {{0, 2, 0}, {1, 2, 0}, {0, 2, 1}};
  KRO::G3D_DVertex slanted[3] = {{0, 0, 0}, {1, 1, 0}, {0, 0, 1}};
  KRO::G3D_DVertex degenerate[3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
  EXPECT_EQ(CMathFunCls::JudgeCurveDir(level), 0);
  EXPECT_EQ(CMathFunCls::JudgeCurveDir(xNormal), 1);
  EXPECT_EQ(CMathFunCls::JudgeCurveDir(yNormal), 2);
  EXPECT_EQ(CMathFunCls::JudgeCurveDir(slanted), 2);
  EXPECT_EQ(CMathFunCls::JudgeCurveDir(degenerate), 2);
}

TEST(GeoPosition2D, PolygonSegmentAndTriangleTests) {
  auto sq = UnitSquare(true);
  D_DOT in{0.5, 0.5}, edge{1.0, 0.5}, out{2, 2};
  EXPECT_EQ(GeoMathPosition::IsPntInPolygon(sq.data(), 5, in), 1);
  EXPECT_EQ(GeoMathPosition::IsPntInPolygon(sq.data(), 5, edge), 0);
  EXPECT_EQ(GeoMathPosition::IsPntInPolygon(sq.data(), 5, out), -1);
  EXPECT_EQ(GeoMathPosition::IsPntInPolygon(nullptr, 5, in), -2);

  D_DOT a{0, 0}, b{1000, 0}, near{500, 0.001}, off{500, 5}, past{1001, 0};
  EXPECT_EQ(GeoMathPosition::Check2dPntAndLine(&a, &b, &near), 0);
  EXPECT_EQ(GeoMathPosition::Check2dPntAndLine(&a, &b, &off), -1);
  EXPECT_EQ(GeoMathPosition::Check2dPntAndSeg(&a, &b, &near), 0);  // 0.01 on directions
  EXPECT_EQ(GeoMathPosition::Check2dPntAndSeg(&a, &b, &past), 1);
  EXPECT_EQ(GeoMathPosition::Check2dPntAndSeg(&a, &b, &off), -2);

  D_DOT t0{0, 0}, t1{4, 0}, t2{0, 4};
  D_DOT inside{1, 1}, onEdge{2, 0}, outside{3, 3}, onLineOut{6, 0};
  EXPECT_EQ(GeoMathPosition::IsPntInTri(&t0, &t1, &t2, inside), 1);
  EXPECT_EQ(GeoMathPosition::IsPntInTri(&t0, &t1, &t2, onEdge), 0);
  EXPECT_EQ(GeoMathPosition::IsPntInTri(&t0, &t1, &t2, outside), -1);
  EXPECT_EQ(GeoMathPosition::IsPntInTri(&t0, &t1, &t2, onLineOut), -1);

  D_DOT s1{1, 1}, s2{1, 1.0000005};
  EXPECT_TRUE(GeoMathPosition::IsSame2Dot(s1, s2));
  EXPECT_EQ(GeoMathPosition::GeoCheckDotInPolygon(5, sq.data(), in), -2);
  EXPECT_TRUE(GeoMathPosition::IsBigger(s1, s2));
}
