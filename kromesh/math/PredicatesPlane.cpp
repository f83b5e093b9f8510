// Planes and the side of a point against a plane or a triangle.
#include <algorithm>
#include <cmath>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;

namespace {

double Dot3(const double* a, const double* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double* Ptr(G3D_DVertex* v) {
  return &v->x;
}

// Unit normal of (b - a) x (c - a); zero for a degenerate triangle.
void UnitNormalFromA(const double* a, const double* b, const double* c, double* n) {
  const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
  CMathFunCls::Normalise3D(n);
}

double PlaneValue(const double* p, const double* coef) {
  return Dot3(p, coef) + coef[3];
}

}  // namespace

long CMathFunCls::GetPanelCoef(double* const a, double* const b, double* const c,
                               double* const coef) {
  UnitNormalFromA(a, b, c, coef);
  coef[3] = -Dot3(coef, a);
  // Exact zeros keep axis-aligned planes axis-aligned in later comparisons.
  for (int i = 0; i < 4; ++i)
    if (std::fabs(coef[i]) < 1e-10) coef[i] = 0.0;
  return 1;
}

short CMathFunCls::GetZPlane(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c, double* coef) {
  const double det = (b->x - a->x) * (c->y - a->y) - (b->y - a->y) * (c->x - a->x);
  if (std::fabs(det) < 1e-6) return 0;
  coef[1] = ((b->z - a->z) * (c->y - a->y) - (b->y - a->y) * (c->z - a->z)) / det;
  coef[2] = ((b->x - a->x) * (c->z - a->z) - (b->z - a->z) * (c->x - a->x)) / det;
  coef[0] = a->z - coef[1] * a->x - coef[2] * a->y;
  return 1;
}

float CMathFunCls::CalcSignedDistPntPlane(const double* const p, const double* const coef) {
  // Compared in double before narrowing, so 0.001 itself stays off the plane.
  const double v = PlaneValue(p, coef);
  if (std::fabs(v) < 0.001) return 0.0f;
  return static_cast<float>(v);
}

long CMathFunCls::Check3dPntAndPanel(G3D_DVertex* p, double* coef) {
  if (!p || !coef) return -1;
  const float v = CalcSignedDistPntPlane(Ptr(p), coef);
  if (v > 0.0f) return 1;
  if (v == 0.0f) return 0;
  return -1;
}

long CMathFunCls::Check3dPntAndPanelF(G3D_DVertex* p, G3D_DVertex* a, G3D_DVertex* b,
                                      G3D_DVertex* c) {
  double coef[4];
  GetPanelCoef(Ptr(a), Ptr(b), Ptr(c), coef);
  return Check3dPntAndPanel(p, coef);
}

bool CMathFunCls::PntIsOnPanel(double* p, double* coef) {
  return std::fabs(PlaneValue(p, coef)) < 0.001;
}

void CMathFunCls::GetDistOfPntToPanel(G3D_DVertex* p, double* coef, double* dist) {
  const double v = std::fabs(PlaneValue(Ptr(p), coef));
  const double len = std::sqrt(Dot3(coef, coef));
  *dist = len > 0.0 ? v / len : v;
}

void CMathFunCls::GetDistOfPntToPanel(double* const p, double* const a, double* const b,
                                      double* const c, double* dist) {
  double coef[4];
  GetPanelCoef(a, b, c, coef);
  *dist = PlaneValue(p, coef);
}

long CMathFunCls::GetPanelProjDot(G3D_DVertex* p, double* coef, G3D_DVertex* out, double* t) {
  if (!coef) return -1;
  const double nn = Dot3(coef, coef);
  const double s = nn > 0.0 ? -PlaneValue(Ptr(p), coef) / nn : 0.0;
  out->x = p->x + s * coef[0];
  out->y = p->y + s * coef[1];
  out->z = p->z + s * coef[2];
  if (t) *t = std::fabs(s) < 1e-6 ? 0.0 : s;
  return 1;
}

long CMathFunCls::GetOrgDotViaProj(G3D_DVertex* p, double* dir, double t, G3D_DVertex* out) {
  if (!dir) return -1;
  out->x = p->x - t * dir[0];
  out->y = p->y - t * dir[1];
  out->z = p->z - t * dir[2];
  return 1;
}

long CMathFunCls::CheckPntToSurfPos(G3D_DVertex* p, G3D_DVertex* a, G3D_DVertex* b,
                                    G3D_DVertex* c) {
  double g[3], n[3];
  GetBaryOfTri(Ptr(a), Ptr(b), Ptr(c), g);
  double u[3] = {p->x - g[0], p->y - g[1], p->z - g[2]};
  // The centroid lies in the triangle's plane: report "in the plane" rather
  // than an angle to a direction that does not exist.
  if (Dot3(u, u) == 0.0) return 0;
  Normalise3D(u);
  GetTriangleNormal(Ptr(a), Ptr(b), Ptr(c), n);
  const double cosine = Dot3(u, n);
  // Beyond 1e-8 either way the angle is more than 5e-7 degrees from 90:
  // the sign alone gives the answer the angle would.
  if (cosine > 1e-8) return 1;
  if (cosine < -1e-8) return -1;
  const double angle = std::acos(std::clamp(cosine, -1.0, 1.0)) * 57.2957795131;
  if (std::fabs(angle - 90.0) < 1e-7) return 0;
  if (angle >= 90.0) return -1;
  return 1;
}

long CMathFunCls::GetDotPosToPolyh(G3D_DVertex* n, G3D_DVertex* v) {
  return Dot3(Ptr(n), Ptr(v)) > 0.0 ? 1 : -1;
}

long CMathFunCls::GetDotPosToPolyh(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c, G3D_DVertex* v) {
  G3D_DVertex n;
  GetTriangleNormal(Ptr(a), Ptr(b), Ptr(c), Ptr(&n));
  return GetDotPosToPolyh(&n, v);
}

void CMathFunCls::CheckTriDir(G3D_DVertex* v, G3D_DVertex* ref) {
  if (CalVectorsAngle(v, ref) > 1.5707963) {
    v->x = -v->x;
    v->y = -v->y;
    v->z = -v->z;
  }
}

bool CMathFunCls::IsOnOneSurf_Tri_Tri(G3D_DVertex& a1, G3D_DVertex& b1, G3D_DVertex& c1,
                                      G3D_DVertex& a2, G3D_DVertex& b2, G3D_DVertex& c2) {
  double n1[3], n2[3];
  UnitNormalFromA(Ptr(&a1), Ptr(&b1), Ptr(&c1), n1);
  UnitNormalFromA(Ptr(&a2), Ptr(&b2), Ptr(&c2), n2);
  return std::fabs(n1[0] - n2[0]) < 1e-8 && std::fabs(n1[1] - n2[1]) < 1e-8 &&
         std::fabs(n1[2] - n2[2]) < 1e-8;
}
