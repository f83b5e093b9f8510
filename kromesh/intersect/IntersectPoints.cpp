// Intersection points and segments of the colliding triangle pairs.
#include <algorithm>
#include <cmath>
#include <map>
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

// A triangle that can take part in a cut: three distinct corners (1e-6 per
// axis) that are not collinear. No absolute area limit: a model in small
// units still has every triangle cut, or its cut lines would have gaps.
bool IsCuttableTri(const KRO::G3D_DVertex* t) {
  for (int c = 0; c < 3; ++c)
    if (CMathFunCls::IsSame3DDot_Prec(t[c], t[(c + 1) % 3], 1e-6)) return false;
  const double ux = t[1].x - t[0].x, uy = t[1].y - t[0].y, uz = t[1].z - t[0].z;
  const double vx = t[2].x - t[0].x, vy = t[2].y - t[0].y, vz = t[2].z - t[0].z;
  const double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
  const double cross2 = cx * cx + cy * cy + cz * cz;
  const double u2 = ux * ux + uy * uy + uz * uz, v2 = vx * vx + vy * vy + vz * vz;
  // sin^2 of the corner angle at t[0] above 1e-12 (angle above 1e-6).
  return std::isfinite(cross2) && cross2 > 1e-12 * u2 * v2;
}

// Foot of p on the line through a and b (p itself for a == b).
KRO::G3D_DVertex FootOnLine(const KRO::G3D_DVertex& p, const KRO::G3D_DVertex& a,
                            const KRO::G3D_DVertex& b) {
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const double uu = ux * ux + uy * uy + uz * uz;
  if (!(uu > 0)) return p;
  const double t = ((p.x - a.x) * ux + (p.y - a.y) * uy + (p.z - a.z) * uz) / uu;
  return {a.x + t * ux, a.y + t * uy, a.z + t * uz};
}

double Dist(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
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

long CMeshIntersect::RegisterPnt(const KRO::G3D_DVertex& p, long cutTri, long anchor0,
                                 long anchor1) {
  KRO::G3D_DVertex q = p;
  long idx = -1;
  if (IsDifferentPnt(&q, &idx)) {
    idx = static_cast<long>(m_intersectDots.size());
    m_intersectDots.push_back(p);
    m_dotCutTris.push_back(std::vector<long>(1, cutTri));
    m_dotAnchors.push_back({anchor0, anchor1});
    long long ix, iy, iz;
    GridCell(p, &ix, &iy, &iz);
    // Identical keys of distinct cells only merge buckets.
    m_pntGrid[GridKey(ix, iy, iz)].push_back(idx);
    return idx;
  }
  m_dotCutTris[idx].push_back(cutTri);

  AdoptBetterPnt(idx, p, anchor0, anchor1);
  return idx;
}

void CMeshIntersect::AdoptBetterPnt(long idx, const KRO::G3D_DVertex& p, long anchor0,
                                    long anchor1) {
  // The merged point takes the most constrained of the coordinates: a mesh
  // vertex before a point on a mesh edge before a point inside a triangle.
  // A point off the edge it was found on would make the two triangles
  // sharing that edge disagree about their common boundary.
  std::pair<long, long>& have = m_dotAnchors[idx];
  if (anchor0 < 0) return;                         // nothing better offered
  if (have.first >= 0 && have.second < 0) return;  // already a vertex
  KroSimpleMesh* src = GetSrcMesh();
  const long nPos = src ? static_cast<long>(src->m_positions.size()) : 0;
  if (have.first < 0) {
    // Inside a triangle so far: the anchored candidate wins.
    SetPntAt(idx, p);
    have = {anchor0, anchor1};
    return;
  }
  if (anchor1 < 0) {
    // A vertex beats an edge.
    if (anchor0 < nPos) SetPntAt(idx, src->m_positions[anchor0]);
    have = {anchor0, -1};
    return;
  }
  if ((have.first == anchor0 && have.second == anchor1) ||
      (have.first == anchor1 && have.second == anchor0))
    return;
  // Two different edges within the precision: only their common vertex lies
  // on both.
  long common = -1;
  if (have.first == anchor0 || have.first == anchor1) common = have.first;
  if (have.second == anchor0 || have.second == anchor1) common = have.second;
  if (common >= 0 && common < nPos) {
    SetPntAt(idx, src->m_positions[common]);
    have = {common, -1};
  }
  return;
}

void CMeshIntersect::SetPntAt(long idx, const KRO::G3D_DVertex& p) {
  long long ix, iy, iz;
  GridCell(m_intersectDots[idx], &ix, &iy, &iz);
  auto it = m_pntGrid.find(GridKey(ix, iy, iz));
  if (it != m_pntGrid.end()) {
    std::vector<long>& cell = it->second;
    cell.erase(std::remove(cell.begin(), cell.end(), idx), cell.end());
  }
  m_intersectDots[idx] = p;
  GridCell(p, &ix, &iy, &iz);
  std::vector<long>& cell = m_pntGrid[GridKey(ix, iy, iz)];
  // Kept ascending: IsDifferentPnt relies on no order, but a stable one
  // keeps runs reproducible.
  cell.insert(std::upper_bound(cell.begin(), cell.end(), idx), idx);
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

void CMeshIntersect::MergeMovedPnts(tcCutSegNode* head) {
  const long n = static_cast<long>(m_intersectDots.size());
  const double prec = GetCutPrec();
  // Points were at least the precision apart when registered; a point moved
  // onto an edge or corner may now lie within it of another. Such points
  // are one point, the first registered keeping its number.
  std::vector<long> rep(n);
  bool any = false;
  for (long d = 0; d < n; ++d) {
    rep[d] = d;
    long long ix, iy, iz;
    GridCell(m_intersectDots[d], &ix, &iy, &iz);
    long best = -1;
    for (long long dx = -1; dx <= 1; ++dx)
      for (long long dy = -1; dy <= 1; ++dy)
        for (long long dz = -1; dz <= 1; ++dz) {
          auto it = m_pntGrid.find(GridKey(ix + dx, iy + dy, iz + dz));
          if (it == m_pntGrid.end()) continue;
          for (long k : it->second)
            if (k < d && rep[k] == k && (best < 0 || k < best) &&
                CMathFunCls::IsSame3DDot_Prec(m_intersectDots[k], m_intersectDots[d], prec))
              best = k;
        }
    if (best < 0) continue;
    rep[d] = best;
    any = true;
    AdoptBetterPnt(best, m_intersectDots[d], m_dotAnchors[d].first, m_dotAnchors[d].second);
  }
  if (!any) return;

  std::vector<long> renum(n, -1);
  std::vector<KRO::G3D_DVertex> dots;
  std::vector<std::pair<long, long>> anchors;
  std::vector<std::vector<long>> tris;
  for (long d = 0; d < n; ++d) {
    if (rep[d] != d) {
      renum[d] = renum[rep[d]];
      std::vector<long>& into = tris[renum[d]];
      into.insert(into.end(), m_dotCutTris[d].begin(), m_dotCutTris[d].end());
      continue;
    }
    renum[d] = static_cast<long>(dots.size());
    dots.push_back(m_intersectDots[d]);
    anchors.push_back(m_dotAnchors[d]);
    tris.push_back(std::move(m_dotCutTris[d]));
  }
  m_intersectDots.swap(dots);
  m_dotAnchors.swap(anchors);
  m_dotCutTris.swap(tris);
  m_pntGrid.clear();
  for (long d = 0; d < static_cast<long>(m_intersectDots.size()); ++d) {
    long long ix, iy, iz;
    GridCell(m_intersectDots[d], &ix, &iy, &iz);
    m_pntGrid[GridKey(ix, iy, iz)].push_back(d);
  }
  // Renumber the segments; one that now repeats an earlier one goes.
  std::unordered_set<std::pair<long, long>, SegKeyHash> known;
  for (tcCutSegNode* prev = head; prev && prev->next;) {
    tcCutSegNode* node = prev->next;
    if (node->dot0 >= 0 && node->dot0 < n) node->dot0 = renum[node->dot0];
    if (node->dot1 >= 0 && node->dot1 < n) node->dot1 = renum[node->dot1];
    if (!known.insert(SegKey(node->dot0, node->dot1)).second) {
      prev->next = node->next;
      delete node;
      continue;
    }
    prev = node;
  }
}

void CMeshIntersect::ShareEdgePnts(tcCutSegNode* head) {
  KroSimpleMesh* src = GetSrcMesh();
  if (!src) return;
  const long nPos = static_cast<long>(src->m_positions.size());
  const long nSrcTri = static_cast<long>(src->m_triangles.size());
  const double prec = GetCutPrec();
  // A point found inside a triangle but within the precision of one of its
  // corners or edges is one with that corner or edge point: it moves there,
  // or the neighbour across the edge, which does not list it, would leave
  // a crack of that width.
  for (size_t d = 0; d < m_dotAnchors.size(); ++d) {
    if (m_dotAnchors[d].first >= 0) continue;
    const KRO::G3D_DVertex p = m_intersectDots[d];
    double bestDist = prec;
    std::pair<long, long> best = {-1, -1};
    KRO::G3D_DVertex bestAt = p;
    for (long t : m_dotCutTris[d]) {
      if (t < 0 || t >= nSrcTri) continue;
      const long* v = src->m_triangles[t].v;
      bool ok = true;
      for (int c = 0; c < 3; ++c) ok = ok && v[c] >= 0 && v[c] < nPos;
      if (!ok) continue;
      for (int c = 0; c < 3; ++c) {
        const KRO::G3D_DVertex& e0 = src->m_positions[v[c]];
        const KRO::G3D_DVertex& e1 = src->m_positions[v[(c + 1) % 3]];
        const double dv = Dist(p, e0);
        if (dv < prec) {
          // A corner wins over any edge.
          if (best.second >= 0 || dv < bestDist) {
            bestDist = dv;
            best = {v[c], -1};
            bestAt = e0;
          }
          continue;
        }
        if (best.first >= 0 && best.second < 0) continue;
        const KRO::G3D_DVertex f = FootOnLine(p, e0, e1);
        const double de = Dist(p, f);
        // Only feet inside the edge; beyond it the corner test decides.
        const bool inside = Dist(f, e0) + Dist(f, e1) <= Dist(e0, e1) * (1 + 1e-12);
        if (inside && de < bestDist) {
          bestDist = de;
          best = {v[c], v[(c + 1) % 3]};
          bestAt = f;
        }
      }
    }
    if (best.first < 0) continue;
    SetPntAt(static_cast<long>(d), bestAt);
    m_dotAnchors[d] = best;
  }
  MergeMovedPnts(head);
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
  if (!IsCuttableTri(a) || !IsCuttableTri(b)) return 1;

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

  std::vector<KRO::G3D_DVertex> pts;
  if (CMathFunCls::IsOnOneSurf_Tri_Tri(a[0], a[1], a[2], b[0], b[1], b[2])) {
    CMathFunCls::Tri_Tri_OnSurf(a[0], a[1], a[2], b[0], b[1], b[2], pts);
    if (pts.size() >= 2) {
      for (const KRO::G3D_DVertex& p : pts) *d0 = RegisterPnt(p, pair.triIndex1);
    }
    return 1;
  }

  // Where each point lies on the cut triangle, as in m_dotAnchors.
  std::vector<std::pair<long, long>> where;
  long pos = 0;
  KRO::G3D_DVertex x;
  auto edgeTri = [&](KRO::G3D_DVertex& p, KRO::G3D_DVertex& q, KRO::G3D_DVertex* t,
                     std::pair<long, long> on) {
    pos = 0;
    if (CMathFunCls::line_tri(&p.x, &q.x, &t[0].x, &t[1].x, &t[2].x, &x.x, &pos) != 1) return;
    // An edge of the cutting triangle meeting the cut triangle on its
    // boundary: at a corner (given that corner's exact coordinates) or on
    // the edge a-b, b-c or c-a (then moved onto that edge's line).
    if (on.first < 0 && pos >= 1 && pos <= 3 && va[0] >= 0) {
      const int c = static_cast<int>(pos) - 1;
      const KRO::G3D_DVertex& e0 = t[c];
      const KRO::G3D_DVertex& e1 = t[(c + 1) % 3];
      if (x.x == e0.x && x.y == e0.y && x.z == e0.z) {
        on = {va[c], -1};
      } else {
        on = {va[c], va[(c + 1) % 3]};
        x = FootOnLine(x, e0, e1);
      }
    }
    pts.push_back(x);
    where.push_back(on);
  };
  edgeTri(a[0], a[1], b, {va[0], va[1]});
  edgeTri(a[1], a[2], b, {va[1], va[2]});
  edgeTri(a[0], a[2], b, {va[0], va[2]});
  edgeTri(b[0], b[1], a, {-1, -1});
  edgeTri(b[1], b[2], a, {-1, -1});
  edgeTri(b[0], b[2], a, {-1, -1});
  if (pts.size() < 2) return 1;

  const double prec = GetCutPrec();
  if (CMathFunCls::IsSame3DDot_Prec(pts[0], pts[1], prec)) {
    size_t k = 2;
    while (k < pts.size() && CMathFunCls::IsSame3DDot_Prec(pts[k], pts[0], prec)) ++k;
    if (k >= pts.size()) {
      // The triangle holds no more than a point of the cut. Its points
      // still take part in the merging, so that the points of the
      // neighbours on either side, which may lie more than the precision
      // apart, meet here rather than leave the line broken; when they were
      // merged into two different points, those two are joined.
      long first = -1, other = -1;
      for (size_t i = 0; i < pts.size(); ++i) {
        const long d = RegisterPnt(pts[i], pair.triIndex1, where[i].first, where[i].second);
        if (first < 0)
          first = d;
        else if (d != first && other < 0)
          other = d;
      }
      if (other >= 0) {
        *d0 = first;
        *d1 = other;
      }
      return 1;
    }
    pts[1] = pts[k];
    where[1] = where[k];
  }
  *d0 = RegisterPnt(pts[0], pair.triIndex1, where[0].first, where[0].second);
  *d1 = RegisterPnt(pts[1], pair.triIndex1, where[1].first, where[1].second);
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
  m_dotAnchors.clear();
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
    ShareEdgePnts(head);
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
