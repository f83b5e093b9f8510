// KroSimpleMesh and KroCompdMesh.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "kromesh/mesh/KroSimpleMesh.h"
#include "support/Shapes.h"

namespace {

// A mesh of n positions along x and the triangle fan (0, i, i+1).
KroSimpleMesh Fan(int n, const std::string& material = "m") {
  KroSimpleMesh m;
  m.m_materialName = material;
  for (int i = 0; i < n; ++i) m.m_positions.push_back({double(i), double(i * i), 0.0});
  for (int i = 1; i + 1 < n; ++i) m.m_triangles.push_back({{0, i, i + 1}});
  return m;
}

// A mesh with exactly nTris triangles (indices all 0..2) and 3 positions.
KroSimpleMesh WithTriangles(long nTris) {
  KroSimpleMesh m;
  m.m_positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  m.m_triangles.assign(static_cast<size_t>(nTris), C3DTriData{{0, 1, 2}});
  return m;
}

}  // namespace

TEST(SimpleMesh, NewAndResetMeshesAreNullBaseWhite) {
  KroSimpleMesh m;
  EXPECT_TRUE(m.isNull());
  EXPECT_EQ(m.m_materialName, "BaseWhite");
  EXPECT_EQ(m.m_meshName, "");
  m = Fan(4, "granite");
  m.m_meshName = "x";
  m.m_triangleTops.push_back({{-1, -1, -1}});
  m.m_indexList = {1, 2};
  EXPECT_FALSE(m.isNull());
  m.setNull();
  EXPECT_TRUE(m.isNull());
  EXPECT_EQ(m.m_materialName, "BaseWhite");
  EXPECT_EQ(m.m_meshName, "");
  EXPECT_TRUE(m.m_indexList.empty());
  EXPECT_EQ(m.m_triangleTops.size(), 1u);  // setNull keeps the neighbours
}

TEST(SimpleMesh, IsNullLooksAtEveryAttributeButTopsAndIndexList) {
  KroSimpleMesh m;
  m.m_indexList = {0, 1, 2};
  m.m_triangleTops.push_back({{0, 0, 0}});
  EXPECT_TRUE(m.isNull());
  m.m_texCoords[7].push_back({0.5f, 0.5f});
  EXPECT_FALSE(m.isNull());
  m.m_texCoords[7].clear();
  m.m_colours[1].push_back(KRO::COLOR4(1, 1, 1, 1));
  EXPECT_FALSE(m.isNull());
}

TEST(SimpleMesh, MergeOffsetsAppendedIndicesByFormerPointCount) {
  KroSimpleMesh a = Fan(3, "first");
  a.m_indexList = {0, 1, 2};
  KroSimpleMesh b = Fan(4, "second");
  b.m_indexList = {3, 0};
  b.m_meshName = "b";
  a.m_meshName = "a";
  ASSERT_TRUE(a.merge(&b));
  ASSERT_EQ(a.m_positions.size(), 7u);
  ASSERT_EQ(a.m_triangles.size(), 3u);
  EXPECT_EQ(a.m_triangles[1].v[0], 3);
  EXPECT_EQ(a.m_triangles[1].v[1], 4);
  EXPECT_EQ(a.m_triangles[2].v[2], 6);
  EXPECT_EQ(a.m_triangles[0].v[2], 2);  // own triangles untouched
  EXPECT_EQ(a.m_indexList, (std::vector<long>{0, 1, 2, 6, 3}));
  EXPECT_EQ(a.m_materialName, "second");
  EXPECT_EQ(a.m_meshName, "a");
  EXPECT_EQ(a.m_positions[6].y, 9.0);
}

TEST(SimpleMesh, MergingAnEmptyMeshOnlyTakesItsMaterial) {
  KroSimpleMesh a = Fan(5, "first");
  a.m_normals.assign(5, KRO::VECTOR3{0, 0, 1});
  KroSimpleMesh empty;
  empty.m_materialName = "other";
  EXPECT_TRUE(a.merge(&empty));
  EXPECT_EQ(a.m_materialName, "other");
  EXPECT_EQ(a.m_positions.size(), 5u);
  EXPECT_EQ(a.m_normals.size(), 5u);
  EXPECT_EQ(a.m_triangles.size(), 3u);
  EXPECT_TRUE(a.merge(nullptr));
  EXPECT_EQ(a.m_materialName, "other");
}

TEST(SimpleMesh, MergeAppendsAttributeArraysIndependently) {
  KroSimpleMesh a = Fan(3);
  a.m_normals.assign(3, KRO::VECTOR3{0, 0, 1});
  KroSimpleMesh b = Fan(3);
  b.m_texCoords[2].assign(3, KRO::G_TEXCOORD{0.25f, 0.75f});
  a.merge(&b);
  EXPECT_EQ(a.m_normals.size(), 3u);  // b had none: shorter than positions
  EXPECT_EQ(a.m_texCoords[2].size(), 3u);
  EXPECT_EQ(a.m_texCoords[2][0].v, 0.75f);
}

TEST(SimpleMesh, MergingAMeshIntoItselfDoublesIt) {
  KroSimpleMesh a = Fan(4);
  a.merge(&a);
  ASSERT_EQ(a.m_positions.size(), 8u);
  ASSERT_EQ(a.m_triangles.size(), 4u);
  EXPECT_EQ(a.m_triangles[3].v[2], 7);
  EXPECT_EQ(a.m_positions[7].y, 9.0);
}

TEST(SimpleMesh, IndexBufferSizeIsTheLargerOfListAndTriangles) {
  KroSimpleMesh m = WithTriangles(5);
  m.m_indexList.assign(20, 0);
  EXPECT_EQ(m.getIndexBufferSize(), 20u);
  m.m_indexList.assign(10, 0);
  EXPECT_EQ(m.getIndexBufferSize(), 15u);
}

TEST(SimpleMesh, AssignmentCopiesFilledArraysAndNamesNotTops) {
  KroSimpleMesh src = Fan(3, "clay");
  src.m_meshName = "src";
  src.m_texCoords[0].assign(3, KRO::G_TEXCOORD{0.1f, 0.2f});
  src.m_texCoords[1].assign(3, KRO::G_TEXCOORD{0.3f, 0.4f});
  src.m_colours[1].assign(3, KRO::COLOR4(0, 1, 0, 1));
  src.m_triangleTops.push_back({{-1, -1, -1}});
  src.m_indexList = {2, 1};
  KroSimpleMesh dst = Fan(6, "old");
  dst.m_texCoords[5].assign(6, KRO::G_TEXCOORD{9, 9});
  dst = src;
  EXPECT_EQ(dst.m_positions.size(), 3u);
  EXPECT_EQ(dst.m_texCoords[0][2].u, 0.1f);
  EXPECT_EQ(dst.m_texCoords[1][2].v, 0.4f);
  EXPECT_TRUE(dst.m_texCoords[5].empty());  // emptied by setNull
  EXPECT_EQ(dst.m_colours[1][0].g, 1.f);
  EXPECT_TRUE(dst.m_colours[0].empty());
  EXPECT_EQ(dst.m_indexList, src.m_indexList);
  EXPECT_EQ(dst.m_materialName, "clay");
  EXPECT_EQ(dst.m_meshName, "src");
  EXPECT_TRUE(dst.m_triangleTops.empty());
  dst = dst;  // self-assignment keeps the mesh
  EXPECT_EQ(dst.m_positions.size(), 3u);
  EXPECT_EQ(dst.m_materialName, "clay");
}

TEST(SimpleMesh, LocalCoordinatesSubtractOriginEvenWhenItIsAPosition) {
  KroSimpleMesh m = Fan(3);
  m.convertPostionsToLocalCoordinate(m.m_positions[2]);  // (2, 4, 0)
  EXPECT_EQ(m.m_positions[0].x, -2.0);
  EXPECT_EQ(m.m_positions[1].y, -3.0);
  EXPECT_EQ(m.m_positions[2].x, 0.0);
  EXPECT_EQ(m.m_positions[2].y, 0.0);
}

TEST(SimpleMeshNormals, OneTriangleFacesPlusZ) {
  KroSimpleMesh m = WithTriangles(1);
  m.calculateDefaultNormals();
  ASSERT_EQ(m.m_normals.size(), 3u);
  for (const auto& n : m.m_normals) {
    EXPECT_FLOAT_EQ(n.x, 0.f);
    EXPECT_FLOAT_EQ(n.y, 0.f);
    EXPECT_FLOAT_EQ(n.z, 1.f);
  }
}

TEST(SimpleMeshNormals, CubeCornersPointOutwardAlongDiagonals) {
  KroSimpleMesh m;
  const shapes::TriSoup cube = shapes::SoupOf(shapes::MakeUnitCube());
  // Weld the faces so that each corner sees its three faces.
  const std::vector<long> w = shapes::WeldMap(cube.pts, 1e-9);
  m.m_positions = cube.pts;
  for (auto t : cube.tris) {
    for (long& v : t.v) v = w[v];
    m.m_triangles.push_back(t);
  }
  m.calculateDefaultNormals();
  for (size_t i = 0; i < m.m_positions.size(); ++i) {
    if (w[i] != static_cast<long>(i)) continue;
    const auto& p = m.m_positions[i];
    const auto& n = m.m_normals[i];
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-6);
    // Outward: same sign as the offset from the cube centre on every axis.
    EXPECT_GT(n.x * (p.x - 0.5), 0.0);
    EXPECT_GT(n.y * (p.y - 0.5), 0.0);
    EXPECT_GT(n.z * (p.z - 0.5), 0.0);
  }
}

TEST(SimpleMeshNormals, UnusedAndDegenerateVerticesGetPlusZNotNaN) {
  KroSimpleMesh m;
  m.m_positions = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1},          // triangle facing -y
                   {5, 5, 5},                                // unused
                   {7, 7, 7}, {8, 8, 8}, {9, 9, 9}};         // collinear: zero area
  m.m_triangles = {{{0, 2, 1}}, {{4, 5, 6}}, {{0, 1, 99}}};  // 99: missing vertex
  m.calculateDefaultNormals();
  ASSERT_EQ(m.m_normals.size(), 7u);
  EXPECT_FLOAT_EQ(m.m_normals[0].y, 1.f);
  for (int i = 3; i < 7; ++i) {
    EXPECT_EQ(m.m_normals[i].x, 0.f) << i;
    EXPECT_EQ(m.m_normals[i].y, 0.f) << i;
    EXPECT_EQ(m.m_normals[i].z, 1.f) << i;
  }
  for (const auto& n : m.m_normals)
    EXPECT_FALSE(std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z));
}

TEST(CompdMesh, MembersByNameAndIndex) {
  KroCompdMesh c;
  EXPECT_EQ(c.m_maxIndexBufferSize, 150000u);
  KroSimpleMesh* a = c.createSimpleMesh("dup");
  KroSimpleMesh* b = c.createSimpleMesh("dup");
  c.createSimpleMesh("other");
  ASSERT_EQ(c.getSimpleMeshNum(), 3u);
  EXPECT_NE(a, b);
  EXPECT_EQ(c.getSimpleMesh("dup"), a);
  EXPECT_EQ(c.getSimpleMesh("none"), nullptr);
  EXPECT_EQ(c.getSimpleMesh(1u), b);
  EXPECT_EQ(c.getSimpleMesh(3u), nullptr);
  c.removeSimpleMesh(0);
  EXPECT_EQ(c.getSimpleMesh("dup"), b);
  c.removeSimpleMesh(9);  // out of range: nothing
  EXPECT_EQ(c.getSimpleMeshNum(), 2u);
  std::unique_ptr<KroSimpleMesh> taken(c.removeSimpleMeshNotDel(0));
  EXPECT_EQ(taken.get(), b);
  EXPECT_EQ(c.removeSimpleMeshNotDel(5), nullptr);
  EXPECT_EQ(c.getSimpleMeshNum(), 1u);
}

TEST(CompdMesh, AssignmentDeepCopiesMembersWithNames) {
  KroCompdMesh c;
  *c.createSimpleMesh("a") = Fan(4, "ma");
  c.getSimpleMesh(0u)->m_meshName = "a";
  *c.createSimpleMesh("b") = Fan(5, "mb");
  c.getSimpleMesh(1u)->m_meshName = "b";
  KroCompdMesh d;
  d.createSimpleMesh("stale");
  d = c;
  ASSERT_EQ(d.getSimpleMeshNum(), 2u);
  EXPECT_NE(d.getSimpleMesh(0u), c.getSimpleMesh(0u));
  EXPECT_EQ(d.getSimpleMesh("b")->m_positions.size(), 5u);
  EXPECT_EQ(d.getSimpleMesh("b")->m_materialName, "mb");
  EXPECT_EQ(d.getSimpleMesh("stale"), nullptr);
  d = d;
  EXPECT_EQ(d.getSimpleMeshNum(), 2u);
  EXPECT_EQ(d.calculateIndexNum(), 3u * (2 + 3));
  d.calculateDefaultNormals();
  EXPECT_EQ(d.getSimpleMesh(1u)->m_normals.size(), 5u);
}

TEST(CompdMesh, GetPointCopiesARangeOfPositionsOnly) {
  KroCompdMesh c;
  *c.createSimpleMesh("a") = Fan(6);
  std::unique_ptr<KroSimpleMesh> part(c.getPoint(2, 5, 0));
  ASSERT_NE(part, nullptr);
  ASSERT_EQ(part->m_positions.size(), 3u);
  EXPECT_EQ(part->m_positions[0].x, 2.0);
  EXPECT_TRUE(part->m_triangles.empty());
  std::unique_ptr<KroSimpleMesh> clipped(c.getPoint(-3, 100, 0));
  EXPECT_EQ(clipped->m_positions.size(), 6u);
  EXPECT_EQ(c.getPoint(0, 1, 1), nullptr);
}

TEST(CompdMeshMerge, SmallMembersPackIntoOne) {
  KroCompdMesh c;
  *c.createSimpleMesh("0") = Fan(3, "m0");
  *c.createSimpleMesh("1") = Fan(4, "m1");
  *c.createSimpleMesh("2") = Fan(5, "m2");
  for (unsigned i = 0; i < 3; ++i) c.getSimpleMesh(i)->m_meshName = std::to_string(i);
  ASSERT_TRUE(c.merge());
  ASSERT_EQ(c.getSimpleMeshNum(), 1u);
  const KroSimpleMesh& m = *c.getSimpleMesh(0u);
  EXPECT_EQ(m.m_meshName, "0");       // the first member's copy keeps its name
  EXPECT_EQ(m.m_materialName, "m2");  // the last merged sets the material
  EXPECT_EQ(m.m_positions.size(), 12u);
  ASSERT_EQ(m.m_triangles.size(), 1u + 2 + 3);
  EXPECT_EQ(m.m_triangles[1].v[0], 3);  // second member offset by 3
  EXPECT_EQ(m.m_triangles[3].v[0], 7);  // third member offset by 3 + 4
  EXPECT_TRUE(shapes::IndicesValid(shapes::SoupOf(m)));
}

TEST(CompdMeshMerge, SingleOrEmptyCompoundIsUnchanged) {
  KroCompdMesh c;
  EXPECT_FALSE(c.merge());
  KroSimpleMesh* only = c.createSimpleMesh("solo");
  *only = Fan(4, "m");
  only->m_meshName = "solo";
  EXPECT_FALSE(c.merge());
  ASSERT_EQ(c.getSimpleMeshNum(), 1u);
  EXPECT_EQ(c.getSimpleMesh(0u), only);  // the very same member
  EXPECT_EQ(c.getSimpleMesh(0u)->m_meshName, "solo");
}

TEST(CompdMeshMerge, PackingStopsTakingMembersAtTheLimit) {
  // 40000 triangles = 120000 indices each: the first member still has room
  // for the second (120000 < 150000) and ends above the limit; the third
  // then needs a new member.
  KroCompdMesh c;
  for (int i = 0; i < 3; ++i) *c.createSimpleMesh(std::to_string(i)) = WithTriangles(40000);
  ASSERT_TRUE(c.merge());
  ASSERT_EQ(c.getSimpleMeshNum(), 2u);
  EXPECT_EQ(c.getSimpleMesh(0u)->m_triangles.size(), 80000u);
  EXPECT_EQ(c.getSimpleMesh(0u)->getIndexBufferSize(), 240000u);
  EXPECT_EQ(c.getSimpleMesh(1u)->m_triangles.size(), 40000u);
  EXPECT_EQ(c.getSimpleMesh(1u)->m_positions.size(), 3u);
  EXPECT_EQ(c.getSimpleMesh(0u)->m_triangles[79999].v[2], 5);

  // Members already full stay apart: nothing packs, the result is false.
  KroCompdMesh full;
  for (int i = 0; i < 2; ++i) *full.createSimpleMesh("f") = WithTriangles(50000);
  EXPECT_FALSE(full.merge());
  EXPECT_EQ(full.getSimpleMeshNum(), 2u);
}

TEST(CompdMeshMerge, MergeOtherReportsWhereTheLastMemberWent) {
  KroCompdMesh src;
  *src.createSimpleMesh("a") = Fan(3);
  *src.createSimpleMesh("b") = Fan(4);
  // Assigning a mesh copies its (empty) name too, so name them afterwards.
  src.getSimpleMesh(0u)->m_meshName = "a";
  src.getSimpleMesh(1u)->m_meshName = "b";

  KroCompdMesh empty;
  EXPECT_TRUE(empty.merge(&src));  // becomes a copy
  EXPECT_EQ(empty.getSimpleMeshNum(), 2u);
  EXPECT_NE(empty.getSimpleMesh(0u), src.getSimpleMesh(0u));

  KroCompdMesh roomy;
  *roomy.createSimpleMesh("r") = Fan(3);
  EXPECT_TRUE(roomy.merge(&src));
  ASSERT_EQ(roomy.getSimpleMeshNum(), 1u);
  EXPECT_EQ(roomy.getSimpleMesh(0u)->m_positions.size(), 10u);

  KroCompdMesh full;
  *full.createSimpleMesh("f") = WithTriangles(50000);
  // "a" needs a new member (assigned: its names come along), "b" then
  // merges into that one.
  EXPECT_TRUE(full.merge(&src));
  ASSERT_EQ(full.getSimpleMeshNum(), 2u);
  EXPECT_EQ(full.getSimpleMesh(1u)->m_meshName, "a");
  EXPECT_EQ(full.getSimpleMesh(1u)->m_positions.size(), 7u);
  KroCompdMesh big;
  *big.createSimpleMesh("") = WithTriangles(50000);
  big.getSimpleMesh(0u)->m_meshName = "big";
  KroCompdMesh fullOnly;
  *fullOnly.createSimpleMesh("f") = WithTriangles(50000);
  EXPECT_FALSE(fullOnly.merge(&big));  // the last member needed a new member
  ASSERT_EQ(fullOnly.getSimpleMeshNum(), 2u);
  EXPECT_EQ(fullOnly.getSimpleMesh(1u)->m_meshName, "big");

  KroCompdMesh none;
  EXPECT_FALSE(roomy.merge(&none));
  EXPECT_FALSE(roomy.merge(nullptr));
  EXPECT_TRUE(roomy.merge(&roomy));  // into itself: from a snapshot
  EXPECT_EQ(roomy.getSimpleMesh(0u)->m_positions.size(), 20u);
}
