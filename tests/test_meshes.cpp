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

TEST(SimpleMesh, MergeOffsetsIndicesAssignmentAndLocalCoordinates) {
  KroSimpleMesh a = Fan(3, "first"), b = Fan(4, "second"), empty;
  a.m_indexList = {0, 1, 2};
  b.m_indexList = {3, 0};
  ASSERT_TRUE(a.merge(&b));
  ASSERT_EQ(a.m_triangles.size(), 3u);
  EXPECT_TRUE(a.m_positions.size() == 7u && a.m_triangles[1].v[0] == 3 &&
              a.m_triangles[2].v[2] == 6);
  EXPECT_EQ(a.m_indexList, (std::vector<long>{0, 1, 2, 6, 3}));
  empty.m_materialName = "other";  // an empty mesh only passes on its material
  EXPECT_TRUE(a.merge(&empty) && a.m_materialName == "other" && a.m_positions.size() == 7u);
  // Into itself: from a snapshot, not from the growing arrays.
  KroSimpleMesh s = Fan(4);
  s.merge(&s);
  ASSERT_EQ(s.m_triangles.size(), 4u);
  EXPECT_EQ(s.m_triangles[3].v[2], 7);
  // Assignment replaces the arrays, stale ones included; self-assignment keeps the mesh.
  KroSimpleMesh dst = Fan(6, "old");
  b.m_texCoords[1].assign(4, KRO::G_TEXCOORD{0.3f, 0.4f});
  b.m_triangleTops.push_back({{-1, -1, -1}});  // not carried over
  dst.m_texCoords[5].assign(6, KRO::G_TEXCOORD{9, 9});
  dst = b;
  dst = dst;
  EXPECT_TRUE(dst.m_positions.size() == 4u && dst.m_texCoords[1][2].v == 0.4f);
  EXPECT_TRUE(dst.m_texCoords[5].empty() && dst.m_triangleTops.empty());
  // The origin is read once even when it is one of the positions.
  dst.convertPostionsToLocalCoordinate(dst.m_positions[2]);  // (2, 4, 0)
  EXPECT_TRUE(dst.m_positions[0].x == -2.0 && dst.m_positions[1].y == -3.0);
  EXPECT_EQ(dst.m_positions[2].x, 0.0);
}

TEST(SimpleMeshNormals, FacingNormalsAndDegenerateVerticesGetPlusZ) {
  KroSimpleMesh m;
  m.m_positions = {{0, 9, 0}, {1, 10, 0}, {2, 11, 1},        // normal (1, -1, 0) / sqrt(2)
                   {5, 5, 5},                                // unused
                   {7, 7, 7}, {8, 8, 8},  {9, 9, 9}};        // collinear: zero area
  m.m_triangles = {{{0, 1, 2}}, {{4, 5, 6}}, {{0, 1, 99}}};  // 99: missing
  m.calculateDefaultNormals();
  ASSERT_EQ(m.m_normals.size(), 7u);
  const KRO::VECTOR3 f = m.m_normals[0];
  EXPECT_TRUE(std::fabs(f.x - 0.70710678f) < 1e-6f && f.y == -f.x && f.z == 0.f);
  for (int i = 3; i < 7; ++i) EXPECT_TRUE(m.m_normals[i].x == 0.f && m.m_normals[i].z == 1.f) << i;
}

TEST(CompdMesh, CopiesFindTheEarlierNamesakeAndPointRangesClip) {
  KroCompdMesh c, d;
  KroSimpleMesh* a = c.createSimpleMesh("dup");
  *a = Fan(6, "ma");
  a->m_meshName = "dup";
  c.createSimpleMesh("dup")->m_meshName = "b";
  EXPECT_EQ(c.getSimpleMesh("dup"), a);
  d.createSimpleMesh("stale");
  d = c;
  d = d;
  ASSERT_EQ(d.getSimpleMeshNum(), 2u);
  EXPECT_TRUE(d.getSimpleMesh(0u) != a && d.getSimpleMesh("dup")->m_materialName == "ma");
  std::unique_ptr<KroSimpleMesh> part(c.getPoint(2, 5, 0)), clipped(c.getPoint(-3, 100, 0));
  EXPECT_TRUE(part->m_positions.size() == 3u && part->m_positions[0].x == 2.0);
  EXPECT_EQ(clipped->m_positions.size(), 6u);
}

TEST(CompdMeshMerge, PackingOffsetsIndicesAndStopsAtTheLimit) {
  KroCompdMesh c;
  for (int i = 0; i < 3; ++i) {
    *c.createSimpleMesh("") = Fan(3 + i, "m" + std::to_string(i));
    c.getSimpleMesh(unsigned(i))->m_meshName = std::to_string(i);
  }
  ASSERT_TRUE(c.merge());
  ASSERT_EQ(c.getSimpleMeshNum(), 1u);
  const KroSimpleMesh& m = *c.getSimpleMesh(0u);
  EXPECT_TRUE(m.m_meshName == "0" && m.m_materialName == "m2");  // the last merged sets it
  ASSERT_EQ(m.m_triangles.size(), 1u + 2 + 3);
  // Members offset by 3, then by 3 + 4; one member left: false and untouched.
  EXPECT_TRUE(m.m_triangles[1].v[0] == 3 && m.m_triangles[3].v[0] == 7 && !c.merge());
  // 40000 triangles = 120000 indices each: the first member still has room
  // for the second (120000 < 150000) and ends above the limit; the third
  // then needs a new member.
  KroCompdMesh big, full;
  for (int i = 0; i < 3; ++i) *big.createSimpleMesh(std::to_string(i)) = WithTriangles(40000);
  ASSERT_TRUE(big.merge());
  ASSERT_EQ(big.getSimpleMeshNum(), 2u);
  EXPECT_EQ(big.getSimpleMesh(0u)->m_triangles.size(), 80000u);
  EXPECT_EQ(big.getSimpleMesh(0u)->m_triangles[79999].v[2], 5);
  for (int i = 0; i < 2; ++i) *full.createSimpleMesh("f") = WithTriangles(50000);
  EXPECT_FALSE(full.merge());
  EXPECT_EQ(full.getSimpleMeshNum(), 2u);
  // Another compound's members join the last member while there is room.
  KroCompdMesh src, roomy, one, fullOne;
  *src.createSimpleMesh("") = Fan(3);
  *roomy.createSimpleMesh("r") = Fan(3);
  EXPECT_TRUE(roomy.merge(&src) && !roomy.merge(nullptr));
  EXPECT_EQ(roomy.getSimpleMesh(0u)->m_positions.size(), 6u);
  *one.createSimpleMesh("") = WithTriangles(50000);
  *fullOne.createSimpleMesh("f") = WithTriangles(50000);
  EXPECT_FALSE(fullOne.merge(&one));  // the last member needed a new member
}
