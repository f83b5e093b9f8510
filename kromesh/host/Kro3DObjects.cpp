// In-memory model of the host's 3D data object library.
#include "kromesh/host/Kro3DObjects.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace {

// Appends n records to v in one bulk insert; false for a bad array or count.
template <typename T>
bool AppendRecords(std::vector<T>& v, const T* src, long n) {
  if (n < 0 || (n > 0 && src == nullptr)) return false;
  if (n == 0) return true;
  // Appending a vector to itself must not read from storage the insert
  // may move.
  std::less<const T*> before;
  if (!v.empty() && !before(src, v.data()) && before(src, v.data() + v.size())) {
    std::vector<T> copy(src, src + n);
    v.insert(v.end(), copy.begin(), copy.end());
  } else {
    v.insert(v.end(), src, src + n);
  }
  return true;
}

// Hands out a vector's storage the way the host does: null for empty.
template <typename T>
void HandOut(std::vector<T>& v, T** out, long* n) {
  if (out) *out = v.empty() ? nullptr : v.data();
  if (n) *n = static_cast<long>(v.size());
}

// Float overloads: whole records only, a trailing partial record is dropped.
template <typename T, int kFloats>
bool AppendFloats(std::vector<T>& v, const float* values, long nFloats) {
  static_assert(sizeof(T) == kFloats * sizeof(float), "record of plain floats");
  if (nFloats < 0 || (nFloats > 0 && values == nullptr)) return false;
  const long n = nFloats / kFloats;
  if (n == 0) return true;
  // Staged through a copy: values may point into v itself.
  std::vector<T> records(static_cast<size_t>(n));
  std::copy(values, values + n * kFloats, reinterpret_cast<float*>(records.data()));
  v.insert(v.end(), records.begin(), records.end());
  return true;
}

bool ValidStage(int stage) {
  return stage >= 0 && stage < CVertexDecorationObj::kStages;
}

}  // namespace

// ---------------------------------------------------------------------------
// CPointCollection

long CPointCollection::GetPointNum() const {
  return static_cast<long>(m_points.size());
}

long CPointCollection::GetPoint(long i, KRO::G3D_DVertex* p) const {
  if (p == nullptr || i < 0 || i >= GetPointNum()) return 0;
  *p = m_points[static_cast<size_t>(i)];
  return 1;
}

long CPointCollection::GetPoint(long i, KRO::G3D_DVertex& p) const {
  return GetPoint(i, &p);
}

long CPointCollection::AppendPoints(const KRO::G3D_DVertex* pts, long n) {
  if (!AppendRecords(m_points, pts, n)) return 0;
  m_floatCache.clear();
  return 1;
}

long CPointCollection::GetPointList(KRO::VECTOR3** list, KRO::G3D_DVertex* ref) {
  if (list == nullptr || ref == nullptr) return 0;
  // Offsets from the centre of the box keep single precision useful for
  // models placed far from the origin (geodetic coordinates).
  KRO::G3D_DVertex centre{0.0, 0.0, 0.0};
  if (!m_points.empty()) {
    KRO::G3D_DVertex lo = m_points.front(), hi = m_points.front();
    for (const auto& p : m_points) {
      lo.x = std::min(lo.x, p.x), hi.x = std::max(hi.x, p.x);
      lo.y = std::min(lo.y, p.y), hi.y = std::max(hi.y, p.y);
      lo.z = std::min(lo.z, p.z), hi.z = std::max(hi.z, p.z);
    }
    centre = {0.5 * (lo.x + hi.x), 0.5 * (lo.y + hi.y), 0.5 * (lo.z + hi.z)};
  }
  m_floatCache.resize(m_points.size());
  for (size_t i = 0; i < m_points.size(); ++i) {
    m_floatCache[i] = {static_cast<float>(m_points[i].x - centre.x),
                       static_cast<float>(m_points[i].y - centre.y),
                       static_cast<float>(m_points[i].z - centre.z)};
  }
  // point = list[i] - ref, so ref is the negated centre.
  *ref = {-centre.x, -centre.y, -centre.z};
  *list = m_floatCache.empty() ? nullptr : m_floatCache.data();
  return 1;
}

long CPointCollection::SetPoint(long i, const KRO::G3D_DVertex* p) {
  if (p == nullptr || i < 0 || i >= GetPointNum()) return 0;
  m_points[static_cast<size_t>(i)] = *p;
  m_floatCache.clear();
  return 1;
}

void CPointCollection::Reset() {
  m_points.clear();
  m_floatCache.clear();
}

// ---------------------------------------------------------------------------
// CVertexDecorationObj

long CVertexDecorationObj::GetColors(KRO::COLOR4** colours, long* n) {
  if (colours == nullptr || n == nullptr) return 0;
  HandOut(m_colours, colours, n);
  return 1;
}

long CVertexDecorationObj::GetNormals(KRO::VECTOR3** normals, long* n) {
  if (normals == nullptr || n == nullptr) return 0;
  HandOut(m_normals, normals, n);
  return 1;
}

long CVertexDecorationObj::GetTexcoords(int stage, KRO::G_TEXCOORD** coords, long* n) {
  if (coords == nullptr || n == nullptr || !ValidStage(stage)) return 0;
  HandOut(m_texcoords[stage], coords, n);
  return 1;
}

long CVertexDecorationObj::AppendColors(const KRO::COLOR4* colours, long n) {
  return AppendRecords(m_colours, colours, n) ? 1 : 0;
}

long CVertexDecorationObj::AppendNormals(const KRO::VECTOR3* normals, long n) {
  return AppendRecords(m_normals, normals, n) ? 1 : 0;
}

long CVertexDecorationObj::AppendTexcoords(int stage, const KRO::G_TEXCOORD* coords, long n) {
  if (!ValidStage(stage)) return 0;
  return AppendRecords(m_texcoords[stage], coords, n) ? 1 : 0;
}

long CVertexDecorationObj::AppendColors(const float* values, long nFloats) {
  return AppendFloats<KRO::COLOR4, 4>(m_colours, values, nFloats) ? 1 : 0;
}

long CVertexDecorationObj::AppendNormals(const float* values, long nFloats) {
  return AppendFloats<KRO::VECTOR3, 3>(m_normals, values, nFloats) ? 1 : 0;
}

long CVertexDecorationObj::AppendTexcoords(int stage, const float* values, long nFloats) {
  if (!ValidStage(stage)) return 0;
  return AppendFloats<KRO::G_TEXCOORD, 2>(m_texcoords[stage], values, nFloats) ? 1 : 0;
}

long CVertexDecorationObj::UpdateColors(const KRO::COLOR4* colours, long n) {
  if (colours == nullptr || n < 0) return 0;
  const size_t count = static_cast<size_t>(n);
  if (m_colours.size() < count) m_colours.resize(count);
  // The caller may hand back our own array (GetColors); copy handles that.
  std::copy(colours, colours + count, m_colours.begin());
  return 1;
}

long CVertexDecorationObj::GetNumColors() const {
  return static_cast<long>(m_colours.size());
}

long CVertexDecorationObj::GetNumNormals() const {
  return static_cast<long>(m_normals.size());
}

long CVertexDecorationObj::GetNumTexcoods(int stage) const {
  return ValidStage(stage) ? static_cast<long>(m_texcoords[stage].size()) : 0;
}

KRO::COLOR4 CVertexDecorationObj::GetVexColor(long i) const {
  if (i < 0 || i >= GetNumColors()) return KRO::COLOR4();
  return m_colours[static_cast<size_t>(i)];
}

void CVertexDecorationObj::Reset() {
  m_colours.clear();
  m_normals.clear();
  for (auto& t : m_texcoords) t.clear();
}

// ---------------------------------------------------------------------------
// C3DBaseSurface

long C3DBaseSurface::GetTriangleCount() const {
  return static_cast<long>(m_triangles.size());
}

long C3DBaseSurface::GetTriangle(C3DTriangle** tris, CTriangleTopInfo** tops, long* n) {
  if (tris == nullptr && tops == nullptr && n == nullptr) return 0;
  HandOut(m_triangles, tris, n);
  if (tops != nullptr) {
    m_tops.resize(m_triangles.size());  // the neighbours nobody gave are -1
    HandOut(m_tops, tops, nullptr);
  }
  return 1;
}

long C3DBaseSurface::GetTriangle(long i, C3DTriangle* tri, CTriangleTopInfo* top) const {
  if (i < 0 || i >= GetTriangleCount()) return 0;
  if (tri) *tri = m_triangles[static_cast<size_t>(i)];
  if (top)
    *top = static_cast<size_t>(i) < m_tops.size() ? m_tops[static_cast<size_t>(i)]
                                                  : CTriangleTopInfo();
  return 1;
}

long C3DBaseSurface::GetTriangle(long i, C3DTriangle& tri, CTriangleTopInfo& top) const {
  return GetTriangle(i, &tri, &top);
}

long C3DBaseSurface::AddTriangle(const C3DTriangle* tris, const CTriangleTopInfo* tops, long n) {
  const size_t before = m_triangles.size();
  if (!AppendRecords(m_triangles, tris, n)) return 0;
  // Neighbours are kept only from the first triangle that has any: a
  // surface without them (most) spends no memory on them.
  if (tops != nullptr && n > 0) {
    m_tops.resize(before);
    m_tops.insert(m_tops.end(), tops, tops + n);
  }
  return 1;
}

void C3DBaseSurface::Reset() {
  m_triangles.clear();
  m_tops.clear();
  m_materialName.clear();
  m_operationType = 0;
}

// ---------------------------------------------------------------------------
// C3DSurface

C3DSurface::C3DSurface(long id, int /*flags*/) : m_id(id) {}

long C3DSurface::GetPointCollection(CPointCollection* points, CVertexDecorationObj* deco) const {
  if (points == nullptr && deco == nullptr) return 0;
  if (points) {
    points->Reset();
    points->AppendPoints(m_points.data(), GetPointNum());
  }
  if (deco) *deco = m_deco;
  return 1;
}

long C3DSurface::GetPointCollection(CPointCollection& points, CVertexDecorationObj& deco) const {
  return GetPointCollection(&points, &deco);
}

long C3DSurface::AppendPointCollection(const CPointCollection* points,
                                       const CVertexDecorationObj* deco) {
  if (points == nullptr) return 0;
  const auto& src = points->Points();
  m_points.insert(m_points.end(), src.begin(), src.end());
  if (deco) {
    m_deco.AppendColors(deco->m_colours.data(), deco->GetNumColors());
    m_deco.AppendNormals(deco->m_normals.data(), deco->GetNumNormals());
    for (int k = 0; k < CVertexDecorationObj::kStages; ++k)
      m_deco.AppendTexcoords(k, deco->m_texcoords[k].data(), deco->GetNumTexcoods(k));
  }
  return GetPointNum();
}

long C3DSurface::UpdatePointCollection(const CPointCollection* points,
                                       const CVertexDecorationObj* deco) {
  if (points == nullptr) return 0;
  if (points->Points().data() != m_points.data()) m_points = points->Points();
  if (deco && deco != &m_deco) m_deco = *deco;
  return 1;
}

long C3DSurface::UpdatePointCollection(const CPointCollection& points,
                                       const CVertexDecorationObj& deco) {
  return UpdatePointCollection(&points, &deco);
}

long C3DSurface::Save(const CSurfaceDecorationObj* deco, char flag) {
  if (deco) m_surfDeco = *deco;
  ++m_revision;
  if (flag == 1) m_modified = true;
  return 1;
}

void C3DSurface::Reset() {
  C3DBaseSurface::Reset();
  m_points.clear();
  m_deco.Reset();
  m_surfDeco = CSurfaceDecorationObj();
}

// ---------------------------------------------------------------------------
// C3DEntity

C3DEntity::C3DEntity(long id, int /*flags*/) : m_id(id) {}

C3DEntity::C3DEntity(const C3DEntity& other) : C3DBaseEntity(other), m_id(other.m_id) {
  m_surfaces.reserve(other.m_surfaces.size());
  for (const auto& m : other.m_surfaces) m_surfaces.push_back(std::make_unique<Member>(*m));
}

C3DEntity& C3DEntity::operator=(const C3DEntity& other) {
  if (this == &other) return *this;
  std::vector<std::unique_ptr<Member>> copy;
  copy.reserve(other.m_surfaces.size());
  for (const auto& m : other.m_surfaces) copy.push_back(std::make_unique<Member>(*m));
  m_surfaces.swap(copy);
  m_id = other.m_id;
  return *this;
}

C3DEntity::~C3DEntity() = default;

long C3DEntity::GetSurfaceNum() const {
  return static_cast<long>(m_surfaces.size());
}

long C3DEntity::GetSurface(const long& i, C3DSurface* surf, CSurfaceDecorationObj* deco) const {
  if (surf == nullptr || i < 0 || i >= GetSurfaceNum()) return 0;
  const Member& m = *m_surfaces[static_cast<size_t>(i)];
  if (surf != &m.surface) *surf = m.surface;
  if (deco) *deco = m.deco;
  return 1;
}

long C3DEntity::AddSurface(const C3DSurface* surf, const CSurfaceDecorationObj* deco) {
  if (surf == nullptr) return 0;
  auto m = std::make_unique<Member>(Member{*surf, deco ? *deco : CSurfaceDecorationObj()});
  m_surfaces.push_back(std::move(m));
  return GetSurfaceNum();
}

long C3DEntity::AdoptSurface(C3DSurface* surf, const CSurfaceDecorationObj* deco) {
  if (surf == nullptr) return 0;
  // Room first, so that nothing can fail once surf's contents have moved.
  if (m_surfaces.size() == m_surfaces.capacity())
    m_surfaces.reserve(std::max<size_t>(4, 2 * m_surfaces.size()));
  auto m =
      std::make_unique<Member>(Member{std::move(*surf), deco ? *deco : CSurfaceDecorationObj()});
  m_surfaces.push_back(std::move(m));
  surf->Reset();
  return GetSurfaceNum();
}

long C3DEntity::TakeSurface(long i, C3DSurface* surf, CSurfaceDecorationObj* deco) {
  if (surf == nullptr || i < 0 || i >= GetSurfaceNum()) return 0;
  Member& m = *m_surfaces[static_cast<size_t>(i)];
  if (surf != &m.surface) {
    *surf = std::move(m.surface);
    m.surface.Reset();
  }
  if (deco) *deco = m.deco;
  return 1;
}

const C3DSurface* C3DEntity::SurfaceAt(long i) const {
  if (i < 0 || i >= GetSurfaceNum()) return nullptr;
  return &m_surfaces[static_cast<size_t>(i)]->surface;
}

const CSurfaceDecorationObj* C3DEntity::DecorationAt(long i) const {
  if (i < 0 || i >= GetSurfaceNum()) return nullptr;
  return &m_surfaces[static_cast<size_t>(i)]->deco;
}

void C3DEntity::Reset() {
  m_surfaces.clear();
}
