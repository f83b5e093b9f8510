// Intersection engine: intersection points, cut lines, re-triangulation and
// the cut mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "support/IntersectProbe.h"
#include "support/Shapes.h"

using itest::V;
using Probe = CMeshIntersectProbe;
using Seg = Probe::Seg;

namespace {

using itest::CutRig;

bool Near(const V& p, const V& q, double tol = 1e-12) {
  return std::fabs(p.x - q.x) < tol && std::fabs(p.y - q.y) < tol && std::fabs(p.z - q.z) < tol;
}

const std::vector<V> kFlatTri = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
// Vertical triangle in the plane x = 1 crossing kFlatTri from (1, 0, 0) to
// (1, 2.5, 0).
const std::vector<V> kWallTri = {{1, -1, -1}, {1, 3, -1}, {1, 1, 3}};

// A mesh of the one triangle pts, wound 0-1-2 or, when flipped, 0-2-1.
KroSimpleMesh One(const std::vector<V>& pts, bool flipped = false) {
  return itest::MakeMesh(pts, {flipped ? C3DTriData{{0, 2, 1}} : C3DTriData{{0, 1, 2}}});
}

}  // namespace

// ---------------------------------------------------------------------------
// Cut-line tracing over hand-made segment chains

TEST(CutLines, HandMadeChainsTraceToTheirLines) {
  using Lines = std::vector<std::vector<long>>;
  struct Case {
    const char* name;
    long n;
    std::vector<Seg> segs;
    Lines want;
  } cases[] = {
      // clang-format off
      {"open line", 3, {{0, 1}, {1, 2}}, {{0, 1, 2}}},
      {"closed loop", 3, {{0, 1}, {1, 2}, {2, 0}}, {{0, 1, 2, 0}}},
      {"open line first, then loop", 6, {{3, 4}, {1, 2}, {4, 5}, {0, 1}, {5, 3}}, {{0, 1, 2}, {3, 4, 5, 3}}},
      // Parallel pairs record (last point, -1); point 3 lies on no segment.
      {"segments without a second point", 4, {{0, 1}, {1, -1}, {-1, -1}, {1, 2}, {3, -1}}, {{0, 1, 2}}},
      {"odd hub", 4, {{0, 1}, {0, 2}, {0, 3}}, {}},
      {"four branches", 5, {{0, 1}, {0, 2}, {0, 3}, {0, 4}}, {{1, 0, 2}, {3, 0, 4}}},
      {"two lollipops", 8, {{0, 1}, {1, 2}, {2, 3}, {3, 1}, {4, 5}, {5, 6}, {6, 7}, {7, 5}},
       {{0, 1, 2, 3, 1}, {4, 5, 6, 7, 5}}},
      // clang-format on
  };
  for (const Case& c : cases) {
    CMeshIntersect e;
    Probe::SetPointCount(e, c.n, c.segs);
    e.CalAllCutLines();
    EXPECT_EQ(e.GetIntersectLinNum(), 0) << c.name;  // tracing is off by default
    e.SetCalIntsersecLinFlag(1);
    e.CalAllCutLines();
    e.CalAllCutLines();  // tracing again gives the same lines
    EXPECT_EQ(Probe::Lines(e), c.want) << c.name;
    EXPECT_FALSE(Probe::AnyUsed(e)) << c.name;
  }
  // A loop with a spur of degree three and points beyond every segment.
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  Probe::SetPointCount(e, 9, {{0, 1}, {1, 2}, {2, 0}, {2, 3}, {3, 4}, {4, 2}});
  e.CalAllCutLines();
  for (const std::vector<long>& l : Probe::Lines(e))
    for (long k : l) EXPECT_TRUE(k >= 0 && k < 9);
}

TEST(CutLines, Getters) {
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  std::vector<long> line;
  EXPECT_EQ(e.GetLongestIntersectLin(&line), -1);
  // Lines of 3, 5 and 5 entries; the first of the longest wins.
  Probe::SetPointCount(
      e, 12, {{0, 1}, {1, 2}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {8, 9}, {9, 10}, {10, 11}, {11, 8}});
  e.CalAllCutLines();
  EXPECT_EQ(e.GetLongestIntersectLin(&line), 1);
  EXPECT_EQ(line, (std::vector<long>{3, 4, 5, 6, 7}));
  std::vector<D_DOT> plan;
  ASSERT_EQ(e.GetIntersectLin(0, &plan), 1);
  EXPECT_EQ(plan.size(), 3u);
  EXPECT_EQ(e.GetIntersectLin(3, &plan) + e.GetIntersectLin(-1, &line), 0);
}

TEST(CutLines, CopiesOwnTheirChain) {
  auto src = std::make_unique<CMeshIntersect>();
  src->SetCalIntsersecLinFlag(1);
  Probe::SetPointCount(*src, 3, {{0, 1}, {1, 2}});
  CMeshIntersect copy(*src);
  CMeshIntersect assigned;
  Probe::SetPointCount(assigned, 2, {{0, 1}});  // its own chain is freed on assignment
  assigned = *src;
  assigned = assigned;
  src.reset();  // frees the source's chain; the copies must not read it
  copy.CalAllCutLines();
  assigned.CalAllCutLines();
  EXPECT_EQ(Probe::Lines(copy)[0], (std::vector<long>{0, 1, 2}));
  EXPECT_EQ(Probe::Chain(assigned), (std::vector<Seg>{{0, 1}, {1, 2}}));
}

// ---------------------------------------------------------------------------
// Intersection points of triangle pairs

TEST(Intersect, SharedPointsAndSegmentsAreStoredOnce) {
  // Two cutting triangles sharing the edge through (1, 1, z): both pairs
  // find the point on it, and the second of two identical cutters finds the
  // same segment again.
  const std::vector<V> wall = {{1, -1, -1}, {1, 1, -1}, {1, 1, 1},
                               {1, -1, 1},  {1, 3, -1}, {1, 3, 1}};
  CutRig rig;
  ASSERT_EQ(
      rig.Intersect(
          One(kFlatTri),
          itest::MakeMesh(wall, {{{0, 1, 2}}, {{0, 2, 3}}, {{1, 4, 5}}, {{1, 5, 2}}, {{1, 5, 2}}})),
      1);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  // Points at y = 0, 1, 2 and 3 along x = 1: y = 1 and y = 2 are found by
  // two and three pairs.
  for (size_t i = 0; i < dots.size(); ++i)
    for (size_t k = i + 1; k < dots.size(); ++k) EXPECT_FALSE(Near(dots[i], dots[k], 1e-3));
  const std::vector<long>& pts = Probe::CutTriPnts(rig.engine)[0];
  EXPECT_EQ(pts.size(), 3 + dots.size());  // each point once in the cut triangle
  ASSERT_EQ(rig.engine.GetIntersectLinNum(), 1);
  EXPECT_EQ(Probe::Lines(rig.engine)[0].size(), dots.size());
}

TEST(Intersect, TrianglesSharingAnEdgeMeetAtTheExactVertices) {
  // The cutting triangle is folded up about the cut triangle's edge
  // (0,0,0)-(4,0,0).
  const std::vector<V> fold = {{0, 0, 0}, {4, 0, 0}, {2, -1, 3}};
  CutRig rig;
  ASSERT_EQ(rig.Intersect(One(kFlatTri), One(fold)), 1);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  ASSERT_EQ(dots.size(), 2u);
  for (const V& p : dots) EXPECT_TRUE(itest::Same(p, kFlatTri[0]) || itest::Same(p, kFlatTri[1]));
  EXPECT_FALSE(itest::Same(dots[0], dots[1]));
  // The cut runs along the triangle's own edge: it stays one triangle.
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  EXPECT_EQ(rig.Result().m_triangles.size(), 1u);
  EXPECT_EQ(rig.Result().m_positions.size(), 3u);
  EXPECT_NEAR(itest::Area(rig.Result()), 8.0, 1e-12);
  EXPECT_TRUE(itest::IndicesValid(rig.Result()));
}

TEST(Intersect, CoplanarPairsCutAlongTheOverlap) {
  // Whatever their facing: the corner (1, 1) of the other triangle and the
  // crossings of the edges, (3, 1) and (1, 3), joined along the other
  // triangle's edges, which cut the overlap out of this one.
  const std::vector<V> shifted = {{1, 1, 0}, {5, 1, 0}, {1, 5, 0}};
  for (bool same : {true, false}) {
    CutRig rig;
    ASSERT_EQ(rig.Intersect(One(kFlatTri), One(shifted, !same)), 1);
    std::vector<V> dots;
    rig.engine.GetIntersectDot(&dots);
    ASSERT_EQ(dots.size(), 3u);
    std::vector<long> line;
    ASSERT_EQ(rig.engine.GetIntersectLin(0, &line), 1);
    EXPECT_EQ(line.size(), 3u);
    EXPECT_TRUE(Near(dots[line[1]], {1, 1, 0})) << same;
    ASSERT_EQ(rig.engine.TranglateMdl(), 1);
    EXPECT_NEAR(itest::Area(rig.Result()), 8.0, 1e-12);
    EXPECT_TRUE(itest::IndicesValid(rig.Result()));
    const std::vector<signed char>& cop = rig.engine.GetCoplanarFlags();
    ASSERT_EQ(cop.size(), rig.Result().m_triangles.size());
    double onOther = 0;
    for (size_t i = 0; i < cop.size(); ++i)
      if (cop[i] == (same ? 1 : -1)) onOther += shapes::Norm(itest::AreaVec(rig.Result(), i));
    EXPECT_NEAR(onOther, 2.0, 1e-12) << same;
  }
}

TEST(Intersect, NoCollisionFindsNothing) {
  CutRig rig;
  std::vector<V> far = kWallTri;
  for (V& p : far) p.x += 100;
  EXPECT_EQ(rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 1, 2}}, {{0, 2, 1}}}),
                          itest::MakeMesh(far, {{{0, 1, 2}}})),
            -1);
  EXPECT_EQ(rig.engine.GetIntersectLinNum(), 0);
  EXPECT_EQ(rig.engine.CalIntersectDots(nullptr, nullptr), -1);
}

// ---------------------------------------------------------------------------
// Re-triangulation and the cut mesh

TEST(Retriangulate, CutTriangleIsCoveredExactlyWithTheCutAsEdge) {
  for (bool flipped : {false, true}) {
    SCOPED_TRACE(flipped ? "facing down" : "facing up");
    CutRig rig;
    KroSimpleMesh cut = One(kFlatTri, flipped);
    cut.m_colours[0] = {KRO::COLOR4(1, 0, 0, 1), KRO::COLOR4(0, 1, 0, 1), KRO::COLOR4(0, 0, 1, 1)};
    cut.m_texCoords[0] = {{0, 0}, {1, 0}, {0, 1}};
    ASSERT_EQ(rig.Intersect(cut, One(kWallTri)), 1);
    // One exact segment; the result mesh holds the source positions, then
    // the points.
    std::vector<V> dots;
    ASSERT_EQ(rig.engine.GetIntersectDot(&dots), 1);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_TRUE(Near(dots[flipped ? 1 : 0], {1, 0, 0}) && Near(dots[flipped ? 0 : 1], {1, 2.5, 0}));
    ASSERT_EQ(rig.Result().m_positions.size(), 5u);
    EXPECT_TRUE(Near(rig.Result().m_positions[4], dots[1]));
    ASSERT_EQ(rig.engine.TranglateMdl(), 1);
    KroSimpleMesh& m = rig.Result();
    EXPECT_EQ(m.m_positions.size(), 5u);
    EXPECT_GE(m.m_triangles.size(), 3u);
    // The cut ends inside: area kept, every triangle facing as the source.
    ASSERT_TRUE(itest::IndicesValid(m));
    EXPECT_NEAR(itest::Area(m), 8.0, 1e-9);
    for (size_t i = 0; i < m.m_triangles.size(); ++i)
      EXPECT_GT(itest::AreaVec(m, i).z * (flipped ? -1 : 1), 0) << i;
    EXPECT_TRUE(itest::HasEdgeAt(m, m.m_positions[3], m.m_positions[4]));
    if (flipped) continue;
    // Attributes follow the positions: colour 0 copied, texture interpolated.
    ASSERT_EQ(m.m_colours[0].size(), 5u);
    EXPECT_EQ(m.m_colours[0][4].r, 1.0f);
    ASSERT_EQ(m.m_texCoords[0].size(), 5u);
    EXPECT_NEAR(m.m_texCoords[0][3].u, 0.25, 1e-6);  // (1, 0, 0) on the edge u = x / 4
    EXPECT_NEAR(m.m_texCoords[0][4].v, 0.625, 1e-6);
    EXPECT_EQ(m.m_texCoords[1].size(), 0u);
  }
}

TEST(Retriangulate, TriangleWithoutFrameStays) {
  // Corner moved onto the opposite edge after the points were found: no
  // frame can be built, so the triangle stays.
  CutRig rig;
  ASSERT_EQ(rig.Intersect(One({{0, 0, 0}, {4, 0, 1}, {0, 4, 2}}), One(kWallTri)), 1);
  rig.Result().m_positions[0] = {2, 2, 1.5};
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  ASSERT_EQ(rig.Result().m_triangles.size(), 1u);
  EXPECT_EQ(rig.Result().m_positions.size(), 3u);
  EXPECT_EQ(Probe::CutFlags(rig.engine)[0], 0);
}

TEST(Retriangulate, ManyCrossingCutsInOneTriangleGrowTheBuffers) {
  // A grid of walls over one large triangle: the cut segments cross each
  // other, and the triangulator adds more than a hundred points.
  const std::vector<V> big = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}};
  KroSimpleMesh walls;
  for (int i = 0; i < 24; ++i) {
    const double c = 2.0 + 2.5 * (i / 2);
    const long b = static_cast<long>(walls.m_positions.size());
    if (i % 2)
      walls.m_positions.insert(walls.m_positions.end(),
                               {{c, -1, -1}, {c, 101, -1}, {c, 101, 1}, {c, -1, 1}});
    else
      walls.m_positions.insert(walls.m_positions.end(),
                               {{-1, c, -1}, {101, c, -1}, {101, c, 1}, {-1, c, 1}});
    walls.m_triangles.insert(walls.m_triangles.end(), {{{b, b + 1, b + 2}}, {{b, b + 2, b + 3}}});
  }
  CutRig rig;
  ASSERT_EQ(rig.Intersect(One(big), walls), 1);
  std::vector<V> before;
  rig.engine.GetIntersectDot(&before);
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  std::vector<V> after;
  rig.engine.GetIntersectDot(&after);
  EXPECT_GE(after.size(), before.size() + 144);
  KroSimpleMesh& m = rig.Result();
  EXPECT_TRUE(itest::IndicesValid(m));
  EXPECT_NEAR(itest::Area(m), 5000.0, 1e-8);
  for (size_t i = 0; i < m.m_triangles.size(); ++i) EXPECT_GT(itest::AreaVec(m, i).z, 0);
}

TEST(Retriangulate, ReferencePointMovesTheRegisteredPoints) {
  CutRig rig;
  rig.a.SetRefDot({100, 200, 300});
  ASSERT_EQ(rig.Intersect(One(kFlatTri), One(kWallTri)), 1);
  CMeshIntersect copy(rig.engine);
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  ASSERT_EQ(dots.size(), 2u);
  EXPECT_TRUE(Near(dots[1], {101, 202.5, 300}));
  // A second run finds the cut consumed and moves nothing.
  EXPECT_EQ(rig.engine.TranglateMdl(), 0);
  rig.engine.GetIntersectDot(&dots);
  EXPECT_TRUE(Near(dots[1], {101, 202.5, 300}));
  // The copy kept its own chain and its own points.
  EXPECT_EQ(Probe::Chain(copy), (std::vector<Seg>{{0, 1}}));
  copy.GetIntersectDot(&dots);
  EXPECT_TRUE(Near(dots[1], {1, 2.5, 0}));
}
