// Re-triangulation of the cut triangles through the TIN layer.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/host/KroTin.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {

// Releases the triangulation handle on every exit path.
struct TinGuard {
  KroTinHandle h = nullptr;
  void Reset(KroTinHandle nh = nullptr) {
    if (h) KroTinRelease(h);
    h = nh;
  }
  ~TinGuard() { Reset(); }
};

// A triangle whose corners are collinear up to rounding. Intersection
// points on a triangle's edge are rarely exactly on it, and the triangulator
// then closes its hull with such slivers; written out they would have no
// area or face the wrong way.
bool IsSliver(const KroTinPntStrcT& a, const KroTinPntStrcT& b, const KroTinPntStrcT& c) {
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  const double wx = c.x - b.x, wy = c.y - b.y, wz = c.z - b.z;
  const double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
  const double area2 = std::sqrt(cx * cx + cy * cy + cz * cz);
  const double longest = std::max(
      {ux * ux + uy * uy + uz * uz, vx * vx + vy * vy + vz * vz, wx * wx + wy * wy + wz * wz});
  return area2 <= 1e-12 * longest;
}

}  // namespace

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

bool CMeshIntersect::NeedsEdgeSplit(const long* idx, long n, long t) const {
  KroSimpleMesh* src = GetSrcMesh();
  if (!src) return false;
  const long s = static_cast<long>(src->m_positions.size());
  for (long i = 0; i < n; ++i) {
    const long d = idx[i] - s;
    if (!IsOnTriEdge(d, t)) continue;
    for (long t2 : m_dotCutTris[d]) {
      if (t2 == t || !IsOnTriEdge(d, t2)) continue;
      auto it = std::lower_bound(m_cutTris.begin(), m_cutTris.end(), t2);
      if (it == m_cutTris.end() || *it != t2) continue;
      const size_t j2 = static_cast<size_t>(it - m_cutTris.begin());
      if (j2 < m_cutTriSegs.size() && !m_cutTriSegs[j2].empty()) return true;
    }
  }
  return false;
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

long CMeshIntersect::TranglateMdl() {
  // Without a chain the cut has been re-triangulated already: running again
  // would renumber nothing but move the points by the reference point twice.
  if (m_cutTris.empty() || !m_pCutSegList) return 0;
  long result = 1;
  KroSimpleMesh* mesh = m_pFinalMesh;
  KroSimpleMesh* src = GetSrcMesh();
  CObbtBase* cut = GetCutObbt();
  TinGuard tin;

  do {
    if (!mesh || !src || !cut) {
      result = -1;
      break;
    }
    const long nTri = static_cast<long>(src->m_triangles.size());
    const long D = static_cast<long>(m_intersectDots.size());
    const double prec = GetCutPrec();
    // The flags run parallel to the triangle buffer: one per source
    // triangle, then one per triangle written below.
    m_triCutFlags.resize(nTri, 0);
    for (long t : m_cutTris)
      if (t >= 0 && t < nTri) m_triCutFlags[t] = 1;

    std::vector<long> idx, idxCopy, map, segBuf;
    std::vector<KRO::G3D_DVertex> pntBuf;
    std::vector<KroTinSegStrcT> tinSegs;
    std::vector<KroTinPntStrcT> outPnts;
    std::vector<KroTinTriStrcT> outTris;
    try {
      if (!m_cutTriSegsReady) BuildCutTriSegs();
      // Sized once for the largest cut triangle, so that no triangle's
      // points or segments can overrun them.
      size_t maxPts = 3, maxSegs = 1;
      for (const std::vector<long>& l : m_cutTriPnts) maxPts = std::max(maxPts, l.size());
      for (const std::vector<long>& l : m_cutTriSegs) maxSegs = std::max(maxSegs, l.size() / 2);
      maxPts = std::max(maxPts, static_cast<size_t>(D + 30));
      maxSegs = std::max(maxSegs, static_cast<size_t>(4 * D + 12));
      idx.assign(maxPts, 0);
      idxCopy.assign(maxPts, 0);
      pntBuf.assign(maxPts, KRO::G3D_DVertex{0, 0, 0});
      segBuf.assign(2 * maxSegs, 0);
      tinSegs.reserve(maxSegs);
      outPnts.assign(D + 100, KroTinPntStrcT());
      outTris.assign(2 * GetPairNum() + 100, KroTinTriStrcT());
      map.assign(D + 30, 0);
    } catch (const std::bad_alloc&) {
      result = -1;
      break;
    }

    // Attributes are extended only where they run parallel to the positions.
    const bool hasColours =
        !mesh->m_colours[0].empty() && mesh->m_colours[0].size() == mesh->m_positions.size();
    const bool hasTex =
        !mesh->m_texCoords[0].empty() && mesh->m_texCoords[0].size() == mesh->m_positions.size();
    long written = 0;
    bool stopped = false;
    for (size_t j = 0; j < m_cutTris.size() && !stopped; ++j) {
      const long t = m_cutTris[j];
      tin.Reset();
      long n = 0, m = 0;
      // A triangle that is not re-triangulated stays in the mesh.
      auto keep = [&]() {
        if (t >= 0 && t < static_cast<long>(m_triCutFlags.size())) m_triCutFlags[t] = 0;
      };
      if (GetAllCutTriPntAndSeg(idx.data(), &n, segBuf.data(), &m, static_cast<long>(j), t) == -1) {
        keep();
        continue;
      }
      if (n == 0) continue;
      const long nPos = static_cast<long>(mesh->m_positions.size());
      bool inRange = true;
      for (long i = 0; i < n; ++i) inRange = inRange && idx[i] >= 0 && idx[i] < nPos;
      if (!inRange) {
        keep();
        continue;
      }
      for (long i = 0; i < n; ++i) pntBuf[i] = mesh->m_positions[idx[i]];

      // Segments shorter than the data precision collapse onto their
      // midpoint and are dropped.
      for (long k = 0; k < m;) {
        KRO::G3D_DVertex& a = pntBuf[segBuf[2 * k]];
        KRO::G3D_DVertex& b = pntBuf[segBuf[2 * k + 1]];
        if (CMathFunCls::IsSame3DDot_Prec(a, b, prec)) {
          const KRO::G3D_DVertex mid = {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
          a = mid;
          b = mid;
          --m;
          segBuf[2 * k] = segBuf[2 * m];
          segBuf[2 * k + 1] = segBuf[2 * m + 1];
        } else {
          ++k;
        }
      }
      if (m == 0) {
        // Without a constraint the triangle stays whole, unless a point
        // lies on one of its edges and a neighbour along that edge has cut
        // segments: that neighbour splits the edge at the point, so this
        // triangle must use the point as well.
        if (!NeedsEdgeSplit(idx.data(), n, t)) {
          keep();
          continue;
        }
      }

      const std::vector<long>& corners = m_cutTriPnts[j];
      KRO::G3D_DVertex V[3] = {mesh->m_positions[corners[0]], mesh->m_positions[corners[1]],
                               mesh->m_positions[corners[2]]};
      double N0[3];
      CMathFunCls::GetTriangleNormal(&V[0].x, &V[1].x, &V[2].x, N0);
      const bool adjust = CMathFunCls::IsNeedAdjust(V) != 0;
      KRO::G3D_DVertex rect[4];
      if (adjust) {
        if (CMathFunCls::_tcGetRectof3DTri(V, rect) != 1) {
          keep();
          continue;
        }
        for (long i = 0; i < n; ++i) {
          D_DOT f;
          CMathFunCls::GetVolToImgCoor(rect, &pntBuf[i], &f);
          pntBuf[i] = {f.x, f.y, 0.0};
        }
      }

      tinSegs.clear();
      for (long k = 0; k < m; ++k)
        tinSegs.push_back(
            {static_cast<int32_t>(segBuf[2 * k]), static_cast<int32_t>(segBuf[2 * k + 1])});
      tin.Reset(KroTinCreate(nullptr, pntBuf.data(), n, tinSegs.data(), m, 0, 0, 1));
      if (!tin.h) {
        result = -1;
        break;
      }
      long np = 0, nt = 0;
      int16_t st = KroTinRun(tin.h, &np, &nt);
      if (st < 1) {
        result = st;
        break;
      }
      try {
        // Grown rather than refused: a triangle crossed by many constraints
        // may add more points than the initial room.
        if (static_cast<long>(outPnts.size()) < np + 1) outPnts.resize(np + 1);
        if (static_cast<long>(outTris.size()) < nt + 1) outTris.resize(nt + 1);
        if (static_cast<long>(map.size()) < np) map.resize(np);
      } catch (const std::bad_alloc&) {
        result = -1;
        break;
      }
      st = KroTinFetch(tin.h, outPnts.data(), static_cast<long>(outPnts.size()), outTris.data(),
                       static_cast<long>(outTris.size()));
      if (st < 1) {
        result = st;
        break;
      }
      for (long k = 1; k <= nt; ++k)
        for (int c = 0; c < 3; ++c) --outTris[k].v[c];
      std::copy(idx.begin(), idx.begin() + n, idxCopy.begin());

      try {
        for (long i = 0; i < np; ++i) {
          KroTinPntStrcT& o = outPnts[i + 1];
          const KRO::G3D_DVertex p = {o.x, o.y, o.z};
          const long k = CMathFunCls::FindTriPntPosInOldBuf(p, pntBuf.data(), n);
          if (k >= 0) {
            map[i] = idxCopy[k];
            continue;
          }
          KRO::G3D_DVertex q = p;
          if (adjust) {
            D_DOT f = {p.x, p.y};
            CMathFunCls::GetImgToVolCoor(rect, &f, &q);
          }
          map[i] = static_cast<long>(mesh->m_positions.size());
          mesh->m_positions.push_back(q);
          if (hasColours) mesh->m_colours[0].push_back(mesh->m_colours[0][0]);
          if (hasTex) {
            D_3DOT a = {V[0].x, V[0].y, V[0].z}, b = {V[1].x, V[1].y, V[1].z},
                   c = {V[2].x, V[2].y, V[2].z}, pq = {q.x, q.y, q.z};
            const KRO::G_TEXCOORD& t0 = mesh->m_texCoords[0][corners[0]];
            const KRO::G_TEXCOORD& t1 = mesh->m_texCoords[0][corners[1]];
            const KRO::G_TEXCOORD& t2 = mesh->m_texCoords[0][corners[2]];
            D_DOT ta = {t0.u, t0.v}, tb = {t1.u, t1.v}, tc = {t2.u, t2.v};
            D_DOT out = {ta.x, ta.y};  // a degenerate frame keeps the first corner's value
            CMathFunCls::_tcGetTextureOfTriangle(&a, &b, &c, &pq, &ta, &tb, &tc, &out);
            mesh->m_texCoords[0].push_back({static_cast<float>(out.x), static_cast<float>(out.y)});
          }
          m_intersectDots.push_back(q);
        }
      } catch (const std::bad_alloc&) {
        result = -1;
        break;
      }
      if (adjust) {
        for (long i = 1; i <= np; ++i) {
          D_DOT f = {outPnts[i].x, outPnts[i].y};
          KRO::G3D_DVertex q;
          CMathFunCls::GetImgToVolCoor(rect, &f, &q);
          outPnts[i].x = q.x;
          outPnts[i].y = q.y;
          outPnts[i].z = q.z;
        }
      }

      // The triangulator winds every triangle counter-clockwise in its plane
      // (the frame's first and second axis, or x and y for a level triangle),
      // so one sign decides the facing of the whole replacement. Taking it
      // from the frame, not from an output triangle, keeps a sliver whose
      // points were merged across an edge from turning every piece round.
      double frameN[3] = {0.0, 0.0, 1.0};
      if (adjust) {
        const double e1[3] = {rect[1].x - rect[0].x, rect[1].y - rect[0].y, rect[1].z - rect[0].z};
        const double e2[3] = {rect[3].x - rect[0].x, rect[3].y - rect[0].y, rect[3].z - rect[0].z};
        frameN[0] = e1[1] * e2[2] - e1[2] * e2[1];
        frameN[1] = e1[2] * e2[0] - e1[0] * e2[2];
        frameN[2] = e1[0] * e2[1] - e1[1] * e2[0];
      }
      const bool flip = N0[0] * frameN[0] + N0[1] * frameN[1] + N0[2] * frameN[2] < 0.0;
      long mine = 0;
      for (long k = 1; k <= nt; ++k) {
        KroTinTriStrcT& ot = outTris[k];
        bool usable = true;
        for (int c = 0; c < 3; ++c)
          usable = usable && ot.v[c] >= 0 && ot.v[c] < np && outPnts[ot.v[c] + 1].flag != 0;
        if (usable && IsSliver(outPnts[ot.v[0] + 1], outPnts[ot.v[1] + 1], outPnts[ot.v[2] + 1]))
          usable = false;
        if (!usable) {
          ot.flag = 0;
          continue;
        }
        const long pos = nTri + written + mine;
        C3DTriData tri = {{map[ot.v[0]], map[ot.v[1]], map[ot.v[2]]}};
        if (flip) std::swap(tri.v[0], tri.v[1]);
        try {
          if (pos >= static_cast<long>(mesh->m_triangles.size())) mesh->m_triangles.resize(pos + 1);
          m_triCutFlags.push_back(0);
        } catch (const std::bad_alloc&) {
          result = -1;
          stopped = true;
          break;
        }
        mesh->m_triangles[pos] = tri;
        ++mine;
      }
      written += mine;
      m_finalTriNum = nTri + written;
    }
    if (result < 1 || stopped) break;

    if (!mesh->m_triangles.empty()) {
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

  tin.Reset();
  FreeSegChain();
  m_cutTriSegs.clear();
  m_cutTriSegsReady = false;
  return result;
}
