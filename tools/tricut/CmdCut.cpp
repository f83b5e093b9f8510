// The two-model commands: cut, curtain, boolean, split6.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "Cli.h"
#include "Cuts.h"
#include "Errors.h"
#include "IOUtil.h"

namespace tricut {

namespace {

void RequireTouching(const Model& a, const std::string& an, const Model& b, const std::string& bn) {
  const Box3 ba = BoxOf(a), bb = BoxOf(b);
  const double tol = 1e-6 * std::max({1.0, ba.Diagonal(), bb.Diagonal()});
  if (!ba.Overlaps(bb, tol))
    throw ToolError(an + " and " + bn + " do not touch (their boxes are apart)");
}

std::string LinesObj(const std::vector<std::vector<KRO::G3D_DVertex>>& lines) {
  std::string out =
      "# " + std::to_string(lines.size()) + " intersection lines, written by tricut\n";
  long base = 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    out += "o line_" + std::to_string(i + 1) + "\n";
    for (const auto& p : lines[i]) out += "v " + Fmt(p.x) + " " + Fmt(p.y) + " " + Fmt(p.z) + "\n";
    out += "l";
    for (std::size_t k = 0; k < lines[i].size(); ++k)
      out += " " + std::to_string(base + static_cast<long>(k));
    out += "\n";
    base += static_cast<long>(lines[i].size());
  }
  return out;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// --precision when given (checked at once, before any model is read), else
// 0 for a precision derived from the models.
double TakePrecision(ArgList& args) {
  const auto p = args.Number("--precision");
  if (!p) return 0;
  if (!(*p > 0 && *p < 1)) throw ToolError("--precision must lie strictly between 0 and 1");
  return *p;
}

// Settles the precision of a cut and says which it is.
double ReportPrecision(double given, const Model& a, const Model* b) {
  if (given != 0) {
    std::printf("precision: %s (given)\n", Fmt(given).c_str());
    return given;
  }
  const double p = DerivedPrecision(a, b);
  std::printf("precision: %s (%g of the models' box diagonal)\n", Fmt(p).c_str(),
              kPrecisionPerDiagonal);
  return p;
}

void Finish(std::vector<Piece>& pieces, const std::string& dir, const OutputOptions& out,
            const std::string& title, bool wholePieces = true) {
  if (const long turned = TidyPieces(pieces, wholePieces))
    std::printf("turned round: %ld triangles that disagreed with their neighbours\n", turned);
  const auto paths = WritePieces(dir, pieces, out.format, out.encoding);
  PrintPieceTable(pieces);
  for (const auto& p : paths) std::printf("written: %s\n", p.c_str());
  if (!out.png.empty()) {
    RenderPiecesToPng(pieces, out.png, title, 0.25, out.render);
    std::printf("written: %s\n", out.png.c_str());
  }
}

}  // namespace

int CmdCut(ArgList& args) {
  CutSettings s;
  s.splitFirst = !args.Flag("--no-split-first");
  s.splitSecond = !args.Flag("--no-split-second");
  s.cutFaces = args.Flag("--cut-faces");
  const bool lines = args.Flag("--lines");
  s.precision = TakePrecision(args);
  if (auto v = args.Values("--split-type", 2)) {
    const double n = ParseNumberArg((*v)[0], "--split-type"),
                 m = ParseNumberArg((*v)[1], "--split-type");
    if (n < 1 || n > 3 || m < 1 || m > 3 || n != static_cast<int>(n) || m != static_cast<int>(m))
      throw ToolError("--split-type values are 1, 2 or 3");
    s.splitTypeFirst = static_cast<int>(n);
    s.splitTypeSecond = static_cast<int>(m);
  }
  const std::string dir = args.Value("--out", "-o").value_or("cut-out");
  OutputOptions out = TakeOutputOptions(args);
  const auto pos = args.Positionals();
  if (pos.size() != 2) throw ToolError("usage: tricut cut A B [--out DIR] [options]");
  Progress progress("cut");
  progress.Step("reading", 0);
  Model a = LoadModel(pos[0]), b = LoadModel(pos[1]);
  const std::string an = Stem(pos[0]), bn = Stem(pos[1]);
  RequireTouching(a, pos[0], b, pos[1]);
  const bool solidA = IsClosed(a), solidB = IsClosed(b);
  if (solidA) RequireClosed(a, pos[0]);
  if (solidB) RequireClosed(b, pos[1]);
  if (s.splitTypeFirst && (solidA || solidB))
    throw ToolError("--split-type applies to two open surfaces only");
  if (s.cutFaces && solidA == solidB)
    throw ToolError("--cut-faces applies to a solid cut by a surface");

  s.precision = ReportPrecision(s.precision, a, &b);
  progress.Step("cutting " + an + " against " + bn, 0.2);
  const auto t0 = std::chrono::steady_clock::now();
  std::vector<Piece> pieces;
  std::string kind;
  if (!solidA && !solidB) {
    kind = "surface/surface";
    pieces = CutSurfaces(a, an, b, bn, s);
  } else if (solidA && !solidB) {
    kind = "solid/surface";
    pieces = CutSolidBySurface(a, an, b, bn, s);
  } else if (!solidA && solidB) {
    kind = "surface/solid";
    auto p = CutSolidBySurface(b, bn, a, an, s);
    pieces = {p[2], p[3], p[0], p[1]};  // the first model's pieces first
  } else {
    kind = "solid/solid";
    pieces = CutSolids(a, an, b, bn, s);
  }
  progress.Done();
  std::printf("cut: %s (%s) in %.3f s\n", (an + " and " + bn).c_str(), kind.c_str(), Seconds(t0));

  // The cut lines run where the two sides of a cut model meet.
  std::vector<std::vector<KRO::G3D_DVertex>> cutLines;
  for (std::size_t i = 0; i + 1 < pieces.size() && cutLines.empty(); i += 2)
    cutLines = SharedBoundaryLines(pieces[i].model, pieces[i + 1].model);
  if (cutLines.empty())
    std::fprintf(stderr, "note: no cut line was found: the models do not cross\n");
  Finish(pieces, dir, out, an + " cut by " + bn);
  if (lines) {
    MakeFolder(dir);
    const std::string path = dir + "/lines.obj";
    WriteFileAtomic(path, LinesObj(cutLines));
    std::printf("written: %s (%zu lines)\n", path.c_str(), cutLines.size());
  }
  return 0;
}

int CmdCurtain(ArgList& args) {
  const auto poly = args.Value("--polyline");
  const std::string dir = args.Value("--out", "-o").value_or("curtain-out");
  CutSettings s;
  s.precision = TakePrecision(args);
  OutputOptions out = TakeOutputOptions(args);
  const auto pos = args.Positionals();
  if (pos.size() != 1 || !poly)
    throw ToolError("usage: tricut curtain A --polyline \"x1,y1 x2,y2 ...\" [--out DIR]");
  const std::vector<D_DOT> line = ParsePolyline(*poly);
  Progress progress("curtain");
  progress.Step("reading", 0);
  Model a = LoadModel(pos[0]);
  const std::string an = Stem(pos[0]);
  // The curtain is a vertical strip: it touches the model when the plan
  // boxes overlap.
  const Box3 box = BoxOf(a);
  Box3 lb;
  for (const auto& p : line) lb.Add(KRO::G3D_DVertex{p.x, p.y, box.Centre().z});
  lb.lo[2] = box.lo[2];
  lb.hi[2] = box.hi[2];
  if (!box.Overlaps(lb, 1e-6 * std::max(1.0, box.Diagonal())))
    throw ToolError("the polyline does not reach " + pos[0] + " in plan");
  s.precision = ReportPrecision(s.precision, a, nullptr);
  progress.Step("cutting " + an, 0.2);
  const auto t0 = std::chrono::steady_clock::now();
  auto pieces = CutByCurtain(a, an, line, s);
  progress.Done();
  std::printf("curtain cut of %s by a %zu-point polyline in %.3f s\n", an.c_str(), line.size(),
              Seconds(t0));
  if (SharedBoundaryLines(pieces[0].model, pieces[1].model).empty())
    std::fprintf(stderr, "note: no cut line was found: the polyline does not cross the surface\n");
  Finish(pieces, dir, out, an + " cut by a curtain");
  return 0;
}

int CmdBoolean(ArgList& args) {
  const auto outPath = args.Value("-o", "--out");
  const auto png = args.Value("--png");
  const bool keep = args.Flag("--keep-orientation");
  double precision = TakePrecision(args);
  const auto pos = args.Positionals();
  if (pos.size() != 3 || !outPath) throw ToolError("usage: tricut boolean OP A B -o OUT");
  static const std::pair<const char*, int> kOps[] = {
      {"union", 1}, {"intersection", 2}, {"a-minus-b", 3}, {"b-minus-a", 4}, {"a-outside", 5}};
  int op = 0;
  for (const auto& o : kOps)
    if (pos[0] == o.first) op = o.second;
  if (!op)
    throw ToolError("unknown operation '" + pos[0] +
                    "' (union, intersection, a-minus-b, b-minus-a or a-outside)");
  FormatOfPath(*outPath);
  Progress progress("boolean");
  progress.Step("reading", 0);
  Model a = LoadModel(pos[1]), b = LoadModel(pos[2]);
  RequireClosed(a, pos[1]);
  RequireClosed(b, pos[2]);
  RequireTouching(a, pos[1], b, pos[2]);
  precision = ReportPrecision(precision, a, &b);
  progress.Step(pos[0], 0.2);
  const auto t0 = std::chrono::steady_clock::now();
  long turned = 0;
  Model r = BooleanOf(a, b, op, !keep, precision, &turned);
  progress.Done();
  if (r.Empty())
    throw ToolError("the " + pos[0] + " of " + pos[1] + " and " + pos[2] + " is empty");
  r.name = Stem(*outPath);
  for (std::size_t i = 0; i < r.parts.size(); ++i)
    r.parts[i].name = r.name + "_" + std::to_string(i + 1);
  WriteModel(*outPath, r);
  std::printf("%s of %s and %s in %.3f s\n", pos[0].c_str(), pos[1].c_str(), pos[2].c_str(),
              Seconds(t0));
  if (turned)
    std::printf("turned round: %ld surfaces, so that the result faces outwards\n", turned);
  PrintPieceTable({{Stem(*outPath), r}});
  std::printf("written: %s\n", outPath->c_str());
  if (png) {
    RenderOptions opt;
    opt.title = pos[0] + " of " + Stem(pos[1]) + " and " + Stem(pos[2]);
    RenderPiecesToPng({{Stem(*outPath), r}}, *png, opt.title, 0, opt);
    std::printf("written: %s\n", png->c_str());
  }
  return 0;
}

int CmdSplit6(ArgList& args) {
  const auto dir = args.Value("--out", "-o");
  const bool keep = args.Flag("--keep-orientation");
  double precision = TakePrecision(args);
  OutputOptions out = TakeOutputOptions(args);
  const auto pos = args.Positionals();
  if (pos.size() != 2 || !dir) throw ToolError("usage: tricut split6 A B --out DIR");
  Progress progress("split6");
  progress.Step("reading", 0);
  Model a = LoadModel(pos[0]), b = LoadModel(pos[1]);
  RequireClosed(a, pos[0]);
  RequireClosed(b, pos[1]);
  RequireTouching(a, pos[0], b, pos[1]);
  precision = ReportPrecision(precision, a, &b);
  progress.Step("cutting " + pos[0] + " and " + pos[1], 0.2);
  const auto t0 = std::chrono::steady_clock::now();
  auto pieces = SplitSix(a, Stem(pos[0]), b, Stem(pos[1]), !keep, precision);
  progress.Done();
  std::printf("six-output cut of %s and %s in %.3f s\n", pos[0].c_str(), pos[1].c_str(),
              Seconds(t0));
  Finish(pieces, *dir, out, "six-output cut of " + Stem(pos[0]) + " and " + Stem(pos[1]), !keep);
  return 0;
}

}  // namespace tricut
