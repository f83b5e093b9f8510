// The tricut command end to end: each command run on small files the test
// writes itself, with the outputs read back and checked.
#include <gtest/gtest.h>

#include <cmath>

#include "IOUtil.h"
#include "ModelIO.h"
#include "Progress.h"
#include "Render.h"
#include "support/ToolModels.h"

using namespace tricut;
using toolmodels::FileExists;
using toolmodels::RunResult;
using toolmodels::RunTool;
using toolmodels::ScratchDir;

namespace {

// A closed box solid of six one-face surfaces at geological coordinates.
Model BoxModel(double x0, double y0, double z0, double sx, double sy, double sz,
               const std::string& name) {
  Model m = tricut::FromEntity(shapes::MakeBox({x0, y0, z0}, {x0 + sx, y0 + sy, z0 + sz}), name);
  m.name = name;
  return m;
}

// A flat square surface z = z0 over [x0, x0+s] x [y0, y0+s], n x n cells.
Model Plane(double x0, double y0, double z0, double s, int n, const std::string& name) {
  Model m;
  m.name = name;
  Part p;
  p.name = name;
  p.surface = shapes::MakeTiltedPlane({x0 + s / 2, y0 + s / 2, z0}, {0, 0, 1}, s / 2, n);
  m.parts.push_back(std::move(p));
  return m;
}

// The plane z = x - x0 over [x0, x0+10] x [y0, y0+10].
Model Ramp(double x0, double y0) {
  std::vector<KRO::G3D_DVertex> pts;
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) pts.push_back({x0 + 2.5 * i, y0 + 2.5 * j, 2.5 * i});
  std::vector<C3DTriangle> tris;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const long a = j * 5 + i;
      tris.emplace_back(a, a + 1, a + 6);
      tris.emplace_back(a, a + 6, a + 5);
    }
  Model m;
  m.name = "ramp";
  Part p;
  p.name = "ramp";
  p.surface = MakeSurface(pts, tris, "Rock");
  m.parts.push_back(std::move(p));
  return m;
}

double Value(const std::string& out, const std::string& key) {
  const std::size_t at = out.find(key);
  if (at == std::string::npos) return std::nan("");
  return std::strtod(out.c_str() + at + key.size(), nullptr);
}

// One line on stderr, starting with the tool's name.
void ExpectOneLineError(const RunResult& r, const std::string& part) {
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_EQ(r.err.rfind("tricut: ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
}

const double X0 = toolmodels::kX0, Y0 = toolmodels::kY0;

// Every cutting command states its precision: the given one, or 1e-6 of the
// diagonal of the models' joint box.
void ExpectPrecision(const RunResult& r, double given, double diagonal) {
  if (given > 0)
    EXPECT_NE(r.out.find("precision: " + Fmt(given) + " (given)"), std::string::npos) << r.out;
  else
    EXPECT_NEAR(Value(r.out, "precision: "), 1e-6 * diagonal, 1e-12) << r.out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Help and usage

TEST(TricutHelp, EveryCommandHasHelpWithAnExample) {
  const RunResult all = RunTool("--help");
  EXPECT_EQ(all.status, 0);
  for (const char* cmd : {"demo", "cut", "curtain", "boolean", "split6", "volume", "inside", "side",
                          "clean", "info", "render"}) {
    SCOPED_TRACE(cmd);
    EXPECT_NE(all.out.find(std::string("  ") + cmd + " "), std::string::npos);
    const RunResult r = RunTool(std::string(cmd) + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: tricut " + std::string(cmd)), std::string::npos);
    EXPECT_NE(r.out.find("Example:\n  tricut " + std::string(cmd)), std::string::npos);
  }
  EXPECT_EQ(RunTool("").status, 2);
}

// ---------------------------------------------------------------------------
// One-model commands

TEST(TricutInfo, ReportsCountsBoxKindAndVolume) {
  const std::string dir = ScratchDir("info");
  WriteModel(dir + "/box.ply", toolmodels::GeoBox());
  const RunResult r = RunTool("info " + dir + "/box.ply");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("surfaces:   2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("triangles:  12"), std::string::npos);
  EXPECT_NE(r.out.find("closed solid"), std::string::npos);
  EXPECT_NE(r.out.find("x 512345.678901234 .. 512356.178901234"), std::string::npos) << r.out;
  EXPECT_NEAR(Value(r.out, "volume:"), 10.5 * 20.25 * 30.375, 1e-4);
  EXPECT_NE(r.out.find("Sandstone"), std::string::npos);
  EXPECT_NE(r.out.find("colours normals texture"), std::string::npos);

  WriteModel(dir + "/ramp.ts", Ramp(X0, Y0));
  const RunResult open = RunTool("info " + dir + "/ramp.ts");
  EXPECT_NE(open.out.find("open surface (16 open edges, 1 piece)"), std::string::npos) << open.out;
}

TEST(TricutVolume, CutAndFillOfARamp) {
  const std::string dir = ScratchDir("volume");
  WriteModel(dir + "/ramp.obj", Ramp(X0, Y0));
  const RunResult r = RunTool("volume " + dir + "/ramp.obj --z0 5");
  ASSERT_EQ(r.status, 0) << r.err;
  // z = x over a 10 x 10 plan: 125 above z = 5, 125 below it.
  EXPECT_NEAR(Value(r.out, "plan area:"), 100, 1e-6);
  EXPECT_NEAR(Value(r.out, "surface area:"), 100 * std::sqrt(2.0), 1e-6);
  EXPECT_NEAR(Value(r.out, "cut volume:"), 125, 1e-6);
  EXPECT_NEAR(Value(r.out, "fill volume:"), 125, 1e-6);
  const RunResult low = RunTool("volume " + dir + "/ramp.obj --z0=-1");
  EXPECT_NEAR(Value(low.out, "cut volume:"), 600, 1e-6);
  EXPECT_NEAR(Value(low.out, "fill volume:"), 0, 1e-9);
}

TEST(TricutInside, InsideBoundaryOutsideAndOpenModelsRefused) {
  const std::string dir = ScratchDir("inside");
  WriteModel(dir + "/box.stl", BoxModel(X0, Y0, -50, 10, 20, 30, "box"));
  auto at = [&](double x, double y, double z) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "inside %s/box.stl %.10f %.10f %.10f", dir.c_str(), x, y, z);
    return RunTool(buf);
  };
  EXPECT_EQ(at(X0 + 5, Y0 + 10, -35).out, "inside\n");
  EXPECT_EQ(at(X0 + 5, Y0 + 10, -60).out, "outside\n");
  EXPECT_EQ(at(X0 + 5, Y0 + 10, -20).out, "boundary\n");
  EXPECT_EQ(at(X0 - 0.01, Y0 + 10, -35).out, "outside\n");
}

TEST(TricutSide, FrontAndBackOfASurface) {
  const std::string dir = ScratchDir("side");
  WriteModel(dir + "/plane.off", Plane(X0, Y0, 100, 10, 3, "plane"));
  char buf[200];
  std::snprintf(buf, sizeof buf, "side %s/plane.off %.6f %.6f 103", dir.c_str(), X0 + 4, Y0 + 4);
  EXPECT_EQ(RunTool(buf).out, "front\n");
  std::snprintf(buf, sizeof buf, "side %s/plane.off %.6f %.6f 97", dir.c_str(), X0 + 4, Y0 + 4);
  EXPECT_EQ(RunTool(buf).out, "back\n");
}

TEST(TricutClean, MergesNearPointsAndDropsCollapsedTriangles) {
  const std::string dir = ScratchDir("clean");
  // Two triangles sharing an edge through separate copies 0.0004 apart,
  // and a sliver whose corners are within 0.001 of each other.
  toolmodels::WriteText(dir + "/in.obj",
                        "v 0 0 0\nv 10 0 0\nv 0 10 0\n"
                        "v 10.0004 0 0\nv 10 10 0\nv 0 10.0004 0\n"
                        "v 5 5 5\nv 5.0002 5 5\nv 5 5.0003 5\n"
                        "f 1 2 3\nf 4 5 6\nf 7 8 9\n");
  const RunResult r = RunTool("clean " + dir + "/in.obj -o " + dir + "/out.ply");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("points:    9 -> 4 (5 removed)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("triangles: 3 -> 2 (1 removed)"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  const Model out = ReadModel(dir + "/out.ply");
  EXPECT_EQ(out.TriangleCount(), 2);
  EXPECT_EQ(AnalyseTopology(out).boundaryEdges, 4);
  EXPECT_NEAR(SurfaceArea(out), 100, 1e-2);
  // A third sheet along the shared edge, 0.0005 off: welded, the edge
  // carries three triangles, which the clean-up warns about.
  toolmodels::WriteText(dir + "/fin.obj",
                        "v 0 0 0\nv 10 0 0\nv 5 5 0\nv 5 -5 0\nv 0.0005 0 0\nv 10 0.0005 0\n"
                        "v 5 0 5\nf 1 2 3\nf 2 1 4\nf 5 6 7\n");
  const RunResult fin = RunTool("clean " + dir + "/fin.obj -o " + dir + "/fin-out.obj");
  ASSERT_EQ(fin.status, 0) << fin.err;
  EXPECT_NE(fin.err.find("warning: " + dir + "/fin.obj: the clean-up left 1 edges shared by 3"),
            std::string::npos)
      << fin.err;
}

// Progress: nothing for a command quicker than the delay or when stderr is
// not a terminal (every RunTool above checks clean stderr); after the delay
// the stage and fraction, cleared at the end.
TEST(TricutProgress, ShownAfterTheDelayWithStageAndFraction) {
  for (const double delay : {0.0, 30.0}) {
    std::FILE* f = std::tmpfile();
    {
      Progress p("cut", true, f, delay);
      p.Step("cutting a against b", 0.25);
    }
    std::rewind(f);
    char buf[256] = {0};
    const std::string text(buf, std::fread(buf, 1, sizeof buf - 1, f));
    std::fclose(f);
    EXPECT_EQ(text.find("\rcut: cutting a against b (25%, 0 s)"),
              delay == 0 ? 0 : std::string::npos)
        << delay << ": " << text;
    EXPECT_EQ(text.empty() || text.back() == '\r', true) << text;  // the line is cleared
  }
}

TEST(TricutRender, PictureOfOneOrSeveralModels) {
  const std::string dir = ScratchDir("render");
  WriteModel(dir + "/box.obj", toolmodels::GeoBox());
  WriteModel(dir + "/ramp.obj", Ramp(X0, Y0));
  const RunResult r = RunTool("render " + dir + "/box.obj " + dir + "/ramp.obj -o " + dir +
                              "/pic.png --size 320x200 --title Test");
  ASSERT_EQ(r.status, 0) << r.err;
  int w = 0, h = 0;
  ASSERT_TRUE(PngSize(dir + "/pic.png", w, h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
}

// ---------------------------------------------------------------------------
// Bad input: one line on stderr, status 2, no output left behind

TEST(TricutBadInput, OneLineMessageStatus2AndNoOutputLeftBehind) {
  const std::string dir = ScratchDir("bad");
  toolmodels::WriteText(dir + "/bad.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n");
  toolmodels::WriteText(dir + "/empty.off", "OFF\n0 0 0\n");
  toolmodels::WriteText(dir + "/nan.ply",
                        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                        "property float y\nproperty float z\nelement face 1\n"
                        "property list uchar int vertex_indices\nend_header\n0 0 0\n1 nan 0\n"
                        "0 1 0\n3 0 1 2\n");
  WriteModel(dir + "/a.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "a"));
  WriteModel(dir + "/b.obj", BoxModel(X0 + 100, Y0, 0, 10, 10, 10, "b"));
  WriteModel(dir + "/open.obj", Plane(X0, Y0, 5, 10, 2, "open"));
  // "@" stands for the folder.
  const std::pair<std::string, std::string> cases[] = {
      {"frobnicate", "unknown command 'frobnicate'"},
      {"info a.obj --bogus", "unknown option --bogus"},
      {"clean @/bad.obj -o @/out.obj", "bad.obj:4: vertex index 4 out of range"},
      {"info @/missing.obj", "cannot open"},
      {"info @/nan.ply", "nan.ply:11: vertex 2: coordinate is not finite"},
      {"info @/model.dwg", "unknown model format"},
      {"volume @/empty.off --z0 0", "no triangles in"},
      {"volume @/open.obj", "reference level is missing"},
      {"volume @/open.obj --z0 high", "not a finite number"},
      {"inside @/open.obj 0 0 0", "not a closed solid"},
      {"render @/a.obj -o @/pic.jpg", "must be a .png"},
      {"boolean union @/a.obj @/b.obj -o @/out.obj", "do not touch"},
      {"cut @/a.obj @/b.obj --out @/cut", "do not touch"},
      {"boolean union @/a.obj @/open.obj -o @/out.obj", "open.obj: not a closed solid"},
      {"boolean xor @/a.obj @/b.obj -o @/out.obj", "unknown operation 'xor'"},
      {"curtain @/open.obj --polyline \"1,2\"", "at least two points"},
      {"cut @/a.obj @/open.obj --precision 2", "strictly between 0 and 1"},
      {"cut @/a.obj @/open.obj --threads 0", "--threads must be a whole number"},
  };
  for (auto [args, message] : cases) {
    for (std::size_t at; (at = args.find('@')) != std::string::npos;) args.replace(at, 1, dir);
    SCOPED_TRACE(args);
    ExpectOneLineError(RunTool(args), message);
  }
  // Formats that read anything as a (possibly empty) model: every command
  // that needs a model refuses one without triangles.
  toolmodels::WriteText(dir + "/empty.obj", "");
  toolmodels::WriteText(dir + "/empty.ts", "GOCAD TSurf 1\nEND\n");
  toolmodels::WriteText(dir + "/noise.obj", std::string("\x8f\x01zq\xff\n\x13 9 \x7f", 11));
  for (const char* f : {"empty.obj", "empty.ts", "noise.obj"})
    for (const std::string cmd : {"info ", "side ", "clean "})
      ExpectOneLineError(RunTool(cmd + dir + "/" + f +
                                 (cmd == "side "    ? " 0 0 0"
                                  : cmd == "clean " ? " -o x.obj"
                                                    : "")),
                         "no triangles in " + dir + "/" + f);
  // No output and no temporary files anywhere in the folder.
  EXPECT_FALSE(FileExists(dir + "/out.obj"));
  EXPECT_NE(std::system(("ls '" + dir + "' | grep -q tmp-").c_str()), 0);
}

// ---------------------------------------------------------------------------
// The cuts, through the library's cutting facade

TEST(TricutCut, SurfaceBySurfaceKeepsTheAreasSplitOrWhole) {
  const std::string dir = ScratchDir("cut-ss");
  // A horizontal plane and a vertical plane crossing it in the middle.
  WriteModel(dir + "/h.obj", Plane(X0, Y0, 0, 10, 4, "h"));
  Model v;
  v.name = "v";
  Part p;
  p.name = "v";
  p.surface = shapes::MakeTiltedPlane({X0 + 5.2, Y0 + 5, 0}, {1, 0, 0}, 8, 4);
  v.parts.push_back(std::move(p));
  WriteModel(dir + "/v.obj", v);
  const RunResult r = RunTool("cut " + dir + "/h.obj " + dir + "/v.obj --out " + dir +
                              "/out --lines --png " + dir + "/cut.png");
  ASSERT_EQ(r.status, 0) << r.err;
  const Model h1 = ReadModel(dir + "/out/h-side1.obj"), h2 = ReadModel(dir + "/out/h-side2.obj");
  EXPECT_NEAR(SurfaceArea(h1) + SurfaceArea(h2), 100, 1e-6);
  EXPECT_NEAR(std::min(SurfaceArea(h1), SurfaceArea(h2)), 48, 1e-6);
  const Model v1 = ReadModel(dir + "/out/v-side1.obj"), v2 = ReadModel(dir + "/out/v-side2.obj");
  EXPECT_NEAR(SurfaceArea(v1) + SurfaceArea(v2), 256, 1e-6);
  const std::string lines = toolmodels::ReadText(dir + "/out/lines.obj");
  EXPECT_NE(lines.find("# 1 intersection lines"), std::string::npos) << lines;
  EXPECT_TRUE(FileExists(dir + "/cut.png"));

  // Neither split: each surface comes out whole, re-triangulated along the
  // cut line.
  const RunResult whole = RunTool("cut " + dir + "/h.obj " + dir + "/v.obj --out " + dir +
                                  "/whole --no-split-first --no-split-second");
  ASSERT_EQ(whole.status, 0) << whole.err;
  const Model w1 = ReadModel(dir + "/whole/h-side1.obj");
  EXPECT_NEAR(SurfaceArea(w1), 100, 1e-6);
  EXPECT_GT(w1.TriangleCount(), 32);
  EXPECT_FALSE(FileExists(dir + "/whole/h-side2.obj"));
}

TEST(TricutCut, SolidBySurfaceWithCutFacesGivesTwoClosedPieces) {
  const std::string dir = ScratchDir("cut-es");
  WriteModel(dir + "/box.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "box"));
  WriteModel(dir + "/plane.obj", Plane(X0 - 2, Y0 - 2, 3.5, 14, 7, "plane"));
  const RunResult r =
      RunTool("cut " + dir + "/box.obj " + dir + "/plane.obj --cut-faces --out " + dir + "/out");
  ASSERT_EQ(r.status, 0) << r.err;
  const Model s1 = ReadModel(dir + "/out/box-side1.obj"),
              s2 = ReadModel(dir + "/out/box-side2.obj");
  EXPECT_TRUE(AnalyseTopology(s1).Closed());
  EXPECT_TRUE(AnalyseTopology(s2).Closed());
  EXPECT_EQ(AnalyseTopology(s2).misorientedEdges, 0);
  const double v1 = SignedVolume(s1), v2 = SignedVolume(s2);
  EXPECT_NEAR(v1 + v2, 1000, 1e-6);
  EXPECT_NEAR(std::min(v1, v2), 350, 1e-6);
  const Model inside = ReadModel(dir + "/out/plane-inside.obj");
  EXPECT_NEAR(SurfaceArea(inside), 100, 1e-6);

  // A plane ending inside the box leaves both pieces open, each still
  // facing one way throughout, cut face included.
  WriteModel(dir + "/part.obj", Plane(X0 - 2, Y0 - 2, 3.5, 8, 4, "part"));
  const RunResult open = RunTool("cut " + dir + "/box.obj " + dir +
                                 "/part.obj --cut-faces --precision 0.0005 --out " + dir + "/open");
  ASSERT_EQ(open.status, 0) << open.err;
  ExpectPrecision(open, 0.0005, 0);
  for (const char* side : {"/open/box-side1.obj", "/open/box-side2.obj"}) {
    const Topology t = AnalyseTopology(ReadModel(dir + side));
    EXPECT_GT(t.boundaryEdges, 0) << side;
    EXPECT_EQ(t.misorientedEdges, 0) << side;
  }
}

TEST(TricutCurtain, TwoSidesOfASurface) {
  const std::string dir = ScratchDir("curtain");
  WriteModel(dir + "/ramp.obj", Ramp(X0, Y0));
  char poly[200];
  std::snprintf(poly, sizeof poly, "\"%.17g,%.17g %.17g,%.17g\"", X0 + 3.3, Y0 - 5, X0 + 3.3,
                Y0 + 15);
  const RunResult r =
      RunTool("curtain " + dir + "/ramp.obj --polyline " + poly + " --out " + dir + "/out");
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPrecision(r, 0, std::sqrt(300.0));
  // The polyline runs north: the east part is on its right.
  const Model right = ReadModel(dir + "/out/ramp-right.obj"),
              left = ReadModel(dir + "/out/ramp-left.obj");
  const double s2 = std::sqrt(2.0);
  EXPECT_NEAR(SurfaceArea(right) + SurfaceArea(left), 100 * s2, 1e-6);
  EXPECT_NEAR(SurfaceArea(left), 33 * s2, 1e-6);
  EXPECT_GE(BoxOf(right).lo[0], X0 + 3.3 - 1e-6);
  EXPECT_LE(BoxOf(left).hi[0], X0 + 3.3 + 1e-6);

  // Walking the other way swaps right and left.
  std::snprintf(poly, sizeof poly, "\"%.17g,%.17g %.17g,%.17g\"", X0 + 3.3, Y0 + 15, X0 + 3.3,
                Y0 - 5);
  const RunResult back = RunTool("curtain " + dir + "/ramp.obj --polyline " + poly +
                                 " --precision 0.0005 --out " + dir + "/back");
  ASSERT_EQ(back.status, 0) << back.err;
  ExpectPrecision(back, 0.0005, 0);
  EXPECT_NEAR(SurfaceArea(ReadModel(dir + "/back/ramp-right.obj")), 33 * s2, 1e-6);
}

TEST(TricutBoolean, VolumesOfTheFourCombinations) {
  const std::string dir = ScratchDir("boolean");
  WriteModel(dir + "/a.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "a"));
  WriteModel(dir + "/b.obj", BoxModel(X0 + 4, Y0 + 3, 2, 10, 10, 10, "b"));
  const double common = 6 * 7 * 8;
  const std::pair<const char*, double> ops[] = {{"union", 2000 - common},
                                                {"intersection", common},
                                                {"a-minus-b", 1000 - common},
                                                {"b-minus-a", 1000 - common}};
  for (const auto& [op, volume] : ops) {
    SCOPED_TRACE(op);
    const std::string out = dir + "/" + op + ".ply";
    const double given = std::string(op) == "union" ? 0.0005 : 0;
    const RunResult r =
        RunTool(std::string("boolean ") + op + " " + dir + "/a.obj " + dir + "/b.obj -o " + out +
                (given > 0 ? " --precision 0.0005 --threads 2" : ""));
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectPrecision(r, given, std::sqrt(14 * 14 + 13 * 13 + 12 * 12));
    const Model m = ReadModel(out);
    EXPECT_TRUE(AnalyseTopology(m).Closed());
    EXPECT_NEAR(SignedVolume(m), volume, 1e-6);
  }
}

TEST(TricutSplit6, SixOutputsOfTwoBoxes) {
  const std::string dir = ScratchDir("split6");
  WriteModel(dir + "/a.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "a"));
  WriteModel(dir + "/b.obj", BoxModel(X0 + 4, Y0 + 3, 2, 10, 10, 10, "b"));
  const RunResult r = RunTool("split6 " + dir + "/a.obj " + dir + "/b.obj --out " + dir +
                              "/out --precision 0.0005");
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectPrecision(r, 0.0005, 0);
  const double common = 6 * 7 * 8;
  const Model o2 = ReadModel(dir + "/out/o2-a-minus-b.obj");
  const Model o3 = ReadModel(dir + "/out/o3-common-a-material.obj");
  const Model o6 = ReadModel(dir + "/out/o6-b-minus-a.obj");
  EXPECT_NEAR(SignedVolume(o2), 1000 - common, 1e-6);
  EXPECT_NEAR(SignedVolume(o3), common, 1e-6);
  EXPECT_NEAR(SignedVolume(o6), 1000 - common, 1e-6);
  const Model o1 = ReadModel(dir + "/out/o1-b-in-a.obj");
  EXPECT_NEAR(SurfaceArea(o1), 6 * 7 + 7 * 8 + 6 * 8, 1e-6);  // b's caps inside a
}

TEST(TricutDemo, RunsEveryStepAndWritesModelsAndPictures) {
  const std::string dir = ScratchDir("demo");
  const RunResult r = RunTool("demo --size 320x240 --out " + dir + "/out");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
  for (const char* f : {"scene/terrain.obj", "scene/tunnel.obj", "scene-bodies.png",
                        "surface-by-surface.png", "solid-by-surface/body-side1.obj",
                        "booleans/union.obj", "six-outputs.png", "tunnel/body-minus-tunnel.obj"})
    EXPECT_TRUE(FileExists(dir + "/out/" + f)) << f;
  const Model tunnel = ReadModel(dir + "/out/scene/tunnel.obj");
  EXPECT_TRUE(AnalyseTopology(tunnel).Closed());
  EXPECT_GT(SignedVolume(tunnel), 0);
  EXPECT_NE(r.out.find("centre of the body (500200, 4000150, -20): inside the body"),
            std::string::npos)
      << r.out;
}
