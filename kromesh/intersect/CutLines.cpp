// Points per cut triangle and cut-line tracing.
#include <algorithm>
#include <new>

#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {

// A segment that tracing may follow: both ends registered points, and
// distinct. Segments with -1 (parallel pairs) or collapsed onto one point
// take no part in lines.
struct TraceSeg {
  long a, b;
  tcCutSegNode* node;
};

// Next free segment at point cur in cyclic chain order from position scan,
// the order in which a wrap-around walk over the chain would meet them;
// -1 when none is left.
long NextFreeSeg(const std::vector<long>& incident, const std::vector<TraceSeg>& segs, long scan) {
  auto from = std::lower_bound(incident.begin(), incident.end(), scan);
  for (auto it = from; it != incident.end(); ++it)
    if (!segs[*it].node->used) return *it;
  for (auto it = incident.begin(); it != from; ++it)
    if (!segs[*it].node->used) return *it;
  return -1;
}

}  // namespace

void CMeshIntersect::SetAllCrossPntsNoInTri() {
  m_cutTriPnts.clear();
  KroSimpleMesh* src = GetSrcMesh();
  const long n = src ? static_cast<long>(src->m_positions.size()) : 0;
  const long srcTris = src ? static_cast<long>(src->m_triangles.size()) : 0;
  m_cutTriPnts.resize(m_cutTris.size());
  for (size_t j = 0; j < m_cutTris.size(); ++j) {
    const long t = m_cutTris[j];
    if (t < 0 || t >= srcTris) continue;  // no corners known: left empty, never re-triangulated
    for (int c = 0; c < 3; ++c) m_cutTriPnts[j].push_back(src->m_triangles[t].v[c]);
  }
  // One pass over the points' triangle lists, points in ascending order,
  // instead of searching every list for every cut triangle.
  for (size_t k = 0; k < m_dotCutTris.size(); ++k) {
    const long idx = n + static_cast<long>(k);
    for (long t : m_dotCutTris[k]) {
      auto it = std::lower_bound(m_cutTris.begin(), m_cutTris.end(), t);
      if (it == m_cutTris.end() || *it != t) continue;
      std::vector<long>& list = m_cutTriPnts[it - m_cutTris.begin()];
      if (list.size() < 3) continue;
      if (list.size() > 3 && list.back() == idx) continue;  // named twice: once is enough
      list.push_back(idx);
    }
  }
}

long CMeshIntersect::CalAllCutLines() {
  long r = 1;
  if (m_calLinFlag == 0 || !m_pCutSegList) return r;
  m_intersectLins.clear();
  const long nDots = static_cast<long>(m_intersectDots.size());

  std::vector<TraceSeg> segs;
  std::vector<long> degree;
  std::vector<std::vector<long>> incident;
  try {
    for (tcCutSegNode* s = m_pCutSegList->next; s; s = s->next) {
      if (s->dot0 < 0 || s->dot1 < 0 || s->dot0 >= nDots || s->dot1 >= nDots) continue;
      if (s->dot0 == s->dot1) continue;
      segs.push_back({s->dot0, s->dot1, s});
    }
    degree.assign(nDots, 0);
    incident.resize(nDots);
    for (size_t i = 0; i < segs.size(); ++i) {
      ++degree[segs[i].a];
      ++degree[segs[i].b];
      incident[segs[i].a].push_back(static_cast<long>(i));
      incident[segs[i].b].push_back(static_cast<long>(i));
    }
  } catch (const std::bad_alloc&) {
    return r;
  }
  const long nSegs = static_cast<long>(segs.size());

  std::vector<long> ends;
  for (long k = 0; k < nDots; ++k)
    if (degree[k] == 1) ends.push_back(k);
  if (ends.size() % 2 != 0) return r;
  std::vector<char> visited(ends.size(), 0);

  // Takes segment s from point cur: appends its other end to line.
  auto take = [&](long s, long cur, std::vector<long>& line) {
    segs[s].node->used = true;
    const long other = segs[s].a == cur ? segs[s].b : segs[s].a;
    line.push_back(other);
    return other;
  };

  long consumed = 0;
  for (size_t ei = 0; ei < ends.size(); ++ei) {
    if (visited[ei]) continue;
    const long e = ends[ei];
    std::vector<long> line(1, e);
    long cur = e;
    long scan = 0;
    // Each step uses up one segment, so the walk ends after at most nSegs
    // steps even where the segments do not form simple chains.
    for (;;) {
      const long s = NextFreeSeg(incident[cur], segs, scan);
      if (s < 0) break;  // dangling: no free segment left here
      cur = take(s, cur, line);
      scan = (s + 1) % std::max(nSegs, 1L);
      if (cur != e) {
        auto it = std::lower_bound(ends.begin(), ends.end(), cur);
        const bool isEnd = it != ends.end() && *it == cur;
        r = isEnd ? static_cast<long>(it - ends.begin()) : -1;
        if (isEnd) {
          visited[it - ends.begin()] = 1;
          break;
        }
      }
    }
    if (line.size() > 1) {
      m_intersectLins.push_back(line);
      consumed += static_cast<long>(line.size());
    }
  }

  long firstFree = 0;
  while (consumed < nDots) {
    while (firstFree < nSegs && segs[firstFree].node->used) ++firstFree;
    if (firstFree >= nSegs) break;  // every segment used; isolated points remain
    const long start = segs[firstFree].a;
    std::vector<long> line = {start, segs[firstFree].b};
    segs[firstFree].node->used = true;
    long cur = segs[firstFree].b;
    long scan = (firstFree + 1) % nSegs;
    for (;;) {
      const long s = NextFreeSeg(incident[cur], segs, scan);
      if (s < 0) break;
      const long from = cur;
      cur = take(s, cur, line);
      scan = (s + 1) % nSegs;
      if (from == start || cur == start) break;  // loop closed
    }
    if (line.size() > 1) {
      m_intersectLins.push_back(line);
      consumed += static_cast<long>(line.size()) - 1;
    }
  }

  for (tcCutSegNode* s = m_pCutSegList->next; s; s = s->next) s->used = false;
  return r;
}

void CMeshIntersect::SetCalIntsersecLinFlag(int flag) {
  m_calLinFlag = flag;
}

void CMeshIntersect::GetCalIntsersecLinFlag(int& flag) {
  flag = m_calLinFlag;
}

long CMeshIntersect::GetIntersectLinNum() {
  return static_cast<long>(m_intersectLins.size());
}

long CMeshIntersect::GetIntersectLin(long i, std::vector<long>* out) {
  if (!out || i < 0 || i >= static_cast<long>(m_intersectLins.size())) return 0;
  *out = m_intersectLins[i];
  return 1;
}

long CMeshIntersect::GetIntersectLin(std::vector<std::vector<long>>* out) {
  if (!out) return 0;
  *out = m_intersectLins;
  return 1;
}

long CMeshIntersect::GetIntersectLin(long i, std::vector<KRO::G3D_DVertex>* out) {
  if (!out || i < 0 || i >= static_cast<long>(m_intersectLins.size())) return 0;
  out->clear();
  for (long k : m_intersectLins[i])
    if (k >= 0 && k < static_cast<long>(m_intersectDots.size())) out->push_back(m_intersectDots[k]);
  return 1;
}

long CMeshIntersect::GetIntersectLin(long i, std::vector<D_DOT>* out) {
  if (!out || i < 0 || i >= static_cast<long>(m_intersectLins.size())) return 0;
  out->clear();
  for (long k : m_intersectLins[i])
    if (k >= 0 && k < static_cast<long>(m_intersectDots.size()))
      out->push_back({m_intersectDots[k].x, m_intersectDots[k].y});
  return 1;
}

long CMeshIntersect::GetIntersectDot(std::vector<KRO::G3D_DVertex>* out) {
  if (!out) return -1;
  *out = m_intersectDots;
  return 1;
}

long CMeshIntersect::GetLongestIntersectLin(std::vector<long>* out) {
  if (m_intersectLins.empty()) return -1;
  long best = 0;
  for (long i = 1; i < static_cast<long>(m_intersectLins.size()); ++i)
    if (m_intersectLins[i].size() > m_intersectLins[best].size()) best = i;
  if (out) *out = m_intersectLins[best];
  return best;
}
