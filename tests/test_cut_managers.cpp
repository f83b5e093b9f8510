// The cut managers driven directly, with real wrappers: a terrain cut by a
// tilted plane, a cube cut by a plane, split switches and split types.
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/cut/CMeshMgr.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "support/CutChecks.h"
#include "support/Shapes.h"

namespace {

using shapes::Vec;

// The tilted plane of these tests: through kPlaneC, facing along kPlaneN.
const Vec kPlaneC{5.0, 5.0, 0.3};
const Vec kPlaneN{1.0, 0.2, 0.6};

C3DSurface Terrain() {
  return shapes::MakeTerrain(10, 10, 0.0, 0.0, 1.0, 1.0);
}
C3DSurface Plane() {
  return shapes::MakeTiltedPlane(kPlaneC, kPlaneN, 10.0, 4);
}

template <class T>
double AreaOf(const T& model) {
  return shapes::TotalArea(shapes::SoupOf(model));
}

// Two wrappers built the way the facade builds them, each one's checker
// ready to classify the other, under a manager.
template <class Cut, class Cutter, class Mgr>
struct Rig {
  Cut cut;
  Cutter cutter;
  Mgr mgr;
  template <class A, class B>
  Rig(A& a, B& b) {
    cut.SetMeshType(std::is_same<Cut, CObbtEntity>::value ? Kro_Mesh_Entity : Kro_Mesh_Surface);
    cutter.SetMeshType(std::is_same<Cutter, CObbtEntity>::value ? Kro_Mesh_Entity
                                                                : Kro_Mesh_Surface);
    cut.BuildMeshObbt(&a);
    cutter.BuildMeshObbt(&b);
    cut.GetMeshOrganizeObj()->BuildPosCheckObj();
    cutter.GetMeshOrganizeObj()->BuildPosCheckObj();
    mgr.SetCutModel(&cut, &cutter);
  }
};
using SurfacePair = Rig<CObbtSurface, CObbtSurface, CMeshMgrSS>;
using SolidBySurface = Rig<CObbtEntity, CObbtSurface, CMeshMgrES>;
using SolidBySolid = Rig<CObbtEntity, CObbtEntity, CMeshMgrEE>;

TEST(CutManagerSS, TerrainByTiltedPlaneKeepsAreaAndSides) {
  C3DSurface terrain = Terrain();
  C3DSurface plane = Plane();
  SurfacePair p(terrain, plane);
  C3DSurface out1, out2;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &out1, &out2), 1);

  const double whole = AreaOf(terrain);
  EXPECT_NEAR(AreaOf(out1) + AreaOf(out2), whole, 1e-9 * whole);

  // Side 1 is behind the plane's facing, side 2 in front of it.
  const auto s1 = cutchecks::CentroidsAgainstPlane(shapes::SoupOf(out1), kPlaneC, kPlaneN);
  const auto s2 = cutchecks::CentroidsAgainstPlane(shapes::SoupOf(out2), kPlaneC, kPlaneN);
  EXPECT_LT(s1.maxDist, 1e-9);
  EXPECT_GT(s2.minDist, -1e-9);
  // The two sides meet along the cut line and nothing else.
  EXPECT_EQ(shapes::CountPieces(shapes::SoupOf(out1)), 1);
  EXPECT_EQ(shapes::CountPieces(shapes::SoupOf(out2)), 1);
  EXPECT_EQ(out1.GetMaterialName(), "terrain");
}

TEST(CutManagerSS, OtherDirectionCutsThePlaneByTheTerrain) {
  C3DSurface terrain = Terrain();
  C3DSurface plane = Plane();
  SurfacePair p(terrain, plane);
  C3DSurface out1, out2;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, &out1, &out2), 1);
  ASSERT_GT(out2.GetTriangleCount(), 0);
  const double whole = AreaOf(plane);
  EXPECT_NEAR(AreaOf(out1) + AreaOf(out2), whole, 1e-9 * whole);
  // The terrain faces up: side 1 (behind it) is below the terrain.
  shapes::TriSoup below = shapes::SoupOf(out1);
  for (const auto& t : below.tris) {
    const Vec g = cutchecks::Centroid(below, t);
    ASSERT_LT(g.z, shapes::DefaultTerrainHeight(g.x, g.y) + 0.05);
  }
}

TEST(CutManagerSS, SplitTypeOutsideOneToThreeClassifiesNothing) {
  C3DSurface terrain = Terrain();
  C3DSurface plane = Plane();
  SurfacePair p(terrain, plane);
  p.mgr.setSplitSurfType(static_cast<Kro_Split_Type>(7), static_cast<Kro_Split_Type>(0));
  C3DSurface out1, out2, out3, out4;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &out1, &out2), 1);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, &out3, &out4), 1);
  EXPECT_EQ(out1.GetTriangleCount() + out2.GetTriangleCount(), 0);
  EXPECT_EQ(out3.GetTriangleCount() + out4.GetTriangleCount(), 0);
  EXPECT_TRUE(p.cut.GetSide1Mesh()->m_triangles.empty());
  EXPECT_TRUE(p.cut.GetSide2Mesh()->m_triangles.empty());
}

TEST(CutManagerSS, RepeatedCutHandsOutOnlyItsOwnResult) {
  C3DSurface terrain = Terrain();
  C3DSurface plane = Plane();
  SurfacePair p(terrain, plane);
  C3DSurface a1, a2;
  p.mgr.CutMdlByMdl(Kro_Cut_First, &a1, &a2);
  ASSERT_GT(a2.GetTriangleCount(), 0);
  // The same wrappers cut again with a type that classifies nothing: the
  // side meshes of the first cut must not come out again.
  p.mgr.setSplitSurfType(static_cast<Kro_Split_Type>(9), Kro_Split_ByMesh);
  C3DSurface b1, b2;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &b1, &b2), 1);
  EXPECT_EQ(b1.GetTriangleCount() + b2.GetTriangleCount(), 0);
  // Split off: the whole mesh to out1, still nothing to out2.
  p.mgr.setSplitSurfFlag(false, true);
  C3DSurface c1, c2;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &c1, &c2), 1);
  EXPECT_EQ(c2.GetTriangleCount(), 0);
  // The re-triangulated mesh: more triangles than before, same area.
  EXPECT_GT(c1.GetTriangleCount(), terrain.GetTriangleCount());
  EXPECT_NEAR(AreaOf(c1), AreaOf(terrain), 1e-9 * AreaOf(terrain));
  EXPECT_EQ(shapes::CountPieces(shapes::SoupOf(c1)), 1);
}

TEST(CutManagerSS, BothOutputsNullReturnsZeroAndTouchesNothing) {
  C3DSurface terrain = Terrain();
  C3DSurface plane = Plane();
  SurfacePair p(terrain, plane);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, nullptr, nullptr), 0);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, nullptr, nullptr), 0);
  EXPECT_TRUE(p.cut.GetCutMesh()->m_triangles.empty());
  EXPECT_TRUE(p.cutter.GetSide2Mesh()->m_triangles.empty());
  tcTriCutPair* pairs = nullptr;
  long pairNum = -1;
  p.mgr.GetObbtProccObj()->GetCollideTriPair(&pairs, &pairNum);
  EXPECT_EQ(pairNum, 0);
}

TEST(CutManagerSS, SurfacesApartAreClassifiedWhole) {
  C3DSurface terrain = Terrain();
  // A plane well beside the terrain, facing +x: the terrain is behind it.
  C3DSurface plane = shapes::MakeTiltedPlane({20, 5, 0}, {1, 0, 0}, 3.0, 2);
  SurfacePair p(terrain, plane);
  C3DSurface out1, out2;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &out1, &out2), 1);
  EXPECT_EQ(out1.GetTriangleCount(), terrain.GetTriangleCount());
  EXPECT_EQ(out2.GetTriangleCount(), 0);

  p.mgr.setSplitSurfFlag(false, false);
  C3DSurface whole, none;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &whole, &none), 1);
  EXPECT_EQ(whole.GetTriangleCount(), terrain.GetTriangleCount());
  EXPECT_EQ(none.GetTriangleCount(), 0);
}

TEST(CutManagerSS, WithoutWrappersNothingIsCut) {
  CMeshMgrSS empty;
  EXPECT_EQ(empty.GetMeshOrganizeObj(Kro_Cut_First), nullptr);
  C3DSurface out;
  EXPECT_EQ(empty.CutMdlByMdl(Kro_Cut_First, &out, nullptr), 1);  // still the routine's 1
  EXPECT_EQ(out.GetTriangleCount(), 0);
}

// ---------------------------------------------------------------- solids

TEST(CutManagerES, CubeByMidPlaneGivesTwoHalves) {
  C3DEntity cube = shapes::MakeUnitCube();
  const Vec c{0.5, 0.5, 0.5}, n{0.3, 0.2, 1.0};
  C3DSurface plane = shapes::MakeTiltedPlane(c, n, 2.0, 2);
  SolidBySurface p(cube, plane);
  ASSERT_EQ(p.cut.GetSubMeshNum(), 6);
  C3DEntity below, above;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &below, &above), 1);
  // The plane crosses the four side faces; the bottom face stays whole
  // below and the top face above.
  EXPECT_EQ(below.GetSurfaceNum(), 5);
  EXPECT_EQ(above.GetSurfaceNum(), 5);
  EXPECT_NEAR(AreaOf(below) + AreaOf(above), 6.0, 1e-9);
  const auto s1 = cutchecks::CentroidsAgainstPlane(shapes::SoupOf(below), c, n);
  const auto s2 = cutchecks::CentroidsAgainstPlane(shapes::SoupOf(above), c, n);
  EXPECT_LT(s1.maxDist, 1e-9);
  EXPECT_GT(s2.minDist, -1e-9);
}

TEST(CutManagerES, SurfaceMissedByThePlaneStaysWholeOnItsSide) {
  // Three surfaces of a box: the bottom, a side wall and the top; the plane
  // at z = 0.8 misses the bottom.
  std::vector<C3DSurface> faces = shapes::MakeBoxFaces({0, 0, 0}, {1, 1, 1});
  C3DEntity three;
  three.AddSurface(&faces[4], nullptr);
  three.AddSurface(&faces[0], nullptr);
  three.AddSurface(&faces[5], nullptr);
  C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.8}, {0, 0, 1}, 2.0, 2);
  SolidBySurface p(three, plane);
  C3DEntity below, above;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &below, &above), 1);
  ASSERT_EQ(below.GetSurfaceNum(), 2);
  ASSERT_EQ(above.GetSurfaceNum(), 2);
  // Order of the host surfaces is kept: bottom then wall below; wall then
  // top above.
  EXPECT_EQ(below.SurfaceAt(0)->GetMaterialName(), "face4");
  EXPECT_EQ(below.SurfaceAt(1)->GetMaterialName(), "face0");
  EXPECT_EQ(above.SurfaceAt(0)->GetMaterialName(), "face0");
  EXPECT_EQ(above.SurfaceAt(1)->GetMaterialName(), "face5");
  EXPECT_NEAR(AreaOf(*below.SurfaceAt(1)), 0.8, 1e-9);
  EXPECT_NEAR(AreaOf(*above.SurfaceAt(0)), 0.2, 1e-9);
}

TEST(CutManagerES, SurfaceCutBySolidSplitsInsideFromOutside) {
  C3DEntity cube = shapes::MakeUnitCube();
  C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.5}, {0, 0, 1}, 1.5, 3);
  SolidBySurface p(cube, plane);
  C3DSurface outside, inside;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, &outside, &inside), 1);
  // The plane is 3 x 3; the cube takes a unit square out of it.
  EXPECT_NEAR(AreaOf(inside), 1.0, 1e-9);
  EXPECT_NEAR(AreaOf(outside), 8.0, 1e-9);
  shapes::TriSoup in = shapes::SoupOf(inside);
  for (const auto& t : in.tris) {
    const Vec g = cutchecks::Centroid(in, t);
    ASSERT_TRUE(g.x > 0 && g.x < 1 && g.y > 0 && g.y < 1);
  }
}

TEST(CutManagerEE, OverlappingBoxesSplitIntoInsideAndOutside) {
  C3DEntity a = shapes::MakeBox({0, 0, 0}, {1, 1, 1});
  C3DEntity b = shapes::MakeBox({0.5, 0.25, 0.3}, {1.5, 0.75, 0.7});
  SolidBySolid p(a, b);
  C3DEntity aOut, aIn, bOut, bIn;
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &aOut, &aIn), 1);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, &bOut, &bIn), 1);
  // b pokes 0.5 x 0.5 x 0.4 into a through a's +x face.
  EXPECT_NEAR(AreaOf(aIn), 0.2, 1e-9);
  EXPECT_NEAR(AreaOf(aOut), 5.8, 1e-9);
  EXPECT_NEAR(AreaOf(bIn), 0.2 + 2 * 0.2 + 2 * 0.25, 1e-9);
  ASSERT_EQ(aIn.GetSurfaceNum(), 1);
  EXPECT_EQ(aIn.SurfaceAt(0)->GetMaterialName(), "face1");
}

}  // namespace
