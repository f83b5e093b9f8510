#include "kromesh/cut/CKroMeshTriCut.h"

#include <string>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/cut/CMeshMgr.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/organize/CMeshOrganize.h"

CKroMeshTriCut::CKroMeshTriCut()
    : m_pMeshMgr(nullptr),
      m_pObbt{nullptr, nullptr},
      m_calIntsersecLinFlag(0),
      m_pRefDot(nullptr),
      m_pAABBOfCutedMesh(nullptr),
      m_pPosCheckPolyline(nullptr),
      m_posCheckPolylineNum(0),
      m_splitFlag(0),
      m_dataPrec(KRO_DEFAULT_PRECISION),
      m_texScale{KRO_DEFAULT_TEX_SCALE_U, KRO_DEFAULT_TEX_SCALE_V},
      m_splitType{Kro_Split_ByMesh, Kro_Split_ByMesh} {}

CKroMeshTriCut::CKroMeshTriCut(const CKroMeshTriCut& other) : CKroMeshTriCut() {
  CopySettings(other);
}

CKroMeshTriCut& CKroMeshTriCut::operator=(const CKroMeshTriCut& other) {
  if (this != &other) {
    // The live objects of a cut belong to the facade that ran it; a copy
    // never shares them.
    ReleaseTricutObj();
    CopySettings(other);
  }
  return *this;
}

CKroMeshTriCut::~CKroMeshTriCut() {
  ReleaseTricutObj();
}

void CKroMeshTriCut::CopySettings(const CKroMeshTriCut& other) {
  m_calIntsersecLinFlag = other.m_calIntsersecLinFlag;
  m_pRefDot = other.m_pRefDot;
  m_pAABBOfCutedMesh = other.m_pAABBOfCutedMesh;
  m_pPosCheckPolyline = other.m_pPosCheckPolyline;
  m_posCheckPolylineNum = other.m_posCheckPolylineNum;
  m_splitFlag = other.m_splitFlag;
  m_dataPrec = other.m_dataPrec;
  m_texScale[0] = other.m_texScale[0];
  m_texScale[1] = other.m_texScale[1];
  m_splitType[0] = other.m_splitType[0];
  m_splitType[1] = other.m_splitType[1];
}

// ---------------------------------------------------------------- settings

void CKroMeshTriCut::SetPosCheckPolyline(D_DOT* pts, long n) {
  m_pPosCheckPolyline = pts;
  m_posCheckPolylineNum = n;
  if (m_pMeshMgr) _SetPosCheckPolyline(pts, n);
}

void CKroMeshTriCut::SetRefDot(KRO::G3D_DVertex* p) {
  if (!p) return;
  m_pRefDot = p;
  if (m_pMeshMgr) _SetRefDot(p);
}

void CKroMeshTriCut::SetAABBOfCutedMesh(tctagD3ConvexBox* box) {
  if (!box) return;
  m_pAABBOfCutedMesh = box;
  if (m_pMeshMgr) _SetAABBOfCutedMesh(box);
}

void CKroMeshTriCut::SetSplitFlag(int flag) {
  m_splitFlag = flag;
  if (m_pMeshMgr) _SetSplitFlag(flag);
}

void CKroMeshTriCut::SetCalIntsersecLinFlag(int flag) {
  m_calIntsersecLinFlag = flag;
  if (m_pMeshMgr) _SetCalIntsersecLinFlag(flag);
}

long CKroMeshTriCut::SetDataPrec(double prec) {
  m_dataPrec = prec;
  if (m_pObbt[0] && m_pObbt[1]) _SetDataPrec(prec);
  return 1;
}

long CKroMeshTriCut::SetTexScale(double u, double v) {
  m_texScale[0] = u;
  m_texScale[1] = v;
  if (m_pMeshMgr) m_pMeshMgr->SetTexScale(u, v);
  return 1;
}

long CKroMeshTriCut::setSplitSurfType(Kro_Split_Type first, Kro_Split_Type second) {
  m_splitType[0] = first;
  m_splitType[1] = second;
  if (m_pMeshMgr) m_pMeshMgr->setSplitSurfType(first, second);
  return 1;
}

// ----------------------------------------------------------------- queries

CMeshMgrBase* CKroMeshTriCut::GetMeshMgrObj() const {
  return m_pMeshMgr;
}

namespace {

// The organizers of the last cut, first then second; null entries skipped.
std::vector<CMeshOrganizeBase*> LiveOrganizers(CObbtBase* const* obbt) {
  std::vector<CMeshOrganizeBase*> out;
  for (int i = 0; i < 2; ++i)
    if (obbt[i] && obbt[i]->GetMeshOrganizeObj()) out.push_back(obbt[i]->GetMeshOrganizeObj());
  return out;
}

}  // namespace

void CKroMeshTriCut::GetPosCheckPolyline(D_DOT** pts, long* n) const {
  std::vector<CMeshOrganizeBase*> orgs = LiveOrganizers(m_pObbt);
  if (orgs.empty()) {
    if (pts) *pts = m_pPosCheckPolyline;
    if (n) *n = m_posCheckPolylineNum;
    return;
  }
  for (CMeshOrganizeBase* o : orgs) o->GetPosCheckPolyline(pts, n);
}

void CKroMeshTriCut::GetRefDot(KRO::G3D_DVertex* p) const {
  if (!p) return;
  std::vector<CMeshOrganizeBase*> orgs = LiveOrganizers(m_pObbt);
  if (orgs.empty()) {
    if (m_pRefDot) *p = *m_pRefDot;
    return;
  }
  for (CMeshOrganizeBase* o : orgs) o->GetRefDot(p);
}

void CKroMeshTriCut::GetSplitFlag(int& flag) const {
  std::vector<CMeshOrganizeBase*> orgs = LiveOrganizers(m_pObbt);
  if (orgs.empty()) {
    flag = m_splitFlag;
    return;
  }
  for (CMeshOrganizeBase* o : orgs) o->GetSplitFlag(flag);
}

void CKroMeshTriCut::GetAABBOfCutedMesh(tctagD3ConvexBox* box) const {
  if (!box) return;
  std::vector<CMeshOrganizeBase*> orgs = LiveOrganizers(m_pObbt);
  if (orgs.empty()) {
    if (m_pAABBOfCutedMesh) *box = *m_pAABBOfCutedMesh;
    return;
  }
  for (CMeshOrganizeBase* o : orgs) o->GetAABBOfCutedMesh(box);
}

void CKroMeshTriCut::GetCalIntsersecLinFlag(int& flag) const {
  if (!m_pMeshMgr) {
    flag = m_calIntsersecLinFlag;
    return;
  }
  m_pMeshMgr->GetMeshInterseceObj()->GetCalIntsersecLinFlag(flag);
}

long CKroMeshTriCut::GetDataPrec(double& prec) const {
  if (m_pObbt[0])
    m_pObbt[0]->GetDataPrec(prec);
  else
    prec = m_dataPrec;
  return 1;
}

long CKroMeshTriCut::GetTexScale(double& u, double& v) const {
  u = m_texScale[0];
  v = m_texScale[1];
  return 1;
}

// ------------------------------------------------------ private operations

void CKroMeshTriCut::ReleaseTricutObj() {
  delete m_pMeshMgr;
  m_pMeshMgr = nullptr;
  for (int i = 0; i < 2; ++i) {
    delete m_pObbt[i];
    m_pObbt[i] = nullptr;
  }
}

long CKroMeshTriCut::setCutSurfType(Kro_Mesh_Type* const types) {
  for (int i = 0; i < 2; ++i)
    if (m_pObbt[i]) m_pObbt[i]->SetMeshType(types[i]);
  return 1;
}

void CKroMeshTriCut::_SetPosCheckPolyline(D_DOT* pts, long n) {
  if (!pts || n < 2) return;
  if (m_pMeshMgr) m_pMeshMgr->SetPosCheckPolyline(pts, n);
  for (CMeshOrganizeBase* o : LiveOrganizers(m_pObbt)) o->SetPosCheckPolyline(pts, n);
}

void CKroMeshTriCut::_SetRefDot(KRO::G3D_DVertex* p) {
  if (!p) return;
  for (CMeshOrganizeBase* o : LiveOrganizers(m_pObbt)) o->SetRefDot(p);
}

void CKroMeshTriCut::_SetAABBOfCutedMesh(tctagD3ConvexBox* box) {
  if (!m_pMeshMgr || !m_pObbt[0] || !m_pObbt[1]) return;
  CMeshOrganizeBase* o0 = m_pObbt[0]->GetMeshOrganizeObj();
  CMeshOrganizeBase* o1 = m_pObbt[1]->GetMeshOrganizeObj();
  if (box) {
    if (o0) o0->SetAABBOfCutedMesh(box);
    if (o1) o1->SetAABBOfCutedMesh(box);
    return;
  }
  // Each organizer classifies the other model, so it gets that model's box.
  tctagD3ConvexBox box0 = m_pObbt[0]->GetMeshAABB();
  tctagD3ConvexBox box1 = m_pObbt[1]->GetMeshAABB();
  if (o0) o0->SetAABBOfCutedMesh(&box1);
  if (o1) o1->SetAABBOfCutedMesh(&box0);
}

void CKroMeshTriCut::_SetSplitFlag(int flag) {
  for (CMeshOrganizeBase* o : LiveOrganizers(m_pObbt)) o->SetSplitFlag(flag);
}

void CKroMeshTriCut::_SetCalIntsersecLinFlag(int flag) {
  if (m_pMeshMgr) m_pMeshMgr->GetMeshInterseceObj()->SetCalIntsersecLinFlag(flag);
}

long CKroMeshTriCut::_SetDataPrec(double prec) {
  if (prec > 0.0 && prec < 1.0) {
    for (int i = 0; i < 2; ++i) {
      if (!m_pObbt[i]) continue;
      m_pObbt[i]->SetDataPrec(prec);
      // A solid is cut surface by surface through its per-surface
      // wrappers, built before the settings arrive; without this the
      // precision would never reach a solid's cut.
      if (auto* ent = dynamic_cast<CObbtEntity*>(m_pObbt[i]))
        for (long k = 0; k < ent->GetSubMeshNum(); ++k)
          if (CObbtSurface* sub = ent->GetSubMeshObbt(k)) sub->SetDataPrec(prec);
    }
  }
  return 1;
}

void CKroMeshTriCut::BuildPosCheckObj() {
  _SetAABBOfCutedMesh(m_pAABBOfCutedMesh);
  if (!m_pMeshMgr) return;
  for (CMeshOrganizeBase* o : LiveOrganizers(m_pObbt)) o->BuildPosCheckObj();
}

void CKroMeshTriCut::InitMesh() {
  if (m_pMeshMgr) m_pMeshMgr->InitMesh();
}
