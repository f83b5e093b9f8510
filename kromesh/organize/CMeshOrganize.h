// Two-side classification of a cut mesh by the cutting model.
//
// Every mesh wrapper owns an organizer: CMeshOrganizeSurf for an open
// surface, CMeshOrganizeEntity for a closed solid. The organizer of the
// cutting model holds what is known about that model (its tree and triangle
// buffers, its kind, an optional plan polyline, optional intersection
// points, the box of the mesh being cut), builds the matching position
// checker, and splits a re-triangulated cut mesh into two side meshes.
//
// Calling order: SetObbtObj; the types, box, polyline or intersection
// points; BuildPosCheckObj; then ClassifySurfMeshTo2Side. Buffers, the tree
// and intersection points stay the caller's and must outlive the calls that
// use them; the polyline is copied.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "kromesh/intersect/CMeshIntersect.h"
#include "kromesh/mesh/KroRecords.h"
#include "kromesh/organize/CMeshPosCheck.h"

class RAPID_model;
class KroSimpleMesh;

class CMeshOrganizeBase {
 public:
  /// No model or buffers, split flag 0, reference point (0, 0,
  /// 1.79769313486232e+307), zero box, no polyline, mesh type
  /// Kro_Mesh_Surface, cut model type 0, no checker, empty sides.
  CMeshOrganizeBase();
  virtual ~CMeshOrganizeBase();
  /// Deep copies: the copy owns its own polyline, checker (a clone) and side
  /// lists; the model, buffers and intersection points still point at the
  /// caller's data.
  CMeshOrganizeBase(const CMeshOrganizeBase& other);
  CMeshOrganizeBase& operator=(const CMeshOrganizeBase& other);

  /// Stores the cutting model's tree and mesh buffers (not owned) and passes
  /// them on to the checker when there is one.
  virtual void SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                          C3DTriData* triangles, long triangleCount);
  /// Splits cut into side1 and side2 (either may be null: that side is not
  /// written). With intersection points set, no polyline and mesh type
  /// Kro_Mesh_FreeSurface, side 1 is the piece of cut holding triangle 0 and
  /// side 2 the rest (region search bounded by the intersection points);
  /// otherwise each legal triangle goes to side 1 when the checker puts its
  /// centroid at -1 and to side 2 for any other code, and degenerate
  /// triangles (or triangles with a corner outside cut's positions) to
  /// neither. Without a checker every legal triangle goes to side 2.
  /// A side mesh gets the side's positions (numbered in order of first use
  /// along the side's triangles), colour set 0 and texture set 0 when cut has
  /// them, the triangles, and, when cut has neighbour records, those records
  /// renumbered into the side (-1 across the side's border). A side holding
  /// every triangle of cut, whose vertices are cut's first positions, keeps
  /// cut's triangle order and vertex numbering. Other per-vertex
  /// arrays of a side mesh are kept only when their length still matches;
  /// an empty side leaves its mesh as it was. cut may be side1 or side2.
  /// Returns 1; -1 for a null cut or when working memory runs out (sides and
  /// side meshes untouched).
  virtual long ClassifySurfMeshTo2Side(KroSimpleMesh* cut, KroSimpleMesh* side1,
                                       KroSimpleMesh* side2);
  /// Splits cut by regions: the cut edges (in cut's numbering) divide cut
  /// into regions, triangles joined across any other edge, and each region
  /// goes whole to one side. A solid cutter (UsesCutterFacing) decides a
  /// region by the facing of the cutting triangles at its cut edges, with
  /// exact orientation tests; a region they leave undecided, and every
  /// region for other cutters, is decided by one checker query at the
  /// centroid of its largest sound triangle (-1: side 1, else side 2). A
  /// region without a sound triangle and without a decision goes to
  /// neither side. With a solid cutter and coplanar flags (one per
  /// triangle of cut: 1 on a cutting triangle facing the same way, -1 on
  /// one facing the other way, 0 elsewhere), a region mostly on the cutter
  /// goes to sameFacingSide (1 or 2) when facing the same way and to side 2
  /// when facing the other way. Sides are written as by
  /// ClassifySurfMeshTo2Side; returns the same codes.
  long ClassifyRegionsTo2Side(KroSimpleMesh* cut, KroSimpleMesh* side1, KroSimpleMesh* side2,
                              const tcCutEdge* edges, long edgeNum,
                              const signed char* coplanar = nullptr, int sameFacingSide = 1);
  /// Stores the buffers of the model before cutting (not owned); passes them
  /// on to the checker when there is one.
  virtual void SetOrgMdl(KRO::G3D_DVertex* vertices, long vertexCount, C3DTriData* triangles,
                         long triangleCount);
  /// Builds the position checker; the base organizer builds none.
  virtual void BuildPosCheckObj();

  /// Stores the kind of the model being cut and passes it on to the
  /// checker; returns 1.
  long SetCutedMdlType(Kro_Mesh_Type type);
  /// Stores the kind of the cutting model.
  void SetMeshType(Kro_Mesh_Type type);
  void SetSplitFlag(int flag);
  void GetSplitFlag(int& flag);
  /// Copy the point in / out; null changes nothing.
  void SetRefDot(KRO::G3D_DVertex* p);
  void GetRefDot(KRO::G3D_DVertex* p);
  /// Copy the box of the mesh being cut in / out; null changes nothing.
  void SetAABBOfCutedMesh(tctagD3ConvexBox* box);
  void GetAABBOfCutedMesh(tctagD3ConvexBox* box);
  /// Keeps a copy of the n points when pts is given and n >= 2; otherwise
  /// nothing changes.
  void SetPosCheckPolyline(D_DOT* pts, long n);
  /// *n = the polyline's point count and *pts = the stored points (owned by
  /// the organizer, null when there are none); null outputs are skipped.
  void GetPosCheckPolyline(D_DOT** pts, long* n);
  /// Stores the intersection points (not owned) and their count.
  void setSurfInterDots(KRO::G3D_DVertex* pts, long n);

  /// The checker built by BuildPosCheckObj (owned by the organizer), or null.
  CMeshPosCheckBase* GetPosCheckObj() const { return m_pPosCheck.get(); }
  Kro_Mesh_Type GetMeshType() const { return m_meshType; }
  Kro_Mesh_Type GetCutedMdlType() const { return m_cutedMdlType; }
  /// Triangles of the last classification on side (any value other than 1
  /// means side 2): *list = indices into the classified mesh's triangles
  /// (owned by the organizer, valid until the next classification; null when
  /// none), *n = their number. Null outputs are skipped.
  void GetSideTriList(Kro_Mesh_Remain_Side side, const long** list, long* n) const;
  /// Number of distinct vertices the side's triangles use.
  long GetSideVertexNum(Kro_Mesh_Remain_Side side) const;
  /// Per triangle of the mesh last split by ClassifyRegionsTo2Side: 1 (-1)
  /// where its region went by facing, lying on the cutter facing the same
  /// (the other) way; 0 elsewhere. Empty after any other classification.
  const std::vector<signed char>& GetCoplanarSides() const { return m_coplanarSides; }

 protected:
  // True when the cutting model is a closed solid whose triangles face out.
  virtual bool UsesCutterFacing() const { return false; }
  // Makes checker the organizer's checker (null leaves it without one) and
  // hands it the models, the cut model type and the reference point.
  void InstallPosCheck(std::unique_ptr<CMeshPosCheckBase> checker);

  RAPID_model* m_pObbtModel;
  KRO::G3D_DVertex* m_pVertices;
  long m_vertexCount;
  C3DTriData* m_pTriangles;
  long m_triCount;
  KRO::G3D_DVertex* m_pOrgVertices;
  long m_orgVertexCount;
  C3DTriData* m_pOrgTriangles;
  long m_orgTriCount;
  int m_splitFlag;
  KRO::G3D_DVertex m_refDot;
  tctagD3ConvexBox m_cutMeshBox;
  std::vector<D_DOT> m_posCheckPolyline;
  long m_posCheckPolylineNum;
  Kro_Mesh_Type m_meshType;
  Kro_Mesh_Type m_cutedMdlType;
  std::unique_ptr<CMeshPosCheckBase> m_pPosCheck;
  long m_side1VertexNum;
  long m_side1TriNum;
  std::vector<long> m_side1TriList;
  long m_side2VertexNum;
  long m_side2TriNum;
  std::vector<long> m_side2TriList;
  // Number on its side of each cut-mesh vertex, -1 for a vertex not used
  // there (32 bits: FinishSides refuses a cut mesh of 2^31 vertices).
  std::vector<int32_t> m_side1VertexMap;
  std::vector<int32_t> m_side2VertexMap;
  KRO::G3D_DVertex* m_pInterDots;
  long m_interDotNum;
  std::vector<signed char> m_coplanarSides;

 private:
  // Stores the two side lists, numbers the sides' vertices and writes the
  // side meshes (shared tail of the classifications).
  long FinishSides(KroSimpleMesh* cut, std::vector<unsigned char>& seen, std::vector<long>& list1,
                   std::vector<long>& list2, KroSimpleMesh* side1, KroSimpleMesh* side2);
  // Copies one side of the last classification into out: 1; -1 when cut is
  // null or has no positions; 0 for a null out.
  long GetOneSideTile(KroSimpleMesh* cut, KroSimpleMesh* out, Kro_Mesh_Remain_Side side);
};

/// Organizer of an open surface or a plane: plane, fold-line or curved
/// surface checker.
class CMeshOrganizeSurf : public CMeshOrganizeBase {
 public:
  CMeshOrganizeSurf();
  ~CMeshOrganizeSurf() override;
  CMeshOrganizeSurf(const CMeshOrganizeSurf&) = default;
  CMeshOrganizeSurf& operator=(const CMeshOrganizeSurf&) = default;

  /// As the base.
  void SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                  C3DTriData* triangles, long triangleCount) override;
  /// Replaces the checker: mesh type Kro_Mesh_Plane gives a plane checker
  /// through the cutting model's first legal triangle (of the tree, or of the
  /// buffers without a tree); otherwise a polyline of at least 2 points gives
  /// a fold-line checker closed against the box of the mesh being cut;
  /// otherwise a curved-surface checker over the organizer's buffers. When
  /// the checker cannot be allocated the organizer is left without one.
  void BuildPosCheckObj() override;
};

/// Organizer of a closed solid: the solid checker.
class CMeshOrganizeEntity : public CMeshOrganizeBase {
 public:
  /// As the base, with the cut model type Kro_Mesh_Surface.
  CMeshOrganizeEntity();
  ~CMeshOrganizeEntity() override;
  CMeshOrganizeEntity(const CMeshOrganizeEntity&) = default;
  CMeshOrganizeEntity& operator=(const CMeshOrganizeEntity&) = default;

  /// As the base.
  void SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                  C3DTriData* triangles, long triangleCount) override;
  /// Replaces the checker by a solid checker over the organizer's tree and
  /// buffers, with the organizer's cut model type. When the checker cannot
  /// be allocated the organizer is left without one.
  void BuildPosCheckObj() override;

 protected:
  bool UsesCutterFacing() const override { return true; }
};
