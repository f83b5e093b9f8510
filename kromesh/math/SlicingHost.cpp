// Slicing of host surfaces and solids: the point tests on host objects,
// filling the intersection store from a solid, boxes and the plane surface.
#include <cmath>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/GeoMathPosition.h"

namespace {

constexpr double kHuge = 1.79769313486232e+307;

void Widen(C3DBox& box, const std::vector<KRO::G3D_DVertex>& pts) {
  for (const KRO::G3D_DVertex& p : pts) {
    box.xmin = std::fmin(box.xmin, p.x);
    box.xmax = std::fmax(box.xmax, p.x);
    box.ymin = std::fmin(box.ymin, p.y);
    box.ymax = std::fmax(box.ymax, p.y);
    box.zmin = std::fmin(box.zmin, p.z);
    box.zmax = std::fmax(box.zmax, p.z);
  }
}

void StartBox(C3DBox& box) {
  box.xmin = box.ymin = box.zmin = kHuge;
  box.xmax = box.ymax = box.zmax = -kHuge;
}

}  // namespace

short GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(C3DSurface& surf, D_3DOT& p) {
  const long nPts = surf.GetPointNum();
  const long nTris = surf.GetTriangleCount();
  if (nPts <= 0 || nTris <= 0) return -2;
  std::vector<KRO::G3D_DVertex> pts = surf.Points();
  std::vector<C3DTriangle> tris(static_cast<size_t>(nTris));
  for (long t = 0; t < nTris; ++t) surf.GetTriangle(t, &tris[t], nullptr);
  return CheckPntAndPolyhWithGeoPlaneSur(pts.data(), nPts, tris.data(), nTris, &p);
}

short GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(C3DEntity& solid, D_3DOT& p) {
  const long n = solid.GetSurfaceNum();
  if (n <= 0) return -2;
  short result = -2;
  for (long i = 0; i < n; ++i) {
    const C3DSurface* surf = solid.SurfaceAt(i);
    if (!surf) continue;
    C3DSurface copy(*surf);
    result = CheckPntAndPolyhWithGeoPlaneSur(copy, p);
    if (result == 1 || result == 0) return result;
  }
  return result;
}

short GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(C3DEntity&, C3DSurface&, D_3DOT& p) {
  return DecideFromStore(p);
}

short GeoMathPosition::CalIntsersecLinesOfSurAndEntity(C3DEntity& solid, C3DSurface& plane) {
  C3DBox eb, sb;
  GetEntityBox(solid, eb);
  GetSurBox(plane, sb);
  if (!(sb.zmin <= eb.zmax && sb.zmax >= eb.zmin)) return 0;
  double z = sb.zmax;
  for (long i = 0; i < solid.GetSurfaceNum(); ++i) {
    const C3DSurface* surf = solid.SurfaceAt(i);
    if (!surf) return 0;
    const long nTris = surf->GetTriangleCount();
    if (nTris <= 0) return 0;
    const std::vector<KRO::G3D_DVertex>& pts = surf->Points();
    const long nPts = static_cast<long>(pts.size());
    for (long t = 0; t < nTris; ++t) {
      C3DTriangle tri;
      if (!surf->GetTriangle(t, &tri, nullptr)) continue;
      if (tri.v[0] < 0 || tri.v[1] < 0 || tri.v[2] < 0 || tri.v[0] >= nPts || tri.v[1] >= nPts ||
          tri.v[2] >= nPts)
        continue;  // a triangle naming a missing point cannot be sliced
      D_3DOT a{pts[tri.v[0]].x, pts[tri.v[0]].y, pts[tri.v[0]].z};
      D_3DOT b{pts[tri.v[1]].x, pts[tri.v[1]].y, pts[tri.v[1]].z};
      D_3DOT c{pts[tri.v[2]].x, pts[tri.v[2]].y, pts[tri.v[2]].z};
      CalPlaneAndTriIntersect(z, a, b, c);
    }
  }
  return 1;
}

long GeoMathPosition::GetPlaneSur(C3DBox* box, D_3DOT& p, C3DSurface& out) {
  if (!box) return 0;
  const KRO::G3D_DVertex corners[4] = {{box->xmin - 5.0, box->ymin - 5.0, p.z},
                                       {box->xmax + 5.0, box->ymin - 5.0, p.z},
                                       {box->xmin - 5.0, box->ymax + 5.0, p.z},
                                       {box->xmax + 5.0, box->ymax + 5.0, p.z}};
  const long base = out.GetPointNum();
  CPointCollection collection;
  if (!collection.AppendPoints(corners, 4)) return 0;
  if (out.AppendPointCollection(&collection, nullptr) <= 0) return 0;
  const C3DTriangle tris[2] = {C3DTriangle(base + 0, base + 1, base + 2),
                               C3DTriangle(base + 2, base + 1, base + 3)};
  return out.AddTriangle(tris, nullptr, 2) ? 1 : 0;
}

void GeoMathPosition::GetEntityBox(C3DEntity& solid, C3DBox& box) {
  StartBox(box);
  for (long i = 0; i < solid.GetSurfaceNum(); ++i) {
    const C3DSurface* surf = solid.SurfaceAt(i);
    if (surf) Widen(box, surf->Points());
  }
}

void GeoMathPosition::GetSurBox(C3DSurface& surf, C3DBox& box) {
  StartBox(box);
  Widen(box, surf.Points());
}
