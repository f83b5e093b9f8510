// White-box access to CMeshIntersect and small mesh builders for the
// intersection engine tests.
#pragma once

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "support/Shapes.h"

// Declared a friend by CMeshIntersect.
class CMeshIntersectProbe {
 public:
  using Seg = std::pair<long, long>;

  /// Replaces the engine's points by n made-up ones and its segment chain by
  /// a hand-made one.
  static void SetPointCount(CMeshIntersect& e, long n, const std::vector<Seg>& segs) {
    e.FreeSegChain();
    e.m_intersectDots.clear();
    for (long i = 0; i < n; ++i) e.m_intersectDots.push_back({double(i), double(i * i % 7), 0.0});
    e.m_dotCutTris.assign(static_cast<size_t>(n), std::vector<long>());
    tcCutSegNode* head = new tcCutSegNode{false, -1, -1, nullptr};
    tcCutSegNode* tail = head;
    for (const Seg& s : segs)
      tail = tail->next = new tcCutSegNode{false, s.first, s.second, nullptr};
    e.m_pCutSegList = head;
  }
  static std::vector<Seg> Chain(const CMeshIntersect& e) {
    std::vector<Seg> out;
    if (!e.m_pCutSegList) return out;
    for (tcCutSegNode* n = e.m_pCutSegList->next; n; n = n->next) out.push_back({n->dot0, n->dot1});
    return out;
  }
  static bool AnyUsed(const CMeshIntersect& e) {
    for (tcCutSegNode* n = e.m_pCutSegList; n; n = n->next)
      if (n->used) return true;
    return false;
  }
  static const std::vector<std::vector<long>>& Lines(const CMeshIntersect& e) {
    return e.m_intersectLins;
  }
  static const std::vector<unsigned char>& CutFlags(const CMeshIntersect& e) {
    return e.m_triCutFlags;
  }
  static const std::vector<std::vector<long>>& CutTriPnts(const CMeshIntersect& e) {
    return e.m_cutTriPnts;
  }
};

namespace itest {

using V = KRO::G3D_DVertex;
using shapes::Cross;
using shapes::Dot;
using shapes::Sub;
inline KroSimpleMesh MakeMesh(const std::vector<V>& pts, const std::vector<C3DTriData>& tris) {
  return shapes::ToMesh({pts, tris});
}

/// Triangle i's area vector (half the cross product).
inline V AreaVec(const KroSimpleMesh& m, size_t i) {
  const C3DTriData& t = m.m_triangles[i];
  return shapes::Scale(Cross(Sub(m.m_positions[t.v[1]], m.m_positions[t.v[0]]),
                             Sub(m.m_positions[t.v[2]], m.m_positions[t.v[0]])),
                       0.5);
}

inline double Area(const KroSimpleMesh& m) {
  return shapes::TotalArea(shapes::SoupOf(m));
}

inline bool IndicesValid(const KroSimpleMesh& m) {
  return shapes::IndicesValid(shapes::SoupOf(m));
}

/// One direction of a cut: model a cut by model b.
struct CutRig {
  CObbtSurface a, b;
  CObbtObjProcc procc;
  CMeshIntersect engine;
  KroSimpleMesh source, cutting;

  long Intersect(const KroSimpleMesh& cut, const KroSimpleMesh& by, double prec = 0.001) {
    source = cut;
    cutting = by;
    EXPECT_EQ(a.BuildMeshObbt(&source), 0);
    EXPECT_EQ(b.BuildMeshObbt(&cutting), 0);
    a.SetDataPrec(prec);
    procc.ObbtCollide(&a, &b, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
    engine.SetCalIntsersecLinFlag(1);
    return engine.CalIntersectDots(&procc, a.GetCutMesh());
  }
  KroSimpleMesh& Result() { return *a.GetCutMesh(); }
};
inline bool Same(const V& p, const V& q) {
  return p.x == q.x && p.y == q.y && p.z == q.z;
}

/// True when some triangle has the edge between positions equal to a and b.
inline bool HasEdgeAt(const KroSimpleMesh& m, const V& a, const V& b) {
  for (const C3DTriData& t : m.m_triangles)
    for (int k = 0; k < 3; ++k) {
      const V &p = m.m_positions[t.v[k]], &q = m.m_positions[t.v[(k + 1) % 3]];
      if ((Same(p, a) && Same(q, b)) || (Same(p, b) && Same(q, a))) return true;
    }
  return false;
}

}  // namespace itest
