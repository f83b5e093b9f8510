// The cutting facade: the class a host calls to cut two models against
// each other.
//
// One object holds the cut settings and, between two calls, the manager
// and the two wrappers of the last cut, so that the host can query the cut
// afterwards (intersection lines through GetMeshMgrObj, organizer settings,
// precision). Every cut releases the previous cut's objects first.
//
// Outputs are host objects supplied by the caller; every output may be
// null (that output is skipped); outputs are appended to, never cleared.
// The polyline, reference point and box handed in by pointer stay the
// caller's and must outlive the cuts that use them.
//
// Refused input: every cut returns 0 and writes nothing to any output when
// a model is null or empty (a surface without triangles, a solid without
// a triangle in any surface), has a coordinate that is not finite or a
// triangle indexing past its points, or when a position-check polyline of
// 2 points or more has a point that is not finite. Warnings raised during a
// cut go to the message layer (KroMessageBox.h), each text once per call.
//
// One facade per thread: a facade holds the state of its last cut, but
// different facades may cut at the same time on different threads (the
// conversions and the OBB core keep their scratch per thread).
#pragma once

#include "kromesh/mesh/KroRecords.h"

class C3DSurface;
class C3DEntity;
class CObbtBase;
class CMeshMgrBase;

class CKroMeshTriCut {
 public:
  CKroMeshTriCut();
  /// Copies every setting; the copy starts without live cut objects (they
  /// belong to the object that made them), so queries on it answer as
  /// before a first cut.
  CKroMeshTriCut(const CKroMeshTriCut& other);
  CKroMeshTriCut& operator=(const CKroMeshTriCut& other);
  virtual ~CKroMeshTriCut();

  // ---- settings: stored, and passed at once to the live cut objects ----

  /// Position-check polyline (plan points, not copied). Stored even when
  /// null or short; it reaches the organizers only with 2 points or more.
  void SetPosCheckPolyline(D_DOT* pts, long n);
  /// Reference point for both organizers; a null p is ignored.
  void SetRefDot(KRO::G3D_DVertex* p);
  /// Box of the cut mesh for both organizers; a null box is ignored
  /// (each organizer then gets the other model's box).
  void SetAABBOfCutedMesh(tctagD3ConvexBox* box);
  void SetSplitFlag(int flag);
  /// Nonzero: the intersection engine traces the cut lines.
  void SetCalIntsersecLinFlag(int flag);
  /// Data precision (distance under which two intersection points are
  /// one; keep it well below the model's feature size). Stored always;
  /// applied only when strictly between 0 and 1, to both wrappers and to
  /// every per-surface wrapper of a solid. Always 1.
  long SetDataPrec(double prec);
  /// Texture scale pair for generated texture coordinates. Always 1.
  long SetTexScale(double u, double v);
  /// Split types of the first and second model (used by CutMdlBetweenMdlF;
  /// the other cuts force type 1). Always 1.
  long setSplitSurfType(Kro_Split_Type first, Kro_Split_Type second);

  // ---- queries ----

  /// The manager of the last cut; null before the first cut.
  CMeshMgrBase* GetMeshMgrObj() const;
  /// Organizer settings of the last cut (the second model's organizer
  /// answers last). Before the first cut they report the facade's own
  /// settings. Null outputs are skipped. The polyline points handed out
  /// after a cut belong to the organizer and stay valid until the next cut
  /// or the next polyline set.
  void GetPosCheckPolyline(D_DOT** pts, long* n) const;
  void GetRefDot(KRO::G3D_DVertex* p) const;
  void GetSplitFlag(int& flag) const;
  void GetAABBOfCutedMesh(tctagD3ConvexBox* box) const;
  /// Line flag of the live engine; the stored flag before the first cut.
  void GetCalIntsersecLinFlag(int& flag) const;
  /// Precision of the first model's wrapper (the stored value before the
  /// first cut). Always 1.
  long GetDataPrec(double& prec) const;
  long GetTexScale(double& u, double& v) const;

  // ---- cuts ----

  /// Two surfaces, each cut by the other: o1, o2 the sides of s1 cut by
  /// s2, o3, o4 the sides of s2 cut by s1. A false split flag puts the
  /// whole re-triangulated surface into o1 (o3). With s2 null the cutter is
  /// the curtain raised over the position-check polyline through the z
  /// range of s1 (widened by half of it, and by 1 when s1 is flat). 1, or
  /// 0 for refused input, or when s2 is null and no polyline of 2 points or
  /// more is set.
  long CutMdlBetweenMdl(C3DSurface* s1, C3DSurface* s2, C3DSurface* o1, C3DSurface* o2,
                        C3DSurface* o3, C3DSurface* o4, bool split1, bool split2);
  /// The same with free split types t1, t2 (see Kro_Split_Type) and both
  /// models treated as free surfaces; cut lines are always traced.
  long CutMdlBetweenMdlF(C3DSurface* s1, C3DSurface* s2, C3DSurface* o1, C3DSurface* o2,
                         C3DSurface* o3, C3DSurface* o4, bool split1, bool split2,
                         Kro_Split_Type t1, Kro_Split_Type t2);
  /// A solid and a surface: so1, so2 the sides of s cut by e (so2: the
  /// part inside e, in e's colour or material); eo1, eo2 the sides of e cut
  /// by s (eo1 behind s, eo2 in front of it). With addCutFace that part of
  /// s, and only this cut's part whatever so2 held before, is added as the
  /// last surface of eo1 and of eo2. It keeps s's facing, so it faces out
  /// of eo1 and into eo2. 1, or 0 for refused input.
  long CutMdlBetweenMdl(C3DEntity* e, C3DSurface* s, C3DSurface* so1, C3DSurface* so2,
                        C3DEntity* eo1, C3DEntity* eo2, bool addCutFace);
  /// Two solids into six outputs: o2 = a minus b, o6 = b minus a (each
  /// closed by the other's inside part in its own material, placed after
  /// the difference's own surfaces), o3 and o4 the intersection (b's part
  /// in a's material, a's part in b's material), o1 b's part inside a in
  /// a's material, o5 a's part inside b in b's material. Faces lying on
  /// each other go to o2, o3, o4 and o6 as in the op form below; o1 and o5
  /// hold none of them. 1, or 0 for refused input.
  long CutMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* o1, C3DEntity* o2, C3DEntity* o3,
                        C3DEntity* o4, C3DEntity* o5, C3DEntity* o6);
  /// Two solids into four pieces: p1, p2 a outside / inside b; p3, p4 b
  /// outside / inside a. 1, or 0 for refused input.
  ///
  /// Faces of a and b that lie on each other (coplanar and overlapping)
  /// are split along the border of the overlap in both solids and then go
  /// by facing: where the two face the same way, a's part goes to p1 and
  /// b's part to p4; where they face each other, a's part goes to p2 and
  /// b's part to p4. The pieces are the raw material of the Booleans: taken
  /// whole, two of them would carry a zero-volume double layer (a minus b
  /// for faces facing the same way, the intersection for faces facing each
  /// other), so the op and six-output forms choose these parts by facing.
  long CalMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* p1, C3DEntity* p2, C3DEntity* p3,
                        C3DEntity* p4);
  /// The pieces chosen by op appended to c: union (p3, p1), intersection
  /// (p4, p2), a minus b (p1, p4), b minus a (p2, p3), or a's outside part
  /// (p1 whole). Surfaces keep their material and orientation; in a
  /// difference the other solid's part faces into the result. Faces lying
  /// on each other appear once or not at all: facing the same way, a's in
  /// the union, b's in the intersection, none in a difference; facing each
  /// other, none in the union or the intersection, a's in a minus b, b's in
  /// b minus a. So identical solids give union = intersection = the solid
  /// and empty differences, and solids touching along a face give a union
  /// without that face and an empty intersection. An empty result appends
  /// nothing and still returns 1 (other ops append nothing too); 0 when c
  /// is null or the input is refused.
  long CalMdlBetweenMdl(C3DEntity* a, C3DEntity* b, C3DEntity* c, Kro_Mesh_Cut_Oper_Type op);

 private:
  void ReleaseTricutObj();
  long setCutSurfType(Kro_Mesh_Type* const types);
  void _SetPosCheckPolyline(D_DOT* pts, long n);
  void _SetRefDot(KRO::G3D_DVertex* p);
  void _SetAABBOfCutedMesh(tctagD3ConvexBox* box);
  void _SetSplitFlag(int flag);
  void _SetCalIntsersecLinFlag(int flag);
  long _SetDataPrec(double prec);
  void BuildPosCheckObj();
  void InitMesh();
  /// Gives s the colour, or the material and generated texture
  /// coordinates, of e's last surface.
  void UpdateSurfMaterialByEntity(C3DSurface* s, C3DEntity* e);
  // First steps of every cut: the fresh wrappers, their kinds and the
  // manager, with the stored split types and polyline.
  void BeginCut(CObbtBase* first, CObbtBase* second, Kro_Mesh_Type type1, Kro_Mesh_Type type2,
                CMeshMgrBase* manager);
  // After the wrappers are built: position checkers, the call's split types
  // and line flag, and the stored reference point, split flag, precision.
  void ApplySettings(Kro_Split_Type t1, Kro_Split_Type t2, int lineFlag);
  // Common road of the two surface/surface cuts.
  long CutSurfaces(C3DSurface* s1, C3DSurface* s2, C3DSurface* o1, C3DSurface* o2, C3DSurface* o3,
                   C3DSurface* o4, bool split1, bool split2, Kro_Mesh_Type type, Kro_Split_Type t1,
                   Kro_Split_Type t2, int lineFlag);
  void CopySettings(const CKroMeshTriCut& other);

  CMeshMgrBase* m_pMeshMgr;
  CObbtBase* m_pObbt[2];
  int m_calIntsersecLinFlag;
  KRO::G3D_DVertex* m_pRefDot;
  tctagD3ConvexBox* m_pAABBOfCutedMesh;
  D_DOT* m_pPosCheckPolyline;
  long m_posCheckPolylineNum;
  int m_splitFlag;
  double m_dataPrec;
  double m_texScale[2];
  Kro_Split_Type m_splitType[2];
};
