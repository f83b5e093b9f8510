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

TEST(ObbtBuild, EverySourceBuildsTheTrianglesItHolds) {
  const double dots[7 * 3] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5, 6, 5, 5, 5, 6, 5, 9, 9, 9};
  CObbtBase w;
  EXPECT_EQ(w.BuildDiscDotsObbt(dots, 2) + w.BuildMeshObbt(dots, dots + 3, nullptr, 1), -1);
  EXPECT_EQ(w.BuildMeshObbt(dots, 0), -1);
  ASSERT_EQ(w.BuildDiscDotsObbt(dots, 7), OBBT_OK);  // one triangle per three points
  ASSERT_EQ(w.GetTriNumFromObbt(), 2);
  Vec tri[3];
  ASSERT_EQ(w.GetTriDotFromObbt(tri, 1), 1);
  EXPECT_TRUE(Near(tri[2], {5, 6, 5}));
  EXPECT_EQ(w.GetMeshAABB().xmax, 6.0);  // the seventh point (9, 9, 9) is not used
  // Three separate corner arrays, stride 3.
  ASSERT_EQ(w.BuildMeshObbt(dots, dots + 3, dots + 6, 2), OBBT_OK);
  ASSERT_EQ(w.GetTriDotFromObbt(tri, 1), 1);
  EXPECT_TRUE(Near(tri[0], {1, 0, 0}) && Near(tri[2], {5, 5, 5}));
  w.DeleteObbtObj();  // without a model every query answers -1
  EXPECT_EQ(w.BuildMeshObbt(dots, 1), -1);
  EXPECT_EQ(w.GetTriNumFromObbt() + w.GetTriDotFromObbt(tri, 0) + w.CalMeshAABB(), -3);
  CObbtBase empty;
  KroSimpleMesh none;
  EXPECT_EQ(empty.BuildMeshObbt(&none), OBBT_EMPTY);
  EXPECT_EQ(empty.Get4VertexOfOBB(tri), -1);  // a model, but no tree

  // A mesh, and the same mesh in the 1-based point/net layout.
  shapes::TriSoup box = shapes::BoxSoup({-1, 2, 3}, {4, 5, 7});
  KroSimpleMesh mesh = shapes::ToMesh(box);
  CObbtBase mw, net;
  ASSERT_EQ(mw.BuildMeshObbt(&mesh), OBBT_OK);
  const tctagD3ConvexBox& b = mw.GetMeshAABB();
  EXPECT_TRUE(b.xmin == -1.0 && b.xmax == 4.0 && b.ymin == 2.0 && b.ymax == 5.0 && b.zmin == 3.0 &&
              b.zmax == 7.0);
  std::vector<KroPntStrcT> pnts;
  std::vector<KroNetStrcT> nets;
  shapes::ToPntNet(box, pnts, nets);
  EXPECT_EQ(net.BuildMeshObbt(nullptr, 8, nets.data(), 12), -1);
  ASSERT_EQ(net.BuildMeshObbt(pnts.data(), 8, nets.data(), 12), OBBT_OK);
  EXPECT_EQ(net.CheckMesh(), 1);  // closed: every neighbour present
  for (CObbtBase* x : {&mw, &net}) {
    ASSERT_EQ(x->GetTriNumFromObbt(), 12);
    for (long i = 0; i < 12; ++i) {
      ASSERT_EQ(x->GetTriDotFromObbt(tri, i), 1);
      for (int k = 0; k < 3; ++k) EXPECT_TRUE(Near(tri[k], box.pts[box.tris[i].v[k]])) << i;
    }
    EXPECT_EQ(x->GetTriDotFromObbt(tri, 12) + x->GetTriDotFromObbt(tri, -1), -2);
  }
  // A vertex index one past the last position builds nothing.
  mesh.m_triangles[5].v[2] = 8;
  CObbtBase bad;
  EXPECT_EQ(bad.BuildMeshObbt(&mesh), -1);
  EXPECT_EQ(bad.GetTriNumFromObbt() + bad.CheckMesh(), 0);
}

TEST(ObbtCheckMesh, NeighbourOutOfRangeGivesItsCode) {
  shapes::TriSoup box = shapes::BoxSoup({0, 0, 0}, {1, 1, 1});
  // Triangle, edge, neighbour written there (-2: none), CheckMesh's answer.
  const struct {
    int tri, edge;
    long neighbour;
    int expected;
  } cases[] = {{0, 0, -2, 1}, {4, 0, 12, 0}, {7, 1, -1, 0}, {11, 2, 40, -1}};
  for (const auto& c : cases) {
    KroSimpleMesh mesh = shapes::ToMesh(box);
    mesh.m_triangleTops = shapes::Neighbours(box);
    if (c.neighbour != -2) mesh.m_triangleTops[c.tri].n[c.edge] = c.neighbour;
    CObbtBase w;
    w.BuildMeshObbt(&mesh);
    EXPECT_EQ(w.CheckMesh(), c.expected) << "triangle " << c.tri;
  }
}

// ---------------------------------------------------------------------------
// OBB corners

TEST(ObbtCorners, FourAndEightVerticesOfTheBox) {
  CObbtBase w;
  shapes::TriSoup box = shapes::BoxSoup({1, 1, 1}, {9, 4, 2});
  KroSimpleMesh mesh = shapes::ToMesh(box);
  ASSERT_EQ(w.BuildMeshObbt(&mesh), OBBT_OK);
  Vec c, rows[3], four[4], k8[8];
  double e[3];
  ASSERT_EQ(w.GetObbOfModel(&c, e, rows), 1);
  EXPECT_TRUE(Near(c, {5, 2.5, 1.5}, 1e-9));
  const Vec A = shapes::Scale(rows[0], e[0]), B = shapes::Scale(rows[1], e[1]),
            C = shapes::Scale(rows[2], e[2]);
  // Four: the rectangle through the centre, -A+C, +A+C, +A-C, -A-C.
  ASSERT_EQ(w.Get4VertexOfOBB(four), 1);
  const int sign[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(Near(four[i], shapes::Add(c, shapes::Add(shapes::Scale(A, sign[i][0]),
                                                         shapes::Scale(C, sign[i][1])))))
        << i;
  // Eight: the box corners, K0..K3 the +C face and K4..K7 the -C face.
  ASSERT_EQ(w.Get8VertexOfOBB(k8), 1);
  EXPECT_TRUE(Near(shapes::Sub(k8[1], k8[0]), shapes::Scale(A, 2), 1e-9));  // c-A-B+C, c+A-B+C
  EXPECT_TRUE(Near(shapes::Sub(k8[3], k8[0]), shapes::Scale(B, 2), 1e-9));  // c-A+B+C
  for (int i = 0; i < 8; ++i) {
    bool isCorner = false;
    for (const Vec& p : box.pts) isCorner = isCorner || Near(k8[i], p, 1e-6);
    EXPECT_TRUE(isCorner) << i;
    EXPECT_TRUE(Near(shapes::Sub(k8[i % 4], k8[i % 4 + 4]), shapes::Scale(C, 2), 1e-9)) << i;
    EXPECT_FALSE(Near(k8[i], k8[(i + 1) % 8], 1e-6)) << i;
  }
  // A null output shows the message box once (the four corners are quiet);
  // without a handler messages are collected, not printed.
  g_messageCount = 0;
  KroMessageBoxHandler previous = KroSetMessageBoxHandler(&CaptureMessage);
  EXPECT_EQ(w.Get8VertexOfOBB(nullptr) + w.Get4VertexOfOBB(nullptr), -2);
  EXPECT_EQ(g_messageCount, 1);
  EXPECT_EQ(AfxMessageBox("x"), 7);
  EXPECT_EQ(g_lastMessage, "x");
  EXPECT_EQ(KroSetMessageBoxHandler(nullptr), &CaptureMessage);  // back to the default
  KroTakeMessages();
  testing::internal::CaptureStderr();
  EXPECT_EQ(AfxMessageBox("disk full") + AfxMessageBox(nullptr), 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(KroTakeMessages(), (std::vector<std::string>{"disk full", ""}));
  KroSetMessageBoxHandler(previous);
}

// ---------------------------------------------------------------------------
// Surfaces, solids and copies

// (The facade's tests check that the precision reaches every sub-tree.)
TEST(ObbtEntityWrapper, OneSubTreePerSurface) {
  C3DEntity cube = shapes::MakeBox({0, 0, 0}, {2, 3, 4});
  CObbtEntity w;
  ASSERT_EQ(w.BuildMeshObbt(&cube), OBBT_OK);
  EXPECT_EQ(w.GetTriNumFromObbt(), 12);
  ASSERT_EQ(w.GetSubMeshNum(), 6);
  EXPECT_EQ(w.GetSubMeshObbt(6), nullptr);
  for (long i = 0; i < 6; ++i) {
    ASSERT_NE(w.GetSubMeshObbt(i), nullptr);
    EXPECT_EQ(w.GetSubMeshObbt(i)->GetTriNumFromObbt(), 2);
  }
  EXPECT_EQ(w.GetSubMeshObbt(4)->GetMeshAABB().zmax, 0.0);  // the -z face
  EXPECT_EQ(w.GetMeshAABB().zmax, 4.0);
  // Copies own their sub-wrappers but share the trees.
  auto* original = new CObbtEntity;
  ASSERT_EQ(original->BuildMeshObbt(&cube), OBBT_OK);
  CObbtEntity copy(*original);
  CObbtEntity assigned;
  assigned = *original;
  assigned = assigned;  // self-assignment keeps everything
  EXPECT_NE(copy.GetSubMeshObbt(0), original->GetSubMeshObbt(0));
  EXPECT_EQ(copy.GetSubMeshObbt(0)->GetObbtModel(), original->GetSubMeshObbt(0)->GetObbtModel());
  // The trees read the original's meshes in place; they keep them when the
  // original goes.
  delete original;
  for (long i = 0; i < 6; ++i)
    EXPECT_EQ(copy.GetSubMeshObbt(i)->GetTriNumFromObbt() +
                  assigned.GetSubMeshObbt(i)->GetTriNumFromObbt(),
              4);
  ASSERT_EQ(CollideModelsInPlace(copy.GetObbtModel(), assigned.GetSubMeshObbt(4)->GetObbtModel()),
            OBBT_OK);
  const std::vector<ContactPair> kept(ObbtContacts(), ObbtContacts() + ObbtContactCount());
  ASSERT_EQ(CollideModelsInPlace(w.GetObbtModel(), w.GetSubMeshObbt(4)->GetObbtModel()), OBBT_OK);
  ASSERT_EQ(kept.size(), static_cast<size_t>(ObbtContactCount()));
  EXPECT_GT(kept.size(), 4u);  // the -z face meets itself and the side faces
  for (size_t i = 0; i < kept.size(); ++i)
    EXPECT_TRUE(kept[i].id1 == ObbtContacts()[i].id1 && kept[i].id2 == ObbtContacts()[i].id2);
  // A corner index outside the points: no sub-trees at all.
  C3DSurface bad = shapes::MakeSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 7}}});
  C3DEntity solid(-1, 0);
  solid.AddSurface(&bad, nullptr);
  EXPECT_EQ(w.BuildMeshObbt(&solid), -1);
  EXPECT_EQ(w.GetTriNumFromObbt() + w.CheckMesh() + w.GetSubMeshNum(), 0);
}

// A flat cutter's organizer classifies against the wrapped surface, also
// after the wrapper was rebuilt and in a copy made before.
TEST(ObbtSurfaceWrapper, OrganizerClassifiesWithItsOwnTree) {
  C3DSurface low = shapes::MakeSurface({{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}},
                                       {{{0, 1, 2}}, {{0, 2, 3}}}, "granite");
  C3DSurface high = shapes::MakeSurface({{-5, -5, 3}, {5, -5, 3}, {5, 5, 3}, {-5, 5, 3}},
                                        {{{0, 1, 2}}, {{0, 2, 3}}});
  CObbtSurface cutter;
  ASSERT_EQ(cutter.BuildMeshObbt(&low), OBBT_OK);
  EXPECT_EQ(cutter.GetSide2Mesh()->m_materialName, "granite");  // both sides keep it
  KroSimpleMesh cut;
  cut.m_positions = {{0, 0, -1}, {1, 0, -1}, {0, 1, -1}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
  cut.m_triangles = {{{3, 4, 5}}, {{0, 1, 2}}};
  // What w sends to side 1 (behind its facing): the triangles' heights.
  auto side1 = [&cut](CObbtSurface& w, Kro_Mesh_Type type) {
    w.SetMeshType(type);
    w.GetMeshOrganizeObj()->BuildPosCheckObj();
    KroSimpleMesh s1, s2;
    EXPECT_EQ(w.GetMeshOrganizeObj()->ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
    EXPECT_EQ(s1.m_triangles.size() + s2.m_triangles.size(), 2u);
    std::vector<double> z;
    for (const C3DTriData& t : s1.m_triangles) z.push_back(s1.m_positions[t.v[0]].z);
    return z;
  };
  using Z = std::vector<double>;
  EXPECT_EQ(side1(cutter, Kro_Mesh_Surface), Z{-1.0});
  EXPECT_EQ(side1(cutter, Kro_Mesh_Plane), Z{-1.0});
  CObbtSurface copy(cutter);
  ASSERT_EQ(cutter.BuildMeshObbt(&high), OBBT_OK);  // takes its own tree and organizer
  EXPECT_NE(copy.GetMeshOrganizeObj(), cutter.GetMeshOrganizeObj());
  // Both triangles lie below the rebuilt cutter (z = 3); the copy keeps z = 0.
  EXPECT_EQ(side1(cutter, Kro_Mesh_Plane), (Z{1.0, -1.0}));
  EXPECT_EQ(side1(copy, Kro_Mesh_Plane), Z{-1.0});
  EXPECT_EQ(side1(copy, Kro_Mesh_Surface), Z{-1.0});  // reads the old mesh, kept alive
  double corners[9];  // the copy's tree still reads the old mesh, kept for it
  ASSERT_EQ(copy.GetObbtModel()->GetTriVertices(corners, 1), 1);
  EXPECT_EQ(corners[2] + corners[5] + corners[8], 0.0);
  // Built again on its own (nothing shared any more): reset in place.
  RAPID_model* before = copy.GetObbtModel();
  ASSERT_EQ(copy.BuildMeshObbt(&high), OBBT_OK);
  EXPECT_EQ(copy.GetObbtModel(), before);
  EXPECT_EQ(side1(copy, Kro_Mesh_Surface), (Z{1.0, -1.0}));
}
