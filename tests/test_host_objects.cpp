// The in-memory host data objects and the shared test shapes.
#include <gtest/gtest.h>

#include <cmath>

#include "kromesh/host/Kro3DObjects.h"
#include "support/Shapes.h"

using shapes::Vec;

TEST(PointCollection, RejectsBadArgumentsWithZero) {
  CPointCollection pc;
  Vec p{1, 2, 3};
  EXPECT_EQ(pc.AppendPoints(&p, 1), 1);
  EXPECT_EQ(pc.AppendPoints(nullptr, 2), 0);
  EXPECT_EQ(pc.AppendPoints(&p, -1), 0);
  EXPECT_EQ(pc.GetPointNum(), 1);
  Vec out{0, 0, 0};
  EXPECT_EQ(pc.GetPoint(1, &out), 0);
  EXPECT_EQ(pc.GetPoint(-1, &out), 0);
  EXPECT_EQ(pc.GetPoint(0, nullptr), 0);
  EXPECT_EQ(pc.SetPoint(3, &p), 0);
  // Appending its own points reads them before growing.
  std::vector<Vec> pts(99, Vec{5, 0, 0});
  pc.AppendPoints(pts.data(), 99);
  EXPECT_EQ(pc.AppendPoints(pc.Points().data(), pc.GetPointNum()), 1);
  ASSERT_EQ(pc.GetPointNum(), 200);
  EXPECT_EQ(pc.Points()[100].z, 3.0);
}

TEST(PointCollection, PointListKeepsPrecisionFarFromOrigin) {
  // Projected coordinates of a real site: millions of metres, cm detail.
  CPointCollection pc;
  std::vector<Vec> pts;
  for (int i = 0; i < 50; ++i)
    pts.push_back({4512345.25 + 0.37 * i, 3312345.75 - 0.11 * i, 1200.5 + 0.01 * i});
  pc.AppendPoints(pts.data(), 50);
  KRO::VECTOR3* list = nullptr;
  Vec ref{0, 0, 0};
  ASSERT_EQ(pc.GetPointList(&list, &ref), 1);
  for (int i = 0; i < 50; ++i) {
    EXPECT_NEAR(list[i].x - ref.x, pts[i].x, 1e-4);
    EXPECT_NEAR(list[i].y - ref.y, pts[i].y, 1e-4);
    EXPECT_NEAR(list[i].z - ref.z, pts[i].z, 1e-4);
  }
  EXPECT_EQ(pc.GetPointList(nullptr, &ref), 0);
}

TEST(VertexDecoration, FloatOverloadsDropPartialRecordsAndCheckStage) {
  CVertexDecorationObj d;
  KRO::COLOR4* c = reinterpret_cast<KRO::COLOR4*>(&d);
  long n = 7;
  ASSERT_EQ(d.GetColors(&c, &n), 1);  // empty arrays are handed out as null
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(n, 0);
  const float f[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(d.AppendColors(f, 9), 1);  // two colours, one float left over
  EXPECT_EQ(d.GetNumColors(), 2);
  EXPECT_EQ(d.AppendNormals(f, 7), 1);
  EXPECT_EQ(d.GetNumNormals(), 2);
  EXPECT_EQ(d.AppendTexcoords(7, f, 5), 1);
  EXPECT_EQ(d.GetNumTexcoods(7), 2);
  EXPECT_EQ(d.AppendTexcoords(8, f, 2), 0);
  EXPECT_EQ(d.AppendTexcoords(-1, f, 2), 0);
  EXPECT_EQ(d.GetVexColor(1).r, 5.f);
  EXPECT_EQ(d.GetVexColor(2).a, 0.f);  // out of range: zero colour
  EXPECT_EQ(d.GetVexColor(-1).r, 0.f);
}

TEST(VertexDecoration, UpdateColorsOverwritesAndGrows) {
  CVertexDecorationObj d;
  KRO::COLOR4 red(1, 0, 0, 1), blue(0, 0, 1, 1);
  d.AppendColors(&red, 1);
  std::vector<KRO::COLOR4> three(3, blue);
  EXPECT_EQ(d.UpdateColors(three.data(), 3), 1);
  EXPECT_EQ(d.GetNumColors(), 3);
  EXPECT_EQ(d.UpdateColors(three.data(), -2), 0);
  // Writing the object's own array back is harmless.
  KRO::COLOR4* own = nullptr;
  long n = 0;
  d.GetColors(&own, &n);
  own[2] = red;
  EXPECT_EQ(d.UpdateColors(own, n), 1);
  EXPECT_EQ(d.GetVexColor(2).r, 1.f);
}

TEST(HostSurface, TrianglesKeepNeighboursParallel) {
  C3DSurface s(-1, 0);
  C3DTriangle t[2] = {{0, 1, 2}, {0, 2, 3}};
  CTriangleTopInfo top[2] = {{-1, -1, 1}, {0, -1, -1}};
  EXPECT_EQ(s.AddTriangle(t, top, 2), 1);
  EXPECT_EQ(s.AddTriangle(t, nullptr, 1), 1);
  EXPECT_EQ(s.AddTriangle(nullptr, nullptr, 1), 0);
  ASSERT_EQ(s.GetTriangleCount(), 3);
  C3DTriangle* tris = nullptr;
  CTriangleTopInfo* tops = nullptr;
  long n = 0;
  ASSERT_EQ(s.GetTriangle(&tris, &tops, &n), 1);
  EXPECT_EQ(tops[1].n[0], 0);
  EXPECT_EQ(tops[2].n[0], -1);  // added without neighbours
  C3DTriangle one;
  CTriangleTopInfo oneTop;
  EXPECT_EQ(s.GetTriangle(3, &one, &oneTop), 0);
  EXPECT_EQ(s.GetTriangle(-1, &one, &oneTop), 0);
}

TEST(HostSurface, PointCollectionIsACopyUntilUpdated) {
  C3DSurface s = shapes::MakeTerrain(2, 2, 0, 0, 1, 1);
  CPointCollection pc;
  CVertexDecorationObj deco;
  ASSERT_EQ(s.GetPointCollection(pc, deco), 1);
  Vec moved{10, 10, 10};
  pc.SetPoint(4, &moved);
  EXPECT_NE(s.Points()[4].x, 10.0);
  EXPECT_EQ(s.UpdatePointCollection(pc, deco), 1);
  EXPECT_EQ(s.Points()[4].x, 10.0);
  EXPECT_EQ(s.UpdatePointCollection(nullptr, &deco), 0);
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
  EXPECT_EQ(e.AddSurface(nullptr, nullptr), 0);
  EXPECT_EQ(e.SurfaceAt(7), nullptr);
  C3DEntity copy(e);
  e.Reset();
  C3DEntity assigned;
  assigned = copy;
  assigned = assigned;
  EXPECT_EQ(copy.GetSurfaceNum(), 7);
  EXPECT_EQ(assigned.SurfaceAt(0)->GetMaterialName(), "face0");
}

// The test shapes themselves: other suites rely on these facts.
TEST(Shapes, ClosedShapesHaveTheirVolumeAndOpenOnesTheirBoundary) {
  const shapes::TriSoup cube = shapes::SoupOf(shapes::MakeUnitCube());
  EXPECT_NEAR(shapes::TotalArea(cube), 6.0, 1e-12);
  EXPECT_NEAR(shapes::SignedVolume(cube), 1.0, 1e-12);
  EXPECT_TRUE(shapes::IsClosedAfterWelding(cube));
  EXPECT_FALSE(shapes::IsClosedAfterWelding(cube, 0.0));  // six open faces unwelded
  const shapes::TriSoup surf = shapes::SoupOf(shapes::MakeSphereSurface({1, 2, 3}, 2, 16, 32));
  const shapes::TriSoup solid = shapes::SoupOf(shapes::MakeSphereEntity({1, 2, 3}, 2, 16, 32));
  EXPECT_TRUE(shapes::IsClosedAfterWelding(surf));
  EXPECT_TRUE(shapes::IsClosedAfterWelding(solid));
  EXPECT_NEAR(shapes::SignedVolume(surf), shapes::SignedVolume(solid), 1e-9);
  const double ball = 4.0 / 3.0 * shapes::kPi * 8.0;  // the facets cut inside
  EXPECT_LT(shapes::SignedVolume(surf), ball);
  EXPECT_GT(shapes::SignedVolume(surf), 0.95 * ball);
  const shapes::EdgeReport te =
      shapes::CheckEdges(shapes::SoupOf(shapes::MakeTerrain(8, 5, 0, 0, 2, 3)));
  EXPECT_EQ(te.boundary, 2 * (8 + 5));
  EXPECT_EQ(te.misoriented, 0);
  const shapes::TriSoup plane =
      shapes::SoupOf(shapes::MakeTiltedPlane({5, 5, 5}, {1, 2, 3}, 1.5, 3));
  EXPECT_NEAR(shapes::TotalArea(plane), 9.0, 1e-12);
  const Vec n = shapes::Cross(shapes::Sub(plane.pts[plane.tris[0].v[1]], plane.pts[0]),
                              shapes::Sub(plane.pts[plane.tris[0].v[2]], plane.pts[0]));
  EXPECT_NEAR(shapes::Dot(shapes::Normalized(n), shapes::Normalized({1, 2, 3})), 1.0, 1e-12);
}
