#include "ModelIO.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Errors.h"
#include "IOUtil.h"

namespace tricut {

Format FormatOfPath(const std::string& path) {
  const std::string ext = Extension(path);
  if (ext == "obj") return Format::Obj;
  if (ext == "ply") return Format::Ply;
  if (ext == "stl") return Format::Stl;
  if (ext == "off") return Format::Off;
  if (ext == "ts") return Format::Tsurf;
  throw ToolError(path + ": unknown model format '." + ext +
                  "' (use .obj, .ply, .stl, .off or .ts)");
}

const char* FormatName(Format f) {
  switch (f) {
    case Format::Obj:
      return "OBJ";
    case Format::Ply:
      return "PLY";
    case Format::Stl:
      return "STL";
    case Format::Off:
      return "OFF";
    case Format::Tsurf:
      return "GOCAD TSurf";
  }
  return "?";
}

KRO::COLOR4 PaletteColour(std::size_t i) {
  // Muted, print-friendly hues that stay apart under Lambert shading.
  static const float kPalette[][3] = {
      {0.89f, 0.47f, 0.20f}, {0.25f, 0.55f, 0.80f}, {0.45f, 0.70f, 0.30f}, {0.80f, 0.30f, 0.45f},
      {0.60f, 0.45f, 0.75f}, {0.90f, 0.75f, 0.25f}, {0.30f, 0.70f, 0.70f}, {0.65f, 0.50f, 0.35f},
      {0.55f, 0.60f, 0.65f}, {0.95f, 0.55f, 0.60f}, {0.40f, 0.45f, 0.85f}, {0.70f, 0.80f, 0.45f}};
  const auto& c = kPalette[i % (sizeof kPalette / sizeof kPalette[0])];
  return KRO::COLOR4(c[0], c[1], c[2], 1.f);
}

Model ReadModelData(Format f, const std::string& data, const std::string& name) {
  Model m;
  switch (f) {
    case Format::Obj:
      m = ReadObj(data, name);
      break;
    case Format::Ply:
      m = ReadPly(data, name);
      break;
    case Format::Stl:
      m = ReadStl(data, name);
      break;
    case Format::Off:
      m = ReadOff(data, name);
      break;
    case Format::Tsurf:
      m = ReadTsurf(data, name);
      break;
  }
  if (m.name.empty()) m.name = Stem(name);
  for (std::size_t i = 0; i < m.parts.size(); ++i)
    if (m.parts[i].name.empty())
      m.parts[i].name = m.parts.size() == 1 ? m.name : m.name + "_" + std::to_string(i + 1);
  ValidateModel(m, name);
  return m;
}

std::string WriteModelData(Format f, const Model& m, Encoding enc) {
  switch (f) {
    case Format::Obj:
      return WriteObj(m, "");
    case Format::Ply:
      return WritePly(m, enc != Encoding::Ascii);
    case Format::Stl:
      return WriteStl(m, enc == Encoding::Binary);
    case Format::Off:
      return WriteOff(m);
    case Format::Tsurf:
      return WriteTsurf(m);
  }
  return "";
}

Model ReadModel(const std::string& path) {
  const Format f = FormatOfPath(path);
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    throw ToolError(path + ": is a folder, not a model file");
  const std::string data = ReadFileBytes(path);
  Model m = ReadModelData(f, data, path);
  if (f == Format::Obj) {
    // mtllib lines name the material files relative to the model.
    LineReader lr(data);
    std::string_view line;
    while (lr.Next(line)) {
      auto tok = Tokens(line);
      if (tok.size() < 2 || tok[0] != "mtllib") continue;
      for (std::size_t i = 1; i < tok.size(); ++i) {
        std::string mtl(tok[i]);
        const std::string folder = Folder(path);
        if (!folder.empty() && mtl.front() != '/') mtl = folder + "/" + mtl;
        std::string text;
        try {
          text = ReadFileBytes(mtl);
        } catch (const ToolError&) {
          continue;  // a missing material file only loses colours
        }
        ApplyMtl(m, text, mtl);
      }
    }
  }
  return m;
}

void WriteModel(const std::string& path, const Model& m, Encoding enc) {
  const Format f = FormatOfPath(path);
  if (f == Format::Obj) {
    const std::string mtlPath =
        Folder(path).empty() ? Stem(path) + ".mtl" : Folder(path) + "/" + Stem(path) + ".mtl";
    WriteFileAtomic(mtlPath, WriteMtl(m));
    WriteFileAtomic(path, WriteObj(m, Stem(path) + ".mtl"));
    return;
  }
  if (f == Format::Stl && enc == Encoding::Binary) {
    // Single precision keeps 24 bits: beyond 2^16 less than a millimetre.
    const Box3 b = BoxOf(m);
    double big = 0;
    for (int k = 0; b.valid && k < 3; ++k)
      big = std::max({big, std::fabs(b.lo[k]), std::fabs(b.hi[k])});
    if (big > 65536)
      std::fprintf(stderr,
                   "note: %s: binary STL stores single precision; coordinates near %.0f keep only "
                   "about %.2g units of resolution\n",
                   path.c_str(), big, big * 6e-8);
  }
  WriteFileAtomic(path, WriteModelData(f, m, enc));
}

}  // namespace tricut
