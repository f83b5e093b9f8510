#include "kromesh/cut/CMeshMgr.h"

#include <string>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroMeshConvert.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/organize/CMeshOrganize.h"

CMeshMgrBase::CMeshMgrBase()
    : m_pObbt{nullptr, nullptr},
      m_pPosCheckPolyline(nullptr),
      m_posCheckPolylineNum(0),
      m_texScale{KRO_DEFAULT_TEX_SCALE_U, KRO_DEFAULT_TEX_SCALE_V},
      m_splitFlag{true, true},
      m_splitType{Kro_Split_ByMesh, Kro_Split_ByMesh} {}

CMeshMgrBase::CMeshMgrBase(const CMeshMgrBase& other)
    : m_pObbt{other.m_pObbt[0], other.m_pObbt[1]},
      m_meshIntersect(other.m_meshIntersect),
      m_obbtProcc(other.m_obbtProcc),
      m_pPosCheckPolyline(other.m_pPosCheckPolyline),
      m_posCheckPolylineNum(other.m_posCheckPolylineNum),
      m_texScale{other.m_texScale[0], other.m_texScale[1]},
      m_splitFlag{other.m_splitFlag[0], other.m_splitFlag[1]},
      m_splitType{other.m_splitType[0], other.m_splitType[1]},
      m_coplanarSameSide(other.m_coplanarSameSide) {}

CMeshMgrBase& CMeshMgrBase::operator=(const CMeshMgrBase& other) {
  if (this == &other) return *this;
  for (int i = 0; i < 2; ++i) {
    m_pObbt[i] = other.m_pObbt[i];
    m_texScale[i] = other.m_texScale[i];
    m_splitFlag[i] = other.m_splitFlag[i];
    m_splitType[i] = other.m_splitType[i];
  }
  m_meshIntersect = other.m_meshIntersect;
  m_obbtProcc = other.m_obbtProcc;
  m_pPosCheckPolyline = other.m_pPosCheckPolyline;
  m_posCheckPolylineNum = other.m_posCheckPolylineNum;
  m_coplanarSameSide = other.m_coplanarSameSide;
  return *this;
}

CMeshMgrBase::~CMeshMgrBase() = default;

void CMeshMgrBase::InitMesh() {
  RestoreCutModel();
  UniteMeshDir();
}

long CMeshMgrBase::SetCutModel(CObbtBase* first, CObbtBase* second) {
  m_pObbt[0] = first;
  m_pObbt[1] = second;
  return 1;
}

CObbtBase* CMeshMgrBase::GetMeshObbt(long i) const {
  return i == 0 ? m_pObbt[0] : m_pObbt[1];
}

CMeshOrganizeBase* CMeshMgrBase::GetMeshOrganizeObj(Kro_Mesh_Cut_SORT sort) const {
  CObbtBase* w = (sort == Kro_Cut_First) ? m_pObbt[0] : m_pObbt[1];
  return w ? w->GetMeshOrganizeObj() : nullptr;
}

CMeshIntersect* CMeshMgrBase::GetMeshInterseceObj() {
  return &m_meshIntersect;
}

CObbtObjProcc* CMeshMgrBase::GetObbtProccObj() {
  return &m_obbtProcc;
}

long CMeshMgrBase::setSplitSurfType(Kro_Split_Type first, Kro_Split_Type second) {
  m_splitType[0] = first;
  m_splitType[1] = second;
  return 1;
}

long CMeshMgrBase::setSplitSurfFlag(bool first, bool second) {
  m_splitFlag[0] = first;
  m_splitFlag[1] = second;
  return 1;
}

void CMeshMgrBase::SetPosCheckPolyline(D_DOT* pts, long n) {
  m_pPosCheckPolyline = pts;
  m_posCheckPolylineNum = n;
}

long CMeshMgrBase::SetTexScale(double u, double v) {
  m_texScale[0] = u;
  m_texScale[1] = v;
  return 1;
}

void CMeshMgrBase::GetTexScale(double& u, double& v) const {
  u = m_texScale[0];
  v = m_texScale[1];
}

void CMeshMgrBase::GetSplitSurfType(Kro_Split_Type& first, Kro_Split_Type& second) const {
  first = m_splitType[0];
  second = m_splitType[1];
}

void CMeshMgrBase::GetSplitSurfFlag(bool& first, bool& second) const {
  first = m_splitFlag[0];
  second = m_splitFlag[1];
}

namespace {

// Empties a side mesh before a new cut, keeping the material and name the
// wrapper gave it: a side the new cut leaves empty must not hand out the
// previous cut's triangles.
void ClearSide(KroSimpleMesh* side) {
  const std::string material = side->m_materialName;
  const std::string name = side->m_meshName;
  *side = KroSimpleMesh();
  side->m_materialName = material;
  side->m_meshName = name;
}

}  // namespace

KroSimpleMesh* CMeshMgrBase::PrepareWorkingMesh(CObbtSurface* cut, CObbtBase* cutter) {
  m_obbtProcc.ObbtCollide(cut, cutter, nullptr, nullptr, nullptr, nullptr, 1.0, 1.0);
  tcTriCutPair* pairs = nullptr;
  long pairNum = 0;
  m_obbtProcc.GetCollideTriPair(&pairs, &pairNum);
  if (pairNum <= 0 || !pairs) return cut->GetSrcMesh();

  KroSimpleMesh* cutMesh = cut->GetCutMesh();
  m_meshIntersect.CalIntersectDots(&m_obbtProcc, cutMesh);
  m_meshIntersect.TranglateMdl();
  // Contacts that yield no intersection point (touching only within the
  // precision) leave the cut mesh without triangles; the source mesh is
  // then the honest working mesh.
  if (cutMesh->m_triangles.empty()) return cut->GetSrcMesh();
  return cutMesh;
}

void CMeshMgrBase::SplitWorkingMesh(CObbtSurface* cut, CObbtBase* cutter, KroSimpleMesh* working,
                                    Kro_Split_Type splitType) {
  CMeshOrganizeBase* organizer = cutter->GetMeshOrganizeObj();
  if (!organizer) return;
  KroSimpleMesh* side1 = cut->GetSide1Mesh();
  KroSimpleMesh* side2 = cut->GetSide2Mesh();

  switch (splitType) {
    case Kro_Split_ByMesh: {
      // Regions between the cut lines, each decided once.
      const std::vector<tcCutEdge>& edges = m_meshIntersect.GetCutEdges();
      const bool cutHere = working == cut->GetCutMesh();
      const std::vector<signed char>& cop = m_meshIntersect.GetCoplanarFlags();
      const bool copHere = cutHere && cop.size() == working->m_triangles.size();
      organizer->ClassifyRegionsTo2Side(working, side1, side2,
                                        cutHere && !edges.empty() ? edges.data() : nullptr,
                                        cutHere ? static_cast<long>(edges.size()) : 0,
                                        copHere ? cop.data() : nullptr, m_coplanarSameSide);
      break;
    }
    case Kro_Split_ByLongestLine: {
      std::vector<long> line;
      long index = m_meshIntersect.GetLongestIntersectLin(&line);
      m_longestLine.clear();
      if (!line.empty()) m_meshIntersect.GetIntersectLin(index, &m_longestLine);
      tctagD3ConvexBox box = cut->GetMeshAABB();
      organizer->SetAABBOfCutedMesh(&box);
      const long n = static_cast<long>(m_longestLine.size());
      if (n >= 2 && line.front() != line.back())
        CMathFunCls::ExtendFoldLinToBox(&box, m_longestLine.data(), n);
      organizer->SetPosCheckPolyline(m_longestLine.data(), n);
      organizer->SetObbtObj(cutter->GetObbtModel(), nullptr, 0, nullptr, 0);
      // The checker was built before the cut; without a rebuild the new
      // polyline would never be consulted.
      if (n >= 2) organizer->BuildPosCheckObj();
      organizer->ClassifySurfMeshTo2Side(working, side1, side2);
      break;
    }
    case Kro_Split_ByInterDots:
      m_interDots.clear();
      m_meshIntersect.GetIntersectDot(&m_interDots);
      organizer->setSurfInterDots(m_interDots.empty() ? nullptr : m_interDots.data(),
                                  static_cast<long>(m_interDots.size()));
      organizer->ClassifySurfMeshTo2Side(working, side1, side2);
      break;
    default:
      break;  // other split types classify nothing
  }
}

namespace {

// The cutter's surface index serves one cut direction; it is dropped as soon
// as the sides are sorted (a later query builds it again), so that the two
// directions of a cut do not hold two indexes at once.
void DropCutterIndex(CObbtBase* cutter) {
  CMeshOrganizeBase* organizer = cutter ? cutter->GetMeshOrganizeObj() : nullptr;
  if (organizer)
    if (auto* curv = dynamic_cast<CMeshPosCheckCurv*>(organizer->GetPosCheckObj()))
      curv->ReleaseIndex();
}

}  // namespace

long CMeshMgrBase::CutSurfaceBySurface(CObbtSurface* cut, CObbtBase* cutter, C3DSurface* out1,
                                       C3DSurface* out2, bool split, Kro_Split_Type splitType) {
  if (!cut || !cutter) return 1;
  ClearSide(cut->GetSide1Mesh());
  ClearSide(cut->GetSide2Mesh());
  KroSimpleMesh* working = PrepareWorkingMesh(cut, cutter);
  if (!split) {
    // The cut mesh is built without a material; the piece keeps the
    // surface's own.
    KroSimpleMesh* side1 = cut->GetSide1Mesh();
    const std::string material = side1->m_materialName;
    *side1 = *working;
    side1->m_materialName = material;
  } else {
    SplitWorkingMesh(cut, cutter, working, splitType);
    DropCutterIndex(cutter);  // before the sides are copied out
  }
  KroSimpleMesh* side1 = cut->GetSide1Mesh();
  KroSimpleMesh* side2 = cut->GetSide2Mesh();
  if (out1 && !side1->m_triangles.empty()) ASimpleMeshToC3DSurface(side1, out1);
  if (out2 && !side2->m_triangles.empty()) ASimpleMeshToC3DSurface(side2, out2);
  return 1;
}

long CMeshMgrBase::CutSurfaceByEntity(CObbtSurface* cut, CObbtEntity* cutter, C3DSurface* out1,
                                      C3DSurface* out2, bool /*split*/, Kro_Split_Type splitType) {
  if (!cut || !cutter) return 1;
  ClearSide(cut->GetSide1Mesh());
  ClearSide(cut->GetSide2Mesh());
  KroSimpleMesh* working = PrepareWorkingMesh(cut, cutter);
  CMeshOrganizeBase* organizer = cutter->GetMeshOrganizeObj();
  if (organizer) {
    KroSimpleMesh* cutterMesh = cutter->GetSrcMesh();
    KroSimpleMesh* cutMesh = cut->GetSrcMesh();
    organizer->SetObbtObj(cutter->GetObbtModel(), cutterMesh->m_positions.data(),
                          static_cast<long>(cutterMesh->m_positions.size()),
                          cutterMesh->m_triangles.data(),
                          static_cast<long>(cutterMesh->m_triangles.size()));
    organizer->SetOrgMdl(
        cutMesh->m_positions.data(), static_cast<long>(cutMesh->m_positions.size()),
        cutMesh->m_triangles.data(), static_cast<long>(cutMesh->m_triangles.size()));
  }
  SplitWorkingMesh(cut, cutter, working, splitType);
  // Side triangle i is the classified mesh's triangle list[i].
  for (int k = 0; k < 2; ++k) {
    const size_t nSide = (k == 0 ? cut->GetSide1Mesh() : cut->GetSide2Mesh())->m_triangles.size();
    m_sideCoplanar[k].assign(nSide, 0);
    if (!organizer) continue;
    const long* list = nullptr;
    long n = 0;
    organizer->GetSideTriList(k == 0 ? Kro_Remain_Side1 : Kro_Remain_Side2, &list, &n);
    const std::vector<signed char>& cop = organizer->GetCoplanarSides();
    if (!list || n != static_cast<long>(nSide)) continue;
    for (long i = 0; i < n; ++i)
      if (list[i] >= 0 && list[i] < static_cast<long>(cop.size()))
        m_sideCoplanar[k][static_cast<size_t>(i)] = cop[static_cast<size_t>(list[i])];
  }
  if (out1) ASimpleMeshToC3DSurface(cut->GetSide1Mesh(), out1);
  if (out2) ASimpleMeshToC3DSurface(cut->GetSide2Mesh(), out2);
  return 1;
}

namespace {

// Cuts every surface wrapper of a solid and gathers the sides into solids.
template <typename CutOne>
long CutEachSurface(CObbtEntity* cut, C3DEntity* out1, C3DEntity* out2, CutOne cutOne) {
  if (!cut) return 1;
  const long n = cut->GetSubMeshNum();
  for (long i = 0; i < n; ++i) {
    CObbtSurface* sub = cut->GetSubMeshObbt(i);
    if (!sub) continue;
    C3DSurface s1(-1, 0);
    C3DSurface s2(-1, 0);
    // A side no output takes is not converted at all.
    cutOne(sub, out1 ? &s1 : nullptr, out2 ? &s2 : nullptr);
    // The solids take the sides over; no copy of a side is made.
    if (out1 && s1.GetTriangleCount() > 0) out1->AdoptSurface(&s1, nullptr);
    if (out2 && s2.GetTriangleCount() > 0) out2->AdoptSurface(&s2, nullptr);
    s1.Reset();
    s2.Reset();
  }
  return 1;
}

}  // namespace

long CMeshMgrBase::CutEntityBySurface(CObbtEntity* cut, CObbtBase* cutter, C3DEntity* out1,
                                      C3DEntity* out2, bool split, Kro_Split_Type splitType) {
  return CutEachSurface(cut, out1, out2, [&](CObbtSurface* sub, C3DSurface* s1, C3DSurface* s2) {
    CutSurfaceBySurface(sub, cutter, s1, s2, split, splitType);
  });
}

long CMeshMgrBase::CutEntityByEntity(CObbtEntity* cut, CObbtEntity* cutter, C3DEntity* out1,
                                     C3DEntity* out2, bool split, Kro_Split_Type splitType) {
  if (cutter && cutter->GetMeshOrganizeObj())
    cutter->GetMeshOrganizeObj()->SetCutedMdlType(Kro_Mesh_Entity);
  const int sort = cut == m_pObbt[0] ? 0 : 1;
  m_coplanarOut[sort][0].clear();
  m_coplanarOut[sort][1].clear();
  return CutEachSurface(cut, out1, out2, [&](CObbtSurface* sub, C3DSurface* s1, C3DSurface* s2) {
    CutSurfaceByEntity(sub, cutter, s1, s2, split, splitType);
    // The same test as CutEachSurface's for adding a side.
    if (out1 && s1->GetTriangleCount() > 0) m_coplanarOut[sort][0].push_back(m_sideCoplanar[0]);
    if (out2 && s2->GetTriangleCount() > 0) m_coplanarOut[sort][1].push_back(m_sideCoplanar[1]);
  });
}

const std::vector<std::vector<signed char>>& CMeshMgrBase::GetCoplanarFlags(Kro_Mesh_Cut_SORT sort,
                                                                            int side) const {
  return m_coplanarOut[sort == Kro_Cut_First ? 0 : 1][side == 1 ? 0 : 1];
}

long CMeshMgrSS::CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) {
  if (!out1 && !out2) return 0;
  auto* o1 = dynamic_cast<C3DSurface*>(out1);
  auto* o2 = dynamic_cast<C3DSurface*>(out2);
  if (sort == Kro_Cut_First)
    return CutSurfaceBySurface(dynamic_cast<CObbtSurface*>(m_pObbt[0]), m_pObbt[1], o1, o2,
                               m_splitFlag[0], m_splitType[0]);
  return CutSurfaceBySurface(dynamic_cast<CObbtSurface*>(m_pObbt[1]), m_pObbt[0], o1, o2,
                             m_splitFlag[1], m_splitType[1]);
}

long CMeshMgrES::CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) {
  if (!out1 && !out2) return 0;
  if (sort == Kro_Cut_First)
    return CutEntityBySurface(dynamic_cast<CObbtEntity*>(m_pObbt[0]), m_pObbt[1],
                              dynamic_cast<C3DEntity*>(out1), dynamic_cast<C3DEntity*>(out2), true,
                              m_splitType[0]);
  return CutSurfaceByEntity(dynamic_cast<CObbtSurface*>(m_pObbt[1]),
                            dynamic_cast<CObbtEntity*>(m_pObbt[0]), dynamic_cast<C3DSurface*>(out1),
                            dynamic_cast<C3DSurface*>(out2), true, m_splitType[1]);
}

long CMeshMgrEE::CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) {
  if (!out1 && !out2) return 0;
  auto* o1 = dynamic_cast<C3DEntity*>(out1);
  auto* o2 = dynamic_cast<C3DEntity*>(out2);
  // Faces shared and facing the same way: the first solid's go outside it
  // (to the union), the second's inside (to the intersection).
  m_coplanarSameSide = sort == Kro_Cut_First ? 1 : 2;
  if (sort == Kro_Cut_First)
    return CutEntityByEntity(dynamic_cast<CObbtEntity*>(m_pObbt[0]),
                             dynamic_cast<CObbtEntity*>(m_pObbt[1]), o1, o2, true, m_splitType[0]);
  return CutEntityByEntity(dynamic_cast<CObbtEntity*>(m_pObbt[1]),
                           dynamic_cast<CObbtEntity*>(m_pObbt[0]), o1, o2, true, m_splitType[1]);
}
