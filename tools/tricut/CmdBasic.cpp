// The commands that look at one model: info, clean, volume, inside, side,
// render.
#include <cmath>
#include <cstdio>

#include "Cli.h"
#include "Errors.h"
#include "IOUtil.h"
#include "Measure.h"
#include "kromesh/math/CMathFunCls.h"

namespace tricut {

namespace {

std::string ExpectOne(ArgList& args, const char* usage) {
  const auto pos = args.Positionals();
  if (pos.size() != 1) throw ToolError(std::string("usage: ") + usage);
  return pos[0];
}

KRO::G3D_DVertex PointArgs(const std::vector<std::string>& pos, std::size_t first) {
  return {ParseNumberArg(pos[first], "x"), ParseNumberArg(pos[first + 1], "y"),
          ParseNumberArg(pos[first + 2], "z")};
}

std::string Decorations(const C3DSurface& s) {
  const auto& d = s.Decoration();
  const std::size_t n = s.Points().size();
  std::string out;
  if (n > 0 && d.m_colours.size() == n) out += "colours ";
  if (n > 0 && d.m_normals.size() == n) out += "normals ";
  if (n > 0 && d.m_texcoords[0].size() == n) out += "texture ";
  if (!out.empty()) out.pop_back();
  return out.empty() ? "-" : out;
}

}  // namespace

int CmdInfo(ArgList& args) {
  double tol = 1e-6;
  if (auto t = args.Number("--tolerance")) {
    if (!(*t >= 0)) throw ToolError("--tolerance must not be negative");
    tol = *t;
  }
  const std::string path = ExpectOne(args, "tricut info FILE");
  Progress progress("info");
  progress.Step("reading", 0);
  const Model m = LoadModel(path);
  progress.Step("matching edges", 0.5);
  const Topology t = AnalyseTopology(m, tol);
  progress.Step("measuring", 0.85);
  const double area = SurfaceArea(m), volume = t.Closed() ? SignedVolume(m) : 0;
  progress.Done();
  std::printf("file:       %s (%s)\n", path.c_str(), FormatName(FormatOfPath(path)));
  std::printf("model:      %s\n", m.name.c_str());
  std::printf("surfaces:   %zu\n", m.parts.size());
  std::printf("points:     %ld\n", m.PointCount());
  std::printf("triangles:  %ld\n", m.TriangleCount());
  const Box3 b = BoxOf(m);
  if (b.valid) {
    std::printf("box:        x %s .. %s\n", Fmt(b.lo[0]).c_str(), Fmt(b.hi[0]).c_str());
    std::printf("            y %s .. %s\n", Fmt(b.lo[1]).c_str(), Fmt(b.hi[1]).c_str());
    std::printf("            z %s .. %s\n", Fmt(b.lo[2]).c_str(), Fmt(b.hi[2]).c_str());
  }
  if (t.Closed()) {
    std::printf("kind:       closed solid (%ld welded points, %ld edges, %ld piece%s)\n",
                t.weldedPoints, t.edges, t.components, t.components == 1 ? "" : "s");
    if (t.misorientedEdges > 0)
      std::printf("warning:    %ld edges where neighbouring triangles disagree on orientation\n",
                  t.misorientedEdges);
  } else {
    std::printf("kind:       open surface (%ld open edges", t.boundaryEdges);
    if (t.nonManifoldEdges) std::printf(", %ld edges shared by 3 or more", t.nonManifoldEdges);
    std::printf(", %ld piece%s)\n", t.components, t.components == 1 ? "" : "s");
  }
  if (t.degenerateTriangles > 0)
    std::printf("degenerate: %ld triangles with repeated points\n", t.degenerateTriangles);
  std::printf("area:       %.10g\n", area);
  if (t.Closed())
    std::printf("volume:     %.10g%s\n", std::fabs(volume),
                volume < 0 ? " (faces point inwards)" : "");
  std::printf("\n  %-3s %-24s %8s %10s  %-18s %s\n", "#", "surface", "points", "triangles",
              "material", "per-vertex");
  for (std::size_t i = 0; i < m.parts.size(); ++i) {
    const Part& p = m.parts[i];
    const std::string mat = p.surface.GetMaterialName();
    std::printf("  %-3zu %-24s %8ld %10ld  %-18s %s\n", i + 1, p.name.c_str(),
                p.surface.GetPointNum(), p.surface.GetTriangleCount(),
                mat.empty() ? "-" : mat.c_str(), Decorations(p.surface).c_str());
  }
  return 0;
}

int CmdClean(ArgList& args) {
  const auto out = args.Value("-o", "--out");
  const std::string in = ExpectOne(args, "tricut clean IN -o OUT");
  if (!out) throw ToolError("usage: tricut clean IN -o OUT");
  FormatOfPath(*out);  // refuse an unknown output format before the work
  Progress progress("clean");
  progress.Step("reading", 0);
  Model m = LoadModel(in);
  const long p0 = m.PointCount(), t0 = m.TriangleCount();
  const long nonManifold0 = AnalyseTopology(m).nonManifoldEdges;
  for (const auto& part : m.parts)
    if (part.surface.GetPointNum() > 50000) {
      std::fprintf(stderr,
                   "note: the clean-up compares each point with the points kept before it; "
                   "surfaces of %ld points take a while\n",
                   part.surface.GetPointNum());
      break;
    }
  for (std::size_t i = 0; i < m.parts.size(); ++i) {
    progress.Step(
        "cleaning surface " + std::to_string(i + 1) + " of " + std::to_string(m.parts.size()),
        0.2 + 0.6 * static_cast<double>(i) / m.parts.size());
    CMathFunCls::RemoveRepeatedPnt(m.parts[i].surface);
    // The clean-up keeps the points of the triangles it drops.
    DropUnusedPoints(m.parts[i]);
  }
  // Surfaces left without triangles are dropped.
  std::vector<Part> kept;
  for (auto& p : m.parts)
    if (p.surface.GetTriangleCount() > 0) kept.push_back(std::move(p));
  m.parts = std::move(kept);
  if (m.Empty()) throw ToolError(in + ": no triangle is left after the clean-up");
  progress.Step("writing", 0.85);
  const long nonManifold = AnalyseTopology(m).nonManifoldEdges;
  WriteModel(*out, m);
  progress.Done();
  // Welding repeated points can join sheets that only touched along an
  // edge into edges of three or more triangles: say so.
  if (nonManifold > nonManifold0)
    std::fprintf(stderr,
                 "warning: %s: the clean-up left %ld edges shared by 3 or more triangles "
                 "(%ld before)\n",
                 in.c_str(), nonManifold, nonManifold0);
  std::printf("points:    %ld -> %ld (%ld removed)\n", p0, m.PointCount(), p0 - m.PointCount());
  std::printf("triangles: %ld -> %ld (%ld removed)\n", t0, m.TriangleCount(),
              t0 - m.TriangleCount());
  std::printf("written:   %s\n", out->c_str());
  return 0;
}

int CmdVolume(ArgList& args) {
  const auto z0 = args.Number("--z0");
  const std::string path = ExpectOne(args, "tricut volume SURFACE --z0 Z");
  if (!z0) throw ToolError("usage: tricut volume SURFACE --z0 Z (the reference level is missing)");
  Progress progress("volume");
  progress.Step("reading", 0);
  const Model m = LoadModel(path);
  progress.Step("measuring", 0.5);
  const VolumeReport r = MeasureVolume(m, *z0);
  progress.Done();
  std::printf("reference level:  %s\n", Fmt(*z0).c_str());
  std::printf("plan area:        %.10g\n", r.planArea);
  std::printf("surface area:     %.10g\n", r.surfaceArea);
  std::printf("plan area above:  %.10g\n", r.planAreaAbove);
  std::printf("plan area below:  %.10g\n", r.planAreaBelow);
  std::printf("cut volume:       %.10g\n", r.cutVolume);
  std::printf("fill volume:      %.10g\n", r.fillVolume);
  std::printf("net (cut - fill): %.10g\n", r.cutVolume - r.fillVolume);
  return 0;
}

int CmdInside(ArgList& args) {
  const auto pos = args.Positionals();
  if (pos.size() != 4) throw ToolError("usage: tricut inside SOLID x y z");
  const KRO::G3D_DVertex p = PointArgs(pos, 1);
  Progress progress("inside");
  progress.Step("reading", 0);
  Model m = LoadModel(pos[0]);
  progress.Step("checking the solid", 0.4);
  RequireClosed(m, pos[0]);
  const int r = LocateInSolid(m, p, &progress, 0.6, 1);
  progress.Done();
  std::printf("%s\n", r > 0 ? "inside" : r == 0 ? "boundary" : "outside");
  return 0;
}

int CmdSide(ArgList& args) {
  const auto pos = args.Positionals();
  if (pos.size() != 4) throw ToolError("usage: tricut side SURFACE x y z");
  const KRO::G3D_DVertex p = PointArgs(pos, 1);
  Progress progress("side");
  progress.Step("reading", 0);
  const Model m = LoadModel(pos[0]);
  progress.Step("querying", 0.7);
  const int r = SideOfSurface(m, p);
  progress.Done();
  std::printf("%s\n", r == 1 ? "front" : r == -1 ? "back" : r == 0 ? "on" : "undecided");
  return 0;
}

int CmdRender(ArgList& args) {
  RenderOptions opt;
  const auto out = args.Value("-o", "--out");
  if (auto e = args.Number("--explode")) opt.explode = *e;
  if (auto z = args.Number("--zscale")) {
    if (!(*z > 0)) throw ToolError("--zscale must be above 0");
    opt.zScale = *z;
  }
  if (auto a = args.Number("--azimuth")) opt.azimuth = *a;
  if (auto e = args.Number("--elevation")) opt.elevation = *e;
  if (auto t = args.Value("--title")) opt.title = *t;
  if (auto s = args.Value("--size")) {
    int w = 0, h = 0;
    if (std::sscanf(s->c_str(), "%dx%d", &w, &h) != 2 || w < 64 || h < 64 || w > 8000 || h > 8000)
      throw ToolError("--size: expected WxH between 64 and 8000, got '" + *s + "'");
    opt.width = w;
    opt.height = h;
  }
  const auto files = args.Positionals();
  if (files.empty() || !out) throw ToolError("usage: tricut render FILE... -o PNG");
  if (Extension(*out) != "png") throw ToolError(*out + ": the picture must be a .png file");
  Progress progress("render");
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < files.size(); ++i) {
    progress.Step("reading " + files[i], 0.5 * i / files.size());
    pieces.push_back({Stem(files[i]), LoadModel(files[i])});
  }
  // A single file shows its surfaces apart; several files one colour each.
  if (pieces.size() == 1 && pieces[0].model.parts.size() > 1) {
    std::vector<Piece> parts;
    for (const auto& p : pieces[0].model.parts) {
      Model one;
      one.name = p.name;
      one.parts.push_back(p);
      parts.push_back({p.name, std::move(one)});
    }
    if (opt.title.empty()) opt.title = Stem(files[0]);
    pieces = std::move(parts);
  }
  std::vector<RenderItem> items;
  for (std::size_t i = 0; i < pieces.size(); ++i)
    items.push_back({pieces[i].label, &pieces[i].model, PaletteColour(i)});
  progress.Step("drawing", 0.5);
  const Image picture = RenderScene(items, opt);
  progress.Step("writing", 0.9);
  WritePng(*out, picture);
  progress.Done();
  std::printf("written: %s (%dx%d)\n", out->c_str(), opt.width, opt.height);
  return 0;
}

}  // namespace tricut
