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

}  // namespace

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

bool IsProperTri(const KRO::G3D_DVertex* t) {
  for (int c = 0; c < 3; ++c)
    if (!std::isfinite(t[c].x) || !std::isfinite(t[c].y) || !std::isfinite(t[c].z)) return false;
  return !CGAL::collinear(ToP3(t[0]), ToP3(t[1]), ToP3(t[2]));
}

int PairPoints(const KRO::G3D_DVertex* a, const KRO::G3D_DVertex* b, std::vector<PairPnt>& out) {
  out.clear();
  const P3 pa[3] = {ToP3(a[0]), ToP3(a[1]), ToP3(a[2])};
  const P3 pb[3] = {ToP3(b[0]), ToP3(b[1]), ToP3(b[2])};
  int oa[3], ob[3];
  for (int i = 0; i < 3; ++i) {
    oa[i] = Sign(CGAL::orientation(pb[0], pb[1], pb[2], pa[i]));
    ob[i] = Sign(CGAL::orientation(pa[0], pa[1], pa[2], pb[i]));
  }
  if (oa[0] == 0 && oa[1] == 0 && oa[2] == 0) return 1;
  if ((oa[0] > 0 && oa[1] > 0 && oa[2] > 0) || (oa[0] < 0 && oa[1] < 0 && oa[2] < 0)) return 0;
  if ((ob[0] > 0 && ob[1] > 0 && ob[2] > 0) || (ob[0] < 0 && ob[1] < 0 && ob[2] < 0)) return 0;

  auto add = [&](const Piece& onA, const Piece& onB) {
    if (onA.n == 0 || onB.n == 0) return;
    PairPnt r;
    r.key = MakeKey(MakeSimplex(a, onA.c[0], onA.c[1], onA.c[2]),
                    MakeSimplex(b, onB.c[0], onB.c[1], onB.c[2]));
    for (const PairPnt& have : out)
      if (have.key == r.key) return;
    if (onA.n == 1) r.c0 = onA.c[0];
    if (onA.n == 2) r.c0 = onA.c[0], r.c1 = onA.c[1];
    r.at = Construct(r.key);
    out.push_back(r);
  };
  auto corner = [](int c) {
    Piece r;
    r.n = 1;
    r.c[0] = c;
    return r;
  };
  auto edge = [](int i, int j) {
    Piece r;
    r.n = 2;
    r.c[0] = i;
    r.c[1] = j;
    return r;
  };
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
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<K, Tds, CGAL::Exact_intersections_tag>;

}  // namespace

bool SplitFace(const KRO::G3D_DVertex* v, const long* ids, const std::vector<FacePnt>& pts,
               const std::vector<long>& segs, long firstNew, std::vector<KRO::G3D_DVertex>& added,
               std::vector<C3DTriData>& tris) {
  tris.clear();
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
    for (int e = 0; e < 3; ++e) {
      const int e1 = (e + 1) % 3;
      std::vector<std::pair<double, Cdt::Vertex_handle>> run;
      const KRO::G3D_DVertex d = Sub(v[e1], v[e]);
      run.push_back({0.0, c[e]});
      for (const FacePnt& p : pts)
        if ((p.c0 == e && p.c1 == e1) || (p.c0 == e1 && p.c1 == e))
          run.push_back({Dot(Sub(p.at, v[e]), d), h[p.id]});
      run.push_back({Dot(d, d), c[e1]});
      std::stable_sort(run.begin() + 1, run.end() - 1,
                       [](const auto& x, const auto& y) { return x.first < y.first; });
      for (size_t i = 0; i + 1 < run.size(); ++i)
        if (run[i].second != run[i + 1].second)
          cdt.insert_constraint(run[i].second, run[i + 1].second);
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
