// Mesh OBB wrappers: one mesh, its OBB tree, its box and its organizer.
//
// CObbtBase converts a host model or a raw triangle buffer into its own
// KroSimpleMesh, fills an OBB model with the mesh's triangles (the
// triangle's position in the mesh is its id) and builds the tree.
// CObbtSurface (an open surface) and CObbtEntity (a closed solid) add the
// side-classification organizer of their kind; a solid also keeps one
// surface wrapper per host surface.
//
// Status codes: the build members pass the OBB model's own codes through
// (0 built or added, 1 out of memory, 4 wrong order, 5 empty); -1 means no
// OBB model, a null argument or an unusable buffer. Query members return 1
// on success and -1 when there is nothing to answer from.
//
// Copies: copying a wrapper shares its OBB model and its organizer with the
// original (shared ownership: the last wrapper alive releases them) and
// copies the meshes. A wrapper that is built again while it shares them
// first takes a model and an organizer of its own, so the others keep
// theirs. The organizer keeps pointers into the mesh of the wrapper that
// built it: that wrapper must stay alive, and must not be built again,
// while a copy classifies through the shared organizer.
//
// Destroying the last owner of an OBB model empties the calling thread's contact
// list of the collision query: copy colliding pairs out before that
// (CObbtObjProcc does).
#pragma once

#include <memory>
#include <vector>

#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"

class RAPID_model;
class CMeshOrganizeBase;
class C3DSurface;
class C3DEntity;

class CObbtBase {
 public:
  /// Mesh type Kro_Mesh_Surface, reference point (0, 0, 0), precision
  /// 0.001, no organizer, an empty model ready to be filled.
  CObbtBase();
  /// Shares other's model and organizer, copies everything else. The tree
  /// reads its wrapper's mesh in place; when that wrapper changes its mesh
  /// or goes while copies still share the tree, the tree takes the mesh's
  /// buffers over (they move, their addresses stay), so no copy ever reads
  /// freed or changed memory.
  CObbtBase(const CObbtBase& other);
  CObbtBase& operator=(const CObbtBase& other);
  virtual ~CObbtBase();

  /// Releases this wrapper's share of the model and leaves it without one
  /// (the model is destroyed when no copy shares it any more).
  void DeleteObbtObj();

  /// Builds the tree over the triangles of mesh (copied into this wrapper's
  /// own mesh first unless mesh is that mesh, neighbour list included). A
  /// second build replaces the first (the organizer is detached from the
  /// old tree and mesh; the surface and solid builds attach it again). -1 without a model or for a
  /// null mesh; -1 also when a triangle names a vertex outside the positions (the mesh is kept, the
  /// model left empty and unbuilt); else the status of the tree build (5 for a mesh without
  /// triangles).
  long BuildMeshObbt(KroSimpleMesh* mesh);
  /// Converts every surface of the solid into this wrapper's mesh and builds
  /// the tree over it. -1 for a null solid or without a model.
  long BuildMeshObbt(C3DEntity* ent);
  /// Converts the surface into this wrapper's mesh and builds the tree over
  /// it. -1 for a null surface or without a model.
  long BuildMeshObbt(C3DSurface* surf);
  /// Point/net layout (1-based numbers) into this wrapper's mesh, then the
  /// tree. -1 for null buffers or without a model.
  long BuildMeshObbt(KroPntStrcT* pnts, long pntNum, KroNetStrcT* nets, long netNum);
  /// Raw triangles, nine doubles each (p1, p2, p3); triangle i gets id i.
  /// The mesh is not filled. -1 without a model, for a null buffer or
  /// triNum < 1; the first triangle the model refuses ends the call with
  /// that status and nothing is built; else the status of the tree build.
  long BuildMeshObbt(const double* tris, long triNum);
  /// The same with the three corners in three arrays (three doubles per
  /// triangle each). -1 when any array is null.
  long BuildMeshObbt(const double* p1s, const double* p2s, const double* p3s, long triNum);
  /// dotNum / 3 triangles of three consecutive points (three doubles each);
  /// leftover points are ignored. 0 (nothing built) when that is below 1,
  /// else the nine-doubles BuildMeshObbt.
  long BuildDiscDotsObbt(const double* dots, long dotNum);

  /// Box of all triangle vertices of the model. A model without triangles
  /// leaves the box at minimum 1.79769313486232e+307 and maximum
  /// -1.79769313486232e+307. 1, or -1 without a model (box untouched).
  long CalMeshAABB();
  /// Validates this wrapper's mesh: vertex indices within the positions,
  /// neighbour indices (when the mesh has a neighbour list) within the
  /// triangles. 1 when all pass; 0 at the first index out of range, -1 when
  /// that is the third neighbour entry of a triangle.
  long CheckMesh();

  /// Number of triangles in the model, -1 without a model.
  long GetTriNumFromObbt();
  /// Writes the three vertices of the model's triangle at position i into
  /// out[0..2]. 1, or -1 (out untouched) without a model, with a null out
  /// or i outside 0 .. count - 1.
  long GetTriDotFromObbt(KRO::G3D_DVertex* out, long i);
  /// Root box of the built model: centre, the three half-extents and the
  /// three rows of its rotation. 1, or -1 (nothing written) without a built
  /// model or with a null argument.
  long GetObbOfModel(KRO::G3D_DVertex* centre, double* halfExt, KRO::G3D_DVertex* rows);
  /// Eight corners of the root box. With c the centre and A, B, C the
  /// half-extents times the rows 0, 1, 2 of the rotation: c-A-B+C, c+A-B+C,
  /// c+A+B+C, c-A+B+C, c-A-B-C, c+A-B-C, c+A+B-C, c-A+B-C. 1; -1 without a
  /// built model; a null out shows the message box "memory allocation
  /// failed" (AfxMessageBox, GBK text) and returns -1.
  long Get8VertexOfOBB(KRO::G3D_DVertex* const out);
  /// Four points of the rectangle through the box centre: c-A+C, c+A+C,
  /// c+A-C, c-A-C. 1; -1 (quietly) without a built model or a null out.
  long Get4VertexOfOBB(KRO::G3D_DVertex* const out);

  /// Stores the type and passes it on to the organizer.
  void SetMeshType(Kro_Mesh_Type type);
  Kro_Mesh_Type GetMeshType() const { return m_meshType; }
  /// The organizer (owned by the wrapper and its copies); null in a plain
  /// CObbtBase.
  CMeshOrganizeBase* GetMeshOrganizeObj() const { return m_pMeshOrganize.get(); }
  /// 0: a plain wrapper has no per-surface sub-trees.
  long GetSubMeshNum() const { return 0; }
  /// Store / read the data precision; both return 1.
  long SetDataPrec(double prec);
  long GetDataPrec(double& prec) const;

  /// The OBB model (owned by the wrapper and its copies), null after
  /// DeleteObbtObj or a failed allocation.
  RAPID_model* GetObbtModel() const { return m_pObbtModel.get(); }
  /// Offers a built tree for the next BuildMeshObbt of this wrapper: when
  /// its triangles are exactly the mesh's (same corners, ids 0, 1, ...),
  /// the wrapper shares it instead of building an equal tree of its own.
  /// Used once; null withdraws the offer.
  void OfferObbtModel(std::shared_ptr<RAPID_model> tree) { m_offeredTree = std::move(tree); }
  /// The model, shared.
  const std::shared_ptr<RAPID_model>& SharedObbtModel() const { return m_pObbtModel; }
  /// The mesh the tree was built from (owned by the wrapper).
  KroSimpleMesh* GetSrcMesh() { return &m_srcMesh; }
  const KroSimpleMesh* GetSrcMesh() const { return &m_srcMesh; }
  /// The box of the last CalMeshAABB.
  const tctagD3ConvexBox& GetMeshAABB() const { return m_meshBox; }
  /// Reference point kept for the host (copied with the wrapper).
  void SetRefDot(const KRO::G3D_DVertex& p) { m_refDot = p; }
  const KRO::G3D_DVertex& GetRefDot() const { return m_refDot; }

 protected:
  /// Gives the wrapper an organizer of its kind (taking ownership).
  void SetMeshOrganizeObj(CMeshOrganizeBase* organizer);
  /// Makes the model empty and ready to be filled: a filled model is reset
  /// in place, a shared one replaced by an own model (and the organizer by
  /// an own copy); the organizer is detached. False without a model.
  bool PrepareModelForBuild();

 private:
  void CreateObbtObj();
  long Add1TriToObbt(const double* p1, const double* p2, const double* p3, long id);
  long BuildObbt();
  long BuildRawTriangles(const double* p1s, const double* p2s, const double* p3s, long stride,
                         long triNum);
  /// Before this wrapper's mesh changes or goes: a tree that reads it in
  /// place and is shared with copies takes its buffers over.
  void HandOverMeshBuffers() noexcept;
  /// Empties this wrapper's mesh (handing its buffers over first).
  void ClearSrcMesh();

  Kro_Mesh_Type m_meshType;
  std::shared_ptr<RAPID_model> m_pObbtModel;
  tctagD3ConvexBox m_meshBox;
  KRO::G3D_DVertex m_refDot;
  double m_dataPrec;
  std::shared_ptr<CMeshOrganizeBase> m_pMeshOrganize;
  KroSimpleMesh m_srcMesh;
  std::shared_ptr<RAPID_model> m_offeredTree;
  // Made by the first build after each handover (so that handing over
  // allocates nothing); receives m_srcMesh's buffers when a shared tree must
  // keep them.
  struct MeshBuffers;
  std::shared_ptr<MeshBuffers> m_bufferHolder;
};

/// Wrapper of an open surface; its organizer is a CMeshOrganizeSurf.
class CObbtSurface : public CObbtBase {
 public:
  CObbtSurface();
  CObbtSurface(const CObbtSurface& other) = default;
  CObbtSurface& operator=(const CObbtSurface& other) = default;
  ~CObbtSurface() override;

  using CObbtBase::BuildMeshObbt;
  /// Builds as CObbtBase does, then points the organizer at the model and
  /// the mesh buffers, and gives both side meshes the mesh's material name.
  /// Result as for CObbtBase::BuildMeshObbt(C3DSurface*).
  long BuildMeshObbt(C3DSurface* surf);

  /// The mesh after re-triangulation along the cut lines, and the two sides
  /// of the last classification (owned by the wrapper).
  KroSimpleMesh* GetCutMesh() { return &m_cutMesh; }
  KroSimpleMesh* GetSide1Mesh() { return &m_side1Mesh; }
  KroSimpleMesh* GetSide2Mesh() { return &m_side2Mesh; }

 private:
  KroSimpleMesh m_cutMesh;
  KroSimpleMesh m_side1Mesh;
  KroSimpleMesh m_side2Mesh;
};

/// Wrapper of a closed solid; its organizer is a CMeshOrganizeEntity, and
/// it keeps one surface wrapper per surface of the solid.
class CObbtEntity : public CObbtBase {
 public:
  CObbtEntity();
  /// Copies every surface wrapper (each copy sharing its model and
  /// organizer with the original one).
  CObbtEntity(const CObbtEntity& other);
  CObbtEntity& operator=(const CObbtEntity& other);
  ~CObbtEntity() override;

  using CObbtBase::BuildMeshObbt;
  /// One tree over the whole solid; then, when CheckMesh passes, the
  /// organizer is pointed at the model and one surface wrapper is built per
  /// host surface (each takes the solid's precision and reference point).
  /// A solid failing CheckMesh keeps no surface wrappers. Returns the status
  /// of the whole-solid build (-1 for a null solid or without a model).
  long BuildMeshObbt(C3DEntity* ent);

  /// Number of surface wrappers.
  long GetSubMeshNum() const { return static_cast<long>(m_subObbts.size()); }
  /// Surface wrapper i (owned by this wrapper), null when i is out of range.
  CObbtSurface* GetSubMeshObbt(long i) const;

 private:
  std::vector<std::unique_ptr<CObbtSurface>> m_subObbts;
};
