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

}  // namespace

TEST(PointInPolygon, CrossingCountSegmentParityAndBoundaries) {
  auto sq = UnitSquare(false), closed = UnitSquare(true);
  // Strict x test: the left edge is inside, the right edge outside; the
  // boundary-aware form says 0 on either.
  const double rows[][4] = {{0.5, 0.5, 1, 1}, {1.5, 0.5, -1, -1}, {0, 0.5, 1, 0}, {1, 0.5, -1, 0}};
  for (auto r : rows) {
    D_DOT p{r[0], r[1]};
    EXPECT_EQ(CMathFunCls::PtInPolygon(sq.data(), 4, p), r[2]) << r[0];
    EXPECT_EQ(GeoMathPosition::IsPntInPolygon(closed.data(), 5, p), r[3]) << r[0];
  }
  EXPECT_EQ(CMathFunCls::PtInPolygon(nullptr, 4, {0.5, 0.5}), -1);
  // Toggle rule: the bottom edge is level at the query height; no division
  // by zero, the vertical edges decide.
  EXPECT_TRUE(CMathFunCls::JudgePntInPolyF(0.5, 0.0, sq.data(), 4));
  EXPECT_FALSE(CMathFunCls::JudgePntInPolyF(2.0, 0.0, sq.data(), 4));
  std::vector<D_DOT> zig = {{0, 0}, {1, 1}, {2, 0}};
  D_DOT p{1, -1}, q{1, 2}, p3{-1, 0.5}, q3{3, 0.5};
  EXPECT_TRUE(CMathFunCls::JudgePntInPoly(&p, &q, zig.data(), 3));     // through the apex
  EXPECT_FALSE(CMathFunCls::JudgePntInPoly(&p3, &q3, zig.data(), 3));  // crosses both legs
}

TEST(Segment2D, PointCodesAndMeetingPointsOfTwoLines) {
  D_DOT a{0, 0}, b{2, 0};
  const double rows[][3] = {{1, 0, 0}, {2, 0, 0}, {0, 0, 0}, {3, 0, 1}, {-1, 0, -1}, {1, 1, -2}};
  for (auto r : rows) {
    D_DOT p{r[0], r[1]};
    EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, &p), r[2]) << r[0] << " " << r[1];
    EXPECT_EQ(GeoMathPosition::Check2dPntAndSeg(&a, &b, &p), r[2]) << r[0] << " " << r[1];
  }
  EXPECT_EQ(CMathFunCls::Check2dPntAndSeg(&a, &b, nullptr), -2);
  // Near a long segment: 0.01 on directions, not a distance.
  D_DOT f{1000, 0}, near{500, 0.001}, off{500, 5};
  EXPECT_EQ(GeoMathPosition::Check2dPntAndSeg(&a, &f, &near), 0);
  EXPECT_EQ(GeoMathPosition::Check2dPntAndLine(&a, &f, &near), 0);
  EXPECT_EQ(GeoMathPosition::Check2dPntAndLine(&a, &f, &off), -1);
  D_DOT a1{0, 0}, a2{2, 2}, b1{0, 2}, b2{2, 0}, out{};
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &b1, &b2, &out), 0);
  EXPECT_TRUE(std::fabs(out.x - 1) + std::fabs(out.y - 1) < 1e-12);
  D_DOT c1{0, 1}, c2{2, 3}, d1{5, 5}, d2{5, 5.000001}, e1{0, 6}, e2{1, 5};
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &c1, &c2, &out), -1);  // parallel
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &d1, &d2, &out), -2);  // degenerate
  EXPECT_EQ(CMathFunCls::InterOf2dLins(&a1, &a2, &e1, &e2, &out), 1);   // at (3, 3), past a2
  EXPECT_NEAR(out.x, 3.0, 1e-12);
  D_DOT t0{0, 0}, t1{4, 0}, t2{0, 4};  // inside 1, on an edge 0, on its line beyond -1
  for (D_DOT q : {D_DOT{1, 1}, D_DOT{2, 0}, D_DOT{6, 0}})
    EXPECT_EQ(GeoMathPosition::IsPntInTri(&t0, &t1, &t2, q), q.x == 1 ? 1 : q.x == 2 ? 0 : -1);
}

TEST(OpenPolyline, BlockedPathsAndSides) {
  // The first segment's backward extension crosses the path: blocked;
  // segment 1 runs parallel to it and never blocks.
  std::vector<D_DOT> poly = {{1, 0}, {2, 0}, {2, 2}}, flat = {{0, 0}, {1, 0}, {1, 5}};
  std::vector<D_DOT> hook = {{0, 5}, {0, 0}, {1, 0}};
  D_DOT p{0, -1}, q{0, 1}, r{-5, 1}, s{5, 1}, u{3, -1}, w{3, 1}, w2{3, 0};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&p, &q, poly.data(), 3, 1), 0);
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&p, &q, poly.data(), 3, 0), -2);
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&r, &s, flat.data(), 3, 1), -2);  // parallel first
  // The last segment's forward extension blocks, a meeting at its end does not.
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&u, &w, hook.data(), 3, 0), 0);
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&u, &w2, hook.data(), 3, 0), -2);
  std::vector<D_DOT> line = {{0, 0}, {1, 0}};
  const double rows[][3] = {{0.5, 1, 1}, {0.5, -1, -1}, {0.5, 0, -2}, {-1, 0, -1}, {2, 0, 1}};
  for (auto r : rows) {
    D_DOT pt{r[0], r[1]};
    EXPECT_EQ(CMathFunCls::CheckPntPos(&pt, line.data(), 0), r[2]) << r[0] << " " << r[1];
    if (r[0] == 0.5) {
      EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&pt, line.data(), 2), r[2]) << r[1];
    }
  }
  D_DOT above{0.5, 1};
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&above, line.data(), 1), -2);
  auto sq = UnitSquare(true);  // a closed curve: point in polygon
  for (D_DOT pt : {D_DOT{0.5, 0.5}, D_DOT{1.5, 0.5}, D_DOT{0, 0.5}, D_DOT{1, 0.5}})
    EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&pt, sq.data(), 5),
              CMathFunCls::PtInPolygon(sq.data(), 5, pt));
  // A spiral: the nearest segment (1) is hidden behind the forward
  // extension of the last segment, so segment 0 decides; turning the spiral
  // round swaps the side.
  std::vector<D_DOT> spiral = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 1}, {3, 1}};
  std::vector<D_DOT> rev(spiral.rbegin(), spiral.rend());
  D_DOT pt{3.5, 0.8}, mid1{4, 2};
  EXPECT_EQ(CMathFunCls::CheckCurSegAndOtherSegs(&mid1, &pt, spiral.data(), 6, 1), 0);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&pt, spiral.data(), 6), 1);
  EXPECT_EQ(CMathFunCls::Check2dPntAndCurve(&pt, rev.data(), 6), -1);
}

TEST(FoldLine, ExtendToBoxSnapsOntoSides) {
  tctagD3ConvexBox box{0, 10, 0, 10, 0, 5};
  std::vector<D_DOT> line = {{2, 5}, {8, 5}}, vertical = {{5, 2}, {5, 8}};
  ASSERT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, line.data(), 2), 1);
  EXPECT_TRUE(line[0].x == 0.0 && line[1].x == 10.0);  // snapped exactly
  EXPECT_NEAR(line[0].y, 5.0, 1e-5);
  ASSERT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, vertical.data(), 2), 1);
  EXPECT_TRUE(vertical[0].y == 0.0 && vertical[1].y == 10.0);
  // Both ends move along the chord, not along the end segments; the
  // middle point stays.
  std::vector<D_DOT> bent = {{2, 3}, {9, 0.5}, {4, 5}};
  ASSERT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, bent.data(), 3), 1);
  EXPECT_TRUE(bent[0].x == 0.0 && bent[2].y == 10.0 && bent[1].x == 9.0 && bent[1].y == 0.5);
  EXPECT_NEAR(bent[0].y, 1.0, 1e-5);
  EXPECT_NEAR(bent[2].x, 9.0, 1e-5);
  // A point within 1e-5 of a side takes the side's exact value.
  std::vector<D_DOT> near = {{1, 9.999996}, {5, 9.999996}};
  CMathFunCls::ExtendFoldLinToBox(&box, near.data(), 2);
  EXPECT_TRUE(near[0].x == 0.0 && near[0].y == 10.0 && near[1].y == 10.0);
  EXPECT_EQ(CMathFunCls::ExtendFoldLinToBox(&box, near.data(), 1), 0);
  // A ray from inside the box leaves it through the right side only.
  double b4[4] = {0, 10, 0, 10}, o[2] = {5, 5}, d[2] = {2, 1}, hit[2] = {0, 0};
  ASSERT_TRUE(CMathFunCls::Hit2DBoundingBox(b4, o, d, hit));
  EXPECT_TRUE(std::fabs(hit[0] - 10.0) + std::fabs(hit[1] - 7.5) < 1e-9);
}

TEST(FoldLine, ExtendEndSegmentsAndPlaneOrientation) {
  std::vector<KRO::G3D_DVertex> pts = {{0, 0, 0}, {1, 0, 0}, {1, 2, 0}};
  ASSERT_EQ(CMathFunCls::ExtendALinSeg(pts.data(), 3), 1);
  EXPECT_TRUE(std::fabs(pts[0].x + 10) + std::fabs(pts[2].y - 12) < 1e-12 && pts[1].x == 1.0);
  // The record form doubles the end segments instead.
  KroPntStrcT rec[3] = {{0, 0, 0, 0, 0, 0}, {1, 0, 1, 0, 0, 0}, {1, 2, 3, 0, 0, 0}};
  ASSERT_EQ(CMathFunCls::ExtendALinSegF(rec, 3), 1);
  EXPECT_TRUE(rec[0].x == -1 && rec[0].z == -1 && rec[2].y == 4 && rec[2].z == 5);
  // Level: 0, x normal: 1, y normal: 2, degenerate: 2.
  KRO::G3D_DVertex planes[4][3] = {{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}},
                                   {{2, 0, 0}, {2, 1, 0}, {2, 0, 1}},
                                   {{0, 2, 0}, {1, 2, 0}, {0, 2, 1}},
                                   {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(CMathFunCls::JudgeCurveDir(planes[k]), k < 3 ? k : 2) << k;
}

TEST(FoldLine, CurtainSurfaceAndRecords) {
  std::vector<D_DOT> pl = {{0, 0}, {3, 0}, {3, 4}};
  C3DSurface surf(-1, 0);
  ASSERT_EQ(CMathFunCls::GenSurfByPolylin(surf, pl.data(), 3, -1.0, 2.0), 1);
  EXPECT_TRUE(surf.GetPointNum() == 6 && surf.GetTriangleCount() == 4);
  // The curtain's area is the polyline's length times the height.
  EXPECT_NEAR(shapes::TotalArea(shapes::SoupOf(surf)), 7.0 * 3.0, 1e-9);
  std::vector<KroPntStrcT> pts(6);
  std::vector<KroNetStrcT> nets(5);
  nets[4].pnt[0] = 99;  // beyond nOutNets: untouched
  ASSERT_EQ(CMathFunCls::GetFoldLinCurv(pl.data(), 0, -2, 3, pts.data(), 6, nets.data(), 4), 1);
  EXPECT_TRUE(pts[4].z == -2.0 && pts[5].z == 3.0 && pts[5].y == 4.0 && nets[4].pnt[0] == 99);
  EXPECT_TRUE(nets[0].adj[0] + nets[0].adj[1] + nets[0].adj[2] == 2 && nets[3].adj[1] == 0);
}
