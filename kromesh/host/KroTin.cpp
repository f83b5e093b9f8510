// Constrained Delaunay triangulator behind the TIN interface.
#include "kromesh/host/KroTin.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <vector>

// Intersecting constraints are computed in floating point on purpose; the
// hint about an exact number type does not apply here.
#ifndef CGAL_NO_CDT_2_WARNING
#define CGAL_NO_CDT_2_WARNING
#endif
#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

namespace {

using K = CGAL::Exact_predicates_inexact_constructions_kernel;

// Vertex number in the output (0-based); -1 until assigned, which is how
// points inserted by the triangulator are told from given ones.
struct VertexTag {
  long id = -1;
};
struct FaceTag {
  long id = -1;
};

using Vb = CGAL::Triangulation_vertex_base_with_info_2<VertexTag, K>;
using Fb =
    CGAL::Triangulation_face_base_with_info_2<FaceTag, K,
                                              CGAL::Constrained_triangulation_face_base_2<K>>;
using Tds = CGAL::Triangulation_data_structure_2<Vb, Fb>;
// Exact predicates with inexact constructions take the intersection tag made
// for them: Exact_intersections_tag expects exact constructions and crashed
// on a constraint passing within rounding of another's vertex.
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<K, Tds, CGAL::Exact_predicates_tag>;
using Point = Cdt::Point;

// z of an added point: interpolated along the given segment that passes
// closest to it in x and y.
double InterpolateZ(const Point& p, const std::vector<KRO::G3D_DVertex>& pts,
                    const std::vector<KroTinSegStrcT>& segs) {
  double bestDist = std::numeric_limits<double>::max();
  double z = 0.0;
  for (const KroTinSegStrcT& s : segs) {
    const KRO::G3D_DVertex& a = pts[s.a];
    const KRO::G3D_DVertex& b = pts[s.b];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    if (len2 <= 0.0) continue;
    double t = ((p.x() - a.x) * dx + (p.y() - a.y) * dy) / len2;
    t = std::min(1.0, std::max(0.0, t));
    const double qx = a.x + t * dx - p.x(), qy = a.y + t * dy - p.y();
    const double d = qx * qx + qy * qy;
    if (d < bestDist) {
      bestDist = d;
      z = a.z + t * (b.z - a.z);
    }
  }
  return z;
}

}  // namespace

struct KroTinObj {
  std::vector<KRO::G3D_DVertex> inPnts;
  std::vector<KroTinSegStrcT> inSegs;
  bool constrained = true;
  bool done = false;
  std::vector<KroTinPntStrcT> outPnts;
  std::vector<KroTinTriStrcT> outTris;

  int16_t Run();
};

int16_t KroTinObj::Run() {
  done = false;
  outPnts.clear();
  outTris.clear();
  const long n = static_cast<long>(inPnts.size());
  for (const KRO::G3D_DVertex& p : inPnts) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return KRO_TIN_FAILED;
  }
  for (const KroTinSegStrcT& s : inSegs) {
    if (s.a < 0 || s.b < 0 || s.a >= n || s.b >= n) return KRO_TIN_FAILED;
  }

  try {
    Cdt cdt;
    std::vector<Cdt::Vertex_handle> handles(n);
    Cdt::Face_handle hint;
    for (long i = 0; i < n; ++i) {
      Cdt::Vertex_handle v = cdt.insert(Point(inPnts[i].x, inPnts[i].y), hint);
      if (v->info().id < 0) v->info().id = i;  // the first of repeated points owns the vertex
      handles[i] = v;
      hint = v->face();
    }
    if (cdt.dimension() < 2) return KRO_TIN_NO_TRIANGLE;

    if (constrained) {
      for (const KroTinSegStrcT& s : inSegs) {
        // A segment whose ends are one vertex constrains nothing.
        if (handles[s.a] == handles[s.b]) continue;
        cdt.insert_constraint(handles[s.a], handles[s.b]);
      }
    }

    // Given points first, in input order, then the inserted ones.
    outPnts.resize(n);
    for (long i = 0; i < n; ++i) {
      KroTinPntStrcT& r = outPnts[i];
      std::memset(&r, 0, sizeof r);
      r.x = inPnts[i].x;
      r.y = inPnts[i].y;
      r.z = inPnts[i].z;
      r.flag = 1;
    }
    for (Cdt::Finite_vertices_iterator v = cdt.finite_vertices_begin();
         v != cdt.finite_vertices_end(); ++v) {
      if (v->info().id >= 0) continue;
      v->info().id = static_cast<long>(outPnts.size());
      KroTinPntStrcT r;
      std::memset(&r, 0, sizeof r);
      r.x = v->point().x();
      r.y = v->point().y();
      r.z = InterpolateZ(v->point(), inPnts, inSegs);
      r.flag = 1;
      r.added = 1;
      outPnts.push_back(r);
    }

    long faceId = 0;
    for (Cdt::Finite_faces_iterator f = cdt.finite_faces_begin(); f != cdt.finite_faces_end();
         ++f) {
      f->info().id = faceId++;
    }
    outTris.reserve(faceId);
    for (Cdt::Finite_faces_iterator f = cdt.finite_faces_begin(); f != cdt.finite_faces_end();
         ++f) {
      KroTinTriStrcT r;
      std::memset(&r, 0, sizeof r);
      for (int k = 0; k < 3; ++k) r.v[k] = static_cast<int32_t>(f->vertex(k)->info().id + 1);
      // Edge v_k - v_(k+1) lies opposite vertex k + 2.
      for (int k = 0; k < 3; ++k) {
        Cdt::Face_handle nb = f->neighbor((k + 2) % 3);
        r.adj[k] = cdt.is_infinite(nb) ? 0 : static_cast<int32_t>(nb->info().id + 1);
      }
      r.flag = 1;
      outTris.push_back(r);
    }
    if (outPnts.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
      return KRO_TIN_FAILED;
  } catch (const std::exception&) {
    outPnts.clear();
    outTris.clear();
    return KRO_TIN_FAILED;
  }
  if (outTris.empty()) return KRO_TIN_NO_TRIANGLE;
  done = true;
  return KRO_TIN_OK;
}

KroTinHandle KroTinCreate(const void* /*reserved*/, const KRO::G3D_DVertex* pnts, long pntNum,
                          const KroTinSegStrcT* segs, long segNum, long /*opt1*/, long /*opt2*/,
                          long constrained) {
  if (!pnts || pntNum < 1 || segNum < 0 || (segNum > 0 && !segs)) return nullptr;
  KroTinObj* h = new (std::nothrow) KroTinObj;
  if (!h) return nullptr;
  try {
    h->inPnts.assign(pnts, pnts + pntNum);
    if (segNum > 0) h->inSegs.assign(segs, segs + segNum);
  } catch (const std::bad_alloc&) {
    delete h;
    return nullptr;
  }
  h->constrained = constrained != 0;
  return h;
}

int16_t KroTinRun(KroTinHandle h, long* pntNum, long* triNum) {
  if (!h || !pntNum || !triNum) return KRO_TIN_BAD_ARGUMENT;
  const int16_t st = h->Run();
  *pntNum = st == KRO_TIN_OK ? static_cast<long>(h->outPnts.size()) : 0;
  *triNum = st == KRO_TIN_OK ? static_cast<long>(h->outTris.size()) : 0;
  return st;
}

int16_t KroTinFetch(KroTinHandle h, KroTinPntStrcT* pnts, long pntCap, KroTinTriStrcT* tris,
                    long triCap) {
  if (!h || !pnts || !tris) return KRO_TIN_BAD_ARGUMENT;
  if (!h->done) return KRO_TIN_NOT_RUN;
  const long np = static_cast<long>(h->outPnts.size());
  const long nt = static_cast<long>(h->outTris.size());
  if (np + 1 > pntCap || nt + 1 > triCap) return KRO_TIN_BUFFER_SMALL;
  std::memcpy(pnts + 1, h->outPnts.data(), np * sizeof(KroTinPntStrcT));
  std::memcpy(tris + 1, h->outTris.data(), nt * sizeof(KroTinTriStrcT));
  return KRO_TIN_OK;
}

void KroTinRelease(KroTinHandle h) {
  delete h;
}
