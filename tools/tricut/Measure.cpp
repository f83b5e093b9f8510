#include "Measure.h"

#include <cmath>

#include "Progress.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"
#include "kromesh/math/KroVolumeInfo.h"
#include "kromesh/math/TriangleIndex.h"

namespace tricut {

namespace {

// All triangles of a model in one local frame (shifted by origin).
struct LocalSoup {
  KRO::G3D_DVertex origin{0, 0, 0};
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<C3DTriangle> tris;
};

LocalSoup Localise(const Model& m, bool shiftZ) {
  LocalSoup s;
  s.origin = BoxOf(m).Centre();
  if (!shiftZ) s.origin.z = 0;
  for (const auto& part : m.parts) {
    const long base = static_cast<long>(s.pts.size());
    for (const auto& p : part.surface.Points())
      s.pts.push_back({p.x - s.origin.x, p.y - s.origin.y, p.z - s.origin.z});
    for (const auto& t : TrianglesOf(part.surface))
      s.tris.emplace_back(t.v[0] + base, t.v[1] + base, t.v[2] + base);
  }
  return s;
}

}  // namespace

VolumeReport MeasureVolume(const Model& m, double z0) {
  VolumeReport r;
  const LocalSoup s = Localise(m, false);
  std::vector<KroPntStrcT> pts(s.pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i)
    pts[i] = {s.pts[i].x, s.pts[i].y, s.pts[i].z, 0, 0, 0};
  std::vector<KroNetStrcT> nets(s.tris.size());
  for (std::size_t i = 0; i < nets.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      nets[i].pnt[k] = s.tris[i].v[k] + 1;  // 1-based point numbers
      nets[i].adj[k] = 0;
    }
    nets[i].flag1 = nets[i].flag2 = 0;
  }
  const long nPts = static_cast<long>(pts.size()), nNets = static_cast<long>(nets.size());
  if (nNets == 0) return r;
  CMathFunCls::CalDrugAndFillVolume(pts.data(), nets.data(), nPts, nNets, z0, &r.cutVolume,
                                    &r.fillVolume);
  r.planArea = CMathFunCls::CalTriNetArea(pts.data(), nets.data(), nPts, nNets);
  r.surfaceArea = SurfaceArea(m);
  for (const auto& t : s.tris) {
    KRO::G3D_DVertex tri[3] = {s.pts[t.v[0]], s.pts[t.v[1]], s.pts[t.v[2]]};
    VolumeInfoStrcT1 info{};
    CMathFunCls::CalTriangleVolume(tri, z0, &info);
    r.planAreaAbove += info.planAreaAbove;
    r.planAreaBelow += info.planAreaBelow;
  }
  return r;
}

std::vector<int8_t> LocatePointsInSolid(const Model& solid,
                                        const std::vector<KRO::G3D_DVertex>& pts,
                                        Progress* progress, double from, double to) {
  if (progress) progress->Step("building the index", from);
  LocalSoup s = Localise(solid, true);
  // First the ray-parity test through an OBB tree of the solid; when every
  // ray it tries grazes an edge, the slicing test decides.
  RAPID_model tree;
  bool built = tree.ResetModel() == OBBT_OK;
  for (std::size_t i = 0; built && i < s.tris.size(); ++i) {
    const auto& t = s.tris[i];
    const double a[3] = {s.pts[t.v[0]].x, s.pts[t.v[0]].y, s.pts[t.v[0]].z};
    const double b[3] = {s.pts[t.v[1]].x, s.pts[t.v[1]].y, s.pts[t.v[1]].z};
    const double c[3] = {s.pts[t.v[2]].x, s.pts[t.v[2]].y, s.pts[t.v[2]].z};
    built = tree.AppendTri(a, b, c, static_cast<long>(i)) == OBBT_OK;
  }
  built = built && tree.FinishModel() == OBBT_OK;
  // The walk down the tree is quick next to its building.
  if (progress) progress->Step("querying", from + 0.95 * (to - from));
  std::vector<int8_t> out(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    KRO::G3D_DVertex q{pts[i].x - s.origin.x, pts[i].y - s.origin.y, pts[i].z - s.origin.z};
    bool onSurface = false;
    const long r = built ? CMathFunCls::CheckPntAndPolyhWithObbt(&tree, &q, onSurface) : 0;
    if (r == 1 || r == -1) {
      out[i] = static_cast<int8_t>(r == 1 ? (onSurface ? 0 : 1) : -1);
      continue;
    }
    D_3DOT d{q.x, q.y, q.z};
    out[i] = static_cast<int8_t>(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        s.pts.data(), static_cast<long>(s.pts.size()), s.tris.data(),
        static_cast<long>(s.tris.size()), &d));
  }
  return out;
}

std::vector<int8_t> SidesOfSurface(const Model& surface, const std::vector<KRO::G3D_DVertex>& pts) {
  LocalSoup s = Localise(surface, true);
  std::vector<C3DTriData> tris(s.tris.size());
  for (std::size_t i = 0; i < tris.size(); ++i)
    for (int k = 0; k < 3; ++k) tris[i].v[k] = s.tris[i].v[k];
  // The index answers as the scan over every triangle would, without the
  // scan; each point starts from the triangle that decided the last one.
  CTriangleIndex index;
  index.Build(s.pts.data(), static_cast<long>(s.pts.size()), tris.data(),
              static_cast<long>(tris.size()));
  std::vector<int8_t> out(pts.size());
  long occluder = -1;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    KRO::G3D_DVertex q{pts[i].x - s.origin.x, pts[i].y - s.origin.y, pts[i].z - s.origin.z};
    long tri = -1;
    out[i] = static_cast<int8_t>(CMathFunCls::Check3dPntAndKroSurf(&q, &index, tri, &occluder));
  }
  return out;
}

}  // namespace tricut
