#include "Model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <unordered_map>

#include "Errors.h"

namespace tricut {

namespace {

using Vec = KRO::G3D_DVertex;

Vec Sub(const Vec& a, const Vec& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Norm(const Vec& a) {
  return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
double Dot(const Vec& a, const Vec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

struct CellKey {
  int64_t x, y, z;
  bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};
struct CellHash {
  std::size_t operator()(const CellKey& k) const {
    uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(k.y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(k.z) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    return static_cast<std::size_t>(h);
  }
};

struct UnionFind {
  std::vector<long> parent;
  explicit UnionFind(long n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
  long Find(long a) {
    while (parent[a] != a) a = parent[a] = parent[parent[a]];
    return a;
  }
  void Join(long a, long b) { parent[Find(a)] = Find(b); }
};

// All points and triangles of a model in one index space.
struct Soup {
  std::vector<Vec> pts;
  std::vector<C3DTriangle> tris;
};

Soup SoupOf(const Model& m) {
  Soup s;
  for (const auto& part : m.parts) {
    const long base = static_cast<long>(s.pts.size());
    const auto& pts = part.surface.Points();
    s.pts.insert(s.pts.end(), pts.begin(), pts.end());
    for (const auto& t : TrianglesOf(part.surface))
      s.tris.emplace_back(t.v[0] + base, t.v[1] + base, t.v[2] + base);
  }
  return s;
}

bool TriangleValid(const C3DTriangle& t, long nPts) {
  for (long v : t.v)
    if (v < 0 || v >= nPts) return false;
  return true;
}

template <class T>
bool OnePerPoint(const std::vector<T>& values, long nPts) {
  return static_cast<long>(values.size()) == nPts;
}

}  // namespace

long Model::PointCount() const {
  long n = 0;
  for (const auto& p : parts) n += p.surface.GetPointNum();
  return n;
}

long Model::TriangleCount() const {
  long n = 0;
  for (const auto& p : parts) n += p.surface.GetTriangleCount();
  return n;
}

void Box3::Add(const KRO::G3D_DVertex& p) {
  const double c[3] = {p.x, p.y, p.z};
  for (int i = 0; i < 3; ++i) {
    if (!valid || c[i] < lo[i]) lo[i] = c[i];
    if (!valid || c[i] > hi[i]) hi[i] = c[i];
  }
  valid = true;
}

void Box3::Add(const Box3& other) {
  if (!other.valid) return;
  Add(Vec{other.lo[0], other.lo[1], other.lo[2]});
  Add(Vec{other.hi[0], other.hi[1], other.hi[2]});
}

bool Box3::Overlaps(const Box3& other, double tol) const {
  if (!valid || !other.valid) return false;
  for (int i = 0; i < 3; ++i)
    if (lo[i] > other.hi[i] + tol || other.lo[i] > hi[i] + tol) return false;
  return true;
}

KRO::G3D_DVertex Box3::Centre() const {
  return {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
}

double Box3::Diagonal() const {
  if (!valid) return 0;
  return Norm(Vec{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
}

Box3 BoxOf(const C3DSurface& s) {
  Box3 b;
  for (const auto& p : s.Points()) b.Add(p);
  return b;
}

Box3 BoxOf(const Model& m) {
  Box3 b;
  for (const auto& part : m.parts) b.Add(BoxOf(part.surface));
  return b;
}

std::vector<long> WeldPoints(const std::vector<KRO::G3D_DVertex>& pts, double tol) {
  std::vector<long> map(pts.size());
  if (!(tol > 0)) {
    std::iota(map.begin(), map.end(), 0);
    return map;
  }
  std::unordered_map<CellKey, std::vector<long>, CellHash> grid;
  grid.reserve(pts.size());
  auto cell = [tol](double v) { return static_cast<int64_t>(std::floor(v / tol)); };
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const Vec& p = pts[i];
    const CellKey k{cell(p.x), cell(p.y), cell(p.z)};
    long found = -1;
    for (int dx = -1; dx <= 1 && found < 0; ++dx)
      for (int dy = -1; dy <= 1 && found < 0; ++dy)
        for (int dz = -1; dz <= 1 && found < 0; ++dz) {
          auto it = grid.find(CellKey{k.x + dx, k.y + dy, k.z + dz});
          if (it == grid.end()) continue;
          for (long j : it->second) {
            const Vec& q = pts[j];
            if (std::fabs(p.x - q.x) < tol && std::fabs(p.y - q.y) < tol &&
                std::fabs(p.z - q.z) < tol) {
              found = j;
              break;
            }
          }
        }
    if (found >= 0) {
      map[i] = found;
    } else {
      map[i] = static_cast<long>(i);
      grid[k].push_back(static_cast<long>(i));
    }
  }
  return map;
}

Topology AnalyseTopology(const Model& m, double tol) {
  Topology t;
  const Soup s = SoupOf(m);
  const long nPts = static_cast<long>(s.pts.size());
  const std::vector<long> weld = WeldPoints(s.pts, tol);
  for (long i = 0; i < nPts; ++i)
    if (weld[i] == i) ++t.weldedPoints;

  // Per undirected edge: uses in each direction.
  struct EdgeUse {
    long forward = 0, backward = 0;
  };
  struct PairHash {
    std::size_t operator()(const std::pair<long, long>& p) const {
      return std::hash<long>()(p.first) * 1000003u ^ std::hash<long>()(p.second);
    }
  };
  std::unordered_map<std::pair<long, long>, EdgeUse, PairHash> edges;
  UnionFind uf(nPts);
  std::vector<char> used(nPts, 0);
  for (const auto& tri : s.tris) {
    if (!TriangleValid(tri, nPts)) {
      ++t.degenerateTriangles;
      continue;
    }
    const long v[3] = {weld[tri.v[0]], weld[tri.v[1]], weld[tri.v[2]]};
    if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) {
      ++t.degenerateTriangles;
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      const long a = v[k], b = v[(k + 1) % 3];
      auto& use = edges[{std::min(a, b), std::max(a, b)}];
      (a < b ? use.forward : use.backward)++;
      uf.Join(a, b);
      used[a] = 1;
    }
  }
  t.edges = static_cast<long>(edges.size());
  for (const auto& e : edges) {
    const long n = e.second.forward + e.second.backward;
    if (n == 1) ++t.boundaryEdges;
    if (n > 2) ++t.nonManifoldEdges;
    if (n == 2 && e.second.forward != 1) ++t.misorientedEdges;
  }
  for (long i = 0; i < nPts; ++i)
    if (used[i] && uf.Find(i) == i) ++t.components;
  return t;
}

double SurfaceArea(const C3DSurface& s) {
  const auto& pts = s.Points();
  const long n = static_cast<long>(pts.size());
  double area = 0;
  for (const auto& t : TrianglesOf(s)) {
    if (!TriangleValid(t, n)) continue;
    area += 0.5 * Norm(Cross(Sub(pts[t.v[1]], pts[t.v[0]]), Sub(pts[t.v[2]], pts[t.v[0]])));
  }
  return area;
}

double SurfaceArea(const Model& m) {
  double area = 0;
  for (const auto& p : m.parts) area += SurfaceArea(p.surface);
  return area;
}

double SignedVolume(const Model& m) {
  // Relative to the box centre, so that large coordinates cancel before
  // the products are formed.
  const Vec c = BoxOf(m).Centre();
  double vol = 0;
  for (const auto& part : m.parts) {
    const auto& pts = part.surface.Points();
    const long n = static_cast<long>(pts.size());
    for (const auto& t : TrianglesOf(part.surface)) {
      if (!TriangleValid(t, n)) continue;
      const Vec a = Sub(pts[t.v[0]], c), b = Sub(pts[t.v[1]], c), d = Sub(pts[t.v[2]], c);
      const Vec x = Cross(b, d);
      vol += (a.x * x.x + a.y * x.y + a.z * x.z) / 6.0;
    }
  }
  return vol;
}

std::vector<C3DTriangle> TrianglesOf(const C3DSurface& s) {
  std::vector<C3DTriangle> tris(static_cast<std::size_t>(s.GetTriangleCount()));
  for (long i = 0; i < static_cast<long>(tris.size()); ++i) s.GetTriangle(i, &tris[i], nullptr);
  return tris;
}

C3DSurface MakeSurface(const std::vector<KRO::G3D_DVertex>& pts,
                       const std::vector<C3DTriangle>& tris, const std::string& material,
                       const std::vector<KRO::COLOR4>& colours,
                       const std::vector<KRO::VECTOR3>& normals,
                       const std::vector<KRO::G_TEXCOORD>& texcoords) {
  C3DSurface surf(-1, 0);
  const long n = static_cast<long>(pts.size());
  CPointCollection pc;
  pc.AppendPoints(pts.data(), n);
  CVertexDecorationObj deco;
  if (OnePerPoint(colours, n) && n > 0) deco.AppendColors(colours.data(), n);
  if (OnePerPoint(normals, n) && n > 0) deco.AppendNormals(normals.data(), n);
  if (OnePerPoint(texcoords, n) && n > 0) deco.AppendTexcoords(0, texcoords.data(), n);
  if (n > 0) surf.AppendPointCollection(&pc, &deco);
  if (!tris.empty()) surf.AddTriangle(tris.data(), nullptr, static_cast<long>(tris.size()));
  surf.SetMaterialName(material);
  return surf;
}

C3DEntity ToEntity(const Model& m) {
  C3DEntity e(-1, 0);
  for (const auto& part : m.parts) e.AddSurface(&part.surface, &part.deco);
  return e;
}

C3DSurface ToSurface(const Model& m) {
  if (m.parts.size() == 1) return m.parts[0].surface;
  bool colours = true, normals = true, tex = true;
  for (const auto& part : m.parts) {
    const long n = part.surface.GetPointNum();
    if (n == 0) continue;
    const auto& d = part.surface.Decoration();
    colours = colours && OnePerPoint(d.m_colours, n);
    normals = normals && OnePerPoint(d.m_normals, n);
    tex = tex && OnePerPoint(d.m_texcoords[0], n);
  }
  std::vector<Vec> pts;
  std::vector<C3DTriangle> tris;
  std::vector<KRO::COLOR4> cols;
  std::vector<KRO::VECTOR3> norms;
  std::vector<KRO::G_TEXCOORD> tcs;
  std::string material;
  for (const auto& part : m.parts) {
    const long base = static_cast<long>(pts.size());
    const auto& p = part.surface.Points();
    if (p.empty()) continue;
    if (material.empty()) material = part.surface.GetMaterialName();
    pts.insert(pts.end(), p.begin(), p.end());
    const auto& d = part.surface.Decoration();
    if (colours) cols.insert(cols.end(), d.m_colours.begin(), d.m_colours.end());
    if (normals) norms.insert(norms.end(), d.m_normals.begin(), d.m_normals.end());
    if (tex) tcs.insert(tcs.end(), d.m_texcoords[0].begin(), d.m_texcoords[0].end());
    for (const auto& t : TrianglesOf(part.surface))
      tris.emplace_back(t.v[0] + base, t.v[1] + base, t.v[2] + base);
  }
  return MakeSurface(pts, tris, material, cols, norms, tcs);
}

Model FromEntity(const C3DEntity& e, const std::string& name) {
  Model m;
  m.name = name;
  const long n = e.GetSurfaceNum();
  for (long i = 0; i < n; ++i) {
    Part part;
    part.name = n == 1 ? name : name + "_" + std::to_string(i + 1);
    e.GetSurface(i, &part.surface, &part.deco);
    m.parts.push_back(std::move(part));
  }
  return m;
}

Model FromSurface(const C3DSurface& s, const std::string& name) {
  Model m;
  m.name = name;
  Part part;
  part.name = name;
  part.surface = s;
  m.parts.push_back(std::move(part));
  return m;
}

long DropUnusedPoints(Part& part) {
  const auto& pts = part.surface.Points();
  const long n = static_cast<long>(pts.size());
  std::vector<C3DTriangle> tris = TrianglesOf(part.surface);
  std::vector<long> map(n, -1);
  long used = 0;
  for (const auto& t : tris)
    for (long v : t.v)
      if (v >= 0 && v < n && map[v] < 0) map[v] = 0;
  for (long i = 0; i < n; ++i)
    if (map[i] == 0) map[i] = used++;
  if (used == n) return 0;
  const auto& d = part.surface.Decoration();
  std::vector<KRO::G3D_DVertex> np;
  std::vector<KRO::COLOR4> nc;
  std::vector<KRO::VECTOR3> nn;
  std::vector<KRO::G_TEXCOORD> nt;
  for (long i = 0; i < n; ++i) {
    if (map[i] < 0) continue;
    np.push_back(pts[i]);
    if (OnePerPoint(d.m_colours, n)) nc.push_back(d.m_colours[i]);
    if (OnePerPoint(d.m_normals, n)) nn.push_back(d.m_normals[i]);
    if (OnePerPoint(d.m_texcoords[0], n)) nt.push_back(d.m_texcoords[0][i]);
  }
  for (auto& t : tris)
    for (long& v : t.v) v = map[v];
  const std::string material = part.surface.GetMaterialName();
  part.surface = MakeSurface(np, tris, material, nc, nn, nt);
  return n - used;
}

void FlipOrientation(Model& m) {
  for (auto& part : m.parts) {
    C3DTriangle* tris = nullptr;
    long n = 0;
    part.surface.GetTriangle(&tris, nullptr, &n);
    for (long i = 0; i < n; ++i) std::swap(tris[i].v[1], tris[i].v[2]);
  }
}

void ValidateModel(const Model& m, const std::string& where) {
  for (const auto& part : m.parts) {
    const auto& pts = part.surface.Points();
    for (std::size_t i = 0; i < pts.size(); ++i)
      if (!std::isfinite(pts[i].x) || !std::isfinite(pts[i].y) || !std::isfinite(pts[i].z))
        throw ToolError(where + ": point " + std::to_string(i + 1) + " of surface '" + part.name +
                        "' has a coordinate that is not finite");
    const long n = static_cast<long>(pts.size());
    const auto tris = TrianglesOf(part.surface);
    for (std::size_t i = 0; i < tris.size(); ++i)
      if (!TriangleValid(tris[i], n))
        throw ToolError(where + ": triangle " + std::to_string(i + 1) + " of surface '" +
                        part.name + "' uses a point index outside 1.." + std::to_string(n));
  }
}

// Triangles, or the parts they belong to, joined across welded edges that
// exactly two triangles of two different nodes use, with 1 where both run
// the edge the same way (one must turn to agree with the other).
struct FacingGraph {
  std::vector<std::vector<std::pair<long, int>>> adj;
  // Every welded edge with its uses: (node, runs from lower to higher).
  std::map<std::pair<long, long>, std::vector<std::pair<long, bool>>> edges;

  FacingGraph(const std::vector<Vec>& pts, const C3DTriangle* tris, long nTris, double tol,
              long nNodes, const std::function<long(long)>& node)
      : adj(nNodes) {
    const long nPts = static_cast<long>(pts.size());
    const std::vector<long> weld = WeldPoints(pts, tol);
    for (long t = 0; t < nTris; ++t) {
      if (!TriangleValid(tris[t], nPts)) continue;
      for (int k = 0; k < 3; ++k) {
        const long a = weld[tris[t].v[k]], b = weld[tris[t].v[(k + 1) % 3]];
        if (a != b) edges[{std::min(a, b), std::max(a, b)}].push_back({node(t), a < b});
      }
    }
    for (const auto& e : edges) {
      const auto& use = e.second;
      // A boundary or non-manifold edge has no say.
      if (use.size() != 2 || use[0].first == use[1].first) continue;
      const int flip = use[0].second == use[1].second ? 1 : 0;
      adj[use[0].first].push_back({use[1].first, flip});
      adj[use[1].first].push_back({use[0].first, flip});
    }
  }

  // The connected patch of start, each node's flip relative to start's.
  std::vector<long> Patch(long start, std::vector<int>& flip) const {
    std::vector<long> patch{start}, stack{start};
    flip[start] = 0;
    while (!stack.empty()) {
      const long t = stack.back();
      stack.pop_back();
      for (const auto& [q, r] : adj[t])
        if (flip[q] < 0) {
          flip[q] = flip[t] ^ r;
          patch.push_back(q);
          stack.push_back(q);
        }
    }
    return patch;
  }
};

long OrientTriangles(Part& part, double tol) {
  const auto& pts = part.surface.Points();
  const long nPts = static_cast<long>(pts.size());
  C3DTriangle* tris = nullptr;
  long nTris = 0;
  part.surface.GetTriangle(&tris, nullptr, &nTris);
  if (nTris == 0) return 0;
  const FacingGraph graph(pts, tris, nTris, tol, nTris, [](long t) { return t; });
  auto area = [&](long t) {
    if (!TriangleValid(tris[t], nPts)) return 0.0;
    const Vec& a = pts[tris[t].v[0]];
    return Norm(Cross(Sub(pts[tris[t].v[1]], a), Sub(pts[tris[t].v[2]], a)));
  };
  std::vector<int> flip(nTris, -1);
  long turned = 0;
  for (long start = 0; start < nTris; ++start) {
    if (flip[start] >= 0) continue;
    // One connected patch; the orientation most of its area has wins.
    const std::vector<long> patch = graph.Patch(start, flip);
    double keep = 0, change = 0;
    for (long t : patch) (flip[t] ? change : keep) += area(t);
    const int invert = change > keep ? 1 : 0;
    for (long t : patch)
      if (flip[t] ^ invert) {
        std::swap(tris[t].v[1], tris[t].v[2]);
        ++turned;
      }
  }
  return turned;
}

long OrientSurfaces(Model& m, double tol) {
  for (auto& part : m.parts) OrientTriangles(part, tol);
  const Soup s = SoupOf(m);
  std::vector<long> partOf;
  for (std::size_t p = 0; p < m.parts.size(); ++p)
    partOf.insert(partOf.end(), static_cast<std::size_t>(m.parts[p].surface.GetTriangleCount()),
                  static_cast<long>(p));
  // Neighbouring parts: same running direction means opposite facing.
  const std::size_t nParts = m.parts.size();
  const FacingGraph graph(s.pts, s.tris.data(), static_cast<long>(s.tris.size()), tol,
                          static_cast<long>(nParts), [&](long t) { return partOf[t]; });
  std::vector<int> flip(nParts, -1);
  for (std::size_t start = 0; start < nParts; ++start) {
    if (flip[start] < 0) graph.Patch(static_cast<long>(start), flip);
  }
  auto turn = [](Part& part) {
    C3DTriangle* tris = nullptr;
    long n = 0;
    part.surface.GetTriangle(&tris, nullptr, &n);
    for (long i = 0; i < n; ++i) std::swap(tris[i].v[1], tris[i].v[2]);
  };
  long turned = 0;
  for (std::size_t p = 0; p < nParts; ++p)
    if (flip[p] == 1) {
      turn(m.parts[p]);
      ++turned;
    }
  if (SignedVolume(m) < 0) {
    for (auto& part : m.parts) turn(part);
    turned = static_cast<long>(nParts) - turned;
  }
  return turned;
}

long OrientPiece(Model& m, double tol) {
  const Soup s = SoupOf(m);
  const long nPts = static_cast<long>(s.pts.size()), nTris = static_cast<long>(s.tris.size());
  if (nTris == 0) return 0;
  // Over all parts at once: a cut face meets the piece it closes along
  // edges of two different parts.
  const FacingGraph graph(s.pts, s.tris.data(), nTris, tol, nTris, [](long t) { return t; });
  const Vec c = BoxOf(m).Centre();
  auto valid = [&](long t) { return TriangleValid(s.tris[t], nPts); };
  auto corner = [&](long t, int k) { return Sub(s.pts[s.tris[t].v[k]], c); };
  struct Component {
    std::vector<long> tris;
    bool closed = true;
    int invert = 0;
    Box3 box;
  };
  std::vector<Component> parts;
  std::vector<int> flip(nTris, -1);
  std::vector<long> partOf(nTris, -1);
  for (long start = 0; start < nTris; ++start) {
    if (flip[start] >= 0 || !valid(start)) continue;
    Component k;
    k.tris = graph.Patch(start, flip);
    for (long t : k.tris) {
      partOf[t] = static_cast<long>(parts.size());
      for (int i = 0; i < 3; ++i) k.box.Add(s.pts[s.tris[t].v[i]]);
    }
    parts.push_back(std::move(k));
  }
  // Closed: every edge used by exactly two of its own triangles, also where
  // it touches another component along a line (a cavity pinched against
  // the outer wall).
  for (const auto& e : graph.edges)
    for (const auto& mine : e.second) {
      const long k = partOf[mine.first];
      long own = 0;
      for (const auto& use : e.second) own += partOf[use.first] == k ? 1 : 0;
      if (own != 2) parts[k].closed = false;
    }
  for (Component& k : parts) {
    // A closed component faces out: keep - change is six times its volume
    // once it agrees with start. An open one takes the facing that most of
    // its area has.
    double keep = 0, change = 0;
    for (long t : k.tris) {
      const Vec a = corner(t, 0), b = corner(t, 1), d = corner(t, 2);
      const Vec x = Cross(b, d);
      (flip[t] ? change : keep) +=
          k.closed ? a.x * x.x + a.y * x.y + a.z * x.z : Norm(Cross(Sub(b, a), Sub(d, a)));
    }
    k.invert = k.closed ? (keep - change < 0 ? 1 : 0) : (change > keep ? 1 : 0);
  }
  // A closed component inside an odd number of others bounds a cavity (a
  // solid minus one lying wholly inside it) and faces in. Inside: the
  // winding number of a point of it about the other is +-1.
  auto winding = [&](const Component& k, const Vec& p) {
    double w = 0;
    for (long t : k.tris) {
      const Vec a = Sub(s.pts[s.tris[t].v[0]], p), b = Sub(s.pts[s.tris[t].v[1]], p),
                d = Sub(s.pts[s.tris[t].v[2]], p);
      const double la = Norm(a), lb = Norm(b), ld = Norm(d);
      const double x = Dot(a, Cross(b, d)) * (flip[t] ? -1 : 1);
      w += 2 * std::atan2(x, la * lb * ld + Dot(a, b) * ld + Dot(b, d) * la + Dot(d, a) * lb);
    }
    return w / (4 * M_PI);
  };
  std::vector<int> cavity(parts.size(), 0);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!parts[i].closed) continue;
    const C3DTriangle& t = s.tris[parts[i].tris[0]];
    const Vec &a = s.pts[t.v[0]], &b = s.pts[t.v[1]], &d = s.pts[t.v[2]];
    const Vec p{(a.x + b.x + d.x) / 3, (a.y + b.y + d.y) / 3, (a.z + b.z + d.z) / 3};
    const double q[3] = {p.x, p.y, p.z};
    for (std::size_t j = 0; j < parts.size(); ++j) {
      bool near = j != i && parts[j].closed;
      for (int x = 0; x < 3 && near; ++x)
        near = q[x] >= parts[j].box.lo[x] && q[x] <= parts[j].box.hi[x];
      if (near && std::fabs(winding(parts[j], p)) > 0.5) cavity[i] ^= 1;
    }
  }
  std::vector<char> turn(nTris, 0);
  long turned = 0;
  for (std::size_t i = 0; i < parts.size(); ++i)
    for (long t : parts[i].tris)
      if (flip[t] ^ parts[i].invert ^ cavity[i]) {
        turn[t] = 1;
        ++turned;
      }
  long t = 0;
  for (auto& part : m.parts) {
    C3DTriangle* tris = nullptr;
    long n = 0;
    part.surface.GetTriangle(&tris, nullptr, &n);
    for (long i = 0; i < n; ++i, ++t)
      if (turn[t]) std::swap(tris[i].v[1], tris[i].v[2]);
  }
  return turned;
}

std::vector<std::vector<KRO::G3D_DVertex>> SharedBoundaryLines(const Model& a, const Model& b,
                                                               double tol) {
  Model both;
  both.parts = a.parts;
  const std::size_t firstB = both.parts.size();
  both.parts.insert(both.parts.end(), b.parts.begin(), b.parts.end());
  const Soup s = SoupOf(both);
  const long nPts = static_cast<long>(s.pts.size());
  const std::vector<long> weld = WeldPoints(s.pts, tol);
  long triOfB = 0;
  for (std::size_t p = 0; p < firstB; ++p) triOfB += both.parts[p].surface.GetTriangleCount();
  // Uses of each undirected edge in a and in b.
  std::map<std::pair<long, long>, std::pair<int, int>> uses;
  for (std::size_t t = 0; t < s.tris.size(); ++t) {
    const auto& tri = s.tris[t];
    if (!TriangleValid(tri, nPts)) continue;
    for (int k = 0; k < 3; ++k) {
      const long u = weld[tri.v[k]], v = weld[tri.v[(k + 1) % 3]];
      if (u == v) continue;
      auto& c = uses[{std::min(u, v), std::max(u, v)}];
      (static_cast<long>(t) < triOfB ? c.first : c.second)++;
    }
  }
  std::map<long, std::vector<long>> graph;
  for (const auto& e : uses)
    if (e.second.first == 1 && e.second.second == 1) {
      graph[e.first.first].push_back(e.first.second);
      graph[e.first.second].push_back(e.first.first);
    }
  // Chain the edges: open lines from their ends first, then closed loops.
  std::set<std::pair<long, long>> done;
  std::vector<std::vector<KRO::G3D_DVertex>> lines;
  auto walk = [&](long start) -> bool {
    std::vector<KRO::G3D_DVertex> line{s.pts[start]};
    long cur = start;
    for (;;) {
      long next = -1;
      for (long n : graph[cur])
        if (!done.count({std::min(cur, n), std::max(cur, n)})) {
          next = n;
          break;
        }
      if (next < 0) break;
      done.insert({std::min(cur, next), std::max(cur, next)});
      line.push_back(s.pts[next]);
      cur = next;
    }
    if (line.size() < 2) return false;
    lines.push_back(std::move(line));
    return true;
  };
  for (const auto& g : graph)
    if (g.second.size() != 2)
      while (walk(g.first)) {
      }
  for (const auto& g : graph)
    while (walk(g.first)) {
    }
  return lines;
}

}  // namespace tricut
