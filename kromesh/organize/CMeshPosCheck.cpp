#include "kromesh/organize/CMeshPosCheck.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/GeoMathPosition.h"
#include "kromesh/math/TriangleIndex.h"

namespace {

// An end of a fold line lies on a side of the plan box when it is this close
// to it.
constexpr double kOnBoxSideTol = 1e-6;
// How far the ends of a fold line crossing the box are pushed outside it, so
// that the closed polygon holds the box's boundary points strictly inside.
constexpr double kFoldEndShift = 0.10000000149011612;

template <class T>
CMeshPosCheckBase* CloneOf(const T& checker) {
  return new (std::nothrow) T(checker);
}

}  // namespace

// ---------------------------------------------------------------------------
// CMeshPosCheckBase

CMeshPosCheckBase::CMeshPosCheckBase()
    : m_pObbtModel(nullptr),
      m_pVertices(nullptr),
      m_vertexCount(0),
      m_pTriangles(nullptr),
      m_triCount(0),
      m_refDot{0.0, 0.0, 0.0},
      m_pOrgVertices(nullptr),
      m_orgVertexCount(0),
      m_pOrgTriangles(nullptr),
      m_orgTriCount(0),
      m_cutedMdlType(static_cast<Kro_Mesh_Type>(0)) {}

CMeshPosCheckBase::~CMeshPosCheckBase() = default;

long CMeshPosCheckBase::PosCheckPntAndMesh(KRO::G3D_DVertex* /*p*/, KRO::G3D_DVertex* /*a*/,
                                           KRO::G3D_DVertex* /*b*/, KRO::G3D_DVertex* /*c*/) {
  return 0;
}

CMeshPosCheckBase* CMeshPosCheckBase::Clone() const {
  return CloneOf(*this);
}

void CMeshPosCheckBase::SetObbtObj(RAPID_model* model, KRO::G3D_DVertex* vertices, long vertexCount,
                                   C3DTriData* triangles, long triangleCount) {
  m_pObbtModel = model;
  m_pVertices = vertices;
  m_vertexCount = vertexCount;
  m_pTriangles = triangles;
  m_triCount = triangleCount;
  ++m_obbtObjStamp;
}

void CMeshPosCheckBase::SetOrgMdl(KRO::G3D_DVertex* vertices, long vertexCount,
                                  C3DTriData* triangles, long triangleCount) {
  m_pOrgVertices = vertices;
  m_orgVertexCount = vertexCount;
  m_pOrgTriangles = triangles;
  m_orgTriCount = triangleCount;
}

long CMeshPosCheckBase::SetCutedMdlType(Kro_Mesh_Type type) {
  m_cutedMdlType = type;
  return 1;
}

void CMeshPosCheckBase::SetRefDot(KRO::G3D_DVertex* p) {
  if (p) m_refDot = *p;
}

// ---------------------------------------------------------------------------
// CMeshPosCheckPlane

CMeshPosCheckPlane::CMeshPosCheckPlane() : m_coef{0.0, 0.0, 0.0, 0.0} {}

CMeshPosCheckPlane::~CMeshPosCheckPlane() = default;

long CMeshPosCheckPlane::PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* /*a*/,
                                            KRO::G3D_DVertex* /*b*/, KRO::G3D_DVertex* /*c*/) {
  if (!p) return -2;
  return CMathFunCls::Check3dPntAndPanel(p, m_coef);
}

CMeshPosCheckBase* CMeshPosCheckPlane::Clone() const {
  return CloneOf(*this);
}

void CMeshPosCheckPlane::SetPanelCoef(double* const coef) {
  if (!coef) return;
  std::copy(coef, coef + 4, m_coef);
}

// ---------------------------------------------------------------------------
// CMeshPosCheckPolylin

CMeshPosCheckPolylin::CMeshPosCheckPolylin() : m_polyCount(0), m_planBox{0.0, 0.0, 0.0, 0.0} {}

CMeshPosCheckPolylin::~CMeshPosCheckPolylin() = default;

long CMeshPosCheckPolylin::PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* /*a*/,
                                              KRO::G3D_DVertex* /*b*/, KRO::G3D_DVertex* /*c*/) {
  if (!p || m_polyCount < 1) return -2;
  D_DOT q{p->x, p->y};
  return CMathFunCls::Check2dPntAndCurve(&q, m_polygon.data(), m_polyCount);
}

CMeshPosCheckBase* CMeshPosCheckPolylin::Clone() const {
  return CloneOf(*this);
}

void CMeshPosCheckPolylin::GetPolygon(const D_DOT** pts, long* n) const {
  if (pts) *pts = m_polygon.empty() ? nullptr : m_polygon.data();
  if (n) *n = m_polyCount;
}

void CMeshPosCheckPolylin::SetPolyWithFoldLinAndBox(D_DOT* poly, long n, tctagD3ConvexBox* box) {
  if (!poly || n < 1) return;

  // 1. Plan box: the given box in x and y, widened over the fold line.
  tctagD2ConvexBox b =
      box ? tctagD2ConvexBox{box->xmin, box->xmax, box->ymin, box->ymax} : KroEmptyD2Box();
  for (long i = 0; i < n; ++i) {
    b.xmin = std::min(b.xmin, poly[i].x);
    b.xmax = std::max(b.xmax, poly[i].x);
    b.ymin = std::min(b.ymin, poly[i].y);
    b.ymax = std::max(b.ymax, poly[i].y);
  }

  // 2. A fresh polygon with room for the line, three corners and the
  // closing point. Built aside so that a failure keeps the old one.
  std::vector<D_DOT> pg;
  try {
    pg.reserve(static_cast<size_t>(n) + 4);
  } catch (const std::bad_alloc&) {
    return;
  }
  pg.assign(poly, poly + n);
  m_planBox = b;

  // 3. Already closed: used as it is.
  if (CMathFunCls::IsSame2DDot(&pg.front(), &pg.back()) != 0) {
    m_polygon.swap(pg);
    m_polyCount = n;
    return;
  }

  // 4. Which box sides the two ends lie on.
  D_DOT& F = pg.front();
  D_DOT& L = pg.back();
  auto onSide = [](double v, double side) { return std::fabs(v - side) < kOnBoxSideTol; };
  const bool fL = onSide(F.x, b.xmin), fR = onSide(F.x, b.xmax);
  const bool fB = onSide(F.y, b.ymin), fT = onSide(F.y, b.ymax);
  const bool lL = onSide(L.x, b.xmin), lR = onSide(L.x, b.xmax);
  const bool lB = onSide(L.y, b.ymin), lT = onSide(L.y, b.ymax);
  const D_DOT minMin{b.xmin, b.ymin}, minMax{b.xmin, b.ymax};
  const D_DOT maxMax{b.xmax, b.ymax}, maxMin{b.xmax, b.ymin};

  // Each end is pushed out of the box along its own end segment. Pushing
  // it along an axis would tilt that segment away from the fold line, and
  // points beside the line near its ends would come out on the wrong side.
  // The box holds every point of the line, so the end segment never points
  // into the box.
  auto outward = [&](const D_DOT& end, long from, long step) {
    for (long i = from; i >= 0 && i < n; i += step) {
      const double dx = end.x - pg[i].x, dy = end.y - pg[i].y;
      const double len = std::hypot(dx, dy);
      if (len > 0.0) return D_DOT{kFoldEndShift * dx / len, kFoldEndShift * dy / len};
    }
    return D_DOT{0.0, 0.0};
  };
  std::vector<D_DOT> corners;
  auto closeWith = [&](std::initializer_list<D_DOT> boxCorners) {
    // Both directions are taken before either end moves.
    const D_DOT fOut = outward(F, 1, 1), lOut = outward(L, n - 2, -1);
    F.x += fOut.x;
    F.y += fOut.y;
    L.x += lOut.x;
    L.y += lOut.y;
    corners.assign(boxCorners);
  };
  const bool sameSide = (fL && lL) || (fB && lB) || (fR && lR) || (fT && lT);
  if (!sameSide) {
    // Opposite sides first, then adjacent sides grouped by the corner.
    if (fL && lR) {
      closeWith({maxMin, minMin});
    } else if (fR && lL) {
      closeWith({minMin, maxMin});
    } else if (fT && lB) {
      closeWith({minMin, minMax});
    } else if (fB && lT) {
      closeWith({minMax, minMin});
    } else if (fL && lB) {
      closeWith({minMin});
    } else if (fB && lL) {
      closeWith({minMin});
    } else if (fL && lT) {
      closeWith({minMax});
    } else if (fT && lL) {
      closeWith({minMax});
    } else if (fR && lT) {
      closeWith({maxMax});
    } else if (fT && lR) {
      closeWith({maxMax});
    } else if (fR && lB) {
      closeWith({maxMin});
    } else if (fB && lR) {
      closeWith({maxMin});
    }
  }
  // F and L refer into pg; appending stays within the reserved room, so the
  // moved first point is read before any reallocation could happen.
  const D_DOT first = pg.front();
  for (const D_DOT& c : corners) pg.push_back(c);
  // 5. Close the ring with the (moved) first point.
  pg.push_back(first);
  m_polygon.swap(pg);
  m_polyCount = static_cast<long>(m_polygon.size());
}

// ---------------------------------------------------------------------------
// CMeshPosCheckCurv

CMeshPosCheckCurv::CMeshPosCheckCurv()
    : m_pSurfVertices(nullptr),
      m_surfVertexCount(0),
      m_pSurfTriangles(nullptr),
      m_surfTriCount(0),
      m_indexPending(false),
      m_useIndex(true),
      m_occluder(-1),
      m_nearest(-1) {}

CMeshPosCheckCurv::~CMeshPosCheckCurv() = default;

long CMeshPosCheckCurv::PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* /*a*/,
                                           KRO::G3D_DVertex* /*b*/, KRO::G3D_DVertex* /*c*/) {
  if (!p || !m_pSurfVertices || !m_pSurfTriangles || m_surfVertexCount < 1 || m_surfTriCount < 1)
    return -2;
  // The test starts from the triangle whose centroid is nearest to p: a
  // centroid near p is almost always in plain view, where a walk from
  // triangle 0 would test triangles all over the surface first.
  long tri = -1;
  if (m_useIndex) EnsureIndex();
  if (m_useIndex && m_pIndex) {
    if (!m_pIndex->AllReadable()) return -2;
    return CMathFunCls::Check3dPntAndKroSurf(p, m_pIndex.get(), tri, &m_occluder, &m_nearest);
  }
  // A corner outside the vertex buffer cannot be read; such a surface
  // decides nothing.
  for (long t = 0; t < m_surfTriCount; ++t)
    for (long v : m_pSurfTriangles[t].v)
      if (v < 0 || v >= m_surfVertexCount) return -2;
  return CMathFunCls::Check3dPntAndKroSurf(p, m_pSurfVertices, m_surfVertexCount, m_pSurfTriangles,
                                           m_surfTriCount, tri);
}

CMeshPosCheckBase* CMeshPosCheckCurv::Clone() const {
  return CloneOf(*this);
}

void CMeshPosCheckCurv::SetKroMeshBuf(KRO::G3D_DVertex* vertices, long vertexCount,
                                      C3DTriData* triangles, long triangleCount) {
  m_pSurfVertices = vertices;
  m_surfVertexCount = vertexCount;
  m_pSurfTriangles = triangles;
  m_surfTriCount = triangleCount;
  m_pIndex.reset();
  m_occluder = -1;
  m_nearest = -1;
  m_indexPending = true;
}

void CMeshPosCheckCurv::EnsureIndex() const {
  if (!m_indexPending) return;
  m_indexPending = false;
  std::shared_ptr<CTriangleIndex> index;
  try {
    index = std::make_shared<CTriangleIndex>();
  } catch (const std::bad_alloc&) {
    return;  // the buffers are scanned instead
  }
  // The checker holds these buffers for its own scans: the index reads them
  // in place rather than keeping a copy.
  if (index->BuildView(m_pSurfVertices, m_surfVertexCount, m_pSurfTriangles, m_surfTriCount) == 1)
    m_pIndex = index;
}

bool CMeshPosCheckCurv::HasIndex() const {
  EnsureIndex();
  return static_cast<bool>(m_pIndex);
}

void CMeshPosCheckCurv::ReleaseIndex() {
  if (!m_pIndex) return;
  m_pIndex.reset();
  m_indexPending = true;
}

// ---------------------------------------------------------------------------
// CMeshPosCheckEntity

CMeshPosCheckEntity::CMeshPosCheckEntity() {
  m_cutedMdlType = Kro_Mesh_Surface;
}

CMeshPosCheckEntity::~CMeshPosCheckEntity() = default;

// Triangles filed into uniform height slabs: each is listed, in ascending
// index order, in every slab its z range widened by kSlabTol meets. The
// slicing ignores a triangle 1e-5 or more above or below the plane, so the
// slab of a query height lists every triangle that can add to its slice.
struct CMeshPosCheckEntity::ZIndex {
  const KRO::G3D_DVertex* vertices = nullptr;
  long vertexCount = 0;
  const C3DTriData* triangles = nullptr;
  long triCount = 0;
  unsigned long stamp = 0;
  bool valid = false;   // every corner in range
  bool usable = false;  // finite coordinates: the slabs can be used
  C3DBox box;
  double z0 = 0.0, height = 1.0;
  long slabCount = 1;
  std::vector<long> start;  // slabCount + 1 offsets into tris
  std::vector<long> tris;

  long Slab(double z) const {
    const double k = std::floor((z - z0) / height);
    if (!(k >= 0.0)) return 0;
    if (k >= static_cast<double>(slabCount)) return slabCount - 1;
    return static_cast<long>(k);
  }
};

namespace {

// Twice the slicing's own 1e-5, plus a relative part for far-off heights.
double SlabTol(double z) {
  return 2e-5 + 1e-9 * std::fabs(z);
}

std::shared_ptr<CMeshPosCheckEntity::ZIndex> BuildZIndex(const KRO::G3D_DVertex* v, long nv,
                                                         const C3DTriData* t, long nt) {
  auto ix = std::make_shared<CMeshPosCheckEntity::ZIndex>();
  ix->vertices = v;
  ix->vertexCount = nv;
  ix->triangles = t;
  ix->triCount = nt;
  if (!v || !t || nv <= 0 || nt <= 0) return ix;
  for (long i = 0; i < nt; ++i)
    for (long k : t[i].v)
      if (k < 0 || k >= nv) return ix;
  ix->valid = true;
  GeoMathPosition::GetSurBox(const_cast<KRO::G3D_DVertex*>(v), nv, ix->box);
  std::vector<double> lo(static_cast<size_t>(nt)), hi(static_cast<size_t>(nt));
  double zmin = INFINITY, zmax = -INFINITY;
  for (long i = 0; i < nt; ++i) {
    const double a = v[t[i].v[0]].z, b = v[t[i].v[1]].z, c = v[t[i].v[2]].z;
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) return ix;
    const double l = std::min({a, b, c}), h = std::max({a, b, c});
    lo[i] = l - SlabTol(l);
    hi[i] = h + SlabTol(h);
    zmin = std::min(zmin, lo[i]);
    zmax = std::max(zmax, hi[i]);
  }
  // About four triangles per slab, fewer slabs while tall triangles would
  // make the lists much longer than the triangle count.
  long slabs = std::max(1L, nt / 4);
  const long budget = 8 * nt + 1024;
  std::vector<long> first(static_cast<size_t>(nt)), last(static_cast<size_t>(nt));
  for (;;) {
    ix->slabCount = slabs;
    ix->z0 = zmin;
    ix->height = std::max((zmax - zmin) / static_cast<double>(slabs), 1e-300);
    long total = 0;
    for (long i = 0; i < nt; ++i) {
      first[i] = ix->Slab(lo[i]);
      last[i] = ix->Slab(hi[i]);
      total += last[i] - first[i] + 1;
    }
    if (total <= budget || slabs == 1) break;
    slabs = std::max(1L, slabs / 4);
  }
  ix->start.assign(static_cast<size_t>(slabs) + 1, 0);
  for (long i = 0; i < nt; ++i)
    for (long s = first[i]; s <= last[i]; ++s) ++ix->start[s + 1];
  for (long s = 0; s < slabs; ++s) ix->start[s + 1] += ix->start[s];
  ix->tris.resize(static_cast<size_t>(ix->start[slabs]));
  std::vector<long> fill(ix->start.begin(), ix->start.end() - 1);
  for (long i = 0; i < nt; ++i)
    for (long s = first[i]; s <= last[i]; ++s) ix->tris[fill[s]++] = i;
  ix->usable = true;
  return ix;
}

}  // namespace

long CMeshPosCheckEntity::PosCheckPntAndMesh(KRO::G3D_DVertex* p, KRO::G3D_DVertex* /*a*/,
                                             KRO::G3D_DVertex* /*b*/, KRO::G3D_DVertex* /*c*/) {
  if (!p) return -1;
  const long nv = m_pVertices ? std::max(m_vertexCount, 0L) : 0;
  const long nt = m_pTriangles ? std::max(m_triCount, 0L) : 0;
  if (!m_zIndex || m_zIndex->vertices != m_pVertices || m_zIndex->vertexCount != nv ||
      m_zIndex->triangles != m_pTriangles || m_zIndex->triCount != nt ||
      m_zIndex->stamp != m_obbtObjStamp) {
    try {
      auto built = BuildZIndex(m_pVertices, nv, m_pTriangles, nt);
      built->stamp = m_obbtObjStamp;
      m_zIndex = built;
    } catch (const std::bad_alloc&) {
      m_zIndex.reset();
      return -1;
    }
  }
  const ZIndex& ix = *m_zIndex;
  // A solid with a corner outside the vertex buffer cannot be assembled.
  if (!ix.valid) return -1;
  D_3DOT q{p->x, p->y, p->z};
  if (ix.usable && std::isfinite(q.z)) {
    const long s = ix.Slab(q.z);
    const long* cand = ix.tris.data() + ix.start[s];
    return static_cast<long>(GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(
        m_pVertices, nv, m_pTriangles, cand, ix.start[s + 1] - ix.start[s],
        const_cast<C3DBox*>(&ix.box), &q));
  }
  // Non-finite heights: the full scan decides.
  std::vector<C3DTriangle> tris;
  try {
    tris.reserve(static_cast<size_t>(nt));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (long t = 0; t < nt; ++t)
    tris.emplace_back(m_pTriangles[t].v[0], m_pTriangles[t].v[1], m_pTriangles[t].v[2]);
  return static_cast<long>(
      GeoMathPosition::CheckPntAndPolyhWithGeoPlaneSur(m_pVertices, nv, tris.data(), nt, &q));
}

CMeshPosCheckBase* CMeshPosCheckEntity::Clone() const {
  return CloneOf(*this);
}
