// Intersection points and segments of the colliding triangle pairs.
#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <unordered_set>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/intersect/ExactCut.h"
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

long CMeshIntersect::GetPairNum() const {
  if (!m_pObbtObjProcc) return 0;
  tcTriCutPair* pairs = nullptr;
  long count = 0;
  m_pObbtObjProcc->GetCollideTriPair(&pairs, &count);
  return pairs ? count : 0;
}

long CMeshIntersect::RegisterPnt(const kroexact::PntKey& key, const KRO::G3D_DVertex& p,
                                 long cutTri, long anchor0, long anchor1) {
  auto it = m_pntKeys.find(key);
  if (it != m_pntKeys.end()) {
    m_dotCutTris[it->second].push_back(cutTri);
    return it->second;
  }
  const long idx = static_cast<long>(m_intersectDots.size());
  m_intersectDots.push_back(p);
  m_dotCutTris.push_back(std::vector<long>(1, cutTri));
  m_dotAnchors.push_back({anchor0, anchor1});
  m_pntKeys.emplace(key, idx);
  return idx;
}

bool CMeshIntersect::IsOnTriEdge(long dot, long tri) const {
  if (dot < 0 || dot >= static_cast<long>(m_dotAnchors.size())) return false;
  const std::pair<long, long>& a = m_dotAnchors[dot];
  KroSimpleMesh* src = GetSrcMesh();
  if (a.first < 0 || a.second < 0 || !src || tri < 0 ||
      tri >= static_cast<long>(src->m_triangles.size()))
    return false;
  const long* v = src->m_triangles[tri].v;
  bool has0 = false, has1 = false;
  for (int c = 0; c < 3; ++c) {
    has0 = has0 || v[c] == a.first;
    has1 = has1 || v[c] == a.second;
  }
  return has0 && has1;
}

void CMeshIntersect::ShareEdgePnts(tcCutSegNode* /*head*/) {
  KroSimpleMesh* src = GetSrcMesh();
  if (!src) return;
  // A point inside a triangle by name whose rounded coordinates fall on or
  // beyond one of its edges (as the triangle is split) joins that edge, so
  // that the triangle on the other side splits the edge at it as well. Its
  // coordinates stay as they are: the other model has the same bits.
  const long nPos = static_cast<long>(src->m_positions.size());
  const long nSrcTri = static_cast<long>(src->m_triangles.size());
  for (size_t d = 0; d < m_dotAnchors.size(); ++d) {
    if (m_dotAnchors[d].first >= 0 || m_dotCutTris[d].empty()) continue;
    const long t = m_dotCutTris[d][0];
    if (t < 0 || t >= nSrcTri) continue;
    const long* v = src->m_triangles[t].v;
    if (v[0] < 0 || v[1] < 0 || v[2] < 0 || v[0] >= nPos || v[1] >= nPos || v[2] >= nPos) continue;
    const KRO::G3D_DVertex c[3] = {src->m_positions[v[0]], src->m_positions[v[1]],
                                   src->m_positions[v[2]]};
    const int e = kroexact::EdgeBeyond(c, m_intersectDots[d]);
    if (e >= 0) m_dotAnchors[d] = {v[e], v[(e + 1) % 3]};
  }
  std::map<std::pair<long, long>, std::vector<long>> wanted;
  auto key = [](long a, long b) { return a < b ? std::make_pair(a, b) : std::make_pair(b, a); };
  for (const std::pair<long, long>& a : m_dotAnchors)
    if (a.first >= 0 && a.second >= 0) wanted[key(a.first, a.second)];
  if (wanted.empty()) return;
  const long nTri = static_cast<long>(src->m_triangles.size());
  for (long t = 0; t < nTri; ++t) {
    const long* v = src->m_triangles[t].v;
    for (int c = 0; c < 3; ++c) {
      auto it = wanted.find(key(v[c], v[(c + 1) % 3]));
      if (it != wanted.end()) it->second.push_back(t);
    }
  }
  // A point on an edge belongs to every triangle along that edge, whether
  // or not a pair of that triangle found it: otherwise the triangle keeps
  // the whole edge while its neighbour splits it.
  for (size_t d = 0; d < m_dotAnchors.size(); ++d) {
    const std::pair<long, long>& a = m_dotAnchors[d];
    if (a.first < 0 || a.second < 0) continue;
    for (long t : wanted[key(a.first, a.second)]) {
      std::vector<long>& tris = m_dotCutTris[d];
      if (std::find(tris.begin(), tris.end(), t) == tris.end()) tris.push_back(t);
      AddACutTri(t);
      if (t < static_cast<long>(m_triCutFlags.size())) m_triCutFlags[t] = 1;
    }
  }
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
  if (!kroexact::IsProperTri(a) || !kroexact::IsProperTri(b)) return 1;

  // Source vertex numbers of the cut triangle, when the tree's triangle is
  // the mesh's one: they name the edge or vertex a point is found on.
  long va[3] = {-1, -1, -1};
  KroSimpleMesh* src = GetSrcMesh();
  if (src && pair.triIndex1 >= 0 && pair.triIndex1 < static_cast<long>(src->m_triangles.size())) {
    const long* v = src->m_triangles[pair.triIndex1].v;
    const long nPos = static_cast<long>(src->m_positions.size());
    bool same = true;
    for (int c = 0; c < 3 && same; ++c)
      same = v[c] >= 0 && v[c] < nPos && src->m_positions[v[c]].x == a[c].x &&
             src->m_positions[v[c]].y == a[c].y && src->m_positions[v[c]].z == a[c].z;
    if (same) std::copy(v, v + 3, va);
  }

  m_pairTouched = false;
  std::vector<kroexact::PairPnt> pts;
  std::vector<int> segs;
  int facing = 0;
  auto anchorOf = [&](const kroexact::PairPnt& p, long* an0, long* an1) {
    *an0 = *an1 = -1;
    if (va[0] < 0) return;
    if (p.c0 >= 0) *an0 = va[p.c0];
    if (p.c1 >= 0) *an1 = va[p.c1];
  };
  if (kroexact::PairPoints(a, b, pts, &segs, &facing) != 0) {
    // One plane: the overlap's border on this triangle (stretches of the
    // other triangle's edges) becomes cut segments, and the triangle
    // remembers the partner, whose facing sorts the overlap later.
    std::vector<long> ids(pts.size());
    for (size_t k = 0; k < pts.size(); ++k) {
      long an0, an1;
      anchorOf(pts[k], &an0, &an1);
      ids[k] = RegisterPnt(pts[k].key, pts[k].at, pair.triIndex1, an0, an1);
    }
    for (int k : segs) m_pairSegs.push_back(ids[k]);
    if (!pts.empty()) {
      m_pairTouched = true;
      m_coplanarOf[pair.triIndex1].push_back({pair.triIndex2, facing});
    }
    return 1;
  }
  if (pts.empty()) return 1;
  long got[2] = {-1, -1};
  for (size_t i = 0; i < pts.size() && i < 2; ++i) {
    long an0, an1;
    anchorOf(pts[i], &an0, &an1);
    got[i] = RegisterPnt(pts[i].key, pts[i].at, pair.triIndex1, an0, an1);
  }
  // A pair touching in one point records the point but no segment.
  if (got[1] < 0 || got[0] == got[1]) return 1;
  *d0 = got[0];
  *d1 = got[1];
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
  m_pntKeys.clear();
  m_dotAnchors.clear();
  m_segCutter.clear();
  m_cutEdges.clear();
  m_coplanarOf.clear();
  m_finalCoplanar.clear();
  m_cutTriSegs.clear();
  m_cutTriSegsReady = false;

  m_pObbtObjProcc = procc;
  CObbtBase* cut = GetCutObbt();
  if (!procc || !cut || !GetCuttingObbt()) return -1;

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
      m_pairSegs.clear();
      GetIntersetcPntsFromTriPair(i, &d0, &d1);
      if (d0 >= 0 && d1 >= 0) m_pairSegs.insert(m_pairSegs.begin(), {d0, d1});
      if (m_pairSegs.empty() && !m_pairTouched) continue;
      const long tri = pairs[i].triIndex1;
      AddACutTri(tri);
      if (tri >= 0 && tri < static_cast<long>(m_triCutFlags.size())) m_triCutFlags[tri] = 1;
      for (size_t k = 0; k + 1 < m_pairSegs.size(); k += 2) {
        const long s0 = m_pairSegs[k], s1 = m_pairSegs[k + 1];
        if (s0 == s1) continue;
        auto ins = m_segCutter.emplace(SegKey(s0, s1), pairs[i].triIndex2);
        if (!ins.second && ins.first->second != pairs[i].triIndex2) ins.first->second = -2;
        if (!known.insert(SegKey(s0, s1)).second) continue;
        tcCutSegNode* node = new (std::nothrow) tcCutSegNode{false, s0, s1, nullptr};
        if (!node) {
          dropChain(head);
          return -1;
        }
        tail->next = node;
        tail = node;
      }
    }
    ShareEdgePnts(head);
    // Every point is registered by now; the lookup is not needed again.
    decltype(m_pntKeys)().swap(m_pntKeys);
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
