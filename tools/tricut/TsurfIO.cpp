// GOCAD TSurf (.ts): one or more "GOCAD TSurf" objects; every TFACE of
// an object becomes a part. Vertex numbers (VRTX, PVRTX, ATOM) are global
// within an object, so a TFACE may use vertices declared in another one.
#include <cmath>
#include <map>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "PartBuilder.h"

namespace tricut {

namespace {

struct TsObject {
  std::string name;
  KRO::COLOR4 colour;
  bool hasColour = false;
  bool depth = false;  // ZPOSITIVE Depth: z grows downwards
  std::map<long, KRO::G3D_DVertex> vertices;
  std::vector<PartBuilder> faces;
  std::vector<std::map<long, long>> local;  // per face: vertex number -> point
  std::vector<std::string> faceNames;       // "# tricut surface" comments
  std::string pendingName;
};

}  // namespace

Model ReadTsurf(const std::string& data, const std::string& name) {
  LineReader lr(data);
  std::string_view line;
  auto fail = [&](const std::string& what) { throw ToolError(AtLine(name, lr.LineNo(), what)); };
  std::vector<TsObject> objects;
  TsObject* obj = nullptr;
  bool inHeader = false, inCoordSys = false, inProps = false;
  auto num = [&](std::string_view t, const char* what) {
    double d;
    if (!ParseDouble(t, d)) fail(std::string("malformed ") + what + " '" + std::string(t) + "'");
    if (!std::isfinite(d)) fail(std::string(what) + " is not finite");
    return d;
  };
  auto id = [&](std::string_view t) {
    long v;
    if (!ParseLong(t, v)) fail("malformed vertex number '" + std::string(t) + "'");
    return v;
  };
  auto headerField = [&](std::string_view text) {
    // "key:value" pairs of the header.
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return;
    const std::string key = Lower(Trim(text.substr(0, colon)));
    const std::string_view value = Trim(text.substr(colon + 1));
    if (key == "name") {
      obj->name = std::string(value);
    } else if (key == "*solid*color") {
      const auto t = Tokens(value);
      if (t.size() >= 3) {
        double c[4] = {0, 0, 0, 1};
        for (std::size_t k = 0; k < t.size() && k < 4; ++k)
          if (!ParseDouble(t[k], c[k]) || !FitsFloat(c[k])) return;  // named colours are left out
        obj->colour = KRO::COLOR4(static_cast<float>(c[0]), static_cast<float>(c[1]),
                                  static_cast<float>(c[2]), static_cast<float>(c[3]));
        obj->hasColour = true;
      }
    }
  };
  auto newFace = [&]() {
    obj->faces.emplace_back();
    obj->local.emplace_back();
    obj->faceNames.push_back(obj->pendingName);
    obj->pendingName.clear();
  };
  auto addVertex = [&](long n, const KRO::G3D_DVertex& p) {
    if (obj->vertices.count(n)) fail("vertex number " + std::to_string(n) + " declared twice");
    obj->vertices[n] = p;
    if (obj->faces.empty()) newFace();
    // Declared points belong to the face being read, in file order.
    auto& face = obj->faces.back();
    obj->local.back()[n] = static_cast<long>(face.pts.size());
    face.pts.push_back(p);
  };

  while (lr.Next(line)) {
    std::string_view text = Trim(line);
    if (text.empty()) continue;
    if (text.front() == '#') {
      const auto t = Tokens(text.substr(1));
      if (obj && t.size() >= 3 && t[0] == "tricut" && t[1] == "surface") {
        std::string nm;
        for (std::size_t i = 2; i < t.size(); ++i) nm += (i > 2 ? " " : "") + std::string(t[i]);
        obj->pendingName = nm;
      }
      continue;
    }
    if (inHeader) {
      const std::size_t close = text.find('}');
      headerField(close == std::string_view::npos ? text : text.substr(0, close));
      if (close != std::string_view::npos) inHeader = false;
      continue;
    }
    const auto tok = Tokens(text);
    const std::string_view kw = tok[0];
    if (kw == "GOCAD") {
      if (tok.size() < 2 || tok[1] != "TSurf")
        fail("not a GOCAD TSurf object ('" + std::string(text) + "')");
      objects.emplace_back();
      obj = &objects.back();
      continue;
    }
    if (!obj) fail("expected 'GOCAD TSurf 1' before '" + std::string(kw) + "'");
    if (inCoordSys) {
      if (kw == "ZPOSITIVE" && tok.size() > 1) obj->depth = Lower(tok[1]) == "depth";
      if (kw == "END_ORIGINAL_COORDINATE_SYSTEM") inCoordSys = false;
      continue;
    }
    if (inProps) {
      if (text.find('}') != std::string_view::npos) inProps = false;
      continue;
    }
    if (kw == "HEADER") {
      const std::size_t open = text.find('{');
      if (open == std::string_view::npos) fail("HEADER without '{'");
      std::string_view rest = text.substr(open + 1);
      const std::size_t close = rest.find('}');
      if (close == std::string_view::npos) {
        headerField(rest);
        inHeader = true;
      } else {
        headerField(rest.substr(0, close));
      }
    } else if (kw == "GOCAD_ORIGINAL_COORDINATE_SYSTEM") {
      inCoordSys = true;
    } else if (kw == "TFACE") {
      newFace();
    } else if (kw == "VRTX" || kw == "PVRTX") {
      if (tok.size() < 5) fail(std::string(kw) + " needs a number and x y z");
      addVertex(id(tok[1]), {num(tok[2], "x"), num(tok[3], "y"), num(tok[4], "z")});
    } else if (kw == "ATOM" || kw == "PATOM") {
      if (tok.size() < 3) fail("ATOM needs a number and the vertex it repeats");
      const long n = id(tok[1]), ref = id(tok[2]);
      auto it = obj->vertices.find(ref);
      if (it == obj->vertices.end())
        fail("ATOM " + std::to_string(n) + " repeats unknown vertex " + std::to_string(ref));
      addVertex(n, it->second);
    } else if (kw == "TRGL") {
      if (tok.size() != 4) fail("TRGL needs three vertex numbers");
      if (obj->faces.empty()) newFace();
      auto& face = obj->faces.back();
      auto& local = obj->local.back();
      long c[3];
      for (int k = 0; k < 3; ++k) {
        const long n = id(tok[k + 1]);
        auto it = local.find(n);
        if (it != local.end()) {
          c[k] = it->second;
          continue;
        }
        auto g = obj->vertices.find(n);
        if (g == obj->vertices.end())
          fail("TRGL uses vertex " + std::to_string(n) + ", which is not declared");
        c[k] = static_cast<long>(face.pts.size());
        local[n] = c[k];
        face.pts.push_back(g->second);
      }
      face.tris.emplace_back(c[0], c[1], c[2]);
    } else if (kw == "PROPERTIES" || kw == "PROPERTY_CLASSES" || kw == "PROP_LEGAL_RANGES" ||
               kw == "NO_DATA_VALUES" || kw == "PROPERTY_KINDS" || kw == "PROPERTY_SUBCLASSES" ||
               kw == "ESIZES" || kw == "UNITS" || kw == "PROPERTY_CLASS_HEADER") {
      if (text.find('{') != std::string_view::npos && text.find('}') == std::string_view::npos)
        inProps = true;
    } else if (kw == "END") {
      obj = nullptr;
    }
    // BSTONE, BORDER, SEG, ZPOSITIVE outside the block and other keywords
    // describe borders and display; a triangle model keeps none of them.
  }

  Model m;
  for (auto& o : objects) {
    if (m.name.empty()) m.name = o.name;
    std::size_t nonEmpty = 0;
    for (const auto& f : o.faces)
      if (!f.tris.empty()) ++nonEmpty;
    std::size_t k = 0;
    for (std::size_t i = 0; i < o.faces.size(); ++i) {
      PartBuilder& f = o.faces[i];
      if (f.tris.empty()) continue;
      ++k;
      if (o.depth)
        for (auto& p : f.pts) p.z = -p.z;
      if (!o.faceNames[i].empty())
        f.name = o.faceNames[i];
      else
        f.name = nonEmpty == 1 ? o.name : o.name + "_" + std::to_string(k);
      f.hasSurfaceColour = o.hasColour;
      f.surfaceColour = o.colour;
      m.parts.push_back(f.Finish());
    }
  }
  return m;
}

std::string WriteTsurf(const Model& m) {
  std::string out = "GOCAD TSurf 1\nHEADER {\nname:" + TokenName(m.name, "tricut") + "\n";
  for (const auto& p : m.parts)
    if (p.deco.m_hasColour) {
      const auto& c = p.deco.m_colour;
      out += "*solid*color:" + Fmt(c.r) + " " + Fmt(c.g) + " " + Fmt(c.b) + " " + Fmt(c.a) + "\n";
      break;
    }
  out += "}\n";
  out +=
      "GOCAD_ORIGINAL_COORDINATE_SYSTEM\nNAME Default\nAXIS_NAME \"X\" \"Y\" \"Z\"\n"
      "AXIS_UNIT \"m\" \"m\" \"m\"\nZPOSITIVE Elevation\nEND_ORIGINAL_COORDINATE_SYSTEM\n";
  long base = 1;
  for (const auto& part : m.parts) {
    out += "# tricut surface " + part.name + "\nTFACE\n";
    const auto& pts = part.surface.Points();
    for (std::size_t i = 0; i < pts.size(); ++i)
      out += "VRTX " + std::to_string(base + static_cast<long>(i)) + " " + Fmt(pts[i].x) + " " +
             Fmt(pts[i].y) + " " + Fmt(pts[i].z) + "\n";
    for (const auto& t : TrianglesOf(part.surface))
      out += "TRGL " + std::to_string(base + t.v[0]) + " " + std::to_string(base + t.v[1]) + " " +
             std::to_string(base + t.v[2]) + "\n";
    base += static_cast<long>(pts.size());
  }
  out += "END\n";
  return out;
}

}  // namespace tricut
