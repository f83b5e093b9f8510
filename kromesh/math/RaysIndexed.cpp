// Side of a point against a triangulated surface through a triangle index:
// the plain test's steps in the plain test's order, with the two scans over
// every triangle answered by the index.
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/TriangleIndex.h"

using KRO::G3D_DVertex;

long CMathFunCls::Check3dPntAndKroSurf(G3D_DVertex* p, const CTriangleIndex* index, long& tri,
                                       long* occluder, long* nearest) {
  if (!p || !index || index->IsEmpty()) {
    if (tri == -1) tri = 0;
    return -2;
  }
  const long nTris = index->GetTriCount();
  const long entry = tri;
  if (entry < -1 || entry >= nTris) return -2;  // no such start triangle
  long first = entry;
  if (entry == -1) {
    first = index->FindNearestCentroid(p, nearest ? *nearest : -1);
    if (nearest && first >= 0) *nearest = first;
    if (first < 0) first = 0;
  }
  long ownHint = -1;
  long* hint = occluder ? occluder : &ownHint;
  // A triangle decides when p sees its centroid past every other triangle.
  auto decide = [&](long i, long& result) {
    G3D_DVertex t[3], g;
    if (!index->GetTriangle(i, t) || !index->GetCentroid(i, &g)) return false;
    if (index->CheckSegAndOther(i, p, &g, hint) != 0) return false;
    tri = i;
    result = CheckPntToSurfPos(p, &t[0], &t[1], &t[2]);
    return true;
  };
  long result = -2;
  if (decide(first, result)) return result;
  for (long lo = first - 1, hi = first + 1; lo >= 0 || hi <= nTris - 1; --lo, ++hi) {
    if (lo >= 0 && decide(lo, result)) return result;
    if (hi <= nTris - 1 && decide(hi, result)) return result;
  }
  if (entry == -1) tri = 0;
  return -2;
}

long CMathFunCls::Check3dPntAndSurf(G3D_DVertex* p, const CTriangleIndex* index, long& tri,
                                    long* occluder) {
  return Check3dPntAndKroSurf(p, index, tri, occluder);
}

long CMathFunCls::CheckSegAndOtherKroSurf(long skip, G3D_DVertex* p, G3D_DVertex* q,
                                          const CTriangleIndex* index) {
  if (!index) return 0;
  return index->CheckSegAndOther(skip, p, q);
}
