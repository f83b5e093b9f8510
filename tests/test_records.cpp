// Layouts and constants that callers copy byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "kromesh/mesh/KroRecords.h"

TEST(Records, FieldsSitInTheGivenOrder) {
  KroPntStrcT p{};
  EXPECT_EQ(reinterpret_cast<char*>(&p.z) - reinterpret_cast<char*>(&p), 16);
  EXPECT_EQ(reinterpret_cast<char*>(&p.attr) - reinterpret_cast<char*>(&p), 24);
  EXPECT_EQ(reinterpret_cast<char*>(&p.flag1) - reinterpret_cast<char*>(&p), 26);
  EXPECT_EQ(reinterpret_cast<char*>(&p.flag2) - reinterpret_cast<char*>(&p), 27);

  KroNetStrcT n{};
  EXPECT_EQ(reinterpret_cast<char*>(&n.adj[0]) - reinterpret_cast<char*>(&n), 3 * 8);
  EXPECT_EQ(reinterpret_cast<char*>(&n.flag1) - reinterpret_cast<char*>(&n), 6 * 8);

  tctagD3ConvexBox b{1, 2, 3, 4, 5, 6};
  double raw[6];
  std::memcpy(raw, &b, sizeof raw);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(raw[i], i + 1.0);
}

TEST(Records, TrianglesBraceInitialiseAsThreeIndices) {
  C3DTriData t{4, 5, 6};
  C3DTriaTop top{-1, 0, 7};
  EXPECT_EQ(t.v[0], 4);
  EXPECT_EQ(t.v[2], 6);
  EXPECT_EQ(top.n[0], -1);
  EXPECT_EQ(top.n[2], 7);
}

TEST(Records, EmptyBoxIsInverted) {
  tctagD3ConvexBox b = KroEmptyD3Box();
  EXPECT_DOUBLE_EQ(b.xmin, 3.402823e+38);
  EXPECT_DOUBLE_EQ(b.zmax, -3.402823e+38);
  EXPECT_GT(b.ymin, b.ymax);
  tctagD2ConvexBox b2 = KroEmptyD2Box();
  EXPECT_GT(b2.xmin, b2.xmax);
}

TEST(Records, EnumerationValues) {
  EXPECT_EQ(Kro_Mesh_Plane, 1);
  EXPECT_EQ(Kro_Mesh_FreeSurface, 4);
  EXPECT_EQ(Kro_Split_ByInterDots, 3);
  EXPECT_EQ(Kro_Cut_Second, 2);
  EXPECT_EQ(Kro_Oper_FirstOutside, 5);
  EXPECT_EQ(Kro_Remain_Side2, 2);
}

TEST(Records, ColourConstructsFromFourFloats) {
  KRO::COLOR4 c(0.1f, 0.2f, 0.3f, 1.0f);
  EXPECT_FLOAT_EQ(c.g, 0.2f);
  KRO::COLOR4 d;
  EXPECT_FLOAT_EQ(d.a, 0.0f);
}
