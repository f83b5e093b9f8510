// Gives a piece of one model the look of a solid: its colour, or its
// material with generated texture coordinates.
#include <string>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"

void CKroMeshTriCut::UpdateSurfMaterialByEntity(C3DSurface* s, C3DEntity* e) {
  if (!s || !e || e->GetSurfaceNum() <= 0) return;

  // Only the solid's last surface is consulted.
  C3DSurface last(-1, 0);
  CSurfaceDecorationObj lastDeco;
  e->GetSurface(e->GetSurfaceNum() - 1, &last, &lastDeco);
  CPointCollection points;
  CVertexDecorationObj deco;
  last.GetPointCollection(&points, &deco);

  std::string name;
  if (deco.GetNumColors() >= 1) {
    KRO::COLOR4 colour = deco.GetVexColor(0);
    CMathFunCls::_tcUpdateSurfColor(s, &colour);
  } else {
    name = last.GetMaterialName();
  }
  s->SetMaterialName(name);
  s->Save(nullptr, 1);

  name = s->GetMaterialName();
  if (!name.empty() && deco.GetNumTexcoods(0) > 0) {
    // A fold line needs one segment at least; a single point would leave
    // every coordinate unset, so it takes the box road instead.
    if (m_pPosCheckPolyline && m_posCheckPolylineNum >= 2) {
      std::vector<D_DOT> fold(m_pPosCheckPolyline, m_pPosCheckPolyline + m_posCheckPolylineNum);
      CMathFunCls::_tcUpdateSurfTexCoordByFoldSurf(s, fold.data(), m_posCheckPolylineNum, name,
                                                   m_texScale[0], m_texScale[1]);
    } else {
      CObbtBase box;
      box.BuildMeshObbt(s);
      KRO::G3D_DVertex face[4];
      box.Get4VertexOfOBB(face);
      D_3DOT rect[4];
      for (int i = 0; i < 4; ++i) rect[i] = {face[i].x, face[i].y, face[i].z};
      CMathFunCls::_tcUpdateSurfTexCoordByBoxSurf(s, rect, name, m_texScale[0], m_texScale[1]);
    }
  }
  points.Reset();
  deco.Reset();
}
