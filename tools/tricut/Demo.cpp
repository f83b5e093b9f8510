// tricut demo: a small but real geological scene, every kind of cut, the
// cut-and-fill volume and point queries, with models, pictures and a table.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "Cli.h"
#include "Cuts.h"
#include "DemoScene.h"
#include "Errors.h"
#include "IOUtil.h"
#include "Measure.h"

namespace tricut {

namespace {

struct StepResult {
  std::string name;
  std::vector<Piece> pieces;
  double seconds = 0;
  std::string note;
};

double Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string Fixed(double v, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

}  // namespace

int CmdDemo(ArgList& args) {
  const std::string dir = args.Value("--out", "-o").value_or("demo-out");
  RenderOptions pic;
  if (auto sz = args.Value("--size")) {
    int w = 0, h = 0;
    if (std::sscanf(sz->c_str(), "%dx%d", &w, &h) != 2 || w < 64 || h < 64 || w > 8000 || h > 8000)
      throw ToolError("--size: expected WxH between 64 and 8000, got '" + *sz + "'");
    pic.width = w;
    pic.height = h;
  }
  const auto pos = args.Positionals();
  if (!pos.empty()) throw ToolError("usage: tricut demo [--out DIR]");
  MakeFolder(dir);
  Progress progress("demo");

  // --- the scene ------------------------------------------------------
  progress.Step("building the scene");
  auto t0 = std::chrono::steady_clock::now();
  const Model terrain = demo::Terrain(), fault = demo::Fault(), body = demo::LayeredBody(),
              lens = demo::Lens(), tunnel = demo::Tunnel();
  const double buildTime = Since(t0);
  const std::vector<Piece> scene = {
      {"terrain", terrain}, {"fault", fault}, {"body", body}, {"lens", lens}, {"tunnel", tunnel}};
  progress.Step("writing the scene");
  WritePieces(dir + "/scene", scene, Format::Obj, Encoding::Default);
  RenderPiecesToPng({scene[1], scene[2], scene[3], scene[4]}, dir + "/scene-bodies.png",
                    "The scene below the terrain: fault, layered body, ore lens, tunnel", 0, pic);
  RenderPiecesToPng({scene[0], scene[1]}, dir + "/scene-terrain.png", "Terrain and fault", 0, pic);

  std::vector<StepResult> steps;
  struct View {
    double explode = 0.35;
    double azimuth = 300;
    int grid = 0;
    std::vector<std::string> leaveOut;  // pieces not drawn in the step picture
  };
  auto run = [&](const std::string& name, const std::string& title, const View& view,
                 const std::function<std::vector<Piece>()>& f) {
    progress.Step(name);
    StepResult r;
    r.name = name;
    const auto start = std::chrono::steady_clock::now();
    try {
      r.pieces = f();
    } catch (const ToolError& e) {
      r.note = e.what();
    }
    r.seconds = Since(start);
    TidyPieces(r.pieces);
    if (!r.pieces.empty()) {
      std::string folder = name;
      for (char& c : folder)
        if (c == ' ' || c == '/') c = '-';
      WritePieces(dir + "/" + folder, r.pieces, Format::Obj, Encoding::Default);
      RenderOptions opt = pic;
      opt.explode = view.explode;
      opt.azimuth = view.azimuth;
      opt.gridColumns = view.grid;
      std::vector<Piece> shown;
      for (const auto& p : r.pieces)
        if (std::find(view.leaveOut.begin(), view.leaveOut.end(), p.label) == view.leaveOut.end())
          shown.push_back(p);
      RenderPiecesToPng(shown, dir + "/" + folder + ".png", title, view.explode, opt);
      RenderOptions small = pic;
      small.width = std::max(64, pic.width / 2);
      small.height = std::max(64, pic.height / 2);
      for (const auto& p : r.pieces)
        if (!p.model.Empty())
          RenderPiecesToPng({p}, dir + "/" + folder + "/" + p.label + ".png", p.label, 0, small);
    }
    steps.push_back(std::move(r));
  };

  {
    CutSettings s;
    View ss;
    run("surface by surface", "Terrain and fault cut by each other", ss,
        [&] { return CutSurfaces(terrain, "terrain", fault, "fault", s); });
    View curtain;
    curtain.explode = 0.6;
    run("surface by curtain", "Terrain cut by the curtain of a survey line", curtain,
        [&] { return CutByCurtain(terrain, "terrain", demo::CurtainLine(), s); });
    CutSettings faces = s;
    faces.cutFaces = true;
    View es;
    es.explode = 1.2;
    es.azimuth = 215;
    es.leaveOut = {"fault-outside"};
    run("solid by surface", "Layered body cut by the fault, closed by the cut faces", es,
        [&] { return CutSolidBySurface(body, "body", fault, "fault", faces); });
    View grid2;
    grid2.grid = 2;
    run("booleans", "Body and ore lens: union, intersection, differences", grid2, [&] {
      std::vector<Piece> p;
      const char* names[4] = {"union", "intersection", "body-minus-lens", "lens-minus-body"};
      for (int op = 1; op <= 4; ++op) p.push_back({names[op - 1], BooleanOf(body, lens, op, true)});
      return p;
    });
    View grid3;
    grid3.grid = 3;
    run("six outputs", "Six-output cut of body and ore lens", grid3,
        [&] { return SplitSix(body, "body", lens, "lens", true); });
    View tv;
    tv.grid = 2;
    tv.azimuth = 200;
    run("tunnel", "Layered body minus the tunnel, and the tunnel's part inside it", tv, [&] {
      return std::vector<Piece>{{"body-minus-tunnel", BooleanOf(body, tunnel, 3, true)},
                                {"tunnel-in-body", BooleanOf(body, tunnel, 2, true)}};
    });
  }

  // --- measurements and queries ---------------------------------------------
  progress.Step("cut and fill");
  t0 = std::chrono::steady_clock::now();
  const double z0 = 105;
  const VolumeReport vol = MeasureVolume(terrain, z0);
  const double volTime = Since(t0);
  progress.Step("point queries");
  t0 = std::chrono::steady_clock::now();
  struct Query {
    const char* what;
    KRO::G3D_DVertex p;
  };
  const Query queries[] = {
      {"centre of the body", {demo::kX0 + 200, demo::kY0 + 150, -20}},
      {"above the body", {demo::kX0 + 200, demo::kY0 + 150, 90}},
      {"where body and lens overlap", {demo::kX0 + 300, demo::kY0 + 175, -15}},
  };
  std::vector<std::string> answers;
  for (const auto& q : queries) {
    const int r = LocateInSolid(body, q.p);
    answers.push_back(std::string(q.what) + " (" + Fmt(q.p.x) + ", " + Fmt(q.p.y) + ", " +
                      Fmt(q.p.z) + "): " +
                      (r > 0    ? "inside"
                       : r == 0 ? "boundary"
                                : "outside") +
                      " the body");
  }
  const int side = SideOfSurface(fault, {demo::kX0 + 300, demo::kY0 + 100, 0});
  answers.push_back(std::string("point (500300, 4000100, 0) lies on the ") +
                    (side == 1    ? "front"
                     : side == -1 ? "back"
                                  : "plane") +
                    " side of the fault");
  const double queryTime = Since(t0);
  progress.Done();

  // --- the table --------------------------------------------------------------
  std::printf("tricut demo: scene at x ~ %.0f, y ~ %.0f; output in %s/\n\n", demo::kX0, demo::kY0,
              dir.c_str());
  std::printf("%-22s %-30s %9s %14s %14s %9s\n", "step", "piece", "triangles", "area", "volume",
              "time [s]");
  std::printf("%-22s %-30s %9ld %14s %14s %9s\n", "scene", "terrain+fault+body+lens+tunnel",
              terrain.TriangleCount() + fault.TriangleCount() + body.TriangleCount() +
                  lens.TriangleCount() + tunnel.TriangleCount(),
              "", "", Fixed(buildTime, 3).c_str());
  long failed = 0;
  for (const auto& st : steps) {
    if (!st.note.empty()) {
      std::printf("%-22s failed: %s\n", st.name.c_str(), st.note.c_str());
      ++failed;
      continue;
    }
    bool first = true;
    for (const auto& p : st.pieces) {
      const bool closed = !p.model.Empty() && IsClosed(p.model);
      std::printf("%-22s %-30s %9ld %14s %14s %9s\n", first ? st.name.c_str() : "", p.label.c_str(),
                  p.model.TriangleCount(), Fixed(SurfaceArea(p.model), 1).c_str(),
                  closed ? Fixed(std::fabs(SignedVolume(p.model)), 1).c_str() : "-",
                  first ? Fixed(st.seconds, 3).c_str() : "");
      first = false;
    }
  }
  std::printf("%-22s %-30s %9ld %14s %14s %9s\n", "cut and fill",
              ("terrain vs z = " + Fmt(z0)).c_str(), terrain.TriangleCount(),
              Fixed(vol.surfaceArea, 1).c_str(), "", Fixed(volTime, 3).c_str());
  std::printf("%-22s %-30s %9s %14s %14s\n", "", "cut (above)", "", "",
              Fixed(vol.cutVolume, 1).c_str());
  std::printf("%-22s %-30s %9s %14s %14s\n", "", "fill (below)", "", "",
              Fixed(vol.fillVolume, 1).c_str());
  std::printf("%-22s %-30s %9s %14s %14s %9s\n", "point queries", "", "", "", "",
              Fixed(queryTime, 3).c_str());
  for (const auto& a : answers) std::printf("  %s\n", a.c_str());
  std::printf("\npictures: %s/*.png, models: %s/<step>/*.obj\n", dir.c_str(), dir.c_str());
  return failed ? 1 : 0;
}

}  // namespace tricut
