#include "kromesh/Obbt/CObbtObjProcc.h"

#include <cmath>
#include <new>
#include <utility>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/ObbtRayCore.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"

namespace {

// Mesh box of a wrapper as placed by s * R * x + T (R row-major), itself
// axis-aligned again.
tctagD3ConvexBox PlacedBox(const tctagD3ConvexBox& b, const double* R, const double* T, double s) {
  if (R == nullptr) return b;
  tctagD3ConvexBox out{KRO_EMPTY_BOX_MIN, KRO_EMPTY_BOX_MAX, KRO_EMPTY_BOX_MIN,
                       KRO_EMPTY_BOX_MAX, KRO_EMPTY_BOX_MIN, KRO_EMPTY_BOX_MAX};
  // An inverted (empty) box stays empty.
  if (b.xmin > b.xmax || b.ymin > b.ymax || b.zmin > b.zmax) return b;
  for (int k = 0; k < 8; ++k) {
    const double p[3] = {(k & 1) ? b.xmax : b.xmin, (k & 2) ? b.ymax : b.ymin,
                         (k & 4) ? b.zmax : b.zmin};
    double q[3];
    for (int i = 0; i < 3; ++i) {
      q[i] = s * (R[3 * i] * p[0] + R[3 * i + 1] * p[1] + R[3 * i + 2] * p[2]) + T[i];
    }
    out.xmin = std::fmin(out.xmin, q[0]);
    out.xmax = std::fmax(out.xmax, q[0]);
    out.ymin = std::fmin(out.ymin, q[1]);
    out.ymax = std::fmax(out.ymax, q[1]);
    out.zmin = std::fmin(out.zmin, q[2]);
    out.zmax = std::fmax(out.zmax, q[2]);
  }
  return out;
}

}  // namespace

CObbtObjProcc::CObbtObjProcc()
    : m_pairCount(0), m_pObbt1(nullptr), m_pObbt2(nullptr), m_aabbOverlap(0) {}

CObbtObjProcc::CObbtObjProcc(const CObbtObjProcc& other) = default;

CObbtObjProcc& CObbtObjProcc::operator=(const CObbtObjProcc& other) = default;

CObbtObjProcc::~CObbtObjProcc() = default;

void CObbtObjProcc::SetThreadCount(int threads) {
  SetObbtThreadCount(threads);
}

int CObbtObjProcc::GetThreadCount() {
  return GetObbtThreadCount();
}

long CObbtObjProcc::ObbtCollide(CObbtBase* a, CObbtBase* b, double* R1, double* R2, double* T1,
                                double* T2, double s1, double s2) {
  if (a == nullptr || b == nullptr) return 0;
  m_pObbt1 = a;
  m_pObbt2 = b;
  const bool placed = R1 != nullptr && R2 != nullptr && T1 != nullptr && T2 != nullptr;

  // The boxes are compared where the models are placed, not where they were
  // built, or a placement would hide real contacts.
  tctagD3ConvexBox boxA = PlacedBox(a->GetMeshAABB(), placed ? R1 : nullptr, T1, s1);
  tctagD3ConvexBox boxB = PlacedBox(b->GetMeshAABB(), placed ? R2 : nullptr, T2, s2);
  m_aabbOverlap = CMathFunCls::CheckTwoAABB(&boxA, &boxB);
  if (m_aabbOverlap == 0) {
    m_pairCount = 0;
    m_pairs.clear();
    return 0;
  }

  double rot1[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double rot2[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double tr1[3] = {0, 0, 0};
  double tr2[3] = {0, 0, 0};
  if (placed) {
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        rot1[i][j] = R1[3 * i + j];
        rot2[i][j] = R2[3 * i + j];
      }
      tr1[i] = T1[i];
      tr2[i] = T2[i];
    }
  }

  m_pairCount = 0;
  m_pairs.clear();
  RAPID_model* ma = a->GetObbtModel();
  RAPID_model* mb = b->GetObbtModel();
  if (ma == nullptr || mb == nullptr) return OBBT_NOT_BUILT;
  const long status = CollideModels(rot1, tr1, s1, ma, rot2, tr2, s2, mb, OBBT_ALL_CONTACTS);
  // An unbuilt tree leaves the contact list of an earlier query in place:
  // those pairs belong to other models.
  if (status == OBBT_NOT_BUILT) return status;
  m_pairCount = ObbtContactCount();
  try {
    KroObbtRay::CopyContacts(m_pairs);
  } catch (const std::bad_alloc&) {
    m_pairs.clear();  // pointer null, count kept: callers test the pointer
  }
  return status;
}

long CObbtObjProcc::GetCollideTriPair(tcTriCutPair** pairs, long* count) {
  if (pairs != nullptr) *pairs = m_pairs.empty() ? nullptr : m_pairs.data();
  if (count != nullptr) *count = m_pairCount;
  return 1;
}

long CObbtObjProcc::RayCandidates(CObbtBase* solid, const KRO::G3D_DVertex& origin,
                                  const KRO::G3D_DVertex& dir, KRO::G3D_DVertex& farEnd,
                                  std::vector<long>& cands) {
  KRO::G3D_DVertex third;
  if (!KroObbtRay::RayTriangle(origin, dir, farEnd, third)) return -1;
  cands.clear();
  KRO::G3D_DVertex o = origin;
  CObbtBase ray;
  ray.BuildMeshObbt(&o.x, &farEnd.x, &third.x, 1);
  ObbtCollide(solid, &ray, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
  // The ray's wrapper dies here; the processor must not point at it.
  m_pObbt2 = nullptr;
  for (const tcTriCutPair& p : m_pairs) cands.push_back(p.triIndex1);
  return 1;
}

long CObbtObjProcc::_FindCollideTrisWithRay(CObbtBase* solid, KRO::G3D_DVertex* origin,
                                            KRO::G3D_DVertex* dir, long* tris, long* count) {
  if (count != nullptr) *count = 0;
  if (solid == nullptr || origin == nullptr || dir == nullptr || tris == nullptr ||
      count == nullptr) {
    return -1;
  }
  thread_local std::vector<long> cands;
  KRO::G3D_DVertex farEnd;
  try {
    if (RayCandidates(solid, *origin, *dir, farEnd, cands) != 1) return -1;
    *count = KroObbtRay::SelectCrossings(solid->GetObbtModel(), cands, *origin, *dir, farEnd, tris,
                                         nullptr);
  } catch (const std::bad_alloc&) {
    m_pObbt2 = nullptr;
    *count = 0;
    return 0;
  }
  return 1;
}

long CObbtObjProcc::_CheckPntAndPolyhWithObbt(CObbtBase* solid, KRO::G3D_DVertex* pnt,
                                              bool& onSurface) {
  onSurface = false;
  if (solid == nullptr || pnt == nullptr) return 0;
  RAPID_model* model = solid->GetObbtModel();
  auto list = [&](const KRO::G3D_DVertex& o, const KRO::G3D_DVertex& d, std::vector<long>& tris,
                  std::vector<KRO::G3D_DVertex>&) -> long {
    thread_local std::vector<long> cands;
    KRO::G3D_DVertex farEnd;
    try {
      if (RayCandidates(solid, o, d, farEnd, cands) != 1) return -1;
      return KroObbtRay::SelectCrossingsInto(model, cands, o, d, farEnd, tris, nullptr);
    } catch (const std::bad_alloc&) {
      m_pObbt2 = nullptr;
      return -1;
    }
  };
  return KroObbtRay::PointInSolid(model, *pnt, onSurface, list, false);
}

long CObbtObjProcc::CheckTriDirOfModel(CObbtBase* solid, long tri) {
  if (solid == nullptr) return 0;
  const long n = solid->GetTriNumFromObbt();
  if (n <= 0 || tri < 0 || tri >= n) return 0;
  KRO::G3D_DVertex v[3];
  if (solid->GetTriDotFromObbt(v, tri) != 1) return 0;
  KRO::G3D_DVertex normal{0, 0, 0}, centre{0, 0, 0};
  CMathFunCls::GetTriangleNormal(&v[0].x, &v[1].x, &v[2].x, &normal.x);
  if (!std::isfinite(normal.x) || !std::isfinite(normal.y) || !std::isfinite(normal.z) ||
      (normal.x == 0.0 && normal.y == 0.0 && normal.z == 0.0)) {
    return 0;  // a degenerate triangle faces nowhere
  }
  CMathFunCls::GetBaryOfTri(&v[0].x, &v[1].x, &v[2].x, &centre.x);

  // Sized by the crossings met, kept per thread from call to call.
  thread_local std::vector<long> tris, cands;
  thread_local std::vector<KRO::G3D_DVertex> hits;
  long count = 0;
  KRO::G3D_DVertex farEnd;
  try {
    if (RayCandidates(solid, centre, normal, farEnd, cands) != 1) return 0;
    count = KroObbtRay::SelectCrossingsInto(solid->GetObbtModel(), cands, centre, normal, farEnd,
                                            tris, &hits);
  } catch (const std::bad_alloc&) {
    m_pObbt2 = nullptr;
    return 0;
  }
  // The triangle itself counts; of the others only what lies ahead along
  // the normal (the list holds the whole line).
  long crossings = 0;
  for (long k = 0; k < count; ++k) {
    const KRO::G3D_DVertex& h = hits[static_cast<size_t>(k)];
    const double ahead =
        (h.x - centre.x) * normal.x + (h.y - centre.y) * normal.y + (h.z - centre.z) * normal.z;
    if (tris[static_cast<size_t>(k)] == tri || ahead > 0.0) ++crossings;
  }
  return (crossings % 2 == 1) ? 1 : -1;
}

long CObbtObjProcc::AdjustTriDirOfPolyh(KroPntStrcT* pnts, long pntNum, KroNetStrcT* nets,
                                        long netNum) {
  if (pnts == nullptr || nets == nullptr) return -1;
  CObbtBase local;
  if (local.BuildMeshObbt(pnts, pntNum, nets, netNum) != 0) return 1;
  const long n = local.GetTriNumFromObbt();
  for (long i = 0; i < netNum && i < n; ++i) {
    if (CheckTriDirOfModel(&local, i) != -1) continue;
    std::swap(nets[i].pnt[0], nets[i].pnt[1]);
    // Swapping the first two points reverses the edge order: edge 1 and
    // edge 2 trade places, so their neighbours do too.
    std::swap(nets[i].adj[1], nets[i].adj[2]);
  }
  return 1;
}

long CObbtObjProcc::CheckPntAndOBB(CObbtBase* solid, KRO::G3D_DVertex* pnt, tctagD3ConvexBox* box,
                                   bool& flag) {
  flag = false;
  if (solid == nullptr || box == nullptr || pnt == nullptr) return 0;
  const bool xInside = pnt->x > box->xmin && pnt->x < box->xmax;
  const bool yInside = pnt->y > box->ymin && pnt->y < box->ymax;
  const bool zInside = pnt->z > box->zmin && pnt->z < box->zmax;
  if (!xInside && yInside && zInside) return -1;

  KRO::G3D_DVertex centre, rows[3];
  double halfExt[3];
  if (solid->GetObbOfModel(&centre, halfExt, rows) != 1) return 0;
  KroPntStrcT pts[3] = {};
  pts[0].x = pnt->x, pts[0].y = pnt->y, pts[0].z = pnt->z;
  pts[1].x = centre.x, pts[1].y = centre.y, pts[1].z = centre.z;
  pts[2].x = pnt->x + 1.0, pts[2].y = pnt->y + 1.0, pts[2].z = pnt->z;
  KroNetStrcT net = {};
  net.pnt[0] = 1, net.pnt[1] = 2, net.pnt[2] = 3;
  net.flag1 = 1;
  long pairs = 0;
  try {
    CObbtBase probe;
    probe.BuildMeshObbt(pts, 3, &net, 1);
    ObbtCollide(solid, &probe, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
    m_pObbt2 = nullptr;
    pairs = m_pairCount;
  } catch (const std::bad_alloc&) {
    m_pObbt2 = nullptr;
    return 0;
  }
  return pairs > 0 ? -1 : 1;
}
