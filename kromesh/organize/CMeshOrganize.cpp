#include "kromesh/organize/CMeshOrganize.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <vector>

#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/intersect/ExactCut.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/organize/CBFSearch.h"

namespace {

constexpr double kFarAway = 1.79769313486232e+307;

bool IsSide1(Kro_Mesh_Remain_Side side) {
  return side == Kro_Remain_Side1;
}

// True when every corner of t indexes one of nv positions.
bool HasValidCorners(const C3DTriData& t, long nv) {
  for (long v : t.v)
    if (v < 0 || v >= nv) return false;
  return true;
}

// Side of every triangle of a torn region (a region a cut line ends inside),
// each asked of the checker at its centroid: 1 or 2, 0 for a triangle
// without area or not torn. The curved-surface checker's queries only read
// its index once it is built, so large batches are answered by several
// threads, each with its own copy of the checker; the answers do not depend
// on the thread count.
template <class Find>
std::vector<signed char> SidesOfTornTriangles(const KroSimpleMesh* cut,
                                              const std::vector<unsigned char>& torn, Find& find,
                                              CMeshPosCheckBase* checker) {
  const long nv = static_cast<long>(cut->m_positions.size());
  const long nt = static_cast<long>(cut->m_triangles.size());
  const KRO::G3D_DVertex* pos = cut->m_positions.data();
  const C3DTriData* tris = cut->m_triangles.data();
  std::vector<signed char> own(static_cast<size_t>(nt), 0);
  std::vector<long> ask;
  for (long i = 0; i < nt; ++i)
    if (HasValidCorners(tris[i], nv) && torn[find(i)]) ask.push_back(i);
  if (ask.empty()) return own;

  auto answer = [&](CMeshPosCheckBase* c, long i) {
    KRO::G3D_DVertex a = pos[tris[i].v[0]], b = pos[tris[i].v[1]], d = pos[tris[i].v[2]];
    if (!CMathFunCls::IsLegalTri(&a, &b, &d)) return;
    KRO::G3D_DVertex g{(a.x + b.x + d.x) / 3.0, (a.y + b.y + d.y) / 3.0, (a.z + b.z + d.z) / 3.0};
    own[i] = c->PosCheckPntAndMesh(&g, &a, &b, &d) == -1 ? 1 : 2;
  };
  auto* curved = dynamic_cast<CMeshPosCheckCurv*>(checker);
  const int threads = GetObbtThreadCount();
  constexpr size_t kBatch = 256;
  if (!curved || threads < 2 || ask.size() < 8 * kBatch) {
    for (long i : ask) answer(checker, i);
    return own;
  }
  curved->HasIndex();  // built here, once, and shared by the copies
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&]() {
    std::unique_ptr<CMeshPosCheckBase> copy(curved->Clone());
    if (!copy) {
      failed = true;
      return;
    }
    for (size_t k = next.fetch_add(kBatch); k < ask.size(); k = next.fetch_add(kBatch))
      for (size_t e = std::min(ask.size(), k + kBatch); k < e; ++k) answer(copy.get(), ask[k]);
  };
  RunOnObbtThreads(threads, work);
  if (failed)  // a copy could not be made: ask the rest here
    for (long i : ask)
      if (own[i] == 0) answer(checker, i);
  return own;
}

// Plane through the first legal triangle of the tree (or, without a tree, of
// the buffers); the first triangle when none is legal. False when there is
// no triangle at all.
bool PlaneOfCutter(RAPID_model* model, KRO::G3D_DVertex* verts, long nv, C3DTriData* tris, long nt,
                   double coef[4]) {
  double first[9] = {0};
  bool haveFirst = false;
  auto legal = [](double* p) {
    KRO::G3D_DVertex a{p[0], p[1], p[2]}, b{p[3], p[4], p[5]}, c{p[6], p[7], p[8]};
    return CMathFunCls::IsLegalTri(&a, &b, &c);
  };
  double p[9];
  if (model && model->GetTriCount() > 0) {
    const long n = model->GetTriCount();
    for (long i = 0; i < n; ++i) {
      if (model->GetTriVertices(p, i) != 1) continue;
      if (!haveFirst) std::copy(p, p + 9, first), haveFirst = true;
      if (legal(p)) {
        CMathFunCls::GetPanelCoef(p, p + 3, p + 6, coef);
        return true;
      }
    }
  } else if (verts && tris) {
    for (long i = 0; i < nt; ++i) {
      if (!HasValidCorners(tris[i], nv)) continue;
      for (int k = 0; k < 3; ++k) {
        const KRO::G3D_DVertex& v = verts[tris[i].v[k]];
        p[3 * k] = v.x, p[3 * k + 1] = v.y, p[3 * k + 2] = v.z;
      }
      if (!haveFirst) std::copy(p, p + 9, first), haveFirst = true;
      if (legal(p)) {
        CMathFunCls::GetPanelCoef(p, p + 3, p + 6, coef);
        return true;
      }
    }
  }
  if (!haveFirst) return false;
  CMathFunCls::GetPanelCoef(first, first + 3, first + 6, coef);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// CMeshOrganizeBase: settings

CMeshOrganizeBase::CMeshOrganizeBase()
    : m_pObbtModel(nullptr),
      m_pVertices(nullptr),
      m_vertexCount(0),
      m_pTriangles(nullptr),
      m_triCount(0),
      m_pOrgVertices(nullptr),
      m_orgVertexCount(0),
      m_pOrgTriangles(nullptr),
      m_orgTriCount(0),
      m_splitFlag(0),
      m_refDot{0.0, 0.0, kFarAway},
      m_cutMeshBox{0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
      m_posCheckPolylineNum(0),
      m_meshType(Kro_Mesh_Surface),
      m_cutedMdlType(static_cast<Kro_Mesh_Type>(0)),
      m_side1VertexNum(0),
      m_side1TriNum(0),
      m_side2VertexNum(0),
      m_side2TriNum(0),
      m_pInterDots(nullptr),
      m_interDotNum(0) {}

CMeshOrganizeBase::~CMeshOrganizeBase() = default;

CMeshOrganizeBase::CMeshOrganizeBase(const CMeshOrganizeBase& other)
    : m_pObbtModel(other.m_pObbtModel),
      m_pVertices(other.m_pVertices),
      m_vertexCount(other.m_vertexCount),
      m_pTriangles(other.m_pTriangles),
      m_triCount(other.m_triCount),
      m_pOrgVertices(other.m_pOrgVertices),
      m_orgVertexCount(other.m_orgVertexCount),
      m_pOrgTriangles(other.m_pOrgTriangles),
      m_orgTriCount(other.m_orgTriCount),
      m_splitFlag(other.m_splitFlag),
      m_refDot(other.m_refDot),
      m_cutMeshBox(other.m_cutMeshBox),
      m_posCheckPolyline(other.m_posCheckPolyline),
      m_posCheckPolylineNum(other.m_posCheckPolylineNum),
      m_meshType(other.m_meshType),
      m_cutedMdlType(other.m_cutedMdlType),
      m_pPosCheck(other.m_pPosCheck ? other.m_pPosCheck->Clone() : nullptr),
      m_side1VertexNum(other.m_side1VertexNum),
      m_side1TriNum(other.m_side1TriNum),
      m_side1TriList(other.m_side1TriList),
      m_side2VertexNum(other.m_side2VertexNum),
      m_side2TriNum(other.m_side2TriNum),
      m_side2TriList(other.m_side2TriList),
      m_side1VertexMap(other.m_side1VertexMap),
      m_side2VertexMap(other.m_side2VertexMap),
      m_pInterDots(other.m_pInterDots),
      m_interDotNum(other.m_interDotNum) {}

CMeshOrganizeBase& CMeshOrganizeBase::operator=(const CMeshOrganizeBase& other) {
  if (this == &other) return *this;
  CMeshOrganizeBase copy(other);
  m_pObbtModel = copy.m_pObbtModel;
  m_pVertices = copy.m_pVertices;
  m_vertexCount = copy.m_vertexCount;
  m_pTriangles = copy.m_pTriangles;
  m_triCount = copy.m_triCount;
  m_pOrgVertices = copy.m_pOrgVertices;
  m_orgVertexCount = copy.m_orgVertexCount;
  m_pOrgTriangles = copy.m_pOrgTriangles;
  m_orgTriCount = copy.m_orgTriCount;
  m_splitFlag = copy.m_splitFlag;
  m_refDot = copy.m_refDot;
  m_cutMeshBox = copy.m_cutMeshBox;
  m_posCheckPolyline.swap(copy.m_posCheckPolyline);
  m_posCheckPolylineNum = copy.m_posCheckPolylineNum;
  m_meshType = copy.m_meshType;
  m_cutedMdlType = copy.m_cutedMdlType;
  m_pPosCheck.swap(copy.m_pPosCheck);
  m_side1VertexNum = copy.m_side1VertexNum;
  m_side1TriNum = copy.m_side1TriNum;
  m_side1TriList.swap(copy.m_side1TriList);
  m_side2VertexNum = copy.m_side2VertexNum;
  m_side2TriNum = copy.m_side2TriNum;
  m_side2TriList.swap(copy.m_side2TriList);
  m_side1VertexMap.swap(copy.m_side1VertexMap);
  m_side2VertexMap.swap(copy.m_side2VertexMap);
  m_pInterDots = copy.m_pInterDots;
  m_interDotNum = copy.m_interDotNum;
  return *this;
}

void CMeshOrganizeBase::SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                                   C3DTriData* triangles, long triangleCount) {
  m_pObbtModel = model;
  m_pVertices = vertices;
  m_vertexCount = vertexCount;
  m_pTriangles = triangles;
  m_triCount = triangleCount;
  if (m_pPosCheck) m_pPosCheck->SetObbtObj(model, vertices, vertexCount, triangles, triangleCount);
}

void CMeshOrganizeBase::SetOrgMdl(KRO::G3D_DVertex* vertices, long vertexCount,
                                  C3DTriData* triangles, long triangleCount) {
  m_pOrgVertices = vertices;
  m_orgVertexCount = vertexCount;
  m_pOrgTriangles = triangles;
  m_orgTriCount = triangleCount;
  if (m_pPosCheck) m_pPosCheck->SetOrgMdl(vertices, vertexCount, triangles, triangleCount);
}

void CMeshOrganizeBase::BuildPosCheckObj() {}

long CMeshOrganizeBase::SetCutedMdlType(Kro_Mesh_Type type) {
  m_cutedMdlType = type;
  if (m_pPosCheck) m_pPosCheck->SetCutedMdlType(type);
  return 1;
}

void CMeshOrganizeBase::SetMeshType(Kro_Mesh_Type type) {
  m_meshType = type;
}

void CMeshOrganizeBase::SetSplitFlag(int flag) {
  m_splitFlag = flag;
}

void CMeshOrganizeBase::GetSplitFlag(int& flag) {
  flag = m_splitFlag;
}

void CMeshOrganizeBase::SetRefDot(KRO::G3D_DVertex* p) {
  if (p) m_refDot = *p;
}

void CMeshOrganizeBase::GetRefDot(KRO::G3D_DVertex* p) {
  if (p) *p = m_refDot;
}

void CMeshOrganizeBase::SetAABBOfCutedMesh(tctagD3ConvexBox* box) {
  if (box) m_cutMeshBox = *box;
}

void CMeshOrganizeBase::GetAABBOfCutedMesh(tctagD3ConvexBox* box) {
  if (box) *box = m_cutMeshBox;
}

void CMeshOrganizeBase::SetPosCheckPolyline(D_DOT* pts, long n) {
  if (!pts || n < 2) return;
  // Copied aside first: pts may be our own polyline.
  std::vector<D_DOT> copy;
  try {
    copy.assign(pts, pts + n);
  } catch (const std::bad_alloc&) {
    return;
  }
  m_posCheckPolyline.swap(copy);
  m_posCheckPolylineNum = n;
}

void CMeshOrganizeBase::GetPosCheckPolyline(D_DOT** pts, long* n) {
  if (n) *n = m_posCheckPolylineNum;
  if (pts) *pts = m_posCheckPolyline.empty() ? nullptr : m_posCheckPolyline.data();
}

void CMeshOrganizeBase::setSurfInterDots(KRO::G3D_DVertex* pts, long n) {
  m_pInterDots = pts;
  m_interDotNum = n;
}

void CMeshOrganizeBase::GetSideTriList(Kro_Mesh_Remain_Side side, const long** list,
                                       long* n) const {
  const std::vector<long>& l = IsSide1(side) ? m_side1TriList : m_side2TriList;
  if (list) *list = l.empty() ? nullptr : l.data();
  if (n) *n = IsSide1(side) ? m_side1TriNum : m_side2TriNum;
}

long CMeshOrganizeBase::GetSideVertexNum(Kro_Mesh_Remain_Side side) const {
  return IsSide1(side) ? m_side1VertexNum : m_side2VertexNum;
}

void CMeshOrganizeBase::InstallPosCheck(std::unique_ptr<CMeshPosCheckBase> checker) {
  m_pPosCheck = std::move(checker);
  if (!m_pPosCheck) return;
  m_pPosCheck->SetCutedMdlType(m_cutedMdlType);
  m_pPosCheck->SetOrgMdl(m_pOrgVertices, m_orgVertexCount, m_pOrgTriangles, m_orgTriCount);
  m_pPosCheck->SetRefDot(&m_refDot);
}

// ---------------------------------------------------------------------------
// CMeshOrganizeBase: classification

namespace {

// A side mesh that is the cut mesh itself is written before the other side
// is read: classify a copy (source) then, and point cut at it. False when
// the copy cannot be made.
bool DetachFromSides(KroSimpleMesh*& cut, const KroSimpleMesh* side1, const KroSimpleMesh* side2,
                     KroSimpleMesh& source) {
  if (side1 != cut && side2 != cut) return true;
  try {
    source = *cut;
    source.m_triangleTops = cut->m_triangleTops;
  } catch (const std::bad_alloc&) {
    return false;
  }
  cut = &source;
  return true;
}

}  // namespace

long CMeshOrganizeBase::ClassifySurfMeshTo2Side(KroSimpleMesh* cut, KroSimpleMesh* side1,
                                                KroSimpleMesh* side2) {
  if (!cut) return -1;
  KroSimpleMesh source;
  if (!DetachFromSides(cut, side1, side2, source)) return -1;
  const long nv = static_cast<long>(cut->m_positions.size());
  const long nt = static_cast<long>(cut->m_triangles.size());

  // Working arrays first, so that a failure leaves everything as it was.
  std::vector<unsigned char> seen;
  std::vector<long> list1, list2;
  try {
    seen.assign(static_cast<size_t>(nv), 0);
    list1.reserve(static_cast<size_t>(nt));
    list2.reserve(static_cast<size_t>(nt));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  m_side1VertexNum = m_side1TriNum = 0;
  m_side2VertexNum = m_side2TriNum = 0;
  m_side1VertexMap.clear();
  m_side2VertexMap.clear();
  m_side1TriList.clear();
  m_side2TriList.clear();

  const KRO::G3D_DVertex* pos = cut->m_positions.data();
  const C3DTriData* tris = cut->m_triangles.data();
  const bool regionRoad = m_pInterDots && m_interDotNum > 0 && m_posCheckPolylineNum < 2 &&
                          m_meshType == Kro_Mesh_FreeSurface;
  if (regionRoad) {
    std::vector<C3DTriaTop> tops;
    try {
      tops.resize(static_cast<size_t>(nt));
    } catch (const std::bad_alloc&) {
      m_side1TriList.swap(list1);
      m_side2TriList.swap(list2);
      return 1;  // both sides empty, side meshes untouched
    }
    CBFSearch search;
    search.InitSeachObj(cut->m_positions.data(), nv, cut->m_triangles.data(), tops.data(), nt,
                        m_pInterDots, m_interDotNum);
    search.SplitObj();
    for (long piece = 0; piece < search.GetResObjNum() && piece < 2; ++piece) {
      long* list = nullptr;
      long n = 0;
      search.GetSurfTriList(piece, &list, &n);
      std::vector<long>& dst = piece == 0 ? list1 : list2;
      // A triangle whose corners cannot be read cannot be copied out.
      for (long k = 0; k < n; ++k)
        if (HasValidCorners(tris[list[k]], nv)) dst.push_back(list[k]);
    }
  } else {
    CMeshPosCheckBase noSide;  // without a checker every point has no side
    CMeshPosCheckBase* checker = m_pPosCheck ? m_pPosCheck.get() : &noSide;
    for (long i = 0; i < nt; ++i) {
      const C3DTriData& t = tris[i];
      if (!HasValidCorners(t, nv)) continue;
      KRO::G3D_DVertex a = pos[t.v[0]], b = pos[t.v[1]], c = pos[t.v[2]];
      if (!CMathFunCls::IsLegalTri(&a, &b, &c)) continue;
      KRO::G3D_DVertex g{(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0};
      if (checker->PosCheckPntAndMesh(&g, &a, &b, &c) == -1)
        list1.push_back(i);
      else
        list2.push_back(i);
    }
  }
  return FinishSides(cut, seen, list1, list2, side1, side2);
}

namespace {

// Gives a working buffer's memory back at once.
template <class V>
void Release(V& v) {
  V().swap(v);
}

}  // namespace

long CMeshOrganizeBase::ClassifyRegionsTo2Side(KroSimpleMesh* cut, KroSimpleMesh* side1,
                                               KroSimpleMesh* side2, const tcCutEdge* edges,
                                               long edgeNum, const signed char* coplanar,
                                               int sameFacingSide) {
  m_coplanarSides.clear();
  if (!cut) return -1;
  KroSimpleMesh source;
  if (!DetachFromSides(cut, side1, side2, source)) return -1;
  const long nv = static_cast<long>(cut->m_positions.size());
  const long nt = static_cast<long>(cut->m_triangles.size());
  const KRO::G3D_DVertex* pos = cut->m_positions.data();
  const C3DTriData* tris = cut->m_triangles.data();
  if (!edges) edgeNum = 0;

  std::vector<unsigned char> seen;
  std::vector<long> list1, list2;
  // Per-triangle work arrays in 32 bits: a mesh of 2^31 triangles would not
  // fit in memory anyway.
  if (nt >= INT32_MAX || nv >= INT32_MAX) return -1;
  std::vector<int32_t> parent, votes1, votes2, best;
  // Triangle sides bucketed by the edge's lower corner: bucket v holds
  // (upper corner, triangle) for every side whose lower corner is v, sorted.
  struct Side {
    int32_t hi, tri;
    bool operator<(const Side& o) const { return hi != o.hi ? hi < o.hi : tri < o.tri; }
  };
  std::vector<Side> sides;
  std::vector<long> start;  // bucket v is sides[v == 0 ? 0 : start[v - 1], start[v])
  std::vector<std::pair<long, long>> cutKeys;
  try {
    seen.assign(static_cast<size_t>(nv), 0);
    parent.resize(static_cast<size_t>(nt));
    start.assign(static_cast<size_t>(nv) + 1, 0);
    for (long i = 0; i < nt; ++i) {
      parent[i] = static_cast<int32_t>(i);
      if (!HasValidCorners(tris[i], nv)) continue;
      for (int k = 0; k < 3; ++k) ++start[std::min(tris[i].v[k], tris[i].v[(k + 1) % 3]) + 1];
    }
    for (long v = 0; v < nv; ++v) start[v + 1] += start[v];
    sides.resize(static_cast<size_t>(start[nv]));
    for (long i = 0; i < nt; ++i) {
      if (!HasValidCorners(tris[i], nv)) continue;
      for (int k = 0; k < 3; ++k) {
        const long a = tris[i].v[k], b = tris[i].v[(k + 1) % 3];
        sides[start[std::min(a, b)]++] = {static_cast<int32_t>(std::max(a, b)),
                                          static_cast<int32_t>(i)};
      }
    }
    for (long v = 0, from = 0; v < nv; ++v) {
      std::sort(sides.begin() + from, sides.begin() + start[v]);
      from = start[v];
    }
    for (long k = 0; k < edgeNum; ++k)
      cutKeys.push_back({std::min(edges[k].v0, edges[k].v1), std::max(edges[k].v0, edges[k].v1)});
    std::sort(cutKeys.begin(), cutKeys.end());
  } catch (const std::bad_alloc&) {
    return -1;
  }
  // The sides of edge (lo, hi): [first, last) of sides.
  auto sidesOf = [&](const std::pair<long, long>& key) {
    if (key.first < 0 || key.first >= nv) return std::make_pair(sides.end(), sides.end());
    const auto b = sides.begin() + (key.first == 0 ? 0 : start[key.first - 1]);
    const auto e = sides.begin() + start[key.first];
    const auto lo = std::lower_bound(b, e, Side{static_cast<int32_t>(key.second), INT32_MIN});
    auto hi = lo;
    while (hi != e && hi->hi == key.second) ++hi;
    return std::make_pair(lo, hi);
  };
  auto find = [&](long x) -> long {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  // Regions: triangles joined across every edge that is not a cut edge.
  for (long v = 0, from = 0; v < nv; from = start[v], ++v) {
    for (long i = from; i < start[v];) {
      long j = i + 1;
      while (j < start[v] && sides[j].hi == sides[i].hi) ++j;
      if (!std::binary_search(cutKeys.begin(), cutKeys.end(), std::make_pair(v, long{sides[i].hi})))
        for (long k = i + 1; k < j; ++k) {
          const long ra = find(sides[i].tri), rb = find(sides[k].tri);
          if (ra != rb) parent[ra] = static_cast<int32_t>(rb);
        }
      i = j;
    }
  }
  // A cut line that ends inside a region (a cutter that does not reach
  // across the model) leaves the region whole; side is then a matter of
  // each triangle's own position, as the checker tells.
  std::vector<unsigned char> torn;
  try {
    torn.assign(static_cast<size_t>(nt), 0);
    for (const std::pair<long, long>& key : cutKeys) {
      const auto range = sidesOf(key);
      long first = -1;
      for (auto it = range.first; it != range.second; ++it) {
        const long r = find(it->tri);
        if (first < 0)
          first = r;
        else if (r == first)
          torn[r] = 1;
      }
    }
    votes1.assign(static_cast<size_t>(nt), 0);
    votes2.assign(static_cast<size_t>(nt), 0);
    best.assign(static_cast<size_t>(nt), -1);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  // A closed cutter decides a region at its cut edges: the far corner of a
  // triangle on a cut edge lies outside (side 1) or inside (side 2) of the
  // one cutting triangle that made that edge.
  // A solid given inside out (negative volume) has its sides swapped.
  // An open cutter answered by the surface checker decides the same way:
  // behind its triangle is side 1, in front side 2, as that checker has it.
  int out = 0;
  if (UsesCutterFacing() && m_pVertices && m_pTriangles && m_vertexCount > 0) {
    double volume6 = 0.0;
    const KRO::G3D_DVertex& o = m_pVertices[0];
    for (long i = 0; i < m_triCount; ++i) {
      if (!HasValidCorners(m_pTriangles[i], m_vertexCount)) continue;
      const KRO::G3D_DVertex& a = m_pVertices[m_pTriangles[i].v[0]];
      const KRO::G3D_DVertex& b = m_pVertices[m_pTriangles[i].v[1]];
      const KRO::G3D_DVertex& c = m_pVertices[m_pTriangles[i].v[2]];
      const double ax = a.x - o.x, ay = a.y - o.y, az = a.z - o.z;
      const double bx = b.x - o.x, by = b.y - o.y, bz = b.z - o.z;
      const double cx = c.x - o.x, cy = c.y - o.y, cz = c.z - o.z;
      volume6 += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
    }
    out = volume6 > 0 ? 1 : volume6 < 0 ? -1 : 0;
  } else if (!UsesCutterFacing() && dynamic_cast<CMeshPosCheckCurv*>(m_pPosCheck.get())) {
    out = -1;
  }
  if (out != 0) {
    for (long k = 0; k < edgeNum; ++k) {
      if (!edges[k].sure) continue;
      const std::pair<long, long> key = {std::min(edges[k].v0, edges[k].v1),
                                         std::max(edges[k].v0, edges[k].v1)};
      const auto range = sidesOf(key);
      for (auto it = range.first; it != range.second; ++it) {
        const C3DTriData& t = tris[it->tri];
        long far = -1;
        for (long v : t.v)
          if (v != key.first && v != key.second) far = v;
        if (far < 0) continue;
        const int o = out * kroexact::Orient(edges[k].cutter, pos[far]);
        if (o > 0) ++votes1[find(it->tri)];
        if (o < 0) ++votes2[find(it->tri)];
      }
    }
  }
  // The edge lists have served; the side meshes are built without them.
  Release(sides);
  Release(start);
  Release(cutKeys);
  // Elsewhere one point query per region, at the centroid of its largest
  // sound triangle.
  std::vector<double> bestArea(static_cast<size_t>(nt), -1.0);
  for (long i = 0; i < nt; ++i) {
    if (!HasValidCorners(tris[i], nv)) continue;
    const long r = find(i);
    if (votes1[r] != votes2[r]) continue;
    KRO::G3D_DVertex a = pos[tris[i].v[0]], b = pos[tris[i].v[1]], c = pos[tris[i].v[2]];
    if (!CMathFunCls::IsLegalTri(&a, &b, &c)) continue;
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
    const double cx = uy * wz - uz * wy, cy = uz * wx - ux * wz, cz = ux * wy - uy * wx;
    const double area = cx * cx + cy * cy + cz * cz;
    if (area > bestArea[r]) bestArea[r] = area, best[r] = i;
  }
  // A region lying on the cutter (most of its triangles on a cutting
  // triangle) has no side of its own: it goes by facing.
  std::vector<long> onSame, onOther, count;
  if (coplanar && UsesCutterFacing()) {
    try {
      onSame.assign(static_cast<size_t>(nt), 0);
      onOther.assign(static_cast<size_t>(nt), 0);
      count.assign(static_cast<size_t>(nt), 0);
    } catch (const std::bad_alloc&) {
      return -1;
    }
    for (long i = 0; i < nt; ++i) {
      const long r = find(i);
      ++count[r];
      if (coplanar[i] > 0) ++onSame[r];
      if (coplanar[i] < 0) ++onOther[r];
    }
  }
  CMeshPosCheckBase noSide;
  CMeshPosCheckBase* checker = m_pPosCheck ? m_pPosCheck.get() : &noSide;
  std::vector<signed char> regionSide(static_cast<size_t>(nt), 0), facing(regionSide);
  for (long r = 0; r < nt; ++r) {
    if (find(r) != r) continue;
    if (!count.empty() && 2 * (onSame[r] + onOther[r]) > count[r]) {
      regionSide[r] = onSame[r] >= onOther[r] ? (sameFacingSide == 2 ? 2 : 1) : 2;
      facing[r] = onSame[r] >= onOther[r] ? 1 : -1;
      torn[r] = 0;
    } else if (votes1[r] != votes2[r]) {
      regionSide[r] = votes1[r] > votes2[r] ? 1 : 2;
    } else if (best[r] >= 0) {
      const C3DTriData& t = tris[best[r]];
      KRO::G3D_DVertex a = pos[t.v[0]], b = pos[t.v[1]], c = pos[t.v[2]];
      KRO::G3D_DVertex g{(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0};
      long code = checker->PosCheckPntAndMesh(&g, &a, &b, &c);
      // The centroid can be the one point where the region touches the
      // cutter (a corner of the cutter resting on the triangle): then
      // points nearer each corner in turn decide.
      for (int k = 0; k < 3 && code == 0; ++k) {
        const KRO::G3D_DVertex& v = pos[t.v[k]];
        KRO::G3D_DVertex q{(g.x + v.x) / 2, (g.y + v.y) / 2, (g.z + v.z) / 2};
        code = checker->PosCheckPntAndMesh(&q, &a, &b, &c);
      }
      regionSide[r] = code == -1 ? 1 : 2;
    }
  }
  const bool byFacing = !count.empty();
  Release(votes1);
  Release(votes2);
  Release(best);
  Release(bestArea);
  Release(onSame);
  Release(onOther);
  Release(count);
  try {
    const std::vector<signed char> own = SidesOfTornTriangles(cut, torn, find, checker);
    auto sideOf = [&](long i) -> signed char {
      if (!HasValidCorners(tris[i], nv)) return 0;
      if (!torn[find(i)]) return regionSide[find(i)];
      return own[i];  // 0: no area, no side
    };
    long n1 = 0, n2 = 0;
    for (long i = 0; i < nt; ++i) {
      const signed char side = sideOf(i);
      n1 += side == 1;
      n2 += side == 2;
    }
    list1.reserve(static_cast<size_t>(n1));
    list2.reserve(static_cast<size_t>(n2));
    for (long i = 0; i < nt; ++i) {
      const signed char side = sideOf(i);
      if (side == 1) list1.push_back(i);
      if (side == 2) list2.push_back(i);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  Release(torn);
  Release(regionSide);
  Release(seen);
  if (byFacing) {
    for (long i = 0; i < nt; ++i) facing[i] = facing[find(i)];
  } else {
    Release(facing);
  }
  Release(parent);
  m_side1VertexNum = m_side1TriNum = 0;
  m_side2VertexNum = m_side2TriNum = 0;
  m_side1VertexMap.clear();
  m_side2VertexMap.clear();
  const long done = FinishSides(cut, seen, list1, list2, side1, side2);
  if (byFacing) m_coplanarSides.swap(facing);
  return done;
}

long CMeshOrganizeBase::FinishSides(KroSimpleMesh* cut, std::vector<unsigned char>& /*seen*/,
                                    std::vector<long>& list1, std::vector<long>& list2,
                                    KroSimpleMesh* side1, KroSimpleMesh* side2) {
  m_coplanarSides.clear();
  const C3DTriData* tris = cut->m_triangles.data();
  m_side1TriList.swap(list1);
  m_side2TriList.swap(list2);
  m_side1TriNum = static_cast<long>(m_side1TriList.size());
  m_side2TriNum = static_cast<long>(m_side2TriList.size());

  // Vertex maps: each side numbers its vertices in order of first use.
  const size_t nv = cut->m_positions.size();
  auto number = [&](const std::vector<long>& list, std::vector<int32_t>& map) {
    map.assign(nv, -1);
    int32_t next = 0;
    for (long t : list)
      for (long v : tris[t].v)
        if (map[static_cast<size_t>(v)] < 0) map[static_cast<size_t>(v)] = next++;
    return static_cast<long>(next);
  };
  try {
    if (nv >= static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
    m_side1VertexNum = number(m_side1TriList, m_side1VertexMap);
    m_side2VertexNum = number(m_side2TriList, m_side2VertexMap);
  } catch (const std::bad_alloc&) {
    m_side1VertexMap.clear();
    m_side2VertexMap.clear();
    m_side1VertexNum = m_side1TriNum = m_side2VertexNum = m_side2TriNum = 0;
    m_side1TriList.clear();
    m_side2TriList.clear();
    return -1;
  }

  if (side1) GetOneSideTile(cut, side1, Kro_Remain_Side1);
  if (side2) GetOneSideTile(cut, side2, Kro_Remain_Side2);
  return 1;
}

long CMeshOrganizeBase::GetOneSideTile(KroSimpleMesh* cut, KroSimpleMesh* out,
                                       Kro_Mesh_Remain_Side side) {
  if (!cut || cut->m_positions.empty()) return -1;
  if (!out) return 0;
  const bool s1 = IsSide1(side);
  const long vc = s1 ? m_side1VertexNum : m_side2VertexNum;
  const long tc = s1 ? m_side1TriNum : m_side2TriNum;
  const std::vector<long>& list = s1 ? m_side1TriList : m_side2TriList;
  const std::vector<int32_t>& map = s1 ? m_side1VertexMap : m_side2VertexMap;
  const long nt = static_cast<long>(cut->m_triangles.size());
  const std::vector<KRO::COLOR4>& col = cut->m_colours[0];
  const std::vector<KRO::G_TEXCOORD>& tex = cut->m_texCoords[0];
  const std::vector<C3DTriaTop>& tops = cut->m_triangleTops;
  const bool hasCol = !col.empty(), hasTex = !tex.empty(), hasTops = !tops.empty();

  // Built aside (cut and out may be the same mesh) and moved in at the end.
  std::vector<KRO::G3D_DVertex> positions;
  std::vector<KRO::COLOR4> colours;
  std::vector<KRO::G_TEXCOORD> texCoords;
  std::vector<C3DTriData> triangles;
  std::vector<C3DTriaTop> triTops;
  try {
    if (vc > 0) {
      positions.resize(static_cast<size_t>(vc));
      if (hasCol) colours.resize(static_cast<size_t>(vc));
      if (hasTex) texCoords.resize(static_cast<size_t>(vc));
    }
    if (tc > 0) {
      triangles.resize(static_cast<size_t>(tc));
      if (hasTops) triTops.resize(static_cast<size_t>(tc));
    }

    auto copyVertex = [&](long from, long to) {
      positions[static_cast<size_t>(to)] = cut->m_positions[static_cast<size_t>(from)];
      if (hasCol && from < static_cast<long>(col.size()))
        colours[static_cast<size_t>(to)] = col[static_cast<size_t>(from)];
      if (hasTex && from < static_cast<long>(tex.size()))
        texCoords[static_cast<size_t>(to)] = tex[static_cast<size_t>(from)];
    };
    // Where each cut triangle sits in this side (-1: not in it), to carry the
    // cut mesh's neighbour records over.
    // The whole mesh on this side whose vertices are exactly the first vc
    // positions: a plain copy keeps the cut mesh's numbering.
    long lastUsed = static_cast<long>(map.size()) - 1;
    while (lastUsed >= 0 && map[static_cast<size_t>(lastUsed)] < 0) --lastUsed;
    const bool plain = tc > 0 && tc == nt && vc > 0 && lastUsed == vc - 1;
    std::vector<long> slot;
    if (hasTops && tc > 0) {
      slot.assign(static_cast<size_t>(nt), -1);
      for (long k = 0; k < tc; ++k) slot[static_cast<size_t>(plain ? k : list[k])] = k;
    }
    auto copyTops = [&](long from, long to) {
      C3DTriaTop r{{-1, -1, -1}};
      if (from < static_cast<long>(tops.size())) {
        for (int e = 0; e < 3; ++e) {
          const long nb = tops[static_cast<size_t>(from)].n[e];
          r.n[e] = (nb >= 0 && nb < nt) ? slot[static_cast<size_t>(nb)] : -1;
        }
      }
      triTops[static_cast<size_t>(to)] = r;
    };

    if (plain) {
      for (long v = 0; v < vc; ++v) copyVertex(v, v);
      for (long k = 0; k < tc; ++k) {
        triangles[static_cast<size_t>(k)] = cut->m_triangles[static_cast<size_t>(k)];
        if (hasTops) copyTops(k, k);
      }
    } else {
      for (long v = 0; v <= lastUsed; ++v)
        if (map[static_cast<size_t>(v)] >= 0) copyVertex(v, map[static_cast<size_t>(v)]);
      for (long k = 0; k < tc; ++k) {
        C3DTriData t = cut->m_triangles[static_cast<size_t>(list[k])];
        for (long& v : t.v)
          v = (v >= 0 && v < static_cast<long>(map.size())) ? map[static_cast<size_t>(v)] : -1;
        triangles[static_cast<size_t>(k)] = t;
        if (hasTops) copyTops(list[k], k);
      }
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }

  if (vc > 0) {
    out->m_positions.swap(positions);
    if (hasCol) out->m_colours[0].swap(colours);
    if (hasTex) out->m_texCoords[0].swap(texCoords);
    // Per-vertex arrays not copied here must not keep a length that no
    // longer matches the positions.
    const size_t n = static_cast<size_t>(vc);
    auto dropStale = [n](auto& v) {
      if (!v.empty() && v.size() != n) v.clear();
    };
    dropStale(out->m_normals);
    dropStale(out->m_colours[0]);
    dropStale(out->m_colours[1]);
    for (auto& t : out->m_texCoords) dropStale(t);
  }
  if (tc > 0) {
    out->m_triangles.swap(triangles);
    if (hasTops) {
      out->m_triangleTops.swap(triTops);
    } else if (!out->m_triangleTops.empty() &&
               out->m_triangleTops.size() != static_cast<size_t>(tc)) {
      out->m_triangleTops.clear();
    }
  }
  return 1;
}

// ---------------------------------------------------------------------------
// CMeshOrganizeSurf

CMeshOrganizeSurf::CMeshOrganizeSurf() = default;

CMeshOrganizeSurf::~CMeshOrganizeSurf() = default;

void CMeshOrganizeSurf::SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                                   C3DTriData* triangles, long triangleCount) {
  CMeshOrganizeBase::SetObbtObj(model, vertices, vertexCount, triangles, triangleCount);
}

void CMeshOrganizeSurf::BuildPosCheckObj() {
  m_pPosCheck.reset();
  std::unique_ptr<CMeshPosCheckBase> checker;
  if (m_meshType == Kro_Mesh_Plane) {
    auto plane = std::unique_ptr<CMeshPosCheckPlane>(new (std::nothrow) CMeshPosCheckPlane);
    if (!plane) return;
    double coef[4] = {0.0, 0.0, 0.0, 0.0};
    if (PlaneOfCutter(m_pObbtModel, m_pVertices, m_vertexCount, m_pTriangles, m_triCount, coef))
      plane->SetPanelCoef(coef);
    checker = std::move(plane);
  } else if (m_posCheckPolylineNum >= 2) {
    auto fold = std::unique_ptr<CMeshPosCheckPolylin>(new (std::nothrow) CMeshPosCheckPolylin);
    if (!fold) return;
    fold->SetPolyWithFoldLinAndBox(m_posCheckPolyline.data(), m_posCheckPolylineNum, &m_cutMeshBox);
    checker = std::move(fold);
  } else {
    auto curv = std::unique_ptr<CMeshPosCheckCurv>(new (std::nothrow) CMeshPosCheckCurv);
    if (!curv) return;
    curv->SetKroMeshBuf(m_pVertices, m_vertexCount, m_pTriangles, m_triCount);
    checker = std::move(curv);
  }
  checker->SetObbtObj(m_pObbtModel, nullptr, 0, nullptr, 0);
  InstallPosCheck(std::move(checker));
}

// ---------------------------------------------------------------------------
// CMeshOrganizeEntity

CMeshOrganizeEntity::CMeshOrganizeEntity() {
  m_cutedMdlType = Kro_Mesh_Surface;
}

CMeshOrganizeEntity::~CMeshOrganizeEntity() = default;

void CMeshOrganizeEntity::SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices,
                                     long vertexCount, C3DTriData* triangles, long triangleCount) {
  CMeshOrganizeBase::SetObbtObj(model, vertices, vertexCount, triangles, triangleCount);
}

void CMeshOrganizeEntity::BuildPosCheckObj() {
  m_pPosCheck.reset();
  auto solid = std::unique_ptr<CMeshPosCheckEntity>(new (std::nothrow) CMeshPosCheckEntity);
  if (!solid) return;
  solid->SetObbtObj(m_pObbtModel, m_pVertices, m_vertexCount, m_pTriangles, m_triCount);
  InstallPosCheck(std::move(solid));
  SetCutedMdlType(m_cutedMdlType);
}
