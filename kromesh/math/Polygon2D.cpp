// Point in polygon, segment parity, inner points and holes, ray against a
// rectangle.
#include <cmath>
#include <vector>

#include "kromesh/math/CMathFunCls.h"

namespace {

bool Same2D(const D_DOT& a, const D_DOT& b, double eps) {
  return std::fabs(a.x - b.x) < eps && std::fabs(a.y - b.y) < eps;
}

}  // namespace

short CMathFunCls::PtInPolygon(D_DOT* poly, long n, D_DOT p) {
  if (!poly || n < 1) return -1;
  long count = 0;
  for (long i = 0; i < n; ++i) {
    const D_DOT& p1 = poly[i];
    const D_DOT& p2 = poly[(i + 1) % n];
    if (p1.y == p2.y) continue;
    const double ymin = std::fmin(p1.y, p2.y), ymax = std::fmax(p1.y, p2.y);
    if (p.y < ymin || p.y >= ymax) continue;
    const double x = p1.x + (p.y - p1.y) * (p2.x - p1.x) / (p2.y - p1.y);
    if (x > p.x) ++count;
  }
  return (count % 2 == 1) ? 1 : -1;
}

bool CMathFunCls::JudgePntInPolyF(double x, double y, D_DOT* poly, long n) {
  if (!poly || n < 1) return false;
  bool inside = false;
  for (long i = 0, j = n - 1; i < n; j = i++) {
    const D_DOT& pi = poly[i];
    const D_DOT& pj = poly[j];
    const bool inRange = (pi.y <= y && y <= pj.y) || (pj.y <= y && y <= pi.y);
    // A level edge at height y has no single crossing abscissa; its ends
    // are counted by the neighbouring edges.
    if (!inRange || pi.y == pj.y) continue;
    if (pi.x + (pj.x - pi.x) * (y - pi.y) / (pj.y - pi.y) >= x) inside = !inside;
  }
  return inside;
}

bool CMathFunCls::JudgePntInPoly(D_DOT* p, D_DOT* q, D_DOT* poly, long n) {
  if (!p || !q || !poly || n < 1) return false;
  std::vector<D_DOT> hits;
  hits.reserve(static_cast<size_t>(n));
  for (long i = 0; i + 1 < n; ++i) {
    D_DOT x{};
    if (!LinLinIntsect(&p->x, &q->x, &poly[i].x, &poly[i + 1].x, &x.x)) continue;
    if (SearchInDotBuf(x, hits.data(), static_cast<long>(hits.size())) < 0) hits.push_back(x);
  }
  return hits.size() % 2 == 1;
}

long CMathFunCls::SearchInDotBuf(D_DOT p, D_DOT* buf, long n) {
  if (!buf || n <= 0) return -1;
  for (long i = 0; i < n; ++i)
    if (Same2D(p, buf[i], 1e-6)) return i;
  return -1;
}

long CMathFunCls::Get1InnerDotFromPoly(D_DOT* poly, long n, D_DOT* out) {
  if (!poly || !out || n < 3) return -1;
  if (n == 3) {
    out->x = (poly[0].x + poly[1].x + poly[2].x) / 3.0;
    out->y = (poly[0].y + poly[1].y + poly[2].y) / 3.0;
    return 1;
  }
  for (long k = 2; k <= n - 2; ++k) {
    out->x = (poly[0].x + poly[k].x) * 0.5;
    out->y = (poly[0].y + poly[k].y) * 0.5;
    if (JudgePntInPolyF(out->x, out->y, poly, n)) break;
  }
  return 1;
}

long CMathFunCls::FindHole2DDotsOfPoly(D_DOT* pts, long* counts, long nPolys, D_DOT* inner,
                                       bool* isHole) {
  if (!pts || !counts || !inner || !isHole || nPolys < 0) return -1;
  std::vector<long> start(static_cast<size_t>(nPolys) + 1, 0);
  for (long i = 0; i < nPolys; ++i) {
    if (counts[i] < 3) return -1;
    start[i + 1] = start[i] + counts[i];
  }
  for (long i = 0; i < nPolys; ++i) {
    isHole[i] = false;
    Get1InnerDotFromPoly(pts + start[i], counts[i], &inner[i]);
  }
  for (long i = 0; i < nPolys; ++i) {
    for (long j = 0; j < nPolys; ++j) {
      if (j == i) continue;
      if (JudgePntInPolyF(inner[i].x, inner[i].y, pts + start[j], counts[j])) {
        isHole[i] = true;
        break;
      }
    }
  }
  return 1;
}

long CMathFunCls::FindHoleDotsOfPoly(KRO::G3D_DVertex* pts, long* counts, long nPolys,
                                     KRO::G3D_DVertex* inner, bool* isHole) {
  if (!pts || !counts || !inner || !isHole || nPolys < 0) return -1;
  long total = 0;
  for (long i = 0; i < nPolys; ++i) {
    if (counts[i] < 3) return -1;
    total += counts[i];
  }
  std::vector<D_DOT> flat(static_cast<size_t>(total));
  for (long i = 0; i < total; ++i) flat[i] = {pts[i].x, pts[i].y};
  std::vector<D_DOT> inner2(static_cast<size_t>(nPolys));
  const long r = FindHole2DDotsOfPoly(flat.data(), counts, nPolys, inner2.data(), isHole);
  if (r != 1) return r;
  for (long i = 0; i < nPolys; ++i) inner[i] = {inner2[i].x, inner2[i].y, pts[0].z};
  return 1;
}

bool CMathFunCls::Hit2DBoundingBox(double* const box, double* const origin, double* const dir,
                                   double* const out) {
  if (!box || !origin || !dir) return false;
  double far[2] = {origin[0] + 100000.0 * dir[0], origin[1] + 100000.0 * dir[1]};
  const double xmin = box[0], xmax = box[1], ymin = box[2], ymax = box[3];
  double corners[5][2] = {{xmin, ymin}, {xmin, ymax}, {xmax, ymax}, {xmax, ymin}, {xmin, ymin}};
  for (int e = 0; e < 4; ++e) {
    if (LinLinIntsect(origin, far, corners[e], corners[e + 1], out)) return true;
  }
  return false;
}
