// Conversions between host objects, raw buffers and KroSimpleMesh.
#include <gtest/gtest.h>

#include <cstring>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/mesh/KroMeshConvert.h"
#include "support/Shapes.h"

using shapes::Vec;

namespace {

template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

}  // namespace

TEST(SurfaceToMesh, EmptyOrNullInputLeavesTheMeshAndShortNormalsArePadded) {
  KroSimpleMesh m;
  C3DSurface points = shapes::MakeSurface({{1, 1, 1}}, {}, "none");  // points without triangles
  C3DSurfaceToASimpleMesh(&points, &m);
  C3DSurfaceToASimpleMesh(nullptr, &m);
  EXPECT_TRUE(m.isNull() && m.m_materialName == "BaseWhite");
  // One normal for three points: padded, not read past its end.
  C3DSurface s = shapes::MakeSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
  CPointCollection pc;
  CVertexDecorationObj deco;
  s.GetPointCollection(pc, deco);
  const KRO::VECTOR3 one{0, 0, 1};
  deco.AppendNormals(&one, 1);
  s.UpdatePointCollection(pc, deco);
  C3DSurfaceToASimpleMesh(&s, &m);
  ASSERT_EQ(m.m_normals.size(), 3u);
  EXPECT_TRUE(m.m_normals[0].z == 1.f && m.m_normals[2].z == 0.f);
}

TEST(MeshToSurface, RoundTripKeepsEveryValue) {
  // A 4-point, 2-triangle square with colours, normals and texture stages
  // 0 and 3, and neighbour records.
  C3DSurface src(-1, 0);
  CPointCollection pc;
  const Vec pts[4] = {{0, 0, 0}, {2, 0, 0.5}, {2, 3, 1}, {0, 3, 0.25}};
  pc.AppendPoints(pts, 4);
  CVertexDecorationObj deco;
  const KRO::COLOR4 colours[4] = {
      {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 0.5f}, {0.25f, 0.5f, 0.75f, 1}};
  deco.AppendColors(colours, 4);
  const KRO::VECTOR3 normals[4] = {
      {0, 0, 1}, {0.1f, 0, 0.99f}, {0, 0.2f, 0.98f}, {-0.3f, 0, 0.95f}};
  deco.AppendNormals(normals, 4);
  const KRO::G_TEXCOORD st0[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const KRO::G_TEXCOORD st3[4] = {{0.5f, 0.125f}, {0.25f, 2}, {-1, 3}, {7, 8}};
  deco.AppendTexcoords(0, st0, 4);
  deco.AppendTexcoords(3, st3, 4);
  const C3DTriangle tris[2] = {{0, 1, 2}, {0, 2, 3}};
  const CTriangleTopInfo tops[2] = {{-1, -1, 1}, {0, -1, -1}};
  src.AddTriangle(tris, tops, 2);
  src.AppendPointCollection(&pc, &deco);
  src.SetMaterialName("sandstone");
  KroSimpleMesh m;
  C3DSurfaceToASimpleMesh(&src, &m);
  EXPECT_TRUE(m.m_texCoords[1].empty());
  C3DSurface back(-1, 0);
  ASSERT_TRUE(ASimpleMeshToC3DSurface(&m, &back));
  EXPECT_TRUE(back.GetOperationType() == 4 && back.GetMaterialName() == "sandstone");
  EXPECT_TRUE(SameBytes(back.Points(), src.Points()));
  const CVertexDecorationObj& a = src.Decoration();
  const CVertexDecorationObj& b = back.Decoration();
  EXPECT_TRUE(SameBytes(a.m_colours, b.m_colours));
  EXPECT_TRUE(SameBytes(a.m_normals, b.m_normals));
  for (int k = 0; k < 8; ++k) EXPECT_TRUE(SameBytes(a.m_texcoords[k], b.m_texcoords[k])) << k;
  ASSERT_EQ(back.GetTriangleCount(), 2);
  C3DTriangle ta, tb;
  CTriangleTopInfo na, nb;
  src.GetTriangle(1, ta, na);
  back.GetTriangle(1, tb, nb);
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(ta.v[k] == tb.v[k] && na.n[k] == nb.n[k]) << k;
}

TEST(MeshToSurface, AppendsBothColourSetsAndRefusesMeshesWithoutTriangles) {
  KroSimpleMesh m;
  C3DSurface first = shapes::MakeTiltedPlane({0, 0, 0}, {0, 0, 1}, 1.0, 1);
  C3DSurfaceToASimpleMesh(&first, &m);
  m.m_triangleTops = {{{1, -1, -1}}, {{-1, 0, -1}}};
  m.m_colours[0].assign(4, KRO::COLOR4(1, 0, 0, 1));
  m.m_colours[1].assign(4, KRO::COLOR4(0, 1, 0, 1));
  C3DSurface out(-1, 0);
  ASSERT_TRUE(ASimpleMeshToC3DSurface(&m, &out));
  ASSERT_TRUE(ASimpleMeshToC3DSurface(&m, &out));
  EXPECT_TRUE(out.GetPointNum() == 8 && out.GetTriangleCount() == 4);
  ASSERT_EQ(out.Decoration().GetNumColors(), 16);  // both sets, twice
  EXPECT_EQ(out.Decoration().GetVexColor(5).g, 1.f);
  // The second copy names its own points and triangles: both keep their shape.
  C3DTriangle tri;
  CTriangleTopInfo top;
  out.GetTriangle(3, tri, top);
  EXPECT_TRUE(tri.v[0] >= 4 && tri.v[1] >= 4 && tri.v[2] >= 4 && top.n[1] == 2 && top.n[0] == -1);
  EXPECT_NEAR(shapes::TotalArea(shapes::SoupOf(out)), 8.0, 1e-12);

  KroSimpleMesh none;
  none.m_positions = {{0, 0, 0}};
  C3DSurface s(-1, 0);
  EXPECT_FALSE(ASimpleMeshToC3DSurface(&none, &s) || ASimpleMeshToC3DSurface(nullptr, &s) ||
               ASimpleMeshToC3DSurface(&m, nullptr));
  EXPECT_EQ(s.GetPointNum(), 0);
}

TEST(MeshToSurface, ShortNeighbourTableIsNotReadPastItsEnd) {
  KroSimpleMesh m;
  m.m_positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  m.m_triangles = {{{0, 1, 2}}, {{1, 3, 2}}};
  m.m_triangleTops = {{{-1, 1, -1}}};  // stale: one entry for two triangles
  C3DSurface s(-1, 0);
  ASSERT_TRUE(ASimpleMeshToC3DSurface(&m, &s));
  C3DTriangle t;
  CTriangleTopInfo n;
  ASSERT_EQ(s.GetTriangle(1, t, n), 1);
  EXPECT_TRUE(n.n[0] == -1 && n.n[1] == -1);
}

TEST(BufferToMesh, VertexBufferCopiesAsIsAndNetNumbersBecomeZeroBased) {
  Vec v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  C3DTriData t[1] = {{{2, 1, 0}}};
  KroSimpleMesh m;
  m.m_colours[0].push_back(KRO::COLOR4(1, 1, 1, 1));
  KroMeshBufToASimpleMesh(v, 3, t, 1, &m);
  EXPECT_TRUE(m.m_colours[0].empty() && m.m_positions.size() == 3u && m.m_triangles[0].v[0] == 2);
  KroPntStrcT p[4] = {
      {0, 0, 0, 7, 1, 2}, {1, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, {1, 1, 2, 0, 0, 0}};
  KroNetStrcT n[2] = {{{1, 2, 3}, {0, 5, 2}, 0, 0}, {{2, 4, 3}, {0, 0, 1}, 0, 0}};
  KroSurfBufToASimpleMesh(p, 4, n, 2, &m);
  ASSERT_TRUE(m.m_triangles.size() == 2u && m.m_triangleTops.size() == 2u);
  EXPECT_TRUE(m.m_positions[3].z == 2.0 && m.m_triangles[1].v[1] == 3);
  const long want[2][3] = {{-1, 4, 1}, {-1, -1, 0}};  // 0 = none becomes -1
  for (int i = 0; i < 6; ++i) EXPECT_EQ(m.m_triangleTops[i / 3].n[i % 3], want[i / 3][i % 3]) << i;
}

TEST(EntityToMesh, SurfacesPackIntoOneMeshNamedZero) {
  C3DEntity e(-1, 0);
  for (int i = 0; i < 3; ++i) {
    // 10 triangles and 12 points each: a 5 x 1 terrain strip, shifted per surface.
    C3DSurface s = shapes::MakeTerrain(5, 1, 0, 10.0 * i, 1, 1);
    s.SetMaterialName("m" + std::to_string(i));
    e.AddSurface(&s, nullptr);
  }
  KroSimpleMesh m;
  C3DEntityToASimpleMesh(&e, &m);
  EXPECT_TRUE(m.m_meshName == "0" && m.m_materialName == "m2");
  ASSERT_EQ(m.m_positions.size(), 36u);
  ASSERT_EQ(m.m_triangles.size(), 30u);
  const C3DTriData t = shapes::SoupOf(*e.SurfaceAt(1)).tris[0];
  for (int k = 0; k < 3; ++k) EXPECT_EQ(m.m_triangles[10].v[k], t.v[k] + 12);
  EXPECT_TRUE(m.m_triangleTops.empty());  // packing drops the neighbours
  EXPECT_NEAR(shapes::TotalArea(shapes::SoupOf(m)), shapes::TotalArea(shapes::SoupOf(e)), 1e-12);

  KroSimpleMesh b;
  // Two surfaces above the compound's packing limit together: none is lost.
  C3DEntity big(-1, 0);
  for (int i = 0; i < 2; ++i) {
    C3DSurface s = shapes::MakeTerrain(160, 160, 0, 200.0 * i, 1, 1);
    big.AddSurface(&s, nullptr);
  }
  C3DEntityToASimpleMesh(&big, &b);
  EXPECT_EQ(b.m_triangles.size(), 2u * 2 * 160 * 160);
  C3DEntity empty(-1, 0);
  C3DEntityToASimpleMesh(&empty, &b);
  C3DEntityToASimpleMesh(nullptr, &b);
  EXPECT_TRUE(b.m_meshName == "0" && !b.isNull());
}
