// Geometry helpers of the intersection engine: coplanar triangle overlap,
// triangle frames and texture interpolation.
#include <cmath>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {

using V3 = KRO::G3D_DVertex;

V3 Sub(const V3& a, const V3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const V3& a, const V3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 Cross(const V3& a, const V3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Len(const V3& a) {
  return std::sqrt(Dot(a, a));
}
V3 ToV3(const D_3DOT& p) {
  return {p.x, p.y, p.z};
}

// Appends the vertices of B lying in A and the de-duplicated edge meetings
// (already in tmp) to out, as both overlap routines do.
long FinishOverlap(const std::vector<V3>& tmp, V3* a, V3* b, std::vector<V3>& out) {
  if (tmp.empty()) return 0;
  for (const V3& p : tmp) {
    if (CMathFunCls::SearchInDotBuf(p, out.data(), static_cast<long>(out.size())) < 0)
      out.push_back(p);
  }
  for (int i = 0; i < 3; ++i) {
    V3 v = b[i];
    if (CMathFunCls::IsPntInTriPanel(&v, &a[0], &a[1], &a[2], nullptr) != 0) out.push_back(b[i]);
  }
  return out.empty() ? 0 : 1;
}

}  // namespace

long CMathFunCls::Tri_Tri_OnSurf(KRO::G3D_DVertex& a0, KRO::G3D_DVertex& a1, KRO::G3D_DVertex& a2,
                                 KRO::G3D_DVertex& b0, KRO::G3D_DVertex& b1, KRO::G3D_DVertex& b2,
                                 std::vector<KRO::G3D_DVertex>& out) {
  V3 a[3] = {a0, a1, a2};
  V3 b[3] = {b0, b1, b2};
  std::vector<V3> tmp;
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k) {
      V3 x;
      if (CalTwoLineInsercDot(b[i], b[(i + 1) % 3], a[k], a[(k + 1) % 3], x)) tmp.push_back(x);
    }
  }
  return FinishOverlap(tmp, a, b, out);
}

long CMathFunCls::Tri_Tri_OnSurf2(KRO::G3D_DVertex& a0, KRO::G3D_DVertex& a1, KRO::G3D_DVertex& a2,
                                  KRO::G3D_DVertex& b0, KRO::G3D_DVertex& b1, KRO::G3D_DVertex& b2,
                                  std::vector<KRO::G3D_DVertex>& out) {
  V3 a[3] = {a0, a1, a2};
  V3 b[3] = {b0, b1, b2};
  V3 rect[4];
  bool haveFrame = false;
  {
    KroSimpleMesh mesh;
    mesh.m_positions = {a0, a1, a2, b0, b1, b2};
    mesh.m_triangles = {C3DTriData{{0, 1, 2}}, C3DTriData{{3, 4, 5}}};
    CObbtBase obb;
    if (obb.BuildMeshObbt(&mesh) == 0 && obb.Get4VertexOfOBB(rect) == 1) {
      // The box rectangle serves only when it lies in the triangles' plane;
      // a flat box may put its thin axis inside the rectangle.
      const V3 nT = Cross(Sub(a1, a0), Sub(a2, a0));
      const V3 nR = Cross(Sub(rect[1], rect[0]), Sub(rect[3], rect[0]));
      const double lt = Len(nT), lr = Len(nR);
      haveFrame =
          lt > 1e-12 && lr > 1e-12 && std::fabs(std::fabs(Dot(nT, nR)) / (lt * lr) - 1.0) < 1e-6;
    }
  }
  if (!haveFrame && _tcGetRectof3DTri(a, rect) != 1) return out.empty() ? 0 : 1;

  D_DOT fa[3], fb[3];
  for (int i = 0; i < 3; ++i) {
    GetVolToImgCoor(rect, &a[i], &fa[i]);
    GetVolToImgCoor(rect, &b[i], &fb[i]);
  }
  std::vector<V3> tmp;
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k) {
      D_DOT x;
      if (InterOf2dLins(&fb[i], &fb[(i + 1) % 3], &fa[k], &fa[(k + 1) % 3], &x) == 0) {
        V3 p;
        GetImgToVolCoor(rect, &x, &p);
        tmp.push_back(p);
      }
    }
  }
  return FinishOverlap(tmp, a, b, out);
}

long CMathFunCls::SearchInDotBuf(KRO::G3D_DVertex p, KRO::G3D_DVertex* buf, long count) {
  if (!buf || count <= 0) return -1;
  for (long i = 0; i < count; ++i) {
    if (std::fabs(p.x - buf[i].x) < 1e-6 && std::fabs(p.y - buf[i].y) < 1e-6 &&
        std::fabs(p.z - buf[i].z) < 1e-6)
      return i;
  }
  return -1;
}

long CMathFunCls::_tcGetRectof3DTri(KRO::G3D_DVertex* tri, KRO::G3D_DVertex* rect) {
  if (!tri || !rect) return -1;
  rect[0] = tri[1];
  rect[1] = tri[2];
  V3 e = Sub(rect[1], rect[0]);
  if (std::fabs(e.x) < 1e-6 && std::fabs(e.y) < 1e-6 && std::fabs(e.z) < 1e-6) return 0;
  const double l = Len(e);
  const V3 u = {e.x / l, e.y / l, e.z / l};
  const double t = Dot(Sub(tri[0], rect[0]), u);
  const V3 f = {rect[0].x + t * u.x, rect[0].y + t * u.y, rect[0].z + t * u.z};
  const V3 h = Sub(tri[0], f);
  if (std::fabs(h.x) < 1e-6 && std::fabs(h.y) < 1e-6 && std::fabs(h.z) < 1e-6) return 0;
  rect[2] = {rect[1].x + h.x, rect[1].y + h.y, rect[1].z + h.z};
  rect[3] = {rect[0].x + h.x, rect[0].y + h.y, rect[0].z + h.z};
  return 1;
}

long CMathFunCls::GetVolToImgCoor(KRO::G3D_DVertex* rect, KRO::G3D_DVertex* p, D_DOT* out) {
  if (!rect || !p || !out) return -1;
  V3 u = Sub(rect[1], rect[0]);
  V3 w = Sub(rect[3], rect[0]);
  const double lu = Len(u), lw = Len(w);
  if (lu > 0) u = {u.x / lu, u.y / lu, u.z / lu};
  if (lw > 0) w = {w.x / lw, w.y / lw, w.z / lw};
  const V3 d = Sub(*p, rect[0]);
  out->x = Dot(d, u);
  out->y = Dot(d, w);
  return 1;
}

long CMathFunCls::GetImgToVolCoor(KRO::G3D_DVertex* rect, D_DOT* p, KRO::G3D_DVertex* out) {
  if (!rect || !p || !out) return -1;
  const V3 u = Sub(rect[1], rect[0]);
  const V3 w = Sub(rect[3], rect[0]);
  const double lu = Len(u), lw = Len(w);
  const double su = lu > 0 ? p->x / lu : 0.0;
  const double sw = lw > 0 ? p->y / lw : 0.0;
  out->x = rect[0].x + su * u.x + sw * w.x;
  out->y = rect[0].y + su * u.y + sw * w.y;
  out->z = rect[0].z + su * u.z + sw * w.z;
  return 1;
}

long CMathFunCls::_tcGetTextureOfLine(D_3DOT* a, D_3DOT* b, D_DOT* ta, D_DOT* tb, D_3DOT* p,
                                      D_DOT* out) {
  if (!a || !b || !ta || !tb || !p || !out) return -1;
  const double L = Len(Sub(ToV3(*b), ToV3(*a)));
  if (L < 1e-6) return 0;
  const double d = Len(Sub(ToV3(*p), ToV3(*a)));
  const double r = d / L;
  out->x = ta->x + r * (tb->x - ta->x);
  out->y = ta->y + r * (tb->y - ta->y);
  return 1;
}

long CMathFunCls::_tcGetTextureOfTriangle(D_3DOT* a, D_3DOT* b, D_3DOT* c, D_3DOT* p, D_DOT* ta,
                                          D_DOT* tb, D_DOT* tc, D_DOT* out) {
  if (!a || !b || !c || !p || !ta || !tb || !tc || !out) return -1;
  V3 A = ToV3(*a), B = ToV3(*b), C = ToV3(*c), P = ToV3(*p);
  auto onSeg = [&](V3& s, V3& e) {
    const long code = _tcGM_CheckPntInLineSeg(&P, &s, &e);
    return code == 0 || code == 1;
  };
  if (onSeg(A, B)) {
    _tcGetTextureOfLine(a, b, ta, tb, p, out);
  } else if (onSeg(A, C)) {
    _tcGetTextureOfLine(a, c, ta, tc, p, out);
  } else if (onSeg(B, C)) {
    _tcGetTextureOfLine(b, c, tb, tc, p, out);
  } else {
    V3 pa, pb;
    double mua = 0, mub = 0;
    if (_tcGM_LineLineIntersect(&P, &A, &B, &C, &pa, &pb, &mua, &mub) == 1) {
      D_3DOT q = {pa.x, pa.y, pa.z};
      D_DOT tq = *tb;
      _tcGetTextureOfLine(b, c, tb, tc, &q, &tq);
      _tcGetTextureOfLine(a, &q, ta, &tq, p, out);
    }
  }
  return 1;
}
