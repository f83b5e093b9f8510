// Position checkers: closing a fold line against a box, and the side codes
// of the plane, fold-line, curved-surface and solid checkers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "kromesh/organize/CMeshPosCheck.h"
#include "support/OrganizeShapes.h"

namespace {

constexpr double kShift = 0.10000000149011612;

std::vector<D_DOT> Polygon(const CMeshPosCheckPolylin& c) {
  const D_DOT* pts = nullptr;
  long n = 0;
  c.GetPolygon(&pts, &n);
  return pts ? std::vector<D_DOT>(pts, pts + n) : std::vector<D_DOT>();
}

// The checker's polygon, point by point.
void ExpectPolygon(const CMeshPosCheckPolylin& c, const std::vector<D_DOT>& want) {
  std::vector<D_DOT> got = Polygon(c);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_DOUBLE_EQ(got[i].x, want[i].x) << i;
    EXPECT_DOUBLE_EQ(got[i].y, want[i].y) << i;
  }
}

// An end pushed kShift further along the segment arriving from `from`.
D_DOT Out(D_DOT end, D_DOT from) {
  const double len = std::hypot(end.x - from.x, end.y - from.y);
  return {end.x + kShift * (end.x - from.x) / len, end.y + kShift * (end.y - from.y) / len};
}

long Side(CMeshPosCheckBase& c, double x, double y, double z = 0.0) {
  KRO::G3D_DVertex p{x, y, z};
  return c.PosCheckPntAndMesh(&p, nullptr, nullptr, nullptr);
}

// Closes line against the box [0, 10] x [0, 10].
CMeshPosCheckPolylin Closed(std::vector<D_DOT> line) {
  tctagD3ConvexBox box{0, 10, 0, 10, -1, 1};
  CMeshPosCheckPolylin c;
  c.SetPolyWithFoldLinAndBox(line.data(), static_cast<long>(line.size()), &box);
  return c;
}

}  // namespace

// ---------------------------------------------------------------------------
// Closing a fold line

TEST(FoldLine, LeftToRightIsClosedAlongTheBottom) {
  CMeshPosCheckPolylin c = Closed({{0, 4}, {5, 6}, {10, 4}});
  const D_DOT f = Out({0, 4}, {5, 6});
  ExpectPolygon(c, {f, {5, 6}, Out({10, 4}, {5, 6}), {10, 0}, {0, 0}, f});
  EXPECT_EQ(Side(c, 5, 2), 1);    // below the line
  EXPECT_EQ(Side(c, 5, 8), -1);   // above it
  EXPECT_EQ(Side(c, 0, 3.9), 1);  // on the box's edge, still inside: ends were pushed out
}

TEST(FoldLine, OppositeSidesCloseTowardsTheMinimumCorner) {
  CMeshPosCheckPolylin rl = Closed({{10, 4}, {5, 6}, {0, 4}});
  const D_DOT r = Out({10, 4}, {5, 6}), t = Out({4, 10}, {6, 5});
  ExpectPolygon(rl, {r, {5, 6}, Out({0, 4}, {5, 6}), {0, 0}, {10, 0}, r});
  EXPECT_EQ(Side(rl, 5, 2), 1);

  CMeshPosCheckPolylin tb = Closed({{4, 10}, {6, 5}, {4, 0}});
  ExpectPolygon(tb, {t, {6, 5}, Out({4, 0}, {6, 5}), {0, 0}, {0, 10}, t});
  EXPECT_EQ(Side(tb, 2, 5), 1);  // left of the line
  EXPECT_EQ(Side(tb, 8, 5), -1);

  CMeshPosCheckPolylin bt = Closed({{4, 0}, {4, 10}});
  ExpectPolygon(bt, {{4, -kShift}, {4, 10 + kShift}, {0, 10}, {0, 0}, {4, -kShift}});
  EXPECT_EQ(Side(bt, 2, 5), 1);
}

TEST(FoldLine, AdjacentSidesCloseThroughTheirCorner) {
  struct Row {
    D_DOT f, l;  // ends on the box
    D_DOT corner;
  };
  const Row rows[] = {
      {{0, 3}, {3, 0}, {0, 0}},      // left, bottom
      {{3, 0}, {0, 3}, {0, 0}},      // bottom, left
      {{0, 7}, {3, 10}, {0, 10}},    // left, top
      {{3, 10}, {0, 7}, {0, 10}},    // top, left
      {{10, 7}, {7, 10}, {10, 10}},  // right, top
      {{7, 10}, {10, 7}, {10, 10}},  // top, right
      {{10, 3}, {7, 0}, {10, 0}},    // right, bottom
      {{7, 0}, {10, 3}, {10, 0}},    // bottom, right
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << "F (" << r.f.x << ", " << r.f.y << ") L (" << r.l.x << ", " << r.l.y << ")");
    CMeshPosCheckPolylin c = Closed({r.f, r.l});
    const D_DOT f = Out(r.f, r.l);
    ExpectPolygon(c, {f, Out(r.l, r.f), r.corner, f});
    // The cut-off corner region is inside, the far corner outside.
    const double cx = r.corner.x == 0 ? 0.5 : 9.5, cy = r.corner.y == 0 ? 0.5 : 9.5;
    EXPECT_EQ(Side(c, cx, cy), 1);
    EXPECT_EQ(Side(c, 10 - cx, 10 - cy), -1);
  }
}

TEST(FoldLine, EndsOnOneSideOffTheBoxOrClosedStayAsTheyAre) {
  for (const std::vector<D_DOT>& line :
       {std::vector<D_DOT>{{2, 10}, {5, 5}, {8, 10}},   // both on top
        std::vector<D_DOT>{{0, 2}, {5, 5}, {0, 8}},     // both on the left
        std::vector<D_DOT>{{2, 2}, {5, 5}, {8, 3}}}) {  // neither on the box
    ExpectPolygon(Closed(line), {line[0], line[1], line[2], line[0]});
  }
  CMeshPosCheckPolylin top = Closed({{2, 10}, {5, 5}, {8, 10}});
  EXPECT_EQ(Side(top, 5, 8), 1);  // inside the notch the line cuts from the top
  EXPECT_EQ(Side(top, 5, 2), -1);
  // A closed line is kept unchanged.
  const std::vector<D_DOT> ring = {{1, 1}, {5, 1}, {5, 5}, {1, 1.00000001}};
  ExpectPolygon(Closed(ring), ring);
}

TEST(FoldLine, PointsBeyondTheBoxWidenItFirst) {
  // The box is [0, 10]^2 but the line runs from x = -2 to x = 12: its ends
  // become the left and right sides of the widened box.
  const D_DOT f = Out({-2, 4}, {5, 6});
  ExpectPolygon(Closed({{-2, 4}, {5, 6}, {12, 4}}),
                {f, {5, 6}, Out({12, 4}, {5, 6}), {12, 0}, {-2, 0}, f});
}

TEST(FoldLine, MissingLineKeepsThePolygonAndCopiesAreIndependent) {
  CMeshPosCheckPolylin c = Closed({{0, 4}, {10, 4}});
  tctagD3ConvexBox box{0, 10, 0, 10, 0, 0};
  c.SetPolyWithFoldLinAndBox(nullptr, 3, &box);
  ASSERT_EQ(Polygon(c).size(), 5u);

  auto copy = std::make_unique<CMeshPosCheckPolylin>(c);
  std::unique_ptr<CMeshPosCheckBase> clone(c.Clone());
  std::vector<D_DOT> other = {{4, 0}, {4, 10}};
  c.SetPolyWithFoldLinAndBox(other.data(), 2, &box);
  EXPECT_EQ(Side(*copy, 5, 2), 1);  // still the left-right polygon
  EXPECT_EQ(Side(*clone, 5, 8), -1);
  EXPECT_EQ(Side(c, 5, 2), -1);  // now the bottom-top polygon: right of x = 4
  CMeshPosCheckPolylin empty;
  EXPECT_EQ(Side(empty, 1, 1), -2);
}

// ---------------------------------------------------------------------------
// Side codes

TEST(PlaneChecker, PointsWithinOneThousandthAreOnThePlane) {
  CMeshPosCheckPlane c;
  EXPECT_EQ(Side(c, 1, 2, 3), 0);  // no plane yet: every point on it
  double coef[4] = {0, 0, 1, -1};  // z = 1, normal +z
  c.SetPanelCoef(coef);
  c.SetPanelCoef(nullptr);
  EXPECT_EQ(Side(c, 5, 5, 1.0005), 0);
  EXPECT_EQ(Side(c, 5, 5, 0.9995), 0);
  EXPECT_EQ(Side(c, 5, 5, 1.002), 1);
  EXPECT_EQ(Side(c, 5, 5, 0.998), -1);
  EXPECT_EQ(c.PosCheckPntAndMesh(nullptr, nullptr, nullptr, nullptr), -2);
}

TEST(CurvedSurfaceChecker, OneTriangleDecidesByItsNormal) {
  std::vector<KRO::G3D_DVertex> v = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  std::vector<C3DTriData> t = {{{0, 1, 2}}};
  CMeshPosCheckCurv c;
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);  // no surface yet
  c.SetKroMeshBuf(v.data(), 3, t.data(), 1);
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), 1);
  EXPECT_EQ(Side(c, 0.2, 0.2, -1), -1);
  EXPECT_EQ(Side(c, 0.2, 0.2, 0), 0);
  t[0].v[2] = 3;  // a corner outside the vertices decides nothing
  // The checker indexes the surface as it was set: a changed surface is set
  // again (the plain scan, without the index, reads the buffers live).
  c.SetUseIndex(false);
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);
  c.SetUseIndex(true);
  c.SetKroMeshBuf(v.data(), 3, t.data(), 1);
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);
}

TEST(SolidChecker, InsideOutsideAndUnbuildableSolids) {
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<C3DTriData> tris;
  orgshapes::BoxArrays({0, 0, 0}, {2, 2, 2}, pts, tris);
  CMeshPosCheckEntity c;
  EXPECT_EQ(Side(c, 1, 1, 1), -1);  // no solid yet
  c.SetObbtObj(nullptr, pts.data(), static_cast<long>(pts.size()), tris.data(),
               static_cast<long>(tris.size()));
  EXPECT_EQ(Side(c, 0.3, 1.7, 0.5), 1);
  EXPECT_EQ(Side(c, 3, 1, 1), -1);
  EXPECT_EQ(c.PosCheckPntAndMesh(nullptr, nullptr, nullptr, nullptr), -1);
  tris[4].v[1] = 8;  // a corner outside the vertices: the solid cannot be built
  // The checker indexes the solid as it was set: a changed solid is set again.
  c.SetObbtObj(nullptr, pts.data(), static_cast<long>(pts.size()), tris.data(),
               static_cast<long>(tris.size()));
  EXPECT_EQ(Side(c, 1, 1, 1), -1);
}
