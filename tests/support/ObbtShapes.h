// Triangle soups for the OBB tree tests and benchmarks: tessellated spheres,
// random triangle clouds, and a brute-force reference for the collision query.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "kromesh/Obbt/ObbtInternal.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "support/Shapes.h"

namespace obbt_test {

using Tri = std::array<double, 9>;  // p1, p2, p3
using Soup = std::vector<Tri>;
using Pair = std::pair<int32_t, int32_t>;

/// A shared-vertex soup in this layout, triangle by triangle.
inline Soup FromTriSoup(const shapes::TriSoup& s) {
  Soup out;
  for (const C3DTriData& t : s.tris) {
    const auto &a = s.pts[t.v[0]], &b = s.pts[t.v[1]], &d = s.pts[t.v[2]];
    out.push_back(Tri{a.x, a.y, a.z, b.x, b.y, b.z, d.x, d.y, d.z});
  }
  return out;
}

/// UV sphere of `stacks` bands and `slices` sectors (the shared test
/// tessellation): 2 * slices * (stacks - 1) triangles, none of zero area.
inline Soup MakeSphere(const double c[3], double r, int stacks, int slices) {
  return FromTriSoup(shapes::SphereSoup({c[0], c[1], c[2]}, r, stacks, slices));
}

/// n random triangles with corners within `size` of a centre uniform in the
/// cube [0, extent]^3.
inline Soup RandomSoup(std::mt19937& rng, int n, double extent, double size) {
  std::uniform_real_distribution<double> pos(0.0, extent);
  std::uniform_real_distribution<double> off(-size, size);
  Soup s(static_cast<size_t>(n));
  for (Tri& t : s) {
    const double c[3] = {pos(rng), pos(rng), pos(rng)};
    for (int k = 0; k < 9; ++k) t[k] = c[k % 3] + off(rng);
  }
  return s;
}

/// Resets the model and adds the soup with ids idBase, idBase + 1, ...
/// Returns the first non-zero status, or FinishModel's.
inline int FillModel(RAPID_model& m, const Soup& s, int32_t idBase = 0) {
  m.ResetModel();
  for (size_t i = 0; i < s.size(); ++i) {
    const Tri& t = s[i];
    const int st = m.AppendTri(&t[0], &t[3], &t[6], idBase + static_cast<long>(i));
    if (st != OBBT_OK) return st;
  }
  return m.FinishModel();
}

/// The contact list as pairs, in reported order.
inline std::vector<Pair> Contacts() {
  std::vector<Pair> out;
  const ContactPair* c = ObbtContacts();
  for (long i = 0; i < ObbtContactCount(); ++i) out.emplace_back(c[i].id1, c[i].id2);
  return out;
}

inline std::vector<Pair> Sorted(std::vector<Pair> v) {
  std::sort(v.begin(), v.end());
  return v;
}

/// Placement of a model: world = s * R * x + T.
struct Placement {
  double R[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double T[3] = {0, 0, 0};
  double s = 1.0;
};

/// Rotation by angle about the unit axis (x, y, z).
inline Placement Rotation(double x, double y, double z, double angle) {
  Placement p;
  const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  const double R[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                          {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                          {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) p.R[i][j] = R[i][j];
  return p;
}

/// Every pair (i, j) of triangle a[i] (placed by pa) and b[j] (placed by pb)
/// that the query's own triangle test reports as overlapping, with a's
/// triangles brought into b's frame the way the query does it. Sorted.
inline std::vector<Pair> BruteForcePairs(const Soup& a, const Placement& pa, const Soup& b,
                                         const Placement& pb) {
  const double ms = pa.s / pb.s;
  double sR[3][3], mT[3];
  const double dT[3] = {pa.T[0] - pb.T[0], pa.T[1] - pb.T[1], pa.T[2] - pb.T[2]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      sR[i][j] = ms * (pb.R[0][i] * pa.R[0][j] + pb.R[1][i] * pa.R[1][j] + pb.R[2][i] * pa.R[2][j]);
    mT[i] = (pb.R[0][i] * dT[0] + pb.R[1][i] * dT[1] + pb.R[2][i] * dT[2]) / pb.s;
  }
  std::vector<Pair> out;
  for (size_t i = 0; i < a.size(); ++i) {
    double p[9];
    for (int v = 0; v < 3; ++v) {
      const double* x = &a[i][3 * v];
      for (int r = 0; r < 3; ++r)
        p[3 * v + r] = sR[r][0] * x[0] + sR[r][1] * x[1] + sR[r][2] * x[2] + mT[r];
    }
    for (size_t j = 0; j < b.size(); ++j) {
      const Tri& q = b[j];
      if (obbt_detail::TrianglesOverlap(p, p + 3, p + 6, &q[0], &q[3], &q[6]))
        out.emplace_back(static_cast<int32_t>(i), static_cast<int32_t>(j));
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace obbt_test
