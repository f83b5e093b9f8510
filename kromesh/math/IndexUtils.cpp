// Coordinate swaps, orientation walk, triangle neighbourhoods, and the
// search and sort functions on index arrays.
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "kromesh/math/CMathFunCls.h"

namespace {

using KRO::G3D_DVertex;

G3D_DVertex Sub(const G3D_DVertex& a, const G3D_DVertex& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double Dot(const G3D_DVertex& a, const G3D_DVertex& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
G3D_DVertex Cross(const G3D_DVertex& a, const G3D_DVertex& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
G3D_DVertex Unit(const G3D_DVertex& v) {
  const double len = std::sqrt(Dot(v, v));
  return {v.x / len, v.y / len, v.z / len};
}

G3D_DVertex TriNormal(G3D_DVertex a, G3D_DVertex b, G3D_DVertex c) {
  G3D_DVertex n{};
  CMathFunCls::GetTriangleNormal(&a.x, &b.x, &c.x, &n.x);
  return n;
}

G3D_DVertex UnitToLine(G3D_DVertex p, G3D_DVertex q, G3D_DVertex dir) {
  G3D_DVertex out{};
  CMathFunCls::GetUnitVecToALin(&p, &q, &dir, &out);
  return out;
}

G3D_DVertex Coords(const KroPntStrcT& p) {
  return {p.x, p.y, p.z};
}

bool UsesBoth(const C3DTriData& t, long a, long b) {
  const bool hasA = t.v[0] == a || t.v[1] == a || t.v[2] == a;
  const bool hasB = t.v[0] == b || t.v[1] == b || t.v[2] == b;
  return hasA && hasB;
}

}  // namespace

long CMathFunCls::AdjustPntCoord(KRO::G3D_DVertex* pts, long n, int mode) {
  if (n <= 0 || !pts) return -1;
  if (mode == 0) return 1;
  for (long i = 0; i < n; ++i) {
    if (mode == 1)
      std::swap(pts[i].x, pts[i].z);
    else
      std::swap(pts[i].y, pts[i].z);
  }
  return 1;
}

int CMathFunCls::IsNeedAdjust(KRO::G3D_DVertex* tri) {
  if (!tri) return 0;
  return (std::fabs(tri[0].z - tri[1].z) > 1e-6 || std::fabs(tri[0].z - tri[2].z) > 1e-6) ? 1 : 0;
}

long CMathFunCls::AdjustNomalOfCurvSurf(KroPntStrcT* pts, long nPts, KroNetStrcT* nets,
                                        long nNets) {
  if (!pts || !nets) return -1;
  if (nNets < 1) return 1;
  auto usable = [&](long t) {
    for (long k = 0; k < 3; ++k)
      if (nets[t].pnt[k] < 1 || nets[t].pnt[k] > nPts) return false;
    return true;
  };
  if (!usable(0)) return 1;
  std::vector<char> visited(static_cast<size_t>(nNets), 0);
  long cur = 0;
  visited[0] = 1;
  for (long step = 0; step < nNets - 1; ++step) {
    const KroNetStrcT& c = nets[cur];
    if (c.adj[0] < 0 || c.adj[1] < 0 || c.adj[2] < 0) break;
    long next = -1, edge = -1;
    for (long k = 0; k < 3 && next < 0; ++k) {
      const long nb = c.adj[k];
      if (nb >= 1 && nb <= nNets && !visited[nb - 1] && usable(nb - 1)) {
        next = nb - 1;
        edge = k;
      }
    }
    // Nowhere left to walk: the walk ends here rather than reading a
    // neighbour that does not exist.
    if (next < 0) break;
    visited[next] = 1;

    KroNetStrcT& nx = nets[next];
    const long sNo = c.pnt[edge], eNo = c.pnt[(edge + 1) % 3], oNo = c.pnt[(edge + 2) % 3];
    long thirdNo = nx.pnt[2];
    for (long k = 0; k < 3; ++k) {
      if (nx.pnt[k] != sNo && nx.pnt[k] != eNo) {
        thirdNo = nx.pnt[k];
        break;
      }
    }
    const G3D_DVertex s = Coords(pts[sNo - 1]), e = Coords(pts[eNo - 1]);
    const G3D_DVertex nc =
        TriNormal(Coords(pts[c.pnt[0] - 1]), Coords(pts[c.pnt[1] - 1]), Coords(pts[c.pnt[2] - 1]));
    const G3D_DVertex nn = TriNormal(Coords(pts[nx.pnt[0] - 1]), Coords(pts[nx.pnt[1] - 1]),
                                     Coords(pts[nx.pnt[2] - 1]));
    const G3D_DVertex d = Unit(Sub(e, s));
    const G3D_DVertex u1 = UnitToLine(Coords(pts[oNo - 1]), s, d);
    const G3D_DVertex u2 = UnitToLine(Coords(pts[thirdNo - 1]), s, d);
    const G3D_DVertex a = Cross(nc, u1), b = Cross(nn, u2);
    const bool alike =
        std::fabs(a.x + b.x) < 1e-5 && std::fabs(a.y + b.y) < 1e-5 && std::fabs(a.z + b.z) < 1e-5;
    if (!alike) std::swap(nx.pnt[0], nx.pnt[2]);
    cur = next;
  }
  return 1;
}

long CMathFunCls::SetTinTop(C3DTriData* tris, C3DTriaTop* tops, long nTris, long nVerts,
                            long first) {
  if (nTris <= 0) return 1;
  if (!tris || !tops) return -1;
  if (first < 0) first = 0;
  std::vector<std::vector<long>> lists;
  try {
    lists.resize(static_cast<size_t>(std::max(nVerts, 0L)));
    for (long t = first; t < nTris; ++t)
      for (long k = 0; k < 3; ++k) {
        const long v = tris[t].v[k];
        if (v >= 0 && v < nVerts) lists[v].push_back(t);
      }
  } catch (const std::bad_alloc&) {
    return 0;
  } catch (const std::length_error&) {
    return 0;
  }
  for (long t = first; t < nTris; ++t) {
    for (long k = 0; k < 3; ++k) {
      const long a = tris[t].v[k], b = tris[t].v[(k + 1) % 3];
      long nb = -1;
      if (a >= 0 && a < nVerts && b >= 0 && b < nVerts) FindNetNo(tris, t, a, b, nb, lists.data());
      tops[t].n[k] = nb;
    }
  }
  return 1;
}

long CMathFunCls::FindNetNo(C3DTriData* tris, long t, long a, long b, long& nb,
                            std::vector<long>* lists) {
  nb = -1;
  if (!tris || !lists || a < 0 || b < 0) return nb;
  for (long v : {a, b}) {
    for (long u : lists[v]) {
      if (u != t && UsesBoth(tris[u], a, b)) {
        nb = u;
        return nb;
      }
    }
  }
  return nb;
}

long CMathFunCls::bin_search(long key, long* arr, long n) {
  if (!arr || n <= 0) return -1;
  long* it = std::lower_bound(arr, arr + n, key);
  return (it != arr + n && *it == key) ? static_cast<long>(it - arr) : -1;
}

long CMathFunCls::bin_search_byMap(long key, std::map<long, long>* m) {
  if (!m) return -1;
  auto it = m->find(key);
  return it == m->end() ? -1 : it->second;
}

long CMathFunCls::SearchFronFToB(long key, long* arr, long n) {
  if (!arr || n <= 0) return -1;
  for (long i = 0; i < n; ++i)
    if (arr[i] == key) return i;
  return -1;
}

long CMathFunCls::SearchFronFToBByVector(long key, std::vector<long>* v) {
  if (!v || v->empty()) return -1;
  return SearchFronFToB(key, v->data(), static_cast<long>(v->size()));
}

void CMathFunCls::BubbleSort(long* arr, long n) {
  if (!arr || n <= 0) return;
  for (long i = 0; i + 1 < n; ++i) {
    bool swapped = false;
    for (long j = 0; j + 1 < n - i; ++j) {
      if (arr[j] > arr[j + 1]) {
        std::swap(arr[j], arr[j + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
  }
}

void CMathFunCls::BubbleSortByVector(std::vector<long>* v) {
  if (!v || v->empty()) return;
  BubbleSort(v->data(), static_cast<long>(v->size()));
}

void CMathFunCls::shellsort(long* arr, long n, long* gaps, long nGaps) {
  if (!arr || n <= 0 || !gaps) return;
  for (long g = 0; g < nGaps; ++g) {
    const long gap = gaps[g];
    if (gap < 1) continue;
    for (long i = gap; i < n; ++i) {
      const long v = arr[i];
      long j = i;
      for (; j >= gap && arr[j - gap] > v; j -= gap) arr[j] = arr[j - gap];
      arr[j] = v;
    }
  }
}

long CMathFunCls::FindTriPntPosInOldBuf(KRO::G3D_DVertex p, KRO::G3D_DVertex* buf, long n) {
  if (!buf || n <= 0) return -1;
  for (long i = 0; i < n; ++i)
    if (std::fabs(buf[i].x - p.x) < 1e-5 && std::fabs(buf[i].y - p.y) < 1e-5 &&
        std::fabs(buf[i].z - p.z) < 1e-5)
      return i;
  return -1;
}
