// The command-line tool's model helpers: orientation of surfaces and
// solids, and which side of a surface a point lies on.
#include <gtest/gtest.h>

#include "Measure.h"
#include "ModelIO.h"
#include "support/ToolModels.h"

using namespace tricut;

TEST(ToolModel, OrientingTurnsTheOddTriangleTheOddFaceAndAnInsideOutSolid) {
  // A terrain with one triangle wound the wrong way round (inside the grid:
  // three neighbours).
  Model t = toolmodels::GeoTerrain(4);
  C3DTriangle* tris = nullptr;
  long n = 0;
  t.parts[0].surface.GetTriangle(&tris, nullptr, &n);
  std::swap(tris[10].v[1], tris[10].v[2]);
  EXPECT_EQ(AnalyseTopology(t).misorientedEdges, 3);
  EXPECT_EQ(OrientTriangles(t.parts[0]), 1);
  EXPECT_EQ(AnalyseTopology(t).misorientedEdges, 0);
  EXPECT_EQ(SideOfSurface(t, {toolmodels::kX0 + 20, toolmodels::kY0 + 20, 200}), 1);
  // One face turned, then the whole cube inside out.
  Model cube = FromEntity(shapes::MakeUnitCube(), "cube"), one;
  one.parts.push_back(cube.parts[2]);
  FlipOrientation(one);
  cube.parts[2] = one.parts[0];
  EXPECT_EQ(OrientSurfaces(cube), 1);
  EXPECT_EQ(AnalyseTopology(cube).misorientedEdges, 0);
  EXPECT_DOUBLE_EQ(SignedVolume(cube), 1.0);
  FlipOrientation(cube);
  EXPECT_EQ(OrientSurfaces(cube), 6);
  EXPECT_DOUBLE_EQ(SignedVolume(cube), 1.0);
  // A box inside a box, both facing out (a minus b as the library hands it
  // over): the inner one bounds a cavity and is turned to face in.
  Model hollow = FromEntity(shapes::MakeBox({-1, -1, -1}, {1, 1, 1}), "outer"),
        inner = FromEntity(shapes::MakeBox({-0.5, -0.5, -0.5}, {0, 0, 0}), "inner");
  hollow.parts.insert(hollow.parts.end(), inner.parts.begin(), inner.parts.end());
  EXPECT_EQ(OrientPiece(hollow), 12);
  EXPECT_DOUBLE_EQ(SignedVolume(hollow), 8 - 0.125);
}
