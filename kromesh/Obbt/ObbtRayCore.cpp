#include "kromesh/Obbt/ObbtRayCore.h"

#include <new>

#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"

namespace KroObbtRay {

namespace {

// Direction change after a ray met an edge or a vertex.
constexpr double kRestartDx = 0.15000000596046448;
constexpr double kRestartDy = 0.25;

double AheadOf(const KRO::G3D_DVertex& o, const KRO::G3D_DVertex& dir, const KRO::G3D_DVertex& p) {
  return (p.x - o.x) * dir.x + (p.y - o.y) * dir.y + (p.z - o.z) * dir.z;
}

}  // namespace

void CopyContacts(std::vector<tcTriCutPair>& pairs) {
  const long n = ObbtContactCount();
  const ContactPair* contacts = ObbtContacts();
  pairs.clear();
  if (n <= 0 || contacts == nullptr) return;
  pairs.resize(static_cast<size_t>(n));
  for (long k = 0; k < n; ++k) {
    pairs[static_cast<size_t>(k)] = {contacts[k].id1, contacts[k].id2};
  }
}

bool ReadTri(RAPID_model* model, long i, KRO::G3D_DVertex tri[3]) {
  if (model == nullptr || i < 0 || i >= model->GetTriCount()) return false;
  double v[9];
  if (model->GetTriVertices(v, i) != 1) return false;
  for (int k = 0; k < 3; ++k) tri[k] = {v[3 * k], v[3 * k + 1], v[3 * k + 2]};
  return true;
}

bool RayTriangle(const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                 KRO::G3D_DVertex& farEnd, KRO::G3D_DVertex& third) {
  KRO::G3D_DVertex o = origin, d = dir;
  if (dir.x == 0.0 && dir.y == 0.0 && dir.z == 0.0) return false;
  return CMathFunCls::GetTriByRadial(&o, &d, &farEnd, &third) == 1;
}

long SelectCrossings(RAPID_model* model, const std::vector<long>& cands,
                     const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                     const KRO::G3D_DVertex& farEnd, long* tris, KRO::G3D_DVertex* hits) {
  struct Kept {
    long tri;
    KRO::G3D_DVertex hit;
    bool dropped;
  };
  // Kept per thread from call to call: the many small ray queries of a
  // classification allocate nothing once it has grown.
  thread_local std::vector<Kept> kept;
  kept.clear();
  kept.reserve(cands.size());
  for (long t : cands) {
    KRO::G3D_DVertex v[3];
    if (!ReadTri(model, t, v)) continue;
    double o[3] = {origin.x, origin.y, origin.z};
    double d[3] = {dir.x, dir.y, dir.z};
    double hit[3] = {0, 0, 0};
    long pos = 0;
    if (CMathFunCls::Radial_Tri(o, d, &v[0].x, &v[1].x, &v[2].x, hit, &pos) == 0) continue;
    KRO::G3D_DVertex h{hit[0], hit[1], hit[2]};
    KRO::G3D_DVertex a = origin, b = farEnd;
    if (CMathFunCls::Check3dPntAndSeg(&a, &b, &h) == -2) continue;
    kept.push_back({t, h, false});
  }
  long written = 0;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (kept[i].dropped) continue;
    for (size_t j = i + 1; j < kept.size(); ++j) {
      if (!kept[j].dropped && CMathFunCls::IsSame3DDot(kept[i].hit, kept[j].hit)) {
        kept[j].dropped = true;
      }
    }
    tris[written] = kept[i].tri;
    if (hits != nullptr) hits[written] = kept[i].hit;
    ++written;
  }
  return written;
}

long SelectCrossingsInto(RAPID_model* model, const std::vector<long>& cands,
                         const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                         const KRO::G3D_DVertex& farEnd, std::vector<long>& tris,
                         std::vector<KRO::G3D_DVertex>* hits) {
  if (tris.size() < cands.size()) tris.resize(cands.size());
  if (hits != nullptr && hits->size() < cands.size()) hits->resize(cands.size());
  return SelectCrossings(model, cands, origin, dir, farEnd, tris.data(),
                         hits != nullptr ? hits->data() : nullptr);
}

long PointInSolid(RAPID_model* model, const KRO::G3D_DVertex& pnt, bool& onSurface,
                  const CrossingListFn& list, bool surfaceFirst) {
  onSurface = false;
  if (model == nullptr) return 0;
  const long n = model->GetTriCount();
  if (n <= 0) return -1;  // nothing to be inside of
  // The crossing lists, sized by the crossings met rather than by the
  // solid, and kept per thread from query to query.
  thread_local std::vector<long> tris;
  thread_local std::vector<KRO::G3D_DVertex> hits;

  KRO::G3D_DVertex dir{0.0, 0.0, 1.0};
  for (int attempt = 0; attempt <= OBBT_MAX_DIR_RESTARTS; ++attempt) {
    const long count = list(pnt, dir, tris, hits);
    if (count < 0) return 0;
    if (count == 0) return -1;

    auto onTriangle = [&](const KRO::G3D_DVertex v[3], bool twin) {
      KRO::G3D_DVertex p = pnt, a = v[0], b = v[1], c = v[2];
      return (twin ? CMathFunCls::IsPntInTriPanel2(&p, &a, &b, &c, nullptr)
                   : CMathFunCls::IsPntInTriPanel(&p, &a, &b, &c, nullptr)) != 0;
    };
    if (surfaceFirst) {
      for (long k = 0; k < count; ++k) {
        KRO::G3D_DVertex v[3];
        if (ReadTri(model, tris[k], v) && onTriangle(v, true)) {
          onSurface = true;
          return 1;
        }
      }
    }

    long crossings = 0;
    bool restart = false;
    for (long k = 0; k < count && !restart; ++k) {
      KRO::G3D_DVertex v[3];
      if (!ReadTri(model, tris[k], v)) continue;
      if (!surfaceFirst && onTriangle(v, false)) {
        onSurface = true;
        return 1;
      }
      double o[3] = {pnt.x, pnt.y, pnt.z};
      double d[3] = {dir.x, dir.y, dir.z};
      double hit[3] = {0, 0, 0};
      long pos = 0;
      if (CMathFunCls::Radial_Tri(o, d, &v[0].x, &v[1].x, &v[2].x, hit, &pos) == 0) continue;
      // The list holds the whole line; what lies behind the point says
      // nothing about the parity.
      if (AheadOf(pnt, dir, {hit[0], hit[1], hit[2]}) <= 0.0) continue;
      if (pos != 0) {
        restart = true;  // edge or vertex: the count would be ambiguous
      } else {
        ++crossings;
      }
    }
    if (!restart) return (crossings % 2 == 1) ? 1 : -1;
    dir.x += kRestartDx;
    dir.y += kRestartDy;
  }
  return OBBT_PNT_UNDECIDED;
}

}  // namespace KroObbtRay
