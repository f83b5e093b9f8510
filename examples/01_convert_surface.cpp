// Build a host surface from plain arrays, convert it to the library's
// KroSimpleMesh and write it back into a new host surface.
#include <cstdio>

#include "kromesh/KroMeshTriCut.h"

int main() {
  // A unit square in the z = 0 plane, two triangles facing +z.
  const KRO::G3D_DVertex points[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const KRO::COLOR4 colours[4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
  const C3DTriangle triangles[2] = {{0, 1, 2}, {0, 2, 3}};

  C3DSurface surface(-1, 0);
  CPointCollection pointCollection;
  pointCollection.AppendPoints(points, 4);
  CVertexDecorationObj decoration;
  decoration.AppendColors(colours, 4);
  surface.AddTriangle(triangles, nullptr, 2);
  surface.AppendPointCollection(&pointCollection, &decoration);
  surface.SetMaterialName("Granite");

  // Host surface -> mesh: positions, colours, triangles and material.
  KroSimpleMesh mesh;
  C3DSurfaceToASimpleMesh(&surface, &mesh);
  mesh.calculateDefaultNormals();
  std::printf("mesh: %zu points, %zu triangles, material %s, normal of point 0 (%g, %g, %g)\n",
              mesh.m_positions.size(), mesh.m_triangles.size(), mesh.m_materialName.c_str(),
              mesh.m_normals[0].x, mesh.m_normals[0].y, mesh.m_normals[0].z);

  // Mesh -> a fresh host surface (appended to, marked as produced by a cut).
  C3DSurface copy(-1, 0);
  if (!ASimpleMeshToC3DSurface(&mesh, &copy)) return 1;
  std::printf("surface: %ld points, %ld triangles, %ld colours, %ld normals\n", copy.GetPointNum(),
              copy.GetTriangleCount(), copy.Decoration().GetNumColors(),
              copy.Decoration().GetNumNormals());
  return copy.GetTriangleCount() == 2 && copy.Decoration().GetNumNormals() == 4 ? 0 : 1;
}
