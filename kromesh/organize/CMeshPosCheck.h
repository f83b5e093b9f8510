// Position checkers: on which side of the cutting model does a point lie.
//
// One class per kind of cutting model, all answering through the virtual
// PosCheckPntAndMesh: a plane, a fold line drawn in plan (a vertical
// curtain, closed against a box into a polygon), a curved open surface and
// a closed solid. The organizer of the cutting model builds the checker and
// the classification only sees CMeshPosCheckBase.
//
// Side codes: -1 puts a point on side 1 of a classification, every other
// code on side 2. Checkers keep pointers to the cutting model's buffers
// without owning them; the buffers must outlive the queries.
#pragma once

#include <memory>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

class RAPID_model;
class CTriangleIndex;

/// Base checker: stores the cutting model and answers 0 (no side) for every
/// point.
class CMeshPosCheckBase {
 public:
  /// All pointers null, counts 0, reference point (0, 0, 0), cut model
  /// type 0.
  CMeshPosCheckBase();
  virtual ~CMeshPosCheckBase();
  CMeshPosCheckBase(const CMeshPosCheckBase&) = default;
  CMeshPosCheckBase& operator=(const CMeshPosCheckBase&) = default;

  /// Side of p against the cutting model. a, b and c (the triangle p was
  /// taken from) are not read. The base answers 0.
  virtual long PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                                  KRO::G3D_DVertex* c);
  /// A new copy of this checker (of its own class); the caller deletes it.
  /// Null when it cannot be allocated.
  virtual CMeshPosCheckBase* Clone() const;

  /// Stores the cutting model's tree and buffers (not owned). Checkers
  /// that index the buffers do so afresh after each call.
  void SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                  C3DTriData* triangles, long triangleCount);
  /// Stores the buffers of the model before cutting (not owned).
  void SetOrgMdl(KRO::G3D_DVertex* vertices, long vertexCount, C3DTriData* triangles,
                 long triangleCount);
  /// Stores the kind of the model being cut; returns 1.
  long SetCutedMdlType(Kro_Mesh_Type type);
  /// Copies the point; a null point changes nothing.
  void SetRefDot(KRO::G3D_DVertex* p);

  RAPID_model* GetObbtObj() const { return m_pObbtModel; }
  Kro_Mesh_Type GetCutedMdlType() const { return m_cutedMdlType; }
  KRO::G3D_DVertex GetRefDot() const { return m_refDot; }

 protected:
  RAPID_model* m_pObbtModel;
  KRO::G3D_DVertex* m_pVertices;
  long m_vertexCount;
  C3DTriData* m_pTriangles;
  long m_triCount;
  KRO::G3D_DVertex m_refDot;
  KRO::G3D_DVertex* m_pOrgVertices;
  long m_orgVertexCount;
  C3DTriData* m_pOrgTriangles;
  long m_orgTriCount;
  Kro_Mesh_Type m_cutedMdlType;
  // Counts the SetObbtObj calls, so that an index built over the buffers
  // knows when it is out of date.
  unsigned long m_obbtObjStamp = 0;
};

/// Side of a plane a*x + b*y + c*z + d = 0.
class CMeshPosCheckPlane : public CMeshPosCheckBase {
 public:
  /// The plane starts as (0, 0, 0, 0), which puts every point on it.
  CMeshPosCheckPlane();
  ~CMeshPosCheckPlane() override;

  /// 1 on the side the normal (a, b, c) points to, -1 on the other, 0
  /// within 0.001 of the plane; -2 for a null p.
  long PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                          KRO::G3D_DVertex* c) override;
  CMeshPosCheckBase* Clone() const override;

  /// Copies the four coefficients a, b, c, d; null changes nothing.
  void SetPanelCoef(double* const coef);
  const double* GetPanelCoef() const { return m_coef; }

 private:
  double m_coef[4];
};

/// Side of a fold line drawn in plan, closed against a box into a polygon.
class CMeshPosCheckPolylin : public CMeshPosCheckBase {
 public:
  /// No polygon; every point then answers -2.
  CMeshPosCheckPolylin();
  ~CMeshPosCheckPolylin() override;
  /// Copies own their own polygon.
  CMeshPosCheckPolylin(const CMeshPosCheckPolylin&) = default;
  CMeshPosCheckPolylin& operator=(const CMeshPosCheckPolylin&) = default;

  /// In plan (x, y of p): with a closed polygon 1 inside, -1 outside; with a
  /// polygon left open 1 left, -1 right, -2 on it or undecidable; -2 without
  /// a polygon or for a null p.
  long PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                          KRO::G3D_DVertex* c) override;
  CMeshPosCheckBase* Clone() const override;

  /// Replaces the polygon by the n points of poly closed against box: the
  /// plan box (x, y of box, null for none) is widened to hold every point of
  /// poly; a line already closed (first point = last within 1e-7) is kept
  /// as it is; a line between two different sides of the box gets its ends
  /// pushed 0.1 further along its end segments (so the line keeps its
  /// course up to the box) and the box corners that close it; every
  /// other line is closed straight back to its first point. A null poly or
  /// n < 1 changes nothing. poly stays the caller's.
  void SetPolyWithFoldLinAndBox(D_DOT* poly, long n, tctagD3ConvexBox* box);

  /// *pts = the polygon (owned by the checker, valid until the next
  /// SetPolyWithFoldLinAndBox or destruction; null when there is none),
  /// *n = its point count. Null outputs are skipped.
  void GetPolygon(const D_DOT** pts, long* n) const;
  /// The plan box the polygon was closed against.
  tctagD2ConvexBox GetPlanBox() const { return m_planBox; }

 private:
  std::vector<D_DOT> m_polygon;
  long m_polyCount;
  tctagD2ConvexBox m_planBox;
};

/// Side of a curved open surface given as vertex and triangle buffers.
///
/// The first query after SetKroMeshBuf builds a triangle index over the
/// surface, through which the queries run in about logarithmic time per
/// visibility test instead of a scan of every triangle; the answers are the
/// same either way. A checker that is never asked keeps no index. The index
/// is a snapshot of the buffers at that first query: after changing them,
/// call SetKroMeshBuf again. Copies share an index already built.
class CMeshPosCheckCurv : public CMeshPosCheckBase {
 public:
  CMeshPosCheckCurv();
  ~CMeshPosCheckCurv() override;
  CMeshPosCheckCurv(const CMeshPosCheckCurv&) = default;
  CMeshPosCheckCurv& operator=(const CMeshPosCheckCurv&) = default;

  /// The side against the surface, the test starting from the well-shaped
  /// triangle whose centroid is nearest to p: 1 in front of the deciding
  /// triangle's normal, -1 behind, 0 in its plane, -2
  /// when no triangle can decide, without a surface, when a triangle names a
  /// vertex outside the buffer, or for a null p.
  long PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                          KRO::G3D_DVertex* c) override;
  CMeshPosCheckBase* Clone() const override;

  /// Stores the surface buffers tested against (not owned); the index over
  /// them is built by the first query. When it cannot be built (no memory)
  /// the checker scans the buffers instead.
  void SetKroMeshBuf(KRO::G3D_DVertex* vertices, long vertexCount, C3DTriData* triangles,
                     long triangleCount);

  /// true (the default): answer through the index when there is one; false:
  /// always scan the buffers as they are now (the reference road).
  void SetUseIndex(bool use) { m_useIndex = use; }
  bool GetUseIndex() const { return m_useIndex; }
  /// True when there is an index over a non-empty surface (built now if
  /// it was still to be built).
  bool HasIndex() const;
  /// Frees the index; the next query builds it again. A cut drops it once
  /// the cut is classified, so that the index of one cutter is not held
  /// while the next one is built.
  void ReleaseIndex();

 private:
  KRO::G3D_DVertex* m_pSurfVertices;
  long m_surfVertexCount;
  C3DTriData* m_pSurfTriangles;
  long m_surfTriCount;
  // Builds the index when SetKroMeshBuf left it to be built.
  void EnsureIndex() const;

  mutable std::shared_ptr<const CTriangleIndex> m_pIndex;
  mutable bool m_indexPending;
  bool m_useIndex;
  // The triangle that last hid a centroid: tried first by the next query.
  long m_occluder;
  long m_nearest;  // the last nearest centroid's triangle, where the next search starts
};

/// Inside or outside a closed solid given by the buffers of SetObbtObj.
class CMeshPosCheckEntity : public CMeshPosCheckBase {
 public:
  /// As the base, with the cut model type Kro_Mesh_Surface.
  CMeshPosCheckEntity();
  ~CMeshPosCheckEntity() override;

  /// 1 inside the solid, 0 on its boundary, -1 outside (also outside the
  /// solid's box, when the solid cannot be assembled from the buffers, for
  /// a null p, or when working memory runs out).
  /// The first query after SetObbtObj files the triangles by height once
  /// (a snapshot: after changing the buffers, call SetObbtObj again), so that each later query
  /// slices only the triangles near its height; the answers are those of
  /// GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur over all triangles.
  long PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* a, KRO::G3D_DVertex* b,
                          KRO::G3D_DVertex* c) override;
  /// The copy shares the (immutable) height index.
  CMeshPosCheckBase* Clone() const override;

  /// The height index, built on first use; shared by copies.
  struct ZIndex;

 private:
  // Null until the first query; rebuilt when the buffers set differ.
  std::shared_ptr<const ZIndex> m_zIndex;
};
