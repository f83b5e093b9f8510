// The vertical curtain surface that a fold line stands for.
#include <string>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"

namespace {

template <typename Pnt>
long BuildCurtain(C3DSurface& surf, const Pnt* pts, long n, double z1, double z2) {
  if (!pts) return -1;
  if (n < 2) return 0;
  // Indices continue after whatever the surface already holds.
  const long base = surf.GetPointNum();
  std::vector<KRO::G3D_DVertex> verts(static_cast<size_t>(2 * n));
  for (long i = 0; i < n; ++i) {
    verts[i] = {pts[i].x, pts[i].y, z1};
    verts[i + n] = {pts[i].x, pts[i].y, z2};
  }
  std::vector<C3DTriangle> tris;
  tris.reserve(static_cast<size_t>(2 * (n - 1)));
  for (long i = 0; i + 1 < n; ++i) {
    tris.emplace_back(base + i, base + i + 1, base + i + n);
    tris.emplace_back(base + i + 1, base + i + 1 + n, base + i + n);
  }
  const unsigned char opType = 4;
  surf.SetOperationType(opType);
  surf.SetMaterialName(std::string());
  CPointCollection collection;
  collection.AppendPoints(verts.data(), 2 * n);
  surf.AppendPointCollection(&collection, nullptr);
  surf.AddTriangle(tris.data(), nullptr, static_cast<long>(tris.size()));
  collection.Reset();
  return 1;
}

}  // namespace

long CMathFunCls::GenSurfByPolylin(C3DSurface& surf, D_DOT* pts, long n, double z1, double z2) {
  return BuildCurtain(surf, pts, n, z1, z2);
}

long CMathFunCls::GenSurfByPolylin(C3DSurface& surf, D_3DOT* pts, long n, double z1, double z2) {
  return BuildCurtain(surf, pts, n, z1, z2);
}
