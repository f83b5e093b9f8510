// 2D helpers, boxes and small utilities of GeoMathPosition.
#include "kromesh/math/GeoMathPosition.h"

#include <cmath>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroGeoMath.h"
#include "kromesh/math/CMathFunCls.h"

namespace {

KRO::G_DTEXCOORD Unit(double u, double v) {
  KRO::G_DTEXCOORD d{u, v};
  CMathVectorCal::GM_Normalise2DV(&d);
  return d;
}

bool SameDir(const KRO::G_DTEXCOORD& a, const KRO::G_DTEXCOORD& b) {
  return std::fabs(a.u - b.u) < 0.01 && std::fabs(a.v - b.v) < 0.01;
}

double Cross2(const D_DOT& a, const D_DOT& b) {
  return a.x * b.y - a.y * b.x;
}

}  // namespace

GeoMathPosition::~GeoMathPosition() {
  EmptyIntersecStore();
}

short GeoMathPosition::IsPntInPolygon(D_DOT* poly, long n, D_DOT& p) {
  if (!poly || n < 1) return -2;
  for (long i = 0; i + 1 < n; ++i)
    if (Check2dPntAndSeg(&poly[i], &poly[i + 1], &p) == 0) return 0;
  return CMathFunCls::PtInPolygon(poly, n, p);
}

short GeoMathPosition::Check2dPntAndSeg(D_DOT* a, D_DOT* b, D_DOT* p) {
  if (!a || !b || !p) return -2;
  if (IsSame2Dot(*p, *a) || IsSame2Dot(*p, *b)) return 0;
  if (SameDir(Unit(b->x - a->x, b->y - a->y), Unit(p->x - b->x, p->y - b->y))) return 1;
  if (SameDir(Unit(b->x - p->x, b->y - p->y), Unit(p->x - a->x, p->y - a->y))) return 0;
  if (SameDir(Unit(b->x - a->x, b->y - a->y), Unit(a->x - p->x, a->y - p->y))) return -1;
  return -2;
}

short GeoMathPosition::Check2dPntAndLine(D_DOT* a, D_DOT* b, D_DOT* p) {
  if (!a || !b || !p) return -1;
  const double ab = std::hypot(b->x - a->x, b->y - a->y);
  const double pa = std::hypot(p->x - a->x, p->y - a->y);
  const double pb = std::hypot(p->x - b->x, p->y - b->y);
  return std::fabs(ab - (pa + pb)) < 0.01 ? 0 : -1;
}

short GeoMathPosition::IsPntInTri(D_DOT* a, D_DOT* b, D_DOT* c, D_DOT& p) {
  if (!a || !b || !c) return -1;
  const D_DOT w[3] = {{a->x - p.x, a->y - p.y}, {b->x - p.x, b->y - p.y}, {c->x - p.x, c->y - p.y}};
  for (int i = 0; i < 3; ++i) {
    const D_DOT& u = w[i];
    const D_DOT& v = w[(i + 1) % 3];
    if (std::fabs(Cross2(u, v)) < 1e-5) {
      // On the edge's line: outside the edge when both ends lie on one side.
      return (u.x * v.x > 0.0 || u.y * v.y > 0.0) ? -1 : 0;
    }
  }
  for (int i = 0; i < 2; ++i) {
    const int j = (i + 2) % 3, k = (i + 1) % 3;
    const bool pj = Cross2(w[i], w[j]) > 0.0, pk = Cross2(w[i], w[k]) > 0.0;
    if (pj == pk) return -1;
  }
  return 1;
}

bool GeoMathPosition::IsSame2Dot(D_DOT& a, D_DOT& b) {
  return std::fabs(a.x - b.x) < 1e-6 && std::fabs(a.y - b.y) < 1e-6;
}

short GeoMathPosition::GeoCheckDotInPolygon(int, D_DOT*, D_DOT&) {
  return -2;
}
bool GeoMathPosition::IsBigger(D_DOT&, D_DOT&) {
  return true;
}
bool GeoMathPosition::IsBigger(D_3DOT&, D_3DOT&) {
  return true;
}

bool GeoMathPosition::IsSame3Dot(D_3DOT& a, D_3DOT& b) {
  return std::fabs(a.x - b.x) < 1e-6 && std::fabs(a.y - b.y) < 1e-6 && std::fabs(a.z - b.z) < 1e-6;
}

void GeoMathPosition::GetSurBox(KRO::G3D_DVertex* pts, long n, C3DBox& box) {
  if (!pts || n <= 0) return;
  box.xmin = box.xmax = pts[0].x;
  box.ymin = box.ymax = pts[0].y;
  box.zmin = box.zmax = pts[0].z;
  for (long i = 1; i < n; ++i) {
    box.xmin = std::fmin(box.xmin, pts[i].x);
    box.xmax = std::fmax(box.xmax, pts[i].x);
    box.ymin = std::fmin(box.ymin, pts[i].y);
    box.ymax = std::fmax(box.ymax, pts[i].y);
    box.zmin = std::fmin(box.zmin, pts[i].z);
    box.zmax = std::fmax(box.zmax, pts[i].z);
  }
}

short GeoMathPosition::CheckPntAndC3DBox(C3DBox* box, D_3DOT& p) {
  if (!box) return -1;
  const C3DBox& b = *box;
  if (b.xmin < p.x && p.x < b.xmax && b.ymin < p.y && p.y < b.ymax && b.zmin < p.z && p.z < b.zmax)
    return 1;
  if (b.xmin <= p.x && p.x <= b.xmax && b.ymin <= p.y && p.y <= b.ymax && b.zmin <= p.z &&
      p.z <= b.zmax)
    return 0;
  return -1;
}

void GeoMathPosition::DisPlayC3DSur(C3DSurface&) {}
void GeoMathPosition::DisPlayd3dot(D_3DOT&) {}
void GeoMathPosition::DisPlayC3DLine(C3DLine&) {}
