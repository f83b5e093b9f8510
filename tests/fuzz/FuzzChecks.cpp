#include "FuzzChecks.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "Errors.h"
#include "Model.h"
#include "ModelIO.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"

namespace fuzzchecks {

using tricut::Model;
using Vec = KRO::G3D_DVertex;

namespace {

const char* const kNames[] = {"obj", "ply", "stl", "off", "tsurf", "facade", "queries"};

// ---- model checks --------------------------------------------------------

// Every index in range and every coordinate finite; "" when so.
std::string Validity(const C3DSurface& s, const std::string& what) {
  const auto& pts = s.Points();
  for (std::size_t i = 0; i < pts.size(); ++i)
    if (!std::isfinite(pts[i].x) || !std::isfinite(pts[i].y) || !std::isfinite(pts[i].z))
      return what + ": point " + std::to_string(i) + " is not finite";
  const long n = static_cast<long>(pts.size());
  const auto tris = tricut::TrianglesOf(s);
  for (std::size_t i = 0; i < tris.size(); ++i)
    for (long v : tris[i].v)
      if (v < 0 || v >= n)
        return what + ": triangle " + std::to_string(i) + " has index " + std::to_string(v) +
               " of " + std::to_string(n) + " points";
  return "";
}

std::string Validity(const Model& m, const std::string& what) {
  for (std::size_t i = 0; i < m.parts.size(); ++i) {
    std::string e = Validity(m.parts[i].surface, what + " part " + std::to_string(i + 1));
    if (!e.empty()) return e;
  }
  return "";
}

// A part as its triangles' corner coordinates, so that point order,
// welding and unused points do not matter.
std::vector<std::array<double, 9>> Corners(const C3DSurface& s) {
  std::vector<std::array<double, 9>> out;
  const auto& pts = s.Points();
  for (const auto& t : tricut::TrianglesOf(s)) {
    std::array<double, 9> c;
    for (int k = 0; k < 3; ++k) {
      c[3 * k] = pts[t.v[k]].x;
      c[3 * k + 1] = pts[t.v[k]].y;
      c[3 * k + 2] = pts[t.v[k]].z;
    }
    out.push_back(c);
  }
  return out;
}

// Parts with triangles in order (a part without triangles carries nothing
// a writer has to keep); merged into one when the format keeps one.
std::vector<std::vector<std::array<double, 9>>> Geometry(const Model& m, bool merged) {
  std::vector<std::vector<std::array<double, 9>>> parts;
  for (const auto& p : m.parts) {
    auto c = Corners(p.surface);
    if (c.empty()) continue;
    if (merged && !parts.empty())
      parts[0].insert(parts[0].end(), c.begin(), c.end());
    else
      parts.push_back(std::move(c));
  }
  return parts;
}

std::string SameModel(const Model& a, const Model& b, bool merged, bool floats) {
  const auto ga = Geometry(a, merged), gb = Geometry(b, merged);
  if (ga.size() != gb.size())
    return std::to_string(ga.size()) + " parts became " + std::to_string(gb.size());
  for (std::size_t p = 0; p < ga.size(); ++p) {
    if (ga[p].size() != gb[p].size())
      return "part " + std::to_string(p + 1) + ": " + std::to_string(ga[p].size()) +
             " triangles became " + std::to_string(gb[p].size());
    for (std::size_t t = 0; t < ga[p].size(); ++t)
      for (int k = 0; k < 9; ++k) {
        const double x =
            floats ? static_cast<double>(static_cast<float>(ga[p][t][k])) : ga[p][t][k];
        if (x != gb[p][t][k]) {
          std::ostringstream os;
          os.precision(17);
          os << "part " << p + 1 << " triangle " << t << ": coordinate " << ga[p][t][k]
             << " became " << gb[p][t][k];
          return os.str();
        }
      }
  }
  return "";
}

// ---- byte decoding -------------------------------------------------------

struct Bytes {
  const uint8_t* p;
  std::size_t n, i = 0;
  uint8_t Next() { return i < n ? p[i++] : 0; }
  bool More() const { return i < n; }
  // A coordinate on a grid of step 0.5 from -2 to 2: coplanar faces,
  // shared edges and repeated points come up all the time.
  double Grid() { return (Next() % 9) * 0.5 - 2; }
  double Size() { return 0.5 * (1 + Next() % 4); }
};

struct Mesh {
  std::vector<Vec> pts;
  std::vector<C3DTriData> tris;
  bool closed = false;
};

void AddTri(Mesh& m, long a, long b, long c, long base) {
  C3DTriData t;
  t.v[0] = base + a;
  t.v[1] = base + b;
  t.v[2] = base + c;
  m.tris.push_back(t);
}

double Volume6(const Vec& a, const Vec& b, const Vec& c, const Vec& d) {
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  const double wx = d.x - a.x, wy = d.y - a.y, wz = d.z - a.z;
  return ux * (vy * wz - vz * wy) - uy * (vx * wz - vz * wx) + uz * (vx * wy - vy * wx);
}

void AddBox(Mesh& m, Bytes& in) {
  const Vec lo{in.Grid(), in.Grid(), in.Grid()};
  const Vec hi{lo.x + in.Size(), lo.y + in.Size(), lo.z + in.Size()};
  const bool otherDiagonal = in.Next() & 1;
  const long base = static_cast<long>(m.pts.size());
  for (int c = 0; c < 8; ++c)
    m.pts.push_back({c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z});
  // Faces as outward quads (corner bits x=1, y=2, z=4).
  const int q[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                       {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : q) {
    if (otherDiagonal) {
      AddTri(m, f[0], f[1], f[3], base);
      AddTri(m, f[1], f[2], f[3], base);
    } else {
      AddTri(m, f[0], f[1], f[2], base);
      AddTri(m, f[0], f[2], f[3], base);
    }
  }
}

void AddPrism(Mesh& m, Bytes& in) {
  Vec b[3];
  for (auto& p : b) p = {in.Grid(), in.Grid(), 0};
  const double z0 = in.Grid(), h = in.Size();
  double area2 = (b[1].x - b[0].x) * (b[2].y - b[0].y) - (b[2].x - b[0].x) * (b[1].y - b[0].y);
  if (area2 == 0) return AddBox(m, in);
  if (area2 < 0) std::swap(b[1], b[2]);
  const long base = static_cast<long>(m.pts.size());
  for (int k = 0; k < 3; ++k) m.pts.push_back({b[k].x, b[k].y, z0});
  for (int k = 0; k < 3; ++k) m.pts.push_back({b[k].x, b[k].y, z0 + h});
  AddTri(m, 0, 2, 1, base);
  AddTri(m, 3, 4, 5, base);
  for (int k = 0; k < 3; ++k) {
    const int j = (k + 1) % 3;
    AddTri(m, k, j, j + 3, base);
    AddTri(m, k, j + 3, k + 3, base);
  }
}

void AddTetra(Mesh& m, Bytes& in) {
  Vec p[4];
  for (auto& v : p) v = {in.Grid(), in.Grid(), in.Grid()};
  const double v6 = Volume6(p[0], p[1], p[2], p[3]);
  if (v6 == 0) return AddBox(m, in);
  if (v6 < 0) std::swap(p[1], p[2]);
  const long base = static_cast<long>(m.pts.size());
  for (const auto& v : p) m.pts.push_back(v);
  AddTri(m, 0, 2, 1, base);
  AddTri(m, 0, 1, 3, base);
  AddTri(m, 1, 2, 3, base);
  AddTri(m, 2, 0, 3, base);
}

// Open patches: a height field over a few grid cells (shared edges, flat
// stretches) or a loose soup of grid triangles.
void AddPatch(Mesh& m, Bytes& in) {
  const int kind = in.Next() % 2;
  if (kind == 0) {
    const int nx = 1 + in.Next() % 4, ny = 1 + in.Next() % 4;
    const double x0 = in.Grid(), y0 = in.Grid(), step = in.Size();
    const long base = static_cast<long>(m.pts.size());
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) m.pts.push_back({x0 + i * step, y0 + j * step, in.Grid()});
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        const long a = j * (nx + 1) + i, b = a + 1, c = a + nx + 1, d = c + 1;
        AddTri(m, a, b, d, base);
        AddTri(m, a, d, c, base);
      }
  } else {
    const int n = 1 + in.Next() % 64;
    for (int t = 0; t < n && in.More(); ++t) {
      const long base = static_cast<long>(m.pts.size());
      for (int k = 0; k < 3; ++k) m.pts.push_back({in.Grid(), in.Grid(), in.Grid()});
      AddTri(m, 0, 1, 2, base);
    }
  }
}

Mesh DecodeMesh(Bytes& in) {
  Mesh m;
  switch (in.Next() % 5) {
    case 0:
      AddBox(m, in);
      m.closed = true;
      break;
    case 1:
      AddPrism(m, in);
      m.closed = true;
      break;
    case 2:
      AddTetra(m, in);
      m.closed = true;
      break;
    default:
      AddPatch(m, in);
      break;
  }
  if (m.tris.empty()) AddPatch(m, in);
  return m;
}

std::vector<C3DTriangle> HostTris(const Mesh& m, std::size_t from, std::size_t to) {
  std::vector<C3DTriangle> t;
  for (std::size_t i = from; i < to; ++i)
    t.emplace_back(m.tris[i].v[0], m.tris[i].v[1], m.tris[i].v[2]);
  return t;
}

C3DSurface ToHostSurface(const Mesh& m) {
  return tricut::MakeSurface(m.pts, HostTris(m, 0, m.tris.size()), "s");
}

// A solid of one surface, or of one surface per pair of triangles (the
// faces of a box), as hosts hand them in.
C3DEntity ToHostEntity(const Mesh& m, bool perFace) {
  C3DEntity e(-1, 0);
  const std::size_t step = perFace ? 2 : m.tris.size();
  for (std::size_t i = 0; i < m.tris.size(); i += step) {
    const C3DSurface s = tricut::MakeSurface(
        m.pts, HostTris(m, i, std::min(m.tris.size(), i + step)), "m" + std::to_string(i));
    e.AddSurface(&s, &s.SurfaceDecoration());
  }
  return e;
}

double Area(const Mesh& m) {
  return tricut::SurfaceArea(ToHostSurface(m));
}
double Volume(const Mesh& m) {
  return std::fabs(tricut::SignedVolume(tricut::FromSurface(ToHostSurface(m), "v")));
}

std::string Balance(const char* what, double expected, double got, double scale) {
  if (std::fabs(expected - got) <= 1e-9 * scale + 1e-12) return "";
  std::ostringstream os;
  os.precision(12);
  os << what << ": expected " << expected << ", got " << got;
  return os.str();
}

double Dot(const Vec& a, const Vec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Sub(const Vec& a, const Vec& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Closed as a solid: every edge used by an even number of triangles. A
// result may rightly use an edge four times where two of its parts touch
// along a line (a box minus a wedge whose edge lies on the box's face), but
// never with two of those triangles on one half-plane (a double layer).
bool ClosedSolid(const Model& m) {
  std::vector<Vec> pts;
  std::vector<std::array<long, 3>> tris;
  for (const auto& part : m.parts) {
    const long base = static_cast<long>(pts.size());
    const auto& p = part.surface.Points();
    pts.insert(pts.end(), p.begin(), p.end());
    for (const auto& t : tricut::TrianglesOf(part.surface))
      tris.push_back({base + t.v[0], base + t.v[1], base + t.v[2]});
  }
  const std::vector<long> weld = tricut::WeldPoints(pts, 1e-6);
  std::map<std::pair<long, long>, std::vector<long>> far;  // edge -> far corners
  for (const auto& t : tris)
    for (int k = 0; k < 3; ++k) {
      const long a = weld[t[k]], b = weld[t[(k + 1) % 3]], c = weld[t[(k + 2) % 3]];
      if (a != b) far[{std::min(a, b), std::max(a, b)}].push_back(c);
    }
  if (far.empty()) return false;
  for (const auto& [edge, corners] : far) {
    if (corners.size() % 2 != 0) return false;
    if (corners.size() == 2) continue;
    const Vec o = pts[edge.first], d = Sub(pts[edge.second], o);
    const double dd = Dot(d, d);
    std::vector<Vec> normal;  // each corner's offset square to the edge
    for (long c : corners) {
      const Vec w = Sub(pts[c], o);
      const double t = Dot(w, d) / dd;
      normal.push_back({w.x - t * d.x, w.y - t * d.y, w.z - t * d.z});
    }
    for (std::size_t i = 0; i < normal.size(); ++i)
      for (std::size_t j = i + 1; j < normal.size(); ++j) {
        const Vec &u = normal[i], &w = normal[j];
        const Vec x{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        if (Dot(u, w) > 0 && Dot(x, x) <= 1e-18 * Dot(u, u) * Dot(w, w)) return false;
      }
  }
  return true;
}

// Closed result and its volume (faces turned to agree first, as the tool
// does); an empty result has volume 0.
std::string SolidVolume(const C3DEntity& e, const char* what, double& v) {
  Model m = tricut::FromEntity(e, what);
  v = 0;
  if (m.Empty()) return "";
  if (!ClosedSolid(m)) return std::string(what) + " is not closed";
  tricut::OrientSurfaces(m);
  v = std::fabs(tricut::SignedVolume(m));
  return "";
}

// ---- point queries -------------------------------------------------------

double SolidAngle(const Vec& p, const Vec& A, const Vec& B, const Vec& C) {
  const Vec a{A.x - p.x, A.y - p.y, A.z - p.z}, b{B.x - p.x, B.y - p.y, B.z - p.z},
      c{C.x - p.x, C.y - p.y, C.z - p.z};
  const double la = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  const double lb = std::sqrt(b.x * b.x + b.y * b.y + b.z * b.z);
  const double lc = std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
  const double num =
      a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
  const double den = la * lb * lc + (a.x * b.x + a.y * b.y + a.z * b.z) * lc +
                     (b.x * c.x + b.y * c.y + b.z * c.z) * la +
                     (c.x * a.x + c.y * a.y + c.z * a.z) * lb;
  return 2 * std::atan2(num, den);
}

// Distance from p to triangle abc (closest point by regions).
double TriDistance(const Vec& p, const Vec& a, const Vec& b, const Vec& c) {
  const Vec ab = Sub(b, a), ac = Sub(c, a), ap = Sub(p, a);
  auto dist = [&](const Vec& q) { return std::sqrt(Dot(Sub(p, q), Sub(p, q))); };
  auto lerp = [](const Vec& u, const Vec& d, double t) {
    return Vec{u.x + t * d.x, u.y + t * d.y, u.z + t * d.z};
  };
  const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return dist(a);
  const Vec bp = Sub(p, b);
  const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return dist(b);
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return dist(lerp(a, ab, d1 / (d1 - d3)));
  const Vec cp = Sub(p, c);
  const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return dist(c);
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return dist(lerp(a, ac, d2 / (d2 - d6)));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0)
    return dist(lerp(b, Sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
  const double den = 1 / (va + vb + vc);
  const Vec q = lerp(lerp(a, ab, vb * den), ac, vc * den);
  return dist(q);
}

std::string PointText(const Vec& p) {
  std::ostringstream os;
  os.precision(17);
  os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
  return os.str();
}

}  // namespace

bool TargetByName(const std::string& name, Target& t) {
  for (int i = 0; i < 7; ++i)
    if (name == kNames[i]) {
      t = static_cast<Target>(i);
      return true;
    }
  return false;
}

const char* TargetName(Target t) {
  return kNames[static_cast<int>(t)];
}

std::string CheckReader(Target t, const uint8_t* data, std::size_t size) {
  using tricut::Format;
  std::string text(reinterpret_cast<const char*>(data), size), mtl;
  Format f = Format::Obj;
  switch (t) {
    case Target::Obj: {
      const std::size_t at = text.find("\n#mtl\n");
      if (at != std::string::npos) {
        mtl = text.substr(at + 6);
        text.resize(at + 1);
      }
      break;
    }
    case Target::Ply:
      f = Format::Ply;
      break;
    case Target::Stl:
      f = Format::Stl;
      break;
    case Target::Off:
      f = Format::Off;
      break;
    default:
      f = Format::Tsurf;
      break;
  }
  Model m;
  try {
    m = tricut::ReadModelData(f, text, "in");
    if (t == Target::Obj && !mtl.empty()) tricut::ApplyMtl(m, mtl, "in.mtl");
  } catch (const tricut::ToolError& e) {
    if (std::strlen(e.what()) == 0) return "read failed without a message";
    return "";
  }
  std::string bad = Validity(m, "read");
  if (!bad.empty()) return bad;
  // Every encoding the format has; binary STL keeps single precision.
  std::vector<std::pair<tricut::Encoding, bool>> encodings = {{tricut::Encoding::Ascii, false}};
  if (f == Format::Ply || f == Format::Stl)
    encodings.push_back({tricut::Encoding::Binary, f == Format::Stl});
  for (const auto& [enc, floats] : encodings) {
    const std::string encName = enc == tricut::Encoding::Binary ? "binary" : "text";
    std::string written;
    try {
      written = tricut::WriteModelData(f, m, enc);
    } catch (const tricut::ToolError&) {
      continue;  // a writer may refuse what its encoding cannot hold
    }
    Model back;
    try {
      back = tricut::ReadModelData(f, written, "back");
      if (t == Target::Obj) tricut::ApplyMtl(back, tricut::WriteMtl(m), "back.mtl");
    } catch (const tricut::ToolError& e) {
      return "written " + encName + " form does not read back: " + e.what();
    }
    // OFF and binary STL hold one part.
    bad = SameModel(m, back, f == Format::Off || floats, floats);
    if (!bad.empty()) return "round trip (" + encName + "): " + bad;
    if (t == Target::Obj)
      for (std::size_t i = 0, j = 0; i < m.parts.size(); ++i) {
        if (m.parts[i].surface.GetTriangleCount() == 0) continue;
        while (j < back.parts.size() && back.parts[j].surface.GetTriangleCount() == 0) ++j;
        if (j == back.parts.size()) break;
        const auto &a = m.parts[i].deco, &b = back.parts[j++].deco;
        if (a.m_hasColour && (!b.m_hasColour || std::fabs(a.m_colour.r - b.m_colour.r) > 1e-6 ||
                              std::fabs(a.m_colour.g - b.m_colour.g) > 1e-6 ||
                              std::fabs(a.m_colour.b - b.m_colour.b) > 1e-6))
          return "round trip: part " + std::to_string(i + 1) + " lost its material colour";
      }
  }
  return "";
}

std::string CheckFacade(const uint8_t* data, std::size_t size, bool strict) {
  Bytes in{data, size};
  const int op = in.Next() % 7;
  const uint8_t flags = in.Next();
  Mesh a = DecodeMesh(in), b = DecodeMesh(in);
  CKroMeshTriCut cut;
  std::vector<std::pair<std::string, C3DSurface*>> outS;
  std::vector<std::pair<std::string, C3DEntity*>> outE;
  C3DSurface s[4] = {C3DSurface(-1, 0), C3DSurface(-1, 0), C3DSurface(-1, 0), C3DSurface(-1, 0)};
  C3DEntity e[6] = {C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0),
                    C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0)};
  C3DSurface sa = ToHostSurface(a), sb = ToHostSurface(b);
  C3DEntity ea = ToHostEntity(a, flags & 1), eb = ToHostEntity(b, flags & 2);
  const bool split1 = flags & 4, split2 = flags & 8;
  std::vector<D_DOT> line;
  std::vector<std::string> bad;
  switch (op) {
    case 0:
      cut.CutMdlBetweenMdl(&sa, &sb, &s[0], &s[1], &s[2], &s[3], split1, split2);
      break;
    case 1:
      cut.CutMdlBetweenMdlF(&sa, &sb, &s[0], &s[1], &s[2], &s[3], split1, split2,
                            static_cast<Kro_Split_Type>(1 + (flags >> 4) % 3),
                            static_cast<Kro_Split_Type>(1 + (flags >> 6) % 3));
      break;
    case 2: {
      const int n = 2 + in.Next() % 3;
      for (int i = 0; i < n; ++i) line.push_back({in.Grid(), in.Grid()});
      cut.SetPosCheckPolyline(line.data(), static_cast<long>(line.size()));
      cut.CutMdlBetweenMdl(&sa, nullptr, &s[0], &s[1], nullptr, nullptr, true, false);
      break;
    }
    case 3:
      cut.CutMdlBetweenMdl(&ea, &sb, &s[0], &s[1], &e[0], &e[1], flags & 16);
      break;
    case 4:
      for (int k = 0; k < 5; ++k)
        cut.CalMdlBetweenMdl(&ea, &eb, &e[k], static_cast<Kro_Mesh_Cut_Oper_Type>(k + 1));
      break;
    case 5:
      cut.CutMdlBetweenMdl(&ea, &eb, &e[0], &e[1], &e[2], &e[3], &e[4], &e[5]);
      break;
    default:
      cut.CalMdlBetweenMdl(&ea, &eb, &e[0], &e[1], &e[2], &e[3]);
      break;
  }
  for (int k = 0; k < 4; ++k) {
    std::string v = Validity(s[k], "surface output " + std::to_string(k + 1));
    if (!v.empty()) return v;
  }
  for (int k = 0; k < 6; ++k) {
    std::string v =
        Validity(tricut::FromEntity(e[k], "x"), "solid output " + std::to_string(k + 1));
    if (!v.empty()) return v;
  }
  if (!strict) return "";

  const double areaA = Area(a), areaB = Area(b);
  auto area = [](const C3DSurface& x) { return tricut::SurfaceArea(x); };
  auto areaE = [](const C3DEntity& x) { return tricut::SurfaceArea(tricut::FromEntity(x, "x")); };
  std::string r;
  switch (op) {
    case 0:
    case 1:
      if (op == 0 && split1) r = Balance("sides of a", areaA, area(s[0]) + area(s[1]), areaA);
      if (r.empty() && op == 0 && split2)
        r = Balance("sides of b", areaB, area(s[2]) + area(s[3]), areaB);
      break;
    case 2:
      r = Balance("curtain sides of a", areaA, area(s[0]) + area(s[1]), areaA);
      break;
    case 3:
      if (a.closed) r = Balance("b inside + outside a", areaB, area(s[0]) + area(s[1]), areaB);
      if (r.empty() && a.closed && !(flags & 16))
        r = Balance("sides of a", areaA, areaE(e[0]) + areaE(e[1]), areaA);
      break;
    case 6:
      if (a.closed && b.closed) {
        r = Balance("a outside + inside b", areaA, areaE(e[0]) + areaE(e[1]), areaA);
        if (r.empty()) r = Balance("b outside + inside a", areaB, areaE(e[2]) + areaE(e[3]), areaB);
      }
      break;
    default: {
      if (!a.closed || !b.closed) break;
      const double va = Volume(a), vb = Volume(b), scale = va + vb;
      double v[6];
      // Booleans: union, intersection, a - b, b - a; six outputs: a - b,
      // the common part twice, b - a.
      const int* idx;
      static const int kBool[4] = {0, 1, 2, 3}, kSix[4] = {-1, 2, 1, 5};
      idx = op == 4 ? kBool : kSix;
      static const char* kWhat[4] = {"union", "intersection", "a minus b", "b minus a"};
      for (int k = 0; k < 4 && r.empty(); ++k) {
        if (idx[k] < 0) continue;
        r = SolidVolume(e[idx[k]], kWhat[k], v[k]);
      }
      if (r.empty() && op == 5) r = SolidVolume(e[3], "intersection (b's material)", v[4]);
      if (!r.empty()) break;
      if (op == 4) r = Balance("union + intersection vs a + b", va + vb, v[0] + v[1], scale);
      if (r.empty()) r = Balance("a minus b vs a minus intersection", va - v[1], v[2], scale);
      if (r.empty()) r = Balance("b minus a vs b minus intersection", vb - v[1], v[3], scale);
      if (r.empty() && op == 5) r = Balance("both copies of the intersection", v[1], v[4], scale);
      break;
    }
  }
  return r;
}

std::string CheckQueries(const uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  const int nShapes = 1 + in.Next() % 3;
  Mesh m;
  std::size_t firstShapeTris = 0;
  struct Placed {
    tricut::Box3 box;
    bool isBox;
  };
  std::vector<Placed> placed;
  for (int k = 0; k < nShapes; ++k) {
    const std::size_t t0 = m.tris.size(), p0 = m.pts.size();
    const int kind = in.Next() % 3;
    switch (kind) {
      case 0:
        AddBox(m, in);
        break;
      case 1:
        AddPrism(m, in);
        break;
      default:
        AddTetra(m, in);
        break;
    }
    // A valid solid only: a later shape lies apart from the others, or
    // inside an earlier box as a cavity, without touching any of them.
    tricut::Box3 box;
    for (std::size_t i = p0; i < m.pts.size(); ++i) box.Add(m.pts[i]);
    bool ok = true;
    for (const Placed& o : placed) {
      const bool apart = box.lo[0] > o.box.hi[0] || box.hi[0] < o.box.lo[0] ||
                         box.lo[1] > o.box.hi[1] || box.hi[1] < o.box.lo[1] ||
                         box.lo[2] > o.box.hi[2] || box.hi[2] < o.box.lo[2];
      const bool within = o.isBox && box.lo[0] > o.box.lo[0] && box.hi[0] < o.box.hi[0] &&
                          box.lo[1] > o.box.lo[1] && box.hi[1] < o.box.hi[1] &&
                          box.lo[2] > o.box.lo[2] && box.hi[2] < o.box.hi[2];
      ok = ok && (apart || within);
    }
    if (!ok) {
      m.pts.resize(p0);
      m.tris.resize(t0);
      continue;
    }
    placed.push_back({box, kind == 0 && m.tris.size() - t0 == 12});
    // Later shapes may face inwards: parity does not care.
    if (k > 0 && (in.Next() & 1))
      for (std::size_t i = t0; i < m.tris.size(); ++i) std::swap(m.tris[i].v[1], m.tris[i].v[2]);
    if (k == 0) firstShapeTris = m.tris.size();
  }
  RAPID_model tree;
  bool built = tree.ResetModel() == OBBT_OK;
  for (std::size_t i = 0; built && i < m.tris.size(); ++i) {
    const auto& t = m.tris[i];
    const double a[3] = {m.pts[t.v[0]].x, m.pts[t.v[0]].y, m.pts[t.v[0]].z};
    const double b[3] = {m.pts[t.v[1]].x, m.pts[t.v[1]].y, m.pts[t.v[1]].z};
    const double c[3] = {m.pts[t.v[2]].x, m.pts[t.v[2]].y, m.pts[t.v[2]].z};
    built = tree.AppendTri(a, b, c, static_cast<long>(i)) == OBBT_OK;
  }
  if (!built || tree.FinishModel() != OBBT_OK) return "the OBB tree of a closed mesh was refused";
  std::vector<C3DTriangle> hostTris = HostTris(m, 0, m.tris.size());
  while (in.More()) {
    // Off the grid planes, so that a point lies in a face only by a tilt.
    Vec p{(in.Next() % 41) * 0.125 - 2.5 + 0.0371, (in.Next() % 41) * 0.125 - 2.5 + 0.0529,
          (in.Next() % 41) * 0.125 - 2.5 + 0.0613};
    double w = 0, near = 1e300, w0 = 0, near0 = 1e300;
    bool inPlane0 = false;
    for (std::size_t i = 0; i < m.tris.size(); ++i) {
      const Vec &A = m.pts[m.tris[i].v[0]], &B = m.pts[m.tris[i].v[1]], &C = m.pts[m.tris[i].v[2]];
      const double o = SolidAngle(p, A, B, C), d = TriDistance(p, A, B, C);
      w += o;
      near = std::min(near, d);
      if (i < firstShapeTris) {
        w0 += o;
        near0 = std::min(near0, d);
        const double v6 = Volume6(A, B, C, p);
        const Vec n{(B.y - A.y) * (C.z - A.z) - (B.z - A.z) * (C.y - A.y),
                    (B.z - A.z) * (C.x - A.x) - (B.x - A.x) * (C.z - A.z),
                    (B.x - A.x) * (C.y - A.y) - (B.y - A.y) * (C.x - A.x)};
        if (std::fabs(v6) <= 1e-9 * std::sqrt(Dot(n, n))) inPlane0 = true;
      }
    }
    // Away from the tolerance band only.
    if (near < 1e-3) continue;
    const long wind = std::lround(w / (4 * M_PI));
    const bool inside = wind % 2 != 0;
    bool onSurface = false;
    Vec q = p;
    const long r = CMathFunCls::CheckPntAndPolyhWithObbt(&tree, &q, onSurface);
    if (r != OBBT_PNT_UNDECIDED && (r != (inside ? 1 : -1) || onSurface))
      return "point in solid (ray parity) at " + PointText(p) + ": " + std::to_string(r) +
             (onSurface ? " on surface" : "") + ", expected " + (inside ? "inside" : "outside");
    D_3DOT d{p.x, p.y, p.z};
    const short s = GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        m.pts.data(), static_cast<long>(m.pts.size()), hostTris.data(),
        static_cast<long>(hostTris.size()), &d);
    if (s != (inside ? 1 : -1))
      return "point in solid (slices) at " + PointText(p) + ": " + std::to_string(s) +
             ", expected " + (inside ? "inside" : "outside");
    if (near0 < 1e-3) continue;
    // Side of the first shape's closed surface: in front of its outward
    // faces outside, behind them inside.
    const bool inside0 = std::lround(w0 / (4 * M_PI)) != 0;
    long tri = -1;
    const long side =
        CMathFunCls::Check3dPntAndKroSurf(&q, m.pts.data(), static_cast<long>(m.pts.size()),
                                          m.tris.data(), static_cast<long>(firstShapeTris), tri);
    if (side != (inside0 ? -1 : 1) && !(side == 0 && inPlane0))
      return "side of surface at " + PointText(p) + ": " + std::to_string(side) + ", expected " +
             (inside0 ? "back (-1)" : "front (1)");
  }
  return "";
}

std::string Check(Target t, const uint8_t* data, std::size_t size, bool strict) {
  if (t == Target::Facade) return CheckFacade(data, size, strict);
  if (t == Target::Queries) return CheckQueries(data, size);
  return CheckReader(t, data, size);
}

bool StrictFromEnv() {
  const char* v = std::getenv("KROMESH_FUZZ_STRICT");
  return !(v && std::strcmp(v, "0") == 0);
}

}  // namespace fuzzchecks
