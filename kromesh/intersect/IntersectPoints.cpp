// Intersection points and segments of the colliding triangle pairs.
#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {

// Order-free key of a segment, so that (a, b) and (b, a) are one segment.
struct SegKeyHash {
  size_t operator()(const std::pair<long, long>& k) const {
    return std::hash<long long>()(static_cast<long long>(k.first) * 1000003LL ^
                                  static_cast<long long>(k.second));
  }
};

std::pair<long, long> SegKey(long a, long b) {
  return a < b ? std::make_pair(a, b) : std::make_pair(b, a);
}

long long CellIndex(double v, double cell) {
  if (!std::isfinite(v)) return 0;
  const double q = std::floor(v / cell);
  // Far-away cells may share an index; candidates are compared exactly
  // afterwards, so this only costs time, never a wrong match.
  const double lim = 4.0e18;
  if (q > lim) return static_cast<long long>(lim);
  if (q < -lim) return static_cast<long long>(-lim);
  return static_cast<long long>(q);
}

}  // namespace

CObbtBase* CMeshIntersect::GetCutObbt() const {
  return m_pObbtObjProcc ? m_pObbtObjProcc->GetFirstObbt() : nullptr;
}

CObbtBase* CMeshIntersect::GetCuttingObbt() const {
  return m_pObbtObjProcc ? m_pObbtObjProcc->GetSecondObbt() : nullptr;
}

KroSimpleMesh* CMeshIntersect::GetSrcMesh() const {
  CObbtBase* cut = GetCutObbt();
  return cut ? cut->GetSrcMesh() : nullptr;
}

double CMeshIntersect::GetCutPrec() const {
  double prec = KRO_DEFAULT_PRECISION;
  CObbtBase* cut = GetCutObbt();
  if (cut) cut->GetDataPrec(prec);
  return prec;
}

long CMeshIntersect::GetPairNum() const {
  if (!m_pObbtObjProcc) return 0;
  tcTriCutPair* pairs = nullptr;
  long count = 0;
  m_pObbtObjProcc->GetCollideTriPair(&pairs, &count);
  return pairs ? count : 0;
}

void CMeshIntersect::GridCell(const KRO::G3D_DVertex& p, long long* ix, long long* iy,
                              long long* iz) const {
  *ix = CellIndex(p.x, m_pntGridCell);
  *iy = CellIndex(p.y, m_pntGridCell);
  *iz = CellIndex(p.z, m_pntGridCell);
}

unsigned long long CMeshIntersect::GridKey(long long ix, long long iy, long long iz) const {
  unsigned long long h = 1469598103934665603ULL;
  for (long long v : {ix, iy, iz}) {
    h ^= static_cast<unsigned long long>(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h *= 1099511628211ULL;
  }
  return h;
}

bool CMeshIntersect::IsDifferentPnt(KRO::G3D_DVertex* p, long* index) {
  *index = -1;
  const double prec = GetCutPrec();
  // A point within prec of p on every axis lies in one of the 27 cells
  // around p's cell (cell size >= prec); the lowest matching index is the
  // one a front-to-back scan would have found first.
  long long ix, iy, iz;
  GridCell(*p, &ix, &iy, &iz);
  long best = -1;
  for (long long dx = -1; dx <= 1; ++dx)
    for (long long dy = -1; dy <= 1; ++dy)
      for (long long dz = -1; dz <= 1; ++dz) {
        auto it = m_pntGrid.find(GridKey(ix + dx, iy + dy, iz + dz));
        if (it == m_pntGrid.end()) continue;
        for (long k : it->second) {
          if (best >= 0 && k >= best) continue;
          if (CMathFunCls::IsSame3DDot_Prec(m_intersectDots[k], *p, prec)) best = k;
        }
      }
  if (best < 0) return true;
  *index = best;
  return false;
}

long CMeshIntersect::RegisterPnt(const KRO::G3D_DVertex& p, long cutTri) {
  KRO::G3D_DVertex q = p;
  long idx = -1;
  if (IsDifferentPnt(&q, &idx)) {
    idx = static_cast<long>(m_intersectDots.size());
    m_intersectDots.push_back(p);
    m_dotCutTris.push_back(std::vector<long>(1, cutTri));
    long long ix, iy, iz;
    GridCell(p, &ix, &iy, &iz);
    // Identical keys of distinct cells only merge buckets.
    m_pntGrid[GridKey(ix, iy, iz)].push_back(idx);
  } else {
    m_dotCutTris[idx].push_back(cutTri);
  }
  return idx;
}

void CMeshIntersect::AddACutTri(long tri) {
  // The cut flag of a listed triangle is already 1, which answers the
  // membership question without scanning the list.
  if (tri >= 0 && tri < static_cast<long>(m_triCutFlags.size())) {
    if (m_triCutFlags[tri] != 0) return;
  } else if (std::find(m_cutTris.begin(), m_cutTris.end(), tri) != m_cutTris.end()) {
    return;
  }
  m_cutTris.push_back(tri);
}

long CMeshIntersect::GetIntersetcPntsFromTriPair(long pairIndex, long* d0, long* d1) {
  *d0 = *d1 = -1;
  tcTriCutPair* pairs = nullptr;
  long count = 0;
  CObbtBase* cut = GetCutObbt();
  CObbtBase* cutting = GetCuttingObbt();
  if (!m_pObbtObjProcc || !cut || !cutting) return 1;
  m_pObbtObjProcc->GetCollideTriPair(&pairs, &count);
  if (!pairs || pairIndex < 0 || pairIndex >= count) return 1;
  const tcTriCutPair& pair = pairs[pairIndex];

  // Zeroed so that a triangle the tree cannot deliver reads as degenerate.
  KRO::G3D_DVertex a[3] = {}, b[3] = {};
  cut->GetTriDotFromObbt(a, pair.triIndex1);
  cutting->GetTriDotFromObbt(b, pair.triIndex2);
  if (!CMathFunCls::IsLegalTri(&a[0], &a[1], &a[2]) ||
      !CMathFunCls::IsLegalTri(&b[0], &b[1], &b[2]))
    return 1;

  std::vector<KRO::G3D_DVertex> pts;
  if (CMathFunCls::IsOnOneSurf_Tri_Tri(a[0], a[1], a[2], b[0], b[1], b[2])) {
    CMathFunCls::Tri_Tri_OnSurf(a[0], a[1], a[2], b[0], b[1], b[2], pts);
    if (pts.size() >= 2) {
      for (const KRO::G3D_DVertex& p : pts) *d0 = RegisterPnt(p, pair.triIndex1);
    }
    return 1;
  }

  long pos = 0;
  KRO::G3D_DVertex x;
  auto edgeTri = [&](KRO::G3D_DVertex& p, KRO::G3D_DVertex& q, KRO::G3D_DVertex* t) {
    if (CMathFunCls::line_tri(&p.x, &q.x, &t[0].x, &t[1].x, &t[2].x, &x.x, &pos) == 1)
      pts.push_back(x);
  };
  edgeTri(a[0], a[1], b);
  edgeTri(a[1], a[2], b);
  edgeTri(a[0], a[2], b);
  edgeTri(b[0], b[1], a);
  edgeTri(b[1], b[2], a);
  edgeTri(b[0], b[2], a);
  if (pts.size() < 2) return 1;

  const double prec = GetCutPrec();
  if (CMathFunCls::IsSame3DDot_Prec(pts[0], pts[1], prec)) {
    size_t k = 2;
    while (k < pts.size() && CMathFunCls::IsSame3DDot_Prec(pts[k], pts[0], prec)) ++k;
    if (k >= pts.size()) return 1;
    pts[1] = pts[k];
  }
  *d0 = RegisterPnt(pts[0], pair.triIndex1);
  *d1 = RegisterPnt(pts[1], pair.triIndex1);
  return 1;
}

long CMeshIntersect::CalIntersectDots(CObbtObjProcc* procc, KroSimpleMesh* finalMesh) {
  m_pFinalMesh = finalMesh;
  FreeSegChain();
  m_cutTriPnts.clear();
  m_dotCutTris.clear();
  m_intersectLins.clear();
  m_cutTris.clear();
  m_intersectDots.clear();
  m_triCutFlags.clear();
  m_pntGrid.clear();
  m_cutTriSegs.clear();
  m_cutTriSegsReady = false;

  m_pObbtObjProcc = procc;
  CObbtBase* cut = GetCutObbt();
  if (!procc || !cut || !GetCuttingObbt()) return -1;
  const double prec = GetCutPrec();
  m_pntGridCell = (std::isfinite(prec) && prec > 1e-12) ? prec : 1e-12;

  tcCutSegNode* head = new (std::nothrow) tcCutSegNode{false, -1, -1, nullptr};
  if (!head) return -1;
  // Frees the chain built here on every early exit.
  auto dropChain = [](tcCutSegNode* n) {
    while (n) {
      tcCutSegNode* next = n->next;
      delete n;
      n = next;
    }
  };
  const long triNum = cut->GetTriNumFromObbt();
  if (triNum > 0) m_triCutFlags.assign(triNum, 0);

  const long pairNum = GetPairNum();
  std::unordered_set<std::pair<long, long>, SegKeyHash> known;
  tcCutSegNode* tail = head;
  try {
    tcTriCutPair* pairs = nullptr;
    long count = 0;
    procc->GetCollideTriPair(&pairs, &count);
    for (long i = 0; i < pairNum; ++i) {
      long d0 = -1, d1 = -1;
      GetIntersetcPntsFromTriPair(i, &d0, &d1);
      if (d0 == -1 && d1 == -1) continue;
      const long tri = pairs[i].triIndex1;
      AddACutTri(tri);
      if (tri >= 0 && tri < static_cast<long>(m_triCutFlags.size())) m_triCutFlags[tri] = 1;
      if (!known.insert(SegKey(d0, d1)).second) continue;
      tcCutSegNode* node = new (std::nothrow) tcCutSegNode{false, d0, d1, nullptr};
      if (!node) {
        dropChain(head);
        return -1;
      }
      tail->next = node;
      tail = node;
    }
  } catch (const std::bad_alloc&) {
    dropChain(head);
    return -1;
  }
  std::sort(m_cutTris.begin(), m_cutTris.end());

  if (m_intersectDots.empty()) {
    dropChain(head);
    return -1;
  }
  m_pCutSegList = head;
  if (m_cutTris.empty()) return 0;
  SetAllCrossPntsNoInTri();
  CalAllCutLines();
  if (m_pFinalMesh) NewFinalSimpMesh();
  return 1;
}
