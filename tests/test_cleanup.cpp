// Surface clean-up, orientation, neighbourhoods and index utilities.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/Shapes.h"

namespace {

using V = KRO::G3D_DVertex;

// A surface of material "rock" with optional stage-0 texture coordinates
// and colours.
C3DSurface Surface(const std::vector<V>& pts, const std::vector<C3DTriData>& tris,
                   const std::vector<KRO::G_TEXCOORD>& tex = {},
                   const std::vector<KRO::COLOR4>& colours = {}) {
  C3DSurface s = shapes::MakeSurface(pts, tris, "rock");
  shapes::Decorate(s, tex, colours);
  return s;
}

V Normal(const KroPntStrcT* pts, const KroNetStrcT& n) {
  const KroPntStrcT &a = pts[n.pnt[0] - 1], &b = pts[n.pnt[1] - 1], &c = pts[n.pnt[2] - 1];
  return shapes::Normalized(
      shapes::Cross({b.x - a.x, b.y - a.y, b.z - a.z}, {c.x - a.x, c.y - a.y, c.z - a.z}));
}

KroPntStrcT P(double x, double y, double z) {
  return {x, y, z, 0, 0, 0};
}

KroNetStrcT Net(long a, long b, long c, long n0, long n1, long n2) {
  return {{a, b, c}, {n0, n1, n2}, 0, 0};
}

}  // namespace

TEST(RemoveRepeatedPnt, MergesCopiesOfASharedEdge) {
  // Two unit triangles sharing the edge (1,0)-(0,1), each with its own
  // copy of that edge's points, 0.0005 apart.
  std::vector<V> pts = {{0, 0, 0},           {1, 0, 0}, {0, 1, 0},
                        {1.0005, 0, 0.0005}, {1, 1, 0}, {0.0005, 1.0005, 0}};
  std::vector<KRO::G_TEXCOORD> tex = {{0, 0}, {1, 0}, {0, 1}, {9, 9}, {1, 1}, {8, 8}};
  std::vector<KRO::COLOR4> col(6, KRO::COLOR4(1, 0, 0, 1));
  col[4] = KRO::COLOR4(0, 1, 0, 1);
  C3DSurface s = Surface(pts, {{{0, 1, 2}}, {{3, 4, 5}}}, tex, col);
  ASSERT_EQ(CMathFunCls::RemoveRepeatedPnt(s), 1);
  EXPECT_EQ(s.GetPointNum(), 4);
  const auto tris = shapes::SoupOf(s).tris;
  ASSERT_EQ(tris.size(), 2u);
  EXPECT_TRUE(tris[1].v[0] == 1 && tris[1].v[1] == 3 && tris[1].v[2] == 2);  // first occurrences
  // The first occurrence keeps its position and decorations.
  ASSERT_EQ(s.Decoration().GetNumTexcoods(0), 4);
  EXPECT_EQ(s.Decoration().m_texcoords[0][3].u, 1.0f);
  ASSERT_EQ(s.Decoration().GetNumColors(), 4);
  EXPECT_EQ(s.Decoration().m_colours[3].g, 1.0f);
  EXPECT_EQ(s.GetMaterialName(), "rock");
}

TEST(RemoveRepeatedPnt, AgreesWithLinearFrontSearch) {
  // A cloud with many near-duplicates straddling grid cells (merges that
  // do not chain, triangles that collapse): the result must equal the
  // plain front-to-back search.
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> base(0, 40);
  std::uniform_real_distribution<double> jitter(-0.0012, 0.0012);
  std::vector<V> pts;
  for (int i = 0; i < 600; ++i) {
    const int b = base(rng);
    pts.push_back({(b % 7) * 1.0 + jitter(rng), (b / 7) * 1.0 + jitter(rng), 0.5 + jitter(rng)});
  }
  std::vector<C3DTriData> tris;
  for (long i = 0; i + 2 < 600; i += 3) tris.push_back({{i, i + 1, i + 2}});
  C3DSurface s = Surface(pts, tris);
  ASSERT_EQ(CMathFunCls::RemoveRepeatedPnt(s), 1);

  std::vector<V> ref;
  std::vector<C3DTriData> refTris;
  for (size_t t = 0; t < tris.size(); ++t) {
    C3DTriData out;
    for (int k = 0; k < 3; ++k) {
      const V& p = pts[tris[t].v[k]];
      long id = -1;
      for (size_t j = 0; t > 0 && j < ref.size() && id < 0; ++j)
        if (std::fabs(ref[j].x - p.x) < 0.001 && std::fabs(ref[j].y - p.y) < 0.001 &&
            std::fabs(ref[j].z - p.z) < 0.001)
          id = static_cast<long>(j);
      if (id < 0) {
        id = static_cast<long>(ref.size());
        ref.push_back(p);
      }
      out.v[k] = id;
    }
    V a = ref[out.v[0]], b = ref[out.v[1]], c = ref[out.v[2]];
    if (out.v[0] != out.v[1] && out.v[1] != out.v[2] && out.v[0] != out.v[2] &&
        CMathFunCls::IsLegalTri(&a, &b, &c))
      refTris.push_back(out);
  }
  ASSERT_EQ(s.GetPointNum(), static_cast<long>(ref.size()));
  for (size_t j = 0; j < ref.size(); ++j) EXPECT_EQ(s.Points()[j].x, ref[j].x);
  const auto got = shapes::SoupOf(s).tris;
  ASSERT_EQ(got.size(), refTris.size());
  for (size_t t = 0; t < got.size(); ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(got[t].v[k], refTris[t].v[k]);
}

TEST(RemoveRepeatedTriangle, DropsOnlyDegenerateTriangles) {
  std::vector<V> pts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {9, 9, 9}};
  C3DSurface s = Surface(pts, {{{0, 1, 2}}, {{0, 1, 1}}, {{0, 1, 3}}, {{0, 1, 2}}, {{0, 1, 7}}},
                         std::vector<KRO::G_TEXCOORD>(5, KRO::G_TEXCOORD{0.25f, 0.5f}));
  ASSERT_EQ(CMathFunCls::RemoveRepeatedTriangle(s), 1);
  const auto got = shapes::SoupOf(s).tris;
  ASSERT_EQ(got.size(), 2u);  // the identical pair is kept
  EXPECT_EQ(got[1].v[2], 2);
  EXPECT_EQ(s.GetPointNum(), 5);
  C3DSurface empty(-1, 0), noTris = Surface({{0, 0, 0}, {1, 0, 0}}, {}), noPts(-1, 0);
  C3DTriangle orphan{0, 1, 2};  // triangles without points: nothing to merge
  noPts.AddTriangle(&orphan, nullptr, 1);
  EXPECT_EQ(CMathFunCls::RemoveRepeatedPnt(noPts), 0);
  EXPECT_EQ(CMathFunCls::RemoveRepeatedTriangle(empty) + CMathFunCls::RemoveRepeatedPnt(noTris), 0);
  EXPECT_EQ(noTris.GetPointNum(), 2);
}

TEST(Orientation, WalkFlipsTrianglesAgainstTheFirstAndLeavesTheUnreachable) {
  // A flat strip of four triangles in z = 0, folded up along x = 2 into a
  // fifth, vertical triangle; triangles 2 and 5 are wound the wrong way. A
  // sixth, facing down, cannot be reached and must be left as it is.
  std::vector<KroPntStrcT> pts = {P(0, 0, 0), P(0, 1, 0), P(1, 0, 0), P(1, 1, 0), P(2, 0, 0),
                                  P(2, 1, 0), P(2, 0, 1), P(5, 5, 0), P(6, 5, 0), P(5, 6, 0)};
  std::vector<KroNetStrcT> nets = {Net(1, 3, 2, 0, 2, 0), Net(4, 3, 2, 1, 3, 0),
                                   Net(4, 3, 6, 2, 4, 0), Net(3, 5, 6, 0, 5, 3),
                                   Net(7, 5, 6, 4, 0, 0), Net(10, 9, 8, 0, 0, 0)};
  ASSERT_EQ(CMathFunCls::AdjustNomalOfCurvSurf(pts.data(), 10, nets.data(), 6), 1);
  for (int t = 0; t < 4; ++t) EXPECT_NEAR(Normal(pts.data(), nets[t]).z, 1.0, 1e-12) << t;
  // Across the fold the shared edge 5-6 runs the other way: the vertical
  // triangle turns to face -x.
  EXPECT_NEAR(Normal(pts.data(), nets[4]).x, -1.0, 1e-12);
  EXPECT_EQ(nets[1].adj[1], 3);  // neighbour numbers stay where they were
  EXPECT_TRUE(nets[5].pnt[0] == 10 && nets[5].pnt[2] == 8);
  // Neighbour numbers outside the table are not followed.
  std::vector<KroNetStrcT> bad = {Net(1, 2, 3, 9, 0, 0), Net(4, 2, 3, 0, 0, 0)};
  EXPECT_EQ(CMathFunCls::AdjustNomalOfCurvSurf(pts.data(), 7, bad.data(), 2), 1);
  EXPECT_EQ(bad[1].pnt[0], 4);
  EXPECT_EQ(CMathFunCls::AdjustNomalOfCurvSurf(nullptr, 7, bad.data(), 2), -1);
}

TEST(Neighbourhood, GridIsSymmetricAndFirstLimitsTheSearch) {
  const int n = 6;
  std::vector<C3DTriData> tris = shapes::Grid(n).m_triangles;
  const long nt = static_cast<long>(tris.size()), nv = (n + 1) * (n + 1);
  std::vector<C3DTriaTop> tops(tris.size());
  ASSERT_EQ(CMathFunCls::SetTinTop(tris.data(), tops.data(), nt, nv, 0), 1);
  long interior = 0;
  for (long t = 0; t < nt; ++t)
    for (long u : tops[t].n) {
      if (u < 0) continue;
      ++interior;
      const auto& o = tops[u].n;
      EXPECT_TRUE(o[0] == t || o[1] == t || o[2] == t);
    }
  EXPECT_EQ(interior, 2 * (3 * n * n - 2 * n));  // every inner edge seen from both sides
  // Slot k names the neighbour across edge (v[k], v[k+1]).
  EXPECT_TRUE(tops[0].n[0] == -1 && tops[0].n[1] == 3 && tops[0].n[2] == 1);

  std::vector<C3DTriaTop> part(tris.size(), C3DTriaTop{{-7, -7, -7}});
  ASSERT_EQ(CMathFunCls::SetTinTop(tris.data(), part.data(), nt, nv, 2), 1);
  EXPECT_EQ(part[0].n[0], -7);  // before first: not assigned
  for (long t = 2; t < nt; ++t)
    for (long u : part[t].n) EXPECT_TRUE(u < 0 || u >= 2);
  EXPECT_EQ(CMathFunCls::SetTinTop(nullptr, part.data(), nt, nv, 0), -1);
}
