#include "kromesh/organize/CBFSearch.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "kromesh/math/CMathFunCls.h"

namespace {

// Two edge ends match a cut point when they agree with it per axis by less
// than this.
constexpr double kCutPointTol = 0.01;

double Coord(const KRO::G3D_DVertex& p, int axis) {
  return axis == 0 ? p.x : (axis == 1 ? p.y : p.z);
}

}  // namespace

// ---------------------------------------------------------------------------
// CQqtype

CQqtype::CQqtype() : m_front(-1), m_rear(-1), m_count(0), m_capacity(0) {}

CQqtype::~CQqtype() = default;

void CQqtype::InitiateQQueue(long n) {
  if (n < 0) n = 0;
  m_buf.clear();
  m_front = -1;
  m_rear = -1;
  m_count = 0;
  try {
    m_buf.assign(static_cast<size_t>(n), 0);
    m_capacity = n;
  } catch (const std::bad_alloc&) {
    m_capacity = 0;
  }
}

long CQqtype::AppendQQueue(long x) {
  if (IsFullQQueue()) return 0;
  m_rear = (m_rear + 1) % m_capacity;
  m_buf[static_cast<size_t>(m_rear)] = x;
  ++m_count;
  return 1;
}

long CQqtype::DeleteQQueue() {
  if (m_capacity <= 0 || IsEmptyQQueue()) return 0;
  m_front = (m_front + 1) % m_capacity;
  return m_buf[static_cast<size_t>(m_front)];
}

bool CQqtype::IsEmptyQQueue() const {
  return m_front == m_rear;
}

bool CQqtype::IsFullQQueue() const {
  if (m_capacity <= 0) return true;
  // Before the first removal front is -1, which the ring test never meets:
  // without this a fresh queue would overwrite its oldest unread entry.
  if (m_front == -1 && m_rear == m_capacity - 1) return true;
  return (m_rear + 1) % m_capacity == m_front;
}

void CQqtype::ResetBuf() {
  m_front = -1;
  m_rear = -1;
  m_count = 0;
}

// ---------------------------------------------------------------------------
// CBFSearch

CBFSearch::CBFSearch()
    : m_pVertices(nullptr),
      m_pTriangles(nullptr),
      m_pNeighbours(nullptr),
      m_triCount(0),
      m_vertexCount(0),
      m_pCutPoints(nullptr),
      m_cutPointCount(0),
      m_cutAxis(0) {}

CBFSearch::~CBFSearch() = default;

CBFSearch::CBFSearch(const CBFSearch& other)
    : m_pVertices(other.m_pVertices),
      m_pTriangles(other.m_pTriangles),
      m_pNeighbours(other.m_pNeighbours),
      m_triCount(other.m_triCount),
      m_vertexCount(other.m_vertexCount),
      m_pCutPoints(other.m_pCutPoints),
      m_cutPointCount(other.m_cutPointCount),
      m_pieces(other.m_pieces),
      m_marks(other.m_marks),
      m_ownNeighbours(other.m_ownNeighbours),
      m_cutOrder(other.m_cutOrder),
      m_cutAxis(other.m_cutAxis) {
  // Neighbours the other object owns are copied; point at our own copy.
  if (!other.m_ownNeighbours.empty() && other.m_pNeighbours == other.m_ownNeighbours.data())
    m_pNeighbours = m_ownNeighbours.data();
}

CBFSearch& CBFSearch::operator=(const CBFSearch& other) {
  if (this != &other) {
    CBFSearch copy(other);
    m_pVertices = copy.m_pVertices;
    m_pTriangles = copy.m_pTriangles;
    m_triCount = copy.m_triCount;
    m_vertexCount = copy.m_vertexCount;
    m_pCutPoints = copy.m_pCutPoints;
    m_cutPointCount = copy.m_cutPointCount;
    m_pieces.swap(copy.m_pieces);
    m_marks.swap(copy.m_marks);
    const bool owned =
        copy.m_pNeighbours == copy.m_ownNeighbours.data() && !copy.m_ownNeighbours.empty();
    m_ownNeighbours.swap(copy.m_ownNeighbours);
    m_pNeighbours = owned ? m_ownNeighbours.data() : copy.m_pNeighbours;
    m_cutOrder.swap(copy.m_cutOrder);
    m_cutAxis = copy.m_cutAxis;
  }
  return *this;
}

void CBFSearch::InitSeachObj(KRO::G3D_DVertex* vertices, long vertexCount, C3DTriData* triangles,
                             C3DTriaTop* neighbours, long triangleCount,
                             KRO::G3D_DVertex* cutPoints, long cutPointCount) {
  m_pVertices = vertices;
  m_vertexCount = vertexCount > 0 ? vertexCount : 0;
  m_pTriangles = triangles;
  m_triCount = triangleCount > 0 ? triangleCount : 0;
  m_pCutPoints = cutPoints;
  m_cutPointCount = (cutPoints && cutPointCount > 0) ? cutPointCount : 0;
  m_pieces.clear();
  m_marks.clear();
  m_ownNeighbours.clear();
  m_pNeighbours = neighbours;
  SortCutPoints();

  // An empty mesh has no seed to flood from: leave the object without marks.
  if (!m_pTriangles || m_triCount < 1) {
    m_triCount = 0;
    return;
  }

  try {
    const size_t nt = static_cast<size_t>(m_triCount);
    if (!m_pNeighbours) {
      m_ownNeighbours.resize(nt);
      m_pNeighbours = m_ownNeighbours.data();
    }

    // Corners outside the vertex range get a vertex of their own beyond the
    // range, so the neighbour search neither reads out of bounds nor joins
    // two triangles through an invalid corner.
    long phantom = m_vertexCount;
    std::vector<C3DTriData> checked;
    for (size_t t = 0; t < nt; ++t) {
      for (int k = 0; k < 3; ++k) {
        const long v = m_pTriangles[t].v[k];
        if (v >= 0 && v < m_vertexCount) continue;
        if (checked.empty()) checked.assign(m_pTriangles, m_pTriangles + nt);
        checked[t].v[k] = phantom++;
      }
    }
    C3DTriData* tris = checked.empty() ? m_pTriangles : checked.data();
    if (CMathFunCls::SetTinTop(tris, m_pNeighbours, m_triCount, phantom, 0) != 1) {
      for (size_t t = 0; t < nt; ++t) m_pNeighbours[t] = C3DTriaTop{{-1, -1, -1}};
    }
    m_marks.assign(nt, 0);
  } catch (const std::bad_alloc&) {
    m_marks.clear();
    if (m_pNeighbours == m_ownNeighbours.data()) m_pNeighbours = nullptr;
    m_ownNeighbours.clear();
  }
}

void CBFSearch::SortCutPoints() {
  m_cutOrder.clear();
  m_cutAxis = 0;
  if (m_cutPointCount < 1) return;
  // The axis of widest spread separates the points best.
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
  double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (long i = 0; i < m_cutPointCount; ++i) {
    for (int a = 0; a < 3; ++a) {
      const double c = Coord(m_pCutPoints[i], a);
      if (!std::isfinite(c)) continue;
      lo[a] = std::min(lo[a], c);
      hi[a] = std::max(hi[a], c);
    }
  }
  double best = -1.0;
  for (int a = 0; a < 3; ++a) {
    const double spread = hi[a] >= lo[a] ? hi[a] - lo[a] : 0.0;
    if (spread > best) {
      best = spread;
      m_cutAxis = a;
    }
  }
  try {
    m_cutOrder.resize(static_cast<size_t>(m_cutPointCount));
  } catch (const std::bad_alloc&) {
    m_cutOrder.clear();  // MatchesCutPoint falls back to a plain scan
    return;
  }
  for (long i = 0; i < m_cutPointCount; ++i) m_cutOrder[static_cast<size_t>(i)] = i;
  const int axis = m_cutAxis;
  const KRO::G3D_DVertex* pts = m_pCutPoints;
  // NaN coordinates go last so that the order stays a strict weak order.
  std::stable_sort(m_cutOrder.begin(), m_cutOrder.end(), [pts, axis](long a, long b) {
    const double ca = Coord(pts[a], axis);
    const double cb = Coord(pts[b], axis);
    if (std::isnan(ca)) return false;
    if (std::isnan(cb)) return true;
    return ca < cb;
  });
}

bool CBFSearch::MatchesCutPoint(const KRO::G3D_DVertex& p) const {
  if (m_cutPointCount < 1) return false;
  if (m_cutOrder.empty()) {
    for (long i = 0; i < m_cutPointCount; ++i)
      if (CMathFunCls::IsSame3DDot_Prec(m_pCutPoints[i], p, kCutPointTol)) return true;
    return false;
  }
  // The points whose coordinate on the sort axis differs from p's by less
  // than the tolerance form one run of the sorted order; only they can match.
  const int axis = m_cutAxis;
  const double c = Coord(p, axis);
  const KRO::G3D_DVertex* pts = m_pCutPoints;
  auto first = std::partition_point(m_cutOrder.begin(), m_cutOrder.end(), [&](long i) {
    return Coord(pts[i], axis) - c <= -kCutPointTol;
  });
  for (auto it = first; it != m_cutOrder.end(); ++it) {
    const KRO::G3D_DVertex& q = pts[*it];
    if (!(Coord(q, axis) - c < kCutPointTol)) break;
    if (CMathFunCls::IsSame3DDot_Prec(q, p, kCutPointTol)) return true;
  }
  return false;
}

bool CBFSearch::judgeInterLin(KRO::G3D_DVertex& a, KRO::G3D_DVertex& b) {
  return MatchesCutPoint(a) && MatchesCutPoint(b);
}

bool CBFSearch::IsCutEdge(long va, long vb) {
  if (m_cutPointCount < 1) return false;
  // An edge whose ends cannot be read is never crossed.
  if (!IsVertexIndex(va) || !IsVertexIndex(vb)) return true;
  return judgeInterLin(m_pVertices[va], m_pVertices[vb]);
}

void CBFSearch::Search(CQqtype* queue, long seed) {
  if (!queue || !m_pTriangles || !m_pNeighbours || m_marks.empty()) return;
  if (seed < 0 || seed >= m_triCount) return;
  const long label = seed + 1;
  if (!queue->AppendQQueue(seed)) return;
  m_marks[static_cast<size_t>(seed)] = label;
  while (!queue->IsEmptyQQueue()) {
    const long t = queue->DeleteQQueue();
    if (t < 0 || t >= m_triCount) continue;
    const C3DTriData& tri = m_pTriangles[t];
    const C3DTriaTop& top = m_pNeighbours[t];
    for (int k = 0; k < 3; ++k) {
      const long nb = top.n[k];
      if (nb < 0 || nb >= m_triCount || m_marks[static_cast<size_t>(nb)] != 0) continue;
      if (IsCutEdge(tri.v[k], tri.v[(k + 1) % 3])) continue;
      if (queue->AppendQQueue(nb)) m_marks[static_cast<size_t>(nb)] = label;
    }
  }
}

void CBFSearch::SplitObj() {
  m_pieces.clear();
  if (!m_pTriangles || m_triCount < 1 || m_marks.empty()) return;
  CQqtype queue;
  queue.InitiateQQueue(m_triCount);
  if (queue.GetCapacity() < m_triCount) return;
  Search(&queue, 0);
  m_pieces.push_back(queue);

  queue.InitiateQQueue(m_triCount);
  for (long t = 0; t < m_triCount; ++t)
    if (m_marks[static_cast<size_t>(t)] == 0) queue.AppendQQueue(t);
  if (queue.GetCount() > 0) m_pieces.push_back(queue);
}

long CBFSearch::GetResObjNum() const {
  return static_cast<long>(m_pieces.size());
}

void CBFSearch::GetSurfTriList(long i, long** list, long* n) {
  if (i < 0 || i >= GetResObjNum()) {
    if (list) *list = nullptr;
    if (n) *n = 0;
    return;
  }
  CQqtype& piece = m_pieces[static_cast<size_t>(i)];
  if (list) *list = piece.GetBuf();
  if (n) *n = std::min(piece.GetCount(), piece.GetCapacity());
}

KROTriStru* CBFSearch::GetResObj(long /*i*/) {
  return nullptr;
}

void CBFSearch::GetOneTinData(long /*i*/) {}

void CBFSearch::AdjustTriDataByObjNo(long /*i*/) {}

long CBFSearch::GetMark(long t) const {
  if (t < 0 || t >= static_cast<long>(m_marks.size())) return -1;
  return m_marks[static_cast<size_t>(t)];
}
