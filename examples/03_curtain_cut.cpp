// Cut a ground surface along a line drawn in plan: the facade raises a
// vertical curtain over the line and cuts the ground by it.
#include <cstdio>

#include "kromesh/KroMeshTriCut.h"

// Height of the plan line (-1, 3) - (5, 6) - (11, 4) at x.
static double LineY(double x) {
  return x < 5 ? 3 + 0.5 * (x + 1) : 6 - (x - 5) / 3;
}

int main() {
  // Ground: the square 0..10 at z = 0, facing up.
  const KRO::G3D_DVertex g[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
  const C3DTriangle quad[2] = {{0, 1, 2}, {0, 2, 3}};
  C3DSurface ground(-1, 0);
  CPointCollection points;
  points.AppendPoints(g, 4);
  CVertexDecorationObj decoration;
  ground.AddTriangle(quad, nullptr, 2);
  ground.AppendPointCollection(&points, &decoration);

  // The line crosses the ground from its left side to its right side; it
  // must outlive the cut.
  D_DOT line[3] = {{-1, 3}, {5, 6}, {11, 4}};
  CKroMeshTriCut cut;
  cut.SetPosCheckPolyline(line, 3);
  C3DSurface north(-1, 0), south(-1, 0);
  // No second surface: the curtain over the line is the cutter.
  long rc = cut.CutMdlBetweenMdl(&ground, nullptr, &north, &south, nullptr, nullptr, true, true);

  bool ok = rc == 1 && north.GetTriangleCount() > 0 && south.GetTriangleCount() > 0;
  for (const KRO::G3D_DVertex& p : north.Points()) ok = ok && p.y >= LineY(p.x) - 1e-9;
  for (const KRO::G3D_DVertex& p : south.Points()) ok = ok && p.y <= LineY(p.x) + 1e-9;
  std::printf("north: %ld triangles, south: %ld triangles\n", north.GetTriangleCount(),
              south.GetTriangleCount());
  return ok ? 0 : 1;
}
