// STL, ASCII and binary. The format repeats every corner of every facet;
// corners with exactly the same coordinates are welded into one point so
// that a closed solid reads back closed.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "PartBuilder.h"

namespace tricut {

namespace {

struct ExactKey {
  double x, y, z;
  bool operator==(const ExactKey& o) const { return x == o.x && y == o.y && z == o.z; }
};
struct ExactHash {
  std::size_t operator()(const ExactKey& k) const {
    auto h = [](double d) {
      if (d == 0) d = 0;  // -0 and +0 are the same point
      uint64_t u;
      std::memcpy(&u, &d, 8);
      return u;
    };
    uint64_t v = h(k.x) * 0x9E3779B97F4A7C15ull;
    v ^= h(k.y) + 0x7F4A7C159E3779B9ull + (v << 6) + (v >> 2);
    v ^= h(k.z) + 0x94D049BB133111EBull + (v << 6) + (v >> 2);
    return static_cast<std::size_t>(v);
  }
};

// Builds one part, welding exactly equal corners.
struct Welder {
  PartBuilder b;
  std::unordered_map<ExactKey, long, ExactHash> index;
  long Add(const KRO::G3D_DVertex& p) {
    auto it = index.find({p.x, p.y, p.z});
    if (it != index.end()) return it->second;
    const long i = static_cast<long>(b.pts.size());
    b.pts.push_back(p);
    index.emplace(ExactKey{p.x, p.y, p.z}, i);
    return i;
  }
};

bool LooksBinary(const std::string& data) {
  if (data.size() < 84) return false;
  uint32_t n;
  std::memcpy(&n, data.data() + 80, 4);
  return 84 + 50 * static_cast<uint64_t>(n) == data.size();
}

Model ReadBinary(const std::string& data, const std::string& name) {
  uint32_t n;
  std::memcpy(&n, data.data() + 80, 4);
  Welder w;
  for (uint32_t i = 0; i < n; ++i) {
    const char* rec = data.data() + 84 + 50 * static_cast<std::size_t>(i);
    long c[3];
    for (int k = 0; k < 3; ++k) {
      float f[3];
      std::memcpy(f, rec + 12 + 12 * k, 12);
      if (!std::isfinite(f[0]) || !std::isfinite(f[1]) || !std::isfinite(f[2]))
        throw ToolError(name + ": facet " + std::to_string(i + 1) + ": coordinate is not finite");
      c[k] = w.Add({f[0], f[1], f[2]});
    }
    w.b.tris.emplace_back(c[0], c[1], c[2]);
  }
  Model m;
  m.parts.push_back(w.b.Finish());
  return m;
}

Model ReadAscii(const std::string& data, const std::string& name) {
  Model m;
  LineReader lr(data);
  std::string_view line;
  auto fail = [&](const std::string& what) { throw ToolError(AtLine(name, lr.LineNo(), what)); };
  bool inSolid = false, inLoop = false;
  Welder w;
  std::vector<long> loop;
  while (lr.Next(line)) {
    const auto tok = Tokens(line);
    if (tok.empty()) continue;
    const std::string kw = Lower(tok[0]);
    if (kw == "solid") {
      if (inSolid) fail("'solid' inside a solid");
      inSolid = true;
      w = Welder();
      for (std::size_t i = 1; i < tok.size(); ++i)
        w.b.name += (i > 1 ? " " : "") + std::string(tok[i]);
    } else if (kw == "endsolid") {
      if (!inSolid) fail("'endsolid' without 'solid'");
      if (inLoop) fail("'endsolid' inside a facet");
      inSolid = false;
      m.parts.push_back(w.b.Finish());
    } else if (kw == "facet") {
      if (!inSolid) fail("'facet' outside a solid");
    } else if (kw == "outer") {
      if (inLoop) fail("'outer loop' inside a loop");
      inLoop = true;
      loop.clear();
    } else if (kw == "vertex") {
      if (!inLoop) fail("'vertex' outside a loop");
      if (tok.size() != 4) fail("a vertex needs x y z");
      double c[3];
      for (int k = 0; k < 3; ++k) {
        if (!ParseDouble(tok[k + 1], c[k]))
          fail("malformed coordinate '" + std::string(tok[k + 1]) + "'");
        if (!std::isfinite(c[k])) fail("coordinate is not finite");
      }
      loop.push_back(w.Add({c[0], c[1], c[2]}));
    } else if (kw == "endloop") {
      if (!inLoop) fail("'endloop' without 'outer loop'");
      if (loop.size() < 3) fail("a facet needs at least 3 vertices");
      for (std::size_t i = 1; i + 1 < loop.size(); ++i)
        w.b.tris.emplace_back(loop[0], loop[i], loop[i + 1]);
      inLoop = false;
    } else if (kw == "endfacet") {
      if (inLoop) fail("'endfacet' before 'endloop'");
    } else {
      fail("unexpected '" + std::string(tok[0]) + "'");
    }
  }
  if (inSolid) throw ToolError(name + ": unexpected end of file inside solid (no 'endsolid')");
  return m;
}

KRO::G3D_DVertex FacetNormal(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b,
                             const KRO::G3D_DVertex& c) {
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  KRO::G3D_DVertex n{uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
  const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (len > 0) n = {n.x / len, n.y / len, n.z / len};
  return n;
}

template <class T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof(T));
}

}  // namespace

Model ReadStl(const std::string& data, const std::string& name) {
  // A binary file may also start with "solid"; its size decides.
  if (LooksBinary(data)) return ReadBinary(data, name);
  std::size_t i = 0;
  while (i < data.size() && std::isspace(static_cast<unsigned char>(data[i]))) ++i;
  if (Lower(std::string_view(data).substr(i, 5)) == "solid") return ReadAscii(data, name);
  throw ToolError(
      name +
      ": not an STL file (no 'solid' line, and the size does not match a binary facet count)");
}

std::string WriteStl(const Model& m, bool binary) {
  if (binary) {
    for (const auto& part : m.parts)
      for (const auto& p : part.surface.Points())
        if (!FitsFloat(p.x) || !FitsFloat(p.y) || !FitsFloat(p.z))
          throw ToolError("binary STL holds single precision: coordinate " +
                          Fmt(!FitsFloat(p.x)   ? p.x
                              : !FitsFloat(p.y) ? p.y
                                                : p.z) +
                          " is out of its range (write ASCII STL)");
    std::string out(80, ' ');
    const char head[] = "binary STL written by tricut";
    std::memcpy(&out[0], head, sizeof head - 1);
    Put(out, static_cast<uint32_t>(m.TriangleCount()));
    for (const auto& part : m.parts) {
      const auto& pts = part.surface.Points();
      for (const auto& t : TrianglesOf(part.surface)) {
        const auto n = FacetNormal(pts[t.v[0]], pts[t.v[1]], pts[t.v[2]]);
        Put(out, static_cast<float>(n.x));
        Put(out, static_cast<float>(n.y));
        Put(out, static_cast<float>(n.z));
        for (long k : t.v) {
          Put(out, static_cast<float>(pts[k].x));
          Put(out, static_cast<float>(pts[k].y));
          Put(out, static_cast<float>(pts[k].z));
        }
        Put(out, static_cast<uint16_t>(0));
      }
    }
    return out;
  }
  std::string out;
  for (std::size_t pi = 0; pi < m.parts.size(); ++pi) {
    const auto& part = m.parts[pi];
    const std::string nm = TokenName(part.name, "surface_" + std::to_string(pi + 1));
    out += "solid " + nm + "\n";
    const auto& pts = part.surface.Points();
    for (const auto& t : TrianglesOf(part.surface)) {
      const auto n = FacetNormal(pts[t.v[0]], pts[t.v[1]], pts[t.v[2]]);
      out += "  facet normal " + Fmt(n.x) + " " + Fmt(n.y) + " " + Fmt(n.z) + "\n    outer loop\n";
      for (long k : t.v)
        out += "      vertex " + Fmt(pts[k].x) + " " + Fmt(pts[k].y) + " " + Fmt(pts[k].z) + "\n";
      out += "    endloop\n  endfacet\n";
    }
    out += "endsolid " + nm + "\n";
  }
  return out;
}

}  // namespace tricut
