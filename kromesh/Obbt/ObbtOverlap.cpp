// Overlap tests of the collision query: oriented box against oriented box,
// triangle against triangle. Both are separating-axis tests.
#include <cmath>

#include "kromesh/Obbt/ObbtInternal.h"

namespace obbt_detail {

int BoxSeparation(const double B[3][3], const double T[3], const double a[3], const double b[3]) {
  // The widening keeps the test conservative when box edges are nearly
  // parallel and the cross-product axes degenerate.
  constexpr double kWiden = 1e-6;
  double Bf[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) Bf[i][j] = std::fabs(B[i][j]) + kWiden;

  double s, r;
  // Face axes of A and B, in the order that prunes most pairs early.
  s = T[0];
  r = a[0] + b[0] * Bf[0][0] + b[1] * Bf[0][1] + b[2] * Bf[0][2];
  if (std::fabs(s) > r) return 1;

  s = T[0] * B[0][0] + T[1] * B[1][0] + T[2] * B[2][0];
  r = b[0] + a[0] * Bf[0][0] + a[1] * Bf[1][0] + a[2] * Bf[2][0];
  if (std::fabs(s) > r) return 2;

  s = T[1];
  r = a[1] + b[0] * Bf[1][0] + b[1] * Bf[1][1] + b[2] * Bf[1][2];
  if (std::fabs(s) > r) return 3;

  s = T[2];
  r = a[2] + b[0] * Bf[2][0] + b[1] * Bf[2][1] + b[2] * Bf[2][2];
  if (std::fabs(s) > r) return 4;

  s = T[0] * B[0][1] + T[1] * B[1][1] + T[2] * B[2][1];
  r = b[1] + a[0] * Bf[0][1] + a[1] * Bf[1][1] + a[2] * Bf[2][1];
  if (std::fabs(s) > r) return 5;

  s = T[0] * B[0][2] + T[1] * B[1][2] + T[2] * B[2][2];
  r = b[2] + a[0] * Bf[0][2] + a[1] * Bf[1][2] + a[2] * Bf[2][2];
  if (std::fabs(s) > r) return 6;

  // Edge-edge axes Ai x Bj.
  s = T[2] * B[1][0] - T[1] * B[2][0];
  r = a[1] * Bf[2][0] + a[2] * Bf[1][0] + b[1] * Bf[0][2] + b[2] * Bf[0][1];
  if (std::fabs(s) > r) return 7;

  s = T[2] * B[1][1] - T[1] * B[2][1];
  r = a[1] * Bf[2][1] + a[2] * Bf[1][1] + b[0] * Bf[0][2] + b[2] * Bf[0][0];
  if (std::fabs(s) > r) return 8;

  s = T[2] * B[1][2] - T[1] * B[2][2];
  r = a[1] * Bf[2][2] + a[2] * Bf[1][2] + b[0] * Bf[0][1] + b[1] * Bf[0][0];
  if (std::fabs(s) > r) return 9;

  s = T[0] * B[2][0] - T[2] * B[0][0];
  r = a[0] * Bf[2][0] + a[2] * Bf[0][0] + b[1] * Bf[1][2] + b[2] * Bf[1][1];
  if (std::fabs(s) > r) return 10;

  s = T[0] * B[2][1] - T[2] * B[0][1];
  r = a[0] * Bf[2][1] + a[2] * Bf[0][1] + b[0] * Bf[1][2] + b[2] * Bf[1][0];
  if (std::fabs(s) > r) return 11;

  s = T[0] * B[2][2] - T[2] * B[0][2];
  r = a[0] * Bf[2][2] + a[2] * Bf[0][2] + b[0] * Bf[1][1] + b[1] * Bf[1][0];
  if (std::fabs(s) > r) return 12;

  s = T[1] * B[0][0] - T[0] * B[1][0];
  r = a[0] * Bf[1][0] + a[1] * Bf[0][0] + b[1] * Bf[2][2] + b[2] * Bf[2][1];
  if (std::fabs(s) > r) return 13;

  s = T[1] * B[0][1] - T[0] * B[1][1];
  r = a[0] * Bf[1][1] + a[1] * Bf[0][1] + b[0] * Bf[2][2] + b[2] * Bf[2][0];
  if (std::fabs(s) > r) return 14;

  s = T[1] * B[0][2] - T[0] * B[1][2];
  r = a[0] * Bf[1][2] + a[1] * Bf[0][2] + b[0] * Bf[2][1] + b[1] * Bf[2][0];
  if (std::fabs(s) > r) return 15;

  return 0;
}

namespace {

inline void Sub(const double a[3], const double b[3], double out[3]) {
  out[0] = a[0] - b[0];
  out[1] = a[1] - b[1];
  out[2] = a[2] - b[2];
}

inline void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

inline double Dot(const double a[3], const double b[3]) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline double Min3(double a, double b, double c) {
  const double m = a < b ? a : b;
  return m < c ? m : c;
}

inline double Max3(double a, double b, double c) {
  const double m = a > b ? a : b;
  return m > c ? m : c;
}

// True when the projections of the two triangles onto axis are disjoint.
// The axis is not normalised: only the order of the projections matters, and
// a zero axis projects everything to 0, which never separates.
inline bool Separates(const double axis[3], const double p[3][3], const double q[3][3]) {
  const double p0 = Dot(axis, p[0]), p1 = Dot(axis, p[1]), p2 = Dot(axis, p[2]);
  const double q0 = Dot(axis, q[0]), q1 = Dot(axis, q[1]), q2 = Dot(axis, q[2]);
  const double pmin = Min3(p0, p1, p2), pmax = Max3(p0, p1, p2);
  const double qmin = Min3(q0, q1, q2), qmax = Max3(q0, q1, q2);
  return pmin > qmax || qmin > pmax;
}

}  // namespace

bool TrianglesOverlap(const double P1[3], const double P2[3], const double P3[3],
                      const double Q1[3], const double Q2[3], const double Q3[3]) {
  // Work relative to P1 so that the projections keep their precision far
  // from the origin.
  double p[3][3], q[3][3];
  p[0][0] = p[0][1] = p[0][2] = 0.0;
  Sub(P2, P1, p[1]);
  Sub(P3, P1, p[2]);
  Sub(Q1, P1, q[0]);
  Sub(Q2, P1, q[1]);
  Sub(Q3, P1, q[2]);

  double e[3][3], f[3][3];
  Sub(p[1], p[0], e[0]);
  Sub(p[2], p[1], e[1]);
  Sub(p[0], p[2], e[2]);
  Sub(q[1], q[0], f[0]);
  Sub(q[2], q[1], f[1]);
  Sub(q[0], q[2], f[2]);

  double n[3], m[3];
  Cross(e[0], e[1], n);
  Cross(f[0], f[1], m);

  double axis[3];
  if (Separates(n, p, q)) return false;
  if (Separates(m, p, q)) return false;
  for (int j = 0; j < 3; ++j) {
    for (int k = 0; k < 3; ++k) {
      Cross(e[j], f[k], axis);
      if (Separates(axis, p, q)) return false;
    }
  }
  for (int k = 0; k < 3; ++k) {
    Cross(e[k], n, axis);
    if (Separates(axis, p, q)) return false;
  }
  for (int k = 0; k < 3; ++k) {
    Cross(f[k], m, axis);
    if (Separates(axis, p, q)) return false;
  }
  return true;
}

}  // namespace obbt_detail
