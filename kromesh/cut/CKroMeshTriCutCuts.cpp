// The cut operations of the facade: surface/surface, solid/surface and
// solid/solid, all along one common road.
#include <cmath>
#include <memory>
#include <vector>

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

// Which triangles of a piece a Boolean keeps, by their coplanar flag.
enum Keep { kPlain = 1, kSameFacing = 2, kOtherFacing = 4 };
using Flags = std::vector<std::vector<signed char>>;

// Appends the triangles of every surface of piece whose coplanar flag
// passes keep; look null: each surface keeps its decoration, else it takes
// look's colour or material. flags hold one list per surface of piece
// (missing lists count as plain). A surface left without triangles is not
// added; a filtered one keeps every point but no neighbour records.
// look(s, owned, deco, to) appends s; owned is s itself when look may move
// it (a filtered copy, or a surface taken out of a consumed piece), else
// null. consume: the piece is read for the last time, and its surfaces kept
// whole are moved out rather than copied.
template <typename Look>
void AppendKept(C3DEntity& piece, const Flags& flags, int keep, C3DEntity* to, Look look,
                bool consume) {
  if (!to) return;
  const long n = piece.GetSurfaceNum();
  for (long i = 0; i < n; ++i) {
    const C3DSurface* whole = piece.SurfaceAt(i);
    const CSurfaceDecorationObj* pieceDeco = piece.DecorationAt(i);
    if (!whole || !pieceDeco || whole->GetTriangleCount() <= 0) continue;
    const C3DSurface& surf = *whole;
    CSurfaceDecorationObj deco = *pieceDeco;
    const std::vector<signed char>* f =
        i < static_cast<long>(flags.size()) ? &flags[static_cast<size_t>(i)] : nullptr;
    const long nt = surf.GetTriangleCount();
    auto kept = [&](long t) {
      const signed char c =
          f && t < static_cast<long>(f->size()) ? (*f)[static_cast<size_t>(t)] : 0;
      return (keep & (c > 0 ? kSameFacing : c < 0 ? kOtherFacing : kPlain)) != 0;
    };
    long nKept = 0;
    for (long t = 0; t < nt; ++t) nKept += kept(t);
    if (nKept == 0) continue;
    if (nKept < nt) {
      C3DSurface part(-1, 0);
      CPointCollection pts;
      CVertexDecorationObj vdeco;
      surf.GetPointCollection(&pts, &vdeco);
      part.UpdatePointCollection(&pts, &vdeco);
      part.SetMaterialName(surf.GetMaterialName());
      part.SetOperationType(surf.GetOperationType());
      C3DTriangle tri;
      for (long t = 0; t < nt; ++t)
        if (kept(t) && surf.GetTriangle(t, &tri, nullptr)) part.AddTriangle(&tri, nullptr, 1);
      look(part, &part, deco, to);
    } else if (consume) {
      C3DSurface taken(-1, 0);
      piece.TakeSurface(i, &taken, nullptr);
      look(taken, &taken, deco, to);
    } else {
      look(surf, nullptr, deco, to);
    }
  }
}

// Appends a piece's surface with its own decoration.
void AppendOwn(const C3DSurface& s, C3DSurface* owned, CSurfaceDecorationObj& deco, C3DEntity* to) {
  if (owned)
    to->AdoptSurface(owned, &deco);
  else
    to->AddSurface(&s, &deco);
}

// The pieces of the solid/solid cut an operation reads: bit p for piece p
// (0 and 1 the first solid outside and inside the second, 2 and 3 the
// second outside and inside the first).
int PiecesRead(Kro_Mesh_Cut_Oper_Type op) {
  switch (op) {
    case Kro_Oper_Union:
      return 1 << 0 | 1 << 2;
    case Kro_Oper_Intersect:
      return 1 << 1 | 1 << 3;
    case Kro_Oper_FirstMinusSecond:
      return 1 << 0 | 1 << 1 | 1 << 3;
    case Kro_Oper_SecondMinusFirst:
      return 1 << 1 | 1 << 2 | 1 << 3;
    case Kro_Oper_FirstOutside:
      return 1 << 0;
    default:
      return 0;
  }
}

}  // namespace

long CKroMeshTriCut::CalMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* c,
                                      Kro_Mesh_Cut_Oper_Type op) {
  KroMessageCall call;
  C3DEntity piece[4] = {C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0)};
  ReleaseTricutObj();
  if (!c) return 0;
  // A piece no operation reads is not written out; each direction keeps
  // one output, so that both directions still run as they always do.
  C3DEntity* out[4];
  const int read = PiecesRead(op);
  for (int p = 0; p < 4; ++p) out[p] = (read >> p & 1) ? &piece[p] : nullptr;
  for (int p = 0; p < 4; p += 2)
    if (!out[p] && !out[p + 1]) out[p] = &piece[p];
  if (CalMdlBetweenMdl(a, b, out[0], out[1], out[2], out[3]) != 1) return 0;
  const Flags* f[4] = {&m_pMeshMgr->GetCoplanarFlags(Kro_Cut_First, 1),
                       &m_pMeshMgr->GetCoplanarFlags(Kro_Cut_First, 2),
                       &m_pMeshMgr->GetCoplanarFlags(Kro_Cut_Second, 1),
                       &m_pMeshMgr->GetCoplanarFlags(Kro_Cut_Second, 2)};
  // Pieces lying on the other solid: a same-facing face once in the union
  // (a's) and in the intersection (b's), never in a difference; a face
  // facing the other solid in no union or intersection, a's in a minus b
  // and b's in b minus a.
  // Every piece is read once: it is freed as soon as it is appended.
  auto take = [&](int p, int keep) {
    AppendKept(piece[p], *f[p], keep, c, AppendOwn, true);
    piece[p].Reset();
  };
  switch (op) {
    case Kro_Oper_Union:
      take(2, kPlain);
      take(0, kPlain | kSameFacing);
      break;
    case Kro_Oper_Intersect:
      take(3, kPlain | kSameFacing);
      take(1, kPlain);
      break;
    case Kro_Oper_FirstMinusSecond:
      take(0, kPlain);
      take(1, kOtherFacing);
      take(3, kPlain);
      break;
    case Kro_Oper_SecondMinusFirst:
      take(1, kPlain);
      take(2, kPlain);
      take(3, kOtherFacing);
      break;
    case Kro_Oper_FirstOutside:
      take(0, kPlain | kSameFacing | kOtherFacing);
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
  const Flags& f1 = m_pMeshMgr->GetCoplanarFlags(Kro_Cut_First, 1);
  const Flags& f2 = m_pMeshMgr->GetCoplanarFlags(Kro_Cut_First, 2);
  const Flags& f3 = m_pMeshMgr->GetCoplanarFlags(Kro_Cut_Second, 1);
  const Flags& f4 = m_pMeshMgr->GetCoplanarFlags(Kro_Cut_Second, 2);
  auto own = AppendOwn;
  // A piece that closes the other solid takes that solid's look.
  auto looksLike = [this](C3DEntity* look) {
    return [this, look](const C3DSurface& s, C3DSurface* owned, CSurfaceDecorationObj&,
                        C3DEntity* to) {
      C3DSurface dressed(-1, 0);
      if (!owned) {
        dressed = s;
        owned = &dressed;
      }
      UpdateSurfMaterialByEntity(owned, look);
      to->AdoptSurface(owned, nullptr);
    };
  };
  // o2 = a minus b, o6 = b minus a (own surfaces first, then the other
  // solid's part), o3 and o4 the intersection, with the coplanar pieces
  // chosen as in the op form; the caps o1 and o5 hold no coplanar piece.
  AppendKept(p1, f1, kPlain, o2, own, true);
  p1.Reset();  // read once
  AppendKept(p2, f2, kOtherFacing, o2, own, false);
  AppendKept(p3, f3, kPlain, o6, own, true);
  p3.Reset();
  AppendKept(p4, f4, kOtherFacing, o6, own, false);
  AppendKept(p2, f2, kPlain, o3, own, false);
  AppendKept(p2, f2, kPlain, o4, looksLike(b), false);
  AppendKept(p2, f2, kPlain, o5, looksLike(b), false);
  AppendKept(p2, f2, kPlain, o6, looksLike(b), true);
  AppendKept(p4, f4, kPlain | kSameFacing, o4, own, false);
  AppendKept(p4, f4, kPlain, o2, looksLike(a), false);
  AppendKept(p4, f4, kPlain, o1, looksLike(a), false);
  AppendKept(p4, f4, kPlain | kSameFacing, o3, looksLike(a), true);

  p1.Reset();
  p2.Reset();
  p3.Reset();
  p4.Reset();
  return 1;
}
