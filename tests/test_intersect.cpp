// Intersection engine: intersection points, cut lines, re-triangulation and
// the cut mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/IntersectProbe.h"
#include "support/Shapes.h"

using itest::V;
using Probe = CMeshIntersectProbe;
using Seg = Probe::Seg;

namespace {

// One direction of a cut: model a cut by model b.
struct CutRig {
  CObbtSurface a, b;
  CObbtObjProcc procc;
  CMeshIntersect engine;
  KroSimpleMesh source;

  long Intersect(const KroSimpleMesh& cut, const KroSimpleMesh& cutting, double prec = 0.001) {
    source = cut;
    KroSimpleMesh mb = cutting;
    EXPECT_EQ(a.BuildMeshObbt(&source), 0);
    EXPECT_EQ(b.BuildMeshObbt(&mb), 0);
    a.SetDataPrec(prec);
    procc.ObbtCollide(&a, &b, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
    engine.SetCalIntsersecLinFlag(1);
    return engine.CalIntersectDots(&procc, a.GetCutMesh());
  }
  KroSimpleMesh& Result() { return *a.GetCutMesh(); }
};

bool Near(const V& p, const V& q, double tol = 1e-12) {
  return std::fabs(p.x - q.x) < tol && std::fabs(p.y - q.y) < tol && std::fabs(p.z - q.z) < tol;
}

const std::vector<V> kFlatTri = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
// Vertical triangle in the plane x = 1 crossing kFlatTri from (1, 0, 0) to
// (1, 2.5, 0).
const std::vector<V> kWallTri = {{1, -1, -1}, {1, 3, -1}, {1, 1, 3}};

}  // namespace

// ---------------------------------------------------------------------------
// Cut-line tracing over hand-made segment chains

TEST(CutLines, OpenLineFromTwoSegments) {
  CMeshIntersect e;
  Probe::SetPointCount(e, 3, {{0, 1}, {1, 2}});
  e.CalAllCutLines();
  EXPECT_EQ(e.GetIntersectLinNum(), 0);  // tracing is off by default
  e.SetCalIntsersecLinFlag(1);
  int flag = 0;
  e.GetCalIntsersecLinFlag(flag);
  EXPECT_EQ(flag, 1);
  e.CalAllCutLines();
  ASSERT_EQ(e.GetIntersectLinNum(), 1);
  EXPECT_EQ(Probe::Lines(e)[0], (std::vector<long>{0, 1, 2}));
  EXPECT_FALSE(Probe::AnyUsed(e));
}

TEST(CutLines, ClosedLoopRepeatsItsFirstPoint) {
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  Probe::SetPointCount(e, 3, {{0, 1}, {1, 2}, {2, 0}});
  e.CalAllCutLines();
  ASSERT_EQ(e.GetIntersectLinNum(), 1);
  EXPECT_EQ(Probe::Lines(e)[0], (std::vector<long>{0, 1, 2, 0}));
}

TEST(CutLines, OpenLineFirstThenLoopAndOutOfOrderSegments) {
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  Probe::SetPointCount(e, 6, {{3, 4}, {1, 2}, {4, 5}, {0, 1}, {5, 3}});
  EXPECT_EQ(e.CalAllCutLines(), 1);  // the open line ended at end point 1 (point 2)
  ASSERT_EQ(e.GetIntersectLinNum(), 2);
  EXPECT_EQ(Probe::Lines(e)[0], (std::vector<long>{0, 1, 2}));
  EXPECT_EQ(Probe::Lines(e)[1], (std::vector<long>{3, 4, 5, 3}));
  // Tracing again over the same chain gives the same lines.
  e.CalAllCutLines();
  EXPECT_EQ(Probe::Lines(e)[1], (std::vector<long>{3, 4, 5, 3}));
}

TEST(CutLines, SegmentsWithoutSecondPointAreNeverFollowed) {
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  // Parallel pairs record (last point, -1); point 3 lies on no segment.
  Probe::SetPointCount(e, 4, {{0, 1}, {1, -1}, {-1, -1}, {1, 2}, {3, -1}});
  e.CalAllCutLines();
  ASSERT_EQ(e.GetIntersectLinNum(), 1);
  EXPECT_EQ(Probe::Lines(e)[0], (std::vector<long>{0, 1, 2}));
}

TEST(CutLines, BranchingAndDanglingSegmentsStillStop) {
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  // Three end points around a point of degree three: odd, no line.
  Probe::SetPointCount(e, 4, {{0, 1}, {0, 2}, {0, 3}});
  e.CalAllCutLines();
  EXPECT_EQ(e.GetIntersectLinNum(), 0);

  // Four branches: two lines through the hub.
  Probe::SetPointCount(e, 5, {{0, 1}, {0, 2}, {0, 3}, {0, 4}});
  e.CalAllCutLines();
  ASSERT_EQ(e.GetIntersectLinNum(), 2);
  EXPECT_EQ(Probe::Lines(e)[0], (std::vector<long>{1, 0, 2}));
  EXPECT_EQ(Probe::Lines(e)[1], (std::vector<long>{3, 0, 4}));

  // Two lollipops: each walk runs into its own loop and ends there.
  Probe::SetPointCount(e, 8, {{0, 1}, {1, 2}, {2, 3}, {3, 1}, {4, 5}, {5, 6}, {6, 7}, {7, 5}});
  e.CalAllCutLines();
  ASSERT_EQ(e.GetIntersectLinNum(), 2);
  EXPECT_EQ(Probe::Lines(e)[0], (std::vector<long>{0, 1, 2, 3, 1}));
  EXPECT_EQ(Probe::Lines(e)[1], (std::vector<long>{4, 5, 6, 7, 5}));
  EXPECT_FALSE(Probe::AnyUsed(e));

  // A loop with a spur of degree three and points beyond every segment.
  Probe::SetPointCount(e, 9, {{0, 1}, {1, 2}, {2, 0}, {2, 3}, {3, 4}, {4, 2}});
  e.CalAllCutLines();
  for (const std::vector<long>& l : Probe::Lines(e))
    for (long k : l) {
      EXPECT_GE(k, 0);
      EXPECT_LT(k, 9);
    }
}

TEST(CutLines, Getters) {
  CMeshIntersect e;
  e.SetCalIntsersecLinFlag(1);
  std::vector<long> line;
  std::vector<D_DOT> plan;
  EXPECT_EQ(e.GetLongestIntersectLin(&line), -1);
  EXPECT_EQ(e.GetIntersectLin(0, &plan), 0);
  // Lines of 3, 5 and 5 entries.
  std::vector<V> dots;
  for (int i = 0; i < 12; ++i) dots.push_back({double(i), 2.0 * i, 3.0 * i});
  Probe::SetPointsAndSegs(
      e, dots,
      {{0, 1}, {1, 2}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {8, 9}, {9, 10}, {10, 11}, {11, 8}});
  e.CalAllCutLines();
  ASSERT_EQ(e.GetIntersectLinNum(), 3);
  EXPECT_EQ(e.GetLongestIntersectLin(&line), 1);
  EXPECT_EQ(line, (std::vector<long>{3, 4, 5, 6, 7}));
  ASSERT_EQ(e.GetIntersectLin(0, &plan), 1);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[2].x, 2.0);
  EXPECT_EQ(plan[2].y, 4.0);
  std::vector<V> pts;
  ASSERT_EQ(e.GetIntersectLin(2, &pts), 1);
  EXPECT_EQ(pts.size(), 5u);
  EXPECT_EQ(pts.back().z, 24.0);
  EXPECT_EQ(e.GetIntersectLin(3, &pts), 0);
  EXPECT_EQ(e.GetIntersectLin(-1, &line), 0);
  EXPECT_EQ(e.GetIntersectDot(nullptr), -1);
  std::vector<std::vector<long>> all;
  EXPECT_EQ(e.GetIntersectLin(&all), 1);
  EXPECT_EQ(all.size(), 3u);
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
// Geometry helpers

TEST(IntersectHelpers, TriangleFrameRoundTrip) {
  V tri[3] = {{1, 2, 3}, {4, 1, 0}, {0, -2, 5}};
  V rect[4];
  ASSERT_EQ(CMathFunCls::_tcGetRectof3DTri(tri, rect), 1);
  for (const V& p : tri) {
    V q = p, back;
    D_DOT f;
    ASSERT_EQ(CMathFunCls::GetVolToImgCoor(rect, &q, &f), 1);
    ASSERT_EQ(CMathFunCls::GetImgToVolCoor(rect, &f, &back), 1);
    EXPECT_TRUE(Near(back, p, 1e-12));
  }
  // The frame is right-handed with the triangle: its image is counter-clockwise.
  D_DOT f[3];
  for (int i = 0; i < 3; ++i) CMathFunCls::GetVolToImgCoor(rect, &tri[i], &f[i]);
  EXPECT_GT((f[1].x - f[0].x) * (f[2].y - f[0].y) - (f[1].y - f[0].y) * (f[2].x - f[0].x), 0);

  V flat[3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
  EXPECT_EQ(CMathFunCls::_tcGetRectof3DTri(flat, rect), 0);
  V shortEdge[3] = {{0, 0, 0}, {1, 1, 1}, {1, 1, 1}};
  EXPECT_EQ(CMathFunCls::_tcGetRectof3DTri(shortEdge, rect), 0);
  EXPECT_EQ(CMathFunCls::_tcGetRectof3DTri(nullptr, rect), -1);
}

TEST(IntersectHelpers, TextureInterpolation) {
  D_3DOT a = {0, 0, 0}, b = {4, 0, 0}, c = {0, 4, 0};
  // An affine texture (u, v) = (x / 4, y / 4 + 0.5) is reproduced exactly.
  D_DOT ta = {0, 0.5}, tb = {1, 0.5}, tc = {0, 1.5};
  for (D_3DOT p :
       {D_3DOT{1, 1, 0}, D_3DOT{2, 0, 0}, D_3DOT{0, 3, 0}, D_3DOT{2, 2, 0}, D_3DOT{0.5, 2.5, 0}}) {
    D_DOT out = {-9, -9};
    EXPECT_EQ(CMathFunCls::_tcGetTextureOfTriangle(&a, &b, &c, &p, &ta, &tb, &tc, &out), 1);
    EXPECT_NEAR(out.x, p.x / 4, 1e-9);
    EXPECT_NEAR(out.y, p.y / 4 + 0.5, 1e-9);
  }
  D_DOT out = {7, 7};
  EXPECT_EQ(CMathFunCls::_tcGetTextureOfLine(&a, &a, &ta, &tb, &b, &out), 0);
  EXPECT_EQ(out.x, 7);
  D_3DOT behind = {-2, 0, 0};  // the ratio carries no sign
  EXPECT_EQ(CMathFunCls::_tcGetTextureOfLine(&a, &b, &ta, &tb, &behind, &out), 1);
  EXPECT_DOUBLE_EQ(out.x, 0.5);
}

TEST(IntersectHelpers, CoplanarOverlapAndPointSearch) {
  V a0 = {0, 0, 0}, a1 = {4, 0, 0}, a2 = {0, 4, 0};
  V b0 = {1, 1, 0}, b1 = {5, 1, 0}, b2 = {1, 5, 0};
  std::vector<V> out;
  ASSERT_EQ(CMathFunCls::Tri_Tri_OnSurf(a0, a1, a2, b0, b1, b2, out), 1);
  // Edge meetings (3, 1) and (1, 3), then b0 inside A.
  ASSERT_EQ(out.size(), 3u);
  EXPECT_TRUE(Near(out[0], {3, 1, 0}, 1e-9));
  EXPECT_TRUE(Near(out[1], {1, 3, 0}, 1e-9));
  EXPECT_TRUE(Near(out[2], b0));
  EXPECT_EQ(CMathFunCls::SearchInDotBuf({3, 1 + 5e-7, 0}, out.data(), 3), 0);
  EXPECT_EQ(CMathFunCls::SearchInDotBuf({3, 1 + 2e-6, 0}, out.data(), 3), -1);
  EXPECT_EQ(CMathFunCls::SearchInDotBuf(b0, out.data(), 0), -1);

  std::vector<V> out2;
  ASSERT_EQ(CMathFunCls::Tri_Tri_OnSurf2(a0, a1, a2, b0, b1, b2, out2), 1);
  ASSERT_EQ(out2.size(), out.size());
  for (size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(Near(out2[i], out[i], 1e-9));

  // B entirely inside A: no edges meet, so nothing is reported.
  V c0 = {0.5, 0.5, 0}, c1 = {1.5, 0.5, 0}, c2 = {0.5, 1.5, 0};
  std::vector<V> none = {{9, 9, 9}};
  EXPECT_EQ(CMathFunCls::Tri_Tri_OnSurf(a0, a1, a2, c0, c1, c2, none), 0);
  EXPECT_EQ(none.size(), 1u);
}

// ---------------------------------------------------------------------------
// Intersection points of triangle pairs

TEST(Intersect, CrossingTrianglesGiveOneExactSegment) {
  CutRig rig;
  ASSERT_EQ(rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 1, 2}}}),
                          itest::MakeMesh(kWallTri, {{{0, 1, 2}}})),
            1);
  std::vector<V> dots;
  ASSERT_EQ(rig.engine.GetIntersectDot(&dots), 1);
  ASSERT_EQ(dots.size(), 2u);
  EXPECT_TRUE(Near(dots[0], {1, 0, 0}));
  EXPECT_TRUE(Near(dots[1], {1, 2.5, 0}));
  EXPECT_EQ(Probe::Chain(rig.engine), (std::vector<Seg>{{0, 1}}));
  EXPECT_EQ(Probe::CutTris(rig.engine), (std::vector<long>{0}));
  EXPECT_EQ(Probe::CutFlags(rig.engine), (std::vector<long>{1}));
  ASSERT_EQ(rig.engine.GetIntersectLinNum(), 1);
  EXPECT_EQ(Probe::Lines(rig.engine)[0], (std::vector<long>{0, 1}));
  // The result mesh holds the source positions, then the points.
  ASSERT_EQ(rig.Result().m_positions.size(), 5u);
  EXPECT_TRUE(Near(rig.Result().m_positions[4], dots[1]));
  EXPECT_EQ(Probe::CutTriPnts(rig.engine)[0], (std::vector<long>{0, 1, 2, 3, 4}));
}

TEST(Intersect, SharedPointsAndSegmentsAreStoredOnce) {
  // Two cutting triangles sharing the edge through (1, 1, z): both pairs
  // find the point on it, and the second of two identical cutters finds the
  // same segment again.
  const std::vector<V> wall = {{1, -1, -1}, {1, 1, -1}, {1, 1, 1},
                               {1, -1, 1},  {1, 3, -1}, {1, 3, 1}};
  CutRig rig;
  ASSERT_EQ(
      rig.Intersect(
          itest::MakeMesh(kFlatTri, {{{0, 1, 2}}}),
          itest::MakeMesh(wall, {{{0, 1, 2}}, {{0, 2, 3}}, {{1, 4, 5}}, {{1, 5, 2}}, {{1, 5, 2}}})),
      1);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  // Points at y = 0, 1, 2 and 3 along x = 1: y = 1 and y = 2 are found by
  // two and three pairs.
  for (size_t i = 0; i < dots.size(); ++i)
    for (size_t k = i + 1; k < dots.size(); ++k) EXPECT_FALSE(Near(dots[i], dots[k], 1e-3));
  std::vector<Seg> chain = Probe::Chain(rig.engine);
  for (size_t i = 0; i < chain.size(); ++i)
    for (size_t k = i + 1; k < chain.size(); ++k) {
      EXPECT_FALSE(chain[i] == chain[k]);
      EXPECT_FALSE(chain[i].first == chain[k].second && chain[i].second == chain[k].first);
    }
  EXPECT_EQ(Probe::CutTris(rig.engine), (std::vector<long>{0}));
  // The triangle list of the shared point names the cut triangle once per pair.
  size_t maxRepeats = 0;
  for (const std::vector<long>& l : Probe::DotCutTris(rig.engine))
    maxRepeats = std::max(maxRepeats, l.size());
  EXPECT_GE(maxRepeats, 2u);
  // ...but the cut triangle lists every point once.
  const std::vector<long>& pts = Probe::CutTriPnts(rig.engine)[0];
  EXPECT_EQ(pts.size(), 3 + dots.size());
  ASSERT_EQ(rig.engine.GetIntersectLinNum(), 1);
  EXPECT_EQ(Probe::Lines(rig.engine)[0].size(), dots.size());
}

TEST(Intersect, TrianglesSharingAnEdgeMeetAtTheExactVertices) {
  // The cutting triangle is folded up about the cut triangle's edge
  // (0,0,0)-(4,0,0).
  const std::vector<V> fold = {{0, 0, 0}, {4, 0, 0}, {2, -1, 3}};
  CutRig rig;
  ASSERT_EQ(
      rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 1, 2}}}), itest::MakeMesh(fold, {{{0, 1, 2}}})),
      1);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  ASSERT_EQ(dots.size(), 2u);
  auto same = [](const V& p, const V& q) { return p.x == q.x && p.y == q.y && p.z == q.z; };
  for (const V& p : dots) EXPECT_TRUE(same(p, kFlatTri[0]) || same(p, kFlatTri[1]));
  EXPECT_FALSE(same(dots[0], dots[1]));
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
    const C3DTriData t = same ? C3DTriData{{0, 1, 2}} : C3DTriData{{0, 2, 1}};
    ASSERT_EQ(
        rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 1, 2}}}), itest::MakeMesh(shifted, {t})), 1);
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
      if (cop[i] == (same ? 1 : -1)) onOther += itest::Len(itest::AreaVec(rig.Result(), i));
    EXPECT_NEAR(onOther, 2.0, 1e-12) << same;
  }
}

TEST(Intersect, NoCollisionLeavesOnlyTheFlags) {
  CutRig rig;
  std::vector<V> far = kWallTri;
  for (V& p : far) p.x += 100;
  EXPECT_EQ(rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 1, 2}}, {{0, 2, 1}}}),
                          itest::MakeMesh(far, {{{0, 1, 2}}})),
            -1);
  EXPECT_EQ(Probe::CutFlags(rig.engine), (std::vector<long>{0, 0}));
  EXPECT_TRUE(Probe::CutTris(rig.engine).empty());
  EXPECT_FALSE(Probe::HasChain(rig.engine));
  EXPECT_EQ(rig.engine.CalIntersectDots(nullptr, nullptr), -1);
}

// ---------------------------------------------------------------------------
// Re-triangulation and the cut mesh

TEST(Retriangulate, CutTriangleIsCoveredExactlyWithTheCutAsEdge) {
  CutRig rig;
  KroSimpleMesh cut = itest::MakeMesh(kFlatTri, {{{0, 1, 2}}});
  cut.m_colours[0] = {KRO::COLOR4(1, 0, 0, 1), KRO::COLOR4(0, 1, 0, 1), KRO::COLOR4(0, 0, 1, 1)};
  cut.m_texCoords[0] = {{0, 0}, {1, 0}, {0, 1}};
  ASSERT_EQ(rig.Intersect(cut, itest::MakeMesh(kWallTri, {{{0, 1, 2}}})), 1);
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  EXPECT_FALSE(Probe::HasChain(rig.engine));
  KroSimpleMesh& m = rig.Result();
  ASSERT_TRUE(itest::IndicesValid(m));
  EXPECT_EQ(m.m_positions.size(), 5u);
  EXPECT_EQ(m.m_triangles.size(), static_cast<size_t>(Probe::FinalTriNum(rig.engine)));
  EXPECT_GE(m.m_triangles.size(), 3u);
  EXPECT_NEAR(itest::Area(m), 8.0, 1e-12);
  for (size_t i = 0; i < m.m_triangles.size(); ++i) EXPECT_GT(itest::AreaVec(m, i).z, 0);
  EXPECT_TRUE(itest::HasEdgeAt(m, m.m_positions[3], m.m_positions[4]));
  // Attributes follow the positions: colour 0 copied, texture interpolated.
  ASSERT_EQ(m.m_colours[0].size(), 5u);
  EXPECT_EQ(m.m_colours[0][4].r, 1.0f);
  ASSERT_EQ(m.m_texCoords[0].size(), 5u);
  EXPECT_NEAR(m.m_texCoords[0][3].u, 0.25, 1e-6);  // (1, 0, 0) on the edge u = x / 4
  EXPECT_NEAR(m.m_texCoords[0][4].v, 0.625, 1e-6);
  EXPECT_EQ(m.m_texCoords[1].size(), 0u);
}

TEST(Retriangulate, DownwardFacingTriangleKeepsItsFacing) {
  CutRig rig;
  ASSERT_EQ(rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 2, 1}}}),
                          itest::MakeMesh(kWallTri, {{{0, 1, 2}}})),
            1);
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  KroSimpleMesh& m = rig.Result();
  for (size_t i = 0; i < m.m_triangles.size(); ++i) EXPECT_LT(itest::AreaVec(m, i).z, 0);
  EXPECT_NEAR(itest::Area(m), 8.0, 1e-12);
}

TEST(Retriangulate, UncutTrianglesStayFirstInOrder) {
  // Two flat triangles side by side; only the first is crossed.
  const std::vector<V> pts = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {10, 0, 0}, {12, 0, 0}, {10, 2, 0}};
  CutRig rig;
  ASSERT_EQ(rig.Intersect(itest::MakeMesh(pts, {{{3, 4, 5}}, {{0, 1, 2}}}),
                          itest::MakeMesh(kWallTri, {{{0, 1, 2}}})),
            1);
  EXPECT_EQ(Probe::CutTris(rig.engine), (std::vector<long>{1}));
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  KroSimpleMesh& m = rig.Result();
  ASSERT_GE(m.m_triangles.size(), 4u);
  EXPECT_EQ(m.m_triangles[0].v[0], 3);
  EXPECT_EQ(m.m_triangles[0].v[1], 4);
  EXPECT_EQ(m.m_triangles[0].v[2], 5);
  EXPECT_NEAR(itest::Area(m), 10.0, 1e-12);
  EXPECT_TRUE(itest::IndicesValid(m));
  // The two intersection points follow the six source positions.
  EXPECT_EQ(m.m_positions.size(), 8u);
}

TEST(Retriangulate, TriangleWithoutFrameOrSegmentStays) {
  const std::vector<V> tilted = {{0, 0, 0}, {4, 0, 1}, {0, 4, 2}};
  {
    // Corner moved onto the opposite edge after the points were found: no
    // frame can be built, so the triangle stays.
    CutRig rig;
    ASSERT_EQ(rig.Intersect(itest::MakeMesh(tilted, {{{0, 1, 2}}}),
                            itest::MakeMesh(kWallTri, {{{0, 1, 2}}})),
              1);
    rig.Result().m_positions[0] = {2, 2, 1.5};
    ASSERT_EQ(rig.engine.TranglateMdl(), 1);
    ASSERT_EQ(rig.Result().m_triangles.size(), 1u);
    EXPECT_EQ(rig.Result().m_positions.size(), 3u);
    EXPECT_EQ(Probe::CutFlags(rig.engine)[0], 0);
  }
}

TEST(Retriangulate, ManyCrossingCutsInOneTriangleGrowTheBuffers) {
  // A grid of walls over one large triangle: the cut segments cross each
  // other, and the triangulator adds more than a hundred points.
  const std::vector<V> big = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}};
  KroSimpleMesh walls;
  for (int i = 0; i < 12; ++i) {
    const double c = 2.0 + 2.5 * i;
    const long b = static_cast<long>(walls.m_positions.size());
    walls.m_positions.insert(walls.m_positions.end(),
                             {{c, -1, -1}, {c, 101, -1}, {c, 101, 1}, {c, -1, 1}});
    walls.m_positions.insert(walls.m_positions.end(),
                             {{-1, c, -1}, {101, c, -1}, {101, c, 1}, {-1, c, 1}});
    walls.m_triangles.insert(walls.m_triangles.end(), {{{b, b + 1, b + 2}}, {{b, b + 2, b + 3}}});
    walls.m_triangles.insert(walls.m_triangles.end(),
                             {{{b + 4, b + 5, b + 6}}, {{b + 4, b + 6, b + 7}}});
  }
  CutRig rig;
  ASSERT_EQ(rig.Intersect(itest::MakeMesh(big, {{{0, 1, 2}}}), walls), 1);
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

TEST(Retriangulate, TiltedPlaneCutByPlaneKeepsAreaAndPutsPointsOnBoth) {
  auto z = [](double x, double y) { return 0.1 * x + 0.05 * y; };
  KroSimpleMesh grid = itest::MakeGrid(0, 0, 10, 10, z);
  // Vertical plane x - 0.3 y = 2.35, never through a grid vertex.
  auto f = [](const V& p) { return p.x - 0.3 * p.y - 2.35; };
  const std::vector<V> wall = {{0.85, -5, -10}, {6.85, 15, -10}, {6.85, 15, 10}, {0.85, -5, 10}};
  CutRig rig;
  const double area0 = itest::Area(grid);
  ASSERT_EQ(rig.Intersect(grid, itest::MakeMesh(wall, {{{0, 1, 2}}, {{0, 2, 3}}})), 1);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  ASSERT_GT(dots.size(), 10u);
  for (const V& p : dots) {
    EXPECT_NEAR(f(p), 0.0, 1e-9);
    EXPECT_NEAR(p.z, z(p.x, p.y), 1e-9);
  }
  ASSERT_EQ(rig.engine.GetIntersectLinNum(), 1);
  std::vector<long> line;
  rig.engine.GetIntersectLin(0, &line);
  EXPECT_EQ(line.size(), dots.size());
  EXPECT_NE(line.front(), line.back());

  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  KroSimpleMesh& m = rig.Result();
  ASSERT_TRUE(itest::IndicesValid(m));
  EXPECT_NEAR(itest::Area(m), area0, 1e-9);
  const V up = {-0.1, -0.05, 1};
  for (size_t i = 0; i < m.m_triangles.size(); ++i) {
    EXPECT_GT(itest::Dot(itest::AreaVec(m, i), up), 0);
    // No triangle crosses the cut.
    double lo = 0, hi = 0;
    for (long v : m.m_triangles[i].v) {
      lo = std::min(lo, f(m.m_positions[v]));
      hi = std::max(hi, f(m.m_positions[v]));
    }
    EXPECT_FALSE(lo < -1e-9 && hi > 1e-9);
  }
  for (size_t k = 0; k + 1 < line.size(); ++k)
    EXPECT_TRUE(itest::HasEdgeAt(m, dots[line[k]], dots[line[k + 1]]));
}

TEST(Retriangulate, ClosedSurfaceCutByPlaneGivesOneClosedLoop) {
  std::vector<V> pts;
  std::vector<C3DTriData> tris;
  shapes::SphereArrays({0, 0, 0}, 5, 12, 24, pts, tris);
  KroSimpleMesh sphere = itest::MakeMesh(pts, tris);
  // Plane 0.2 x + 0.1 y + z = 0.6 as two large triangles; no sphere vertex
  // lies within 0.016 of it, far above the data precision.
  auto g = [](const V& p) { return 0.2 * p.x + 0.1 * p.y + p.z - 0.6; };
  auto zAt = [](double x, double y) { return 0.6 - 0.2 * x - 0.1 * y; };
  const std::vector<V> plane = {{-20, -20, zAt(-20, -20)},
                                {20, -20, zAt(20, -20)},
                                {20, 20, zAt(20, 20)},
                                {-20, 20, zAt(-20, 20)}};
  CutRig rig;
  const double area0 = itest::Area(sphere);
  ASSERT_EQ(rig.Intersect(sphere, itest::MakeMesh(plane, {{{0, 1, 2}}, {{0, 2, 3}}})), 1);
  ASSERT_EQ(rig.engine.GetIntersectLinNum(), 1);
  std::vector<long> loop;
  rig.engine.GetIntersectLin(0, &loop);
  std::vector<V> dots;
  rig.engine.GetIntersectDot(&dots);
  EXPECT_EQ(loop.front(), loop.back());
  EXPECT_EQ(loop.size(), dots.size() + 1);
  for (const V& p : dots) EXPECT_NEAR(g(p), 0.0, 1e-9);
  ASSERT_EQ(rig.engine.TranglateMdl(), 1);
  KroSimpleMesh& m = rig.Result();
  ASSERT_TRUE(itest::IndicesValid(m));
  EXPECT_NEAR(itest::Area(m), area0, 1e-9);
  for (size_t i = 0; i < m.m_triangles.size(); ++i) {
    // Outward facing kept: the area vector points away from the centre.
    // (A sliver where the plane's two halves meet, rounded flat, has none.)
    const C3DTriData& t = m.m_triangles[i];
    const V& c = m.m_positions[t.v[0]];
    if (itest::Len(itest::AreaVec(m, i)) > 1e-20) {
      EXPECT_GT(itest::Dot(itest::AreaVec(m, i), c), 0);
    }
    double lo = 0, hi = 0;
    for (long v : t.v) {
      lo = std::min(lo, g(m.m_positions[v]));
      hi = std::max(hi, g(m.m_positions[v]));
    }
    EXPECT_FALSE(lo < -1e-9 && hi > 1e-9);
  }
}

TEST(Retriangulate, ReferencePointMovesTheRegisteredPoints) {
  CutRig rig;
  rig.a.SetRefDot({100, 200, 300});
  ASSERT_EQ(rig.Intersect(itest::MakeMesh(kFlatTri, {{{0, 1, 2}}}),
                          itest::MakeMesh(kWallTri, {{{0, 1, 2}}})),
            1);
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

TEST(CutMesh, UnusedPointsDropAndIndicesFollow) {
  CMeshIntersect e;
  std::vector<V> pts = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}};
  std::vector<KRO::COLOR4> cols;
  for (int i = 0; i < 6; ++i) cols.push_back(KRO::COLOR4(float(i), 0, 0, 1));
  std::vector<C3DTriData> tris = {{{4, 2, 5}}, {{5, 2, 0}}};
  long n = 6;
  Probe::DeleteTinPnts(e, tris, &n, pts, &cols);
  ASSERT_EQ(n, 4);
  EXPECT_EQ(tris[0].v[0], 2);
  EXPECT_EQ(tris[0].v[1], 1);
  EXPECT_EQ(tris[0].v[2], 3);
  EXPECT_EQ(tris[1].v[2], 0);
  EXPECT_EQ(pts[1].x, 2.0);
  EXPECT_EQ(pts[3].x, 5.0);
  EXPECT_EQ(cols[2].r, 4.0f);
  long zero = 0;
  Probe::DeleteTinPnts(e, tris, &zero, pts, nullptr);  // nothing to do
  EXPECT_EQ(zero, 0);
}
