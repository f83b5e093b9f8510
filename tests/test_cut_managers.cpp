// The cut managers driven directly, with real wrappers: a terrain cut by a
// tilted plane, a cube cut by a plane, split switches and split types.
#include <gtest/gtest.h>

#include <type_traits>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/cut/CMeshMgr.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "support/CutChecks.h"
#include "support/Shapes.h"

namespace {

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

// Split types outside 1..3 classify nothing, and a repeated cut hands out
// only its own result; both outputs null touch nothing; without wrappers
// nothing is cut.
TEST(CutManagerSS, SwitchesTypesAndMissingOutputs) {
  C3DSurface terrain = shapes::MakeTerrain(10, 10, 0.0, 0.0, 1.0, 1.0);
  C3DSurface plane = shapes::MakeTiltedPlane({5.0, 5.0, 0.3}, {1.0, 0.2, 0.6}, 10.0, 4);
  SurfacePair p(terrain, plane);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, nullptr, nullptr), 0);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, nullptr, nullptr), 0);
  EXPECT_TRUE(p.cut.GetCutMesh()->m_triangles.empty());
  EXPECT_TRUE(p.cutter.GetSide2Mesh()->m_triangles.empty());
  tcTriCutPair* pairs = nullptr;
  long pairNum = -1;
  p.mgr.GetObbtProccObj()->GetCollideTriPair(&pairs, &pairNum);
  EXPECT_EQ(pairNum, 0);

  C3DSurface a1, a2;
  p.mgr.CutMdlByMdl(Kro_Cut_First, &a1, &a2);
  ASSERT_GT(a2.GetTriangleCount(), 0);
  p.mgr.setSplitSurfType(static_cast<Kro_Split_Type>(7), static_cast<Kro_Split_Type>(0));
  C3DSurface o[4];
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &o[0], &o[1]), 1);
  EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_Second, &o[2], &o[3]), 1);
  for (const C3DSurface& x : o) EXPECT_EQ(x.GetTriangleCount(), 0);
  EXPECT_TRUE(p.cut.GetSide1Mesh()->m_triangles.empty());
  EXPECT_TRUE(p.cut.GetSide2Mesh()->m_triangles.empty());
  CMeshMgrSS empty;
  EXPECT_EQ(empty.GetMeshOrganizeObj(Kro_Cut_First), nullptr);
  C3DSurface out;
  EXPECT_EQ(empty.CutMdlByMdl(Kro_Cut_First, &out, nullptr), 1);  // still the routine's 1
  EXPECT_EQ(out.GetTriangleCount(), 0);
}

TEST(CutManagerSS, SurfacesApartAreClassifiedWhole) {
  C3DSurface terrain = shapes::MakeTerrain(10, 10, 0.0, 0.0, 1.0, 1.0);
  // A plane well beside the terrain, facing +x: the terrain is behind it.
  C3DSurface plane = shapes::MakeTiltedPlane({20, 5, 0}, {1, 0, 0}, 3.0, 2);
  SurfacePair p(terrain, plane);
  for (bool split : {true, false}) {
    p.mgr.setSplitSurfFlag(split, split);
    C3DSurface out1, out2;
    EXPECT_EQ(p.mgr.CutMdlByMdl(Kro_Cut_First, &out1, &out2), 1);
    EXPECT_EQ(out1.GetTriangleCount(), terrain.GetTriangleCount()) << split;
    EXPECT_EQ(out2.GetTriangleCount(), 0) << split;
  }
}

// ---------------------------------------------------------------- solids

TEST(CutManagerES, SurfaceMissedByThePlaneStaysWholeOnItsSide) {
  // Three surfaces of a box: the bottom, a side wall and the top; the plane
  // at z = 0.8 misses the bottom.
  std::vector<C3DSurface> faces = shapes::MakeBoxFaces({0, 0, 0}, {1, 1, 1});
  C3DEntity three;
  for (int f : {4, 0, 5}) three.AddSurface(&faces[f], nullptr);
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
  EXPECT_NEAR(cutchecks::Area(*below.SurfaceAt(1)), 0.8, 1e-9);
  EXPECT_NEAR(cutchecks::Area(*above.SurfaceAt(0)), 0.2, 1e-9);
}

}  // namespace
