#include <new>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/organize/CMeshOrganize.h"

CObbtSurface::CObbtSurface() {
  SetMeshOrganizeObj(new (std::nothrow) CMeshOrganizeSurf());
}

CObbtSurface::~CObbtSurface() = default;

long CObbtSurface::BuildMeshObbt(C3DSurface* surf) {
  const long status = CObbtBase::BuildMeshObbt(surf);
  if (surf == nullptr) return status;
  KroSimpleMesh* mesh = GetSrcMesh();
  if (CMeshOrganizeBase* organizer = GetMeshOrganizeObj()) {
    organizer->SetObbtObj(GetObbtModel(), mesh->m_positions.data(),
                          static_cast<long>(mesh->m_positions.size()), mesh->m_triangles.data(),
                          static_cast<long>(mesh->m_triangles.size()));
  }
  m_side1Mesh.m_materialName = mesh->m_materialName;
  m_side2Mesh.m_materialName = mesh->m_materialName;
  return status;
}
