// Wavefront OBJ and its material library (.mtl).
#include <array>
#include <cmath>
#include <map>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "PartBuilder.h"

namespace tricut {

namespace {

struct ObjReader {
  std::string file;
  long line = 0;

  // Everything the file declared so far (OBJ indices are global).
  std::vector<KRO::G3D_DVertex> v;
  std::vector<KRO::COLOR4> vColour;
  std::vector<char> vHasColour;
  std::vector<KRO::G_TEXCOORD> vt;
  std::vector<KRO::VECTOR3> vn;

  std::string group;
  std::string material;
  bool materialSeen = false;
  std::vector<Part> parts;

  // The part being filled: corner key (v, vt, vn) -> local point.
  PartBuilder cur;
  std::map<std::array<long, 3>, long> local;
  bool allColours = true, allTex = true, allNormals = true;

  [[noreturn]] void Fail(const std::string& what) const {
    throw ToolError(AtLine(file, line, what));
  }

  double Number(std::string_view tok, const char* what) const {
    double d;
    if (!ParseDouble(tok, d))
      Fail(std::string("malformed ") + what + " '" + std::string(tok) + "'");
    if (!std::isfinite(d)) Fail(std::string(what) + " is not finite");
    return d;
  }

  // Colours, normals and texture coordinates are kept in single precision.
  float Single(std::string_view tok, const char* what) const {
    const double d = Number(tok, what);
    if (!FitsFloat(d)) Fail(std::string(what) + " is out of single-precision range");
    return static_cast<float>(d);
  }

  long Index(std::string_view tok, long count, const char* kind) const {
    long i;
    if (!ParseLong(tok, i))
      Fail(std::string("malformed ") + kind + " index '" + std::string(tok) + "'");
    if (i < 0) i = count + i + 1;  // relative to the last one declared
    if (i < 1 || i > count)
      Fail(std::string(kind) + " index " + std::string(tok) + " out of range (" +
           std::to_string(count) + " declared)");
    return i - 1;
  }

  void Flush() {
    if (!cur.tris.empty()) {
      if (!allColours) cur.colours.clear();
      if (!allTex) cur.texcoords.clear();
      if (!allNormals) cur.normals.clear();
      parts.push_back(cur.Finish());
    }
    cur = PartBuilder();
    cur.name = group;
    cur.material = material;
    local.clear();
    allColours = allTex = allNormals = true;
  }

  // Starts a new part when the current one already has triangles.
  void Switch() {
    if (!cur.tris.empty()) {
      Flush();
    } else {
      cur.name = group;
      cur.material = material;
    }
  }

  long Corner(std::string_view tok) {
    std::array<std::string_view, 3> f{};
    std::size_t k = 0, start = 0;
    for (std::size_t i = 0; i <= tok.size(); ++i) {
      if (i == tok.size() || tok[i] == '/') {
        if (k > 2) Fail("malformed face corner '" + std::string(tok) + "'");
        f[k++] = tok.substr(start, i - start);
        start = i + 1;
      }
    }
    std::array<long, 3> key{Index(f[0], static_cast<long>(v.size()), "vertex"), -1, -1};
    if (k > 1 && !f[1].empty()) key[1] = Index(f[1], static_cast<long>(vt.size()), "texture");
    if (k > 2 && !f[2].empty()) key[2] = Index(f[2], static_cast<long>(vn.size()), "normal");
    auto it = local.find(key);
    if (it != local.end()) return it->second;
    const long idx = static_cast<long>(cur.pts.size());
    local.emplace(key, idx);
    cur.pts.push_back(v[key[0]]);
    if (vHasColour[key[0]])
      cur.colours.push_back(vColour[key[0]]);
    else
      allColours = false;
    if (key[1] >= 0)
      cur.texcoords.push_back(vt[key[1]]);
    else
      allTex = false;
    if (key[2] >= 0)
      cur.normals.push_back(vn[key[2]]);
    else
      allNormals = false;
    return idx;
  }

  void Line(std::string_view text) {
    const std::size_t hash = text.find('#');
    if (hash != std::string_view::npos) text = text.substr(0, hash);
    const auto tok = Tokens(text);
    if (tok.empty()) return;
    const std::string_view kw = tok[0];
    if (kw == "v") {
      if (tok.size() != 4 && tok.size() != 5 && tok.size() != 7 && tok.size() != 8)
        Fail("a vertex needs x y z, optionally w or r g b");
      v.push_back({Number(tok[1], "x"), Number(tok[2], "y"), Number(tok[3], "z")});
      if (tok.size() >= 7) {
        const float a = tok.size() == 8 ? Single(tok[7], "alpha") : 1.f;
        vColour.emplace_back(Single(tok[4], "red"), Single(tok[5], "green"), Single(tok[6], "blue"),
                             a);
        vHasColour.push_back(1);
      } else {
        vColour.emplace_back();
        vHasColour.push_back(0);
      }
    } else if (kw == "vt") {
      if (tok.size() < 2 || tok.size() > 4) Fail("a texture coordinate needs u [v [w]]");
      KRO::G_TEXCOORD t;
      t.u = Single(tok[1], "u");
      t.v = tok.size() > 2 ? Single(tok[2], "v") : 0.f;
      vt.push_back(t);
    } else if (kw == "vn") {
      if (tok.size() != 4) Fail("a normal needs x y z");
      KRO::VECTOR3 n;
      n.x = Single(tok[1], "normal x");
      n.y = Single(tok[2], "normal y");
      n.z = Single(tok[3], "normal z");
      vn.push_back(n);
    } else if (kw == "f") {
      if (tok.size() < 4) Fail("a face needs at least 3 corners");
      std::vector<long> c;
      for (std::size_t i = 1; i < tok.size(); ++i) c.push_back(Corner(tok[i]));
      for (std::size_t i = 1; i + 1 < c.size(); ++i) cur.tris.emplace_back(c[0], c[i], c[i + 1]);
    } else if (kw == "g" || kw == "o") {
      std::string name;
      for (std::size_t i = 1; i < tok.size(); ++i) name += (i > 1 ? " " : "") + std::string(tok[i]);
      group = name;
      Switch();
    } else if (kw == "usemtl") {
      material = tok.size() > 1 ? std::string(tok[1]) : "";
      if (material != cur.material) Switch();
    }
    // s, l, p, mtllib, curves and other statements carry nothing a
    // triangle model keeps.
  }
};

}  // namespace

Model ReadObj(const std::string& data, const std::string& name) {
  ObjReader r;
  r.file = name;
  LineReader lr(data);
  std::string_view text;
  while (lr.Next(text)) {
    r.line = lr.LineNo();
    r.Line(text);
  }
  r.Flush();
  Model m;
  m.parts = std::move(r.parts);
  // Parts that share a group name (a material change inside a group) are
  // told apart by their material.
  std::map<std::string, int> uses;
  for (const auto& p : m.parts) uses[p.name]++;
  for (auto& p : m.parts)
    if (uses[p.name] > 1 && !p.surface.GetMaterialName().empty())
      p.name += "_" + p.surface.GetMaterialName();
  return m;
}

std::string WriteObj(const Model& m, const std::string& mtlFile) {
  std::string out = "# " + std::to_string(m.TriangleCount()) + " triangles, written by tricut\n";
  if (!mtlFile.empty()) out += "mtllib " + mtlFile + "\n";
  long vBase = 1, vtBase = 1, vnBase = 1;
  for (std::size_t pi = 0; pi < m.parts.size(); ++pi) {
    const Part& part = m.parts[pi];
    const PartArrays a = ArraysOf(part);
    out += "o " + TokenName(part.name, "surface_" + std::to_string(pi + 1)) + "\n";
    const std::string mat = part.surface.GetMaterialName();
    if (!mat.empty()) out += "usemtl " + TokenName(mat, "material") + "\n";
    for (std::size_t i = 0; i < a.pts.size(); ++i) {
      const auto& p = a.pts[i];
      out += "v " + Fmt(p.x) + " " + Fmt(p.y) + " " + Fmt(p.z);
      if (!a.colours.empty()) {
        const auto& c = a.colours[i];
        out += " " + Fmt(c.r) + " " + Fmt(c.g) + " " + Fmt(c.b);
      }
      out += "\n";
    }
    for (const auto& t : a.texcoords) out += "vt " + Fmt(t.u) + " " + Fmt(t.v) + "\n";
    for (const auto& n : a.normals)
      out += "vn " + Fmt(n.x) + " " + Fmt(n.y) + " " + Fmt(n.z) + "\n";
    const bool tex = !a.texcoords.empty(), nor = !a.normals.empty();
    for (const auto& t : a.tris) {
      out += "f";
      for (long k : t.v) {
        out += " " + std::to_string(vBase + k);
        if (tex || nor) out += "/" + (tex ? std::to_string(vtBase + k) : std::string());
        if (nor) out += "/" + std::to_string(vnBase + k);
      }
      out += "\n";
    }
    vBase += static_cast<long>(a.pts.size());
    vtBase += static_cast<long>(a.texcoords.size());
    vnBase += static_cast<long>(a.normals.size());
  }
  return out;
}

std::string WriteMtl(const Model& m) {
  std::string out = "# materials written by tricut\n";
  std::map<std::string, bool> done;
  std::size_t index = 0;
  for (const auto& part : m.parts) {
    const std::string mat = part.surface.GetMaterialName();
    if (mat.empty() || done[mat]) continue;
    done[mat] = true;
    KRO::COLOR4 c = PaletteColour(index++);
    for (const auto& other : m.parts)
      if (other.surface.GetMaterialName() == mat && other.deco.m_hasColour) {
        c = other.deco.m_colour;
        break;
      }
    out += "newmtl " + TokenName(mat, "material") + "\n";
    out += "Kd " + Fmt(c.r) + " " + Fmt(c.g) + " " + Fmt(c.b) + "\n";
    out += "d " + Fmt(c.a) + "\n\n";
  }
  return out;
}

void ApplyMtl(Model& m, const std::string& mtlData, const std::string& name) {
  std::map<std::string, KRO::COLOR4> colours;
  std::string cur;
  LineReader lr(mtlData);
  std::string_view text;
  while (lr.Next(text)) {
    const auto tok = Tokens(text);
    if (tok.empty() || tok[0].front() == '#') continue;
    if (tok[0] == "newmtl" && tok.size() > 1) {
      cur = std::string(tok[1]);
      colours[cur] = KRO::COLOR4(0.8f, 0.8f, 0.8f, 1.f);
    } else if (!cur.empty() && tok[0] == "Kd" && tok.size() >= 4) {
      double r, g, b;
      if (!ParseDouble(tok[1], r) || !ParseDouble(tok[2], g) || !ParseDouble(tok[3], b) ||
          !FitsFloat(r) || !FitsFloat(g) || !FitsFloat(b))
        throw ToolError(AtLine(name, lr.LineNo(), "malformed Kd colour"));
      auto& c = colours[cur];
      c.r = static_cast<float>(r);
      c.g = static_cast<float>(g);
      c.b = static_cast<float>(b);
    } else if (!cur.empty() && tok[0] == "d" && tok.size() >= 2) {
      double a;
      if (ParseDouble(tok[1], a) && FitsFloat(a)) colours[cur].a = static_cast<float>(a);
    }
  }
  for (auto& part : m.parts) {
    auto it = colours.find(part.surface.GetMaterialName());
    if (it == colours.end()) continue;
    part.deco.m_colour = it->second;
    part.deco.m_hasColour = true;
    part.deco.m_materialName = it->first;
  }
}

}  // namespace tricut
