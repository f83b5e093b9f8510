// Result mesh preparation and clean-up; copy and destruction of the engine.
#include <algorithm>
#include <new>

#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {

// Node-by-node copy of a chain; on allocation failure the partial copy is
// freed and bad_alloc passes on.
tcCutSegNode* CloneChain(const tcCutSegNode* src) {
  tcCutSegNode* head = nullptr;
  tcCutSegNode** link = &head;
  for (; src; src = src->next) {
    tcCutSegNode* n = new (std::nothrow) tcCutSegNode{src->used, src->dot0, src->dot1, nullptr};
    if (!n) {
      while (head) {
        tcCutSegNode* next = head->next;
        delete head;
        head = next;
      }
      throw std::bad_alloc();
    }
    *link = n;
    link = &n->next;
  }
  return head;
}

}  // namespace

CMeshIntersect::CMeshIntersect()
    : m_calLinFlag(0),
      m_pObbtObjProcc(nullptr),
      m_pCutSegList(nullptr),
      m_pFinalMesh(nullptr),
      m_finalTriNum(0),
      m_cutTriSegsReady(false) {}

CMeshIntersect::CMeshIntersect(const CMeshIntersect& other) : CMeshIntersect() {
  CopyFrom(other);
}

CMeshIntersect& CMeshIntersect::operator=(const CMeshIntersect& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

CMeshIntersect::~CMeshIntersect() {
  FreeSegChain();
}

void CMeshIntersect::CopyFrom(const CMeshIntersect& other) {
  // The chain is cloned before anything is replaced, so that a failed
  // allocation leaves this object as it was.
  tcCutSegNode* chain = CloneChain(other.m_pCutSegList);
  FreeSegChain();
  m_pCutSegList = chain;
  m_calLinFlag = other.m_calLinFlag;
  m_pObbtObjProcc = other.m_pObbtObjProcc;
  m_pFinalMesh = other.m_pFinalMesh;
  m_finalTriNum = other.m_finalTriNum;
  m_cutTriPnts = other.m_cutTriPnts;
  m_dotCutTris = other.m_dotCutTris;
  m_intersectLins = other.m_intersectLins;
  m_cutTris = other.m_cutTris;
  m_intersectDots = other.m_intersectDots;
  m_triCutFlags = other.m_triCutFlags;
  m_pntKeys = other.m_pntKeys;
  m_segCutter = other.m_segCutter;
  m_cutEdges = other.m_cutEdges;
  m_coplanarOf = other.m_coplanarOf;
  m_finalCoplanar = other.m_finalCoplanar;
  m_dotAnchors = other.m_dotAnchors;
  m_cutTriSegs = other.m_cutTriSegs;
  m_cutTriSegsReady = other.m_cutTriSegsReady;
}

void CMeshIntersect::FreeSegChain() {
  tcCutSegNode* n = m_pCutSegList;
  while (n) {
    tcCutSegNode* next = n->next;
    delete n;
    n = next;
  }
  m_pCutSegList = nullptr;
}

long CMeshIntersect::NewFinalSimpMesh() {
  KroSimpleMesh* dst = m_pFinalMesh;
  KroSimpleMesh* src = GetSrcMesh();
  if (!dst || !src) return 1;
  const long s = static_cast<long>(src->m_positions.size());
  const long nTri = static_cast<long>(src->m_triangles.size());
  const long D = static_cast<long>(m_intersectDots.size());
  const long P = GetPairNum();

  m_finalTriNum = nTri;
  // A caller passing the source mesh itself must not read what it
  // overwrote: only then is the source copied first.
  std::vector<C3DTriData> trisCopy;
  std::vector<KRO::G3D_DVertex> posCopy;
  std::vector<KRO::COLOR4> colsCopy;
  std::vector<KRO::G_TEXCOORD> texsCopy;
  const bool same = dst == src;
  if (same) {
    trisCopy = src->m_triangles;
    posCopy = src->m_positions;
    colsCopy = src->m_colours[0];
    texsCopy = src->m_texCoords[0];
  }
  const std::vector<C3DTriData>& tris = same ? trisCopy : src->m_triangles;
  const std::vector<KRO::G3D_DVertex>& pos = same ? posCopy : src->m_positions;
  const std::vector<KRO::COLOR4>& cols = same ? colsCopy : src->m_colours[0];
  const std::vector<KRO::G_TEXCOORD>& texs = same ? texsCopy : src->m_texCoords[0];

  dst->m_triangles.assign(nTri + 10 * P + 10, C3DTriData{{0, 0, 0}});
  std::copy(tris.begin(), tris.end(), dst->m_triangles.begin());

  dst->m_positions.resize(s + D);
  std::copy(pos.begin(), pos.end(), dst->m_positions.begin());
  for (long k = 0; k < D; ++k) dst->m_positions[s + k] = m_intersectDots[k];

  if (!cols.empty()) {
    dst->m_colours[0].resize(s + D);
    std::copy(cols.begin(), cols.end(), dst->m_colours[0].begin());
    for (long k = 0; k < D; ++k) dst->m_colours[0][s + k] = cols[0];
  }

  if (!texs.empty()) {
    std::vector<KRO::G_TEXCOORD>& tc = dst->m_texCoords[0];
    tc.resize(s + D);
    std::copy(texs.begin(), texs.end(), tc.begin());
    const long nPos = s + D;
    for (const std::vector<long>& L : m_cutTriPnts) {
      if (L.size() <= 2) continue;
      if (L[0] < 0 || L[1] < 0 || L[2] < 0 || L[0] >= s || L[1] >= s || L[2] >= s) continue;
      const KRO::G3D_DVertex& A = dst->m_positions[L[0]];
      const KRO::G3D_DVertex& B = dst->m_positions[L[1]];
      const KRO::G3D_DVertex& C = dst->m_positions[L[2]];
      D_3DOT a = {A.x, A.y, A.z}, b = {B.x, B.y, B.z}, c = {C.x, C.y, C.z};
      D_DOT ta = {tc[L[0]].u, tc[L[0]].v}, tb = {tc[L[1]].u, tc[L[1]].v},
            tcc = {tc[L[2]].u, tc[L[2]].v};
      for (size_t k = 3; k < L.size(); ++k) {
        if (L[k] < 0 || L[k] >= nPos) continue;
        const KRO::G3D_DVertex& Pk = dst->m_positions[L[k]];
        D_3DOT p = {Pk.x, Pk.y, Pk.z};
        D_DOT out = ta;  // kept when the triangle gives no frame
        CMathFunCls::_tcGetTextureOfTriangle(&a, &b, &c, &p, &ta, &tb, &tcc, &out);
        tc[L[k]] = {static_cast<float>(out.x), static_cast<float>(out.y)};
      }
    }
  }
  return 1;
}

long CMeshIntersect::DeleteCutTinTris() {
  KroSimpleMesh* mesh = m_pFinalMesh;
  if (!mesh) return -1;
  const long n = static_cast<long>(mesh->m_positions.size());
  if (m_finalTriNum <= 0) return -1;
  if (mesh->m_triangles.empty()) return 1;
  std::vector<C3DTriData> kept;
  try {
    const long inUse = std::min<long>(m_finalTriNum, static_cast<long>(mesh->m_triangles.size()));
    kept.reserve(inUse);
    for (long i = 0; i < inUse; ++i) {
      const bool cut = i < static_cast<long>(m_triCutFlags.size()) && m_triCutFlags[i] != 0;
      if (!cut) kept.push_back(mesh->m_triangles[i]);
    }
  } catch (const std::bad_alloc&) {
    return 1;
  }
  mesh->m_triangles.swap(kept);
  m_finalTriNum = static_cast<long>(mesh->m_triangles.size());

  long nUsed = n;
  KRO::COLOR4* cols =
      mesh->m_colours[0].size() >= static_cast<size_t>(n) && !mesh->m_colours[0].empty()
          ? mesh->m_colours[0].data()
          : nullptr;
  KRO::G_TEXCOORD* texs =
      mesh->m_texCoords[0].size() >= static_cast<size_t>(n) && !mesh->m_texCoords[0].empty()
          ? mesh->m_texCoords[0].data()
          : nullptr;
  DeleteTinPnts(m_finalTriNum, mesh->m_triangles.data(), &nUsed, mesh->m_positions.data(), cols,
                texs);
  if (nUsed < n) {
    mesh->m_positions.resize(nUsed);
    if (!mesh->m_colours[0].empty())
      mesh->m_colours[0].resize(std::min<size_t>(mesh->m_colours[0].size(), nUsed));
    if (!mesh->m_texCoords[0].empty())
      mesh->m_texCoords[0].resize(std::min<size_t>(mesh->m_texCoords[0].size(), nUsed));
  }
  return 1;
}

void CMeshIntersect::DeleteTinPnts(long triNum, C3DTriData* tris, long* pntNum,
                                   KRO::G3D_DVertex* pnts, KRO::COLOR4* colors,
                                   KRO::G_TEXCOORD* texs) {
  if (!pntNum || *pntNum <= 0 || !pnts || (triNum > 0 && !tris)) return;
  const long n = *pntNum;
  std::vector<long> newIndex;
  try {
    newIndex.assign(n, -1);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (long i = 0; i < triNum; ++i)
    for (int c = 0; c < 3; ++c)
      if (tris[i].v[c] >= 0 && tris[i].v[c] < n) newIndex[tris[i].v[c]] = 0;
  // A used point moves down by the number of unused points below it, in
  // place: point v is read before any write reaches index v.
  long used = 0;
  for (long v = 0; v < n; ++v) {
    if (newIndex[v] < 0) continue;
    newIndex[v] = used;
    pnts[used] = pnts[v];
    if (colors) colors[used] = colors[v];
    if (texs) texs[used] = texs[v];
    ++used;
  }
  for (long i = 0; i < triNum; ++i)
    for (int c = 0; c < 3; ++c)
      if (tris[i].v[c] >= 0 && tris[i].v[c] < n) tris[i].v[c] = newIndex[tris[i].v[c]];
  *pntNum = used;
}
