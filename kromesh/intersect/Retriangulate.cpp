// Re-triangulation of the cut triangles: each one split by a constrained
// triangulation of its corners, the cut points on it and the cut segments.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/intersect/ExactCut.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {}  // namespace

void CMeshIntersect::BuildCutTriSegs() {
  m_cutTriSegs.assign(m_cutTris.size(), std::vector<long>());
  const long nDots = static_cast<long>(m_intersectDots.size());
  const long s = GetSrcMesh() ? static_cast<long>(GetSrcMesh()->m_positions.size()) : 0;
  // Cut triangles carrying each point, ascending: a segment belongs to the
  // triangles that carry both of its ends.
  std::vector<std::vector<long>> trisOfDot(nDots);
  for (size_t j = 0; j < m_cutTriPnts.size(); ++j) {
    const std::vector<long>& list = m_cutTriPnts[j];
    for (size_t k = 3; k < list.size(); ++k) {
      const long d = list[k] - s;
      if (d >= 0 && d < nDots) trisOfDot[d].push_back(static_cast<long>(j));
    }
  }
  if (m_pCutSegList) {
    std::vector<long> common;
    for (tcCutSegNode* n = m_pCutSegList->next; n; n = n->next) {
      // An end of -1 (a parallel pair) is no point and never a constraint.
      if (n->dot0 < 0 || n->dot1 < 0 || n->dot0 >= nDots || n->dot1 >= nDots) continue;
      if (n->dot0 == n->dot1) continue;
      const std::vector<long>& ta = trisOfDot[n->dot0];
      const std::vector<long>& tb = trisOfDot[n->dot1];
      common.clear();
      std::set_intersection(ta.begin(), ta.end(), tb.begin(), tb.end(), std::back_inserter(common));
      for (long j : common) {
        m_cutTriSegs[j].push_back(n->dot0);
        m_cutTriSegs[j].push_back(n->dot1);
      }
    }
  }
  m_cutTriSegsReady = true;
}

long CMeshIntersect::GetAllCutTriPntAndSeg(long* idx, long* nPts, void* segs, long* nSegs, long j,
                                           long /*tri*/) {
  if (!idx || !nPts || !segs || !nSegs || j < 0 || j >= static_cast<long>(m_cutTriPnts.size()))
    return -1;
  const std::vector<long>& list = m_cutTriPnts[j];
  *nPts = static_cast<long>(list.size());
  if (*nPts < 4) return -1;
  std::copy(list.begin(), list.end(), idx);
  std::sort(idx, idx + *nPts);  // corners first: their indices lie below the source count

  if (!m_cutTriSegsReady) BuildCutTriSegs();
  const long s = GetSrcMesh() ? static_cast<long>(GetSrcMesh()->m_positions.size()) : 0;
  long* out = static_cast<long*>(segs);
  const std::vector<long>& mine = m_cutTriSegs[j];
  for (size_t k = 0; k + 1 < mine.size(); k += 2) {
    const long* pa = std::lower_bound(idx, idx + *nPts, mine[k] + s);
    const long* pb = std::lower_bound(idx, idx + *nPts, mine[k + 1] + s);
    if (pa == idx + *nPts || *pa != mine[k] + s || pb == idx + *nPts || *pb != mine[k + 1] + s)
      continue;
    out[2 * *nSegs] = static_cast<long>(pa - idx);
    out[2 * *nSegs + 1] = static_cast<long>(pb - idx);
    ++*nSegs;
  }
  return 1;
}

signed char CMeshIntersect::CoplanarFlag(long srcTri, const KRO::G3D_DVertex* t) {
  auto it = m_coplanarOf.find(srcTri);
  CObbtBase* cutting = GetCuttingObbt();
  if (it == m_coplanarOf.end() || !cutting) return 0;
  const KRO::G3D_DVertex g = {(t[0].x + t[1].x + t[2].x) / 3, (t[0].y + t[1].y + t[2].y) / 3,
                              (t[0].z + t[1].z + t[2].z) / 3};
  for (const std::pair<long, int>& p : it->second) {
    KRO::G3D_DVertex b[3] = {};
    cutting->GetTriDotFromObbt(b, p.first);
    if (kroexact::InTriangleProjected(b, g)) return static_cast<signed char>(p.second);
  }
  return 0;
}

void CMeshIntersect::BuildCutEdges(const std::vector<long>& newIndex) {
  // m_cutEdges holds the edges in the numbering before the unused points
  // were dropped; renumber, and drop what no longer exists.
  CObbtBase* cutting = GetCuttingObbt();
  const long n = static_cast<long>(newIndex.size());
  std::vector<tcCutEdge> out;
  out.reserve(m_cutEdges.size());
  for (tcCutEdge e : m_cutEdges) {
    if (e.v0 < 0 || e.v1 < 0 || e.v0 >= n || e.v1 >= n) continue;
    e.v0 = newIndex[e.v0];
    e.v1 = newIndex[e.v1];
    if (e.v0 < 0 || e.v1 < 0 || e.v0 == e.v1) continue;
    out.push_back(e);
  }
  m_cutEdges.swap(out);
  (void)cutting;
}

long CMeshIntersect::TranglateMdl() {
  // Without a chain the cut has been re-triangulated already: running again
  // would renumber nothing but move the points by the reference point twice.
  if (m_cutTris.empty() || !m_pCutSegList) return 0;
  long result = 1;
  KroSimpleMesh* mesh = m_pFinalMesh;
  KroSimpleMesh* src = GetSrcMesh();
  CObbtBase* cut = GetCutObbt();

  do {
    if (!mesh || !src || !cut) {
      result = -1;
      break;
    }
    const long nTri = static_cast<long>(src->m_triangles.size());
    const long D = static_cast<long>(m_intersectDots.size());
    // The flags run parallel to the triangle buffer: one per source
    // triangle, then one per triangle written below.
    m_triCutFlags.resize(nTri, 0);
    for (long t : m_cutTris)
      if (t >= 0 && t < nTri) m_triCutFlags[t] = 1;

    // Attributes are extended only where they run parallel to the positions.
    const bool hasColours =
        !mesh->m_colours[0].empty() && mesh->m_colours[0].size() == mesh->m_positions.size();
    const bool hasTex =
        !mesh->m_texCoords[0].empty() && mesh->m_texCoords[0].size() == mesh->m_positions.size();
    const long s = static_cast<long>(src->m_positions.size());
    long written = 0;
    bool stopped = false;
    std::vector<kroexact::FacePnt> pts;
    std::vector<long> segs;
    std::vector<KRO::G3D_DVertex> added;
    std::vector<C3DTriData> pieces;
    std::vector<long> edgeBuf;
    m_cutEdges.clear();
    // Which triangles lie on a cutting triangle, parallel to the buffer.
    std::vector<signed char> cop;
    try {
      if (!m_cutTriSegsReady) BuildCutTriSegs();
      if (!m_coplanarOf.empty()) {
        cop.assign(nTri, 0);
        for (const auto& c : m_coplanarOf) {
          if (c.first < 0 || c.first >= nTri) continue;
          KRO::G3D_DVertex v[3];
          for (int k = 0; k < 3; ++k) v[k] = src->m_positions[src->m_triangles[c.first].v[k]];
          cop[c.first] = CoplanarFlag(c.first, v);
        }
      }
    } catch (const std::bad_alloc&) {
      result = -1;
      break;
    }
    for (size_t j = 0; j < m_cutTris.size() && !stopped; ++j) {
      const long t = m_cutTris[j];
      // A triangle that is not re-triangulated stays in the mesh.
      auto keep = [&]() {
        if (t >= 0 && t < static_cast<long>(m_triCutFlags.size())) m_triCutFlags[t] = 0;
      };
      const std::vector<long>& list = m_cutTriPnts[j];
      const long nPos = static_cast<long>(mesh->m_positions.size());
      bool ok = list.size() >= 4;
      for (size_t i = 0; i < list.size() && ok; ++i) ok = list[i] >= 0 && list[i] < nPos;
      if (!ok) {
        keep();
        continue;
      }
      pts.clear();
      segs.clear();
      bool onEdge = false;
      for (size_t i = 3; i < list.size(); ++i) {
        const long d = list[i] - s;
        kroexact::FacePnt fp = {list[i], -1, -1, mesh->m_positions[list[i]]};
        if (d >= 0 && d < static_cast<long>(m_dotAnchors.size())) {
          const std::pair<long, long>& an = m_dotAnchors[d];
          for (int c = 0; c < 3; ++c) {
            if (an.first >= 0 && list[c] == an.first) fp.c0 = c;
            if (an.second >= 0 && list[c] == an.second) fp.c1 = c;
          }
          if (an.second >= 0 && (fp.c0 < 0 || fp.c1 < 0)) fp.c0 = fp.c1 = -1;
        }
        onEdge = onEdge || (fp.c0 >= 0 && fp.c1 >= 0);
        pts.push_back(fp);
      }
      for (long d : m_cutTriSegs[j]) segs.push_back(d + s);
      // Without a constraint and without a point splitting one of its edges
      // the triangle stays whole.
      if (segs.empty() && !onEdge) {
        keep();
        continue;
      }
      const KRO::G3D_DVertex V[3] = {mesh->m_positions[list[0]], mesh->m_positions[list[1]],
                                     mesh->m_positions[list[2]]};
      added.clear();
      if (!kroexact::SplitFace(V, list.data(), pts, segs, nPos, added, pieces, &edgeBuf)) {
        keep();
        continue;
      }
      try {
        for (const KRO::G3D_DVertex& q : added) {
          mesh->m_positions.push_back(q);
          if (hasColours) mesh->m_colours[0].push_back(mesh->m_colours[0][0]);
          if (hasTex) {
            D_3DOT a = {V[0].x, V[0].y, V[0].z}, b = {V[1].x, V[1].y, V[1].z},
                   c = {V[2].x, V[2].y, V[2].z}, pq = {q.x, q.y, q.z};
            const KRO::G_TEXCOORD& t0 = mesh->m_texCoords[0][list[0]];
            const KRO::G_TEXCOORD& t1 = mesh->m_texCoords[0][list[1]];
            const KRO::G_TEXCOORD& t2 = mesh->m_texCoords[0][list[2]];
            D_DOT ta = {t0.u, t0.v}, tb = {t1.u, t1.v}, tc = {t2.u, t2.v};
            D_DOT out = {ta.x, ta.y};  // a degenerate frame keeps the first corner's value
            CMathFunCls::_tcGetTextureOfTriangle(&a, &b, &c, &pq, &ta, &tb, &tc, &out);
            mesh->m_texCoords[0].push_back({static_cast<float>(out.x), static_cast<float>(out.y)});
          }
          m_intersectDots.push_back(q);
        }
        // The cut-line edges, each with the cutting triangle that made its
        // segment (none when several did).
        for (size_t k = 0; k + 2 < edgeBuf.size(); k += 3) {
          const long sk = edgeBuf[k + 2];
          tcCutEdge e;
          e.v0 = edgeBuf[k];
          e.v1 = edgeBuf[k + 1];
          e.cutter[0] = e.cutter[1] = e.cutter[2] = KRO::G3D_DVertex{0, 0, 0};
          auto it = m_segCutter.find(std::make_pair(std::min(segs[2 * sk], segs[2 * sk + 1]) - s,
                                                    std::max(segs[2 * sk], segs[2 * sk + 1]) - s));
          e.sure = it != m_segCutter.end() && it->second >= 0;
          if (e.sure && GetCuttingObbt()) GetCuttingObbt()->GetTriDotFromObbt(e.cutter, it->second);
          m_cutEdges.push_back(e);
        }
        for (const C3DTriData& tri : pieces) {
          const long pos = nTri + written;
          if (pos >= static_cast<long>(mesh->m_triangles.size())) mesh->m_triangles.resize(pos + 1);
          mesh->m_triangles[pos] = tri;
          m_triCutFlags.push_back(0);
          if (!cop.empty()) {
            const KRO::G3D_DVertex v[3] = {mesh->m_positions[tri.v[0]], mesh->m_positions[tri.v[1]],
                                           mesh->m_positions[tri.v[2]]};
            cop.push_back(CoplanarFlag(t, v));
          }
          ++written;
        }
      } catch (const std::bad_alloc&) {
        result = -1;
        stopped = true;
        break;
      }
      m_finalTriNum = nTri + written;
    }
    if (result < 1 || stopped) break;

    if (!mesh->m_triangles.empty()) {
      // Where each position lands once the unused ones are dropped (as
      // DeleteTinPnts numbers them): the cut edges are kept in that numbering.
      std::vector<long> newIndex;
      try {
        const long nP = static_cast<long>(mesh->m_positions.size());
        newIndex.assign(nP, -1);
        for (long i = 0; i < m_finalTriNum && i < static_cast<long>(mesh->m_triangles.size()); ++i)
          if (i >= static_cast<long>(m_triCutFlags.size()) || m_triCutFlags[i] == 0)
            for (long v : mesh->m_triangles[i].v)
              if (v >= 0 && v < nP) newIndex[v] = 0;
        long next = 0;
        for (long& n : newIndex)
          if (n == 0) n = next++;
        BuildCutEdges(newIndex);
        m_finalCoplanar.clear();
        if (!cop.empty())
          for (long i = 0; i < m_finalTriNum && i < static_cast<long>(cop.size()); ++i)
            if (i >= static_cast<long>(m_triCutFlags.size()) || m_triCutFlags[i] == 0)
              m_finalCoplanar.push_back(cop[i]);
      } catch (const std::bad_alloc&) {
        m_cutEdges.clear();
      }
      result = DeleteCutTinTris();
      if (result <= 0) {
        result = -1;
        break;
      }
    }
    const KRO::G3D_DVertex ref = cut->GetRefDot();
    for (long k = 0; k < D && k < static_cast<long>(m_intersectDots.size()); ++k) {
      m_intersectDots[k].x += ref.x;
      m_intersectDots[k].y += ref.y;
      m_intersectDots[k].z += ref.z;
    }
  } while (false);

  FreeSegChain();
  m_cutTriSegs.clear();
  m_cutTriSegsReady = false;
  return result;
}
