// The in-memory host data objects.
#include <gtest/gtest.h>

#include <cmath>

#include "kromesh/host/Kro3DObjects.h"
#include "support/Shapes.h"

using shapes::Vec;

TEST(PointCollection, BadArgumentsSelfAppendAndPrecisionFarFromOrigin) {
  CPointCollection pc;
  Vec p{1, 2, 3}, out{0, 0, 0};
  EXPECT_EQ(pc.AppendPoints(&p, 1), 1);
  EXPECT_EQ(pc.AppendPoints(nullptr, 2) + pc.AppendPoints(&p, -1), 0);
  EXPECT_EQ(pc.GetPoint(1, &out) + pc.GetPoint(-1, &out) + pc.SetPoint(3, &p), 0);
  // Appending its own points reads them before growing.
  std::vector<Vec> pts(99, Vec{5, 0, 0});
  pc.AppendPoints(pts.data(), 99);
  EXPECT_EQ(pc.AppendPoints(pc.Points().data(), pc.GetPointNum()), 1);
  ASSERT_EQ(pc.GetPointNum(), 200);
  EXPECT_EQ(pc.Points()[100].z, 3.0);
  // Projected coordinates of a real site: millions of metres, cm detail.
  CPointCollection far;
  pts.clear();
  for (int i = 0; i < 50; ++i)
    pts.push_back({4512345.25 + 0.37 * i, 3312345.75 - 0.11 * i, 1200.5 + 0.01 * i});
  far.AppendPoints(pts.data(), 50);
  KRO::VECTOR3* list = nullptr;
  Vec ref{0, 0, 0};
  ASSERT_EQ(far.GetPointList(&list, &ref), 1);
  for (int i = 0; i < 50; ++i)
    EXPECT_TRUE(std::fabs(list[i].x - ref.x - pts[i].x) + std::fabs(list[i].y - ref.y - pts[i].y) <
                1e-4)
        << i;
}

TEST(VertexDecoration, FloatOverloadsDropPartialRecordsAndUpdatesGrow) {
  CVertexDecorationObj d;
  const float f[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(d.AppendColors(f, 9) + d.AppendTexcoords(7, f, 5), 2);  // partial records dropped
  EXPECT_TRUE(d.GetNumColors() == 2 && d.GetNumTexcoods(7) == 2);
  EXPECT_EQ(d.AppendTexcoords(8, f, 2) + d.AppendTexcoords(-1, f, 2), 0);
  EXPECT_EQ(d.GetVexColor(1).r, 5.f);
  EXPECT_EQ(d.GetVexColor(2).a + d.GetVexColor(-1).r, 0.f);  // out of range: zero colour
  // Writing the object's own array back, larger, is harmless.
  std::vector<KRO::COLOR4> three(3, KRO::COLOR4(0, 0, 1, 1));
  EXPECT_EQ(d.UpdateColors(three.data(), 3), 1);
  KRO::COLOR4* own = nullptr;
  long n = 0;
  d.GetColors(&own, &n);
  own[2] = KRO::COLOR4(1, 0, 0, 1);
  EXPECT_EQ(d.UpdateColors(own, n), 1);
  EXPECT_TRUE(d.GetNumColors() == 3 && d.GetVexColor(2).r == 1.f);
}

TEST(HostSurface, NeighboursStayParallelToTheTriangles) {
  C3DSurface s(-1, 0);
  C3DTriangle t[2] = {{0, 1, 2}, {0, 2, 3}};
  CTriangleTopInfo top[2] = {{-1, -1, 1}, {0, -1, -1}};
  EXPECT_EQ(s.AddTriangle(t, top, 2) + s.AddTriangle(t, nullptr, 1), 2);
  ASSERT_EQ(s.GetTriangleCount(), 3);
  C3DTriangle one;
  CTriangleTopInfo oneTop;
  ASSERT_EQ(s.GetTriangle(1, &one, &oneTop), 1);
  EXPECT_EQ(oneTop.n[0], 0);
  ASSERT_EQ(s.GetTriangle(2, &one, &oneTop), 1);
  EXPECT_EQ(oneTop.n[0], -1);  // added without neighbours
  EXPECT_EQ(s.GetTriangle(3, &one, &oneTop), 0);
}

TEST(HostEntity, SurfacesMoveInAndOutWithoutCopies) {
  C3DSurface s = shapes::MakeTerrain(1, 1, 0.0, 0.0, 1.0, 1.0);
  s.SetMaterialName("slate");
  CSurfaceDecorationObj deco, outDeco;
  deco.m_materialName = "granite";
  C3DEntity e;
  EXPECT_EQ(e.AdoptSurface(nullptr, &deco), 0);
  ASSERT_EQ(e.AdoptSurface(&s, &deco), 1);
  EXPECT_EQ(s.GetTriangleCount() + s.GetPointNum(), 0);  // moved in, left empty
  EXPECT_TRUE(e.SurfaceAt(0)->GetTriangleCount() == 2 &&
              e.SurfaceAt(0)->GetMaterialName() == "slate");
  EXPECT_EQ(e.DecorationAt(0)->m_materialName, "granite");
  EXPECT_TRUE(e.DecorationAt(-1) == nullptr && e.DecorationAt(1) == nullptr);
  C3DSurface out(-1, 0);
  EXPECT_EQ(e.TakeSurface(1, &out, &outDeco) + e.TakeSurface(0, nullptr, &outDeco), 0);
  ASSERT_EQ(e.TakeSurface(0, &out, &outDeco), 1);
  EXPECT_TRUE(out.GetTriangleCount() == 2 && out.GetPointNum() == 4 &&
              outDeco.m_materialName == "granite");
  EXPECT_EQ(e.GetSurfaceNum(), 1);  // stays in place, empty
  EXPECT_EQ(e.SurfaceAt(0)->GetTriangleCount(), 0);
}
