// Slicing a triangle set by a horizontal plane: the intersection store,
// one triangle against the plane, duplicate removal, chaining segments
// into polygons and the point-in-solid decision.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroGeoMath.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"

namespace {

// The module-wide intersection store (not reentrant, see the header).
F_Intsersecs& Store() {
  static F_Intsersecs store;
  return store;
}

// Beside the store: every in-plane edge as recorded, with the side of the
// plane (+1 above, -1 below) on which its triangle's third corner lies. An
// edge met from both sides is where the surface passes through the plane,
// so it belongs to the slice's outline like a crossing segment.
struct SidedEdge {
  F_IntsersecLines edge;
  int side;
};
std::vector<SidedEdge>& EdgeSides() {
  static std::vector<SidedEdge> sides;
  return sides;
}

KRO::G3D_DVertex ToVertex(const D_3DOT& p) {
  return {p.x, p.y, p.z};
}
D_3DOT ToDot(const KRO::G3D_DVertex& p) {
  return {p.x, p.y, p.z};
}

bool SameXY(const D_3DOT& a, const D_3DOT& b, double eps) {
  return std::fabs(a.x - b.x) < eps && std::fabs(a.y - b.y) < eps;
}

bool Same3(const D_3DOT& a, const D_3DOT& b) {
  return std::fabs(a.x - b.x) < 1e-6 && std::fabs(a.y - b.y) < 1e-6 && std::fabs(a.z - b.z) < 1e-6;
}

// Uniform grid over points so that "is there an earlier point within eps"
// costs a look at the neighbouring cells instead of a scan. The cell is
// twice the tolerance, so two points within eps are at most one cell apart
// whatever the rounding of the division.
class PointGrid {
 public:
  PointGrid(double eps, bool useZ) : m_cell(2.0 * eps), m_useZ(useZ) {}

  void Add(const D_3DOT& p, long id) { m_cells[Key(Cell(p.x), Cell(p.y), CellZ(p))].push_back(id); }

  // Calls f(id) for every id stored in the cells around p.
  template <typename F>
  void ForNear(const D_3DOT& p, F f) const {
    const int64_t cx = Cell(p.x), cy = Cell(p.y), cz = CellZ(p);
    const int zr = m_useZ ? 1 : 0;
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -zr; dz <= zr; ++dz) {
          auto it = m_cells.find(Key(cx + dx, cy + dy, cz + dz));
          if (it == m_cells.end()) continue;
          for (long id : it->second) f(id);
        }
  }

 private:
  int64_t Cell(double v) const {
    const double c = std::floor(v / m_cell);
    if (!(c > -4e18)) return INT64_MIN / 4;  // also NaN
    if (c > 4e18) return INT64_MAX / 4;
    return static_cast<int64_t>(c);
  }
  int64_t CellZ(const D_3DOT& p) const { return m_useZ ? Cell(p.z) : 0; }
  static uint64_t Key(int64_t x, int64_t y, int64_t z) {
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(z) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
    return h;
  }

  double m_cell;
  bool m_useZ;
  // Cells are keyed by a hash of their indices; a collision only adds
  // candidates, which are always tested exactly.
  std::unordered_map<uint64_t, std::vector<long>> m_cells;
};

}  // namespace

void GeoMathPosition::EmptyIntersecStore() {
  EdgeSides().clear();
  F_Intsersecs& s = Store();
  s.interDots.clear();
  s.interLines.clear();
  s.onPlaneLines.clear();
  s.onPlaneTris.clear();
}

short GeoMathPosition::CalPlaneAndTriIntersect(double& z, D_3DOT& a, D_3DOT& b, D_3DOT& c) {
  // A triangle at least 1e-5 above or below the plane can neither touch it
  // (edges meet it farther than 1e-6 from themselves) nor lie in it.
  const double zmin = std::min({a.z, b.z, c.z}), zmax = std::max({a.z, b.z, c.z});
  if (zmin - z >= 1e-5 || z - zmax >= 1e-5) return 1;
  F_Intsersecs& store = Store();
  const G3DPLANE plane{0.0, 0.0, 1.0, -z};
  D_3DOT* ends[3][2] = {{&a, &b}, {&a, &c}, {&b, &c}};
  std::vector<D_3DOT> hits;
  int parallel = 0;
  for (auto& e : ends) {
    KRO::G3D_DVertex s = ToVertex(*e[0]), t = ToVertex(*e[1]);
    const KRO::G3D_DVertex dir{t.x - s.x, t.y - s.y, t.z - s.z};
    KRO::G3D_DVertex q{};
    const int r = CMathCheckPosition::GM_intersLine_Plane(&q, &s, &dir, &plane);
    if (r == 0) {
      ++parallel;
    } else if (r == 1 && CMathCheckPosition::Check3dPntAndSeg(&s, &t, &q) == 0) {
      hits.push_back(ToDot(q));
    }
  }
  auto onPlane = [z](const D_3DOT& p) { return std::fabs(p.z - z) < 1e-5; };
  if (parallel == 3 && onPlane(a) && onPlane(b) && onPlane(c)) {
    store.onPlaneTris.push_back({{a, b, c}});
    return 4;
  }
  if (parallel == 1) {
    const D_3DOT* pairs[3][2] = {{&a, &b}, {&a, &c}, {&c, &b}};
    for (auto& pr : pairs) {
      if (onPlane(*pr[0]) && onPlane(*pr[1])) {
        store.onPlaneLines.push_back({*pr[0], *pr[1]});
        const D_3DOT& third = (pr[0] != &a && pr[1] != &a)   ? a
                              : (pr[0] != &b && pr[1] != &b) ? b
                                                             : c;
        if (!onPlane(third)) EdgeSides().push_back({{*pr[0], *pr[1]}, third.z > z ? 1 : -1});
        return 3;
      }
    }
  }
  if (hits.empty()) return 1;
  if (hits.size() == 3) {
    // A vertex lying in the plane is met by both of its edges while the
    // opposite edge crosses: the triangle is crossed from that vertex to
    // the crossing point, which must not be lost from the slice.
    std::vector<D_3DOT> distinct;
    for (const D_3DOT& h : hits)
      if (std::none_of(distinct.begin(), distinct.end(),
                       [&](const D_3DOT& d) { return Same3(d, h); }))
        distinct.push_back(h);
    if (distinct.size() == 2) hits = distinct;
  }
  if (hits.size() != 2) return 0;
  if (Same3(hits[0], hits[1])) {
    store.interDots.push_back(hits[0]);
    return 2;
  }
  store.interLines.push_back({hits[0], hits[1]});
  return 3;
}

void GeoMathPosition::DelRepeatElement(std::vector<D_3DOT>& v) {
  PointGrid grid(1e-5, false);
  std::vector<D_3DOT> kept;
  kept.reserve(v.size());
  for (const D_3DOT& p : v) {
    bool dup = false;
    grid.ForNear(p, [&](long id) { dup = dup || SameXY(kept[id], p, 1e-5); });
    if (dup) continue;
    grid.Add(p, static_cast<long>(kept.size()));
    kept.push_back(p);
  }
  v.swap(kept);
}

void GeoMathPosition::DelRepeatElement(std::vector<F_IntsersecLines>& v) {
  PointGrid grid(1e-6, true);  // kept segments, filed under both ends
  std::vector<F_IntsersecLines> kept;
  kept.reserve(v.size());
  for (F_IntsersecLines& s : v) {
    bool dup = false;
    grid.ForNear(s.start, [&](long id) {
      F_IntsersecLines& k = kept[id];
      dup = dup || (IsSame3Dot(k.start, s.start) && IsSame3Dot(k.end, s.end)) ||
            (IsSame3Dot(k.start, s.end) && IsSame3Dot(k.end, s.start));
    });
    if (dup) continue;
    const long id = static_cast<long>(kept.size());
    grid.Add(s.start, id);
    grid.Add(s.end, id);
    kept.push_back(s);
  }
  v.swap(kept);
}

long GeoMathPosition::GetIntersecResults(F_Intsersecs& out) {
  F_Intsersecs& store = Store();
  DelRepeatElement(store.interDots);
  DelRepeatElement(store.onPlaneLines);
  DelRepeatElement(store.interLines);
  out = store;
  return 1;
}

short GeoMathPosition::GetInterLinesOfEntityAndSur(std::vector<F_IntsersecLines>& segs,
                                                   std::vector<std::vector<D_3DOT>>& polys) {
  if (segs.empty()) return 0;
  using Chain = std::deque<D_3DOT>;
  const size_t n = segs.size();
  std::vector<Chain> chains(n);
  std::vector<size_t> live;  // non-empty chains, in index order
  live.reserve(n);

  // First pass: each segment joins the first earlier chain one of whose
  // ends it shares, or starts a chain of its own.
  for (size_t i = 0; i < n; ++i) {
    D_3DOT s = segs[i].start, e = segs[i].end;
    bool joined = false;
    for (size_t j : live) {
      Chain& c = chains[j];
      if (Same3(s, c.front())) {
        c.push_front(e);
      } else if (Same3(s, c.back())) {
        c.push_back(e);
      } else if (Same3(e, c.front())) {
        c.push_front(s);
      } else if (Same3(e, c.back())) {
        c.push_back(s);
      } else {
        continue;
      }
      joined = true;
      break;
    }
    if (!joined) {
      chains[i] = {s, e};
      live.push_back(i);
    }
  }

  auto output = [&polys](Chain& c) {
    polys.emplace_back(c.begin(), c.end());
    c.clear();
  };

  // Merging passes: chains join end to end; closed chains are output. The
  // passes go on while they still join something (six passes suffice for
  // most slices, but a long ring cut into many pieces needs more).
  bool joinedInPass = true;
  for (int pass = 0; joinedInPass || pass < 6; ++pass) {
    joinedInPass = false;
    std::vector<size_t> listed;
    for (size_t j : live)
      if (!chains[j].empty()) listed.push_back(j);
    live = listed;
    if (listed.empty()) return 1;
    if (listed.size() == 1) {
      output(chains[listed[0]]);
      return 1;
    }
    for (size_t ia = 0; ia < listed.size(); ++ia) {
      Chain& A = chains[listed[ia]];
      if (A.empty()) continue;
      const D_3DOT fA = A.front(), lA = A.back();
      if (Same3(fA, lA)) {
        output(A);
        continue;
      }
      for (size_t ib = ia + 1; ib < listed.size(); ++ib) {
        Chain& B = chains[listed[ib]];
        if (B.size() <= 1) continue;
        const D_3DOT fB = B.front(), lB = B.back();
        if (Same3(fA, fB)) {
          for (size_t k = 1; k < B.size(); ++k) A.push_front(B[k]);
        } else if (Same3(fA, lB)) {
          A.insert(A.begin(), B.begin(), B.end() - 1);
        } else if (Same3(lA, fB)) {
          A.insert(A.end(), B.begin() + 1, B.end());
        } else if (Same3(lA, lB)) {
          for (size_t k = B.size() - 1; k-- > 0;) A.push_back(B[k]);
        } else {
          continue;
        }
        B.clear();
        joinedInPass = true;
      }
    }
  }
  for (size_t j : live)
    if (!chains[j].empty()) output(chains[j]);
  return 1;
}

namespace {

// In-plane edges met from both sides of the plane, each once.
std::vector<F_IntsersecLines> PassThroughEdges() {
  const std::vector<SidedEdge>& all = EdgeSides();
  std::vector<F_IntsersecLines> out;
  PointGrid grid(1e-6, true);
  for (size_t i = 0; i < all.size(); ++i) {
    grid.Add(all[i].edge.start, static_cast<long>(i));
    grid.Add(all[i].edge.end, static_cast<long>(i));
  }
  for (const SidedEdge& e : all) {
    bool opposite = false;
    grid.ForNear(e.edge.start, [&](long id) {
      const SidedEdge& o = all[id];
      opposite =
          opposite || (o.side != e.side &&
                       ((Same3(o.edge.start, e.edge.start) && Same3(o.edge.end, e.edge.end)) ||
                        (Same3(o.edge.start, e.edge.end) && Same3(o.edge.end, e.edge.start))));
    });
    if (opposite) out.push_back(e.edge);
  }
  GeoMathPosition::DelRepeatElement(out);
  return out;
}

}  // namespace

short GeoMathPosition::DecideFromStore(const D_3DOT& p) {
  F_Intsersecs res;
  GetIntersecResults(res);
  std::vector<F_IntsersecLines> outline = res.interLines;
  for (const F_IntsersecLines& e : PassThroughEdges()) outline.push_back(e);
  std::vector<std::vector<D_3DOT>> polys;
  GetInterLinesOfEntityAndSur(outline, polys);

  for (const D_3DOT& d : res.interDots)
    if (SameXY(d, p, 1e-5)) return 0;
  // An edge lying in the plane is part of the solid's surface: a point on
  // it in plan is on the boundary.
  for (const F_IntsersecLines& e : res.onPlaneLines) {
    const short r = CMathCheckPosition::GeoMath_CheckPntInLineSeg(
        e.start.x, e.start.y, 0.0, e.end.x, e.end.y, 0.0, p.x, p.y, 0.0);
    if (r == 0 || r == 1) return 0;
  }
  // A slice of a solid with a cavity or a hole through it has nested
  // polygons: p is inside when an odd number of them contain it.
  D_DOT q{p.x, p.y};
  std::vector<D_DOT> ring;
  long containing = 0;
  for (std::vector<D_3DOT>& poly : polys) {
    if (poly.size() < 3) continue;
    ring.clear();
    for (const D_3DOT& v : poly) ring.push_back({v.x, v.y});
    if (!IsSame3Dot(poly.front(), poly.back())) ring.push_back(ring.front());
    const long r = CMathFunCls::Check2dPntAndCurve(&q, ring.data(), static_cast<long>(ring.size()));
    if (r == 0) return 0;
    if (r == 1) ++containing;
  }
  if (containing % 2 == 1) return 1;
  for (const F_IntsersecTri& t : res.onPlaneTris) {
    short pos = 0;
    const short r = CMathCheckPosition::GeoMath_CheckPntInTri(
        t.pnt[0].x, t.pnt[0].y, 0.0, t.pnt[1].x, t.pnt[1].y, 0.0, t.pnt[2].x, t.pnt[2].y, 0.0, p.x,
        p.y, 0.0, &pos);
    if (r == 0 || r == -1) return 0;
    if (r == 1) return 1;
  }
  return -1;
}

short GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(KRO::G3D_DVertex* pts, long nPts,
                                                       C3DTriangle* tris, long nTris, D_3DOT* p) {
  if (!pts || !tris || !p || nPts <= 0 || nTris <= 0) return -1;
  for (long t = 0; t < nTris; ++t)
    for (long k = 0; k < 3; ++k)
      if (tris[t].v[k] < 0 || tris[t].v[k] >= nPts) return -1;
  C3DBox box;
  GetSurBox(pts, nPts, box);
  if (CheckPntAndC3DBox(&box, *p) == -1) return -1;

  // The plane through p lies within the solid's z range (p is in its box),
  // so every triangle is sliced at p's height.
  EmptyIntersecStore();
  double z = p->z;
  for (long t = 0; t < nTris; ++t) {
    D_3DOT a = ToDot(pts[tris[t].v[0]]), b = ToDot(pts[tris[t].v[1]]), c = ToDot(pts[tris[t].v[2]]);
    CalPlaneAndTriIntersect(z, a, b, c);
  }
  const short result = DecideFromStore(*p);
  EmptyIntersecStore();
  return result;
}
