// Texture coordinates (interpolation, fold-line unrolling, box projection),
// their writing into host surfaces, surface colours and vault paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "support/Shapes.h"

using KRO::G3D_DVertex;
using KRO::G_TEXCOORD;

namespace {

D_DOT kFold[3] = {{0, 0}, {10, 0}, {10, 10}};

D_DOT Unroll(double x, double y, double z, D_DOT init = {-99, -99}) {
  D_3DOT p{x, y, z};
  D_DOT out = init;
  EXPECT_TRUE(CMathFunCls::_tcGeoMathGis_Sec_3Dto2D(kFold, 3, &p, &out, 1.0, 1.0));
  return out;
}

}  // namespace

TEST(TexInterpolation, TwoAndThreeDimensionalTriangles) {
  D_DOT a{0, 0}, b{4, 0}, c{0, 2}, line{8, 0}, at[2] = {{4, 0}, {4.0 / 3, 2.0 / 3}};
  G_TEXCOORD ta{0.f, 1.f}, tb{1.f, 3.f}, tc{0.5f, -1.f}, tp{}, want[2] = {{1, 3}, {0.5, 1}};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(CMathFunCls::d2_calTriPntTexCoord(&a, &b, &c, &at[i], &ta, &tb, &tc, &tp), 1);
    EXPECT_TRUE(std::fabs(tp.u - want[i].u) + std::fabs(tp.v - want[i].v) < 1e-6) << i;
  }
  tp = {7.f, 7.f};  // a degenerate triangle leaves the result untouched
  EXPECT_EQ(CMathFunCls::d2_calTriPntTexCoord(&a, &b, &line, &at[1], &ta, &tb, &tc, &tp), 0);
  EXPECT_EQ(tp.u, 7.f);
  // A tilted triangle: at the centroid the mean of the corners' coordinates.
  G3D_DVertex a3{1, 2, 3}, b3{4, 2, 7}, c3{1, 6, 5}, g{2, 10.0 / 3, 5};
  G_TEXCOORD u{0.f, 0.f}, v{1.f, 0.f}, w{0.f, 1.f};
  ASSERT_EQ(CMathFunCls::d3_calTriPntTexCoord(&a3, &b3, &c3, &g, &u, &v, &w, &tp), 1);
  EXPECT_TRUE(std::fabs(tp.u - 1.0 / 3) + std::fabs(tp.v - 1.0 / 3) < 1e-5);
}

TEST(FoldLine, PositionsAlongAndBeyondTheLine) {
  D_DOT o = Unroll(10, 4, 2);
  EXPECT_TRUE(std::fabs(o.x - 14) + std::fabs(o.y - 2) < 1e-12);
  EXPECT_NEAR(Unroll(-3, 0, 1).x, -3.0, 1e-12);
  EXPECT_NEAR(Unroll(10, 13, 1).x, 23.0, 1e-12);
  // Off the line and its end extensions: out keeps what it held; so on the
  // first segment's line beyond its far end, which is no extension.
  o = Unroll(5, 5, 1, {3.5, 4.5});
  EXPECT_TRUE(o.x == 3.5 && o.y == 4.5);
  EXPECT_EQ(Unroll(15, 0, 1).x, -99.0);
  D_3DOT p{10, 4, 2};
  CMathFunCls::_tcGeoMathGis_Sec_3Dto2D(kFold, 3, &p, &o, 0.5, 3.0);
  EXPECT_TRUE(std::fabs(o.x - 7) + std::fabs(o.y - 6) < 1e-12);
}

TEST(SurfaceTexture, FoldUpdateWritesOneCoordinatePerPoint) {
  // A curtain over the fold line: points on it at two heights, one away.
  // Existing coordinates are overwritten in place (a short set completed),
  // points off the fold line keep theirs (or get zero); none: appended.
  const std::vector<G3D_DVertex> pts = {{0, 0, 0},  {0, 0, 5},   {10, 0, 0}, {10, 0, 5},
                                        {10, 4, 2}, {10, 10, 0}, {50, 50, 1}};
  const struct {
    long existing;
    const char* material;
    double su, sv;
    float u[7], v[7];
    const char* wantMaterial;
  } rows[] = {{0, "granite", 0.5, 2.0, {0, 0, 5, 5, 7, 10, 0}, {0, 10, 0, 10, 4, 0, 0}, "granite"},
              {7, "", 1, 1, {0, 0, 10, 10, 14, 20, 9}, {0, 5, 0, 5, 2, 0, 9}, "rock"},
              {2, "", 1, 1, {0, 0, 10, 10, 14, 20, 0}, {0, 5, 0, 5, 2, 0, 0}, "rock"}};
  for (const auto& r : rows) {
    C3DSurface s = shapes::MakeSurface(pts, {{{0, 2, 3}}, {{0, 3, 1}}, {{2, 5, 4}}}, "rock");
    shapes::Decorate(s, std::vector<G_TEXCOORD>(r.existing, G_TEXCOORD{9.f, 9.f}));
    const long rev = s.GetRevision();
    ASSERT_EQ(CMathFunCls::_tcUpdateSurfTexCoordByFoldSurf(&s, kFold, 3, r.material, r.su, r.sv),
              1);
    const std::vector<G_TEXCOORD> tc = shapes::TexCoords0(s);
    ASSERT_EQ(tc.size(), 7u) << r.existing;
    for (int i = 0; i < 7; ++i)
      EXPECT_TRUE(tc[i].u == r.u[i] && tc[i].v == r.v[i]) << r.existing << " " << i;
    EXPECT_EQ(s.GetMaterialName(), r.wantMaterial);
    EXPECT_GT(s.GetRevision(), rev);
  }
}

TEST(SurfaceTexture, BoxUpdateKeepsAnEmptyMaterialAndEmptySurfacesAreLeftAlone) {
  C3DSurface s = shapes::MakeTerrain(4, 3, 0.0, 0.0, 1.0, 1.0);
  // The x = 0 face: u runs along it from its first corner, v is the absolute height.
  D_3DOT rect[4] = {{0, 0, -5}, {0, 3, -5}, {0, 3, 5}, {0, 0, 5}};
  ASSERT_EQ(CMathFunCls::_tcUpdateSurfTexCoordByBoxSurf(&s, rect, "", 2.0, 10.0), 1);
  EXPECT_EQ(s.GetMaterialName(), "terrain");
  const std::vector<G_TEXCOORD> tc = shapes::TexCoords0(s);
  ASSERT_EQ(tc.size(), static_cast<size_t>(s.GetPointNum()));
  for (long i = 0; i < s.GetPointNum(); ++i) {
    const G3D_DVertex& p = s.Points()[static_cast<size_t>(i)];
    EXPECT_NEAR(tc[i].u, 2.0 * p.y, 1e-5);
    EXPECT_NEAR(tc[i].v, 10.0 * p.z, 1e-5);
  }
  EXPECT_EQ(CMathFunCls::_tcUpdateSurfTexCoordByBoxSurf(&s, rect, "wall", 1, 1), 1);
  EXPECT_EQ(s.GetMaterialName(), "wall");
  C3DSurface empty(-1, 0);
  EXPECT_EQ(CMathFunCls::_tcUpdateSurfTexCoordByFoldSurf(&empty, kFold, 3, "x", 1, 1), 1);
  EXPECT_EQ(empty.GetMaterialName(), "");
  EXPECT_EQ(empty.Decoration().GetNumTexcoods(0), 0);
}

// A demo helper: its documented results only.
TEST(VaultPath, RowsOverTheArchAndBadArgumentsWriteNothing) {
  G3D_DVertex left[2] = {{0, 0, 1}, {0, 20, 0}}, right[2] = {{2, 0, 1}, {10, 20, 0}}, out[10];
  // Span 2: an arch of radius 2h, top at rise 2 - sqrt(3); span 10 > 4h: the half circle.
  ASSERT_EQ(CMathFunCls::GetVaultPathFromLRPath(left, right, 2, 1.0f, 0.0, 4, out), 2);
  EXPECT_NEAR(out[4].z, 3.0 - std::sqrt(3.0), 1e-6);
  EXPECT_NEAR(out[5].z, 5.0, 1e-6);
  std::fill(out, out + 10, G3D_DVertex{7, 7, 7});  // no divisions, no height: nothing written
  EXPECT_EQ(CMathFunCls::GetVaultPathFromLRPath(left, right, 2, 1.0f, 0.0, 0, out) +
                CMathFunCls::GetVaultPathFromLRPath(left, right, 2, 0.0f, 0.0, 3, out) +
                CMathFunCls::GetVaultPathFromLRPath(left, right, 2, 1.0f, 0.0, 3, nullptr),
            -1);
  for (const G3D_DVertex& q : out) EXPECT_EQ(q.x, 7.0);
}
