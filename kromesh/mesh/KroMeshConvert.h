// Conversions between host objects, raw triangle buffers and KroSimpleMesh.
// No conversion merges vertices, reorders triangles or recomputes
// attributes. The surface conversion reuses scratch objects kept per
// thread, so conversions on different threads do not meet.
#pragma once

#include "kromesh/mesh/KroRecords.h"
#include "kromesh/mesh/KroSimpleMesh.h"

class C3DSurface;
class C3DEntity;

/// Host surface into mesh (points, colour set 0, normals, texture stages,
/// triangles and neighbours, material name). Nothing happens for null
/// arguments or a surface without triangles; a surface with triangles but
/// no points sets only the material name. Normals are taken one per point:
/// when the host holds fewer, the rest are zero. Arrays the host leaves
/// empty keep the mesh's previous content (callers hand in an empty mesh).
void C3DSurfaceToASimpleMesh(C3DSurface* surf, KroSimpleMesh* mesh);
/// All surfaces of a solid into one mesh named "0", whatever their size
/// (the compound's packing limit would drop surfaces past 150000 indices),
/// with the last surface's material. A solid without surfaces leaves mesh
/// untouched.
void C3DEntityToASimpleMesh(C3DEntity* ent, KroSimpleMesh* mesh);
/// Appends mesh to surf (operation type 4, the mesh's material; both colour
/// sets, in order, go into the one colour array). The new triangles are
/// renumbered past the points (and neighbours past the triangles) surf
/// already holds, so repeated appends keep every piece intact. m_triangleTops goes along
/// only when it has an entry per triangle, else every neighbour is -1.
/// True when surf then holds points; false for null arguments or a mesh
/// without triangles (surf untouched).
bool ASimpleMeshToC3DSurface(KroSimpleMesh* mesh, C3DSurface* surf);
/// Vertex-buffer layout into mesh (material name emptied).
void KroMeshBufToASimpleMesh(KRO::G3D_DVertex* verts, long nVerts, C3DTriData* tris, long nTris,
                             KroSimpleMesh* mesh);
/// Point/net layout into mesh: 1-based numbers become 0-based, neighbour
/// 0 becomes -1.
void KroSurfBufToASimpleMesh(KroPntStrcT* pts, long nPts, KroNetStrcT* nets, long nNets,
                             KroSimpleMesh* mesh);
