// Slicing a triangle set by a horizontal plane: the intersection store,
// one triangle against the plane, duplicate removal, chaining segments
// into polygons and the point-in-solid decision.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroGeoMath.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"

namespace {

// The intersection store, one per thread (see the header).
F_Intsersecs& Store() {
  thread_local F_Intsersecs store;
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
  thread_local std::vector<SidedEdge> sides;
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

// Points filed by a uniform grid of plan cells twice the tolerance wide, so
// that two points within the tolerance are at most one cell apart in x and
// in y whatever the rounding of the division (height is left to the exact
// test: a slice lies in one plane). The cells are kept as one sorted array
// (no hashing, no per-cell lists) that each thread reuses from query to
// query; every candidate found is tested exactly by the caller.
class CellIndex {
 public:
  void Reset(double eps) {
    m_cell = 2.0 * eps;
    m_keys.clear();
  }
  void Add(const D_3DOT& p, long id) { m_keys.push_back({Cell(p.x), Cell(p.y), id}); }
  // Call once after the last Add and before ForNear.
  void Sort() {
    std::sort(m_keys.begin(), m_keys.end(), [](const Key& a, const Key& b) {
      return a.x != b.x ? a.x < b.x : a.y != b.y ? a.y < b.y : a.id < b.id;
    });
  }
  // Calls f(id) for every id filed in the cells around p.
  template <typename F>
  void ForNear(const D_3DOT& p, F f) const {
    const int64_t cx = Cell(p.x), cy = Cell(p.y);
    for (int dx = -1; dx <= 1; ++dx) {
      const int64_t x = cx + dx;
      // Cells (x, cy - 1), (x, cy), (x, cy + 1) are adjacent in the array.
      auto it = std::lower_bound(
          m_keys.begin(), m_keys.end(), Key{x, cy - 1, 0},
          [](const Key& a, const Key& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
      for (; it != m_keys.end() && it->x == x && it->y <= cy + 1; ++it) f(it->id);
    }
  }

 private:
  struct Key {
    int64_t x, y;
    long id;
  };
  int64_t Cell(double v) const {
    const double c = std::floor(v / m_cell);
    if (!(c > -4e18)) return INT64_MIN / 4;  // also NaN
    if (c > 4e18) return INT64_MAX / 4;
    return static_cast<int64_t>(c);
  }

  double m_cell = 1.0;
  std::vector<Key> m_keys;
};

// Below this many elements a plain scan beats filing them into cells.
constexpr size_t kScanLimit = 24;

// Per-thread working buffers of the slicing test, kept from query to query
// so that a query allocates nothing once they have grown.
struct SliceScratch {
  CellIndex cells;
  std::vector<long> keptAt;  // position of a kept element in the compacted vector, -1 if dropped
  std::vector<F_IntsersecLines> outline;
  std::vector<F_IntsersecLines> passThrough;
  std::vector<D_DOT> ring;
  // Chains of the outline: nodes of doubly linked point lists.
  struct Node {
    D_3DOT p;
    long prev, next;
  };
  struct Chain {
    long head = -1, tail = -1, size = 0;
  };
  std::vector<Node> nodes;
  std::vector<Chain> chains;
  std::vector<long> live, listed;
  // The chained polygons, flat: polygon k is points [polyStart[k], polyStart[k + 1]).
  std::vector<D_3DOT> polyPts;
  std::vector<long> polyStart;
};

SliceScratch& Scratch() {
  thread_local SliceScratch scratch;
  return scratch;
}

// Keeps the first of each group of equal elements, in order: element i is
// dropped when an element kept before it is equal to it. near(i, f) calls
// f(j) for candidates j (any superset of the equal ones); equal(a, b) is
// the exact test.
template <typename T, typename Near, typename Equal>
void KeepFirst(std::vector<T>& v, std::vector<long>& keptAt, Near near, Equal equal) {
  keptAt.assign(v.size(), -1);
  size_t w = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    bool dup = false;
    // Kept elements have moved down to keptAt[j] <= j; later writes never
    // reach them again.
    near(i, [&](long j) {
      if (dup || static_cast<size_t>(j) >= i || keptAt[j] < 0) return;
      dup = equal(v[keptAt[j]], v[i]);
    });
    if (dup) continue;
    keptAt[i] = static_cast<long>(w);
    if (w != i) v[w] = v[i];
    ++w;
  }
  v.resize(w);
}

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
  // At most one meeting point per edge: fixed room, nothing allocated.
  D_3DOT hits[3];
  int hitCount = 0;
  int parallel = 0;
  for (auto& e : ends) {
    KRO::G3D_DVertex s = ToVertex(*e[0]), t = ToVertex(*e[1]);
    const KRO::G3D_DVertex dir{t.x - s.x, t.y - s.y, t.z - s.z};
    KRO::G3D_DVertex q{};
    const int r = CMathCheckPosition::GM_intersLine_Plane(&q, &s, &dir, &plane);
    if (r == 0) {
      ++parallel;
    } else if (r == 1 && CMathCheckPosition::Check3dPntAndSeg(&s, &t, &q) == 0) {
      hits[hitCount++] = ToDot(q);
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
  if (hitCount == 0) return 1;
  if (hitCount == 3) {
    // A vertex lying in the plane is met by both of its edges while the
    // opposite edge crosses: the triangle is crossed from that vertex to
    // the crossing point, which must not be lost from the slice.
    D_3DOT distinct[3];
    int n = 0;
    for (int i = 0; i < 3; ++i) {
      bool seen = false;
      for (int j = 0; j < n; ++j) seen = seen || Same3(distinct[j], hits[i]);
      if (!seen) distinct[n++] = hits[i];
    }
    if (n == 2) {
      hits[0] = distinct[0];
      hits[1] = distinct[1];
      hitCount = 2;
    }
  }
  if (hitCount != 2) return 0;
  if (Same3(hits[0], hits[1])) {
    store.interDots.push_back(hits[0]);
    return 2;
  }
  store.interLines.push_back({hits[0], hits[1]});
  return 3;
}

void GeoMathPosition::DelRepeatElement(std::vector<D_3DOT>& v) {
  SliceScratch& sc = Scratch();
  auto equal = [](const D_3DOT& a, const D_3DOT& b) { return SameXY(a, b, 1e-5); };
  if (v.size() <= kScanLimit) {
    KeepFirst(
        v, sc.keptAt,
        [](size_t i, auto f) {
          for (size_t j = 0; j < i; ++j) f(static_cast<long>(j));
        },
        equal);
    return;
  }
  CellIndex& cells = sc.cells;
  cells.Reset(1e-5);
  for (size_t i = 0; i < v.size(); ++i) cells.Add(v[i], static_cast<long>(i));
  cells.Sort();
  KeepFirst(
      v, sc.keptAt, [&](size_t i, auto f) { cells.ForNear(v[i], f); }, equal);
}

namespace {

bool SameSegment(const F_IntsersecLines& k, const F_IntsersecLines& s) {
  return (Same3(k.start, s.start) && Same3(k.end, s.end)) ||
         (Same3(k.start, s.end) && Same3(k.end, s.start));
}

}  // namespace

void GeoMathPosition::DelRepeatElement(std::vector<F_IntsersecLines>& v) {
  SliceScratch& sc = Scratch();
  if (v.size() <= kScanLimit) {
    KeepFirst(
        v, sc.keptAt,
        [](size_t i, auto f) {
          for (size_t j = 0; j < i; ++j) f(static_cast<long>(j));
        },
        SameSegment);
    return;
  }
  // Segments filed under both ends; an equal one has an end near s.start.
  CellIndex& cells = sc.cells;
  cells.Reset(1e-6);
  for (size_t i = 0; i < v.size(); ++i) {
    cells.Add(v[i].start, static_cast<long>(i));
    cells.Add(v[i].end, static_cast<long>(i));
  }
  cells.Sort();
  KeepFirst(
      v, sc.keptAt, [&](size_t i, auto f) { cells.ForNear(v[i].start, f); }, SameSegment);
}

namespace {

// Removes the duplicates of the store in place.
F_Intsersecs& DedupStore() {
  F_Intsersecs& store = Store();
  GeoMathPosition::DelRepeatElement(store.interDots);
  GeoMathPosition::DelRepeatElement(store.onPlaneLines);
  GeoMathPosition::DelRepeatElement(store.interLines);
  return store;
}

// Chains segs into polylines, written flat into sc.polyPts / sc.polyStart.
// Each segment joins the first earlier chain one of whose ends it shares,
// or starts a chain of its own; then merging passes join chains end to end
// and put out closed ones; what is left is put out in chain order.
void ChainSegments(const std::vector<F_IntsersecLines>& segs, SliceScratch& sc) {
  using Node = SliceScratch::Node;
  using Chain = SliceScratch::Chain;
  std::vector<Node>& nodes = sc.nodes;
  std::vector<Chain>& chains = sc.chains;
  nodes.clear();
  sc.polyPts.clear();
  sc.polyStart.assign(1, 0);
  if (segs.empty()) return;
  const size_t n = segs.size();
  chains.assign(n, Chain());
  sc.live.clear();

  auto node = [&nodes](const D_3DOT& p) {
    nodes.push_back({p, -1, -1});
    return static_cast<long>(nodes.size()) - 1;
  };
  auto pushFront = [&](Chain& c, const D_3DOT& p) {
    const long k = node(p);
    nodes[k].next = c.head;
    if (c.head >= 0) nodes[c.head].prev = k;
    c.head = k;
    if (c.tail < 0) c.tail = k;
    ++c.size;
  };
  auto pushBack = [&](Chain& c, const D_3DOT& p) {
    const long k = node(p);
    nodes[k].prev = c.tail;
    if (c.tail >= 0) nodes[c.tail].next = k;
    c.tail = k;
    if (c.head < 0) c.head = k;
    ++c.size;
  };
  auto output = [&sc, &nodes](Chain& c) {
    for (long k = c.head; k >= 0; k = nodes[k].next) sc.polyPts.push_back(nodes[k].p);
    sc.polyStart.push_back(static_cast<long>(sc.polyPts.size()));
    c = Chain();
  };

  // First pass.
  for (size_t i = 0; i < n; ++i) {
    const D_3DOT s = segs[i].start, e = segs[i].end;
    bool joined = false;
    for (long j : sc.live) {
      Chain& c = chains[j];
      const D_3DOT& f = nodes[c.head].p;
      const D_3DOT& l = nodes[c.tail].p;
      if (Same3(s, f)) {
        pushFront(c, e);
      } else if (Same3(s, l)) {
        pushBack(c, e);
      } else if (Same3(e, f)) {
        pushFront(c, s);
      } else if (Same3(e, l)) {
        pushBack(c, s);
      } else {
        continue;
      }
      joined = true;
      break;
    }
    if (!joined) {
      pushBack(chains[i], s);
      pushBack(chains[i], e);
      sc.live.push_back(static_cast<long>(i));
    }
  }

  // Merging passes; they go on while they still join something (six passes
  // suffice for most slices, but a long ring cut into many pieces needs
  // more).
  bool joinedInPass = true;
  for (int pass = 0; joinedInPass || pass < 6; ++pass) {
    joinedInPass = false;
    sc.listed.clear();
    for (long j : sc.live)
      if (chains[j].size > 0) sc.listed.push_back(j);
    sc.live.swap(sc.listed);
    const std::vector<long>& listed = sc.live;
    if (listed.empty()) return;
    if (listed.size() == 1) {
      output(chains[listed[0]]);
      return;
    }
    for (size_t ia = 0; ia < listed.size(); ++ia) {
      Chain& A = chains[listed[ia]];
      if (A.size == 0) continue;
      const D_3DOT fA = nodes[A.head].p, lA = nodes[A.tail].p;
      if (Same3(fA, lA)) {
        output(A);
        continue;
      }
      for (size_t ib = ia + 1; ib < listed.size(); ++ib) {
        Chain& B = chains[listed[ib]];
        if (B.size <= 1) continue;
        const D_3DOT fB = nodes[B.head].p, lB = nodes[B.tail].p;
        if (Same3(fA, fB)) {
          // B's points after its first, one by one, in front of A.
          for (long k = nodes[B.head].next; k >= 0; k = nodes[k].next) pushFront(A, nodes[k].p);
        } else if (Same3(fA, lB)) {
          // All of B but its last in front of A, in B's order.
          for (long k = nodes[B.tail].prev; k >= 0; k = nodes[k].prev) pushFront(A, nodes[k].p);
        } else if (Same3(lA, fB)) {
          for (long k = nodes[B.head].next; k >= 0; k = nodes[k].next) pushBack(A, nodes[k].p);
        } else if (Same3(lA, lB)) {
          for (long k = nodes[B.tail].prev; k >= 0; k = nodes[k].prev) pushBack(A, nodes[k].p);
        } else {
          continue;
        }
        B = Chain();
        joinedInPass = true;
      }
    }
  }
  for (long j : sc.live)
    if (chains[j].size > 0) output(chains[j]);
}

}  // namespace

long GeoMathPosition::GetIntersecResults(F_Intsersecs& out) {
  out = DedupStore();
  return 1;
}

short GeoMathPosition::GetInterLinesOfEntityAndSur(std::vector<F_IntsersecLines>& segs,
                                                   std::vector<std::vector<D_3DOT>>& polys) {
  if (segs.empty()) return 0;
  SliceScratch& sc = Scratch();
  ChainSegments(segs, sc);
  for (size_t k = 0; k + 1 < sc.polyStart.size(); ++k)
    polys.emplace_back(sc.polyPts.begin() + sc.polyStart[k],
                       sc.polyPts.begin() + sc.polyStart[k + 1]);
  return 1;
}

namespace {

// Appends to out the in-plane edges met from both sides of the plane, each
// once.
void AppendPassThroughEdges(SliceScratch& sc, std::vector<F_IntsersecLines>& out) {
  const std::vector<SidedEdge>& all = EdgeSides();
  std::vector<F_IntsersecLines>& found = sc.passThrough;
  found.clear();
  if (all.empty()) return;
  auto opposite = [&all](const SidedEdge& e, long id) {
    const SidedEdge& o = all[id];
    return o.side != e.side && SameSegment(o.edge, e.edge);
  };
  if (all.size() <= kScanLimit) {
    for (const SidedEdge& e : all) {
      for (size_t j = 0; j < all.size(); ++j) {
        if (opposite(e, static_cast<long>(j))) {
          found.push_back(e.edge);
          break;
        }
      }
    }
  } else {
    CellIndex& cells = sc.cells;
    cells.Reset(1e-6);
    for (size_t i = 0; i < all.size(); ++i) {
      cells.Add(all[i].edge.start, static_cast<long>(i));
      cells.Add(all[i].edge.end, static_cast<long>(i));
    }
    cells.Sort();
    for (const SidedEdge& e : all) {
      bool hit = false;
      cells.ForNear(e.edge.start, [&](long id) { hit = hit || opposite(e, id); });
      if (hit) found.push_back(e.edge);
    }
  }
  GeoMathPosition::DelRepeatElement(found);
  out.insert(out.end(), found.begin(), found.end());
}

}  // namespace

short GeoMathPosition::DecideFromStore(const D_3DOT& p) {
  SliceScratch& sc = Scratch();
  const F_Intsersecs& res = DedupStore();
  sc.outline.assign(res.interLines.begin(), res.interLines.end());
  AppendPassThroughEdges(sc, sc.outline);
  ChainSegments(sc.outline, sc);

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
  std::vector<D_DOT>& ring = sc.ring;
  long containing = 0;
  for (size_t k = 0; k + 1 < sc.polyStart.size(); ++k) {
    const D_3DOT* poly = sc.polyPts.data() + sc.polyStart[k];
    const long size = sc.polyStart[k + 1] - sc.polyStart[k];
    if (size < 3) continue;
    ring.clear();
    for (long i = 0; i < size; ++i) ring.push_back({poly[i].x, poly[i].y});
    D_3DOT first = poly[0], last = poly[size - 1];
    if (!IsSame3Dot(first, last)) ring.push_back(ring.front());
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
