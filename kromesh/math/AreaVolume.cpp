// Plan areas, cut-and-fill volumes and the small linear solver.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/MeasureGeom.h"

using KRO::G3D_DVertex;
using namespace kromesh_measure;

namespace {

constexpr double kLevelTol = 1e-6;

/// Point of edge a-b at height z. The parameter is clamped to the edge, so
/// that an edge lying (almost) level at z yields its end a instead of a
/// division by zero or a point far outside the triangle.
G3D_DVertex CrossingAt(const G3D_DVertex& a, const G3D_DVertex& b, double z) {
  const double dz = b.z - a.z;
  double t = 0.0;
  if (dz != 0.0) t = std::min(1.0, std::max(0.0, (z - a.z) / dz));
  return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), z};
}

/// Ratio of true to projected area of the triangle's plane; 1 for a
/// vertical or degenerate triangle (whose projected area is then ~0).
double SlopeFactor(const G3D_DVertex& a, const G3D_DVertex& b, const G3D_DVertex& c) {
  double coef[3];
  if (!ZPlane(a, b, c, coef)) return 1.0;
  return std::sqrt(coef[1] * coef[1] + 1.0 + coef[2] * coef[2]);
}

/// Copies net's three points; false when a point number is out of range.
bool NetPoints(const KroPntStrcT* pts, const KroNetStrcT& net, long nPts, G3D_DVertex* tri) {
  for (int k = 0; k < 3; ++k) {
    const long id = net.pnt[k];
    if (id < 1 || (nPts > 0 && id > nPts)) return false;
    const KroPntStrcT& p = pts[id - 1];
    tri[k] = {p.x, p.y, p.z};
  }
  return true;
}

/// Sum of the cut volumes of the nets against z0.
double SumVolumeAbove(const KroPntStrcT* pts, const KroNetStrcT* nets, long nPts, long nNets,
                      double z0) {
  double sum = 0.0;
  for (long i = 0; i < nNets; ++i) {
    G3D_DVertex tri[3];
    if (!NetPoints(pts, nets[i], nPts, tri)) continue;
    VolumeInfoStrcT1 info{};
    CMathFunCls::CalTriangleVolume(tri, z0, &info);
    sum += info.volumeAbove;
  }
  return sum;
}

}  // namespace

long CMathFunCls::CalTriangleVolume(G3D_DVertex* tri, double z0, VolumeInfoStrcT1* info) {
  if (!tri || !info) return -1;
  for (int i = 0; i < 2; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (tri[j].z < tri[i].z) std::swap(tri[i], tri[j]);
  const G3D_DVertex &p0 = tri[0], &p1 = tri[1], &p2 = tri[2];
  const double h0 = p0.z - z0, h1 = p1.z - z0, h2 = p2.z - z0;

  const double A = TriAreaXY(p0, p1, p2);
  if (std::fabs(h0) < kLevelTol && std::fabs(h1) < kLevelTol && std::fabs(h2) < kLevelTol) {
    info->planAreaLevel = A;
    return 1;
  }
  // The parts of a split triangle lie in its plane, so they share its slope;
  // taking it from the whole triangle keeps slivers from being measured flat.
  const double slope = SlopeFactor(p0, p1, p2);
  const double S = A * slope;

  if (h0 >= kLevelTol) {
    info->planAreaAbove = A;
    info->surfAreaAbove = S;
    info->volumeAbove = std::max(0.0, (h0 + h1 + h2) * A / 3.0);
    return 1;
  }
  if (h2 <= kLevelTol) {
    info->planAreaBelow = A;
    info->surfAreaBelow = S;
    info->volumeBelow = std::max(0.0, -(h0 + h1 + h2) * A / 3.0);
    return 1;
  }
  if (h1 <= 0.0) {
    // Only p2 above: a small triangle on top, a quadrilateral below.
    const G3D_DVertex q1 = CrossingAt(p2, p1, z0), q0 = CrossingAt(p2, p0, z0);
    const double At = TriAreaXY(p2, q1, q0);
    info->planAreaAbove = At;
    info->volumeAbove = std::max(0.0, h2 * At / 3.0);
    info->surfAreaAbove = At * slope;
    const double Vtop = ((p2.z - p1.z) + (p2.z - p0.z)) * A / 3.0;
    const double Vt = ((p2.z - q1.z) + (p2.z - q0.z)) * At / 3.0;
    const double Aq = QuadAreaXY(q1, p1, p0, q0);
    info->volumeBelow = std::max(0.0, Vtop - (Vt + h2 * Aq));
    info->planAreaBelow = std::max(0.0, A - At);
    info->surfAreaBelow = std::max(0.0, S - info->surfAreaAbove);
    return 1;
  }
  // Only p0 below: the mirror image.
  const G3D_DVertex q1 = CrossingAt(p0, p1, z0), q2 = CrossingAt(p0, p2, z0);
  const double Ab = TriAreaXY(p0, q1, q2);
  const double depth = z0 - p0.z;
  info->planAreaBelow = Ab;
  info->volumeBelow = std::max(0.0, depth * Ab / 3.0);
  info->surfAreaBelow = Ab * slope;
  const double Vbot = ((p1.z - p0.z) + (p2.z - p0.z)) * A / 3.0;
  const double Vb = ((q1.z - p0.z) + (q2.z - p0.z)) * Ab / 3.0;
  const double Aq = QuadAreaXY(q1, p1, p2, q2);
  info->volumeAbove = std::max(0.0, Vbot - (Vb + depth * Aq));
  info->planAreaAbove = std::max(0.0, A - Ab);
  info->surfAreaAbove = std::max(0.0, S - info->surfAreaBelow);
  return 1;
}

long CMathFunCls::CalDrugAndFillVolume(KroPntStrcT* pts, KroNetStrcT* nets, long nPts, long nNets,
                                       double z0, double* cut, double* fill) {
  if (!pts || !nets || !cut || !fill) return -1;
  *cut = 0.0;
  *fill = 0.0;
  for (long i = 0; i < nNets; ++i) {
    G3D_DVertex tri[3];
    if (!NetPoints(pts, nets[i], nPts, tri)) continue;
    VolumeInfoStrcT1 info{};
    CalTriangleVolume(tri, z0, &info);
    *cut += info.volumeAbove;
    *fill += info.volumeBelow;
  }
  return 1;
}

double CMathFunCls::CalPolyhedronVolume(KroPntStrcT* pts1, KroNetStrcT* nets1, KroPntStrcT* pts2,
                                        KroNetStrcT* nets2, long nPts, long nNets) {
  if (!pts1 || !nets1 || !pts2 || !nets2 || nPts < 1) return 0.0;
  double zmin = pts1[0].z;
  for (long i = 0; i < nPts; ++i) zmin = std::min(zmin, std::min(pts1[i].z, pts2[i].z));
  // Far enough below both surfaces that no triangle straddles the plane.
  const double zref = zmin - 100.0;
  const double v1 = SumVolumeAbove(pts1, nets1, nPts, nNets, zref);
  const double v2 = SumVolumeAbove(pts2, nets2, nPts, nNets, zref);
  return std::fabs(v1 - v2);
}

double CMathFunCls::CalTriNetArea(KroPntStrcT* pts, KroNetStrcT* nets, long nPts, long nNets) {
  if (!pts || !nets) return 0.0;
  double area = 0.0;
  for (long i = 0; i < nNets; ++i) {
    G3D_DVertex tri[3];
    if (!NetPoints(pts, nets[i], nPts, tri)) continue;
    area += TriAreaXY(tri[0], tri[1], tri[2]);
  }
  return area;
}

long CMathFunCls::GetTetVolume(double* const a, double* const b, double* const c, double* const d,
                               double* vol) {
  if (!a || !b || !c || !d || !vol) return -1;
  const G3D_DVertex A{a[0], a[1], a[2]}, B{b[0], b[1], b[2]}, C{c[0], c[1], c[2]};
  // Without a plane through a, b, c the distance of d is undefined.
  const G3D_DVertex e1 = Sub(B, A), e2 = Sub(C, A);
  const G3D_DVertex n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                      e1.x * e2.y - e1.y * e2.x};
  if (!(Len(n) > 0.0)) {
    *vol = 0.0;
    return 0;
  }
  double dist = 0.0;
  GetDistOfPntToPanel(d, a, b, c, &dist);
  *vol = TriAreaXY(A, B, C) * dist / 3.0;
  return 1;
}

long CMathFunCls::CalEquCoef(G3D_DVertex* pts, double* values, double* coef, long n) {
  if (!pts || !values || !coef) return -1;
  if (n != 4 && n != 8) return 1;
  std::vector<double> aug;
  try {
    aug.assign(static_cast<size_t>(n * (n + 1)), 0.0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (long i = 0; i < n; ++i) {
    const double x = pts[i].x, y = pts[i].y, z = pts[i].z;
    double* row = &aug[static_cast<size_t>(i * (n + 1))];
    if (n == 4) {
      row[0] = x;
      row[1] = y;
      row[2] = z;
      row[3] = 1.0;
    } else {
      row[0] = 1.0;
      row[1] = x;
      row[2] = y;
      row[3] = z;
      row[4] = x * y;
      row[5] = y * z;
      row[6] = z * x;
      row[7] = x * y * z;
    }
    row[n] = values[i];
  }
  return GetCeofWithGauss(aug.data(), coef, n);
}

long CMathFunCls::GetCeofWithGauss(double* aug, double* x, long n) {
  if (!aug || !x || n < 1) return -1;
  const long w = n + 1;
  auto at = [aug, w](long r, long c) -> double& { return aug[r * w + c]; };
  for (long k = 0; k < n; ++k) {
    long piv = k;
    for (long r = k + 1; r < n; ++r)
      if (std::fabs(at(r, k)) > std::fabs(at(piv, k))) piv = r;
    if (at(piv, k) == 0.0) return 0;
    if (piv != k)
      for (long c = 0; c < w; ++c) std::swap(at(k, c), at(piv, c));
    const double p = at(k, k);
    for (long c = k; c < w; ++c) at(k, c) /= p;
    for (long r = 0; r < n; ++r) {
      if (r == k) continue;
      const double f = at(r, k);
      if (f == 0.0) continue;
      for (long c = k; c < w; ++c) at(r, c) -= f * at(k, c);
    }
  }
  for (long i = 0; i < n; ++i) x[i] = at(i, n);
  return 1;
}
