// The in-memory host data objects and the shared test shapes.
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
  ASSERT_EQ(pc.GetPoint(0, &out), 1);
  EXPECT_EQ(out.z, 3.0);
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
  for (int i = 0; i < 50; ++i) {
    EXPECT_NEAR(list[i].x - ref.x, pts[i].x, 1e-4);
    EXPECT_NEAR(list[i].y - ref.y, pts[i].y, 1e-4);
  }
}

TEST(VertexDecoration, FloatOverloadsDropPartialRecordsAndUpdatesGrow) {
  CVertexDecorationObj d;
  const float f[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(d.AppendColors(f, 9), 1);  // two colours, one float left over
  EXPECT_EQ(d.GetNumColors(), 2);
  EXPECT_EQ(d.AppendTexcoords(7, f, 5), 1);
  EXPECT_EQ(d.GetNumTexcoods(7), 2);
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
  EXPECT_EQ(d.GetNumColors(), 3);
  EXPECT_EQ(d.GetVexColor(2).r, 1.f);
}

TEST(HostSurface, NeighboursStayParallelAndPointsAreCopiesUntilUpdated) {
  C3DSurface s(-1, 0);
  C3DTriangle t[2] = {{0, 1, 2}, {0, 2, 3}};
  CTriangleTopInfo top[2] = {{-1, -1, 1}, {0, -1, -1}};
  EXPECT_EQ(s.AddTriangle(t, top, 2), 1);
  EXPECT_EQ(s.AddTriangle(t, nullptr, 1), 1);
  ASSERT_EQ(s.GetTriangleCount(), 3);
  C3DTriangle one;
  CTriangleTopInfo oneTop;
  ASSERT_EQ(s.GetTriangle(1, &one, &oneTop), 1);
  EXPECT_EQ(oneTop.n[0], 0);
  ASSERT_EQ(s.GetTriangle(2, &one, &oneTop), 1);
  EXPECT_EQ(oneTop.n[0], -1);  // added without neighbours
  EXPECT_EQ(s.GetTriangle(3, &one, &oneTop), 0);

  C3DSurface g = shapes::MakeTerrain(2, 2, 0, 0, 1, 1);
  CPointCollection pc;
  CVertexDecorationObj deco;
  ASSERT_EQ(g.GetPointCollection(pc, deco), 1);
  Vec moved{10, 10, 10};
  pc.SetPoint(4, &moved);
  EXPECT_NE(g.Points()[4].x, 10.0);
  EXPECT_EQ(g.UpdatePointCollection(pc, deco), 1);
  EXPECT_EQ(g.Points()[4].x, 10.0);
}

TEST(HostEntity, SurfacesAreCopiedInAndOut) {
  C3DEntity e = shapes::MakeUnitCube();
  C3DSurface extra = shapes::MakeTiltedPlane({0, 0, 5}, {0, 0, 1}, 1.0, 1);
  CSurfaceDecorationObj deco;
  deco.m_materialName = "lid";
  EXPECT_EQ(e.AddSurface(&extra, &deco), 7);
  extra.Reset();  // the solid kept its own copy
  C3DSurface out(-1, 0);
  CSurfaceDecorationObj outDeco;
  ASSERT_EQ(e.GetSurface(6, &out, &outDeco), 1);
  EXPECT_EQ(out.GetTriangleCount(), 2);
  EXPECT_EQ(outDeco.m_materialName, "lid");
  EXPECT_EQ(e.GetSurface(7, &out, nullptr), 0);
  C3DEntity copy(e);
  e.Reset();
  C3DEntity assigned;
  assigned = copy;
  assigned = assigned;
  EXPECT_EQ(assigned.GetSurfaceNum(), 7);
  EXPECT_EQ(assigned.SurfaceAt(0)->GetMaterialName(), "face0");
}

// The test shapes themselves: other suites rely on these facts.
TEST(Shapes, ClosedShapesHaveTheirVolumeAndOpenOnesTheirBoundary) {
  const shapes::TriSoup cube = shapes::SoupOf(shapes::MakeUnitCube());
  EXPECT_NEAR(shapes::SignedVolume(cube), 1.0, 1e-12);
  EXPECT_TRUE(shapes::IsClosedAfterWelding(cube));
  EXPECT_FALSE(shapes::IsClosedAfterWelding(cube, 0.0));  // six open faces unwelded
  const shapes::TriSoup ball = shapes::SoupOf(shapes::MakeSphereEntity({1, 2, 3}, 2, 16, 32));
  EXPECT_TRUE(shapes::IsClosedAfterWelding(ball));
  EXPECT_NEAR(shapes::SignedVolume(ball), 4.0 / 3.0 * shapes::kPi * 8.0, 0.05 * 33.5);
  const shapes::EdgeReport te =
      shapes::CheckEdges(shapes::SoupOf(shapes::MakeTerrain(8, 5, 0, 0, 2, 3)));
  EXPECT_EQ(te.boundary, 2 * (8 + 5));
  EXPECT_EQ(te.misoriented, 0);
}
