#include "kromesh/host/KroGeoMath.h"

#include <cmath>

namespace {

constexpr double kParallelTol = 1e-12;
constexpr double kDistTol = 1e-6;

struct V3 {
  double x, y, z;
};

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
V3 ToV3(const KRO::G3D_DVertex& p) {
  return {p.x, p.y, p.z};
}

// Distance from p to the closed segment a-b and the parameter of the foot
// on the line (unclamped).
double DistToSeg(const V3& a, const V3& b, const V3& p, double* tOut) {
  const V3 ab = Sub(b, a);
  const double len2 = Dot(ab, ab);
  double t = len2 > 0.0 ? Dot(Sub(p, a), ab) / len2 : 0.0;
  if (tOut) *tOut = t;
  if (t < 0.0) t = 0.0;
  if (t > 1.0) t = 1.0;
  const V3 foot{a.x + t * ab.x, a.y + t * ab.y, a.z + t * ab.z};
  return Len(Sub(p, foot));
}

double DistToLine(const V3& a, const V3& b, const V3& p) {
  const V3 ab = Sub(b, a);
  const double len = Len(ab);
  if (len <= 0.0) return Len(Sub(p, a));
  return Len(Cross(ab, Sub(p, a))) / len;
}

}  // namespace

int CMathCheckPosition::GM_intersLine_Plane(KRO::G3D_DVertex* out, const KRO::G3D_DVertex* start,
                                            const KRO::G3D_DVertex* dir, const G3DPLANE* plane) {
  if (!out || !start || !dir || !plane) return -1;
  const V3 n{plane->a, plane->b, plane->c};
  const V3 d = ToV3(*dir);
  const double nLen = Len(n), dLen = Len(d);
  const double nd = Dot(n, d);
  if (!(nLen > 0.0) || !(dLen > 0.0) || std::fabs(nd) / (nLen * dLen) < kParallelTol) return 0;
  const V3 s = ToV3(*start);
  const double t = -(Dot(n, s) + plane->d) / nd;
  out->x = s.x + t * d.x;
  out->y = s.y + t * d.y;
  out->z = s.z + t * d.z;
  return 1;
}

int CMathCheckPosition::Check3dPntAndSeg(KRO::G3D_DVertex* start, KRO::G3D_DVertex* end,
                                         KRO::G3D_DVertex* q) {
  if (!start || !end || !q) return -3;
  const V3 a = ToV3(*start), b = ToV3(*end), p = ToV3(*q);
  if (Len(Sub(b, a)) < kDistTol) return Len(Sub(p, a)) < kDistTol ? 0 : -2;
  double t = 0.0;
  if (DistToSeg(a, b, p, &t) < kDistTol) return 0;
  if (DistToLine(a, b, p) >= kDistTol) return -2;
  return t > 1.0 ? 1 : -1;
}

short CMathCheckPosition::GeoMath_CheckPntInLineSeg(double x1, double y1, double z1, double x2,
                                                    double y2, double z2, double px, double py,
                                                    double pz) {
  const V3 a{x1, y1, z1}, b{x2, y2, z2}, p{px, py, pz};
  if (Len(Sub(p, a)) < kDistTol || Len(Sub(p, b)) < kDistTol) return 0;
  return DistToSeg(a, b, p, nullptr) < kDistTol ? 1 : -1;
}

short CMathCheckPosition::GeoMath_CheckPntInTri(double ax, double ay, double az, double bx,
                                                double by, double bz, double cx, double cy,
                                                double cz, double px, double py, double pz,
                                                short* pos) {
  if (pos) *pos = -1;
  const V3 v[3] = {{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}};
  const V3 n = Cross(Sub(v[1], v[0]), Sub(v[2], v[0]));
  const double nLen = Len(n);
  if (!(nLen > 0.0)) return -2;
  // Project p onto the triangle's plane so that the edge tests below are
  // made in that plane.
  const double off = Dot(Sub({px, py, pz}, v[0]), n) / (nLen * nLen);
  const V3 p{px - off * n.x, py - off * n.y, pz - off * n.z};
  for (short i = 0; i < 3; ++i) {
    if (Len(Sub(p, v[i])) < kDistTol) {
      if (pos) *pos = i;
      return 0;
    }
  }
  for (short i = 0; i < 3; ++i) {
    if (DistToSeg(v[i], v[(i + 1) % 3], p, nullptr) < kDistTol) {
      if (pos) *pos = i;
      return -1;
    }
  }
  for (int i = 0; i < 3; ++i) {
    const V3 e = Sub(v[(i + 1) % 3], v[i]);
    if (Dot(Cross(e, Sub(p, v[i])), n) <= 0.0) return -2;
  }
  return 1;
}

int CMathVectorCal::GM_Normalise2DV(KRO::G_DTEXCOORD* v) {
  if (!v) return -1;
  const double len = std::sqrt(v->u * v->u + v->v * v->v);
  if (!(len > 0.0) || !std::isfinite(len)) return 0;
  v->u /= len;
  v->v /= len;
  return 1;
}
