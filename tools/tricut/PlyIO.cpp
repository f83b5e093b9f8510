// Stanford PLY: ASCII, binary little-endian and binary big-endian.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "PartBuilder.h"

namespace tricut {

namespace {

enum class PType { I8, U8, I16, U16, I32, U32, F32, F64, Bad };

PType TypeOf(std::string_view s) {
  if (s == "char" || s == "int8") return PType::I8;
  if (s == "uchar" || s == "uint8") return PType::U8;
  if (s == "short" || s == "int16") return PType::I16;
  if (s == "ushort" || s == "uint16") return PType::U16;
  if (s == "int" || s == "int32") return PType::I32;
  if (s == "uint" || s == "uint32") return PType::U32;
  if (s == "float" || s == "float32") return PType::F32;
  if (s == "double" || s == "float64") return PType::F64;
  return PType::Bad;
}

std::size_t SizeOf(PType t) {
  switch (t) {
    case PType::I8:
    case PType::U8:
      return 1;
    case PType::I16:
    case PType::U16:
      return 2;
    case PType::I32:
    case PType::U32:
    case PType::F32:
      return 4;
    case PType::F64:
      return 8;
    default:
      return 0;
  }
}

double Lowest(PType t) {
  switch (t) {
    case PType::I8:
      return -128.0;
    case PType::I16:
      return -32768.0;
    case PType::I32:
      return -2147483648.0;
    default:
      return 0.0;
  }
}

double Highest(PType t) {
  switch (t) {
    case PType::I8:
      return 127.0;
    case PType::U8:
      return 255.0;
    case PType::I16:
      return 32767.0;
    case PType::U16:
      return 65535.0;
    case PType::I32:
      return 2147483647.0;
    default:
      return 4294967295.0;
  }
}

bool IsInteger(PType t) {
  return t != PType::F32 && t != PType::F64;
}

struct Property {
  std::string name;
  PType type = PType::Bad;
  bool list = false;
  PType countType = PType::Bad;
};

struct Element {
  std::string name;
  long count = 0;
  std::vector<Property> props;
};

// Reads values of one element instance from either body encoding.
class BodyReader {
 public:
  BodyReader(const std::string& file, std::string_view data, std::size_t offset, int enc,
             long firstLine)
      : m_file(file),
        m_data(data),
        m_pos(offset),
        m_enc(enc),
        m_lines(data.substr(offset)),
        m_lineBase(firstLine) {}

  // Starts an element instance (ASCII: the next non-empty line).
  void Begin(const std::string& element, long index) {
    m_element = element;
    m_index = index;
    if (m_enc != 0) return;
    std::string_view line;
    do {
      if (!m_lines.Next(line)) Fail("unexpected end of file");
      m_tokens = Tokens(line);
    } while (m_tokens.empty());
    m_tok = 0;
  }

  double Value(PType t) {
    if (m_enc == 0) {
      if (m_tok >= m_tokens.size()) Fail("too few values");
      double d;
      if (!ParseDouble(m_tokens[m_tok], d))
        Fail("malformed value '" + std::string(m_tokens[m_tok]) + "'");
      // An integer property must hold a number its type can store: callers
      // convert these to indices and counts.
      if (IsInteger(t) && !(d >= Lowest(t) && d <= Highest(t)))
        Fail("value '" + std::string(m_tokens[m_tok]) + "' does not fit its integer type");
      ++m_tok;
      return d;
    }
    const std::size_t n = SizeOf(t);
    if (m_pos + n > m_data.size()) Fail("unexpected end of data");
    unsigned char b[8];
    std::memcpy(b, m_data.data() + m_pos, n);
    m_pos += n;
    if (m_enc == 2)
      for (std::size_t i = 0; i < n / 2; ++i) std::swap(b[i], b[n - 1 - i]);
    switch (t) {
      case PType::I8: {
        int8_t v;
        std::memcpy(&v, b, 1);
        return v;
      }
      case PType::U8:
        return b[0];
      case PType::I16: {
        int16_t v;
        std::memcpy(&v, b, 2);
        return v;
      }
      case PType::U16: {
        uint16_t v;
        std::memcpy(&v, b, 2);
        return v;
      }
      case PType::I32: {
        int32_t v;
        std::memcpy(&v, b, 4);
        return v;
      }
      case PType::U32: {
        uint32_t v;
        std::memcpy(&v, b, 4);
        return v;
      }
      case PType::F32: {
        float v;
        std::memcpy(&v, b, 4);
        return v;
      }
      case PType::F64: {
        double v;
        std::memcpy(&v, b, 8);
        return v;
      }
      default:
        Fail("bad property type");
    }
  }

  void End() {
    if (m_enc == 0 && m_tok != m_tokens.size()) Fail("too many values");
  }

  [[noreturn]] void Fail(const std::string& what) const {
    const std::string where = m_element + " " + std::to_string(m_index + 1);
    if (m_enc == 0)
      throw ToolError(AtLine(m_file, m_lineBase + m_lines.LineNo(), where + ": " + what));
    throw ToolError(m_file + ": " + where + " (byte " + std::to_string(m_pos) + "): " + what);
  }

 private:
  std::string m_file;
  std::string_view m_data;
  std::size_t m_pos;
  int m_enc;  // 0 ascii, 1 little-endian, 2 big-endian
  LineReader m_lines;
  long m_lineBase;
  std::vector<std::string_view> m_tokens;
  std::size_t m_tok = 0;
  std::string m_element;
  long m_index = 0;
};

bool HostLittleEndian() {
  const uint16_t one = 1;
  unsigned char b;
  std::memcpy(&b, &one, 1);
  return b == 1;
}

template <class T>
void PutLE(std::string& out, T v) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));
  if (!HostLittleEndian())
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(b[i], b[sizeof(T) - 1 - i]);
  out.append(reinterpret_cast<const char*>(b), sizeof(T));
}

unsigned char ColourByte(float c) {
  const float v = std::round(std::fmin(std::fmax(c, 0.f), 1.f) * 255.f);
  return static_cast<unsigned char>(v);
}

}  // namespace

Model ReadPly(const std::string& data, const std::string& name) {
  LineReader lr(data);
  std::string_view line;
  if (!lr.Next(line) || Trim(line) != "ply")
    throw ToolError(AtLine(name, 1, "not a PLY file (no 'ply' line)"));
  int enc = -1;
  std::vector<Element> elements;
  std::map<long, std::pair<std::string, std::string>> partInfo;  // id -> name, material
  std::string modelName;
  bool ended = false;
  while (lr.Next(line)) {
    const auto tok = Tokens(line);
    if (tok.empty()) continue;
    auto fail = [&](const std::string& what) { throw ToolError(AtLine(name, lr.LineNo(), what)); };
    if (tok[0] == "format") {
      if (tok.size() < 2) fail("malformed format line");
      if (tok[1] == "ascii")
        enc = 0;
      else if (tok[1] == "binary_little_endian")
        enc = 1;
      else if (tok[1] == "binary_big_endian")
        enc = 2;
      else
        fail("unknown PLY format '" + std::string(tok[1]) + "'");
    } else if (tok[0] == "comment" || tok[0] == "obj_info") {
      // Parts written by this tool: "comment tricut surface <id> <material|-> <name>".
      if (tok.size() >= 5 && tok[1] == "tricut" && tok[2] == "surface") {
        long id;
        if (ParseLong(tok[3], id)) {
          std::string mat(tok[4]);
          std::string nm;
          for (std::size_t i = 5; i < tok.size(); ++i)
            nm += (i > 5 ? " " : "") + std::string(tok[i]);
          partInfo[id] = {nm, mat == "-" ? "" : mat};
        }
      } else if (tok.size() >= 3 && tok[1] == "tricut" && tok[2] == "model") {
        for (std::size_t i = 3; i < tok.size(); ++i)
          modelName += (i > 3 ? " " : "") + std::string(tok[i]);
      }
    } else if (tok[0] == "element") {
      Element e;
      if (tok.size() != 3 || !ParseLong(tok[2], e.count) || e.count < 0)
        fail("malformed element line");
      e.name = std::string(tok[1]);
      elements.push_back(e);
    } else if (tok[0] == "property") {
      if (elements.empty()) fail("property before any element");
      Property p;
      if (tok.size() == 5 && tok[1] == "list") {
        p.list = true;
        p.countType = TypeOf(tok[2]);
        p.type = TypeOf(tok[3]);
        p.name = std::string(tok[4]);
        if (p.countType == PType::Bad || !IsInteger(p.countType)) fail("bad list count type");
      } else if (tok.size() == 3) {
        p.type = TypeOf(tok[1]);
        p.name = std::string(tok[2]);
      } else {
        fail("malformed property line");
      }
      if (p.type == PType::Bad) fail("unknown property type");
      elements.back().props.push_back(p);
    } else if (tok[0] == "end_header") {
      ended = true;
      break;
    } else {
      fail("unknown header line '" + std::string(tok[0]) + "'");
    }
  }
  if (!ended) throw ToolError(name + ": PLY header has no end_header");
  if (enc < 0) throw ToolError(name + ": PLY header has no format line");

  std::vector<KRO::G3D_DVertex> pts;
  std::vector<KRO::COLOR4> cols;
  std::vector<KRO::VECTOR3> norms;
  std::vector<KRO::G_TEXCOORD> tcs;
  bool hasColour = false, hasNormal = false, hasTex = false;
  struct Face {
    long a, b, c, surface;
  };
  std::vector<Face> faces;
  long vertexCount = -1;

  if (enc == 0) {
    // One line per element: a header that claims more than the file holds
    // says so, rather than the values some element lacks or has too many of.
    LineReader rest(std::string_view(data).substr(lr.Offset()));
    std::string_view l;
    long lines = 0, claimed = 0;
    while (rest.Next(l))
      if (!Trim(l).empty()) ++lines;
    std::string what;
    for (const Element& e : elements) {
      claimed = e.count > lines - claimed ? lines + 1 : claimed + e.count;  // no overflow
      const std::string plural = e.name == "vertex" ? "vertices" : e.name + "s";
      what += (what.empty() ? "" : " and ") + std::to_string(e.count) + " " +
              (e.count == 1 ? e.name : plural);
    }
    if (claimed > lines)
      throw ToolError(name + ": header claims " + what + ", file ends at line " +
                      std::to_string(lr.LineNo() + rest.LineNo()));
  }
  BodyReader body(name, data, lr.Offset(), enc, lr.LineNo());
  for (const Element& e : elements) {
    const bool isVertex = e.name == "vertex", isFace = e.name == "face";
    // Property roles for vertices.
    std::vector<int> role(e.props.size(), -1);
    float colourScale[4] = {1, 1, 1, 1};
    if (isVertex) {
      const char* names[][12] = {{"x"},
                                 {"y"},
                                 {"z"},
                                 {"nx"},
                                 {"ny"},
                                 {"nz"},
                                 {"red", "diffuse_red", "r"},
                                 {"green", "diffuse_green", "g"},
                                 {"blue", "diffuse_blue", "b"},
                                 {"alpha", "a"},
                                 {"u", "s", "texture_u", "texture_s"},
                                 {"v", "t", "texture_v", "texture_t"}};
      for (std::size_t i = 0; i < e.props.size(); ++i)
        for (int r = 0; r < 12 && role[i] < 0; ++r)
          for (const char* n : names[r])
            if (n && e.props[i].name == n && !e.props[i].list) {
              role[i] = r;
              if (r >= 6 && r <= 9 && IsInteger(e.props[i].type))
                colourScale[r - 6] = e.props[i].type == PType::U16 ? 1.f / 65535.f : 1.f / 255.f;
            }
      int have[12] = {0};
      for (int r : role)
        if (r >= 0) have[r] = 1;
      if (!have[0] || !have[1] || !have[2])
        throw ToolError(name + ": PLY vertex element lacks x, y or z");
      hasNormal = have[3] && have[4] && have[5];
      hasColour = have[6] && have[7] && have[8];
      hasTex = have[10] && have[11];
      vertexCount = e.count;
    }
    // A binary element without properties takes no bytes: its count is
    // unbounded by the file and stepping through it would never end.
    if (enc != 0 && e.props.empty()) continue;
    for (long i = 0; i < e.count; ++i) {
      body.Begin(e.name, i);
      double vals[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
      if (isVertex) vals[9] = 1.0 / colourScale[3];
      std::vector<long> corners;
      long surface = 0;
      for (std::size_t k = 0; k < e.props.size(); ++k) {
        const Property& p = e.props[k];
        if (p.list) {
          const double cnt = body.Value(p.countType);
          if (cnt < 0 || cnt > 1e6) body.Fail("bad list length");
          const bool indices = isFace && (p.name == "vertex_indices" || p.name == "vertex_index");
          for (long j = 0; j < static_cast<long>(cnt); ++j) {
            const double v = body.Value(p.type);
            if (indices) {
              if (v != std::floor(v) || v < 0 || v >= static_cast<double>(vertexCount))
                body.Fail("vertex index " + Fmt(v) + " out of range (" +
                          std::to_string(vertexCount < 0 ? 0 : vertexCount) + " vertices)");
              corners.push_back(static_cast<long>(v));
            }
          }
        } else {
          const double v = body.Value(p.type);
          if (isVertex && role[k] >= 0) vals[role[k]] = v;
          if (isFace && p.name == "surface") {
            // A float-typed surface number is read as written, so it must be
            // checked before it becomes an index.
            if (!(std::fabs(v) < 2147483648.0)) body.Fail("surface number out of range");
            surface = static_cast<long>(v);
          }
        }
      }
      body.End();
      if (isVertex) {
        for (int c = 0; c < 3; ++c)
          if (!std::isfinite(vals[c])) body.Fail("coordinate is not finite");
        // Normals, colours and texture coordinates are kept as float.
        for (int c = 3; c < 12; ++c) {
          const bool used = c < 6 ? hasNormal : c < 10 ? hasColour : hasTex;
          if (used && !FitsFloat(vals[c])) body.Fail("value out of single-precision range");
        }
        pts.push_back({vals[0], vals[1], vals[2]});
        if (hasNormal) {
          KRO::VECTOR3 n;
          n.x = static_cast<float>(vals[3]);
          n.y = static_cast<float>(vals[4]);
          n.z = static_cast<float>(vals[5]);
          norms.push_back(n);
        }
        if (hasColour)
          cols.emplace_back(static_cast<float>(vals[6]) * colourScale[0],
                            static_cast<float>(vals[7]) * colourScale[1],
                            static_cast<float>(vals[8]) * colourScale[2],
                            static_cast<float>(vals[9]) * colourScale[3]);
        if (hasTex) {
          KRO::G_TEXCOORD t;
          t.u = static_cast<float>(vals[10]);
          t.v = static_cast<float>(vals[11]);
          tcs.push_back(t);
        }
      } else if (isFace) {
        if (corners.size() < 3) body.Fail("a face needs at least 3 corners");
        for (std::size_t j = 1; j + 1 < corners.size(); ++j)
          faces.push_back({corners[0], corners[j], corners[j + 1], surface});
      }
    }
  }

  Model m;
  m.name = modelName;
  std::map<long, std::vector<const Face*>> bySurface;
  for (const Face& f : faces) bySurface[f.surface].push_back(&f);
  if (bySurface.size() <= 1) {
    PartBuilder b;
    b.pts = pts;
    if (hasColour) b.colours = cols;
    if (hasNormal) b.normals = norms;
    if (hasTex) b.texcoords = tcs;
    for (const Face& f : faces) b.tris.emplace_back(f.a, f.b, f.c);
    const long id = bySurface.empty() ? 0 : bySurface.begin()->first;
    auto info = partInfo.find(id);
    if (info != partInfo.end()) {
      b.name = info->second.first;
      b.material = info->second.second;
    }
    m.parts.push_back(b.Finish());
    return m;
  }
  for (const auto& [id, list] : bySurface) {
    PartBuilder b;
    auto info = partInfo.find(id);
    if (info != partInfo.end()) {
      b.name = info->second.first;
      b.material = info->second.second;
    }
    std::map<long, long> local;
    auto corner = [&](long g) {
      auto it = local.find(g);
      if (it != local.end()) return it->second;
      const long idx = static_cast<long>(b.pts.size());
      local.emplace(g, idx);
      b.pts.push_back(pts[g]);
      if (hasColour) b.colours.push_back(cols[g]);
      if (hasNormal) b.normals.push_back(norms[g]);
      if (hasTex) b.texcoords.push_back(tcs[g]);
      return idx;
    };
    for (const Face* f : list) {
      const long a = corner(f->a), bb = corner(f->b), c = corner(f->c);
      b.tris.emplace_back(a, bb, c);
    }
    m.parts.push_back(b.Finish());
  }
  return m;
}

std::string WritePly(const Model& m, bool binary) {
  std::vector<PartArrays> arrays;
  bool colours = true, normals = true, tex = true;
  long nv = 0, nf = 0;
  for (const auto& part : m.parts) {
    arrays.push_back(ArraysOf(part));
    const auto& a = arrays.back();
    if (!a.pts.empty()) {
      colours = colours && !a.colours.empty();
      normals = normals && !a.normals.empty();
      tex = tex && !a.texcoords.empty();
    }
    nv += static_cast<long>(a.pts.size());
    nf += static_cast<long>(a.tris.size());
  }
  if (nv == 0) colours = normals = tex = false;
  const bool multi = m.parts.size() > 1;

  std::string out = "ply\nformat ";
  out += binary ? "binary_little_endian 1.0\n" : "ascii 1.0\n";
  out += "comment written by tricut\n";
  if (!m.name.empty()) out += "comment tricut model " + m.name + "\n";
  for (std::size_t i = 0; i < m.parts.size(); ++i) {
    const std::string mat = m.parts[i].surface.GetMaterialName();
    out += "comment tricut surface " + std::to_string(i) + " " + TokenName(mat, "-") + " " +
           m.parts[i].name + "\n";
  }
  out += "element vertex " + std::to_string(nv) + "\n";
  out += "property double x\nproperty double y\nproperty double z\n";
  if (normals) out += "property float nx\nproperty float ny\nproperty float nz\n";
  if (colours)
    out += "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n";
  if (tex) out += "property float u\nproperty float v\n";
  out += "element face " + std::to_string(nf) + "\n";
  out += "property list uchar int vertex_indices\n";
  if (multi) out += "property int surface\n";
  out += "end_header\n";

  for (const auto& a : arrays)
    for (std::size_t i = 0; i < a.pts.size(); ++i) {
      const auto& p = a.pts[i];
      if (binary) {
        PutLE(out, p.x);
        PutLE(out, p.y);
        PutLE(out, p.z);
        if (normals) {
          PutLE(out, a.normals[i].x);
          PutLE(out, a.normals[i].y);
          PutLE(out, a.normals[i].z);
        }
        if (colours) {
          const auto& c = a.colours[i];
          out += static_cast<char>(ColourByte(c.r));
          out += static_cast<char>(ColourByte(c.g));
          out += static_cast<char>(ColourByte(c.b));
          out += static_cast<char>(ColourByte(c.a));
        }
        if (tex) {
          PutLE(out, a.texcoords[i].u);
          PutLE(out, a.texcoords[i].v);
        }
      } else {
        out += Fmt(p.x) + " " + Fmt(p.y) + " " + Fmt(p.z);
        if (normals)
          out += " " + Fmt(a.normals[i].x) + " " + Fmt(a.normals[i].y) + " " + Fmt(a.normals[i].z);
        if (colours) {
          const auto& c = a.colours[i];
          out += " " + std::to_string(ColourByte(c.r)) + " " + std::to_string(ColourByte(c.g)) +
                 " " + std::to_string(ColourByte(c.b)) + " " + std::to_string(ColourByte(c.a));
        }
        if (tex) out += " " + Fmt(a.texcoords[i].u) + " " + Fmt(a.texcoords[i].v);
        out += "\n";
      }
    }
  long base = 0;
  for (std::size_t pi = 0; pi < arrays.size(); ++pi) {
    const auto& a = arrays[pi];
    for (const auto& t : a.tris) {
      if (binary) {
        out += static_cast<char>(3);
        for (long k : t.v) PutLE(out, static_cast<int32_t>(base + k));
        if (multi) PutLE(out, static_cast<int32_t>(pi));
      } else {
        out += "3 " + std::to_string(base + t.v[0]) + " " + std::to_string(base + t.v[1]) + " " +
               std::to_string(base + t.v[2]);
        if (multi) out += " " + std::to_string(pi);
        out += "\n";
      }
    }
    base += static_cast<long>(a.pts.size());
  }
  return out;
}

}  // namespace tricut
