#include <new>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/organize/CMeshOrganize.h"

CObbtEntity::CObbtEntity() {
  SetMeshOrganizeObj(new (std::nothrow) CMeshOrganizeEntity());
}

CObbtEntity::CObbtEntity(const CObbtEntity& other) : CObbtBase(other) {
  m_subObbts.reserve(other.m_subObbts.size());
  for (const auto& sub : other.m_subObbts) {
    m_subObbts.push_back(std::make_unique<CObbtSurface>(*sub));
  }
}

CObbtEntity& CObbtEntity::operator=(const CObbtEntity& other) {
  if (this == &other) return *this;
  CObbtEntity copy(other);  // built aside, so a failure leaves this wrapper as it was
  CObbtBase::operator=(copy);
  m_subObbts.swap(copy.m_subObbts);
  return *this;
}

CObbtEntity::~CObbtEntity() {
  m_subObbts.clear();
}

CObbtSurface* CObbtEntity::GetSubMeshObbt(long i) const {
  if (i < 0 || i >= GetSubMeshNum()) return nullptr;
  return m_subObbts[static_cast<size_t>(i)].get();
}

long CObbtEntity::BuildMeshObbt(C3DEntity* ent) {
  const long status = CObbtBase::BuildMeshObbt(ent);
  if (ent == nullptr || GetObbtModel() == nullptr) return status;
  m_subObbts.clear();
  if (CheckMesh() != 1) return status;
  if (CMeshOrganizeBase* organizer = GetMeshOrganizeObj()) {
    organizer->SetObbtObj(GetObbtModel(), nullptr, 0, nullptr, 0);
  }
  double prec = KRO_DEFAULT_PRECISION;
  GetDataPrec(prec);
  const long n = ent->GetSurfaceNum();
  C3DSurface scratch(-1, 0);
  for (long i = 0; i < n; ++i) {
    std::unique_ptr<CObbtSurface> sub(new (std::nothrow) CObbtSurface());
    if (!sub) break;
    ent->GetSurface(i, &scratch, nullptr);
    sub->SetDataPrec(prec);
    sub->SetRefDot(GetRefDot());
    // A solid of one surface: the surface's tree is the solid's.
    if (n == 1) sub->OfferObbtModel(SharedObbtModel());
    sub->BuildMeshObbt(&scratch);
    m_subObbts.push_back(std::move(sub));
    scratch.Reset();
  }
  return status;
}
