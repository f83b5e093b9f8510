// Closed surfaces stay closed through the intersection stage: after the
// intersection points are merged within the data precision and every cut
// triangle is re-triangulated, each edge is still used by exactly two
// triangles and the area is unchanged.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/CutChecks.h"
#include "support/IntersectProbe.h"
#include "support/Shapes.h"

using itest::V;

namespace {

// One direction of a cut, run through re-triangulation.
struct Cut : itest::CutRig {
  long found = 0, tri = 0;
  Cut(const KroSimpleMesh& cut, const KroSimpleMesh& by) {
    found = Intersect(cut, by);
    if (found == 1) tri = engine.TranglateMdl();
  }
  bool OneClosedLoop() {
    std::vector<std::vector<long>> lines;
    engine.GetIntersectLin(&lines);
    return lines.size() == 1 && lines[0].front() == lines[0].back();
  }
};

KroSimpleMesh Sphere(const V& c, double r, int nLat) {
  return shapes::ToMesh(shapes::SphereSoup(c, r, nLat, 2 * nLat));
}

// Checks a re-triangulated closed mesh: closed once coincident points are
// welded (1e-9), nothing degenerate, area kept.
void ExpectClosed(KroSimpleMesh& m, double area0) {
  ASSERT_TRUE(itest::IndicesValid(m));
  const shapes::EdgeReport r = shapes::CheckEdges(shapes::SoupOf(m), 1e-9);
  EXPECT_TRUE(r.closed()) << r.boundary << " open, " << r.nonManifold << " over-used, "
                          << r.misoriented << " misoriented";
  EXPECT_EQ(r.degenerate, 0);
  EXPECT_NEAR(itest::Area(m), area0, 1e-9 * area0);
}

}  // namespace

TEST(Watertight, SphereCutBySphereStaysClosedWithItsArea) {
  cutchecks::Lcg rng{20261206};
  int loops = 0;
  for (int nLat : {8, 10, 12}) {
    const KroSimpleMesh cut = Sphere({0, 0, 0}, 1, nLat);
    const double area0 = itest::Area(cut);
    for (int k = 0; k < 30; ++k) {
      const V off = {0.9 + rng.Next(0.3), rng.Next(0.5), rng.Next(0.5)};
      Cut c(cut, Sphere(off, 1, nLat + 2 * (k % 2)));
      SCOPED_TRACE(::testing::Message() << "nLat " << nLat << " k " << k);
      ASSERT_TRUE(c.found == 1 && c.tri == 1) << c.found << " " << c.tri;
      ExpectClosed(c.Result(), area0);
      loops += c.OneClosedLoop();
    }
  }
  // Two spheres meet along one closed loop. Where the loop passes within
  // about twice the precision of a sphere vertex, points merged onto that
  // vertex can leave a neighbouring point just beyond the precision, and
  // the loop then reads as one open line; the mesh stays closed.
  EXPECT_GE(loops, 84);
}

TEST(Watertight, SphereCutByPlanesNearItsVertices) {
  // Planes through a point within the data precision of a sphere vertex:
  // the crossings with the edges around that vertex merge.
  const KroSimpleMesh cut = Sphere({0, 0, 0}, 1, 10);
  const double area0 = itest::Area(cut);
  cutchecks::Lcg rng{77};
  int loops = 0;
  for (int k = 0; k < 40; ++k) {
    const V& v = cut.m_positions[1 + (k * 7) % (cut.m_positions.size() - 2)];
    const V through = {v.x + rng.Next(0.0008), v.y + rng.Next(0.0008), v.z + rng.Next(0.0008)};
    // Two triangles spanning the plane far beyond the sphere.
    const V n = shapes::Normalized({rng.Next(1), rng.Next(1), rng.Next(1)});
    const V u = shapes::Normalized(itest::Cross(n, std::fabs(n.x) < 0.9 ? V{1, 0, 0} : V{0, 1, 0}));
    const V w = itest::Cross(n, u);
    auto at = [&](double a, double b) {
      return shapes::Add(through, shapes::Add(shapes::Scale(u, a), shapes::Scale(w, b)));
    };
    const KroSimpleMesh plane =
        itest::MakeMesh({at(-5, -5), at(5, -5), at(5, 5), at(-5, 5)}, {{{0, 1, 2}}, {{0, 2, 3}}});
    Cut c(cut, plane);
    SCOPED_TRACE(::testing::Message() << "k " << k);
    ASSERT_TRUE(c.found == 1 && c.tri == 1) << c.found << " " << c.tri;
    ExpectClosed(c.Result(), area0);
    // One plane cuts a sphere along one closed loop (see above for the
    // cases that read as an open line).
    loops += c.OneClosedLoop();
  }
  EXPECT_GE(loops, 36);
}

TEST(Watertight, SolidHalvesCutSeparatelyMeetAlongTheirSeam) {
  // A solid's surfaces are cut one at a time; a cut line crossing their
  // common boundary must leave the same point on it in both.
  cutchecks::Lcg rng{4242};
  for (int k = 0; k < 12; ++k) {
    const int nLat = 8 + 2 * (k % 3);
    const V off = {0.6 + rng.Next(0.2), rng.Next(0.5), rng.Next(0.4)};
    const KroSimpleMesh by = Sphere(off, 1, nLat + 2);
    shapes::TriSoup both;
    double area0 = 0;
    for (int half = 0; half < 2; ++half) {
      // The northern (half 0) or southern half by the height of each
      // triangle's centroid; every point is kept, unused ones included.
      KroSimpleMesh h = Sphere({0, 0, 0}, 1, nLat);
      auto other = [&](const C3DTriData& t) {
        return (h.m_positions[t.v[0]].z + h.m_positions[t.v[1]].z + h.m_positions[t.v[2]].z >= 0) !=
               (half == 0);
      };
      h.m_triangles.erase(std::remove_if(h.m_triangles.begin(), h.m_triangles.end(), other),
                          h.m_triangles.end());
      area0 += itest::Area(h);
      Cut c(h, by);
      ASSERT_TRUE(c.found == 1 && c.tri == 1) << c.found << " " << c.tri;
      for (C3DTriData t : c.Result().m_triangles) {
        for (long& v : t.v) v += static_cast<long>(both.pts.size());
        both.tris.push_back(t);
      }
      both.pts.insert(both.pts.end(), c.Result().m_positions.begin(), c.Result().m_positions.end());
    }
    SCOPED_TRACE(::testing::Message() << "k " << k);
    const shapes::EdgeReport r = shapes::CheckEdges(both, 1e-9);
    EXPECT_TRUE(r.closed()) << r.boundary << " open, " << r.nonManifold << " over-used";
    EXPECT_NEAR(shapes::TotalArea(both), area0, 1e-9 * area0);
  }
}

TEST(Watertight, GridCutNearItsVerticesKeepsAreaAndOneLine) {
  // A wall passing within the data precision of grid vertices: the line
  // stays one line and the grid's area is unchanged.
  auto z = [](double x, double y) { return 0.02 * x - 0.03 * y + 0.001 * x * y; };
  const KroSimpleMesh grid = shapes::ToMesh(shapes::GridSoup(40, 40, 0, 0, 0.25, 0.25, z));
  const double area0 = itest::Area(grid);
  cutchecks::Lcg rng{9};
  for (int k = 0; k < 10; ++k) {
    // Through grid vertex (2.5 + 0.25 k, 1.25) shifted by less than 0.001,
    // along a direction that meets further vertices closely too.
    const double x0 = 2.5 + 0.25 * k + rng.Next(0.0009), y0 = 1.25 + rng.Next(0.0009);
    const double dx = 1.0 + rng.Next(0.001), dy = 2.0;
    const std::vector<V> wall = {{x0 - 2 * dx, y0 - 2 * dy, -10},
                                 {x0 + 6 * dx, y0 + 6 * dy, -10},
                                 {x0 + 6 * dx, y0 + 6 * dy, 10},
                                 {x0 - 2 * dx, y0 - 2 * dy, 10}};
    Cut c(grid, itest::MakeMesh(wall, {{{0, 1, 2}}, {{0, 2, 3}}}));
    SCOPED_TRACE(::testing::Message() << "k " << k);
    ASSERT_TRUE(c.found == 1 && c.tri == 1) << c.found << " " << c.tri;
    KroSimpleMesh& m = c.Result();
    ASSERT_TRUE(itest::IndicesValid(m));
    EXPECT_NEAR(itest::Area(m), area0, 1e-9 * area0);
    EXPECT_EQ(c.engine.GetIntersectLinNum(), 1);
    std::vector<V> dots;  // every point on the wall and the grid, up to the snapping
    c.engine.GetIntersectDot(&dots);
    for (const V& p : dots)
      EXPECT_TRUE(std::fabs((p.x - x0) * dy - (p.y - y0) * dx) < 3e-3 &&
                  std::fabs(p.z - z(p.x, p.y)) < 1e-3);
    const shapes::EdgeReport r = shapes::CheckEdges(shapes::SoupOf(m), 1e-9);
    EXPECT_EQ(r.nonManifold, 0);
    EXPECT_EQ(r.misoriented, 0);
    EXPECT_EQ(r.degenerate, 0);
    // Open edges only along the grid's border (160), which the cut splits
    // twice.
    EXPECT_EQ(r.boundary, 162);
  }
}
