// KroSimpleMesh and KroCompdMesh.
#include "kromesh/mesh/KroSimpleMesh.h"

#include <algorithm>
#include <cmath>

namespace {

// Appends src to dst in one bulk insert.
template <typename T>
void AppendAll(std::vector<T>& dst, const std::vector<T>& src) {
  if (!src.empty()) dst.insert(dst.end(), src.begin(), src.end());
}

template <typename T>
void AssignIfFilled(std::vector<T>& dst, const std::vector<T>& src) {
  if (!src.empty()) dst.assign(src.begin(), src.end());
}

}  // namespace

// ---------------------------------------------------------------------------
// KroSimpleMesh

KroSimpleMesh::KroSimpleMesh() : m_materialName("BaseWhite") {}

KroSimpleMesh::KroSimpleMesh(const KroSimpleMesh& other) : KroSimpleMesh() {
  *this = other;
}

KroSimpleMesh::~KroSimpleMesh() = default;

KroSimpleMesh& KroSimpleMesh::operator=(const KroSimpleMesh& other) {
  if (this == &other) return *this;
  setNull();
  AssignIfFilled(m_positions, other.m_positions);
  AssignIfFilled(m_normals, other.m_normals);
  for (int c = 0; c < 2; ++c) AssignIfFilled(m_colours[c], other.m_colours[c]);
  for (int k = 0; k < 8; ++k) AssignIfFilled(m_texCoords[k], other.m_texCoords[k]);
  AssignIfFilled(m_triangles, other.m_triangles);
  AssignIfFilled(m_indexList, other.m_indexList);
  m_materialName = other.m_materialName;
  m_meshName = other.m_meshName;
  return *this;
}

bool KroSimpleMesh::isNull() const {
  if (!m_positions.empty() || !m_normals.empty() || !m_triangles.empty()) return false;
  for (const auto& c : m_colours)
    if (!c.empty()) return false;
  for (const auto& t : m_texCoords)
    if (!t.empty()) return false;
  return true;
}

void KroSimpleMesh::setNull() {
  m_positions.clear();
  m_normals.clear();
  for (auto& c : m_colours) c.clear();
  for (auto& t : m_texCoords) t.clear();
  m_triangles.clear();
  m_indexList.clear();
  m_materialName = "BaseWhite";
  m_meshName.clear();
}

unsigned KroSimpleMesh::getIndexBufferSize() const {
  const size_t fromTriangles = 3 * m_triangles.size();
  return static_cast<unsigned>(std::max(m_indexList.size(), fromTriangles));
}

void KroSimpleMesh::convertPostionsToLocalCoordinate(const KRO::G3D_DVertex& origin) {
  const KRO::G3D_DVertex o = origin;  // origin may be one of our positions
  for (auto& p : m_positions) {
    p.x -= o.x;
    p.y -= o.y;
    p.z -= o.z;
  }
}

void KroSimpleMesh::calculateDefaultNormals() {
  const long n = static_cast<long>(m_positions.size());
  m_normals.assign(m_positions.size(), KRO::VECTOR3{0.f, 0.f, 0.f});
  for (const auto& t : m_triangles) {
    const long i0 = t.v[0], i1 = t.v[1], i2 = t.v[2];
    // A triangle naming a missing vertex contributes nothing.
    if (i0 < 0 || i1 < 0 || i2 < 0 || i0 >= n || i1 >= n || i2 >= n) continue;
    const auto& p0 = m_positions[i0];
    const auto& p1 = m_positions[i1];
    const auto& p2 = m_positions[i2];
    const double e1x = p1.x - p0.x, e1y = p1.y - p0.y, e1z = p1.z - p0.z;
    const double e2x = p2.x - p1.x, e2y = p2.y - p1.y, e2z = p2.z - p1.z;
    double nx = e1y * e2z - e1z * e2y;
    double ny = e1z * e2x - e1x * e2z;
    double nz = e1x * e2y - e1y * e2x;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    // A zero-area triangle has no direction to give.
    if (!(len > 0.0) || !std::isfinite(len)) continue;
    nx /= len, ny /= len, nz /= len;
    for (long i : {i0, i1, i2}) {
      m_normals[i].x += static_cast<float>(nx);
      m_normals[i].y += static_cast<float>(ny);
      m_normals[i].z += static_cast<float>(nz);
    }
  }
  for (auto& v : m_normals) {
    const double len = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    // Untouched vertices, and those whose face normals cancel, get +z.
    if (!(len > 0.0)) {
      v = KRO::VECTOR3{0.f, 0.f, 1.f};
      continue;
    }
    v.x = static_cast<float>(v.x / len);
    v.y = static_cast<float>(v.y / len);
    v.z = static_cast<float>(v.z / len);
  }
}

bool KroSimpleMesh::merge(KroSimpleMesh* other) {
  if (other == nullptr) return true;
  if (other == this) {
    // Doubling a mesh: append from a copy, never from storage being grown.
    KroSimpleMesh copy(*this);
    return merge(&copy);
  }
  m_materialName = other->m_materialName;
  const long offset = static_cast<long>(m_positions.size());
  const size_t triFirst = m_triangles.size();
  const size_t idxFirst = m_indexList.size();
  AppendAll(m_positions, other->m_positions);
  AppendAll(m_normals, other->m_normals);
  for (int c = 0; c < 2; ++c) AppendAll(m_colours[c], other->m_colours[c]);
  for (int k = 0; k < 8; ++k) AppendAll(m_texCoords[k], other->m_texCoords[k]);
  AppendAll(m_triangles, other->m_triangles);
  for (size_t t = triFirst; t < m_triangles.size(); ++t)
    for (long& v : m_triangles[t].v) v += offset;
  AppendAll(m_indexList, other->m_indexList);
  for (size_t i = idxFirst; i < m_indexList.size(); ++i) m_indexList[i] += offset;
  return true;
}

// ---------------------------------------------------------------------------
// KroCompdMesh

KroCompdMesh::KroCompdMesh() : m_maxIndexBufferSize(150000) {}

KroCompdMesh::KroCompdMesh(const KroCompdMesh& other) : KroCompdMesh() {
  *this = other;
}

KroCompdMesh::~KroCompdMesh() {
  setNull();
}

KroCompdMesh& KroCompdMesh::operator=(const KroCompdMesh& other) {
  if (this == &other) return *this;
  setNull();
  m_meshes.reserve(other.m_meshes.size());
  for (const auto& m : other.m_meshes) *createSimpleMesh(m->m_meshName) = *m;
  return *this;
}

KroSimpleMesh* KroCompdMesh::createSimpleMesh(const std::string& name) {
  m_meshes.push_back(std::make_unique<KroSimpleMesh>());
  m_meshes.back()->m_meshName = name;
  return m_meshes.back().get();
}

KroSimpleMesh* KroCompdMesh::getSimpleMesh(const std::string& name) {
  for (const auto& m : m_meshes)
    if (m->m_meshName == name) return m.get();
  return nullptr;
}

KroSimpleMesh* KroCompdMesh::getSimpleMesh(unsigned index) {
  return index < m_meshes.size() ? m_meshes[index].get() : nullptr;
}

unsigned KroCompdMesh::getSimpleMeshNum() const {
  return static_cast<unsigned>(m_meshes.size());
}

void KroCompdMesh::removeSimpleMesh(unsigned index) {
  if (index < m_meshes.size()) m_meshes.erase(m_meshes.begin() + index);
}

KroSimpleMesh* KroCompdMesh::removeSimpleMeshNotDel(unsigned index) {
  if (index >= m_meshes.size()) return nullptr;
  KroSimpleMesh* mesh = m_meshes[index].release();
  m_meshes.erase(m_meshes.begin() + index);
  return mesh;
}

void KroCompdMesh::setNull() {
  m_meshes.clear();
}

unsigned KroCompdMesh::calculateIndexNum() const {
  size_t sum = 0;
  for (const auto& m : m_meshes) sum += 3 * m->m_triangles.size();
  return static_cast<unsigned>(sum);
}

void KroCompdMesh::calculateDefaultNormals() {
  for (auto& m : m_meshes) m->calculateDefaultNormals();
}

KroSimpleMesh* KroCompdMesh::getPoint(long first, long last, unsigned index) {
  KroSimpleMesh* src = getSimpleMesh(index);
  if (src == nullptr) return nullptr;
  const long n = static_cast<long>(src->m_positions.size());
  first = std::max(first, 0L);
  last = std::min(last, n);
  auto* out = new KroSimpleMesh();
  if (first < last)
    out->m_positions.assign(src->m_positions.begin() + first, src->m_positions.begin() + last);
  return out;
}

namespace {

// Merges m into the first member of target that still has room under the
// limit; false when every member is full (nothing merged).
bool MergeIntoFirstWithRoom(KroCompdMesh& target, uint32_t limit, KroSimpleMesh* m) {
  for (auto& member : target.m_meshes) {
    if (member->getIndexBufferSize() < limit) {
      member->merge(m);
      return true;
    }
  }
  return false;
}

}  // namespace

bool KroCompdMesh::merge() {
  if (m_meshes.empty()) return false;
  KroCompdMesh packed;
  for (auto& m : m_meshes) {
    if (!MergeIntoFirstWithRoom(packed, m_maxIndexBufferSize, m.get()))
      *packed.createSimpleMesh(std::string()) = *m;
  }
  if (packed.getSimpleMeshNum() == getSimpleMeshNum()) return false;
  // The packed members take the place of ours; same result as a copy.
  m_meshes.swap(packed.m_meshes);
  return true;
}

bool KroCompdMesh::merge(KroCompdMesh* other) {
  if (other == nullptr) return false;
  if (other == this) {
    // Packing a compound into itself works on a snapshot of the members.
    KroCompdMesh snapshot(*this);
    return merge(&snapshot);
  }
  if (m_meshes.empty()) {
    *this = *other;
    return true;
  }
  bool lastMerged = false;
  for (auto& m : other->m_meshes) {
    lastMerged = MergeIntoFirstWithRoom(*this, m_maxIndexBufferSize, m.get());
    if (!lastMerged) *createSimpleMesh(std::string()) = *m;
  }
  return lastMerged;
}
