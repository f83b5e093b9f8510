// Cut a flat ground surface by a vertical wall and keep both sides.
#include <cstdio>

#include "kromesh/KroMeshTriCut.h"

// A host surface from arrays of points and triangles.
static C3DSurface MakeSurface(const KRO::G3D_DVertex* pts, long np, const C3DTriangle* tris,
                              long nt) {
  C3DSurface s(-1, 0);
  CPointCollection points;
  points.AppendPoints(pts, np);
  CVertexDecorationObj decoration;
  s.AddTriangle(tris, nullptr, nt);
  s.AppendPointCollection(&points, &decoration);
  return s;
}

int main() {
  const C3DTriangle quad[2] = {{0, 1, 2}, {0, 2, 3}};
  // Ground: the square 0..10 at z = 0, facing up.
  const KRO::G3D_DVertex g[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
  C3DSurface ground = MakeSurface(g, 4, quad, 2);
  // Wall: the plane x = 4 facing +x, larger than the ground.
  const KRO::G3D_DVertex w[4] = {{4, -1, -5}, {4, 11, -5}, {4, 11, 5}, {4, -1, 5}};
  C3DSurface wall = MakeSurface(w, 4, quad, 2);

  // Side 1 lies behind the wall (x < 4), side 2 in front of it.
  CKroMeshTriCut cut;
  C3DSurface west(-1, 0), east(-1, 0);
  cut.CutMdlBetweenMdl(&ground, &wall, &west, &east, nullptr, nullptr, true, true);

  bool ok = west.GetTriangleCount() > 0 && east.GetTriangleCount() > 0;
  for (const KRO::G3D_DVertex& p : west.Points()) ok = ok && p.x <= 4 + 1e-9;
  for (const KRO::G3D_DVertex& p : east.Points()) ok = ok && p.x >= 4 - 1e-9;
  std::printf("west: %ld triangles, east: %ld triangles\n", west.GetTriangleCount(),
              east.GetTriangleCount());
  return ok ? 0 : 1;
}
