#include "kromesh/math/TriangleIndex.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <utility>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;

namespace {

// The plain nearest-centroid search starts from this distance: a centroid
// at least this far away is never chosen.
constexpr double kFarDist = 1.79769313486232e+307;
constexpr long kLeafSize = 8;
// Deep enough for any depth-first tree over fewer than 2^62 items.
constexpr int kStackDepth = 128;

// How far beyond a triangle's box a cutting point may lie. line_tri's
// angle-sum test accepts points within about 2.5e-8 x (edge length) of the
// triangle; Check3dPntAndSeg accepts points within 1e-6 of an end of the
// segment. The index widens each box well past both, plus a share of the
// coordinates' size for rounding.
constexpr double kAbsMargin = 2e-6;
constexpr double kEdgeMargin = 1e-6;
constexpr double kRoundMargin = 1e-11;

bool Finite(const G3D_DVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

double MaxAbs(const G3D_DVertex& v) {
  return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
}

const double* Ptr(const G3D_DVertex& v) {
  return &v.x;
}

// A box rounded outwards to floats.
struct BuildItem {
  float lo[3], hi[3];
  int32_t id;
  float Mid(int a) const { return 0.5f * lo[a] + 0.5f * hi[a]; }
};

// Nodes of the tree BuildRange makes over n items, so that the node array
// is allocated once at its final size.
long NodeCount(long n) {
  if (n <= kLeafSize) return 1;
  return 1 + NodeCount(n / 2) + NodeCount(n - n / 2);
}

// x rounded down / up to a float: a box kept in floats still holds what the
// double box held.
// Values beyond the float range go to the largest float or to infinity.
float FloatDown(double x) {
  if (x >= FLT_MAX) return FLT_MAX;
  if (x < -FLT_MAX) return -HUGE_VALF;
  float f = static_cast<float>(x);
  if (static_cast<double>(f) > x) f = std::nextafter(f, -HUGE_VALF);
  return f;
}
float FloatUp(double x) {
  if (x <= -FLT_MAX) return -FLT_MAX;
  if (x > FLT_MAX) return HUGE_VALF;
  float f = static_cast<float>(x);
  if (static_cast<double>(f) < x) f = std::nextafter(f, HUGE_VALF);
  return f;
}

// Builds a depth-first tree over items[b, e) by median splits along the
// widest spread of the item centres; returns the index of its root.
template <class NodeT>
int32_t BuildRange(std::vector<BuildItem>& items, long b, long e, std::vector<NodeT>& nodes) {
  const auto self = static_cast<int32_t>(nodes.size());
  nodes.emplace_back();
  NodeT n{};
  float lo[3], hi[3], clo[3], chi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = clo[a] = HUGE_VALF;
    hi[a] = chi[a] = -HUGE_VALF;
  }
  for (long i = b; i < e; ++i) {
    const BuildItem& it = items[static_cast<size_t>(i)];
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], it.lo[a]);
      hi[a] = std::max(hi[a], it.hi[a]);
      clo[a] = std::min(clo[a], it.Mid(a));
      chi[a] = std::max(chi[a], it.Mid(a));
    }
  }
  for (int a = 0; a < 3; ++a) {
    n.lo[a] = lo[a];
    n.hi[a] = hi[a];
  }
  if (e - b <= kLeafSize) {
    n.first = static_cast<int32_t>(b);
    n.count = static_cast<int32_t>(e - b);
    n.right = -1;
    nodes[static_cast<size_t>(self)] = n;
    return self;
  }
  int axis = 0;
  for (int a = 1; a < 3; ++a)
    if (chi[a] - clo[a] > chi[axis] - clo[axis]) axis = a;
  const long mid = b + (e - b) / 2;
  std::nth_element(items.begin() + b, items.begin() + mid, items.begin() + e,
                   [axis](const BuildItem& x, const BuildItem& y) {
                     const float cx = x.Mid(axis), cy = y.Mid(axis);
                     return cx < cy || (cx == cy && x.id < y.id);
                   });
  BuildRange(items, b, mid, nodes);
  n.first = 0;
  n.count = 0;
  n.right = BuildRange(items, mid, e, nodes);
  nodes[static_cast<size_t>(self)] = n;
  return self;
}

// Builds the tree over items and frees them.
template <class NodeT>
void BuildTree(std::vector<BuildItem>& items, std::vector<NodeT>& nodes,
               std::vector<int32_t>& order) {
  nodes.clear();
  order.clear();
  if (!items.empty()) {
    nodes.reserve(static_cast<size_t>(NodeCount(static_cast<long>(items.size()))));
    BuildRange(items, 0, static_cast<long>(items.size()), nodes);
    order.reserve(items.size());
    for (const BuildItem& it : items) order.push_back(it.id);
  }
  std::vector<BuildItem>().swap(items);
}

// Parameter interval of p + t*d, t in [0, 1], inside the box widened by
// slop; false when the segment misses it. tEnter receives the entry.
template <class NodeT>
bool SegmentMeetsBox(const double* p, const double* d, const NodeT& n, double slop,
                     double& tEnter) {
  double t0 = 0.0, t1 = 1.0;
  for (int a = 0; a < 3; ++a) {
    const double lo = n.lo[a] - slop, hi = n.hi[a] + slop;
    if (d[a] == 0.0) {
      if (p[a] < lo || p[a] > hi) return false;
      continue;
    }
    double ta = (lo - p[a]) / d[a], tb = (hi - p[a]) / d[a];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  tEnter = t0;
  return true;
}

// A lower bound of the square of CalDist3dDot(g, p) over every point g of
// the box.
template <class NodeT>
double BoxDistanceSq(const double* p, const NodeT& n) {
  double d[3];
  for (int a = 0; a < 3; ++a)
    d[a] = p[a] < n.lo[a] ? n.lo[a] - p[a] : (p[a] > n.hi[a] ? p[a] - n.hi[a] : 0.0);
  return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

}  // namespace

CTriangleIndex::CTriangleIndex() : m_triCount(0), m_unreadableCount(0) {}

CTriangleIndex::~CTriangleIndex() = default;

CTriangleIndex::CTriangleIndex(const CTriangleIndex& other) {
  *this = other;
}

CTriangleIndex& CTriangleIndex::operator=(const CTriangleIndex& other) {
  if (this == &other) return *this;
  m_triCount = other.m_triCount;
  m_unreadableCount = other.m_unreadableCount;
  m_pts = other.m_pts;
  m_ownTris = other.m_ownTris;
  // A copy of an index over its own copies reads the new copies.
  const bool owns = other.m_viewTris && other.m_viewTris == other.m_ownTris.data();
  m_viewPts = owns ? m_pts.data() : other.m_viewPts;
  m_viewTris = owns ? m_ownTris.data() : other.m_viewTris;
  m_flags = other.m_flags;
  m_segNodes = other.m_segNodes;
  m_segItems = other.m_segItems;
  m_unboxed = other.m_unboxed;
  m_cenNodes = other.m_cenNodes;
  m_cenItems = other.m_cenItems;
  m_cenPts = other.m_cenPts;
  return *this;
}

// Moving a vector keeps its buffer, so the view pointers stay right.
CTriangleIndex::CTriangleIndex(CTriangleIndex&& other) noexcept {
  *this = std::move(other);
}

CTriangleIndex& CTriangleIndex::operator=(CTriangleIndex&& other) noexcept {
  if (this != &other) {
    m_triCount = other.m_triCount;
    m_unreadableCount = other.m_unreadableCount;
    m_viewPts = other.m_viewPts;
    m_viewTris = other.m_viewTris;
    m_pts = std::move(other.m_pts);
    m_ownTris = std::move(other.m_ownTris);
    m_flags = std::move(other.m_flags);
    m_segNodes = std::move(other.m_segNodes);
    m_segItems = std::move(other.m_segItems);
    m_unboxed = std::move(other.m_unboxed);
    m_cenNodes = std::move(other.m_cenNodes);
    m_cenItems = std::move(other.m_cenItems);
    m_cenPts = std::move(other.m_cenPts);
    other.Clear();
  }
  return *this;
}

void CTriangleIndex::Clear() {
  m_triCount = 0;
  m_unreadableCount = 0;
  m_viewPts = nullptr;
  m_viewTris = nullptr;
  m_pts.clear();
  m_ownTris.clear();
  m_flags.clear();
  m_segNodes.clear();
  m_segItems.clear();
  m_unboxed.clear();
  m_cenNodes.clear();
  m_cenItems.clear();
  m_cenPts.clear();
}

long CTriangleIndex::Build(const G3D_DVertex* verts, long nVerts, const C3DTriData* tris,
                           long nTris) {
  Clear();
  if (!verts || !tris || nVerts <= 0 || nTris <= 0) return 0;
  if (nTris > INT32_MAX / 2) return -1;  // beyond what the trees can number
  try {
    m_pts.assign(verts, verts + nVerts);
    m_ownTris.assign(tris, tris + nTris);
  } catch (const std::bad_alloc&) {
    Clear();
    return -1;
  }
  return IndexOwnCopies();
}

long CTriangleIndex::Build(const KroPntStrcT* pts, long nPts, const KroNetStrcT* nets, long nNets) {
  Clear();
  if (!pts || !nets || nPts <= 0 || nNets <= 0) return 0;
  if (nNets > INT32_MAX / 2) return -1;
  try {
    m_pts.resize(static_cast<size_t>(nPts));
    for (long i = 0; i < nPts; ++i) m_pts[static_cast<size_t>(i)] = {pts[i].x, pts[i].y, pts[i].z};
    m_ownTris.resize(static_cast<size_t>(nNets));
    for (long i = 0; i < nNets; ++i)
      for (int k = 0; k < 3; ++k) m_ownTris[static_cast<size_t>(i)].v[k] = nets[i].pnt[k] - 1;
  } catch (const std::bad_alloc&) {
    Clear();
    return -1;
  }
  return IndexOwnCopies();
}

long CTriangleIndex::BuildView(const G3D_DVertex* verts, long nVerts, const C3DTriData* tris,
                               long nTris) {
  Clear();
  if (!verts || !tris || nVerts <= 0 || nTris <= 0) return 0;
  if (nTris > INT32_MAX / 2) return -1;
  return Index(verts, nVerts, tris, nTris);
}

long CTriangleIndex::IndexOwnCopies() {
  return Index(m_pts.data(), static_cast<long>(m_pts.size()), m_ownTris.data(),
               static_cast<long>(m_ownTris.size()));
}

long CTriangleIndex::Index(const G3D_DVertex* verts, long nVerts, const C3DTriData* tris,
                           long nTris) {
  try {
    m_flags.assign(static_cast<size_t>(nTris), kReadable);
    for (long i = 0; i < nTris; ++i)
      for (int k = 0; k < 3; ++k)
        if (tris[i].v[k] < 0 || tris[i].v[k] >= nVerts) m_flags[static_cast<size_t>(i)] = 0;
    m_viewPts = verts;
    m_viewTris = tris;
    m_triCount = nTris;
    return BuildFromTris();
  } catch (const std::bad_alloc&) {
    Clear();
    return -1;
  }
}

G3D_DVertex CTriangleIndex::Centroid(long i) const {
  G3D_DVertex c[3] = {P(i, 0), P(i, 1), P(i, 2)}, g;
  CMathFunCls::GetBaryOfTri(&c[0].x, &c[1].x, &c[2].x, &g.x);
  return g;
}

// Fills the sliver flags and both trees (may throw std::bad_alloc; the
// callers clear the index then).
long CTriangleIndex::BuildFromTris() {
  // The two trees are built one after the other, so that only one list of
  // build items is held at a time.
  std::vector<BuildItem> items;
  items.reserve(static_cast<size_t>(m_triCount));
  for (long i = 0; i < m_triCount; ++i) {
    if (!Readable(i)) {
      ++m_unreadableCount;
      continue;
    }
    G3D_DVertex c[3] = {P(i, 0), P(i, 1), P(i, 2)};
    // Exactly the values the plain tests compute for this triangle.
    if (CMathFunCls::IsThinPlateTriangle(&c[0], &c[1], &c[2]) != -1)
      m_flags[static_cast<size_t>(i)] |= kSliver;
    if (Finite(c[0]) && Finite(c[1]) && Finite(c[2])) {
      BuildItem it;
      it.id = static_cast<int32_t>(i);
      double lo[3], hi[3], extent = 0.0, size = 0.0;
      for (int a = 0; a < 3; ++a) {
        const double v0 = Ptr(c[0])[a], v1 = Ptr(c[1])[a], v2 = Ptr(c[2])[a];
        lo[a] = std::min({v0, v1, v2});
        hi[a] = std::max({v0, v1, v2});
        extent += hi[a] - lo[a];
        size = std::max({size, std::fabs(lo[a]), std::fabs(hi[a])});
      }
      const double margin = kAbsMargin + kEdgeMargin * extent + kRoundMargin * size;
      for (int a = 0; a < 3; ++a) {
        it.lo[a] = FloatDown(lo[a] - margin);
        it.hi[a] = FloatUp(hi[a] + margin);
      }
      items.push_back(it);
    } else {
      m_unboxed.push_back(i);
    }
  }
  BuildTree(items, m_segNodes, m_segItems);

  items.reserve(static_cast<size_t>(m_triCount));
  for (long i = 0; i < m_triCount; ++i) {
    if (!Readable(i) || (m_flags[static_cast<size_t>(i)] & kSliver)) continue;
    const G3D_DVertex g = Centroid(i);
    if (!Finite(g)) continue;
    BuildItem it;
    it.id = static_cast<int32_t>(i);
    for (int a = 0; a < 3; ++a) {
      it.lo[a] = FloatDown(Ptr(g)[a]);
      it.hi[a] = FloatUp(Ptr(g)[a]);
    }
    items.push_back(it);
  }
  BuildTree(items, m_cenNodes, m_cenItems);
  m_cenPts.reserve(m_cenItems.size());
  for (int32_t id : m_cenItems) m_cenPts.push_back(Centroid(id));
  return 1;
}

bool CTriangleIndex::GetTriangle(long i, G3D_DVertex* abc) const {
  if (!abc || i < 0 || i >= m_triCount) return false;
  if (!Readable(i)) return false;
  abc[0] = P(i, 0);
  abc[1] = P(i, 1);
  abc[2] = P(i, 2);
  return true;
}

bool CTriangleIndex::GetCentroid(long i, G3D_DVertex* g) const {
  if (!g || i < 0 || i >= m_triCount) return false;
  if (!Readable(i)) return false;
  *g = Centroid(i);
  return true;
}

long CTriangleIndex::FindNearestCentroid(const G3D_DVertex* p, long seed) const {
  if (!p || m_cenItems.empty()) return -1;
  G3D_DVertex q = *p;
  double best = kFarDist, bestSq = HUGE_VAL;
  long bestId = -1;
  // Strictly nearer wins; an equal distance wins only with a lower index,
  // which is what a scan in index order keeping the first minimum gives.
  // A centroid clearly farther than the best by squared distance (with room
  // for rounding) skips the exact distance.
  auto consider = [&](long id, const G3D_DVertex& g) {
    const double dx = g.x - q.x, dy = g.y - q.y, dz = g.z - q.z;
    if (dx * dx + dy * dy + dz * dz > bestSq) return;
    G3D_DVertex at = g;
    const double d = CMathFunCls::CalDist3dDot(&at, &q);
    if (d < best || (d == best && bestId >= 0 && id < bestId)) {
      best = d;
      bestSq = d * d * (1.0 + 1e-12);
      bestId = id;
    }
  };
  // Centroids are kept in leaf order beside their ids.
  auto considerAt = [&](size_t k) { consider(m_cenItems[k], m_cenPts[k]); };
  if (!Finite(q)) {
    for (size_t k = 0; k < m_cenItems.size(); ++k) considerAt(k);
    return bestId;
  }
  // A seed in the centroid tree sets the first bound; the walk then opens
  // only what could hold a nearer centroid or a tie.
  if (seed >= 0 && seed < m_triCount && Readable(seed) &&
      !(m_flags[static_cast<size_t>(seed)] & kSliver)) {
    const G3D_DVertex g = Centroid(seed);
    if (Finite(g)) consider(seed, g);
  }
  const double* pp = Ptr(q);
  // Each entry carries its box's squared distance, measured when it was
  // pushed; it is compared again with the bound of the moment it is popped.
  struct Entry {
    long node;
    double distSq;
  };
  Entry stack[kStackDepth];
  int top = 0;
  stack[top++] = {0, BoxDistanceSq(pp, m_cenNodes[0])};
  while (top > 0) {
    const Entry e = stack[--top];
    // The bound and the exact distance round differently: prune only with
    // room to spare, so a box holding a tie is always opened.
    const double reach = best * (1.0 + 1e-12) + 1e-300;
    if (e.distSq > reach * reach) continue;
    const Node& n = m_cenNodes[static_cast<size_t>(e.node)];
    if (n.count > 0) {
      for (long k = n.first; k < n.first + n.count; ++k) considerAt(static_cast<size_t>(k));
      continue;
    }
    const long l = e.node + 1, r = n.right;
    const double dl = BoxDistanceSq(pp, m_cenNodes[static_cast<size_t>(l)]);
    const double dr = BoxDistanceSq(pp, m_cenNodes[static_cast<size_t>(r)]);
    // Nearer child last on the stack, so it is opened first.
    if (dl <= dr) {
      stack[top++] = {r, dr};
      stack[top++] = {l, dl};
    } else {
      stack[top++] = {l, dl};
      stack[top++] = {r, dr};
    }
  }
  return bestId;
}

bool CTriangleIndex::SegmentCut(long tri, long skip, const G3D_DVertex& p,
                                const G3D_DVertex& q) const {
  if (tri == skip || tri < 0 || tri >= m_triCount) return false;
  if (!Readable(tri)) return false;
  G3D_DVertex a = p, b = q, c[3] = {P(tri, 0), P(tri, 1), P(tri, 2)};
  double x[3];
  if (CMathFunCls::line_tri(&a.x, &b.x, &c[0].x, &c[1].x, &c[2].x, x, nullptr) != 1) return false;
  G3D_DVertex hit = {x[0], x[1], x[2]};
  return CMathFunCls::Check3dPntAndSeg(&a, &b, &hit) == 0;
}

long CTriangleIndex::CheckSegAndOther(long skip, const G3D_DVertex* p, const G3D_DVertex* q,
                                      long* hint) const {
  if (!p || !q || m_triCount == 0) return 0;
  if (hint && SegmentCut(*hint, skip, *p, *q)) return 1;
  auto found = [&](long id) {
    if (hint) *hint = id;
    return 1L;
  };
  for (long id : m_unboxed)
    if (SegmentCut(id, skip, *p, *q)) return found(id);

  const double d[3] = {q->x - p->x, q->y - p->y, q->z - p->z};
  if (!Finite(*p) || !Finite(*q) || !std::isfinite(d[0]) || !std::isfinite(d[1]) ||
      !std::isfinite(d[2])) {
    // No box can be trusted with such a segment: test every triangle.
    for (long id = 0; id < m_triCount; ++id)
      if (SegmentCut(id, skip, *p, *q)) return found(id);
    return 0;
  }
  if (m_segNodes.empty()) return 0;
  const double slop = kRoundMargin * std::max({1.0, MaxAbs(*p), MaxAbs(*q)});
  const double* pp = Ptr(*p);
  long stack[kStackDepth];
  int top = 0;
  double tEnter = 0.0;
  if (SegmentMeetsBox(pp, d, m_segNodes[0], slop, tEnter)) stack[top++] = 0;
  while (top > 0) {
    const long self = stack[--top];
    const Node& n = m_segNodes[static_cast<size_t>(self)];
    if (n.count > 0) {
      for (long k = n.first; k < n.first + n.count; ++k) {
        const long id = m_segItems[static_cast<size_t>(k)];
        if (SegmentCut(id, skip, *p, *q)) return found(id);
      }
      continue;
    }
    const long l = self + 1, r = n.right;
    double tl = 0.0, tr = 0.0;
    const bool hl = SegmentMeetsBox(pp, d, m_segNodes[static_cast<size_t>(l)], slop, tl);
    const bool hr = SegmentMeetsBox(pp, d, m_segNodes[static_cast<size_t>(r)], slop, tr);
    // The child the segment enters first is opened first.
    if (hl && hr) {
      if (tl <= tr) {
        stack[top++] = r;
        stack[top++] = l;
      } else {
        stack[top++] = l;
        stack[top++] = r;
      }
    } else if (hl) {
      stack[top++] = l;
    } else if (hr) {
      stack[top++] = r;
    }
  }
  return 0;
}
