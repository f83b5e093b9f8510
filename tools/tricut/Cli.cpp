#include "Cli.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>

#include "Errors.h"
#include "IOUtil.h"
#include "kromesh/Obbt/CObbtObjProcc.h"

#include "kromesh/host/KroMessageBox.h"

namespace tricut {

namespace {

struct CommandInfo {
  const char* name;
  int (*run)(ArgList&);
  const char* usage;
  const char* summary;
  const char* details;
  const char* example;
};

const char* kOutputHelp =
    "Output options:\n"
    "  --format F     obj (default), ply, stl, off or ts\n"
    "  --ascii        PLY/STL as text   --binary  PLY/STL as binary\n"
    "  --png FILE     also draw the pieces (exploded) into a picture\n"
    "  --zscale S     vertical exaggeration of the picture (default 1)\n"
    "  --explode F    explosion of the picture (default 0.25)\n";

const CommandInfo kCommands[] = {
    {"demo", CmdDemo, "tricut demo [--out DIR] [--size WxH]",
     "build a geological scene in memory, run every kind of cut, write models and pictures",
     "Builds a terrain, a fault, a layered body (one layer textured), a second body and\n"
     "a vaulted tunnel; runs every kind of cut, the cut-and-fill volume and a point\n"
     "query; writes each piece as a model and a picture into DIR (default demo-out/)\n"
     "and prints a table of pieces, triangles, areas, volumes and times.\n"
     "  --size WxH   size of the step pictures (default 1200x860; pieces get half)\n",
     "tricut demo --out demo-out"},
    {"cut", CmdCut, "tricut cut A B [--out DIR] [options]",
     "cut two models against each other (surface/surface, solid/surface, solid/solid)",
     "Each model is a closed solid or an open surface (told apart by its edges);\n"
     "the matching cut runs in both directions and every piece is written to DIR\n"
     "(default cut-out/).\n"
     "  --no-split-first   keep A whole (re-triangulated along the cut lines)\n"
     "  --no-split-second  keep B whole\n"
     "  --split-type N M   free surface cut with split types N and M (1 by mesh,\n"
     "                     2 by longest line, 3 by intersection points)\n"
     "  --cut-faces        solid/surface: close each solid piece with the cut face\n"
     "  --lines            also write the intersection lines (lines.obj)\n",
     "tricut cut body.obj fault.ts --cut-faces --out pieces --png pieces.png"},
    {"curtain", CmdCurtain, "tricut curtain A --polyline \"x1,y1 x2,y2 ...\" [--out DIR]",
     "cut a surface by the vertical curtain over a plan polyline",
     "The curtain stands over the polyline through the surface's height range; the\n"
     "parts of the surface right and left of the polyline (walking from its first\n"
     "point) are written to DIR (default curtain-out/) as A-right and A-left.\n",
     "tricut curtain terrain.obj --polyline \"0,0 50,40 100,40\" --png sides.png"},
    {"boolean", CmdBoolean, "tricut boolean OP A B -o OUT",
     "union, intersection, a-minus-b, b-minus-a or a-outside of two closed solids",
     "A and B must be closed solids. The result is written to OUT; each surface keeps\n"
     "the material and orientation it had in its solid.\n",
     "tricut boolean a-minus-b body.obj tunnel.obj -o body-minus-tunnel.obj"},
    {"split6", CmdSplit6, "tricut split6 A B --out DIR", "the six-output cut of two closed solids",
     "Writes o1 (B's part inside A, in A's material), o2 (A minus B, closed by B's\n"
     "inside part), o3 and o4 (the intersection in A's or B's material), o5 (A's part\n"
     "inside B, in B's material) and o6 (B minus A) into DIR.\n",
     "tricut split6 body.obj lens.obj --out six --png six.png"},
    {"volume", CmdVolume, "tricut volume SURFACE --z0 Z",
     "plan area, surface area, and cut and fill volumes against the level Z",
     "Cut is the volume of the surface above Z down to Z, fill the volume between Z\n"
     "and the surface where it lies below.\n",
     "tricut volume terrain.obj --z0 120"},
    {"inside", CmdInside, "tricut inside SOLID x y z",
     "is the point inside, on the boundary of, or outside the closed solid",
     "Prints inside, boundary or outside.\n", "tricut inside body.obj 500010 4000020 -35"},
    {"side", CmdSide, "tricut side SURFACE x y z",
     "on which side of an open surface the point lies",
     "Prints front (the side the triangle normals face), back, on, or undecided.\n",
     "tricut side fault.ts 500050 4000040 0"},
    {"clean", CmdClean, "tricut clean IN -o OUT",
     "merge repeated points (0.001 per axis) and drop degenerate triangles",
     "Runs the library's clean-up on every surface; prints the counts before and after.\n"
     "Note: triangles with an area below 0.01 count as degenerate.\n",
     "tricut clean scan.stl -o scan-clean.obj"},
    {"info", CmdInfo, "tricut info FILE",
     "surfaces, points, triangles, box, open or closed, materials",
     "Also prints the area, the enclosed volume of a closed model, and which per-vertex\n"
     "decorations each surface carries.\n"
     "  --tolerance T  points closer than T on every axis count as one when edges are\n"
     "                 matched (default 1e-6)\n",
     "tricut info body.obj"},
    {"render", CmdRender, "tricut render FILE... -o PNG", "draw one or more models into a picture",
     "One colour per file (per surface when a single file is drawn), shaded, with a\n"
     "legend.\n"
     "  --explode F   move the pieces apart (default 0)\n"
     "  --zscale S    vertical exaggeration   --size WxH  picture size (1200x860)\n"
     "  --azimuth A   --elevation E           view direction in degrees\n"
     "  --title T     title line\n",
     "tricut render terrain.obj fault.ts -o scene.png"},
};

const CommandInfo* FindCommand(const std::string& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

void PrintOverview() {
  std::printf(
      "tricut: cut triangulated 3D models (closed solids and open surfaces) against each other\n\n"
      "Usage: tricut COMMAND [arguments]   (tricut COMMAND --help for details)\n\nCommands:\n");
  for (const auto& c : kCommands) std::printf("  %-8s %s\n", c.name, c.summary);
  std::printf(
      "\nModel files: .obj .ply .stl .off .ts (GOCAD TSurf), read and written in double "
      "precision.\n"
      "Every command takes --threads N: threads of the collision search (default: all "
      "cores).\n"
      "Exit status: 0 done, 2 bad input or usage, 1 internal failure.\n");
}

void PrintCommandHelp(const CommandInfo& c) {
  std::printf("Usage: %s\n\n%s.\n\n%s", c.usage, c.summary, c.details);
  const std::string name = c.name;
  if (name == "cut" || name == "curtain" || name == "split6") std::printf("%s", kOutputHelp);
  if (name == "boolean") std::printf("  --png FILE     also draw the result\n");
  if (name == "cut" || name == "curtain" || name == "boolean" || name == "split6")
    std::printf(
        "  --precision P  data precision, 0 < P < 1; by default 1e-6 of the models' box\n"
        "                 diagonal (printed with the result)\n");
  std::printf("\nExample:\n  %s\n", c.example);
}

// The library says nothing on its own; the tool passes its warnings on.
void PrintLibraryWarning(const char* text) {
  std::fflush(stdout);
  std::fprintf(stderr, "note: %s\n", text);
}

bool LooksNumeric(const std::string& s) {
  double d;
  return ParseDouble(s, d);
}

}  // namespace

bool ArgList::Flag(const std::string& name, const std::string& alias) {
  for (auto it = m_args.begin(); it != m_args.end(); ++it)
    if (*it == name || (!alias.empty() && *it == alias)) {
      m_args.erase(it);
      return true;
    }
  return false;
}

std::optional<std::string> ArgList::Value(const std::string& name, const std::string& alias) {
  for (auto it = m_args.begin(); it != m_args.end(); ++it) {
    if (*it == name || (!alias.empty() && *it == alias)) {
      if (it + 1 == m_args.end()) throw ToolError("option " + *it + " needs a value");
      std::string v = *(it + 1);
      m_args.erase(it, it + 2);
      return v;
    }
    const std::string eq = name + "=";
    if (it->compare(0, eq.size(), eq) == 0) {
      std::string v = it->substr(eq.size());
      m_args.erase(it);
      return v;
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> ArgList::Values(const std::string& name, std::size_t n) {
  for (auto it = m_args.begin(); it != m_args.end(); ++it)
    if (*it == name) {
      if (static_cast<std::size_t>(m_args.end() - it) < n + 1)
        throw ToolError("option " + name + " needs " + std::to_string(n) + " values");
      std::vector<std::string> v(it + 1, it + 1 + static_cast<long>(n));
      m_args.erase(it, it + 1 + static_cast<long>(n));
      return v;
    }
  return std::nullopt;
}

std::optional<double> ArgList::Number(const std::string& name) {
  auto v = Value(name);
  if (!v) return std::nullopt;
  return ParseNumberArg(*v, name);
}

std::vector<std::string> ArgList::Positionals() const {
  for (const auto& a : m_args)
    if (a.size() > 1 && a[0] == '-' && !LooksNumeric(a)) throw ToolError("unknown option " + a);
  return m_args;
}

double ParseNumberArg(const std::string& tok, const std::string& what) {
  double d;
  if (!ParseDouble(tok, d) || !std::isfinite(d))
    throw ToolError(what + ": '" + tok + "' is not a finite number");
  return d;
}

Model LoadModel(const std::string& path) {
  Model m = ReadModel(path);
  if (m.Empty()) throw ToolError("no triangles in " + path);
  return m;
}

bool IsClosed(const Model& m) {
  return AnalyseTopology(m).Closed();
}

void RequireClosed(Model& m, const std::string& path) {
  const Topology t = AnalyseTopology(m);
  if (!t.Closed())
    throw ToolError(path + ": not a closed solid (" + std::to_string(t.boundaryEdges) +
                    " open edges, " + std::to_string(t.nonManifoldEdges) +
                    " edges shared by more than two triangles)");
  if (SignedVolume(m) < 0) {
    std::fprintf(stderr, "note: %s faces inwards; its triangles are turned round\n", path.c_str());
    FlipOrientation(m);
  }
}

void MakeFolder(const std::string& dir) {
  if (dir.empty()) return;
  std::string cur;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    cur = dir.substr(0, pos);
    if (cur.empty()) continue;
    if (mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST)
      throw ToolError(cur + ": cannot create folder (" + std::strerror(errno) + ")");
  }
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw ToolError(dir + ": not a folder");
}

std::vector<std::string> WritePieces(const std::string& dir, const std::vector<Piece>& pieces,
                                     Format format, Encoding enc) {
  MakeFolder(dir);
  static const char* kExt[] = {"obj", "ply", "stl", "off", "ts"};
  std::vector<std::string> paths;
  for (const auto& p : pieces) {
    const std::string path =
        (dir.empty() ? "" : dir + "/") + p.label + "." + kExt[static_cast<int>(format)];
    if (p.model.Empty()) {
      // A file of that name from an earlier run would pass for this piece.
      std::remove(path.c_str());
      continue;
    }
    Model m = p.model;
    if (m.name.empty()) m.name = p.label;
    WriteModel(path, m, enc);
    paths.push_back(path);
  }
  return paths;
}

void PrintPieceTable(const std::vector<Piece>& pieces) {
  std::printf("%-28s %8s %10s %16s %16s\n", "piece", "surfaces", "triangles", "area", "volume");
  for (const auto& p : pieces) {
    long surfaces = 0;
    for (const auto& part : p.model.parts)
      if (part.surface.GetTriangleCount() > 0) ++surfaces;
    const bool closed = !p.model.Empty() && IsClosed(p.model);
    char vol[32] = "-";
    if (closed) std::snprintf(vol, sizeof vol, "%.6g", std::fabs(SignedVolume(p.model)));
    std::printf("%-28s %8ld %10ld %16.6g %16s\n", p.label.c_str(), surfaces,
                p.model.TriangleCount(), SurfaceArea(p.model), vol);
  }
}

void RenderPiecesToPng(const std::vector<Piece>& pieces, const std::string& path,
                       const std::string& title, double explode, const RenderOptions& base) {
  std::vector<RenderItem> items;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    RenderItem it;
    it.label = pieces[i].label;
    it.model = &pieces[i].model;
    it.colour = PaletteColour(i);
    items.push_back(it);
  }
  RenderOptions opt = base;
  if (opt.title.empty()) opt.title = title;
  if (opt.explode < 0) opt.explode = explode;
  WritePng(path, RenderScene(items, opt));
}

OutputOptions TakeOutputOptions(ArgList& args) {
  OutputOptions o;
  if (auto f = args.Value("--format")) {
    const std::string v = Lower(*f);
    if (v == "obj")
      o.format = Format::Obj;
    else if (v == "ply")
      o.format = Format::Ply;
    else if (v == "stl")
      o.format = Format::Stl;
    else if (v == "off")
      o.format = Format::Off;
    else if (v == "ts" || v == "tsurf")
      o.format = Format::Tsurf;
    else
      throw ToolError("--format: unknown format '" + *f + "' (obj, ply, stl, off or ts)");
  }
  if (args.Flag("--ascii")) o.encoding = Encoding::Ascii;
  if (args.Flag("--binary")) o.encoding = Encoding::Binary;
  if (auto p = args.Value("--png")) o.png = *p;
  o.render.explode = -1;  // the command's default
  if (auto z = args.Number("--zscale")) {
    if (!(*z > 0)) throw ToolError("--zscale must be above 0");
    o.render.zScale = *z;
  }
  if (auto e = args.Number("--explode")) o.render.explode = *e;
  return o;
}

int Main(int argc, char** argv) {
  std::vector<std::string> all(argv + 1, argv + argc);
  KroSetWarningHandler(&PrintLibraryWarning);
  try {
    if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
      if (all.size() > 1) {
        if (const CommandInfo* c = FindCommand(all[1])) {
          PrintCommandHelp(*c);
          return 0;
        }
      }
      PrintOverview();
      return all.empty() ? 2 : 0;
    }
    const CommandInfo* c = FindCommand(all[0]);
    if (!c) throw ToolError("unknown command '" + all[0] + "' (tricut --help lists them)");
    ArgList args(std::vector<std::string>(all.begin() + 1, all.end()));
    if (args.Flag("--help", "-h")) {
      PrintCommandHelp(*c);
      return 0;
    }
    if (auto n = args.Number("--threads")) {
      if (!(*n >= 1 && *n <= 1024 && *n == std::floor(*n)))
        throw ToolError("--threads must be a whole number from 1 to 1024");
      CObbtObjProcc::SetThreadCount(static_cast<int>(*n));
    }
    return c->run(args);
  } catch (const ToolError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "tricut: %s\n", e.what());
    return 2;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tricut: out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tricut: internal error: %s\n", e.what());
    return 1;
  }
}

}  // namespace tricut
