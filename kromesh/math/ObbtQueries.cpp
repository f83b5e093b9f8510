// Ray queries straight on an OBB model, without a wrapper.
#include <new>
#include <vector>

#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/ObbtRayCore.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"

long CMathFunCls::FindCollideTrisWithRay(RAPID_model* model, KRO::G3D_DVertex* origin,
                                         KRO::G3D_DVertex* dir, long* tris, long* count) {
  if (count != nullptr) *count = 0;
  if (model == nullptr || origin == nullptr || dir == nullptr || tris == nullptr ||
      count == nullptr) {
    return -1;
  }
  KRO::G3D_DVertex farEnd, third;
  if (!KroObbtRay::RayTriangle(*origin, *dir, farEnd, third)) return -1;
  std::vector<long> cands;
  try {
    std::vector<tcTriCutPair> pairs;
    {
      RAPID_model ray;
      ray.ResetModel();
      ray.AppendTri(&origin->x, &farEnd.x, &third.x, 0);
      if (ray.FinishModel() != OBBT_OK) return 0;
      // The contacts are copied before the ray model dies and empties them.
      if (CollideModelsInPlace(model, &ray, OBBT_ALL_CONTACTS) != OBBT_NOT_BUILT) {
        KroObbtRay::CopyContacts(pairs);
      }
    }
    cands.reserve(pairs.size());
    for (const tcTriCutPair& p : pairs) cands.push_back(p.triIndex1);
    *count = KroObbtRay::SelectCrossings(model, cands, *origin, *dir, farEnd, tris, nullptr);
  } catch (const std::bad_alloc&) {
    *count = 0;
    return 0;
  }
  return 1;
}

long CMathFunCls::CheckPntAndPolyhWithObbt(RAPID_model* model, KRO::G3D_DVertex* pnt,
                                           bool& onSurface) {
  onSurface = false;
  if (model == nullptr || pnt == nullptr) return 0;
  auto list = [model](const KRO::G3D_DVertex& o, const KRO::G3D_DVertex& d, long* tris,
                      KRO::G3D_DVertex*) -> long {
    KRO::G3D_DVertex origin = o, dir = d;
    long count = 0;
    return FindCollideTrisWithRay(model, &origin, &dir, tris, &count) == 1 ? count : -1;
  };
  return KroObbtRay::PointInSolid(model, *pnt, onSurface, list, true);
}
