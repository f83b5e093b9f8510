// Conversions between host objects, raw triangle buffers and KroSimpleMesh.
#include "kromesh/mesh/KroMeshConvert.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"

namespace {

// Scratch host objects of the surface conversion, kept per thread so that
// converting many surfaces does not reallocate them while two threads may
// convert at once.
CPointCollection& ScratchPoints() {
  thread_local CPointCollection points;
  return points;
}

CVertexDecorationObj& ScratchDecoration() {
  thread_local CVertexDecorationObj deco;
  return deco;
}

// Empties the scratch objects. A large model's points are given back, not
// kept as capacity for the rest of the thread's life; small ones keep
// theirs for the next surface.
void ReleaseScratch(CPointCollection& points, CVertexDecorationObj& deco) {
  constexpr long kKeptPoints = 1 << 12;
  if (points.GetPointNum() > kKeptPoints) {
    points = CPointCollection();
    deco = CVertexDecorationObj();
  } else {
    points.Reset();
  }
}

template <typename T>
void CopyIn(std::vector<T>& dst, const T* src, long n) {
  dst.assign(src, src + n);
}

}  // namespace

void C3DSurfaceToASimpleMesh(C3DSurface* surf, KroSimpleMesh* mesh) {
  CPointCollection& points = ScratchPoints();
  CVertexDecorationObj& deco = ScratchDecoration();
  points.Reset();
  deco.Reset();
  if (surf == nullptr || mesh == nullptr || surf->GetTriangleCount() <= 0) return;

  mesh->m_materialName = surf->GetMaterialName();
  if (surf->GetPointCollection(&points, &deco) < 1 || points.GetPointNum() < 1) {
    points.Reset();
    return;
  }
  const long n = points.GetPointNum();
  mesh->m_positions.resize(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) points.GetPoint(i, &mesh->m_positions[static_cast<size_t>(i)]);

  KRO::COLOR4* colours = nullptr;
  long nColours = 0;
  if (deco.GetColors(&colours, &nColours) && nColours > 0 && colours != nullptr)
    CopyIn(mesh->m_colours[0], colours, nColours);

  // One normal per point; when the host holds fewer, the missing ones are
  // zero rather than read past its array.
  KRO::VECTOR3* normals = nullptr;
  long nNormals = 0;
  if (deco.GetNormals(&normals, &nNormals) && nNormals >= 1 && normals != nullptr) {
    const long copied = nNormals < n ? nNormals : n;
    mesh->m_normals.assign(static_cast<size_t>(n), KRO::VECTOR3{0.f, 0.f, 0.f});
    std::memcpy(mesh->m_normals.data(), normals,
                static_cast<size_t>(copied) * sizeof(KRO::VECTOR3));
  }

  for (int k = 0; k < CVertexDecorationObj::kStages; ++k) {
    KRO::G_TEXCOORD* coords = nullptr;
    long nCoords = 0;
    if (deco.GetTexcoords(k, &coords, &nCoords) && nCoords > 0 && coords != nullptr)
      CopyIn(mesh->m_texCoords[k], coords, nCoords);
  }

  C3DTriangle* tris = nullptr;
  CTriangleTopInfo* tops = nullptr;
  long nTris = 0;
  // A surface that never had neighbours gives none (not a list of -1s).
  if (surf->GetTriangle(&tris, surf->HasNeighbours() ? &tops : nullptr, &nTris) >= 1 &&
      nTris >= 1 && tris != nullptr) {
    static_assert(sizeof(C3DTriangle) == sizeof(C3DTriData), "same layout");
    mesh->m_triangles.resize(static_cast<size_t>(nTris));
    std::memcpy(mesh->m_triangles.data(), tris, static_cast<size_t>(nTris) * sizeof(C3DTriData));
    if (tops != nullptr) {
      mesh->m_triangleTops.resize(static_cast<size_t>(nTris));
      std::memcpy(mesh->m_triangleTops.data(), tops,
                  static_cast<size_t>(nTris) * sizeof(C3DTriaTop));
    }
  }
  ReleaseScratch(points, deco);
}

void C3DEntityToASimpleMesh(C3DEntity* ent, KroSimpleMesh* mesh) {
  if (ent == nullptr || mesh == nullptr) return;
  KroCompdMesh compound;
  const long nSurfaces = ent->GetSurfaceNum();
  for (long i = 0; i < nSurfaces; ++i) {
    C3DSurface surface(-1, 0);
    char name[32];
    std::snprintf(name, sizeof(name), "%d", static_cast<int>(i));
    KroSimpleMesh* member = compound.createSimpleMesh(name);
    ent->GetSurface(i, &surface, nullptr);
    C3DSurfaceToASimpleMesh(&surface, member);
    surface.Reset();
  }
  // A solid without surfaces has nothing to hand over.
  if (compound.getSimpleMeshNum() == 0) return;
  // Every surface must reach the one mesh: under the usual packing limit a
  // solid above 50,000 triangles would lose its later surfaces.
  compound.m_maxIndexBufferSize = UINT32_MAX;
  compound.merge();
  *mesh = *compound.getSimpleMesh(0u);
  compound.setNull();
}

bool ASimpleMeshToC3DSurface(KroSimpleMesh* mesh, C3DSurface* surf) {
  if (mesh == nullptr || surf == nullptr || mesh->m_triangles.empty()) return false;
  const unsigned char producedByCut = 4;
  surf->SetOperationType(producedByCut);
  surf->SetMaterialName(mesh->m_materialName);

  CPointCollection points;
  points.AppendPoints(mesh->m_positions.data(), static_cast<long>(mesh->m_positions.size()));

  CVertexDecorationObj deco;
  for (const auto& colours : mesh->m_colours)
    if (!colours.empty())
      deco.AppendColors(reinterpret_cast<const float*>(colours.data()),
                        static_cast<long>(4 * colours.size()));
  if (!mesh->m_normals.empty())
    deco.AppendNormals(reinterpret_cast<const float*>(mesh->m_normals.data()),
                       static_cast<long>(3 * mesh->m_normals.size()));
  for (int k = 0; k < 8; ++k) {
    const auto& coords = mesh->m_texCoords[k];
    if (!coords.empty())
      deco.AppendTexcoords(k, reinterpret_cast<const float*>(coords.data()),
                           static_cast<long>(2 * coords.size()));
  }

  const long nTris = static_cast<long>(mesh->m_triangles.size());
  const auto* tris = reinterpret_cast<const C3DTriangle*>(mesh->m_triangles.data());
  // Neighbours go along only when they match the triangles one to one.
  const CTriangleTopInfo* tops = nullptr;
  if (!mesh->m_triangleTops.empty() && mesh->m_triangleTops.size() >= mesh->m_triangles.size())
    tops = reinterpret_cast<const CTriangleTopInfo*>(mesh->m_triangleTops.data());
  // Appending to a surface that already holds points: the new triangles
  // must name the new points (and neighbours the new triangles), not the
  // surface's earlier ones.
  const long pointBase = surf->GetPointNum();
  const long triBase = surf->GetTriangleCount();
  std::vector<C3DTriangle> shiftedTris;
  std::vector<CTriangleTopInfo> shiftedTops;
  if (pointBase > 0 || triBase > 0) {
    shiftedTris.assign(tris, tris + nTris);
    for (C3DTriangle& t : shiftedTris)
      for (long& v : t.v) v += pointBase;
    tris = shiftedTris.data();
    if (tops) {
      shiftedTops.assign(tops, tops + nTris);
      for (CTriangleTopInfo& t : shiftedTops)
        for (long& n : t.n)
          if (n >= 0) n += triBase;
      tops = shiftedTops.data();
    }
  }
  surf->AddTriangle(tris, tops, nTris);

  return surf->AppendPointCollection(&points, &deco) > 0;
}

void KroMeshBufToASimpleMesh(KRO::G3D_DVertex* verts, long nVerts, C3DTriData* tris, long nTris,
                             KroSimpleMesh* mesh) {
  if (verts == nullptr || tris == nullptr || mesh == nullptr) return;
  mesh->setNull();
  mesh->m_materialName.clear();
  if (nVerts > 0) CopyIn(mesh->m_positions, verts, nVerts);
  if (nTris > 0) CopyIn(mesh->m_triangles, tris, nTris);
}

void KroSurfBufToASimpleMesh(KroPntStrcT* pts, long nPts, KroNetStrcT* nets, long nNets,
                             KroSimpleMesh* mesh) {
  if (pts == nullptr || nets == nullptr || mesh == nullptr) return;
  mesh->setNull();
  mesh->m_materialName.clear();
  if (nPts > 0) {
    mesh->m_positions.resize(static_cast<size_t>(nPts));
    for (long i = 0; i < nPts; ++i) mesh->m_positions[i] = {pts[i].x, pts[i].y, pts[i].z};
  }
  if (nNets > 0) {
    mesh->m_triangles.resize(static_cast<size_t>(nNets));
    mesh->m_triangleTops.resize(static_cast<size_t>(nNets));
    for (long t = 0; t < nNets; ++t) {
      for (int e = 0; e < 3; ++e) {
        mesh->m_triangles[t].v[e] = nets[t].pnt[e] - 1;
        mesh->m_triangleTops[t].n[e] = nets[t].adj[e] - 1;
      }
    }
  }
}
