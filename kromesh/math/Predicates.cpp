// Vector basics, point equality, point against segment, point in triangle,
// closest points of lines, 2D segment intersection and boxes.
#include <algorithm>
#include <cmath>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;

namespace {

constexpr double kRadToDeg = 57.2957795131;

double Dot3(const double* a, const double* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Len3(const double* v) {
  return std::sqrt(Dot3(v, v));
}

void Sub3(const double* a, const double* b, double* out) {
  out[0] = a[0] - b[0];
  out[1] = a[1] - b[1];
  out[2] = a[2] - b[2];
}

// Every component of a - b below eps in magnitude (strict).
bool AgreeWithin(const double* a, const double* b, double eps) {
  return std::fabs(a[0] - b[0]) < eps && std::fabs(a[1] - b[1]) < eps &&
         std::fabs(a[2] - b[2]) < eps;
}

double* Ptr(G3D_DVertex* v) {
  return &v->x;
}
const double* Ptr(const G3D_DVertex* v) {
  return &v->x;
}

// Acos in degrees of a cosine that rounding may have pushed past +-1.
double AcosDeg(double c) {
  return std::acos(std::clamp(c, -1.0, 1.0)) * kRadToDeg;
}

// Shared body of the two point-in-triangle tests (angle-sum method).
long PntInTri(G3D_DVertex* p, G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c, long* pos) {
  if (pos) {
    G3D_DVertex* verts[3] = {a, b, c};
    for (long i = 0; i < 3; ++i) {
      if (CMathFunCls::IsSame3DDot(*p, *verts[i])) {
        // Snap exactly, so that points meeting at a shared vertex coincide.
        *p = *verts[i];
        *pos = i + 1;
        return 1;
      }
    }
  }
  // A point well away from the triangle's box cannot bring the angle sum
  // within its tolerance of 360 degrees (nor lie on a vertex): the deficit
  // is at least about (gap / size)^2 radians, far above 1e-5 degrees for a
  // gap of a hundredth of the size; the arc cosines are skipped.
  {
    double lo[3], hi[3], size = 0.0;
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min({Ptr(a)[k], Ptr(b)[k], Ptr(c)[k]});
      hi[k] = std::max({Ptr(a)[k], Ptr(b)[k], Ptr(c)[k]});
      size = std::max(size, hi[k] - lo[k]);
    }
    const double gap = 1e-2 * size + 1e-5;
    for (int k = 0; k < 3; ++k)
      if (Ptr(p)[k] < lo[k] - gap || Ptr(p)[k] > hi[k] + gap) return 0;
  }
  double u[3][3];
  Sub3(Ptr(a), Ptr(p), u[0]);
  Sub3(Ptr(b), Ptr(p), u[1]);
  Sub3(Ptr(c), Ptr(p), u[2]);
  for (auto& v : u) {
    // p on a vertex: no angle can be formed; it lies on the closed triangle.
    if (Len3(v) == 0.0) return 1;
    CMathFunCls::Normalise3D(v);
  }
  const double t1 = AcosDeg(Dot3(u[0], u[1]));
  const double t2 = AcosDeg(Dot3(u[1], u[2]));
  const double t3 = AcosDeg(Dot3(u[2], u[0]));
  if (std::fabs(t1 + t2 + t3 - 360.0) > 1e-5) return 0;
  if (pos) {
    if (std::fabs(t1 - 180.0) < 1e-5)
      *pos = 1;
    else if (std::fabs(t2 - 180.0) < 1e-5)
      *pos = 2;
    else if (std::fabs(t3 - 180.0) < 1e-5)
      *pos = 3;
    else
      *pos = 0;
  }
  return 1;
}

}  // namespace

// ---- Vector basics --------------------------------------------------------

void CMathFunCls::Normalise3D(double* const v) {
  const double len = Len3(v);
  if (len == 0.0 || !std::isfinite(len)) return;
  v[0] /= len;
  v[1] /= len;
  v[2] /= len;
}

void CMathFunCls::Normalise2D(double* const v) {
  double len = std::sqrt(v[0] * v[0] + v[1] * v[1]);
  if (len < 1e-6) len = 1.0;
  v[0] /= len;
  v[1] /= len;
}

G3D_DVertex* CMathFunCls::Vec3dCross(G3D_DVertex* out, G3D_DVertex* a, G3D_DVertex* b) {
  const G3D_DVertex r = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z,
                         a->x * b->y - a->y * b->x};
  *out = r;
  return out;
}

double CMathFunCls::CalDist3dDot(G3D_DVertex* a, G3D_DVertex* b) {
  return _tcGM_CalcDist(a, b);
}

double CMathFunCls::_tcGM_CalcDist(const G3D_DVertex* a, const G3D_DVertex* b) {
  double d[3];
  Sub3(Ptr(a), Ptr(b), d);
  return Len3(d);
}

double CMathFunCls::CalDist2dDot(D_DOT* a, D_DOT* b) {
  return std::sqrt((a->x - b->x) * (a->x - b->x) + (a->y - b->y) * (a->y - b->y));
}

double CMathFunCls::CalVectorsAngle(G3D_DVertex* a, const G3D_DVertex* b) {
  const double lens = Len3(Ptr(a)) * Len3(Ptr(b));
  if (lens == 0.0) return 0.0;
  return std::acos(std::clamp(Dot3(Ptr(a), Ptr(b)) / lens, -1.0, 1.0));
}

void CMathFunCls::GetBaryOfTri(double* const a, double* const b, double* const c,
                               double* const out) {
  for (int i = 0; i < 3; ++i) out[i] = (a[i] + b[i] + c[i]) / 3.0;
}

double CMathFunCls::GetTriArea(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c) {
  return std::fabs(a->x * b->y - a->y * b->x + b->x * c->y - b->y * c->x + c->x * a->y -
                   c->y * a->x) /
         2.0;
}

void CMathFunCls::GetTriArea(double* const a, double* const b, double* const c, double* area) {
  double e[3];
  Sub3(a, b, e);
  const double l1 = Len3(e);
  Sub3(b, c, e);
  const double l2 = Len3(e);
  Sub3(c, a, e);
  const double l3 = Len3(e);
  const double s = (l1 + l2 + l3) / 2.0;
  const double prod = s * (s - l1) * (s - l2) * (s - l3);
  *area = prod > 0.0 ? std::sqrt(prod) : 0.0;
}

double CMathFunCls::GetQuadArea(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c, G3D_DVertex* d) {
  const G3D_DVertex* q[4] = {a, b, c, d};
  double sum = 0.0;
  for (int i = 0; i < 4; ++i) {
    const G3D_DVertex* s = q[i];
    const G3D_DVertex* t = q[(i + 1) % 4];
    sum += s->x * t->y - s->y * t->x;
  }
  return std::fabs(sum) / 2.0;
}

void CMathFunCls::GetTriangleNormal(double* const a, double* const b, double* const c,
                                    double* const n) {
  double u[3], v[3];
  Sub3(b, a, u);
  Sub3(c, b, v);
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
  Normalise3D(n);
}

void CMathFunCls::Get2dTriNorm(double* const a, double* const b, double* const c, double* z) {
  *z = (b[0] - a[0]) * (c[1] - b[1]) - (b[1] - a[1]) * (c[0] - b[0]);
}

double CMathFunCls::getMaxVal(double a, double b, double c, long& which) {
  double m = a;
  which = 0;
  if (b >= m) {
    m = b;
    which = 1;
  }
  if (c >= m) {
    m = c;
    which = 2;
  }
  return m;
}

long CMathFunCls::GetUnitVecToALin(G3D_DVertex* p, G3D_DVertex* q, G3D_DVertex* dir,
                                   G3D_DVertex* out) {
  double pq[3];
  Sub3(Ptr(p), Ptr(q), pq);
  const double dd = Dot3(Ptr(dir), Ptr(dir));
  const double t = dd > 0.0 ? Dot3(pq, Ptr(dir)) / dd : 0.0;
  out->x = q->x + t * dir->x - p->x;
  out->y = q->y + t * dir->y - p->y;
  out->z = q->z + t * dir->z - p->z;
  Normalise3D(Ptr(out));
  return 1;
}

void CMathFunCls::GetPnt(G3D_DVertex* a, G3D_DVertex* b, double z, G3D_DVertex* out) {
  const double dz = b->z - a->z;
  // A horizontal line has no point at another height; keep a's plan position.
  const double t = dz != 0.0 ? (z - a->z) / dz : 0.0;
  out->x = a->x + t * (b->x - a->x);
  out->y = a->y + t * (b->y - a->y);
  out->z = z;
}

auto CMathFunCls::MatrixRotationQuaternion(double (*const m)[4], double* q) -> double (*)[4] {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double n = x * x + y * y + z * z + w * w;
  const double s = n != 0.0 ? 2.0 / n : 0.0;
  m[0][0] = 1.0 - s * (y * y + z * z);
  m[0][1] = s * (x * y + w * z);
  m[0][2] = s * (x * z - w * y);
  m[0][3] = 0.0;
  m[1][0] = s * (x * y - w * z);
  m[1][1] = 1.0 - s * (x * x + z * z);
  m[1][2] = s * (y * z + w * x);
  m[1][3] = 0.0;
  m[2][0] = s * (x * z + w * y);
  m[2][1] = s * (y * z - w * x);
  m[2][2] = 1.0 - s * (x * x + y * y);
  m[2][3] = 0.0;
  m[3][0] = 0.0;
  m[3][1] = 0.0;
  m[3][2] = 0.0;
  m[3][3] = 1.0;
  return m;
}

G3D_DVertex* CMathFunCls::TransformCoor(G3D_DVertex* out, G3D_DVertex* p, double (*const m)[4]) {
  const double in[4] = {p->x, p->y, p->z, 1.0};
  double r[4];
  for (int j = 0; j < 4; ++j) r[j] = in[0] * m[0][j] + in[1] * m[1][j] + in[2] * m[2][j] + m[3][j];
  const double w = r[3] != 0.0 ? r[3] : 1.0;
  out->x = r[0] / w;
  out->y = r[1] / w;
  out->z = r[2] / w;
  return out;
}

G3D_DVertex* CMathFunCls::TransformVector(G3D_DVertex* out, G3D_DVertex* v, double (*const m)[4]) {
  double r[3];
  for (int j = 0; j < 3; ++j) r[j] = v->x * m[0][j] + v->y * m[1][j] + v->z * m[2][j];
  Normalise3D(r);
  out->x = r[0];
  out->y = r[1];
  out->z = r[2];
  return out;
}

// ---- Point equality ---------------------------------------------------------

bool CMathFunCls::IsSame3DDot(G3D_DVertex a, G3D_DVertex b) {
  return IsSame3DDot_Prec(a, b, 1e-6);
}

bool CMathFunCls::IsSame3DDot_Prec(G3D_DVertex a, G3D_DVertex b, double eps) {
  return AgreeWithin(Ptr(&a), Ptr(&b), eps);
}

bool CMathFunCls::IsSame3DDot_2Bit(G3D_DVertex a, G3D_DVertex b) {
  return IsSame3DDot_Prec(a, b, 0.01);
}

long CMathFunCls::IsSame2DDot(D_DOT* a, D_DOT* b) {
  return (std::fabs(a->x - b->x) < 1e-7 && std::fabs(a->y - b->y) < 1e-7) ? 1 : 0;
}

// ---- Degenerate triangles ---------------------------------------------------

bool CMathFunCls::IsLegalTri(G3D_DVertex* p0, G3D_DVertex* p1, G3D_DVertex* p2) {
  if (IsSame3DDot_Prec(*p0, *p1, 1e-6) || IsSame3DDot_Prec(*p1, *p2, 1e-6) ||
      IsSame3DDot_Prec(*p2, *p0, 1e-6))
    return false;
  double area = 0.0;
  GetTriArea(Ptr(p0), Ptr(p1), Ptr(p2), &area);
  if (!(area > 0.0)) return false;
  // Degeneracy is a matter of shape, not of size: an absolute area floor
  // would throw away the small but sound triangles that a cut leaves along
  // its cut lines (and every triangle of a model in small units). A
  // collapsed triangle has (nearly) parallel edge directions at any vertex;
  // Heron's formula alone cannot tell, its rounding gives needles an area.
  double u[3], v[3];
  Sub3(Ptr(p1), Ptr(p0), u);
  Sub3(Ptr(p2), Ptr(p0), v);
  Normalise3D(u);
  Normalise3D(v);
  const double neg[3] = {-v[0], -v[1], -v[2]};
  if (AgreeWithin(u, neg, 1e-6) || AgreeWithin(u, v, 1e-6)) return false;
  return true;
}

// ---- Point against segment ----------------------------------------------------

long CMathFunCls::Check3dPntAndSeg(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* p) {
  if (IsSame3DDot(*p, *a) || IsSame3DDot(*p, *b)) return 0;
  double u[3], w[3];
  Sub3(Ptr(b), Ptr(a), u);
  Sub3(Ptr(p), Ptr(b), w);
  Normalise3D(u);
  Normalise3D(w);
  if (AgreeWithin(u, w, 1e-5)) return 1;
  Sub3(Ptr(b), Ptr(p), u);
  Sub3(Ptr(p), Ptr(a), w);
  Normalise3D(u);
  Normalise3D(w);
  if (AgreeWithin(u, w, 1e-5)) return 0;
  Sub3(Ptr(b), Ptr(a), u);
  Sub3(Ptr(a), Ptr(p), w);
  Normalise3D(u);
  Normalise3D(w);
  // A degenerate segment (a == b) leaves u zero, which agrees with nothing.
  if (Len3(u) != 0.0 && AgreeWithin(u, w, 1e-5)) return -1;
  return -2;
}

long CMathFunCls::_tcGM_CheckPntInLineSeg(G3D_DVertex* p, G3D_DVertex* a, G3D_DVertex* b) {
  if (!p || !a || !b) return -1;
  if (IsSame3DDot(*p, *a) || IsSame3DDot(*p, *b)) return 0;
  double u[3], w[3];
  Sub3(Ptr(p), Ptr(a), u);
  Sub3(Ptr(b), Ptr(p), w);
  const double da = Len3(u), db = Len3(w);
  for (int i = 0; i < 3; ++i) {
    u[i] /= da;
    w[i] /= db;
  }
  if (AgreeWithin(u, w, 0.001)) return 1;
  for (int i = 0; i < 3; ++i)
    if (std::fabs(std::fabs(u[i]) - std::fabs(w[i])) >= 1e-6) return 2;
  return da * da <= db * db ? 3 : 4;
}

short CMathFunCls::_tcGeoMath_CheckPntInLineSeg(double x1, double y1, double z1, double x2,
                                                double y2, double z2, double px, double py,
                                                double pz) {
  const double a[3] = {x1, y1, z1}, b[3] = {x2, y2, z2}, p[3] = {px, py, pz};
  if (AgreeWithin(p, a, 0.0001) || AgreeWithin(p, b, 0.0001)) return 0;
  double u[3], w[3];
  Sub3(p, a, u);
  Sub3(b, p, w);
  Normalise3D(u);
  Normalise3D(w);
  return AgreeWithin(u, w, 0.0001) ? 1 : 0;
}

short CMathFunCls::_tcGeoMath_CheckPntInLineSegSec(double x1, double y1, double x2, double y2,
                                                   double px, double py) {
  const double tol = 0.0001;
  if ((std::fabs(px - x1) < tol && std::fabs(py - y1) < tol) ||
      (std::fabs(px - x2) < tol && std::fabs(py - y2) < tol))
    return 0;
  double u[2] = {px - x1, py - y1}, w[2] = {px - x2, py - y2};
  const double lu = std::hypot(u[0], u[1]), lw = std::hypot(w[0], w[1]);
  u[0] /= lu;
  u[1] /= lu;
  w[0] /= lw;
  w[1] /= lw;
  // Both ends seen in the same direction: p is on the line past one of them.
  return (std::fabs(u[0] - w[0]) < tol && std::fabs(u[1] - w[1]) < tol) ? 1 : -1;
}

// ---- Point in triangle -------------------------------------------------------

long CMathFunCls::IsPntInTriPanel(G3D_DVertex* p, G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c,
                                  long* pos) {
  return PntInTri(p, a, b, c, pos);
}

long CMathFunCls::IsPntInTriPanel2(G3D_DVertex* p, G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c,
                                   long* pos) {
  return PntInTri(p, a, b, c, pos);
}

// ---- Lines ----------------------------------------------------------------

int CMathFunCls::_tcGM_LineLineIntersect(const G3D_DVertex* p1, const G3D_DVertex* p2,
                                         const G3D_DVertex* p3, const G3D_DVertex* p4,
                                         G3D_DVertex* pa, G3D_DVertex* pb, double* mua,
                                         double* mub) {
  const double eps = 1e-6;
  const double zero[3] = {0.0, 0.0, 0.0};
  double p13[3], p43[3], p21[3];
  Sub3(Ptr(p1), Ptr(p3), p13);
  Sub3(Ptr(p4), Ptr(p3), p43);
  if (AgreeWithin(p43, zero, eps)) return 0;
  Sub3(Ptr(p2), Ptr(p1), p21);
  if (AgreeWithin(p21, zero, eps)) return 0;
  const double d1343 = Dot3(p13, p43), d4321 = Dot3(p43, p21), d1321 = Dot3(p13, p21);
  const double d4343 = Dot3(p43, p43), d2121 = Dot3(p21, p21);
  const double denom = d2121 * d4343 - d4321 * d4321;
  if (std::fabs(denom) < eps) return 0;
  const double ma = (d1343 * d4321 - d1321 * d4343) / denom;
  const double mb = (d1343 + d4321 * ma) / d4343;
  *mua = ma;
  *mub = mb;
  pa->x = p1->x + ma * p21[0];
  pa->y = p1->y + ma * p21[1];
  pa->z = p1->z + ma * p21[2];
  pb->x = p3->x + mb * p43[0];
  pb->y = p3->y + mb * p43[1];
  pb->z = p3->z + mb * p43[2];
  return 1;
}

bool CMathFunCls::CalTwoLineInsercDot(G3D_DVertex& a1, G3D_DVertex& a2, G3D_DVertex& b1,
                                      G3D_DVertex& b2, G3D_DVertex& out) {
  G3D_DVertex pa, pb;
  double mua = 0.0, mub = 0.0;
  if (!_tcGM_LineLineIntersect(&a1, &a2, &b1, &b2, &pa, &pb, &mua, &mub)) return false;
  const long ca = _tcGM_CheckPntInLineSeg(&pa, &a1, &a2);
  if (ca != 0 && ca != 1) return false;
  // pa lies off line b when the lines are skew.
  const long cb = _tcGM_CheckPntInLineSeg(&pa, &b1, &b2);
  if (cb != 0 && cb != 1) return false;
  out = pa;
  return true;
}

bool CMathFunCls::LinLinIntsect(double* const a1, double* const a2, double* const b1,
                                double* const b2, double* out) {
  const double eps = 1e-6;
  auto same = [eps](const double* p, const double* q) {
    return std::fabs(p[0] - q[0]) < eps && std::fabs(p[1] - q[1]) < eps;
  };
  if (same(a1, a2) || same(b1, b2)) return false;
  double ka, kb, kc;
  if (std::fabs(a1[0] - a2[0]) >= eps) {
    ka = (a1[1] - a2[1]) / (a1[0] - a2[0]);
    kb = -1.0;
    kc = a1[1] - ka * a1[0];
  } else {
    ka = 1.0;
    kb = 0.0;
    kc = -a1[0];
  }
  const double den = -(ka * (b2[0] - b1[0]) + kb * (b2[1] - b1[1]));
  if (std::fabs(den) < eps) return false;
  const double t = (ka * b1[0] + kb * b1[1] + kc) / den;
  if (t < 0.0 || t > 1.0) return false;
  const double q[2] = {b1[0] + t * (b2[0] - b1[0]), b1[1] + t * (b2[1] - b1[1])};
  const double lenA = std::hypot(a1[0] - a2[0], a1[1] - a2[1]);
  const double d1 = std::hypot(a1[0] - q[0], a1[1] - q[1]);
  const double d2 = std::hypot(a2[0] - q[0], a2[1] - q[1]);
  if (std::fabs(lenA - d1 - d2) >= eps) return false;
  if (out) {
    out[0] = q[0];
    out[1] = q[1];
  }
  return true;
}

// ---- Boxes --------------------------------------------------------------

void CMathFunCls::Get3DConvexBox(KroPntStrcT* pts, long n, tctagD3ConvexBox* box) {
  *box = KroEmptyD3Box();
  if (!pts) return;
  for (long i = 0; i < n; ++i) {
    const KroPntStrcT& p = pts[i];
    box->xmin = std::min(box->xmin, p.x);
    box->xmax = std::max(box->xmax, p.x);
    box->ymin = std::min(box->ymin, p.y);
    box->ymax = std::max(box->ymax, p.y);
    box->zmin = std::min(box->zmin, p.z);
    box->zmax = std::max(box->zmax, p.z);
  }
}

void CMathFunCls::Get2DConvexBox(KroPntStrcT* pts, long n, tctagD2ConvexBox* box) {
  *box = KroEmptyD2Box();
  if (!pts) return;
  for (long i = 0; i < n; ++i) {
    box->xmin = std::min(box->xmin, pts[i].x);
    box->xmax = std::max(box->xmax, pts[i].x);
    box->ymin = std::min(box->ymin, pts[i].y);
    box->ymax = std::max(box->ymax, pts[i].y);
  }
}

long CMathFunCls::Get8VertexOfAABB(G3D_DVertex* const out, tctagD3ConvexBox* box) {
  const double zs[2] = {box->zmin, box->zmax};
  for (int k = 0; k < 2; ++k) {
    out[4 * k + 0] = {box->xmin, box->ymin, zs[k]};
    out[4 * k + 1] = {box->xmin, box->ymax, zs[k]};
    out[4 * k + 2] = {box->xmax, box->ymax, zs[k]};
    out[4 * k + 3] = {box->xmax, box->ymin, zs[k]};
  }
  return 1;
}

long CMathFunCls::CheckPntAndAABB(double* const box6, G3D_DVertex* p, bool& flag) {
  flag = false;
  const double* v = Ptr(p);
  for (int i = 0; i < 3; ++i)
    if (v[i] < box6[i] || v[i] > box6[i + 3]) return -1;
  return 1;
}

long CMathFunCls::CheckPntAndAABB(G3D_DVertex* p, tctagD3ConvexBox* box) {
  if (p->x >= box->xmin && p->x <= box->xmax) return 1;
  if (p->y >= box->ymin && p->y <= box->ymax) return 1;
  if (p->z >= box->zmin && p->z <= box->zmax) return 1;
  return -1;
}

long CMathFunCls::CheckTwoAABB(tctagD3ConvexBox* a, tctagD3ConvexBox* b) {
  G3D_DVertex corners[8];
  Get8VertexOfAABB(corners, a);
  for (auto& c : corners)
    if (CheckPntAndAABB(&c, b) == 1) return 1;
  Get8VertexOfAABB(corners, b);
  for (auto& c : corners)
    if (CheckPntAndAABB(&c, a) == 1) return 1;
  return 0;
}
