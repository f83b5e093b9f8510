// Position checkers: closing a fold line against a box, and the side codes
// of the plane, fold-line, curved-surface and solid checkers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "kromesh/organize/CMeshPosCheck.h"
#include "support/Shapes.h"

namespace {

constexpr double kShift = 0.10000000149011612;

std::vector<D_DOT> Polygon(const CMeshPosCheckPolylin& c) {
  const D_DOT* pts = nullptr;
  long n = 0;
  c.GetPolygon(&pts, &n);
  return pts ? std::vector<D_DOT>(pts, pts + n) : std::vector<D_DOT>();
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

// The line's ends are pushed kShift outwards and the polygon closed along
// the box: from opposite sides towards the minimum corner (bottom or left),
// from adjacent sides through their corner. Ends on one side, off the box,
// or a closed line stay as they are; points beyond the box widen it first.
TEST(FoldLine, ClosedAlongTheBoxWithTheSidesOfThePolygon) {
  struct Case {
    std::vector<D_DOT> line, polygon, in, out;
  };
  const D_DOT a{5, 6}, L = Out({0, 4}, a), R = Out({10, 4}, a), T = Out({4, 10}, {6, 5}),
                       B = Out({4, 0}, {6, 5}), WL = Out({-2, 4}, a), WR = Out({12, 4}, a);
  const std::vector<D_DOT> ring = {{1, 1}, {5, 1}, {5, 5}, {1, 1.00000001}};
  // clang-format off
  std::vector<Case> cases = {
      {{{0, 4}, a, {10, 4}}, {L, a, R, {10, 0}, {0, 0}, L}, {{5, 2}, {0, 3.9}}, {{5, 8}}},
      {{{10, 4}, a, {0, 4}}, {R, a, L, {0, 0}, {10, 0}, R}, {{5, 2}}, {}},
      {{{4, 10}, {6, 5}, {4, 0}}, {T, {6, 5}, B, {0, 0}, {0, 10}, T}, {{2, 5}}, {{8, 5}}},
      {{{4, 0}, {4, 10}}, {{4, -kShift}, {4, 10 + kShift}, {0, 10}, {0, 0}, {4, -kShift}}, {{2, 5}}, {}},
      {{{2, 10}, a, {8, 10}}, {{2, 10}, a, {8, 10}, {2, 10}}, {{5, 8}}, {{5, 2}}},
      {{{0, 2}, a, {0, 8}}, {{0, 2}, a, {0, 8}, {0, 2}}, {}, {}},
      {{{2, 2}, a, {8, 3}}, {{2, 2}, a, {8, 3}, {2, 2}}, {}, {}},
      {ring, ring, {}, {}},
      {{{-2, 4}, a, {12, 4}}, {WL, a, WR, {12, 0}, {-2, 0}, WL}, {}, {}},
  };
  const D_DOT adjacent[8][3] = {
      {{0, 3}, {3, 0}, {0, 0}}, {{3, 0}, {0, 3}, {0, 0}}, {{0, 7}, {3, 10}, {0, 10}},
      {{3, 10}, {0, 7}, {0, 10}}, {{10, 7}, {7, 10}, {10, 10}}, {{7, 10}, {10, 7}, {10, 10}},
      {{10, 3}, {7, 0}, {10, 0}}, {{7, 0}, {10, 3}, {10, 0}}};
  // clang-format on
  for (const auto& r : adjacent) {
    // The cut-off corner region is inside, the far corner outside.
    const D_DOT near{r[2].x == 0 ? 0.5 : 9.5, r[2].y == 0 ? 0.5 : 9.5};
    cases.push_back({{r[0], r[1]},
                     {Out(r[0], r[1]), Out(r[1], r[0]), r[2], Out(r[0], r[1])},
                     {near},
                     {{10 - near.x, 10 - near.y}}});
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    CMeshPosCheckPolylin c = Closed(cases[i].line);
    const std::vector<D_DOT> got = Polygon(c), &want = cases[i].polygon;
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k)
      EXPECT_TRUE(got[k].x == want[k].x && got[k].y == want[k].y) << k;
    for (const D_DOT& p : cases[i].in) EXPECT_EQ(Side(c, p.x, p.y), 1) << p.x << " " << p.y;
    for (const D_DOT& p : cases[i].out) EXPECT_EQ(Side(c, p.x, p.y), -1) << p.x << " " << p.y;
  }
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
  for (auto r : {std::pair<double, long>{1.0005, 0}, {0.9995, 0}, {1.002, 1}, {0.998, -1}})
    EXPECT_EQ(Side(c, 5, 5, r.first), r.second) << r.first;
  EXPECT_EQ(c.PosCheckPntAndMesh(nullptr, nullptr, nullptr, nullptr), -2);
}

TEST(CurvedSurfaceChecker, OneTriangleDecidesByItsNormal) {
  std::vector<KRO::G3D_DVertex> v = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  std::vector<C3DTriData> t = {{{0, 1, 2}}};
  CMeshPosCheckCurv c;
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);  // no surface yet
  c.SetKroMeshBuf(v.data(), 3, t.data(), 1);
  for (double z : {1.0, -1.0, 0.0}) EXPECT_EQ(Side(c, 0.2, 0.2, z), long(z)) << z;
  t[0].v[2] = 3;  // a corner outside the vertices decides nothing
  // The checker indexes the surface as it was set: a changed surface is set
  // again (the plain scan, without the index, reads the buffers live).
  c.SetUseIndex(false);
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);
  c.SetUseIndex(true);
  c.SetKroMeshBuf(v.data(), 3, t.data(), 1);
  EXPECT_TRUE(c.HasIndex());
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);
  t[0].v[2] = 2;  // repaired and set again
  c.SetKroMeshBuf(v.data(), 3, t.data(), 1);
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), 1);
  c.SetKroMeshBuf(nullptr, 0, nullptr, 0);
  EXPECT_FALSE(c.HasIndex());
  EXPECT_EQ(Side(c, 0.2, 0.2, 1), -2);
}

TEST(SolidChecker, InsideOutsideAndUnbuildableSolids) {
  shapes::TriSoup box = shapes::BoxSoup({0, 0, 0}, {2, 2, 2});
  CMeshPosCheckEntity c;
  EXPECT_EQ(Side(c, 1, 1, 1), -1);  // no solid yet
  c.SetObbtObj(nullptr, box.pts.data(), 8, box.tris.data(), 12);
  EXPECT_EQ(Side(c, 0.3, 1.7, 0.5), 1);
  box.tris[4].v[1] = 8;  // a corner outside the vertices: the solid cannot be built
  // The checker indexes the solid as it was set: a changed solid is set again.
  c.SetObbtObj(nullptr, box.pts.data(), 8, box.tris.data(), 12);
  EXPECT_EQ(Side(c, 1, 1, 1), -1);
}
