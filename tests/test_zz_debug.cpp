#include <gtest/gtest.h>
#include <cstdio>
#include "kromesh/cut/CKroMeshTriCut.h"
#include "support/CutChecks.h"
using shapes::Vec;
void Dump(const char* name, const C3DEntity& e) {
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    shapes::TriSoup s = shapes::SoupOf(*e.SurfaceAt(i));
    printf("%s surf %ld mat %s tris %zu\n", name, i, e.SurfaceAt(i)->GetMaterialName().c_str(), s.tris.size());
    for (auto& t : s.tris) {
      Vec n = shapes::Cross(shapes::Sub(s.pts[t.v[1]], s.pts[t.v[0]]), shapes::Sub(s.pts[t.v[2]], s.pts[t.v[0]]));
      Vec* p = &s.pts[0];
      printf("   n(%.3f %.3f %.3f) (%.3f %.3f %.3f)(%.3f %.3f %.3f)(%.3f %.3f %.3f)\n", n.x, n.y, n.z,
             p[t.v[0]].x, p[t.v[0]].y, p[t.v[0]].z, p[t.v[1]].x, p[t.v[1]].y, p[t.v[1]].z, p[t.v[2]].x, p[t.v[2]].y, p[t.v[2]].z);
    }
  }
}
TEST(Dbg, A) {
  C3DEntity a = shapes::MakeBox({0, 0, 0}, {1, 1, 1});
  C3DEntity b = shapes::MakeBox({0.5, 0.3, 0.2}, {1.5, 1.3, 1.2});
  CKroMeshTriCut cut;
  C3DEntity p1, p2, p3, p4;
  cut.CalMdlBetweenMdl(&a, &b, &p1, &p2, &p3, &p4);
  Dump("P2", p2);
  Dump("P4", p4);
  printf("vol p2+p4 %.6f\n", cutchecks::Volume(p2) + cutchecks::Volume(p4));
}
