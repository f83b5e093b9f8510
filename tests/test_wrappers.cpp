// Mesh OBB wrappers: building from every source, boxes, mesh checks, OBB
// corner queries, solids with per-surface sub-trees, copies, message box.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroMessageBox.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "support/Shapes.h"

namespace {

using shapes::Vec;

bool Near(const Vec& a, const Vec& b, double tol = 1e-9) {
  return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol && std::fabs(a.z - b.z) < tol;
}

std::string g_lastMessage;
int g_messageCount = 0;
int CaptureMessage(const char* text) {
  g_lastMessage = text;
  ++g_messageCount;
  return 7;
}

}  // namespace

// ---------------------------------------------------------------------------
// Building

TEST(ObbtBuild, DiscDotsMakeOneTrianglePerThreePoints) {
  const double dots[7 * 3] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5, 6, 5, 5, 5, 6, 5, 9, 9, 9};
  CObbtBase few;
  EXPECT_EQ(few.BuildDiscDotsObbt(dots, 2), 0);
  EXPECT_EQ(few.GetTriNumFromObbt(), 0);

  CObbtBase seven;
  EXPECT_EQ(seven.BuildDiscDotsObbt(dots, 7), OBBT_OK);
  ASSERT_EQ(seven.GetTriNumFromObbt(), 2);
  Vec tri[3];
  ASSERT_EQ(seven.GetTriDotFromObbt(tri, 1), 1);
  EXPECT_TRUE(Near(tri[2], {5, 6, 5}));
  EXPECT_EQ(seven.GetMeshAABB().xmax, 6.0);  // the seventh point (9, 9, 9) is not used
}

TEST(ObbtBuild, RawBuffersRejectEmptyOrNullInput) {
  const double tri[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  CObbtBase w;
  EXPECT_EQ(w.BuildMeshObbt(tri, 0), -1);
  EXPECT_EQ(w.BuildMeshObbt(static_cast<const double*>(nullptr), 1), -1);
  EXPECT_EQ(w.BuildMeshObbt(tri, tri + 3, nullptr, 1), -1);
  EXPECT_EQ(w.BuildDiscDotsObbt(nullptr, 3), -1);
}

TEST(ObbtBuild, WithoutModelEveryMemberAnswersMinusOne) {
  CObbtBase w;
  w.DeleteObbtObj();
  const double tri[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  Vec out[8];
  double e[3];
  EXPECT_EQ(w.GetObbtModel(), nullptr);
  EXPECT_EQ(w.BuildMeshObbt(tri, 1), -1);
  EXPECT_EQ(w.GetTriNumFromObbt(), -1);
  EXPECT_EQ(w.GetTriDotFromObbt(out, 0), -1);
  EXPECT_EQ(w.GetObbOfModel(out, e, out + 1), -1);
  EXPECT_EQ(w.Get8VertexOfOBB(out), -1);
  EXPECT_EQ(w.CalMeshAABB(), -1);
  CObbtBase unbuilt;  // a model, but no tree: no box to answer from
  EXPECT_EQ(unbuilt.Get4VertexOfOBB(out), -1);
}

TEST(ObbtBuild, EmptyModelLeavesInvertedBox) {
  CObbtBase w;
  ASSERT_EQ(w.CalMeshAABB(), 1);
  EXPECT_EQ(w.GetMeshAABB().xmin, 1.79769313486232e+307);
  EXPECT_EQ(w.GetMeshAABB().zmax, -1.79769313486232e+307);

  KroSimpleMesh empty;
  EXPECT_EQ(w.BuildMeshObbt(&empty), OBBT_EMPTY);
  EXPECT_EQ(w.GetMeshAABB().ymin, 1.79769313486232e+307);
  EXPECT_EQ(w.GetMeshAABB().ymax, -1.79769313486232e+307);
}

TEST(ObbtBuild, MeshBoxAndTriangleIdsFollowTheMesh) {
  shapes::TriSoup box = shapes::BoxSoup({-1, 2, 3}, {4, 5, 7});
  KroSimpleMesh mesh = shapes::ToMesh(box);
  CObbtBase w;
  ASSERT_EQ(w.BuildMeshObbt(&mesh), OBBT_OK);
  ASSERT_EQ(w.GetTriNumFromObbt(), 12);
  const tctagD3ConvexBox& b = w.GetMeshAABB();
  EXPECT_EQ(b.xmin, -1.0);
  EXPECT_EQ(b.zmax, 7.0);
  for (long i = 0; i < 12; ++i) {
    Vec tri[3];
    ASSERT_EQ(w.GetTriDotFromObbt(tri, i), 1);
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(Near(tri[k], box.pts[box.tris[i].v[k]]));
  }
  Vec out[3];
  EXPECT_EQ(w.GetTriDotFromObbt(out, 12), -1);
  EXPECT_EQ(w.GetTriDotFromObbt(out, -1), -1);
}

TEST(ObbtBuild, VertexIndexOutsideMeshBuildsNothing) {
  shapes::TriSoup box = shapes::BoxSoup({0, 0, 0}, {1, 1, 1});
  KroSimpleMesh mesh = shapes::ToMesh(box);
  mesh.m_triangles[5].v[2] = 8;  // one past the last position
  CObbtBase w;
  EXPECT_EQ(w.BuildMeshObbt(&mesh), -1);
  EXPECT_EQ(w.GetTriNumFromObbt(), 0);
  EXPECT_EQ(w.CheckMesh(), 0);
}

TEST(ObbtBuild, PointNetLayoutIsOneBased) {
  shapes::TriSoup box = shapes::BoxSoup({0, 0, 0}, {2, 2, 2});
  std::vector<KroPntStrcT> pnts;
  std::vector<KroNetStrcT> nets;
  shapes::ToPntNet(box, pnts, nets);
  CObbtBase w;
  EXPECT_EQ(w.BuildMeshObbt(nullptr, 8, nets.data(), 12), -1);
  ASSERT_EQ(w.BuildMeshObbt(pnts.data(), 8, nets.data(), 12), OBBT_OK);
  Vec tri[3];
  ASSERT_EQ(w.GetTriDotFromObbt(tri, 3), 1);
  EXPECT_TRUE(Near(tri[1], box.pts[box.tris[3].v[1]]));
  EXPECT_EQ(w.CheckMesh(), 1);  // closed: every neighbour present
}

// ---------------------------------------------------------------------------
// Mesh check

TEST(ObbtCheckMesh, NeighbourOutOfRangeGivesItsCode) {
  shapes::TriSoup box = shapes::BoxSoup({0, 0, 0}, {1, 1, 1});
  // Triangle, edge, neighbour written there, CheckMesh's answer.
  const struct {
    int tri, edge;
    long neighbour;
    int expected;
  } cases[] = {{0, 0, -2, 1},     // -2: leave the table as it is
               {4, 0, 12, 0},     // first entry out of range
               {7, 1, -1, 0},     // an open edge
               {11, 2, 40, -1}};  // third entry out of range
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tri);
    KroSimpleMesh mesh = shapes::ToMesh(box);
    mesh.m_triangleTops = shapes::Neighbours(box);
    if (c.neighbour != -2) mesh.m_triangleTops[c.tri].n[c.edge] = c.neighbour;
    CObbtBase w;
    w.BuildMeshObbt(&mesh);
    EXPECT_EQ(w.CheckMesh(), c.expected);
  }
}

// ---------------------------------------------------------------------------
// OBB corners

TEST(ObbtCorners, FourVerticesFollowTheRectangleOrder) {
  CObbtBase w;
  KroSimpleMesh mesh = shapes::ToMesh(shapes::BoxSoup({0, 0, 0}, {8, 2, 1}));
  ASSERT_EQ(w.BuildMeshObbt(&mesh), OBBT_OK);
  Vec c, rows[3];
  double e[3];
  ASSERT_EQ(w.GetObbOfModel(&c, e, rows), 1);
  EXPECT_TRUE(Near(c, {4, 1, 0.5}, 1e-9));
  const Vec A{e[0] * rows[0].x, e[0] * rows[0].y, e[0] * rows[0].z};
  const Vec C{e[2] * rows[2].x, e[2] * rows[2].y, e[2] * rows[2].z};
  Vec four[4];
  ASSERT_EQ(w.Get4VertexOfOBB(four), 1);
  EXPECT_TRUE(Near(four[0], {c.x - A.x + C.x, c.y - A.y + C.y, c.z - A.z + C.z}));
  EXPECT_TRUE(Near(four[1], {c.x + A.x + C.x, c.y + A.y + C.y, c.z + A.z + C.z}));
  EXPECT_TRUE(Near(four[2], {c.x + A.x - C.x, c.y + A.y - C.y, c.z + A.z - C.z}));
  EXPECT_TRUE(Near(four[3], {c.x - A.x - C.x, c.y - A.y - C.y, c.z - A.z - C.z}));
  // A closed rectangle through the centre: opposite corners average to c.
  EXPECT_TRUE(Near(
      {(four[0].x + four[2].x) / 2, (four[0].y + four[2].y) / 2, (four[0].z + four[2].z) / 2}, c));
}

TEST(ObbtCorners, EightVerticesAreTheBoxCorners) {
  CObbtBase w;
  shapes::TriSoup box = shapes::BoxSoup({1, 1, 1}, {9, 4, 2});
  KroSimpleMesh mesh = shapes::ToMesh(box);
  ASSERT_EQ(w.BuildMeshObbt(&mesh), OBBT_OK);
  Vec k8[8];
  ASSERT_EQ(w.Get8VertexOfOBB(k8), 1);
  for (const Vec& k : k8) {
    bool isCorner = false;
    for (const Vec& p : box.pts) isCorner = isCorner || Near(k, p, 1e-6);
    EXPECT_TRUE(isCorner) << k.x << " " << k.y << " " << k.z;
  }
  // K0..K3 is the +C face, K4..K7 the -C face, each walked around.
  for (int i = 0; i < 4; ++i) {
    const Vec d1{k8[i].x - k8[i + 4].x, k8[i].y - k8[i + 4].y, k8[i].z - k8[i + 4].z};
    const Vec d0{k8[0].x - k8[4].x, k8[0].y - k8[4].y, k8[0].z - k8[4].z};
    EXPECT_TRUE(Near(d1, d0, 1e-9));
  }
}

TEST(ObbtCorners, NullOutputShowsTheMessageBox) {
  CObbtBase w;
  const double tri[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  w.BuildMeshObbt(tri, 1);
  g_messageCount = 0;
  KroMessageBoxHandler previous = KroSetMessageBoxHandler(&CaptureMessage);
  EXPECT_EQ(w.Get8VertexOfOBB(nullptr), -1);
  EXPECT_EQ(w.Get4VertexOfOBB(nullptr), -1);  // quiet
  EXPECT_EQ(g_messageCount, 1);
  EXPECT_EQ(g_lastMessage, "\xC4\xDA\xB4\xE6\xC9\xEA\xC7\xEB\xCA\xA7\xB0\xDC!");
  EXPECT_EQ(AfxMessageBox("x"), 7);
  EXPECT_EQ(KroSetMessageBoxHandler(nullptr), &CaptureMessage);  // back to the default
  KroTakeMessages();
  testing::internal::CaptureStderr();
  EXPECT_EQ(AfxMessageBox("disk full"), 1);
  EXPECT_EQ(AfxMessageBox(nullptr), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // collected, not printed
  EXPECT_EQ(KroTakeMessages(), (std::vector<std::string>{"disk full", ""}));
  KroSetMessageBoxHandler(previous);
}

// ---------------------------------------------------------------------------
// Surfaces and solids

TEST(ObbtSurfaceWrapper, OrganizerClassifiesAgainstTheWrappedSurface) {
  // A flat cutter at z = 0 facing +z; the organizer's checker reads the
  // wrapper's tree and mesh buffers.
  C3DSurface flat = shapes::MakeSurface({{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}},
                                        {{{0, 1, 2}}, {{0, 2, 3}}});
  flat.SetMaterialName("granite");
  CObbtSurface cutter;
  ASSERT_EQ(cutter.BuildMeshObbt(&flat), OBBT_OK);
  EXPECT_EQ(cutter.GetSide2Mesh()->m_materialName, "granite");  // both sides keep it
  EXPECT_EQ(cutter.BuildMeshObbt(static_cast<C3DSurface*>(nullptr)), -1);
  CMeshOrganizeBase* organizer = cutter.GetMeshOrganizeObj();
  ASSERT_NE(dynamic_cast<CMeshOrganizeSurf*>(organizer), nullptr);
  for (Kro_Mesh_Type type : {Kro_Mesh_Plane, Kro_Mesh_Surface}) {
    cutter.SetMeshType(type);
    organizer->BuildPosCheckObj();
    ASSERT_NE(organizer->GetPosCheckObj(), nullptr);
    KroSimpleMesh cut;
    cut.m_positions = {{0, 0, -1}, {1, 0, -1}, {0, 1, -1}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    cut.m_triangles = {{{3, 4, 5}}, {{0, 1, 2}}};
    KroSimpleMesh side1, side2;
    ASSERT_EQ(organizer->ClassifySurfMeshTo2Side(&cut, &side1, &side2), 1);
    ASSERT_EQ(side1.m_triangles.size(), 1u) << "type " << type;
    ASSERT_EQ(side2.m_triangles.size(), 1u);
    EXPECT_EQ(side1.m_positions[side1.m_triangles[0].v[0]].z, -1.0);  // behind the normal
  }
}

TEST(ObbtEntityWrapper, OneSubTreePerSurface) {
  C3DEntity cube = shapes::MakeBox({0, 0, 0}, {2, 3, 4});
  CObbtEntity w;
  ASSERT_EQ(w.BuildMeshObbt(&cube), OBBT_OK);
  EXPECT_NE(dynamic_cast<CMeshOrganizeEntity*>(w.GetMeshOrganizeObj()), nullptr);
  EXPECT_EQ(w.GetTriNumFromObbt(), 12);
  ASSERT_EQ(w.GetSubMeshNum(), 6);
  EXPECT_EQ(w.GetSubMeshObbt(6), nullptr);
  for (long i = 0; i < 6; ++i) {
    CObbtSurface* sub = w.GetSubMeshObbt(i);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetTriNumFromObbt(), 2);
    EXPECT_EQ(sub->GetSrcMesh()->m_materialName, "face" + std::to_string(i));
  }
  // -z face (surface 4) lies at z = 0.
  EXPECT_EQ(w.GetSubMeshObbt(4)->GetMeshAABB().zmax, 0.0);
  EXPECT_EQ(w.GetMeshAABB().zmax, 4.0);
}

TEST(ObbtEntityWrapper, BadIndicesLeaveNoSubTrees) {
  C3DSurface bad = shapes::MakeSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 7}}});
  C3DEntity solid(-1, 0);
  solid.AddSurface(&bad, nullptr);
  CObbtEntity w;
  EXPECT_EQ(w.BuildMeshObbt(&solid), -1);
  EXPECT_EQ(w.GetTriNumFromObbt(), 0);
  EXPECT_EQ(w.CheckMesh(), 0);
  EXPECT_EQ(w.GetSubMeshNum(), 0);
}

TEST(ObbtEntityWrapper, SubTreesTakeThePrecision) {
  C3DEntity sphere = shapes::MakeSphereEntity({0, 0, 0}, 2.0);
  CObbtEntity w;
  w.SetDataPrec(0.01);
  ASSERT_EQ(w.BuildMeshObbt(&sphere), OBBT_OK);
  ASSERT_EQ(w.GetSubMeshNum(), 2);
  double prec = 0;
  EXPECT_EQ(w.GetSubMeshObbt(1)->GetDataPrec(prec), 1);
  EXPECT_EQ(prec, 0.01);
}

// ---------------------------------------------------------------------------
// Copies

TEST(ObbtCopies, SurfaceCopiesShareTheTreeAndDieIndependently) {
  C3DSurface surf = shapes::MakeSphereSurface({1, 1, 1}, 2.0, 6, 8);
  auto* original = new CObbtSurface();
  ASSERT_EQ(original->BuildMeshObbt(&surf), OBBT_OK);
  original->SetRefDot({1, 2, 3});
  CObbtSurface copy(*original);
  CObbtSurface assigned;
  assigned = *original;
  EXPECT_EQ(copy.GetObbtModel(), original->GetObbtModel());
  EXPECT_EQ(copy.GetRefDot().z, 3.0);
  const long n = original->GetTriNumFromObbt();
  delete original;  // the copies keep the shared tree alive
  EXPECT_EQ(copy.GetTriNumFromObbt(), n);
  Vec k8[8];
  EXPECT_EQ(assigned.Get8VertexOfOBB(k8), 1);
}

TEST(ObbtCopies, RebuildingACopyLeavesTheOriginalTree) {
  const double a[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const double b[18] = {0, 0, 5, 2, 0, 5, 0, 2, 5, 0, 0, 6, 2, 0, 6, 0, 2, 6};
  CObbtBase original;
  ASSERT_EQ(original.BuildMeshObbt(a, 1), OBBT_OK);
  ASSERT_EQ(original.BuildMeshObbt(b, 2), OBBT_OK);  // a second build replaces the first
  EXPECT_EQ(original.GetMeshAABB().zmin, 5.0);
  ASSERT_EQ(original.BuildMeshObbt(a, 1), OBBT_OK);
  CObbtBase copy = original;
  ASSERT_EQ(copy.BuildMeshObbt(b, 2), OBBT_OK);
  EXPECT_NE(copy.GetObbtModel(), original.GetObbtModel());
  EXPECT_EQ(original.GetTriNumFromObbt(), 1);
  EXPECT_EQ(copy.GetTriNumFromObbt(), 2);
}

TEST(ObbtCopies, RebuiltSurfaceClassifiesWithItsNewTree) {
  C3DSurface low = shapes::MakeSurface({{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}},
                                       {{{0, 1, 2}}, {{0, 2, 3}}});
  C3DSurface high = shapes::MakeSurface({{-5, -5, 3}, {5, -5, 3}, {5, 5, 3}, {-5, 5, 3}},
                                        {{{0, 1, 2}}, {{0, 2, 3}}});
  CObbtSurface cutter;
  ASSERT_EQ(cutter.BuildMeshObbt(&low), OBBT_OK);
  CObbtSurface copy(cutter);
  ASSERT_EQ(cutter.BuildMeshObbt(&high), OBBT_OK);  // takes its own tree and organizer
  EXPECT_NE(copy.GetMeshOrganizeObj(), cutter.GetMeshOrganizeObj());
  KroSimpleMesh cut;
  cut.m_positions = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
  cut.m_triangles = {{{0, 1, 2}}};
  for (CObbtSurface* w : {&cutter, &copy}) {
    w->SetMeshType(Kro_Mesh_Plane);
    w->GetMeshOrganizeObj()->BuildPosCheckObj();
    KroSimpleMesh side1, side2;
    ASSERT_EQ(w->GetMeshOrganizeObj()->ClassifySurfMeshTo2Side(&cut, &side1, &side2), 1);
    // z = 1 lies below the rebuilt cutter (z = 3) and above the copy's (z = 0).
    EXPECT_EQ(side1.m_triangles.size(), w == &cutter ? 1u : 0u);
    EXPECT_EQ(side2.m_triangles.size(), w == &cutter ? 0u : 1u);
  }
  // Built again on its own (nothing shared any more): reset in place.
  RAPID_model* before = copy.GetObbtModel();
  ASSERT_EQ(copy.BuildMeshObbt(&high), OBBT_OK);
  EXPECT_EQ(copy.GetObbtModel(), before);
  copy.GetMeshOrganizeObj()->BuildPosCheckObj();
  KroSimpleMesh side1, side2;
  ASSERT_EQ(copy.GetMeshOrganizeObj()->ClassifySurfMeshTo2Side(&cut, &side1, &side2), 1);
  EXPECT_EQ(side1.m_triangles.size(), 1u);
}

TEST(ObbtCopies, EntityCopiesOwnTheirSubWrappers) {
  C3DEntity cube = shapes::MakeBox({0, 0, 0}, {1, 1, 1});
  auto* original = new CObbtEntity();
  ASSERT_EQ(original->BuildMeshObbt(&cube), OBBT_OK);
  CObbtEntity copy(*original);
  CObbtEntity assigned;
  assigned = *original;
  assigned = assigned;  // self-assignment keeps everything
  ASSERT_EQ(assigned.GetSubMeshNum(), 6);
  EXPECT_NE(copy.GetSubMeshObbt(0), original->GetSubMeshObbt(0));
  EXPECT_EQ(copy.GetSubMeshObbt(0)->GetObbtModel(), original->GetSubMeshObbt(0)->GetObbtModel());
  delete original;
  for (long i = 0; i < 6; ++i) {
    EXPECT_EQ(copy.GetSubMeshObbt(i)->GetTriNumFromObbt(), 2);
    EXPECT_EQ(assigned.GetSubMeshObbt(i)->GetTriNumFromObbt(), 2);
  }
}
