// Texture coordinates by interpolation, fold-line unrolling and box
// projection, and their writing into host surfaces; surface colours.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/MeasureGeom.h"

using KRO::G3D_DVertex;
using KRO::G_TEXCOORD;
using namespace kromesh_measure;

namespace {

constexpr double kFoldTol = 0.0001;

double Dist2D(double ax, double ay, double bx, double by) {
  return std::hypot(bx - ax, by - ay);
}

bool SameEnd2D(double ax, double ay, double bx, double by) {
  return std::fabs(ax - bx) < kFoldTol && std::fabs(ay - by) < kFoldTol;
}

/// q on the closed plan segment a-b: at an end, or strictly inside.
bool OnFoldSegment(const D_DOT& a, const D_DOT& b, double qx, double qy) {
  if (SameEnd2D(a.x, a.y, qx, qy) || SameEnd2D(b.x, b.y, qx, qy)) return true;
  return CMathFunCls::_tcGeoMath_CheckPntInLineSeg(a.x, a.y, 0.0, b.x, b.y, 0.0, qx, qy, 0.0) == 1;
}

/// q on the line of a-b outside the segment.
bool BeyondFoldSegment(const D_DOT& a, const D_DOT& b, double qx, double qy) {
  return CMathFunCls::_tcGeoMath_CheckPntInLineSegSec(a.x, a.y, b.x, b.y, qx, qy) == 1;
}

/// Points of surf and the stage-0 coordinates to overwrite: the surface's
/// own array when it has one per point, otherwise its coordinates padded
/// with zeros to one per point.
struct SurfTexWork {
  CPointCollection points;
  CVertexDecorationObj deco;
  std::vector<G3D_DVertex> pos;
  std::vector<G_TEXCOORD> tex;
};

/// Loads surf into w: 1, 0 when it has no points, -1 when memory runs out.
long LoadSurface(C3DSurface* surf, SurfTexWork& w) {
  if (surf->GetPointCollection(&w.points, &w.deco) < 1) return 0;
  const long n = w.points.GetPointNum();
  if (n < 1) return 0;
  try {
    w.pos.resize(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) w.points.GetPoint(i, &w.pos[static_cast<size_t>(i)]);
    G_TEXCOORD* own = nullptr;
    long nOwn = 0;
    w.deco.GetTexcoords(0, &own, &nOwn);
    w.tex.assign(static_cast<size_t>(n), G_TEXCOORD{0.f, 0.f});
    if (own && nOwn > 0) std::copy(own, own + std::min(n, nOwn), w.tex.begin());
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 1;
}

/// Writes w.tex into stage 0 of the surface (in place, appending where the
/// surface had fewer coordinates than points), sets the material and
/// commits.
void StoreSurface(C3DSurface* surf, SurfTexWork& w, const std::string& material) {
  const long n = static_cast<long>(w.tex.size());
  G_TEXCOORD* own = nullptr;
  long nOwn = 0;
  w.deco.GetTexcoords(0, &own, &nOwn);
  const long inPlace = own ? std::min(n, nOwn) : 0;
  std::copy(w.tex.begin(), w.tex.begin() + inPlace, own);
  if (inPlace < n) w.deco.AppendTexcoords(0, w.tex.data() + inPlace, n - inPlace);
  if (!material.empty()) surf->SetMaterialName(material);
  surf->UpdatePointCollection(&w.points, &w.deco);
  surf->Save(nullptr, 1);
  w.points.Reset();
  w.deco.Reset();
}

}  // namespace

long CMathFunCls::d2_calTriPntTexCoord(D_DOT* a, D_DOT* b, D_DOT* c, D_DOT* p, G_TEXCOORD* ta,
                                       G_TEXCOORD* tb, G_TEXCOORD* tc, G_TEXCOORD* tp) {
  if (!a || !b || !c || !p || !ta || !tb || !tc || !tp) return -1;
  const D_DOT* v[3] = {a, b, c};
  const G_TEXCOORD* t[3] = {ta, tb, tc};
  double augU[12], augV[12], ku[3], kv[3];
  for (int i = 0; i < 3; ++i) {
    augU[i * 4 + 0] = augV[i * 4 + 0] = v[i]->x;
    augU[i * 4 + 1] = augV[i * 4 + 1] = v[i]->y;
    augU[i * 4 + 2] = augV[i * 4 + 2] = 1.0;
    augU[i * 4 + 3] = t[i]->u;
    augV[i * 4 + 3] = t[i]->v;
  }
  if (GetCeofWithGauss(augU, ku, 3) != 1 || GetCeofWithGauss(augV, kv, 3) != 1) return 0;
  const double u = ku[0] * p->x + ku[1] * p->y + ku[2];
  const double w = kv[0] * p->x + kv[1] * p->y + kv[2];
  if (!std::isfinite(u) || !std::isfinite(w)) return 0;  // nearly collinear corners
  tp->u = static_cast<float>(u);
  tp->v = static_cast<float>(w);
  return 1;
}

long CMathFunCls::d3_calTriPntTexCoord(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c,
                                       G3D_DVertex* p, G_TEXCOORD* ta, G_TEXCOORD* tb,
                                       G_TEXCOORD* tc, G_TEXCOORD* tp) {
  if (!a || !b || !c || !p || !ta || !tb || !tc || !tp) return -1;
  const G3D_DVertex tri[3] = {*a, *b, *c};
  G3D_DVertex rect[4];
  if (!RectOf3DTri(tri, rect)) return 0;
  D_DOT fa = VolToImg(rect, *a), fb = VolToImg(rect, *b), fc = VolToImg(rect, *c),
        fp = VolToImg(rect, *p);
  return d2_calTriPntTexCoord(&fa, &fb, &fc, &fp, ta, tb, tc, tp);
}

long CMathFunCls::_tcGetVolToImgCoor(D_3DOT* const rect, D_3DOT* pts, D_DOT* out, long n, double su,
                                     double sv) {
  if (!rect) return -1;
  if (n > 0 && (!pts || !out)) return -1;
  double ex = rect[1].x - rect[0].x, ey = rect[1].y - rect[0].y, ez = rect[1].z - rect[0].z;
  const double l = std::sqrt(ex * ex + ey * ey + ez * ez);
  if (!(l > 0.0)) return 0;
  ex /= l;
  ey /= l;
  ez /= l;
  for (long i = 0; i < n; ++i) {
    const double along =
        (pts[i].x - rect[0].x) * ex + (pts[i].y - rect[0].y) * ey + (pts[i].z - rect[0].z) * ez;
    out[i].x = su * along;
    out[i].y = sv * pts[i].z;
  }
  return 1;
}

bool CMathFunCls::_tcGeoMathGis_Sec_3Dto2D(D_DOT* fold, long n, D_3DOT* p, D_DOT* out, double su,
                                           double sv) {
  if (!fold || !p || !out) return false;
  if (n < 2) return true;
  const double qx = p->x, qy = p->y;
  double before = 0.0;  // length of the segments before the current one
  for (long i = 0; i + 1 < n; ++i) {
    if (OnFoldSegment(fold[i], fold[i + 1], qx, qy)) {
      out->x = su * (before + Dist2D(fold[i].x, fold[i].y, qx, qy));
      out->y = sv * p->z;
      return true;
    }
    before += Dist2D(fold[i].x, fold[i].y, fold[i + 1].x, fold[i + 1].y);
  }
  const D_DOT &f0 = fold[0], &f1 = fold[1], &fl = fold[n - 1], &fm = fold[n - 2];
  if (BeyondFoldSegment(f0, f1, qx, qy) &&
      Dist2D(f0.x, f0.y, qx, qy) < Dist2D(f1.x, f1.y, qx, qy)) {
    out->x = -su * Dist2D(f0.x, f0.y, qx, qy);
    out->y = sv * p->z;
  } else if (BeyondFoldSegment(fm, fl, qx, qy) &&
             Dist2D(fl.x, fl.y, qx, qy) < Dist2D(fm.x, fm.y, qx, qy)) {
    out->x = su * (before + Dist2D(fl.x, fl.y, qx, qy));
    out->y = sv * p->z;
  }
  return true;
}

long CMathFunCls::_tcUpdateSurfTexCoordByFoldSurf(C3DSurface* surf, D_DOT* fold, long n,
                                                  std::string material, double su, double sv) {
  if (!surf || !fold || n < 2) return -1;
  SurfTexWork w;
  const long loaded = LoadSurface(surf, w);
  if (loaded < 1) return loaded == 0 ? 1 : -1;
  for (size_t i = 0; i < w.pos.size(); ++i) {
    D_3DOT p{w.pos[i].x, w.pos[i].y, w.pos[i].z};
    // A point off the fold line keeps the coordinate it had.
    D_DOT uv{w.tex[i].u, w.tex[i].v};
    _tcGeoMathGis_Sec_3Dto2D(fold, n, &p, &uv, su, sv);
    w.tex[i] = {static_cast<float>(uv.x), static_cast<float>(uv.y)};
  }
  StoreSurface(surf, w, material);
  return 1;
}

long CMathFunCls::_tcUpdateSurfTexCoordByBoxSurf(C3DSurface* surf, D_3DOT* const rect,
                                                 std::string material, double su, double sv) {
  if (!surf || !rect) return -1;
  SurfTexWork w;
  const long loaded = LoadSurface(surf, w);
  if (loaded < 1) return loaded == 0 ? 1 : -1;
  const long n = static_cast<long>(w.pos.size());
  std::vector<D_3DOT> p;
  std::vector<D_DOT> uv;
  try {
    p.resize(w.pos.size());
    uv.resize(w.pos.size());
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (size_t i = 0; i < w.pos.size(); ++i) p[i] = {w.pos[i].x, w.pos[i].y, w.pos[i].z};
  if (_tcGetVolToImgCoor(rect, p.data(), uv.data(), n, su, sv) != 1) return 0;
  for (size_t i = 0; i < uv.size(); ++i)
    w.tex[i] = {static_cast<float>(uv[i].x), static_cast<float>(uv[i].y)};
  StoreSurface(surf, w, material);
  return 1;
}

long CMathFunCls::_tcUpdateSurfColor(C3DSurface* surf, KRO::COLOR4* c) {
  if (!surf || !c) return 0;
  CPointCollection points;
  CVertexDecorationObj deco;
  if (surf->GetPointCollection(&points, &deco) < 1) return 0;
  const long n = points.GetPointNum();
  if (n < 1) return 0;
  KRO::COLOR4* own = nullptr;
  long nOwn = 0;
  deco.GetColors(&own, &nOwn);
  try {
    const std::vector<KRO::COLOR4> all(static_cast<size_t>(n), *c);
    if (own && nOwn > 0) {
      std::fill(own, own + nOwn, *c);
      if (nOwn < n) deco.UpdateColors(all.data(), n);
    } else {
      deco.AppendColors(all.data(), n);
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  surf->UpdatePointCollection(&points, &deco);
  surf->Save(nullptr, 1);
  points.Reset();
  deco.Reset();
  return 0;
}
