// Point in solid over a caller-chosen subset of the triangles: the slicing
// and decision of the full test, without its O(N) scan.
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/GeoMathPosition.h"

short GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(const KRO::G3D_DVertex* pts, long nPts,
                                                       const C3DTriData* tris, const long* cand,
                                                       long nCand, C3DBox* box, D_3DOT* p) {
  if (!pts || !tris || !box || !p || nPts <= 0) return -1;
  if (CheckPntAndC3DBox(box, *p) == -1) return -1;
  // Triangles are sliced in the caller's (ascending) order, so the store
  // holds the segments of the full scan in the same order.
  EmptyIntersecStore();
  double z = p->z;
  for (long i = 0; i < nCand && cand; ++i) {
    const C3DTriData& t = tris[cand[i]];
    const KRO::G3D_DVertex &va = pts[t.v[0]], &vb = pts[t.v[1]], &vc = pts[t.v[2]];
    D_3DOT a{va.x, va.y, va.z}, b{vb.x, vb.y, vb.z}, c{vc.x, vc.y, vc.z};
    CalPlaneAndTriIntersect(z, a, b, c);
  }
  const short result = DecideFromStore(*p);
  EmptyIntersecStore();
  return result;
}
