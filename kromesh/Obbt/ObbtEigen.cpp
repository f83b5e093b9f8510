// Principal axes of a symmetric 3x3 moment matrix (cyclic Jacobi rotations).
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "kromesh/Obbt/ObbtInternal.h"
#include "kromesh/host/KroMessageBox.h"

namespace obbt_detail {

namespace {

constexpr int kMaxSweeps = 50;

// One Jacobi update of the pair (x, y) by the rotation (s, tau).
inline void Rotate(double& x, double& y, double s, double tau) {
  const double g = x;
  const double h = y;
  x = g - s * (h + g * tau);
  y = h + s * (g - h * tau);
}

}  // namespace

int JacobiEigen(const double in[3][3], double vecs[3][3], double vals[3]) {
  double a[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = in[i][j];

  double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double b[3], d[3], z[3];
  for (int i = 0; i < 3; ++i) {
    b[i] = d[i] = a[i][i];
    z[i] = 0.0;
  }

  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    const double sm = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
    if (sm == 0.0) {
      for (int i = 0; i < 3; ++i) {
        vals[i] = d[i];
        for (int j = 0; j < 3; ++j) vecs[i][j] = v[i][j];
      }
      return sweep;
    }
    const double tresh = sweep < 3 ? 0.2 * sm / 9.0 : 0.0;

    static const int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (const auto& pq : kPairs) {
      const int p = pq[0];
      const int q = pq[1];
      const double g = 100.0 * std::fabs(a[p][q]);
      if (sweep > 3 && std::fabs(d[p]) + g == std::fabs(d[p]) &&
          std::fabs(d[q]) + g == std::fabs(d[q])) {
        // Below the diagonal's precision: drop it.
        a[p][q] = 0.0;
      } else if (std::fabs(a[p][q]) > tresh) {
        double h = d[q] - d[p];
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = a[p][q] / h;
        } else {
          const double theta = 0.5 * h / a[p][q];
          t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
          if (theta < 0.0) t = -t;
        }
        const double c = 1.0 / std::sqrt(1.0 + t * t);
        const double s = t * c;
        const double tau = s / (1.0 + c);
        h = t * a[p][q];
        z[p] -= h;
        z[q] += h;
        d[p] -= h;
        d[q] += h;
        a[p][q] = 0.0;
        // The one other off-diagonal element pair that involves p or q.
        if (p == 0 && q == 1) {
          Rotate(a[0][2], a[1][2], s, tau);
        } else if (p == 0 && q == 2) {
          Rotate(a[0][1], a[1][2], s, tau);
        } else {
          Rotate(a[0][1], a[0][2], s, tau);
        }
        for (int j = 0; j < 3; ++j) Rotate(v[j][p], v[j][q], s, tau);
      }
    }
    for (int i = 0; i < 3; ++i) {
      b[i] += z[i];
      d[i] = b[i];
      z[i] = 0.0;
    }
  }
  KroWarning(
      ("eigen: too many iterations in Jacobi transform (" + std::to_string(kMaxSweeps) + ").")
          .c_str());
  return kMaxSweeps;
}

int SortedEigenvectors(const double a[3][3], double vecs[3][3]) {
  double e[3][3];
  double t[3];
  const int sweeps = JacobiEigen(a, e, t);
  if (sweeps >= kMaxSweeps) return sweeps;  // nothing was written

  auto swapColumns = [&e](int c1, int c2) {
    for (int i = 0; i < 3; ++i) std::swap(e[i][c1], e[i][c2]);
  };
  if (t[2] > t[0]) {
    if (t[2] > t[1]) {
      swapColumns(0, 2);
    } else {
      swapColumns(0, 1);
    }
  } else if (t[0] <= t[1]) {
    swapColumns(0, 1);
  }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) vecs[i][j] = e[i][j];
  return sweeps;
}

}  // namespace obbt_detail
