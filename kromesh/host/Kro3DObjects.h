// The host's 3D data object library: in-memory surfaces and solids.
//
// A surface (C3DSurface) owns its points in double precision, per-vertex
// decorations (colours, normals, texture coordinates for stages 0 to 7),
// triangles with neighbour records, a material name and an operation type.
// A solid (C3DEntity) owns copies of its surfaces with their surface
// decorations.
//
// Conventions of this layer:
// - Calls that return long answer 1 (or a count where stated) on success
//   and 0 on failure: a null pointer, an index out of range, a stage outside
//   0..7, a negative count. Nothing here throws.
// - Arrays handed out by pointer (GetTriangle, GetColors, GetNormals,
//   GetTexcoords, GetPointList) point into the object's own storage; they
//   stay valid until that object changes or is destroyed. An empty array is
//   handed out as a null pointer with a count of 0.
// - Get... of a whole collection copies: GetPointCollection and
//   C3DEntity::GetSurface fill the caller's objects with copies, so editing
//   them changes nothing until UpdatePointCollection or AddSurface.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

/// A triangle of a host surface: three 0-based point indices. Same layout
/// as C3DTriData, so arrays of the two are exchanged by reinterpretation.
struct C3DTriangle {
  long v[3];
  C3DTriangle() : v{0, 0, 0} {}
  C3DTriangle(long a, long b, long c) : v{a, b, c} {}
};

/// Neighbours of a host triangle across its edges (v0-v1, v1-v2, v2-v0);
/// -1 for none. Same layout as C3DTriaTop.
struct CTriangleTopInfo {
  long n[3];
  CTriangleTopInfo() : n{-1, -1, -1} {}
  CTriangleTopInfo(long a, long b, long c) : n{a, b, c} {}
};

static_assert(sizeof(C3DTriangle) == sizeof(C3DTriData), "exchanged by reinterpretation");
static_assert(sizeof(CTriangleTopInfo) == sizeof(C3DTriaTop), "exchanged by reinterpretation");
static_assert(std::is_trivially_copyable<C3DTriangle>::value, "copied as raw memory");
static_assert(std::is_trivially_copyable<CTriangleTopInfo>::value, "copied as raw memory");

/// Axis-aligned box: six doubles in the order xmin, xmax, ymin, ymax, zmin,
/// zmax. A new box is all zero.
struct C3DBox {
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
};

/// A 3D polyline (for display hooks and line outputs).
class C3DLine {
 public:
  C3DLine() = default;
  std::vector<KRO::G3D_DVertex> m_points;
};

/// Ordered vertex positions of a surface.
class CPointCollection {
 public:
  CPointCollection() = default;

  /// Number of points.
  long GetPointNum() const;
  /// Copies point i into *p (or p). 1, or 0 for a null p or i out of range.
  long GetPoint(long i, KRO::G3D_DVertex* p) const;
  long GetPoint(long i, KRO::G3D_DVertex& p) const;
  /// Appends n points. 1, or 0 for a null array with n > 0 or n < 0.
  long AppendPoints(const KRO::G3D_DVertex* pts, long n);
  /// Single-precision view of the points for quick box work: *list gets an
  /// array of GetPointNum() positions and *ref a reference vector such that
  /// the point i is list[i] - ref (the list holds offsets from the centre
  /// of the points' box, which is -ref, so that large coordinates keep
  /// their precision; ref is zero for an empty collection, whose list is
  /// null). 1, or 0 for null outputs.
  /// The list stays valid until the collection changes.
  long GetPointList(KRO::VECTOR3** list, KRO::G3D_DVertex* ref);
  /// Overwrites point i. 1, or 0 when i is out of range or p is null.
  long SetPoint(long i, const KRO::G3D_DVertex* p);
  /// Direct read access to the positions.
  const std::vector<KRO::G3D_DVertex>& Points() const { return m_points; }
  /// Empties the collection.
  void Reset();

 private:
  std::vector<KRO::G3D_DVertex> m_points;
  std::vector<KRO::VECTOR3> m_floatCache;  // GetPointList's view
};

/// Per-vertex decorations in vertex order: colours, normals and texture
/// coordinates of stages 0 to 7. Each kind is either empty or (normally) one
/// per vertex; the layer does not force the counts to agree.
class CVertexDecorationObj {
 public:
  static constexpr int kStages = 8;
  CVertexDecorationObj() = default;

  /// Hand out the arrays and counts (null and 0 when empty). 1, or 0 for
  /// null outputs or a stage outside 0..7.
  long GetColors(KRO::COLOR4** colours, long* n);
  long GetNormals(KRO::VECTOR3** normals, long* n);
  long GetTexcoords(int stage, KRO::G_TEXCOORD** coords, long* n);

  /// Append n records. 1, or 0 for a null array with n > 0, n < 0 or a bad
  /// stage.
  long AppendColors(const KRO::COLOR4* colours, long n);
  long AppendNormals(const KRO::VECTOR3* normals, long n);
  long AppendTexcoords(int stage, const KRO::G_TEXCOORD* coords, long n);
  /// Float overloads take the number of floats (4 per colour, 3 per
  /// normal, 2 per coordinate); a trailing partial record is ignored.
  long AppendColors(const float* values, long nFloats);
  long AppendNormals(const float* values, long nFloats);
  long AppendTexcoords(int stage, const float* values, long nFloats);

  /// Overwrites the first n colours (growing the array when n is larger).
  /// 1, or 0 for a null array or n < 0.
  long UpdateColors(const KRO::COLOR4* colours, long n);

  long GetNumColors() const;
  long GetNumNormals() const;
  /// Number of coordinates on a stage; 0 for a stage outside 0..7.
  long GetNumTexcoods(int stage) const;
  /// Colour of vertex i; a zero colour when i is out of range.
  KRO::COLOR4 GetVexColor(long i) const;

  /// Drops every decoration.
  void Reset();

  std::vector<KRO::COLOR4> m_colours;
  std::vector<KRO::VECTOR3> m_normals;
  std::vector<KRO::G_TEXCOORD> m_texcoords[kStages];
};

/// Decoration of a whole surface inside a solid: a material and a colour.
class CSurfaceDecorationObj {
 public:
  CSurfaceDecorationObj() = default;
  std::string m_materialName;
  KRO::COLOR4 m_colour{1.f, 1.f, 1.f, 1.f};
  bool m_hasColour = false;
};

/// Root of every model object; a cut manager receives a surface or a solid
/// through this type and tells them apart with GetGeometryType (or
/// dynamic_cast).
class CBaseGeometry {
 public:
  enum { kSurface = 1, kEntity = 2 };
  virtual ~CBaseGeometry() = default;
  virtual int GetGeometryType() const = 0;
  /// The virtual clean-up member: empties the object's contents.
  virtual void Reset() = 0;
};

/// Triangles, neighbour records, material name and operation type of a
/// surface.
class C3DBaseSurface : public CBaseGeometry {
 public:
  C3DBaseSurface() = default;

  int GetGeometryType() const override { return kSurface; }
  long GetTriangleCount() const;
  /// Hands out the triangle array, the neighbour array and the count
  /// (neighbours are -1 where none was ever given). 1, or 0 when all
  /// three outputs are null; a null output is skipped.
  long GetTriangle(C3DTriangle** tris, CTriangleTopInfo** tops, long* n);
  /// Copies triangle i (and its neighbours). 1, or 0 for i out of range;
  /// a null output is skipped.
  long GetTriangle(long i, C3DTriangle* tri, CTriangleTopInfo* top) const;
  long GetTriangle(long i, C3DTriangle& tri, CTriangleTopInfo& top) const;
  /// Whether any neighbours were ever given (else every one is -1 and none
  /// is stored until GetTriangle hands the array out).
  bool HasNeighbours() const { return !m_tops.empty(); }
  /// Appends n triangles; with null tops every new neighbour is -1.
  /// 1, or 0 for a null tris with n > 0 or n < 0.
  long AddTriangle(const C3DTriangle* tris, const CTriangleTopInfo* tops, long n);

  std::string GetMaterialName() const { return m_materialName; }
  void SetMaterialName(const std::string& name) { m_materialName = name; }
  /// The operation type tags how a surface was made; the library writes 4
  /// ("produced by a cut") on every surface it writes.
  unsigned char GetOperationType() const { return m_operationType; }
  void SetOperationType(const unsigned char& type) { m_operationType = type; }

  /// Empties triangles, neighbours and the material name; the operation
  /// type goes back to 0.
  void Reset() override;

 protected:
  std::vector<C3DTriangle> m_triangles;
  std::vector<CTriangleTopInfo> m_tops;
  std::string m_materialName;
  unsigned char m_operationType = 0;
};

/// A triangulated surface: triangles plus points and per-vertex decorations.
class C3DSurface : public C3DBaseSurface {
 public:
  /// The id is kept for the host's bookkeeping (-1: none); the flags are
  /// reserved. Every surface starts empty.
  C3DSurface(long id = -1, int flags = 0);
  C3DSurface(const C3DSurface& other) = default;
  C3DSurface& operator=(const C3DSurface& other) = default;
  C3DSurface(C3DSurface&& other) = default;
  C3DSurface& operator=(C3DSurface&& other) = default;

  long GetId() const { return m_id; }

  /// Copies the points into *points and the per-vertex decorations into
  /// *deco (either may be null). 1 on success (also for an empty
  /// surface), 0 when both are null.
  long GetPointCollection(CPointCollection* points, CVertexDecorationObj* deco) const;
  long GetPointCollection(CPointCollection& points, CVertexDecorationObj& deco) const;
  /// Appends the points and, when deco is given, its decorations. Returns
  /// the new point count (above 0) on success; 0 for a null points or when
  /// the surface still has no points afterwards.
  long AppendPointCollection(const CPointCollection* points, const CVertexDecorationObj* deco);
  /// Replaces the points (and, when deco is given, the decorations) with
  /// the given ones. 1, or 0 for a null points.
  long UpdatePointCollection(const CPointCollection* points, const CVertexDecorationObj* deco);
  long UpdatePointCollection(const CPointCollection& points, const CVertexDecorationObj& deco);
  /// Commits pending changes: stores deco (when given) as the surface's
  /// own decoration and counts a revision; flag 1 also marks the surface
  /// as modified. Always 1 (this in-memory layer holds nothing pending).
  long Save(const CSurfaceDecorationObj* deco, char flag);

  long GetPointNum() const { return static_cast<long>(m_points.size()); }
  const std::vector<KRO::G3D_DVertex>& Points() const { return m_points; }
  const CVertexDecorationObj& Decoration() const { return m_deco; }
  const CSurfaceDecorationObj& SurfaceDecoration() const { return m_surfDeco; }
  long GetRevision() const { return m_revision; }
  bool IsModified() const { return m_modified; }

  /// Empties the surface: points, decorations, triangles, material name.
  void Reset() override;

 private:
  long m_id = -1;
  std::vector<KRO::G3D_DVertex> m_points;
  CVertexDecorationObj m_deco;
  CSurfaceDecorationObj m_surfDeco;
  long m_revision = 0;
  bool m_modified = false;
};

/// Common base of solids.
class C3DBaseEntity : public CBaseGeometry {
 public:
  int GetGeometryType() const override { return kEntity; }
  /// Empties the solid.
  void Reset() override = 0;
};

/// A closed solid: an ordered set of surfaces, each with its surface
/// decoration. The solid owns copies; AddSurface never keeps the caller's
/// object.
class C3DEntity : public C3DBaseEntity {
 public:
  C3DEntity(long id = -1, int flags = 0);
  C3DEntity(const C3DEntity& other);
  C3DEntity& operator=(const C3DEntity& other);
  ~C3DEntity() override;

  long GetId() const { return m_id; }
  long GetSurfaceNum() const;
  /// Copies surface i into *surf and its decoration into *deco (may be
  /// null). 1, or 0 for a null surf or i out of range.
  long GetSurface(const long& i, C3DSurface* surf, CSurfaceDecorationObj* deco) const;
  /// Appends a copy of surf with deco (default decoration when null).
  /// Returns the new surface count, or 0 for a null surf.
  long AddSurface(const C3DSurface* surf, const CSurfaceDecorationObj* deco);
  /// Appends surf with deco (default decoration when null) by moving its
  /// contents in; surf is left empty (Reset). Returns the new surface
  /// count, or 0 for a null surf.
  long AdoptSurface(C3DSurface* surf, const CSurfaceDecorationObj* deco);
  /// Moves surface i into *surf (its decoration into *deco, may be null);
  /// surface i stays in place, empty. 1, or 0 for a null surf or i out of
  /// range.
  long TakeSurface(long i, C3DSurface* surf, CSurfaceDecorationObj* deco);
  /// Read access to surface i without copying; null when out of range.
  const C3DSurface* SurfaceAt(long i) const;
  /// Read access to the decoration of surface i; null when out of range.
  const CSurfaceDecorationObj* DecorationAt(long i) const;

  void Reset() override;

 private:
  struct Member {
    C3DSurface surface;
    CSurfaceDecorationObj deco;
  };
  long m_id = -1;
  std::vector<std::unique_ptr<Member>> m_surfaces;
};
