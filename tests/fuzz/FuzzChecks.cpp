#include "FuzzChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "../support/Shapes.h"
#include "Errors.h"
#include "IOUtil.h"
#include "Model.h"
#include "ModelIO.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"

// Areas, volumes, closedness and the query reference are worked out here
// and in tests/support/Shapes.h, never by the code under test.
namespace fuzzchecks {

using shapes::Cross;
using shapes::Dot;
using shapes::Sub;
using shapes::TriSoup;
using tricut::Model;
using Vec = KRO::G3D_DVertex;

namespace {

const char* const kNames[] = {"obj", "ply", "stl", "off", "tsurf", "facade", "queries"};

TriSoup Soup(const Model& m) {
  TriSoup s;
  for (const auto& part : m.parts) shapes::AppendSurface(s, part.surface);
  return s;
}

// ---- model checks --------------------------------------------------------

// Every index in range and every coordinate finite; "" when so.
std::string Validity(const TriSoup& s, const std::string& what) {
  for (std::size_t i = 0; i < s.pts.size(); ++i)
    if (!std::isfinite(s.pts[i].x) || !std::isfinite(s.pts[i].y) || !std::isfinite(s.pts[i].z))
      return what + ": point " + std::to_string(i) + " is not finite";
  return shapes::IndicesValid(s) ? "" : what + ": a triangle index is out of range";
}

// The triangles' corner coordinates part by part, so that point order,
// welding and unused points do not matter; parts without triangles carry
// nothing a writer has to keep; one list when the format keeps one part.
std::vector<std::vector<double>> Corners(const Model& m, bool merged) {
  std::vector<std::vector<double>> parts;
  for (const auto& part : m.parts) {
    const TriSoup s = shapes::SoupOf(part.surface);
    if (s.tris.empty()) continue;
    if (!merged || parts.empty()) parts.emplace_back();
    for (const auto& t : s.tris)
      for (long v : t.v)
        parts.back().insert(parts.back().end(), {s.pts[v].x, s.pts[v].y, s.pts[v].z});
  }
  return parts;
}

std::string SameModel(const Model& a, const Model& b, bool merged, bool floats) {
  const auto ga = Corners(a, merged), gb = Corners(b, merged);
  for (std::size_t p = 0; p < std::max(ga.size(), gb.size()); ++p) {
    const std::string part = "part " + std::to_string(p + 1) + ": ";
    if (p >= ga.size() || p >= gb.size() || ga[p].size() != gb[p].size())
      return part + "triangle count changed (" + std::to_string(ga.size()) + " parts became " +
             std::to_string(gb.size()) + ")";
    for (std::size_t k = 0; k < ga[p].size(); ++k)
      if ((floats ? static_cast<double>(static_cast<float>(ga[p][k])) : ga[p][k]) != gb[p][k])
        return part + "coordinate " + tricut::Fmt(ga[p][k]) + " became " + tricut::Fmt(gb[p][k]);
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

struct Mesh : TriSoup {
  bool closed = false;
};

void Tri(Mesh& m, long base, long a, long b, long c) {
  m.tris.push_back({{base + a, base + b, base + c}});
}

double Volume6(const Vec& a, const Vec& b, const Vec& c, const Vec& d) {
  return Dot(Sub(b, a), Cross(Sub(c, a), Sub(d, a)));
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
    Tri(m, base, f[0], f[1], f[otherDiagonal ? 3 : 2]);
    Tri(m, base, f[otherDiagonal ? 1 : 0], f[2], f[3]);
  }
}

void AddPrism(Mesh& m, Bytes& in) {
  Vec b[3];
  for (auto& p : b) p = {in.Grid(), in.Grid(), 0};
  const double z0 = in.Grid(), h = in.Size();
  const double area2 = Cross(Sub(b[1], b[0]), Sub(b[2], b[0])).z;
  if (area2 == 0) return AddBox(m, in);
  if (area2 < 0) std::swap(b[1], b[2]);
  const long base = static_cast<long>(m.pts.size());
  for (double z : {z0, z0 + h})
    for (const Vec& p : b) m.pts.push_back({p.x, p.y, z});
  Tri(m, base, 0, 2, 1);
  Tri(m, base, 3, 4, 5);
  for (int k = 0; k < 3; ++k) {
    const int j = (k + 1) % 3;
    Tri(m, base, k, j, j + 3);
    Tri(m, base, k, j + 3, k + 3);
  }
}

void AddTetra(Mesh& m, Bytes& in) {
  Vec p[4];
  for (auto& v : p) v = {in.Grid(), in.Grid(), in.Grid()};
  const double v6 = Volume6(p[0], p[1], p[2], p[3]);
  if (v6 == 0) return AddBox(m, in);
  if (v6 < 0) std::swap(p[1], p[2]);
  const long base = static_cast<long>(m.pts.size());
  m.pts.insert(m.pts.end(), p, p + 4);
  const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
  for (const auto& t : faces) Tri(m, base, t[0], t[1], t[2]);
}

void (*const kSolids[3])(Mesh&, Bytes&) = {AddBox, AddPrism, AddTetra};

// Open patches: a height field over a few grid cells (shared edges, flat
// stretches) or a loose soup of grid triangles.
void AddPatch(Mesh& m, Bytes& in) {
  if (in.Next() % 2 == 0) {
    const int nx = 1 + in.Next() % 4, ny = 1 + in.Next() % 4;
    const double x0 = in.Grid(), y0 = in.Grid(), step = in.Size();
    const long base = static_cast<long>(m.pts.size());
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) m.pts.push_back({x0 + i * step, y0 + j * step, in.Grid()});
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        const long a = j * (nx + 1) + i, c = a + nx + 1;
        Tri(m, base, a, a + 1, c + 1);
        Tri(m, base, a, c + 1, c);
      }
    return;
  }
  const int n = 1 + in.Next() % 64;
  for (int t = 0; t < n && in.More(); ++t) {
    const long base = static_cast<long>(m.pts.size());
    for (int k = 0; k < 3; ++k) m.pts.push_back({in.Grid(), in.Grid(), in.Grid()});
    Tri(m, base, 0, 1, 2);
  }
}

Mesh DecodeMesh(Bytes& in) {
  Mesh m;
  const int kind = in.Next() % 5;
  m.closed = kind < 3;
  (m.closed ? kSolids[kind] : AddPatch)(m, in);
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

std::string Balance(const char* what, double expected, double got, double scale) {
  if (std::fabs(expected - got) <= 1e-9 * scale + 1e-12) return "";
  return std::string(what) + ": expected " + tricut::Fmt(expected) + ", got " + tricut::Fmt(got);
}

// Closed as a solid: every edge used by an even number of triangles. A
// result may rightly use an edge four times where two of its parts touch
// along a line (a box minus a wedge whose edge lies on the box's face), but
// never with two of those triangles on one half-plane (a double layer).
bool ClosedSolid(const TriSoup& s) {
  const std::vector<long> weld = shapes::WeldMap(s.pts, 1e-6);
  std::map<std::pair<long, long>, std::vector<long>> far;  // edge -> far corners
  for (const auto& t : s.tris)
    for (int k = 0; k < 3; ++k) {
      const long a = weld[t.v[k]], b = weld[t.v[(k + 1) % 3]], c = weld[t.v[(k + 2) % 3]];
      if (a != b) far[{std::min(a, b), std::max(a, b)}].push_back(c);
    }
  if (far.empty()) return false;
  for (const auto& [edge, corners] : far) {
    if (corners.size() % 2 != 0) return false;
    if (corners.size() == 2) continue;
    const Vec o = s.pts[edge.first], d = Sub(s.pts[edge.second], o);
    std::vector<Vec> normal;  // each corner's offset square to the edge
    for (long c : corners) {
      const Vec w = Sub(s.pts[c], o);
      normal.push_back(Sub(w, shapes::Scale(d, Dot(w, d) / Dot(d, d))));
    }
    for (std::size_t i = 0; i < normal.size(); ++i)
      for (std::size_t j = i + 1; j < normal.size(); ++j) {
        const Vec &u = normal[i], &w = normal[j], x = Cross(u, w);
        if (Dot(u, w) > 0 && Dot(x, x) <= 1e-18 * Dot(u, u) * Dot(w, w)) return false;
      }
  }
  return true;
}

// Closed result and its volume (faces turned to agree first, and a cavity
// to face in, as the tool does); an empty result has volume 0.
std::string SolidVolume(const C3DEntity& e, const char* what, double& v) {
  Model m = tricut::FromEntity(e, what);
  v = 0;
  if (m.Empty()) return "";
  if (!ClosedSolid(Soup(m))) return std::string(what) + " is not closed";
  tricut::OrientSurfaces(m);
  tricut::OrientPiece(m);
  v = std::fabs(shapes::SignedVolume(Soup(m)));
  return "";
}

// The Booleans (union, intersection, a - b, b - a) or the six outputs (the
// common part in both materials, a - b, b - a): closed results whose
// volumes agree with the operands'.
std::string CheckVolumes(const Mesh& a, const Mesh& b, const C3DEntity* e, bool six) {
  const double va = std::fabs(shapes::SignedVolume(a)), vb = std::fabs(shapes::SignedVolume(b));
  static const char* kWhat[5] = {"union", "intersection", "a minus b", "b minus a",
                                 "intersection (b's material)"};
  static const int kBool[5] = {0, 1, 2, 3, -1}, kSix[5] = {-1, 2, 1, 5, 3};
  double v[5] = {0, 0, 0, 0, 0};
  for (int k = 0; k < 5; ++k) {
    const int i = (six ? kSix : kBool)[k];
    const std::string r = i < 0 ? "" : SolidVolume(e[i], kWhat[k], v[k]);
    if (!r.empty()) return r;
  }
  std::string r = six ? Balance("both copies of the intersection", v[1], v[4], va + vb)
                      : Balance("union + intersection vs a + b", va + vb, v[0] + v[1], va + vb);
  if (r.empty()) r = Balance("a minus b vs a minus intersection", va - v[1], v[2], va + vb);
  return r.empty() ? Balance("b minus a vs b minus intersection", vb - v[1], v[3], va + vb) : r;
}

// ---- point queries -------------------------------------------------------

double SolidAngle(const Vec& p, const Vec& A, const Vec& B, const Vec& C) {
  const Vec a = Sub(A, p), b = Sub(B, p), c = Sub(C, p);
  const double la = shapes::Norm(a), lb = shapes::Norm(b), lc = shapes::Norm(c);
  return 2 * std::atan2(Dot(a, Cross(b, c)),
                        la * lb * lc + Dot(a, b) * lc + Dot(b, c) * la + Dot(c, a) * lb);
}

// Distance from p to triangle abc (closest point by regions).
double TriDistance(const Vec& p, const Vec& a, const Vec& b, const Vec& c) {
  auto from = [&](const Vec& u, const Vec& d, double t) {
    return shapes::Norm(Sub(p, shapes::Add(u, shapes::Scale(d, t))));
  };
  const Vec ab = Sub(b, a), ac = Sub(c, a), ap = Sub(p, a), bp = Sub(p, b), cp = Sub(p, c);
  const double d1 = Dot(ab, ap), d2 = Dot(ac, ap), d3 = Dot(ab, bp), d4 = Dot(ac, bp),
               d5 = Dot(ab, cp), d6 = Dot(ac, cp);
  if (d1 <= 0 && d2 <= 0) return from(a, ab, 0);
  if (d3 >= 0 && d4 <= d3) return from(b, ab, 0);
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return from(a, ab, d1 / (d1 - d3));
  if (d6 >= 0 && d5 <= d6) return from(c, ab, 0);
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return from(a, ac, d2 / (d2 - d6));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0)
    return from(b, Sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));
  const double den = 1 / (va + vb + vc);
  return from(shapes::Add(a, shapes::Scale(ab, vb * den)), ac, vc * den);
}

std::string CheckReader(Target t, const uint8_t* data, std::size_t size) {
  using tricut::Format;
  static const Format kFormats[] = {Format::Obj, Format::Ply, Format::Stl, Format::Off,
                                    Format::Tsurf};
  const Format f = kFormats[std::min(static_cast<int>(t), 4)];
  std::string text(reinterpret_cast<const char*>(data), size), mtl;
  const std::size_t at = text.find("\n#mtl\n");
  if (t == Target::Obj && at != std::string::npos) {
    mtl = text.substr(at + 6);
    text.resize(at + 1);
  }
  Model m;
  try {
    m = tricut::ReadModelData(f, text, "in");
    if (!mtl.empty()) tricut::ApplyMtl(m, mtl, "in.mtl");
  } catch (const tricut::ToolError& e) {
    return std::strlen(e.what()) == 0 ? "read failed without a message" : "";
  }
  std::string bad = Validity(Soup(m), "read");
  if (!bad.empty()) return bad;
  // Every encoding the format has; binary STL keeps single precision.
  for (const bool binary : {false, true}) {
    if (binary && f != Format::Ply && f != Format::Stl) continue;
    const bool floats = binary && f == Format::Stl;
    const std::string encName = binary ? "binary" : "text";
    std::string written;
    try {
      written =
          tricut::WriteModelData(f, m, binary ? tricut::Encoding::Binary : tricut::Encoding::Ascii);
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
    bad = Validity(Soup(back), "read back");
    // OFF and binary STL hold one part.
    if (bad.empty()) bad = SameModel(m, back, f == Format::Off || floats, floats);
    if (!bad.empty()) return "round trip (" + encName + "): " + bad;
    if (t != Target::Obj) continue;
    for (std::size_t i = 0, j = 0; i < m.parts.size(); ++i) {
      if (m.parts[i].surface.GetTriangleCount() == 0) continue;
      while (j < back.parts.size() && back.parts[j].surface.GetTriangleCount() == 0) ++j;
      if (j == back.parts.size()) break;
      const auto &a = m.parts[i].deco.m_colour, &b = back.parts[j].deco.m_colour;
      const bool backHas = back.parts[j++].deco.m_hasColour;
      if (m.parts[i].deco.m_hasColour &&
          (!backHas ||
           std::max({std::fabs(a.r - b.r), std::fabs(a.g - b.g), std::fabs(a.b - b.b)}) > 1e-6))
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
  C3DSurface s[4], sa = ToHostSurface(a), sb = ToHostSurface(b);
  C3DEntity e[6];
  C3DEntity ea = ToHostEntity(a, flags & 1), eb = ToHostEntity(b, flags & 2);
  const bool split1 = flags & 4, split2 = flags & 8;
  std::vector<D_DOT> line;
  if (op == 0) {
    cut.CutMdlBetweenMdl(&sa, &sb, &s[0], &s[1], &s[2], &s[3], split1, split2);
  } else if (op == 1) {
    cut.CutMdlBetweenMdlF(&sa, &sb, &s[0], &s[1], &s[2], &s[3], split1, split2,
                          static_cast<Kro_Split_Type>(1 + (flags >> 4) % 3),
                          static_cast<Kro_Split_Type>(1 + (flags >> 6) % 3));
  } else if (op == 2) {
    for (int i = 2 + in.Next() % 3; i > 0; --i) line.push_back({in.Grid(), in.Grid()});
    cut.SetPosCheckPolyline(line.data(), static_cast<long>(line.size()));
    cut.CutMdlBetweenMdl(&sa, nullptr, &s[0], &s[1], nullptr, nullptr, true, false);
  } else if (op == 3) {
    cut.CutMdlBetweenMdl(&ea, &sb, &s[0], &s[1], &e[0], &e[1], flags & 16);
  } else if (op == 4) {
    for (int k = 0; k < 5; ++k)
      cut.CalMdlBetweenMdl(&ea, &eb, &e[k], static_cast<Kro_Mesh_Cut_Oper_Type>(k + 1));
  } else if (op == 5) {
    cut.CutMdlBetweenMdl(&ea, &eb, &e[0], &e[1], &e[2], &e[3], &e[4], &e[5]);
  } else {
    cut.CalMdlBetweenMdl(&ea, &eb, &e[0], &e[1], &e[2], &e[3]);
  }
  for (int k = 0; k < 10; ++k) {
    const std::string v =
        k < 4 ? Validity(shapes::SoupOf(s[k]), "surface output " + std::to_string(k + 1))
              : Validity(shapes::SoupOf(e[k - 4]), "solid output " + std::to_string(k - 3));
    if (!v.empty()) return v;
  }
  if (!strict) return "";

  const double areaA = shapes::TotalArea(a), areaB = shapes::TotalArea(b);
  auto area = [](const auto& x) { return shapes::TotalArea(shapes::SoupOf(x)); };
  const bool solids = a.closed && b.closed;
  const struct {
    bool on;
    const char* what;
    double expected, got;
  } sums[] = {
      {(op == 0 && split1) || op == 2, "sides of a", areaA, area(s[0]) + area(s[1])},
      {op == 0 && split2, "sides of b", areaB, area(s[2]) + area(s[3])},
      {op == 3 && a.closed, "b inside + outside a", areaB, area(s[0]) + area(s[1])},
      {op == 3 && a.closed && !(flags & 16), "solid sides of a", areaA, area(e[0]) + area(e[1])},
      {op == 6 && solids, "a outside + inside b", areaA, area(e[0]) + area(e[1])},
      {op == 6 && solids, "b outside + inside a", areaB, area(e[2]) + area(e[3])},
  };
  for (const auto& x : sums) {
    const std::string r = x.on ? Balance(x.what, x.expected, x.got, x.expected) : "";
    if (!r.empty()) return r;
  }
  return (op == 4 || op == 5) && solids ? CheckVolumes(a, b, e, op == 5) : "";
}

std::string CheckQueries(const uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  const int nShapes = 1 + in.Next() % 3;
  Mesh m;
  std::size_t firstShapeTris = 0;
  std::vector<std::pair<tricut::Box3, bool>> placed;  // and whether a box
  for (int k = 0; k < nShapes; ++k) {
    const std::size_t t0 = m.tris.size(), p0 = m.pts.size();
    const int kind = in.Next() % 3;
    kSolids[kind](m, in);
    // A valid solid only: a later shape lies apart from the others, or
    // inside an earlier box as a cavity, without touching any of them.
    tricut::Box3 box;
    for (std::size_t i = p0; i < m.pts.size(); ++i) box.Add(m.pts[i]);
    bool ok = true;
    for (const auto& [o, isBox] : placed) {
      bool apart = false, within = isBox;
      for (int x = 0; x < 3; ++x) {
        apart = apart || box.lo[x] > o.hi[x] || box.hi[x] < o.lo[x];
        within = within && box.lo[x] > o.lo[x] && box.hi[x] < o.hi[x];
      }
      ok = ok && (apart || within);
    }
    if (!ok) {
      m.pts.resize(p0);
      m.tris.resize(t0);
      continue;
    }
    placed.push_back({box, kind == 0});
    // Later shapes may face inwards: parity does not care.
    if (k > 0 && (in.Next() & 1))
      for (std::size_t i = t0; i < m.tris.size(); ++i) std::swap(m.tris[i].v[1], m.tris[i].v[2]);
    if (k == 0) firstShapeTris = m.tris.size();
  }
  RAPID_model tree;
  bool built = tree.ResetModel() == OBBT_OK;
  for (std::size_t i = 0; built && i < m.tris.size(); ++i) {
    const Vec &A = m.pts[m.tris[i].v[0]], &B = m.pts[m.tris[i].v[1]], &C = m.pts[m.tris[i].v[2]];
    const double a[3] = {A.x, A.y, A.z}, b[3] = {B.x, B.y, B.z}, c[3] = {C.x, C.y, C.z};
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
      if (i >= firstShapeTris) continue;
      w0 += o;
      near0 = std::min(near0, d);
      if (std::fabs(Volume6(A, B, C, p)) <= 1e-9 * shapes::Norm(Cross(Sub(B, A), Sub(C, A))))
        inPlane0 = true;
    }
    // Away from the tolerance band only.
    if (near < 1e-3) continue;
    auto wrong = [&](const char* what, long got, const char* want) {
      return std::string(what) + " at (" + tricut::Fmt(p.x) + ", " + tricut::Fmt(p.y) + ", " +
             tricut::Fmt(p.z) + "): " + std::to_string(got) + ", expected " + want;
    };
    const bool inside = std::lround(w / (4 * M_PI)) % 2 != 0;
    bool onSurface = false;
    Vec q = p;
    const long r = CMathFunCls::CheckPntAndPolyhWithObbt(&tree, &q, onSurface);
    if (r != OBBT_PNT_UNDECIDED && (r != (inside ? 1 : -1) || onSurface))
      return wrong(
          onSurface ? "point in solid (ray parity, on surface)" : "point in solid (ray parity)", r,
          inside ? "inside" : "outside");
    D_3DOT d{p.x, p.y, p.z};
    const short s = GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        m.pts.data(), static_cast<long>(m.pts.size()), hostTris.data(),
        static_cast<long>(hostTris.size()), &d);
    if (s != (inside ? 1 : -1))
      return wrong("point in solid (slices)", s, inside ? "inside" : "outside");
    if (near0 < 1e-3) continue;
    // Side of the first shape's closed surface: in front of its outward
    // faces outside, behind them inside.
    const bool inside0 = std::lround(w0 / (4 * M_PI)) != 0;
    long tri = -1;
    const long side =
        CMathFunCls::Check3dPntAndKroSurf(&q, m.pts.data(), static_cast<long>(m.pts.size()),
                                          m.tris.data(), static_cast<long>(firstShapeTris), tri);
    if (side != (inside0 ? -1 : 1) && !(side == 0 && inPlane0))
      return wrong("side of surface", side, inside0 ? "back (-1)" : "front (1)");
  }
  return "";
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
