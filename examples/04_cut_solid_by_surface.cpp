// Cut a cube by a plane through its middle; with cut faces each half is a
// closed solid of its own.
#include <cmath>
#include <cstdio>

#include "kromesh/KroMeshTriCut.h"

// The unit cube as a solid of one surface: 8 corners, 12 outward triangles.
static C3DEntity MakeCube() {
  const KRO::G3D_DVertex p[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                 {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  const C3DTriangle t[12] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                             {3, 7, 6}, {3, 6, 2}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
  C3DSurface s(-1, 0);
  CPointCollection points;
  points.AppendPoints(p, 8);
  CVertexDecorationObj decoration;
  s.AddTriangle(t, nullptr, 12);
  s.AppendPointCollection(&points, &decoration);
  s.SetMaterialName("Granite");
  C3DEntity cube(-1, 0);
  cube.AddSurface(&s, nullptr);
  return cube;
}

// Volume enclosed by a solid's surfaces (divergence theorem).
static double Volume(const C3DEntity& e) {
  double v = 0;
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    const C3DSurface* s = e.SurfaceAt(i);
    for (long k = 0; k < s->GetTriangleCount(); ++k) {
      C3DTriangle t;
      CTriangleTopInfo top;
      s->GetTriangle(k, t, top);
      const KRO::G3D_DVertex &a = s->Points()[t.v[0]], &b = s->Points()[t.v[1]],
                             &c = s->Points()[t.v[2]];
      v += (a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) +
            a.z * (b.x * c.y - b.y * c.x)) /
           6;
    }
  }
  return v;
}

int main() {
  C3DEntity cube = MakeCube();
  // The plane z = 0.5, facing up, larger than the cube.
  const KRO::G3D_DVertex q[4] = {{-1, -1, 0.5}, {2, -1, 0.5}, {2, 2, 0.5}, {-1, 2, 0.5}};
  const C3DTriangle quad[2] = {{0, 1, 2}, {0, 2, 3}};
  C3DSurface plane(-1, 0);
  CPointCollection points;
  points.AppendPoints(q, 4);
  CVertexDecorationObj decoration;
  plane.AddTriangle(quad, nullptr, 2);
  plane.AppendPointCollection(&points, &decoration);

  // Side 1 lies behind the plane (below it). With addCutFace each half
  // also gets the part of the plane inside the cube, in the cube's
  // material.
  CKroMeshTriCut cut;
  C3DEntity below(-1, 0), above(-1, 0);
  cut.CutMdlBetweenMdl(&cube, &plane, nullptr, nullptr, &below, &above, true);

  // The cut face faces up: out of the lower half, into the upper one.
  const double v = Volume(below);
  std::printf("below: %ld surfaces, volume %g; above: %ld surfaces\n", below.GetSurfaceNum(), v,
              above.GetSurfaceNum());
  return std::fabs(v - 0.5) < 1e-9 && above.GetSurfaceNum() == 2 ? 0 : 1;
}
