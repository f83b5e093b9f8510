// The building blocks of the command-line tool: number formatting and
// parsing, model helpers (orientation, cut lines, unused
// points) and the picture writer.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <random>

#include "IOUtil.h"
#include "Measure.h"
#include "ModelIO.h"
#include "Render.h"
#include "support/ToolModels.h"

using namespace tricut;

namespace {

// The unit square [x0, x0+1] x [0, 1] at z = 0 as n x n cells, split into
// the cells left of x0 + k/n (model "left") and the others ("right").
std::pair<Model, Model> SplitSquare(double x0, int n, int k) {
  const shapes::TriSoup s = shapes::SoupOf(
      shapes::MakeTerrain(n, n, x0, 0, 1.0 / n, 1.0 / n, [](double, double) { return 0.0; }));
  std::vector<C3DTriangle> part[2];
  for (std::size_t t = 0; t < s.tris.size(); ++t)  // two triangles a cell, row by row
    part[(t / 2) % n >= static_cast<std::size_t>(k)].emplace_back(s.tris[t].v[0], s.tris[t].v[1],
                                                                  s.tris[t].v[2]);
  return {FromSurface(MakeSurface(s.pts, part[0]), "left"),
          FromSurface(MakeSurface(s.pts, part[1]), "right")};
}

}  // namespace

TEST(ToolText, ShortestNumbersLinesTokensAndNames) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> coord(-1e7, 1e7), small(-1e-3, 1e-3);
  for (int i = 0; i < 2000; ++i)
    for (double v : {coord(rng), small(rng), 512345.0 + small(rng)}) {
      double back;
      ASSERT_TRUE(ParseDouble(Fmt(v), back) && back == v) << Fmt(v);
    }
  double d;
  long l;
  EXPECT_FALSE(ParseDouble("1.5x", d) || ParseDouble("", d) || ParseLong("4.2", l));
  EXPECT_TRUE(ParseLong("+42", l) && l == 42);
  LineReader lr("a b\r\n\r\n  c\td  \nlast");
  std::string all;
  for (std::string_view line; lr.Next(line); all += "|")
    for (auto t : Tokens(line)) all += std::string(t) + ",";
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {  // {what came out, what should}
      {Fmt(500000.0) + " " + Fmt(4000000.25) + " " + Fmt(0.1) + " " + Fmt(-0.5f), "500000 4000000.25 0.1 -0.5"},
      {all + std::to_string(lr.LineNo()), "a,b,||c,d,|last,|4"},
      {Extension("a/b.c/model.OBJ") + "," + Extension("a.d/model"), "obj,"},
      {TokenName("two words", "x"), "two_words"},
  };
  // clang-format on
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

TEST(ToolModel, CutLinesRunWhereTheTwoSidesMeet) {
  auto [left, right] = SplitSquare(toolmodels::kX0, 4, 1);
  const auto lines = SharedBoundaryLines(left, right);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].size(), 5u);  // x = x0 + 0.25, five grid points
  for (const auto& p : lines[0]) EXPECT_EQ(p.x, toolmodels::kX0 + 0.25);
  EXPECT_EQ(std::fabs(lines[0].front().y - lines[0].back().y), 1.0);
  // Pieces that do not meet share no line.
  EXPECT_TRUE(SharedBoundaryLines(SplitSquare(0, 4, 4).first, SplitSquare(5, 4, 0).second).empty());
  // A sphere's two halves meet along the equator: one closed line.
  const Model sphere = FromEntity(shapes::MakeSphereEntity({1, 2, 3}, 2, 8, 16), "s");
  const auto ring = SharedBoundaryLines(FromSurface(sphere.parts[0].surface, "n"),
                                        FromSurface(sphere.parts[1].surface, "s"));
  ASSERT_EQ(ring.size(), 1u);
  EXPECT_EQ(ring[0].size(), 17u);
  EXPECT_TRUE(ring[0].front().x == ring[0].back().x && ring[0].front().y == ring[0].back().y);
}

TEST(ToolModel, OrientingTurnsTheOddTriangleTheOddFaceAndAnInsideOutSolid) {
  // A terrain with one triangle wound the wrong way round (inside the grid:
  // three neighbours).
  Model t = toolmodels::GeoTerrain(4);
  C3DTriangle* tris = nullptr;
  long n = 0;
  t.parts[0].surface.GetTriangle(&tris, nullptr, &n);
  const C3DTriangle before = tris[10];
  std::swap(tris[10].v[1], tris[10].v[2]);
  EXPECT_EQ(AnalyseTopology(t).misorientedEdges, 3);
  EXPECT_EQ(OrientTriangles(t.parts[0]), 1);
  EXPECT_EQ(AnalyseTopology(t).misorientedEdges, 0);
  t.parts[0].surface.GetTriangle(&tris, nullptr, &n);
  EXPECT_TRUE(tris[10].v[1] == before.v[1] && tris[10].v[2] == before.v[2]);
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
}

TEST(ToolModel, DropUnusedPointsKeepsDecorationsInStep) {
  Part p = toolmodels::DecoratedPart(
      "p", "M", {{0, 0, 0}, {9, 9, 9}, {1, 0, 0}, {0, 1, 0}, {8, 8, 8}}, {{0, 2, 3}});
  const auto colourOf2 = p.surface.Decoration().m_colours[2];
  EXPECT_EQ(DropUnusedPoints(p), 2);
  ASSERT_EQ(p.surface.GetPointNum(), 3);
  EXPECT_TRUE(p.surface.Points()[1].x == 1 && TrianglesOf(p.surface)[0].v[2] == 2);
  EXPECT_TRUE(p.surface.Decoration().m_colours[1].r == colourOf2.r &&
              p.surface.Decoration().m_texcoords[0].size() == 3u);
  EXPECT_EQ(p.surface.GetMaterialName(), "M");
  EXPECT_EQ(DropUnusedPoints(p), 0);
}

TEST(ToolPicture, PngDecodesToTheRenderedPixels) {
  const Model box = toolmodels::GeoBox();
  RenderOptions opt;
  opt.width = 160, opt.height = 120, opt.title = "box";
  const Image img = RenderScene({{"box", &box, PaletteColour(1)}}, opt);
  const std::string path = toolmodels::ScratchDir("png") + "/box.png";
  WritePng(path, img);
  png_image in;
  std::memset(&in, 0, sizeof in);
  in.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&in, path.c_str()));
  in.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(in));
  ASSERT_TRUE(png_image_finish_read(&in, nullptr, pixels.data(), 0, nullptr));
  EXPECT_TRUE(in.width == 160u && in.height == 120u);
  EXPECT_EQ(pixels, img.rgb);
}
