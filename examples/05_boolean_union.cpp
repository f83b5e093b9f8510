// The union of two overlapping cubes, and its volume.
#include <cmath>
#include <cstdio>

#include "kromesh/KroMeshTriCut.h"

// The unit cube moved by (x, y, z), as a solid of one surface.
static C3DEntity MakeCube(double x, double y, double z) {
  KRO::G3D_DVertex p[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                           {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  for (KRO::G3D_DVertex& c : p) c = {c.x + x, c.y + y, c.z + z};
  const C3DTriangle t[12] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                             {3, 7, 6}, {3, 6, 2}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
  C3DSurface s(-1, 0);
  CPointCollection points;
  points.AppendPoints(p, 8);
  CVertexDecorationObj decoration;
  s.AddTriangle(t, nullptr, 12);
  s.AppendPointCollection(&points, &decoration);
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
  C3DEntity a = MakeCube(0, 0, 0);
  C3DEntity b = MakeCube(0.5, 0.3, 0.2);  // overlaps a in a 0.5 x 0.7 x 0.8 box

  // The union's boundary: b's part outside a, then a's part outside b.
  CKroMeshTriCut cut;
  C3DEntity both(-1, 0);
  cut.CalMdlBetweenMdl(&a, &b, &both, Kro_Oper_Union);

  const double v = Volume(both);
  std::printf("union: %ld surfaces, volume %.6f (expected %.6f)\n", both.GetSurfaceNum(), v,
              2 - 0.5 * 0.7 * 0.8);
  return std::fabs(v - (2 - 0.5 * 0.7 * 0.8)) < 1e-9 ? 0 : 1;
}
