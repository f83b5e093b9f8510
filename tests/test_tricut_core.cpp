// The building blocks of the command-line tool: number formatting and
// parsing, argument lists, model helpers (orientation, cut lines, unused
// points), measurements at geological coordinates, the demo scene and the
// picture writer.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <random>

#include "Cli.h"
#include "Cuts.h"
#include "DemoScene.h"
#include "Errors.h"
#include "IOUtil.h"
#include "Measure.h"
#include "ModelIO.h"
#include "Render.h"
#include "support/ToolModels.h"

using namespace tricut;

namespace {

// The unit square [x0, x0+1] x [0, 1] at z = 0 as n x n cells, split into
// the cells left of x0 + k/n (part "left") and the others ("right").
std::pair<Model, Model> SplitSquare(double x0, int n, int k) {
  std::vector<KRO::G3D_DVertex> pts;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      pts.push_back({x0 + static_cast<double>(i) / n, static_cast<double>(j) / n, 0});
  std::vector<C3DTriangle> left, right;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const long a = j * (n + 1) + i;
      auto& dst = i < k ? left : right;
      dst.emplace_back(a, a + 1, a + n + 2);
      dst.emplace_back(a, a + n + 2, a + n + 1);
    }
  auto model = [&](const std::vector<C3DTriangle>& t, const char* name) {
    Model m;
    m.name = name;
    Part p;
    p.name = name;
    p.surface = MakeSurface(pts, t, "");
    m.parts.push_back(std::move(p));
    return m;
  };
  return {model(left, "left"), model(right, "right")};
}

}  // namespace

// ---------------------------------------------------------------------------
// Numbers and arguments

TEST(ToolText, ShortestNumbersReadBackExactly) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> coord(-1e7, 1e7), small(-1e-3, 1e-3);
  for (int i = 0; i < 2000; ++i) {
    for (double v : {coord(rng), small(rng), 512345.0 + small(rng)}) {
      double back;
      ASSERT_TRUE(ParseDouble(Fmt(v), back)) << Fmt(v);
      ASSERT_EQ(back, v) << Fmt(v);
    }
  }
  EXPECT_EQ(Fmt(500000.0), "500000");
  EXPECT_EQ(Fmt(4000000.25), "4000000.25");
  EXPECT_EQ(Fmt(0.1), "0.1");
  EXPECT_EQ(Fmt(-0.5f), "-0.5");
  double d;
  EXPECT_FALSE(ParseDouble("1.5x", d));
  EXPECT_FALSE(ParseDouble("", d));
  long l;
  EXPECT_TRUE(ParseLong("+42", l));
  EXPECT_EQ(l, 42);
  EXPECT_FALSE(ParseLong("4.2", l));
}

TEST(ToolText, LinesAndTokens) {
  LineReader lr("a b\r\n\r\n  c\td  \nlast");
  std::string_view line;
  std::vector<std::vector<std::string_view>> all;
  while (lr.Next(line)) all.push_back(Tokens(line));
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(lr.LineNo(), 4);
  EXPECT_EQ(all[0].size(), 2u);
  EXPECT_TRUE(all[1].empty());
  EXPECT_EQ(all[2][1], "d");
  EXPECT_EQ(all[3][0], "last");
  EXPECT_EQ(Extension("a/b.c/model.OBJ"), "obj");
  EXPECT_EQ(Extension("a.d/model"), "");
  EXPECT_EQ(TokenName("two words", "x"), "two_words");
}

TEST(ToolArgs, OptionsValuesAndNegativeNumbers) {
  ArgList args(
      {"box.obj", "-3.5", "--z0", "7", "--png=p.png", "--split-type", "1", "3", "-12", "--flag"});
  EXPECT_TRUE(args.Flag("--flag"));
  EXPECT_FALSE(args.Flag("--flag"));
  EXPECT_EQ(*args.Number("--z0"), 7);
  EXPECT_EQ(*args.Value("--png"), "p.png");
  const auto st = args.Values("--split-type", 2);
  ASSERT_TRUE(st.has_value());
  EXPECT_EQ((*st)[1], "3");
  const auto pos = args.Positionals();
  EXPECT_EQ(pos, (std::vector<std::string>{"box.obj", "-3.5", "-12"}));

  ArgList bad({"a.obj", "--nope"});
  EXPECT_THROW(bad.Positionals(), ToolError);
  ArgList last({"--out"});
  EXPECT_THROW(last.Value("--out"), ToolError);
  EXPECT_THROW(ParseNumberArg("inf", "x"), ToolError);
  EXPECT_THROW(ParsePolyline("1,2 3;4"), ToolError);
  const auto line = ParsePolyline("1,2; 3,4 -5,6e1");
  ASSERT_EQ(line.size(), 3u);
  EXPECT_EQ(line[2].y, 60);
}

// ---------------------------------------------------------------------------
// Model helpers

TEST(ToolModel, CutLinesRunWhereTheTwoSidesMeet) {
  auto [left, right] = SplitSquare(toolmodels::kX0, 4, 1);
  const auto lines = SharedBoundaryLines(left, right);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].size(), 5u);  // x = x0 + 0.25, five grid points
  for (const auto& p : lines[0]) EXPECT_EQ(p.x, toolmodels::kX0 + 0.25);
  EXPECT_EQ(std::fabs(lines[0].front().y - lines[0].back().y), 1.0);
  // Pieces that do not meet share no line.
  auto [a, b] = SplitSquare(0, 4, 4);
  EXPECT_TRUE(SharedBoundaryLines(a, SplitSquare(5, 4, 0).second).empty());
  // A sphere's two halves meet along the equator: one closed line.
  const Model sphere = tricut::FromEntity(shapes::MakeSphereEntity({1, 2, 3}, 2, 8, 16), "s");
  Model north, south;
  north.parts.push_back(sphere.parts[0]);
  south.parts.push_back(sphere.parts[1]);
  const auto ring = SharedBoundaryLines(north, south);
  ASSERT_EQ(ring.size(), 1u);
  EXPECT_EQ(ring[0].size(), 17u);
  EXPECT_EQ(ring[0].front().x, ring[0].back().x);
  EXPECT_EQ(ring[0].front().y, ring[0].back().y);
}

TEST(ToolModel, OrientSurfacesTurnsTheOddFaceAndAnInsideOutSolid) {
  Model box = toolmodels::FromShapes(shapes::MakeUnitCube(), "cube");
  Model one;
  one.parts.push_back(box.parts[2]);
  FlipOrientation(one);
  box.parts[2] = one.parts[0];
  EXPECT_GT(AnalyseTopology(box).misorientedEdges, 0);
  EXPECT_EQ(OrientSurfaces(box), 1);
  EXPECT_EQ(AnalyseTopology(box).misorientedEdges, 0);
  EXPECT_DOUBLE_EQ(SignedVolume(box), 1.0);

  FlipOrientation(box);
  EXPECT_EQ(OrientSurfaces(box), 6);
  EXPECT_DOUBLE_EQ(SignedVolume(box), 1.0);
}

TEST(ToolModel, OrientTrianglesTurnsTheOddTriangleOfASurface) {
  // A terrain with one triangle wound the wrong way round.
  Model t = toolmodels::GeoTerrain(4);
  C3DTriangle* tris = nullptr;
  long n = 0;
  t.parts[0].surface.GetTriangle(&tris, nullptr, &n);
  const C3DTriangle before = tris[10];  // inside the grid: three neighbours
  std::swap(tris[10].v[1], tris[10].v[2]);
  EXPECT_EQ(AnalyseTopology(t).misorientedEdges, 3);
  EXPECT_EQ(OrientTriangles(t.parts[0]), 1);
  EXPECT_EQ(AnalyseTopology(t).misorientedEdges, 0);
  t.parts[0].surface.GetTriangle(&tris, nullptr, &n);
  EXPECT_EQ(tris[10].v[1], before.v[1]);
  EXPECT_EQ(tris[10].v[2], before.v[2]);
  EXPECT_EQ(SideOfSurface(t, {toolmodels::kX0 + 20, toolmodels::kY0 + 20, 200}), 1);

  // In a closed box, a turned triangle spoils the volume until oriented.
  Model box = toolmodels::GeoBox();
  box.parts[1].surface.GetTriangle(&tris, nullptr, &n);
  std::swap(tris[0].v[0], tris[0].v[1]);
  const double v = 10.5 * 20.25 * 30.375;
  EXPECT_GT(std::fabs(SignedVolume(box) - v), 1.0);
  OrientSurfaces(box);
  EXPECT_NEAR(SignedVolume(box), v, 1e-6);
}

TEST(ToolModel, DropUnusedPointsKeepsDecorationsInStep) {
  Part p = toolmodels::DecoratedPart(
      "p", "M", {{0, 0, 0}, {9, 9, 9}, {1, 0, 0}, {0, 1, 0}, {8, 8, 8}}, {{0, 2, 3}});
  const auto colourOf2 = p.surface.Decoration().m_colours[2];
  EXPECT_EQ(DropUnusedPoints(p), 2);
  ASSERT_EQ(p.surface.GetPointNum(), 3);
  EXPECT_EQ(p.surface.Points()[1].x, 1);
  EXPECT_EQ(p.surface.Decoration().m_colours[1].r, colourOf2.r);
  EXPECT_EQ(p.surface.Decoration().m_texcoords[0].size(), 3u);
  EXPECT_EQ(TrianglesOf(p.surface)[0].v[2], 2);
  EXPECT_EQ(p.surface.GetMaterialName(), "M");
  EXPECT_EQ(DropUnusedPoints(p), 0);
}

// ---------------------------------------------------------------------------
// Measurements

TEST(ToolMeasure, VolumesDoNotDependOnWhereTheModelIs) {
  // The same terrain near the origin and at geological coordinates.
  Model near = toolmodels::GeoTerrain(8);
  Model far = near;
  for (auto& part : near.parts) {
    std::vector<KRO::G3D_DVertex> pts = part.surface.Points();
    for (auto& p : pts) {
      p.x -= toolmodels::kX0;
      p.y -= toolmodels::kY0;
    }
    part.surface = MakeSurface(pts, TrianglesOf(part.surface), "Soil");
  }
  const VolumeReport a = MeasureVolume(near, 101), b = MeasureVolume(far, 101);
  EXPECT_NEAR(a.cutVolume, b.cutVolume, 1e-6 * a.cutVolume);
  EXPECT_NEAR(a.fillVolume, b.fillVolume, 1e-6 * a.fillVolume);
  EXPECT_NEAR(a.planArea, 6400.0, 1e-6);  // the grid is sheared, not stretched
  EXPECT_NEAR(a.planAreaAbove + a.planAreaBelow, a.planArea, 1e-6);
  EXPECT_GT(a.cutVolume, 0);
  EXPECT_GT(a.fillVolume, 0);
}

// ---------------------------------------------------------------------------
// The demo scene

TEST(DemoScene, SolidsAreClosedAndFaceOutwards) {
  const double pi = 3.14159265358979323846;
  for (const Model& m : {demo::LayeredBody(), demo::Lens(), demo::Tunnel()}) {
    SCOPED_TRACE(m.name);
    const Topology t = AnalyseTopology(m);
    EXPECT_TRUE(t.Closed());
    EXPECT_EQ(t.misorientedEdges, 0);
    EXPECT_EQ(t.components, 1);
    EXPECT_GT(SignedVolume(m), 0);
    EXPECT_GT(BoxOf(m).lo[0], demo::kX0);
  }
  // The lens approaches its ellipsoid from inside.
  const double ellipsoid = 4.0 / 3.0 * pi * 85 * 60 * 42;
  EXPECT_GT(SignedVolume(demo::Lens()), 0.9 * ellipsoid);
  EXPECT_LT(SignedVolume(demo::Lens()), ellipsoid);
  // Tunnel: circular segment of radius 16 over a 30 m chord, 321 m long.
  const double theta = pi - 2 * std::acos(15.0 / 16.0);
  const double section = 128 * (theta - std::sin(theta));
  const double length = std::hypot(320.0, 25.0);
  EXPECT_GT(SignedVolume(demo::Tunnel()), 0.97 * section * length);
  EXPECT_LT(SignedVolume(demo::Tunnel()), section * length);
  // The body's top carries texture coordinates, one per point.
  const Model body = demo::LayeredBody();
  const Part& top = body.parts[0];
  EXPECT_EQ(top.surface.Decoration().m_texcoords[0].size(),
            static_cast<std::size_t>(top.surface.GetPointNum()));
}

// ---------------------------------------------------------------------------
// Pictures

TEST(ToolPicture, PngDecodesToTheRenderedPixels) {
  const Model box = toolmodels::GeoBox();
  RenderOptions opt;
  opt.width = 160;
  opt.height = 120;
  opt.title = "box";
  const Image img = RenderScene({{"box", &box, PaletteColour(1)}}, opt);
  const std::string dir = toolmodels::ScratchDir("png");
  WritePng(dir + "/box.png", img);
  png_image in;
  std::memset(&in, 0, sizeof in);
  in.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&in, (dir + "/box.png").c_str()));
  in.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(in));
  ASSERT_TRUE(png_image_finish_read(&in, nullptr, pixels.data(), 0, nullptr));
  EXPECT_EQ(in.width, 160u);
  EXPECT_EQ(in.height, 120u);
  EXPECT_EQ(pixels, img.rgb);
}

TEST(ToolPicture, ExplodedAndGridViewsSeparateThePieces) {
  auto [left, right] = SplitSquare(0, 8, 4);
  RenderOptions opt;
  opt.width = 300;
  opt.height = 200;
  opt.legend = false;
  opt.elevation = 89.9;  // from (almost) straight above
  auto gapColumns = [&](const Image& img) {
    // Background columns strictly between the two coloured regions.
    int first = -1, last = -1, gaps = 0;
    std::vector<bool> used(img.width, false);
    for (int x = 0; x < img.width; ++x)
      for (int y = 0; y < img.height; ++y) {
        const uint8_t* p = img.At(x, y);
        if (std::abs(p[0] - p[2]) > 40) used[x] = true;
      }
    for (int x = 0; x < img.width; ++x)
      if (used[x]) {
        if (first < 0) first = x;
        last = x;
      }
    for (int x = first; x <= last && first >= 0; ++x)
      if (!used[x]) ++gaps;
    return gaps;
  };
  const std::vector<RenderItem> items = {{"left", &left, KRO::COLOR4(1, 0, 0, 1)},
                                         {"right", &right, KRO::COLOR4(1, 0.5f, 0, 1)}};
  opt.azimuth = 270;  // screen x along model x
  EXPECT_EQ(gapColumns(RenderScene(items, opt)), 0);
  opt.explode = 0.5;
  EXPECT_GT(gapColumns(RenderScene(items, opt)), 5);
  opt.explode = 0;
  opt.gridColumns = 2;
  EXPECT_GT(gapColumns(RenderScene(items, opt)), 5);
}
