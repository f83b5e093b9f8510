// The library's own triangle meshes.
//
// KroSimpleMesh: one material, vertex positions with optional per-vertex
// attributes, and a triangle list. All fields are public and are read and
// written directly by the wrappers, the intersection engine and the
// organizers. KroCompdMesh: an owning list of named simple meshes that can
// pack its members together under an index-count limit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kromesh/mesh/KroRecords.h"

class KroSimpleMesh {
 public:
  /// Empty arrays, material "BaseWhite", empty mesh name.
  KroSimpleMesh();
  KroSimpleMesh(const KroSimpleMesh& other);
  ~KroSimpleMesh();

  /// setNull, then copies every non-empty array of other (positions,
  /// normals, colour sets, texture sets, triangles, index list) and both
  /// names. m_triangleTops is not copied. Self-assignment does nothing.
  KroSimpleMesh& operator=(const KroSimpleMesh& other);

  /// True when positions, normals, both colour sets, all texture sets and
  /// triangles are empty (m_triangleTops and m_indexList not consulted).
  bool isNull() const;
  /// Empties every array but m_triangleTops; material "BaseWhite", mesh
  /// name empty.
  void setNull();
  /// max(m_indexList size, 3 * triangle count).
  unsigned getIndexBufferSize() const;
  /// Subtracts origin from every position.
  void convertPostionsToLocalCoordinate(const KRO::G3D_DVertex& origin);
  /// Recomputes one normal per position from the triangles (area-free sum
  /// of unit face normals). A vertex that no triangle of non-zero area
  /// touches gets (0, 0, 1) instead of a division by zero.
  void calculateDefaultNormals();
  /// Appends other (positions, normals, colours, texture sets each only
  /// when other's is non-empty; triangles and index list offset by this
  /// mesh's former position count). Takes other's material name. m_meshName
  /// and m_triangleTops are untouched. A null other changes nothing; other
  /// == this appends a copy of the mesh to itself. Always true.
  bool merge(KroSimpleMesh* other);

  std::string m_materialName;
  std::string m_meshName;
  std::vector<KRO::G3D_DVertex> m_positions;
  std::vector<KRO::VECTOR3> m_normals;
  std::vector<KRO::COLOR4> m_colours[2];
  std::vector<KRO::G_TEXCOORD> m_texCoords[8];
  std::vector<C3DTriData> m_triangles;
  std::vector<C3DTriaTop> m_triangleTops;
  std::vector<long> m_indexList;
};

class KroCompdMesh {
 public:
  /// Empty list, limit 150000.
  KroCompdMesh();
  KroCompdMesh(const KroCompdMesh& other);
  ~KroCompdMesh();
  /// setNull, then a copy of every member of other, in order, with its
  /// names. Self-assignment does nothing.
  KroCompdMesh& operator=(const KroCompdMesh& other);

  /// Creates an empty member named name at the end of the list and returns
  /// it; the compound keeps ownership. Names need not be unique.
  KroSimpleMesh* createSimpleMesh(const std::string& name);
  /// First member named name, or null.
  KroSimpleMesh* getSimpleMesh(const std::string& name);
  /// Member at index, or null when index is out of range.
  KroSimpleMesh* getSimpleMesh(unsigned index);
  unsigned getSimpleMeshNum() const;
  /// Deletes the member at index (nothing when out of range).
  void removeSimpleMesh(unsigned index);
  /// Removes the member at index without deleting it; the caller owns the
  /// returned mesh (null when index is out of range).
  KroSimpleMesh* removeSimpleMeshNotDel(unsigned index);
  /// Deletes every member.
  void setNull();
  /// Sum over members of 3 * triangle count.
  unsigned calculateIndexNum() const;
  void calculateDefaultNormals();
  /// New heap mesh holding positions first..last-1 of member index; the
  /// caller deletes it. Null when index is out of range; the range is
  /// clipped to the member's positions.
  KroSimpleMesh* getPoint(long first, long last, unsigned index);
  /// Packs the members: each, in order, is merged into the first packed
  /// member whose getIndexBufferSize is below m_maxIndexBufferSize, else
  /// copied (with its names) into a new packed member with an empty name.
  /// When that lowers the member count the packed members replace ours and
  /// the result is true; otherwise false and nothing changes (also for an
  /// empty compound). A member may end above the limit by one source mesh.
  bool merge();
  /// Packs the members of other into this compound (other keeps its own).
  /// An empty compound becomes a copy of other: true. Otherwise each member
  /// of other is merged into our first member below the limit, else copied
  /// into a new member; true when other's last member was merged into an
  /// existing member, false when it needed a new one, when other has no
  /// members or is null. other == this packs a snapshot of the members.
  bool merge(KroCompdMesh* other);

  std::vector<std::unique_ptr<KroSimpleMesh>> m_meshes;
  uint32_t m_maxIndexBufferSize;
};

static_assert(sizeof(unsigned) == 4, "unsigned is the 32-bit index size");
