// Rays and segments against triangles and boxes, and the side of a point
// against a triangulated surface or solid.
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

G3D_DVertex Vtx(const double* p) {
  return {p[0], p[1], p[2]};
}

// Unit normal of (b - a) x (c - a); zero for a degenerate triangle.
void UnitNormal(const double* a, const double* b, const double* c, double* n) {
  const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
  CMathFunCls::Normalise3D(n);
}

// Point-in-triangle on a bare double[3], writing a snapped point back.
long PntInTri(double* p, const double* a, const double* b, const double* c, long* pos) {
  G3D_DVertex x = Vtx(p), va = Vtx(a), vb = Vtx(b), vc = Vtx(c);
  const long r = CMathFunCls::IsPntInTriPanel(&x, &va, &vb, &vc, pos);
  p[0] = x.x;
  p[1] = x.y;
  p[2] = x.z;
  return r;
}

// Read access to the triangles of either layout; a triangle naming a vertex
// outside the point array is reported as unreadable.
struct VertexBufferSet {
  const G3D_DVertex* verts;
  long nVerts;
  const C3DTriData* tris;
  bool Get(long i, G3D_DVertex* t) const {
    for (int k = 0; k < 3; ++k) {
      const long v = tris[i].v[k];
      if (v < 0 || v >= nVerts) return false;
      t[k] = verts[v];
    }
    return true;
  }
};

struct PointNetSet {
  const KroPntStrcT* pts;
  long nPts;
  const KroNetStrcT* nets;
  bool Get(long i, G3D_DVertex* t) const {
    for (int k = 0; k < 3; ++k) {
      const long v = nets[i].pnt[k] - 1;
      if (v < 0 || v >= nPts) return false;
      t[k] = {pts[v].x, pts[v].y, pts[v].z};
    }
    return true;
  }
};

template <class Set>
long SegCutByOther(const Set& set, long nTris, long skip, G3D_DVertex* p, G3D_DVertex* q) {
  G3D_DVertex t[3];
  for (long i = 0; i < nTris; ++i) {
    if (i == skip || !set.Get(i, t)) continue;
    double x[3];
    if (CMathFunCls::line_tri(Ptr(p), Ptr(q), Ptr(&t[0]), Ptr(&t[1]), Ptr(&t[2]), x, nullptr) != 1)
      continue;
    G3D_DVertex hit = Vtx(x);
    if (CMathFunCls::Check3dPntAndSeg(p, q, &hit) == 0) return 1;
  }
  return 0;
}

template <class Set>
long PntAndSurf(const Set& set, long nTris, G3D_DVertex* p, long& tri) {
  const long entry = tri;
  if (entry < -1 || entry >= nTris) return -2;  // no such start triangle
  G3D_DVertex t[3];
  long first = entry;
  if (entry == -1) {
    double best = 1.79769313486232e+307;
    first = -1;
    for (long i = 0; i < nTris; ++i) {
      if (!set.Get(i, t)) continue;
      G3D_DVertex g;
      CMathFunCls::GetBaryOfTri(Ptr(&t[0]), Ptr(&t[1]), Ptr(&t[2]), Ptr(&g));
      const double dist = CMathFunCls::CalDist3dDot(&g, p);
      // Slivers have unreliable normals: never let one decide the side.
      if (dist < best && CMathFunCls::IsThinPlateTriangle(&t[0], &t[1], &t[2]) == -1) {
        best = dist;
        first = i;
      }
    }
    if (first < 0) first = 0;
  }
  // A triangle decides when p sees its centroid past every other triangle.
  auto decide = [&](long i, long& result) {
    if (!set.Get(i, t)) return false;
    G3D_DVertex g;
    CMathFunCls::GetBaryOfTri(Ptr(&t[0]), Ptr(&t[1]), Ptr(&t[2]), Ptr(&g));
    if (SegCutByOther(set, nTris, i, p, &g) != 0) return false;
    tri = i;
    result = CMathFunCls::CheckPntToSurfPos(p, &t[0], &t[1], &t[2]);
    return true;
  };
  long result = -2;
  if (decide(first, result)) return result;
  for (long lo = first - 1, hi = first + 1; lo >= 0 || hi <= nTris - 1; --lo, ++hi) {
    if (lo >= 0 && decide(lo, result)) return result;
    if (hi <= nTris - 1 && decide(hi, result)) return result;
  }
  if (entry == -1) tri = 0;
  return -2;
}

}  // namespace

long CMathFunCls::Check3dPntAndKroSurf(G3D_DVertex* p, G3D_DVertex* verts, long nVerts,
                                       C3DTriData* tris, long nTris, long& tri) {
  if (!p || !verts || !tris || nVerts <= 0 || nTris <= 0) {
    if (tri == -1) tri = 0;
    return -2;
  }
  return PntAndSurf(VertexBufferSet{verts, nVerts, tris}, nTris, p, tri);
}

long CMathFunCls::Check3dPntAndSurf(G3D_DVertex* p, KroPntStrcT* pts, long nPts, KroNetStrcT* nets,
                                    long nNets, long& tri) {
  if (!p || !pts || !nets || nPts <= 0 || nNets <= 0) {
    if (tri == -1) tri = 0;
    return -2;
  }
  return PntAndSurf(PointNetSet{pts, nPts, nets}, nNets, p, tri);
}

long CMathFunCls::CheckSegAndOtherKroSurf(long skip, G3D_DVertex* p, G3D_DVertex* q,
                                          G3D_DVertex* verts, long nVerts, C3DTriData* tris,
                                          long nTris) {
  if (!p || !q || !verts || !tris || nVerts <= 0) return 0;
  return SegCutByOther(VertexBufferSet{verts, nVerts, tris}, nTris, skip, p, q);
}

long CMathFunCls::CheckSegAndOtherSurf(long skip, G3D_DVertex* p, G3D_DVertex* q, KroPntStrcT* pts,
                                       long nPts, KroNetStrcT* nets, long nNets) {
  if (!p || !q || !pts || !nets || nPts <= 0) return 0;
  return SegCutByOther(PointNetSet{pts, nPts, nets}, nNets, skip, p, q);
}

short CMathFunCls::IsThinPlateTriangle(G3D_DVertex* a, G3D_DVertex* b, G3D_DVertex* c) {
  const double e[3] = {CalDist3dDot(a, b), CalDist3dDot(b, c), CalDist3dDot(c, a)};
  long unused = 0;
  const double longest = getMaxVal(e[0], e[1], e[2], unused);
  const short r = e[0] == longest ? 0 : (e[1] == longest ? 1 : 2);
  const double p = e[(r + 1) % 3], q = e[(r + 2) % 3];
  // A zero-length edge leaves no angle to measure: the triangle is flat.
  if (p * q == 0.0) return r;
  double cosine = (p * p + q * q - longest * longest) / (2.0 * p * q);
  cosine = cosine < -1.0 ? -1.0 : (cosine > 1.0 ? 1.0 : cosine);
  const double angle = std::acos(cosine) * 57.2957795131;
  return angle > 135.0 ? r : static_cast<short>(-1);
}

bool CMathFunCls::JudgePntInPolyhedron(G3D_DVertex* p, G3D_DVertex* q, KroPntStrcT* pts, long nPts,
                                       KroNetStrcT* nets, long nNets) {
  if (nNets < 1 || !p || !q || !pts || !nets) return false;
  const PointNetSet set{pts, nPts, nets};
  long crossings = 0;
  G3D_DVertex t[3];
  for (long i = 0; i < nNets; ++i) {
    if (!set.Get(i, t)) continue;
    G3D_DVertex probe = *p;
    if (IsPntInTriPanel(&probe, &t[0], &t[1], &t[2], nullptr)) return true;
    double x[3];
    if (line_tri(Ptr(p), Ptr(q), Ptr(&t[0]), Ptr(&t[1]), Ptr(&t[2]), x, nullptr) == 1) ++crossings;
  }
  return crossings % 2 == 1;
}

int CMathFunCls::Radial_Tri(double* o, double* dir, double* a, double* b, double* c, double* hit,
                            long* pos) {
  if (pos) *pos = 0;
  double n[3];
  UnitNormal(a, b, c, n);
  const double d = -Dot3(n, a);
  const double nd = Dot3(n, dir);
  if (std::fabs(nd) < 1e-5) return 0;
  // Both directions of the line count: t may be negative.
  const double t = -(Dot3(n, o) + d) / nd;
  for (int i = 0; i < 3; ++i) hit[i] = o[i] + t * dir[i];
  return PntInTri(hit, a, b, c, pos) ? 1 : 0;
}

int CMathFunCls::line_tri(double* p0, double* p1, double* t0, double* t1, double* t2, double* out,
                          long* pos) {
  if (pos) *pos = 0;
  double n[3];
  UnitNormal(t0, t1, t2, n);
  const double d = -Dot3(n, t0);
  const double s0 = Dot3(n, p0) + d, s1 = Dot3(n, p1) + d;
  if (std::fabs(s0) < 1e-6 && std::fabs(s1) < 1e-6) return 0;  // segment in the plane
  const double dir[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
  const double denom = Dot3(dir, n);
  if (std::fabs(denom) < 1e-5) return 0;
  const double t = -s0 / denom;
  // A little slack past p1 catches hits that rounding put just beyond it.
  if (t < 0.0 || t - 1.0 > 1e-5) return 0;
  for (int i = 0; i < 3; ++i) out[i] = p0[i] + t * dir[i];
  return PntInTri(out, t0, t1, t2, pos) ? 1 : 0;
}

int CMathFunCls::line_triF(double* p0, double* p1, double* a, double* b, double* c, double* out,
                           long* pos) {
  double coef[4];
  GetPanelCoef(a, b, c, coef);
  const double dir[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
  const double nd = Dot3(coef, dir);
  if (std::fabs(nd) < 1e-6) return 0;
  const double t = -(Dot3(coef, p0) + coef[3]) / nd;
  if (t < 0.0 || t > 1.0) return 0;
  for (int i = 0; i < 3; ++i) out[i] = p0[i] + t * dir[i];
  return PntInTri(out, a, b, c, pos) ? 1 : 0;
}

long CMathFunCls::GetTriByRadial(G3D_DVertex* o, G3D_DVertex* dir, G3D_DVertex* p1,
                                 G3D_DVertex* p2) {
  const double kFar = 10000000.0;
  *p1 = {o->x + kFar * dir->x, o->y + kFar * dir->y, o->z + kFar * dir->z};
  if (dir->x == 0.0 && dir->y == 0.0 && dir->z == 0.0) {
    *p2 = *o;
    return 0;
  }
  G3D_DVertex side = {p1->x + 10000.0, p1->y + 40000.0, p1->z};
  double axis[4];
  GetPanelCoef(Ptr(o), Ptr(p1), Ptr(&side), axis);
  if (axis[0] == 0.0 && axis[1] == 0.0 && axis[2] == 0.0) {
    // A ray along (1, 4, 0) lies in line with that offset and would give a
    // flat triangle: turn it about another axis instead.
    side = {p1->x, p1->y + 10000.0, p1->z + 40000.0};
    GetPanelCoef(Ptr(o), Ptr(p1), Ptr(&side), axis);
  }
  Normalise3D(axis);
  const double s = std::sin(0.08726646192371845);
  double q[4] = {s * axis[0], s * axis[1], s * axis[2], std::cos(0.003490658476948738)};
  double m[4][4];
  MatrixRotationQuaternion(m, q);
  G3D_DVertex rel = {p1->x - o->x, p1->y - o->y, p1->z - o->z}, turned;
  TransformCoor(&turned, &rel, m);
  *p2 = {o->x + turned.x, o->y + turned.y, o->z + turned.z};
  return 1;
}

char CMathFunCls::HitBoundingBox(double* const minB, double* const maxB, double* const origin,
                                 double* const dir, double* const coord) {
  enum Quadrant { kLow, kHigh, kMiddle };
  Quadrant quadrant[3];
  double candidate[3] = {0.0, 0.0, 0.0};
  bool inside = true;
  for (int i = 0; i < 3; ++i) {
    if (origin[i] < minB[i]) {
      quadrant[i] = kLow;
      candidate[i] = minB[i];
      inside = false;
    } else if (origin[i] > maxB[i]) {
      quadrant[i] = kHigh;
      candidate[i] = maxB[i];
      inside = false;
    } else {
      quadrant[i] = kMiddle;
    }
  }
  if (inside) {
    for (int i = 0; i < 3; ++i) coord[i] = origin[i];
    return 1;
  }
  double t[3];
  for (int i = 0; i < 3; ++i)
    t[i] = (quadrant[i] != kMiddle && dir[i] != 0.0) ? (candidate[i] - origin[i]) / dir[i] : -1.0;
  int plane = 0;
  for (int i = 1; i < 3; ++i)
    if (t[plane] < t[i]) plane = i;
  if (t[plane] < 0.0) return 0;
  for (int i = 0; i < 3; ++i) {
    if (i == plane) {
      coord[i] = candidate[i];
      continue;
    }
    coord[i] = origin[i] + t[plane] * dir[i];
    if (coord[i] < minB[i] || coord[i] > maxB[i]) return 0;
  }
  return 1;
}
