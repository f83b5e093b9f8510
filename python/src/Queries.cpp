#include "Queries.h"

#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"
#include "kromesh/math/TriangleIndex.h"

namespace kpy {

namespace {

// All triangles of a model moved to a frame around its box centre: models
// at geodetic coordinates would lose digits in the products of the tests.
struct LocalSoup {
  KRO::G3D_DVertex origin{0, 0, 0};
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<C3DTriangle> tris;
  KRO::G3D_DVertex Local(const KRO::G3D_DVertex& p) const {
    return {p.x - origin.x, p.y - origin.y, p.z - origin.z};
  }
};

LocalSoup Localise(const tricut::Model& m) {
  LocalSoup s;
  s.origin = tricut::BoxOf(m).Centre();
  for (const auto& part : m.parts) {
    const long base = static_cast<long>(s.pts.size());
    for (const auto& p : part.surface.Points()) s.pts.push_back(s.Local(p));
    for (const auto& t : tricut::TrianglesOf(part.surface))
      s.tris.emplace_back(t.v[0] + base, t.v[1] + base, t.v[2] + base);
  }
  return s;
}

}  // namespace

std::vector<int8_t> LocateInSolid(const tricut::Model& solid,
                                  const std::vector<KRO::G3D_DVertex>& pts) {
  LocalSoup s = Localise(solid);
  RAPID_model tree;
  bool built = tree.ResetModel() == OBBT_OK;
  for (size_t i = 0; built && i < s.tris.size(); ++i) {
    const auto &a = s.pts[s.tris[i].v[0]], &b = s.pts[s.tris[i].v[1]], &c = s.pts[s.tris[i].v[2]];
    const double pa[3] = {a.x, a.y, a.z}, pb[3] = {b.x, b.y, b.z}, pc[3] = {c.x, c.y, c.z};
    built = tree.AppendTri(pa, pb, pc, static_cast<long>(i)) == OBBT_OK;
  }
  built = built && tree.FinishModel() == OBBT_OK;
  std::vector<int8_t> out(pts.size());
  for (size_t i = 0; i < pts.size(); ++i) {
    KRO::G3D_DVertex q = s.Local(pts[i]);
    // The ray-parity test through the tree first; when every ray it tries
    // grazes an edge, the slicing test decides.
    if (built) {
      bool onSurface = false;
      const long r = CMathFunCls::CheckPntAndPolyhWithObbt(&tree, &q, onSurface);
      if (r == 1 || r == -1) {
        out[i] = static_cast<int8_t>(r == 1 ? (onSurface ? 0 : 1) : -1);
        continue;
      }
    }
    D_3DOT d{q.x, q.y, q.z};
    out[i] = static_cast<int8_t>(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        s.pts.data(), static_cast<long>(s.pts.size()), s.tris.data(),
        static_cast<long>(s.tris.size()), &d));
  }
  return out;
}

std::vector<int8_t> SideOfSurface(const tricut::Model& surface,
                                  const std::vector<KRO::G3D_DVertex>& pts) {
  LocalSoup s = Localise(surface);
  std::vector<C3DTriData> tris(s.tris.size());
  for (size_t i = 0; i < tris.size(); ++i)
    for (int k = 0; k < 3; ++k) tris[i].v[k] = s.tris[i].v[k];
  // The index answers as the scan over every triangle would, without the scan.
  CTriangleIndex index;
  index.Build(s.pts.data(), static_cast<long>(s.pts.size()), tris.data(),
              static_cast<long>(tris.size()));
  std::vector<int8_t> out(pts.size());
  long occluder = -1;
  for (size_t i = 0; i < pts.size(); ++i) {
    KRO::G3D_DVertex q = s.Local(pts[i]);
    long tri = -1;
    out[i] = static_cast<int8_t>(CMathFunCls::Check3dPntAndKroSurf(&q, &index, tri, &occluder));
  }
  return out;
}

}  // namespace kpy
