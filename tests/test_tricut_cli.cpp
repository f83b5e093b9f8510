// The tricut command end to end: each command run on small files the test
// writes itself, with the outputs read back and checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <tuple>

#include "Cli.h"
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

const double X0 = toolmodels::kX0, Y0 = toolmodels::kY0;

Model BoxModel(double x0, double y0, double z0, double sx, double sy, double sz,
               const std::string& name) {
  return FromEntity(shapes::MakeBox({x0, y0, z0}, {x0 + sx, y0 + sy, z0 + sz}), name);
}

// A flat square surface z = z0 over [x0, x0+s] x [y0, y0+s], n x n cells.
Model Plane(double x0, double y0, double z0, double s, int n, const std::string& name) {
  return FromSurface(shapes::MakeTiltedPlane({x0 + s / 2, y0 + s / 2, z0}, {0, 0, 1}, s / 2, n),
                     name);
}

// The plane z = x - X0 over [X0, X0+10] x [Y0, Y0+10].
Model Ramp() {
  return FromSurface(
      shapes::MakeTerrain(4, 4, X0, Y0, 2.5, 2.5, [](double x, double) { return x - X0; }), "ramp");
}

std::string Point(double x, double y, double z) {
  return Fmt(x) + " " + Fmt(y) + " " + Fmt(z);
}

// "@" in args stands for the folder.
std::string In(const std::string& dir, std::string args) {
  for (std::size_t at; (at = args.find('@')) != std::string::npos;) args.replace(at, 1, dir);
  return args;
}

}  // namespace

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

// The one-model commands: what they print on stdout (a text starting with
// "=" is the whole output) or, starting with "!", on stderr, which is no
// terminal here and else stays empty.
TEST(TricutCommands, OneModelCommandsReportWhatTheyFind) {
  const std::string dir = ScratchDir("one");
  WriteModel(dir + "/box.ply", toolmodels::GeoBox());
  WriteModel(dir + "/ramp.ts", Ramp());
  WriteModel(dir + "/ramp.obj", Ramp());
  WriteModel(dir + "/solid.stl", BoxModel(X0, Y0, -50, 10, 20, 30, "box"));
  WriteModel(dir + "/plane.off", Plane(X0, Y0, 100, 10, 3, "plane"));
  // Two triangles sharing an edge through separate copies 0.0004 apart,
  // and a sliver whose corners are within 0.001 of each other.
  toolmodels::WriteText(dir + "/in.obj",
                        "v 0 0 0\nv 10 0 0\nv 0 10 0\nv 10.0004 0 0\nv 10 10 0\nv 0 10.0004 0\n"
                        "v 5 5 5\nv 5.0002 5 5\nv 5 5.0003 5\nf 1 2 3\nf 4 5 6\nf 7 8 9\n");
  // A third sheet along a shared edge, 0.0005 off: welded, the edge carries
  // three triangles, which the clean-up warns about.
  toolmodels::WriteText(dir + "/fin.obj",
                        "v 0 0 0\nv 10 0 0\nv 5 5 0\nv 5 -5 0\nv 0.0005 0 0\nv 10 0.0005 0\n"
                        "v 5 0 5\nf 1 2 3\nf 2 1 4\nf 5 6 7\n");
  const std::string in = Point(X0 + 5, Y0 + 10, -35), front = Point(X0 + 4, Y0 + 4, 103);
  // Numbers as printed (10 digits); z = x over a 10 x 10 plan: 125 above
  // z = 5, 125 below it.
  // clang-format off
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"info @/box.ply", {"surfaces:   2", "triangles:  12", "closed solid", "volume:     6458.484375",
                          "x 512345.678901234 .. 512356.178901234", "Sandstone", "colours normals texture"}},
      {"info @/ramp.ts", {"open surface (16 open edges, 1 piece)"}},
      {"volume @/ramp.obj --z0 5", {"plan area:        100\n", "surface area:     141.4213562\n",
                                    "plan area above:  50\n", "plan area below:  50\n",
                                    "cut volume:       125\n", "fill volume:      125\n"}},
      {"volume @/ramp.obj --z0=-1", {"plan area above:  100\n", "plan area below:  0\n",
                                     "cut volume:       600\n", "fill volume:      0\n"}},
      {"inside @/solid.stl " + in, {"=inside\n"}},
      {"inside @/solid.stl " + Point(X0 + 5, Y0 + 10, -60), {"=outside\n"}},
      {"inside @/solid.stl " + Point(X0 + 5, Y0 + 10, -20), {"=boundary\n"}},
      {"inside @/solid.stl " + Point(X0 - 0.01, Y0 + 10, -35), {"=outside\n"}},
      {"side @/plane.off " + front, {"=front\n"}},
      {"side @/plane.off " + Point(X0 + 4, Y0 + 4, 97), {"=back\n"}},
      {"clean @/in.obj -o @/out.ply", {"points:    9 -> 4 (5 removed)", "triangles: 3 -> 2 (1 removed)"}},
      {"clean @/fin.obj -o @/fin-out.obj", {"!warning: @/fin.obj: the clean-up left 1 edges shared by 3"}},
      {"render @/box.ply @/ramp.obj -o @/pic.png --size 320x200 --title Test", {}},
  };
  // clang-format on
  for (const auto& [args, texts] : cases) {
    SCOPED_TRACE(args);
    const RunResult r = RunTool(In(dir, args));
    EXPECT_EQ(r.status, 0);
    bool warns = false;
    for (const auto& t : texts) {
      warns = warns || t[0] == '!';
      const std::string& where = t[0] == '!' ? r.err : r.out;
      const std::string want = In(dir, t[0] == '=' || t[0] == '!' ? t.substr(1) : t);
      EXPECT_TRUE(t[0] == '=' ? where == want : where.find(want) != std::string::npos)
          << want << " in\n"
          << where;
    }
    EXPECT_TRUE(warns || r.err.empty()) << r.err;
  }
  const Model out = ReadModel(dir + "/out.ply");
  EXPECT_EQ(out.TriangleCount(), 2);
  EXPECT_EQ(AnalyseTopology(out).boundaryEdges, 4);
  EXPECT_NEAR(SurfaceArea(out), 100, 1e-2);
  int w = 0, h = 0;
  ASSERT_TRUE(PngSize(dir + "/pic.png", w, h));
  EXPECT_TRUE(w == 320 && h == 200) << w << "x" << h;
}

// Progress, shown as if stderr were a terminal: each command that reads a
// model names its stages in order with rising fractions, then clears the
// line; nothing at all for a command quicker than the delay.
TEST(TricutProgress, CommandsShowTheirStagesInOrderThenClearTheLine) {
  const std::string dir = ScratchDir("progress");
  WriteModel(dir + "/box.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "box"));
  WriteModel(dir + "/ramp.obj", Ramp());
  const std::string mid = Point(X0 + 5, Y0 + 5, 5);
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"info @/box.obj", {"reading", "matching edges", "measuring"}},
      {"volume @/ramp.obj --z0 1", {"reading", "measuring"}},
      {"inside @/box.obj " + mid,
       {"reading", "checking the solid", "building the index", "querying"}},
      {"side @/ramp.obj " + mid, {"reading", "querying"}},
      {"clean @/ramp.obj -o @/clean.obj", {"reading", "cleaning surface 1 of 1", "writing"}},
      {"render @/box.obj @/ramp.obj -o @/p.png --size 64x64",
       {"reading @/box.obj", "reading @/ramp.obj", "drawing", "writing"}},
      {"cut @/box.obj @/ramp.obj --out @/cut", {"reading", "cutting box against ramp"}},
  };
  for (const auto& [args, stages] : cases) {
    SCOPED_TRACE(args);
    std::vector<std::string> words = {"tricut"};
    std::istringstream in(In(dir, args));
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(&w[0]);
    char* buf = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&buf, &size);
    Progress::ShowAllOn(f, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Main(static_cast<int>(argv.size()), argv.data()), 0);
    testing::internal::GetCapturedStdout();
    Progress::ShowAllOn(nullptr, 0);
    std::fclose(f);
    const std::string text(buf, size);
    std::free(buf);
    // Updates "\r<task>: <stage> (<percent>%, <seconds> s)", in order with
    // rising percentages, then the line cleared.
    std::size_t at = 0;
    int percent = 0;
    for (const auto& stage : stages) {
      at = text.find(": " + In(dir, stage) + " (", at);
      ASSERT_NE(at, std::string::npos) << stage << " in " << text;
      const int p = std::atoi(text.c_str() + text.find(" (", at + 2) + 2);
      EXPECT_GE(p, percent) << stage;
      percent = p;
    }
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ(text.back(), '\r');
    EXPECT_EQ(text.find_first_not_of(' ', text.rfind('\r', text.size() - 2) + 1), text.size() - 1);
  }
  std::FILE* f = std::tmpfile();
  {
    Progress p("cut", true, f, 30);
    p.Step("cutting a against b", 0.25);
  }
  EXPECT_EQ(std::ftell(f), 0);
  std::fclose(f);
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
  // Formats that read anything as a (possibly empty) model: every command
  // that needs a model refuses one without triangles.
  toolmodels::WriteText(dir + "/empty.obj", "");
  toolmodels::WriteText(dir + "/empty.ts", "GOCAD TSurf 1\nEND\n");
  toolmodels::WriteText(dir + "/noise.obj", std::string("\x8f\x01zq\xff\n\x13 9 \x7f", 11));
  std::vector<std::pair<std::string, std::string>> cases = {
      {"frobnicate", "unknown command 'frobnicate'"},
      {"info a.obj --bogus", "unknown option --bogus"},
      {"clean @/bad.obj -o @/out.obj", "bad.obj:4: vertex index 4 out of range"},
      {"info @/missing.obj", "@/missing.obj: cannot open"},
      {"info @/nan.ply", "nan.ply:11: vertex 2: coordinate is not finite"},
      {"info @/model.dwg", "@/model.dwg: unknown model format"},
      {"volume @/empty.off --z0 0", "no triangles in"},
      {"volume @/open.obj", "reference level is missing"},
      {"volume @/open.obj --z0 high", "not a finite number"},
      {"volume @/open.obj --z0", "option --z0 needs a value"},
      {"cut @/open.obj @/a.obj --split-type 1", "option --split-type needs 2 values"},
      {"curtain @/open.obj --polyline \"1,2 3;4\"", "--polyline: '3' is not a point x,y"},
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
  for (const char* f : {"empty.obj", "empty.ts", "noise.obj"})
    for (std::string cmd : {"info @/#", "side @/# 0 0 0", "clean @/# -o x.obj"})
      cases.push_back({cmd.replace(cmd.find('#'), 1, f), "no triangles in @/" + std::string(f)});
  // One line on stderr, starting with the tool's name, status 2.
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const RunResult r = RunTool(In(dir, args));
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_EQ(r.err.rfind("tricut: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(In(dir, message)), std::string::npos) << r.err;
  }
  // No output and no temporary files anywhere in the folder.
  EXPECT_FALSE(FileExists(dir + "/out.obj"));
  EXPECT_NE(std::system(("ls '" + dir + "' | grep -q tmp-").c_str()), 0);
}

// ---------------------------------------------------------------------------
// The cuts, through the library's cutting facade

// What a cut leaves in its output files ("a b": files under the folder,
// ".obj" added where no extension is given): 'A' the sum of their areas, 'a'
// the smallest area, 'V' the sum of their volumes (each a closed solid
// facing out), 'v' the smallest volume, 'O' each open but facing one way
// throughout, 'T' more triangles than the value, '-' no such file.
struct Output {
  const char* files;
  char what;
  double value;
};

TEST(TricutCut, EveryCutKeepsTheAreasAndVolumesOfWhatItCuts) {
  const std::string dir = ScratchDir("cut");
  // A horizontal plane and a vertical plane crossing it in the middle.
  WriteModel(dir + "/h.obj", Plane(X0, Y0, 0, 10, 4, "h"));
  WriteModel(dir + "/v.obj",
             FromSurface(shapes::MakeTiltedPlane({X0 + 5.2, Y0 + 5, 0}, {1, 0, 0}, 8, 4), "v"));
  WriteModel(dir + "/box.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "box"));
  WriteModel(dir + "/plane.obj", Plane(X0 - 2, Y0 - 2, 3.5, 14, 7, "plane"));
  WriteModel(dir + "/part.obj", Plane(X0 - 2, Y0 - 2, 3.5, 8, 4, "part"));  // ends in the box
  WriteModel(dir + "/ramp.obj", Ramp());
  WriteModel(dir + "/a.obj", BoxModel(X0, Y0, 0, 10, 10, 10, "a"));
  WriteModel(dir + "/b.obj", BoxModel(X0 + 4, Y0 + 3, 2, 10, 10, 10, "b"));
  const double s2 = std::sqrt(2.0), ab = 6 * 7 * 8;  // ab: the boxes' common volume
  // The curtain's polyline runs north: the east part is on its right;
  // walking the other way swaps right and left. Neither split: each surface
  // comes out whole, re-triangulated along the cut line. The precision is
  // the given one or 1e-6 of the diagonal of the models' joint box.
  const std::string x = Fmt(X0 + 3.3) + ",", south = x + Fmt(Y0 - 5), north = x + Fmt(Y0 + 15);
  const double pHV = 1e-6 * std::sqrt(612.0), pBox = 1e-6 * std::sqrt(492.0),
               pRamp = 1e-6 * std::sqrt(300.0), pAB = 1e-6 * std::sqrt(14 * 14 + 13 * 13 + 12 * 12);
  // clang-format off
  const struct { std::string args; double precision; std::vector<Output> outputs; } cases[] = {
      {"cut @/h.obj @/v.obj --out @/ss --lines --png @/cut.png", pHV,
       {{"ss/h-side1 ss/h-side2", 'A', 100}, {"ss/h-side1 ss/h-side2", 'a', 48},
        {"ss/v-side1 ss/v-side2", 'A', 256}}},
      {"cut @/h.obj @/v.obj --out @/whole --no-split-first --no-split-second", pHV,
       {{"whole/h-side1", 'A', 100}, {"whole/h-side1", 'T', 32}, {"whole/h-side2", '-', 0}}},
      {"cut @/box.obj @/plane.obj --cut-faces --out @/es", pBox,
       {{"es/box-side1 es/box-side2", 'V', 1000}, {"es/box-side1 es/box-side2", 'v', 350},
        {"es/plane-inside", 'A', 100}}},
      {"cut @/box.obj @/part.obj --cut-faces --precision 0.0005 --out @/open", 0.0005,
       {{"open/box-side1 open/box-side2", 'O', 0}}},
      {"curtain @/ramp.obj --out @/n --polyline \"" + south + "; " + north + "\"", pRamp,
       {{"n/ramp-right n/ramp-left", 'A', 100 * s2}, {"n/ramp-left", 'A', 33 * s2}}},
      {"curtain @/ramp.obj --out @/s --polyline \"" + north + " " + south + "\" --precision 0.0005", 0.0005,
       {{"s/ramp-right s/ramp-left", 'A', 100 * s2}, {"s/ramp-right", 'A', 33 * s2}}},
      {"boolean union @/a.obj @/b.obj -o @/union.ply --precision 0.0005 --threads 2", 0.0005,
       {{"union.ply", 'V', 2000 - ab}}},
      {"boolean intersection @/a.obj @/b.obj -o @/common.ply", pAB, {{"common.ply", 'V', ab}}},
      {"boolean a-minus-b @/a.obj @/b.obj -o @/amb.ply", pAB, {{"amb.ply", 'V', 1000 - ab}}},
      {"boolean b-minus-a @/a.obj @/b.obj -o @/bma.ply", pAB, {{"bma.ply", 'V', 1000 - ab}}},
      {"split6 @/a.obj @/b.obj --out @/six --precision 0.0005", 0.0005,
       {{"six/o2-a-minus-b", 'V', 1000 - ab}, {"six/o3-common-a-material", 'V', ab},
        {"six/o6-b-minus-a", 'V', 1000 - ab}, {"six/o1-b-in-a", 'A', 6 * 7 + 7 * 8 + 6 * 8}}},  // b's caps
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunTool(In(dir, c.args));
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_NE(r.out.find("precision: "), std::string::npos) << r.out;
    const std::size_t at = r.out.find("precision: ") + 11;
    EXPECT_NEAR(std::strtod(r.out.c_str() + at, nullptr), c.precision, 1e-12) << r.out;
    EXPECT_EQ(r.out.find(Fmt(c.precision) + " (given)") == at,
              c.args.find("--precision") != std::string::npos);
    for (const Output& o : c.outputs) {
      std::istringstream names(o.files);
      double sum = 0, least = HUGE_VAL;
      for (std::string f; names >> f;) {
        SCOPED_TRACE(f);
        const std::string path = dir + "/" + f + (f.find('.') == std::string::npos ? ".obj" : "");
        ASSERT_EQ(FileExists(path), o.what != '-');
        if (o.what == '-') continue;
        const Model m = ReadModel(path);
        const Topology t = AnalyseTopology(m);
        const double x = o.what == 'V' || o.what == 'v' ? SignedVolume(m) : SurfaceArea(m);
        sum += x, least = std::min(least, x);
        EXPECT_EQ(t.misorientedEdges, 0);
        EXPECT_TRUE(o.what == 'O' ? t.boundaryEdges > 0 : o.what != 'V' || t.Closed());
        EXPECT_TRUE(o.what != 'T' || m.TriangleCount() > o.value) << m.TriangleCount();
      }
      const bool total = o.what == 'A' || o.what == 'V', smallest = o.what == 'a' || o.what == 'v';
      EXPECT_NEAR(total ? sum : smallest ? least : o.value, o.value, 1e-6) << o.files;
    }
  }
  EXPECT_NE(toolmodels::ReadText(dir + "/ss/lines.obj").find("# 1 intersection lines"),
            std::string::npos);
  EXPECT_TRUE(FileExists(dir + "/cut.png"));
}

TEST(TricutDemo, RunsEveryStepAndWritesModelsAndPictures) {
  const std::string dir = ScratchDir("demo");
  const RunResult r = RunTool("demo --size 320x240 --out " + dir + "/out");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
  for (const char* f : {"scene/terrain.obj", "scene-bodies.png", "surface-by-surface.png",
                        "solid-by-surface/body-side1.obj", "booleans/union.obj", "six-outputs.png",
                        "tunnel/body-minus-tunnel.obj"})
    EXPECT_TRUE(FileExists(dir + "/out/" + f)) << f;
  EXPECT_NE(r.out.find("centre of the body (500200, 4000150, -20): inside the body"),
            std::string::npos)
      << r.out;
  // The scene's solids are closed and face outwards; the lens approaches its
  // ellipsoid from inside, the tunnel a circular segment of radius 16 over
  // a 30 m chord, 321 m long.
  const double ellipsoid = 4.0 / 3.0 * shapes::kPi * 85 * 60 * 42;
  const double theta = shapes::kPi - 2 * std::acos(15.0 / 16.0);
  const double tunnel = 128 * (theta - std::sin(theta)) * std::hypot(320.0, 25.0);
  // clang-format off
  const std::tuple<const char*, double, double> solids[] = {
      {"body", 0, HUGE_VAL}, {"lens", 0.9 * ellipsoid, ellipsoid}, {"tunnel", 0.97 * tunnel, tunnel}};
  // clang-format on
  for (const auto& [name, low, high] : solids) {
    SCOPED_TRACE(name);
    const Model m = ReadModel(dir + "/out/scene/" + name + ".obj");
    const Topology t = AnalyseTopology(m);
    EXPECT_TRUE(t.Closed() && t.misorientedEdges == 0 && t.components == 1);
    EXPECT_TRUE(SignedVolume(m) > low && SignedVolume(m) < high) << SignedVolume(m);
    EXPECT_GT(BoxOf(m).lo[0], 500000);
  }
  // The body's top carries texture coordinates, one per point.
  const C3DSurface top = ReadModel(dir + "/out/scene/body.obj").parts[0].surface;
  EXPECT_EQ(top.Decoration().m_texcoords[0].size(), static_cast<std::size_t>(top.GetPointNum()));
}
