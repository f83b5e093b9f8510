// The cut operations of the facade: surface/surface, solid/surface and
// solid/solid, all along one common road.
#include <cmath>
#include <memory>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/cut/CMeshMgr.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroMessageBox.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroMeshConvert.h"
#include "kromesh/mesh/KroSimpleMesh.h"

namespace {

// Input checks made once at the entry of every cut, so that nothing deep
// inside meets a NaN or an index past the points, and a refused cut has
// written nothing.
bool Finite(double x, double y, double z = 0.0) {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// Finite points and every triangle index among them; empty is allowed here.
bool SoundSurface(const C3DSurface& s) {
  for (const KRO::G3D_DVertex& p : s.Points())
    if (!Finite(p.x, p.y, p.z)) return false;
  const long nPts = s.GetPointNum(), nTris = s.GetTriangleCount();
  C3DTriangle t;
  for (long i = 0; i < nTris; ++i) {
    s.GetTriangle(i, &t, nullptr);
    for (long v : t.v)
      if (v < 0 || v >= nPts) return false;
  }
  return true;
}

bool UsableSurface(const C3DSurface* s) {
  return s && s->GetTriangleCount() > 0 && SoundSurface(*s);
}

// Every surface sound, and at least one triangle in all.
bool UsableSolid(const C3DEntity* e) {
  if (!e) return false;
  long tris = 0;
  for (long i = 0; i < e->GetSurfaceNum(); ++i) {
    const C3DSurface* s = e->SurfaceAt(i);
    if (!s || !SoundSurface(*s)) return false;
    tris += s->GetTriangleCount();
  }
  return tris > 0;
}

// A polyline that will reach the organizers (2 points or more) must be
// finite; a shorter one is never used.
bool UsablePolyline(const D_DOT* pts, long n) {
  if (!pts || n < 2) return true;
  for (long i = 0; i < n; ++i)
    if (!Finite(pts[i].x, pts[i].y)) return false;
  return true;
}

}  // namespace

void CKroMeshTriCut::BeginCut(CObbtBase* first, CObbtBase* second, Kro_Mesh_Type type1,
                              Kro_Mesh_Type type2, CMeshMgrBase* manager) {
  m_pObbt[0] = first;
  m_pObbt[1] = second;
  Kro_Mesh_Type types[2] = {type1, type2};
  setCutSurfType(types);
  m_pMeshMgr = manager;
  m_pMeshMgr->SetCutModel(first, second);
  m_pMeshMgr->setSplitSurfType(m_splitType[0], m_splitType[1]);
  _SetPosCheckPolyline(m_pPosCheckPolyline, m_posCheckPolylineNum);
}

void CKroMeshTriCut::ApplySettings(Kro_Split_Type t1, Kro_Split_Type t2, int lineFlag) {
  BuildPosCheckObj();
  m_pMeshMgr->setSplitSurfType(t1, t2);
  _SetCalIntsersecLinFlag(lineFlag);
  _SetRefDot(m_pRefDot);
  _SetSplitFlag(m_splitFlag);
  _SetDataPrec(m_dataPrec);
}

long CKroMeshTriCut::CutMdlBetweenMdl(C3DSurface* s1, C3DSurface* s2, C3DSurface* o1,
                                      C3DSurface* o2, C3DSurface* o3, C3DSurface* o4, bool split1,
                                      bool split2) {
  return CutSurfaces(s1, s2, o1, o2, o3, o4, split1, split2, Kro_Mesh_Surface, Kro_Split_ByMesh,
                     Kro_Split_ByMesh, m_calIntsersecLinFlag);
}

long CKroMeshTriCut::CutMdlBetweenMdlF(C3DSurface* s1, C3DSurface* s2, C3DSurface* o1,
                                       C3DSurface* o2, C3DSurface* o3, C3DSurface* o4, bool split1,
                                       bool split2, Kro_Split_Type t1, Kro_Split_Type t2) {
  return CutSurfaces(s1, s2, o1, o2, o3, o4, split1, split2, Kro_Mesh_FreeSurface, t1, t2, 1);
}

long CKroMeshTriCut::CutSurfaces(C3DSurface* s1, C3DSurface* s2, C3DSurface* o1, C3DSurface* o2,
                                 C3DSurface* o3, C3DSurface* o4, bool split1, bool split2,
                                 Kro_Mesh_Type type, Kro_Split_Type t1, Kro_Split_Type t2,
                                 int lineFlag) {
  KroMessageCall call;
  ReleaseTricutObj();
  if (!UsableSurface(s1) || (s2 && !UsableSurface(s2)) ||
      !UsablePolyline(m_pPosCheckPolyline, m_posCheckPolylineNum))
    return 0;
  auto* first = new CObbtSurface();
  auto* second = new CObbtSurface();
  BeginCut(first, second, type, type, new CMeshMgrSS());

  first->BuildMeshObbt(s1);
  if (s2) {
    second->BuildMeshObbt(s2);
  } else {
    // No second surface: the cutter is the curtain over the plan polyline,
    // reaching well above and below the first surface.
    if (!m_pPosCheckPolyline || m_posCheckPolylineNum < 2) return 0;
    tctagD3ConvexBox box = first->GetMeshAABB();
    double h = box.zmax - box.zmin;
    // A flat first surface would give a curtain of zero height that cuts
    // nothing; give it a height of its own.
    if (!(h > 1e-9)) h = 2.0;
    C3DSurface curtain(-1, 0);
    CMathFunCls::GenSurfByPolylin(curtain, m_pPosCheckPolyline, m_posCheckPolylineNum,
                                  box.zmin - 0.5 * h, box.zmax + 0.5 * h);
    second->BuildMeshObbt(&curtain);
  }

  ApplySettings(t1, t2, lineFlag);
  m_pMeshMgr->setSplitSurfFlag(split1, split2);

  m_pMeshMgr->CutMdlByMdl(Kro_Cut_First, o1, o2);
  m_pMeshMgr->CutMdlByMdl(Kro_Cut_Second, o3, o4);
  return 1;
}

long CKroMeshTriCut::CutMdlBetweenMdl(C3DEntity* e, C3DSurface* s, C3DSurface* so1, C3DSurface* so2,
                                      C3DEntity* eo1, C3DEntity* eo2, bool addCutFace) {
  KroMessageCall call;
  ReleaseTricutObj();
  if (!UsableSolid(e) || !UsableSurface(s) ||
      !UsablePolyline(m_pPosCheckPolyline, m_posCheckPolylineNum))
    return 0;
  auto* first = new CObbtEntity();
  auto* second = new CObbtSurface();
  BeginCut(first, second, Kro_Mesh_Entity, Kro_Mesh_Surface, new CMeshMgrES());
  first->BuildMeshObbt(e);
  second->BuildMeshObbt(s);
  ApplySettings(Kro_Split_ByMesh, Kro_Split_ByMesh, m_calIntsersecLinFlag);

  // The part of s inside e is needed for the cut faces even when the caller
  // does not want it. It is cut into a surface of its own: so2 is appended
  // to, and what it held before is no part of this cut's face.
  C3DSurface cutFace(-1, 0);
  m_pMeshMgr->CutMdlByMdl(Kro_Cut_Second, so1, &cutFace);
  m_pMeshMgr->CutMdlByMdl(Kro_Cut_First, eo1, eo2);

  if (cutFace.GetTriangleCount() > 0) {
    UpdateSurfMaterialByEntity(&cutFace, e);
    if (addCutFace) {
      if (eo1) eo1->AddSurface(&cutFace, nullptr);
      if (eo2) eo2->AddSurface(&cutFace, nullptr);
    }
    if (so2) {
      KroSimpleMesh face;
      C3DSurfaceToASimpleMesh(&cutFace, &face);
      ASimpleMeshToC3DSurface(&face, so2);
    }
  }
  return 1;
}

long CKroMeshTriCut::CalMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* p1, C3DEntity* p2,
                                      C3DEntity* p3, C3DEntity* p4) {
  KroMessageCall call;
  ReleaseTricutObj();
  if (!UsableSolid(a) || !UsableSolid(b) ||
      !UsablePolyline(m_pPosCheckPolyline, m_posCheckPolylineNum))
    return 0;
  auto* first = new CObbtEntity();
  auto* second = new CObbtEntity();
  BeginCut(first, second, Kro_Mesh_Entity, Kro_Mesh_Entity, new CMeshMgrEE());
  first->BuildMeshObbt(a);
  second->BuildMeshObbt(b);
  ApplySettings(Kro_Split_ByMesh, Kro_Split_ByMesh, m_calIntsersecLinFlag);
  m_pMeshMgr->CutMdlByMdl(Kro_Cut_First, p1, p2);
  m_pMeshMgr->CutMdlByMdl(Kro_Cut_Second, p3, p4);
  return 1;
}

namespace {

// Appends every surface of from that has triangles, with its own
// decoration, to to.
void AppendOwn(const C3DEntity& from, C3DEntity* to) {
  if (!to) return;
  const long n = from.GetSurfaceNum();
  for (long i = 0; i < n; ++i) {
    C3DSurface surf(-1, 0);
    CSurfaceDecorationObj deco;
    if (from.GetSurface(i, &surf, &deco) && surf.GetTriangleCount() > 0)
      to->AddSurface(&surf, &deco);
  }
}

}  // namespace

long CKroMeshTriCut::CalMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* c,
                                      Kro_Mesh_Cut_Oper_Type op) {
  KroMessageCall call;
  C3DEntity piece[4] = {C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0)};
  ReleaseTricutObj();
  if (!c) return 0;
  if (CalMdlBetweenMdl(a, b, &piece[0], &piece[1], &piece[2], &piece[3]) != 1) return 0;
  switch (op) {
    case Kro_Oper_Union:
      AppendOwn(piece[2], c);
      AppendOwn(piece[0], c);
      break;
    case Kro_Oper_Intersect:
      AppendOwn(piece[3], c);
      AppendOwn(piece[1], c);
      break;
    case Kro_Oper_FirstMinusSecond:
      AppendOwn(piece[0], c);
      AppendOwn(piece[3], c);
      break;
    case Kro_Oper_SecondMinusFirst:
      AppendOwn(piece[1], c);
      AppendOwn(piece[2], c);
      break;
    case Kro_Oper_FirstOutside:
      AppendOwn(piece[0], c);
      break;
    default:
      break;
  }
  for (C3DEntity& p : piece) p.Reset();
  return 1;
}

long CKroMeshTriCut::CutMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* o1, C3DEntity* o2,
                                      C3DEntity* o3, C3DEntity* o4, C3DEntity* o5, C3DEntity* o6) {
  KroMessageCall call;
  ReleaseTricutObj();
  C3DEntity p1(-1, 0), p2(-1, 0), p3(-1, 0), p4(-1, 0);
  if (CalMdlBetweenMdl(a, b, &p1, &p2, &p3, &p4) != 1) return 0;

  AppendOwn(p1, o2);
  AppendOwn(p3, o6);

  // A piece that closes the other solid takes that solid's look.
  auto spread = [this](const C3DEntity& piece, C3DEntity* own, C3DEntity* look,
                       C3DEntity* const(&others)[3]) {
    const bool anyOther = others[0] || others[1] || others[2];
    const long n = piece.GetSurfaceNum();
    for (long i = 0; i < n; ++i) {
      C3DSurface surf(-1, 0);
      CSurfaceDecorationObj deco;
      if (!piece.GetSurface(i, &surf, &deco) || surf.GetTriangleCount() <= 0) continue;
      if (own) own->AddSurface(&surf, &deco);
      if (!anyOther) continue;
      UpdateSurfMaterialByEntity(&surf, look);
      for (C3DEntity* o : others)
        if (o) o->AddSurface(&surf, nullptr);
    }
  };
  C3DEntity* const p2Others[3] = {o4, o5, o6};
  C3DEntity* const p4Others[3] = {o2, o1, o3};
  spread(p2, o3, b, p2Others);
  spread(p4, o4, a, p4Others);

  p1.Reset();
  p2.Reset();
  p3.Reset();
  p4.Reset();
  return 1;
}
