// Cut managers: one cut of one model by another, for each pairing of model
// kinds.
//
// A manager collides the two wrappers' trees, lets its intersection engine
// re-triangulate the cut model along the cut lines, lets the cutting
// model's organizer divide the result into two sides, and appends the sides
// to host surfaces or solids. The wrappers belong to the caller (the
// facade); a manager only points at them.
//
// Result codes: the cut routines return 1 whatever happens inside the
// engine or the organizer (their failures leave the side meshes as they
// were); CutMdlByMdl returns 0 only when both outputs are null.
#pragma once

#include <vector>

#include "kromesh/Obbt/CObbtObjProcc.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/mesh/KroRecords.h"

class CBaseGeometry;
class C3DSurface;
class C3DEntity;
class CObbtBase;
class CObbtSurface;
class CObbtEntity;
class CMeshOrganizeBase;
class KroSimpleMesh;

class CMeshMgrBase {
 public:
  CMeshMgrBase();
  CMeshMgrBase(const CMeshMgrBase& other);
  CMeshMgrBase& operator=(const CMeshMgrBase& other);
  virtual ~CMeshMgrBase();

  /// Hooks kept for hosts that prepare models before a cut; the managers
  /// of this library need no preparation and answer 1.
  virtual long RestoreCutModel() = 0;
  virtual long UniteMeshDir() = 0;
  virtual long JudgeMeshType(Kro_Mesh_Type* const types) = 0;
  /// Cuts the first model by the second (sort 1) or the second by the
  /// first (any other sort) and appends the two sides to out1 and out2
  /// (either may be null). 0 when both are null, else the routine's 1.
  virtual long CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) = 0;
  /// RestoreCutModel, then UniteMeshDir.
  virtual void InitMesh();

  /// Stores the two wrappers (not owned). Always 1.
  long SetCutModel(CObbtBase* first, CObbtBase* second);
  /// The first model's wrapper for 0, the second's for any other value.
  CObbtBase* GetMeshObbt(long i) const;
  /// Organizer of the first model's wrapper for sort 1, of the second's
  /// for any other value; null when that wrapper is not set.
  CMeshOrganizeBase* GetMeshOrganizeObj(Kro_Mesh_Cut_SORT sort) const;
  /// The embedded intersection engine (owned by the manager).
  CMeshIntersect* GetMeshInterseceObj();
  /// The embedded collision processor (owned by the manager).
  CObbtObjProcc* GetObbtProccObj();
  long setSplitSurfType(Kro_Split_Type first, Kro_Split_Type second);
  long setSplitSurfFlag(bool first, bool second);
  /// Stores the polyline pointer and count (not owned, not copied).
  void SetPosCheckPolyline(D_DOT* pts, long n);
  long SetTexScale(double u, double v);
  void GetTexScale(double& u, double& v) const;
  void GetSplitSurfType(Kro_Split_Type& first, Kro_Split_Type& second) const;
  void GetSplitSurfFlag(bool& first, bool& second) const;
  /// Coplanar flags of the last solid/solid cut of the first model (sort
  /// 1) or the second (any other sort), for its side 1 or 2 (any other
  /// value): one list per surface appended to that output, in order, one
  /// flag per triangle: 1 (-1) on a piece lying on the cutter facing the
  /// same (the other) way, 0 elsewhere. Empty for other cuts.
  const std::vector<std::vector<signed char>>& GetCoplanarFlags(Kro_Mesh_Cut_SORT sort,
                                                                int side) const;

 protected:
  /// Surface cut by surface. Both side meshes of cut are emptied first, so
  /// the outputs only ever receive this cut's result. split false copies
  /// the whole working mesh to the first side; split types 1 to 3 classify
  /// (see the source); any other type classifies nothing.
  long CutSurfaceBySurface(CObbtSurface* cut, CObbtBase* cutter, C3DSurface* out1, C3DSurface* out2,
                           bool split, Kro_Split_Type splitType);
  /// Surface cut by a solid: always split; the cutter's organizer gets the
  /// cutter's and the cut surface's buffers before classifying.
  long CutSurfaceByEntity(CObbtSurface* cut, CObbtEntity* cutter, C3DSurface* out1,
                          C3DSurface* out2, bool split, Kro_Split_Type splitType);
  /// Solid cut by a surface or a solid: every surface of the cut solid is
  /// cut on its own; each side solid gets one surface per cut surface that
  /// kept triangles on that side, in the solid's surface order.
  long CutEntityBySurface(CObbtEntity* cut, CObbtBase* cutter, C3DEntity* out1, C3DEntity* out2,
                          bool split, Kro_Split_Type splitType);
  long CutEntityByEntity(CObbtEntity* cut, CObbtEntity* cutter, C3DEntity* out1, C3DEntity* out2,
                         bool split, Kro_Split_Type splitType);

  CObbtBase* m_pObbt[2];
  CMeshIntersect m_meshIntersect;
  CObbtObjProcc m_obbtProcc;
  D_DOT* m_pPosCheckPolyline;
  long m_posCheckPolylineNum;
  double m_texScale[2];
  bool m_splitFlag[2];
  Kro_Split_Type m_splitType[2];
  // Side of a piece of the cut model lying on the cutter, facing the same
  // way (1 or 2); pieces facing the other way go to side 2.
  int m_coplanarSameSide = 1;
  // Flags of the two side meshes of the last surface cut by a solid, and
  // per sort and side the flags of every surface a solid/solid cut wrote.
  std::vector<signed char> m_sideCoplanar[2];
  std::vector<std::vector<signed char>> m_coplanarOut[2][2];

 private:
  // Runs the collision and the re-triangulation; returns the mesh to
  // classify (the cut mesh after a contact, else the source mesh).
  KroSimpleMesh* PrepareWorkingMesh(CObbtSurface* cut, CObbtBase* cutter);
  // Divides working into cut's side meshes with the cutter's organizer.
  void SplitWorkingMesh(CObbtSurface* cut, CObbtBase* cutter, KroSimpleMesh* working,
                        Kro_Split_Type splitType);

  // Intersection points handed to an organizer for the region road; kept
  // here so the organizer's pointer stays valid after the call.
  std::vector<KRO::G3D_DVertex> m_interDots;
  // The longest cut line as a plan polyline, for split type 2.
  std::vector<D_DOT> m_longestLine;
};

/// Surface cut by surface.
class CMeshMgrSS : public CMeshMgrBase {
 public:
  long RestoreCutModel() override { return 1; }
  long UniteMeshDir() override { return 1; }
  long JudgeMeshType(Kro_Mesh_Type* const) override { return 1; }
  /// Outputs are C3DSurface objects.
  long CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) override;
};

/// First model a solid, second a surface.
class CMeshMgrES : public CMeshMgrSS {
 public:
  /// Sort 1: the solid cut by the surface into C3DEntity outputs; other
  /// sorts: the surface cut by the solid into C3DSurface outputs.
  long CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) override;
};

/// Solid cut by solid; outputs are C3DEntity objects.
class CMeshMgrEE : public CMeshMgrES {
 public:
  long CutMdlByMdl(Kro_Mesh_Cut_SORT sort, CBaseGeometry* out1, CBaseGeometry* out2) override;
};
