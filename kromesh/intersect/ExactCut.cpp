// Exact orientation tests and the constrained split of one cut triangle.
#include "kromesh/intersect/ExactCut.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#ifndef CGAL_NO_CDT_2_WARNING
#define CGAL_NO_CDT_2_WARNING
#endif
#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

namespace kroexact {
namespace {

using K = CGAL::Exact_predicates_inexact_constructions_kernel;
using P3 = K::Point_3;
using P2 = K::Point_2;

P3 ToP3(const KRO::G3D_DVertex& p) {
  return P3(p.x, p.y, p.z);
}

bool Less(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b) {
  if (a.x != b.x) return a.x < b.x;
  if (a.y != b.y) return a.y < b.y;
  return a.z < b.z;
}

uint64_t Bits(double v) {
  v += 0.0;  // -0 and +0 are one coordinate
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

bool SameBits(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b) {
  return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z);
}

Simplex MakeSimplex(const KRO::G3D_DVertex* t, int i, int j = -1, int k = -1) {
  Simplex s;
  for (int c : {i, j, k})
    if (c >= 0) {
      KRO::G3D_DVertex p = t[c];
      p.x += 0.0;
      p.y += 0.0;
      p.z += 0.0;
      s.p[s.n++] = p;
    }
  // At most three corners: an insertion sort.
  for (int i = 1; i < s.n; ++i)
    for (int j = i; j > 0 && Less(s.p[j], s.p[j - 1]); --j) std::swap(s.p[j], s.p[j - 1]);
  return s;
}

bool SimplexLess(const Simplex& a, const Simplex& b) {
  if (a.n != b.n) return a.n < b.n;
  for (int i = 0; i < a.n; ++i) {
    if (Less(a.p[i], b.p[i])) return true;
    if (Less(b.p[i], a.p[i])) return false;
  }
  return false;
}

PntKey MakeKey(const Simplex& a, const Simplex& b) {
  PntKey k;
  if (SimplexLess(b, a)) {
    k.s[0] = b;
    k.s[1] = a;
  } else {
    k.s[0] = a;
    k.s[1] = b;
  }
  return k;
}

KRO::G3D_DVertex Sub(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
KRO::G3D_DVertex Cross(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
KRO::G3D_DVertex Along(const KRO::G3D_DVertex& p, const KRO::G3D_DVertex& q, double t) {
  t = std::min(1.0, std::max(0.0, std::isfinite(t) ? t : 0.5));
  return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), p.z + t * (q.z - p.z)};
}

// The point a name stands for, built from the name alone so that every
// cut that finds it gets the same bits.
KRO::G3D_DVertex Construct(const PntKey& k) {
  const Simplex& s0 = k.s[0];
  const Simplex& s1 = k.s[1];
  if (s0.n == 1) return s0.p[0];
  if (s1.n == 1) return s1.p[0];
  const KRO::G3D_DVertex& p = s0.p[0];
  const KRO::G3D_DVertex& q = s0.p[1];
  const KRO::G3D_DVertex u = Sub(q, p);
  if (s1.n == 2) {
    // Two edges crossing: the parameter on the first of them.
    const KRO::G3D_DVertex w = Sub(s1.p[1], s1.p[0]);
    const KRO::G3D_DVertex n = Cross(u, w);
    return Along(p, q, Dot(Cross(Sub(s1.p[0], p), w), n) / Dot(n, n));
  }
  // An edge through a face.
  const KRO::G3D_DVertex n = Cross(Sub(s1.p[1], s1.p[0]), Sub(s1.p[2], s1.p[0]));
  const double dp = Dot(n, Sub(p, s1.p[0])), dq = Dot(n, Sub(q, s1.p[0]));
  return Along(p, q, dp / (dp - dq));
}

int Sign(CGAL::Orientation o) {
  return o == CGAL::POSITIVE ? 1 : (o == CGAL::NEGATIVE ? -1 : 0);
}

// The smallest piece of triangle t holding a point, from the signs of the
// point against t's three edges (edge e from corner e to corner e + 1):
// the corner indices, or n = 0 when outside.
struct Piece {
  int n = 0;
  int c[3] = {-1, -1, -1};
};

Piece PieceFromEdgeSigns(const int* s) {
  Piece r;
  bool pos = false, neg = false;
  int zeros = 0;
  for (int e = 0; e < 3; ++e) {
    pos = pos || s[e] > 0;
    neg = neg || s[e] < 0;
    zeros += s[e] == 0;
  }
  if (pos && neg) return r;
  if (zeros == 0) {
    r.n = 3;
    r.c[0] = 0, r.c[1] = 1, r.c[2] = 2;
  } else if (zeros == 1) {
    for (int e = 0; e < 3; ++e)
      if (s[e] == 0) r.n = 2, r.c[0] = e, r.c[1] = (e + 1) % 3;
  } else if (zeros == 2) {
    // The corner shared by the two edges the point is on.
    for (int e = 0; e < 3; ++e)
      if (s[e] != 0) r.n = 1, r.c[0] = (e + 2) % 3;
  }
  return r;
}

// A point lying in the plane of t: where in t it is.
Piece LocateInPlane(const P3* t, const P3& p) {
  int s[3];
  for (int e = 0; e < 3; ++e) {
    // Positive when p is on the side of edge e where the third corner is.
    s[e] = Sign(CGAL::coplanar_orientation(t[e], t[(e + 1) % 3], t[(e + 2) % 3], p));
  }
  return PieceFromEdgeSigns(s);
}

// The segment p-q, whose ends lie strictly on either side of t's plane:
// where in t it passes.
Piece LocateCrossing(const P3* t, const P3& p, const P3& q) {
  int s[3];
  for (int e = 0; e < 3; ++e) s[e] = Sign(CGAL::orientation(p, q, t[e], t[(e + 1) % 3]));
  return PieceFromEdgeSigns(s);
}

Piece CornerPiece(int c) {
  Piece r;
  r.n = 1;
  r.c[0] = c;
  return r;
}

Piece EdgePiece(int i, int j) {
  Piece r;
  r.n = 2;
  r.c[0] = i;
  r.c[1] = j;
  return r;
}

// Adds the point named by (piece of a, piece of b) unless out has it;
// returns its position in out, -1 when either piece is empty.
int AddPnt(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b, const Piece& onA, const Piece& onB,
           std::vector<PairPnt>& out);

// Two triangles in one plane: corners of each inside the other, crossings
// of their edges, and the stretches of b's edges inside a.
void CoplanarPoints(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b, const P3* pa,
                    const P3* pb, std::vector<PairPnt>& out, std::vector<int>* segs) {
  // Per edge of b, the points on it with their distance along it.
  std::vector<std::pair<double, int>> onB[3];
  for (int i = 0; i < 3; ++i) {
    const int k = AddPnt(a, b, CornerPiece(i), LocateInPlane(pb, pa[i]), out);
    if (k >= 0) {
      const Piece w = LocateInPlane(pb, pa[i]);
      if (w.n == 2) onB[w.c[0]].push_back({0, k});
    }
  }
  for (int i = 0; i < 3; ++i) {
    const Piece w = LocateInPlane(pa, pb[i]);
    const int k = AddPnt(a, b, w, CornerPiece(i), out);
    if (k >= 0) {
      onB[i].push_back({0, k});
      onB[(i + 2) % 3].push_back({0, k});
    }
  }
  for (int i = 0; i < 3; ++i) {
    const int i1 = (i + 1) % 3;
    for (int e = 0; e < 3; ++e) {
      const int e1 = (e + 1) % 3;
      const int s0 = Sign(CGAL::coplanar_orientation(pb[e], pb[e1], pa[i]));
      const int s1 = Sign(CGAL::coplanar_orientation(pb[e], pb[e1], pa[i1]));
      const int t0 = Sign(CGAL::coplanar_orientation(pa[i], pa[i1], pb[e]));
      const int t1 = Sign(CGAL::coplanar_orientation(pa[i], pa[i1], pb[e1]));
      if (s0 * s1 >= 0 || t0 * t1 >= 0) continue;
      const int k = AddPnt(a, b, EdgePiece(i, i1), EdgePiece(e, e1), out);
      if (k >= 0) onB[e].push_back({0, k});
    }
  }
  if (!segs) return;
  for (int e = 0; e < 3; ++e) {
    std::vector<std::pair<double, int>>& run = onB[e];
    const KRO::G3D_DVertex d = Sub(b[(e + 1) % 3], b[e]);
    for (auto& r : run) r.first = Dot(Sub(out[r.second].at, b[e]), d);
    std::sort(run.begin(), run.end());
    run.erase(std::unique(run.begin(), run.end(),
                          [](const auto& x, const auto& y) { return x.second == y.second; }),
              run.end());
    for (size_t k = 0; k + 1 < run.size(); ++k) {
      segs->push_back(run[k].second);
      segs->push_back(run[k + 1].second);
    }
  }
}

}  // namespace

int EdgeBeyond(const KRO::G3D_DVertex* t, const KRO::G3D_DVertex& p) {
  const KRO::G3D_DVertex n = Cross(Sub(t[1], t[0]), Sub(t[2], t[0]));
  const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
  const int k = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
  auto to2 = [k](const KRO::G3D_DVertex& q) {
    return k == 0 ? P2(q.y, q.z) : (k == 1 ? P2(q.z, q.x) : P2(q.x, q.y));
  };
  const P2 c[3] = {to2(t[0]), to2(t[1]), to2(t[2])};
  const P2 q = to2(p);
  const CGAL::Orientation o = CGAL::orientation(c[0], c[1], c[2]);
  if (o == CGAL::COLLINEAR) return -1;
  for (int e = 0; e < 3; ++e)
    if (CGAL::orientation(c[e], c[(e + 1) % 3], q) != o) return e;
  return -1;
}

bool InTriangleProjected(const KRO::G3D_DVertex* t, const KRO::G3D_DVertex& p) {
  const KRO::G3D_DVertex n = Cross(Sub(t[1], t[0]), Sub(t[2], t[0]));
  const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
  const int k = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
  auto to2 = [k](const KRO::G3D_DVertex& q) {
    return k == 0 ? P2(q.y, q.z) : (k == 1 ? P2(q.z, q.x) : P2(q.x, q.y));
  };
  const P2 a = to2(t[0]), b = to2(t[1]), c = to2(t[2]), q = to2(p);
  const CGAL::Orientation o = CGAL::orientation(a, b, c);
  if (o == CGAL::COLLINEAR) return false;
  for (const auto& e : {std::make_pair(a, b), std::make_pair(b, c), std::make_pair(c, a)})
    if (CGAL::orientation(e.first, e.second, q) == -o) return false;
  return true;
}

bool operator==(const PntKey& a, const PntKey& b) {
  for (int i = 0; i < 2; ++i) {
    if (a.s[i].n != b.s[i].n) return false;
    for (int j = 0; j < a.s[i].n; ++j)
      if (!SameBits(a.s[i].p[j], b.s[i].p[j])) return false;
  }
  return true;
}

size_t PntKeyHash::operator()(const PntKey& k) const {
  uint64_t h = 1469598103934665603ULL;
  auto mix = [&](uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h *= 1099511628211ULL;
  };
  for (int i = 0; i < 2; ++i) {
    mix(static_cast<uint64_t>(k.s[i].n));
    for (int j = 0; j < k.s[i].n; ++j) {
      mix(Bits(k.s[i].p[j].x));
      mix(Bits(k.s[i].p[j].y));
      mix(Bits(k.s[i].p[j].z));
    }
  }
  return static_cast<size_t>(h);
}

int Orient(const KRO::G3D_DVertex* t, const KRO::G3D_DVertex& p) {
  return Sign(CGAL::orientation(ToP3(t[0]), ToP3(t[1]), ToP3(t[2]), ToP3(p)));
}

namespace {

int AddPnt(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b, const Piece& onA, const Piece& onB,
           std::vector<PairPnt>& out) {
  if (onA.n == 0 || onB.n == 0) return -1;
  PairPnt r;
  r.key = MakeKey(MakeSimplex(a, onA.c[0], onA.c[1], onA.c[2]),
                  MakeSimplex(b, onB.c[0], onB.c[1], onB.c[2]));
  for (size_t k = 0; k < out.size(); ++k)
    if (out[k].key == r.key) return static_cast<int>(k);
  if (onA.n == 1) r.c0 = onA.c[0];
  if (onA.n == 2) r.c0 = onA.c[0], r.c1 = onA.c[1];
  r.at = Construct(r.key);
  out.push_back(r);
  return static_cast<int>(out.size() - 1);
}

}  // namespace

bool IsProperTri(const KRO::G3D_DVertex* t) {
  for (int c = 0; c < 3; ++c)
    if (!std::isfinite(t[c].x) || !std::isfinite(t[c].y) || !std::isfinite(t[c].z)) return false;
  return !CGAL::collinear(ToP3(t[0]), ToP3(t[1]), ToP3(t[2]));
}

int PairPoints(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b, std::vector<PairPnt>& out,
               std::vector<int>* segs, int* facing) {
  out.clear();
  if (segs) segs->clear();
  const P3 pa[3] = {ToP3(a[0]), ToP3(a[1]), ToP3(a[2])};
  const P3 pb[3] = {ToP3(b[0]), ToP3(b[1]), ToP3(b[2])};
  int oa[3], ob[3];
  for (int i = 0; i < 3; ++i) {
    oa[i] = Sign(CGAL::orientation(pb[0], pb[1], pb[2], pa[i]));
    ob[i] = Sign(CGAL::orientation(pa[0], pa[1], pa[2], pb[i]));
  }
  if (oa[0] == 0 && oa[1] == 0 && oa[2] == 0) {
    CoplanarPoints(a, b, pa, pb, out, segs);
    if (facing) {
      const KRO::G3D_DVertex na = Cross(Sub(a[1], a[0]), Sub(a[2], a[0]));
      const KRO::G3D_DVertex nb = Cross(Sub(b[1], b[0]), Sub(b[2], b[0]));
      *facing = Dot(na, nb) >= 0 ? 1 : -1;
    }
    return 1;
  }
  if ((oa[0] > 0 && oa[1] > 0 && oa[2] > 0) || (oa[0] < 0 && oa[1] < 0 && oa[2] < 0)) return 0;
  if ((ob[0] > 0 && ob[1] > 0 && ob[2] > 0) || (ob[0] < 0 && ob[1] < 0 && ob[2] < 0)) return 0;

  auto add = [&](const Piece& onA, const Piece& onB) { AddPnt(a, b, onA, onB, out); };
  auto corner = CornerPiece;
  auto edge = EdgePiece;
  for (int i = 0; i < 3; ++i) {
    if (oa[i] == 0) add(corner(i), LocateInPlane(pb, pa[i]));
    if (ob[i] == 0) add(LocateInPlane(pa, pb[i]), corner(i));
  }
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    if (oa[i] * oa[j] < 0) add(edge(i, j), LocateCrossing(pb, pa[i], pa[j]));
    if (ob[i] * ob[j] < 0) add(LocateCrossing(pa, pb[i], pb[j]), edge(i, j));
  }
  if (out.size() > 2) {
    // Only the two ends of the common stretch bound the segment; the others
    // lie between them (possible only where pieces meet exactly).
    const KRO::G3D_DVertex na = Cross(Sub(a[1], a[0]), Sub(a[2], a[0]));
    const KRO::G3D_DVertex nb = Cross(Sub(b[1], b[0]), Sub(b[2], b[0]));
    const KRO::G3D_DVertex d = Cross(na, nb);
    size_t lo = 0, hi = 0;
    for (size_t i = 1; i < out.size(); ++i) {
      if (Dot(out[i].at, d) < Dot(out[lo].at, d)) lo = i;
      if (Dot(out[i].at, d) > Dot(out[hi].at, d)) hi = i;
    }
    std::vector<PairPnt> ends = {out[lo], out[hi]};
    out.swap(ends);
  }
  return 0;
}

namespace {

struct VInfo {
  long id = -1;
};
struct FInfo {
  int in = -1;  // -1 unknown, 0 outside the triangle, 1 inside
};
using Vb = CGAL::Triangulation_vertex_base_with_info_2<VInfo, K>;
using Fb =
    CGAL::Triangulation_face_base_with_info_2<FInfo, K,
                                              CGAL::Constrained_triangulation_face_base_2<K>>;
using Tds = CGAL::Triangulation_data_structure_2<Vb, Fb>;
// The kernel has exact predicates but inexact constructions, which is what
// Exact_predicates_tag is made for; Exact_intersections_tag expects exact
// constructions and loops for ever on constraints crossing within rounding.
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<K, Tds, CGAL::Exact_predicates_tag>;

}  // namespace

bool SplitFace(const KRO::G3D_DVertex* v, const long* ids, const std::vector<FacePnt>& pts,
               const std::vector<long>& segs, long firstNew, std::vector<KRO::G3D_DVertex>& added,
               std::vector<C3DTriData>& tris, std::vector<long>* cutEdges) {
  tris.clear();
  if (cutEdges) cutEdges->clear();
  const KRO::G3D_DVertex n = Cross(Sub(v[1], v[0]), Sub(v[2], v[0]));
  // Drop the axis the plane faces most: the other two keep their exact
  // values, and the cyclic order (y, z), (z, x), (x, y) keeps the facing
  // for a positive component.
  const double an[3] = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
  const int k = an[0] >= an[1] && an[0] >= an[2] ? 0 : (an[1] >= an[2] ? 1 : 2);
  auto to2 = [k](const KRO::G3D_DVertex& p) {
    return k == 0 ? P2(p.y, p.z) : (k == 1 ? P2(p.z, p.x) : P2(p.x, p.y));
  };
  const CGAL::Orientation o = CGAL::orientation(to2(v[0]), to2(v[1]), to2(v[2]));
  if (o == CGAL::COLLINEAR) return false;
  const bool flip = o == CGAL::CLOCKWISE;

  try {
    Cdt cdt;
    std::unordered_map<long, Cdt::Vertex_handle> h;
    Cdt::Vertex_handle c[3];
    for (int i = 0; i < 3; ++i) {
      c[i] = cdt.insert(to2(v[i]));
      if (c[i]->info().id < 0) c[i]->info().id = ids[i];
      h[ids[i]] = c[i];
    }
    for (const FacePnt& p : pts) {
      Cdt::Vertex_handle vh = cdt.insert(to2(p.at), c[0]->face());
      if (vh->info().id < 0) vh->info().id = p.id;
      h[p.id] = vh;
    }
    // Each edge of the triangle runs through the points on it, in order.
    // The order compares coordinates only (no rounding): along the axes in
    // order of the edge's extent, each read in the edge's direction.
    for (int e = 0; e < 3; ++e) {
      const int e1 = (e + 1) % 3;
      const KRO::G3D_DVertex d = Sub(v[e1], v[e]);
      const double ad[3] = {std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)};
      int ax[3] = {0, 1, 2};
      std::sort(ax, ax + 3, [&](int i, int j) { return ad[i] > ad[j]; });
      const double sg[3] = {d.x < 0 ? -1.0 : 1.0, d.y < 0 ? -1.0 : 1.0, d.z < 0 ? -1.0 : 1.0};
      auto before = [&](const KRO::G3D_DVertex& p, const KRO::G3D_DVertex& q) {
        const double pp[3] = {p.x, p.y, p.z}, qq[3] = {q.x, q.y, q.z};
        for (int i : ax)
          if (pp[i] != qq[i]) return sg[i] * pp[i] < sg[i] * qq[i];
        return false;
      };
      std::vector<const FacePnt*> on;
      for (const FacePnt& p : pts)
        if ((p.c0 == e && p.c1 == e1) || (p.c0 == e1 && p.c1 == e)) on.push_back(&p);
      std::stable_sort(on.begin(), on.end(),
                       [&](const FacePnt* x, const FacePnt* y) { return before(x->at, y->at); });
      std::vector<Cdt::Vertex_handle> run = {c[e]};
      for (const FacePnt* p : on) run.push_back(h[p->id]);
      run.push_back(c[e1]);
      for (size_t i = 0; i + 1 < run.size(); ++i)
        if (run[i] != run[i + 1]) cdt.insert_constraint(run[i], run[i + 1]);
    }
    for (size_t i = 0; i + 1 < segs.size(); i += 2) {
      auto ia = h.find(segs[i]), ib = h.find(segs[i + 1]);
      if (ia == h.end() || ib == h.end() || ia->second == ib->second) continue;
      cdt.insert_constraint(ia->second, ib->second);
    }

    // Faces reached from outside without crossing a constraint lie beyond
    // the triangle's edges (slivers between an edge and a point rounded
    // just inside it).
    std::vector<Cdt::Face_handle> stack = {cdt.infinite_face()};
    cdt.infinite_face()->info().in = 0;
    while (!stack.empty()) {
      Cdt::Face_handle f = stack.back();
      stack.pop_back();
      for (int i = 0; i < 3; ++i) {
        Cdt::Face_handle g = f->neighbor(i);
        if (g->info().in != -1 || cdt.is_constrained(Cdt::Edge(f, i))) continue;
        g->info().in = 0;
        stack.push_back(g);
      }
    }
    long next = firstNew;
    for (auto vit = cdt.finite_vertices_begin(); vit != cdt.finite_vertices_end(); ++vit) {
      if (vit->info().id >= 0) continue;
      vit->info().id = next++;
      // Back onto the triangle's plane from the two kept coordinates.
      const double a = vit->point().x(), b = vit->point().y();
      KRO::G3D_DVertex q;
      if (k == 0) {
        q.y = a, q.z = b;
        q.x = v[0].x - (n.y * (a - v[0].y) + n.z * (b - v[0].z)) / n.x;
      } else if (k == 1) {
        q.z = a, q.x = b;
        q.y = v[0].y - (n.z * (a - v[0].z) + n.x * (b - v[0].x)) / n.y;
      } else {
        q.x = a, q.y = b;
        q.z = v[0].z - (n.x * (a - v[0].x) + n.y * (b - v[0].y)) / n.z;
      }
      added.push_back(q);
    }
    if (cutEdges) {
      // Constrained edges lying on a segment (exactly, in the plane of the
      // split) are the cut line's edges here.
      for (auto e = cdt.finite_edges_begin(); e != cdt.finite_edges_end(); ++e) {
        if (!cdt.is_constrained(*e)) continue;
        const Cdt::Vertex_handle u = e->first->vertex(Cdt::cw(e->second));
        const Cdt::Vertex_handle w = e->first->vertex(Cdt::ccw(e->second));
        for (size_t i = 0; i + 1 < segs.size(); i += 2) {
          auto ia = h.find(segs[i]), ib = h.find(segs[i + 1]);
          if (ia == h.end() || ib == h.end() || ia->second == ib->second) continue;
          const P2& pa = ia->second->point();
          const P2& pb = ib->second->point();
          if (CGAL::orientation(pa, pb, u->point()) != CGAL::COLLINEAR ||
              CGAL::orientation(pa, pb, w->point()) != CGAL::COLLINEAR)
            continue;
          if (!CGAL::collinear_are_ordered_along_line(pa, u->point(), pb) ||
              !CGAL::collinear_are_ordered_along_line(pa, w->point(), pb))
            continue;
          cutEdges->push_back(u->info().id);
          cutEdges->push_back(w->info().id);
          cutEdges->push_back(static_cast<long>(i / 2));
          break;
        }
      }
    }
    for (auto f = cdt.finite_faces_begin(); f != cdt.finite_faces_end(); ++f) {
      if (f->info().in == 0) continue;
      C3DTriData t = {{f->vertex(0)->info().id, f->vertex(1)->info().id, f->vertex(2)->info().id}};
      if (flip) std::swap(t.v[0], t.v[1]);
      tris.push_back(t);
    }
  } catch (const std::exception&) {
    return false;
  }
  return !tris.empty();
}

}  // namespace kroexact
