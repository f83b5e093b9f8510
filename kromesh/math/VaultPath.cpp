// Vault (arch) surfaces between a left and a right path.
#include <algorithm>
#include <cmath>

#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/MeasureGeom.h"

using KRO::G3D_DVertex;
using namespace kromesh_measure;

namespace {
// The arch's angles use this value of pi, so the rows match those of
// existing vault models.
constexpr double kPi = 3.1415926;
}  // namespace

long CMathFunCls::GetVaultPathFromLRPath(G3D_DVertex* left, G3D_DVertex* right, long n, float h,
                                         double /*s*/, long nDiv, G3D_DVertex* out) {
  if (!left || !right || !out) return -1;
  if (n < 1 || nDiv < 1 || !(h > 0.0f) || !std::isfinite(h)) return 0;
  std::copy(left, left + n, out);
  std::copy(right, right + n, out + nDiv * n);
  long result = 1;
  if (nDiv == 1) return result;

  const double hh = h;
  for (long i = 0; i < n; ++i) {
    const G3D_DVertex &l = left[i], &r = right[i];
    if (Len(Sub(r, l)) < 1e-6) {
      // No span: the whole arch collapses onto the springing point.
      for (long k = 1; k < nDiv; ++k) out[k * n + i] = l;
      continue;
    }
    // Frame in the vertical plane through both ends: first axis left ->
    // right at the foot, second axis up.
    const G3D_DVertex frame[4] = {{l.x, l.y, l.z - hh}, {r.x, r.y, r.z - hh}, r, l};
    const D_DOT pl = VolToImg(frame, l), pr = VolToImg(frame, r);
    double R = 2.0 * hh;
    const double half = (pr.x - pl.x) / 2.0;
    if (std::fabs(half) > R) {
      // Too wide for radius 2h: the half circle over the span is the
      // continuation of the arches that fit (which reach it at span 4h).
      R = std::fabs(half);
      result = 2;
    }
    const double cx = (pl.x + pr.x) / 2.0;
    const double a0 = std::acos(std::max(-1.0, std::min(1.0, (pr.x - cx) / R)));
    const double step = (kPi - 2.0 * a0) / static_cast<double>(nDiv);
    const double cy = pr.y - std::sin(a0) * R;
    for (long k = 1; k < nDiv; ++k) {
      const double ang = kPi - a0 - static_cast<double>(k) * step;
      const D_DOT f{cx + R * std::cos(ang), cy + R * std::sin(ang)};
      out[k * n + i] = ImgToVol(frame, f);
    }
  }
  return result;
}
