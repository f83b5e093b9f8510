// Point against 2D segments and open polylines, line meeting points, fold
// line extension, curtain records and plane orientation.
#include <cmath>
#include <limits>

#include "kromesh/math/CMathFunCls.h"

namespace {

constexpr double kTol2D = 1e-7;

bool Same2D(const D_DOT& a, const D_DOT& b, double eps) {
  return std::fabs(a.x - b.x) < eps && std::fabs(a.y - b.y) < eps;
}

bool Same2D(D_DOT& a, D_DOT& b) {
  return CMathFunCls::IsSame2DDot(&a, &b) != 0;
}

D_DOT Unit2D(double x, double y) {
  double v[2] = {x, y};
  CMathFunCls::Normalise2D(v);
  return {v[0], v[1]};
}

bool SameDir(const D_DOT& u, const D_DOT& w, double eps) {
  return std::fabs(u.x - w.x) < eps && std::fabs(u.y - w.y) < eps;
}

// Meeting point of the lines through a1-a2 and b1-b2; false when parallel.
bool MeetOfLines(D_DOT* a1, D_DOT* a2, D_DOT* b1, D_DOT* b2, D_DOT* out) {
  double ka1, kb1, kc1, ka2, kb2, kc2;
  CMathFunCls::GetCoefOfLin(a1, a2, &ka1, &kb1, &kc1);
  CMathFunCls::GetCoefOfLin(b1, b2, &ka2, &kb2, &kc2);
  const double den = ka1 * kb2 - ka2 * kb1;
  if (std::fabs(den) < kTol2D) return false;
  out->x = (kb1 * kc2 - kb2 * kc1) / den;
  out->y = (ka2 * kc1 - ka1 * kc2) / den;
  return true;
}

double Snap(double v, double lo, double hi) {
  if (std::fabs(v - lo) < 1e-5) return lo;
  if (std::fabs(v - hi) < 1e-5) return hi;
  return v;
}

// Moves *end onto the box along dir, coming from far behind it.
void ExtendEnd(const tctagD3ConvexBox& box, D_DOT* end, double dx, double dy) {
  double minB[3] = {box.xmin, box.ymin, box.zmin};
  double maxB[3] = {box.xmax, box.ymax, box.zmax};
  double origin[3] = {end->x - 1e9 * dx, end->y - 1e9 * dy, (box.zmin + box.zmax) * 0.5};
  double dir[3] = {dx, dy, 0.0};
  double hit[3];
  if (!CMathFunCls::HitBoundingBox(minB, maxB, origin, dir, hit)) return;
  end->x = Snap(hit[0], box.xmin, box.xmax);
  end->y = Snap(hit[1], box.ymin, box.ymax);
}

}  // namespace

long CMathFunCls::Check2dPntAndSeg(D_DOT* a, D_DOT* b, D_DOT* p) {
  if (!a || !b || !p) return -2;
  if (Same2D(*p, *a) || Same2D(*p, *b)) return 0;
  if (SameDir(Unit2D(b->x - a->x, b->y - a->y), Unit2D(p->x - b->x, p->y - b->y), kTol2D)) return 1;
  if (SameDir(Unit2D(b->x - p->x, b->y - p->y), Unit2D(p->x - a->x, p->y - a->y), kTol2D)) return 0;
  if (SameDir(Unit2D(b->x - a->x, b->y - a->y), Unit2D(a->x - p->x, a->y - p->y), kTol2D))
    return -1;
  return -2;
}

long CMathFunCls::GetCoefOfLin(D_DOT* a, D_DOT* b, double* ka, double* kb, double* kc) {
  if (!a || !b || !ka || !kb || !kc) return -1;
  if (std::fabs(b->x - a->x) >= kTol2D) {
    *kb = -1.0;
    *ka = (a->y - b->y) / (a->x - b->x);
    *kc = -(*ka * a->x + *kb * a->y);
  } else {
    *ka = 1.0;
    *kb = 0.0;
    *kc = -a->x;
  }
  return 1;
}

long CMathFunCls::InterOf2dLins(D_DOT* a1, D_DOT* a2, D_DOT* b1, D_DOT* b2, D_DOT* out) {
  if (!a1 || !a2 || !b1 || !b2 || !out) return -2;
  if (Same2D(*a1, *a2, 1e-5) || Same2D(*b1, *b2, 1e-5)) return -2;
  if (!MeetOfLines(a1, a2, b1, b2, out)) return -1;
  const long r = Check2dPntAndSeg(a1, a2, out);
  if (r != 0) return r;
  return Check2dPntAndSeg(b1, b2, out);
}

long CMathFunCls::CheckCurSegAndOtherSegs(D_DOT* p, D_DOT* q, D_DOT* poly, long n, long skip) {
  if (!p || !q || !poly) return -2;
  for (long i = 0; i + 1 < n; ++i) {
    if (i == skip) continue;
    if (Same2D(poly[i], poly[i + 1], 1e-5) || Same2D(*p, *q, 1e-5)) continue;
    D_DOT x{};
    // Parallel lines have no meeting point and so never block the path.
    if (!MeetOfLines(&poly[i], &poly[i + 1], p, q, &x)) continue;
    long r = Check2dPntAndSeg(&poly[i], &poly[i + 1], &x);
    if (r == 0) r = Check2dPntAndSeg(p, q, &x);
    if (r == -2) continue;
    // The polyline counts as extended without end at both of its ends.
    const bool onLine = r == 0 || (r == -1 && i == 0) || (r == 1 && i == n - 2);
    if (!onLine) continue;
    if (Check2dPntAndSeg(p, q, &x) == 0 && !Same2D(x, *p) && !Same2D(x, *q)) return 0;
  }
  return -2;
}

long CMathFunCls::CheckPntPos(D_DOT* p, D_DOT* poly, long i) {
  if (!p || !poly || i < 0) return -2;
  double z = 0.0;
  Get2dTriNorm(&poly[i].x, &poly[i + 1].x, &p->x, &z);
  if (z > 0.0) return 1;
  if (z < 0.0) return -1;
  const long r = Check2dPntAndSeg(&poly[i], &poly[i + 1], p);
  if (r == -1) return -1;
  if (r == 1) return 1;
  return -2;
}

long CMathFunCls::Check2dPntAndCurve(D_DOT* p, D_DOT* poly, long n) {
  if (!p || !poly || n < 2) return -2;
  if (Same2D(poly[0], poly[n - 1], 1e-6)) return PtInPolygon(poly, n, *p);

  auto mid = [poly](long k) {
    return D_DOT{(poly[k].x + poly[k + 1].x) * 0.5, (poly[k].y + poly[k + 1].y) * 0.5};
  };
  auto isFree = [&](long k) {
    D_DOT m = mid(k);
    return CheckCurSegAndOtherSegs(&m, p, poly, n, k) != 0;
  };

  long s = 0;
  double best = 1.79769313486232e+307;
  for (long k = 0; k + 1 < n; ++k) {
    const D_DOT m = mid(k);
    const double d = std::hypot(m.x - p->x, m.y - p->y);
    if (d < best) {
      best = d;
      s = k;
    }
  }
  if (isFree(s)) return CheckPntPos(p, poly, s);
  for (long lo = s - 1, hi = s + 1;; --lo, ++hi) {
    if (lo < 0 && hi > n - 2) return -2;
    if (lo >= 0 && isFree(lo)) return CheckPntPos(p, poly, lo);
    if (hi <= n - 2 && isFree(hi)) return CheckPntPos(p, poly, hi);
  }
}

long CMathFunCls::ExtendFoldLinToBox(tctagD3ConvexBox* box, D_DOT* pts, long n) {
  if (!box || !pts) return -1;
  if (n < 2) return 0;
  double dx = pts[n - 1].x - pts[0].x, dy = pts[n - 1].y - pts[0].y;
  if (dx == 0.0 && dy == 0.0) return 0;
  ExtendEnd(*box, &pts[0], dx, dy);
  dx = pts[0].x - pts[n - 1].x;
  dy = pts[0].y - pts[n - 1].y;
  if (dx == 0.0 && dy == 0.0) return 1;
  ExtendEnd(*box, &pts[n - 1], dx, dy);
  return 1;
}

long CMathFunCls::ExtendALinSeg(KRO::G3D_DVertex* pts, long n) {
  if (!pts) return -1;
  if (n < 2) return 0;
  auto move = [](KRO::G3D_DVertex& p, const KRO::G3D_DVertex& from, const KRO::G3D_DVertex& to) {
    const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(len > 0.0)) return;  // a zero segment has no direction to grow along
    p.x += 10.0 * dx / len;
    p.y += 10.0 * dy / len;
    p.z += 10.0 * dz / len;
  };
  move(pts[0], pts[1], pts[0]);
  move(pts[n - 1], pts[n - 2], pts[n - 1]);
  return 1;
}

long CMathFunCls::ExtendALinSegF(KroPntStrcT* pts, long n) {
  if (!pts) return -1;
  if (n < 2) return 0;
  pts[0].x = 2 * pts[0].x - pts[1].x;
  pts[0].y = 2 * pts[0].y - pts[1].y;
  pts[0].z = 2 * pts[0].z - pts[1].z;
  pts[n - 1].x = 2 * pts[n - 1].x - pts[n - 2].x;
  pts[n - 1].y = 2 * pts[n - 1].y - pts[n - 2].y;
  pts[n - 1].z = 2 * pts[n - 1].z - pts[n - 2].z;
  return 1;
}

long CMathFunCls::GetFoldLinCurv(D_DOT* pts, long /*nDots*/, double z1, double z2,
                                 KroPntStrcT* outPts, long nOutPts, KroNetStrcT* outNets,
                                 long nOutNets) {
  if ((nOutPts > 1 && (!pts || !outPts)) || (nOutNets > 1 && !outNets)) return -1;
  for (long i = 0; i < nOutPts / 2; ++i) {
    for (int k = 0; k < 2; ++k) {
      KroPntStrcT& q = outPts[2 * i + k];
      q.x = pts[i].x;
      q.y = pts[i].y;
      q.z = k == 0 ? z1 : z2;
      q.attr = 0;
      q.flag1 = 1;
      q.flag2 = 0;
    }
  }
  const long pairs = nOutNets / 2;
  for (long j = 0; j < pairs; ++j) {
    KroNetStrcT& t0 = outNets[2 * j];
    t0.pnt[0] = 2 * j + 1;
    t0.pnt[1] = 2 * j + 2;
    t0.pnt[2] = 2 * j + 3;
    t0.adj[0] = 2 * j;
    t0.adj[1] = 2 * j + 2;
    t0.adj[2] = 0;
    t0.flag1 = 1;
    t0.flag2 = 0;
    KroNetStrcT& t1 = outNets[2 * j + 1];
    t1.pnt[0] = 2 * j + 2;
    t1.pnt[1] = 2 * j + 3;
    t1.pnt[2] = 2 * j + 4;
    t1.adj[0] = 2 * j + 1;
    t1.adj[1] = (j == pairs - 1) ? 0 : 2 * j + 3;
    t1.adj[2] = 0;
    t1.flag1 = 1;
    t1.flag2 = 0;
  }
  return 1;
}

long CMathFunCls::JudgeCurveDir(KRO::G3D_DVertex* const p) {
  if (!p) return 2;
  const double ux = p[1].x - p[0].x, uy = p[1].y - p[0].y, uz = p[1].z - p[0].z;
  const double vx = p[2].x - p[0].x, vy = p[2].y - p[0].y, vz = p[2].z - p[0].z;
  double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(len > std::numeric_limits<double>::min())) return 2;
  nx /= len;
  ny /= len;
  nz /= len;
  (void)nx;
  if (std::fabs(nz) >= 1e-6) return 0;
  return std::fabs(ny) < 1e-6 ? 1 : 2;
}
