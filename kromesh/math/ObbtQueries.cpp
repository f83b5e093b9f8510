// Ray queries straight on an OBB model, without a wrapper.
#include <algorithm>
#include <new>
#include <vector>

#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/Obbt/ObbtRayCore.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"

namespace {

// The distinct triangles of model crossed by the line through origin along
// dir, in contact order, into tris (grown as needed); -1 for a zero
// direction. Throws std::bad_alloc.
long RayCrossings(RAPID_model* model, const KRO::G3D_DVertex& origin, const KRO::G3D_DVertex& dir,
                  std::vector<long>& tris) {
  KRO::G3D_DVertex farEnd, third;
  if (!KroObbtRay::RayTriangle(origin, dir, farEnd, third)) return -1;
  thread_local std::vector<tcTriCutPair> pairs;
  thread_local std::vector<long> cands;
  pairs.clear();
  cands.clear();
  {
    RAPID_model ray;
    ray.ResetModel();
    ray.AppendTri(&origin.x, &farEnd.x, &third.x, 0);
    if (ray.FinishModel() != OBBT_OK) throw std::bad_alloc();
    // The contacts are copied before the ray model dies and empties them.
    if (CollideModelsInPlace(model, &ray, OBBT_ALL_CONTACTS) != OBBT_NOT_BUILT) {
      KroObbtRay::CopyContacts(pairs);
    }
  }
  for (const tcTriCutPair& p : pairs) cands.push_back(p.triIndex1);
  return KroObbtRay::SelectCrossingsInto(model, cands, origin, dir, farEnd, tris, nullptr);
}

}  // namespace

long CMathFunCls::FindCollideTrisWithRay(RAPID_model* model, KRO::G3D_DVertex* origin,
                                         KRO::G3D_DVertex* dir, long* tris, long* count) {
  if (count != nullptr) *count = 0;
  if (model == nullptr || origin == nullptr || dir == nullptr || tris == nullptr ||
      count == nullptr) {
    return -1;
  }
  try {
    thread_local std::vector<long> found;
    const long n = RayCrossings(model, *origin, *dir, found);
    if (n < 0) return -1;
    std::copy(found.begin(), found.begin() + n, tris);
    *count = n;
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
  auto list = [model](const KRO::G3D_DVertex& o, const KRO::G3D_DVertex& d, std::vector<long>& tris,
                      std::vector<KRO::G3D_DVertex>&) -> long {
    try {
      return RayCrossings(model, o, d, tris);
    } catch (const std::bad_alloc&) {
      return -1;
    }
  };
  return KroObbtRay::PointInSolid(model, *pnt, onSurface, list, true);
}
