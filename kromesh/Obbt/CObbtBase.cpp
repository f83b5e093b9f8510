#include "kromesh/Obbt/CObbtBase.h"

#include <cstring>
#include <new>

#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroMessageBox.h"
#include "kromesh/mesh/KroMeshConvert.h"
#include "kromesh/organize/CMeshOrganize.h"

namespace {

constexpr double kBoxStartMin = 1.79769313486232e+307;
constexpr double kBoxStartMax = -1.79769313486232e+307;

// "内存申请失败!" (memory allocation failed) in the GBK code page, the
// encoding of the host's dialogs.
constexpr char kMsgAllocFailed[] = "\xC4\xDA\xB4\xE6\xC9\xEA\xC7\xEB\xCA\xA7\xB0\xDC!";

bool IsBuilt(const RAPID_model* m) {
  return m != nullptr && m->IsBuilt();
}

// A copy of an organizer of the same kind (null when memory runs out).
std::shared_ptr<CMeshOrganizeBase> CloneOrganizer(const CMeshOrganizeBase& org) {
  try {
    if (auto* e = dynamic_cast<const CMeshOrganizeEntity*>(&org)) {
      return std::make_shared<CMeshOrganizeEntity>(*e);
    }
    if (auto* s = dynamic_cast<const CMeshOrganizeSurf*>(&org)) {
      return std::make_shared<CMeshOrganizeSurf>(*s);
    }
    return std::make_shared<CMeshOrganizeBase>(org);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// True when tree is built over exactly the triangles of mesh, in order, with
// ids 0, 1, ...: the tree a build over mesh would make.
bool TreeHoldsMesh(const RAPID_model& tree, const KroSimpleMesh& mesh) {
  const long nt = static_cast<long>(mesh.m_triangles.size());
  if (!IsBuilt(&tree) || tree.GetTriCount() != nt || nt == 0) return false;
  for (long i = 0; i < nt; ++i) {
    if (tree.GetTriId(i) != i) return false;
    double corners[9];
    tree.GetTriVertices(corners, i);
    for (int k = 0; k < 3; ++k) {
      const KRO::G3D_DVertex& v = mesh.m_positions[mesh.m_triangles[i].v[k]];
      if (std::memcmp(corners + 3 * k, &v.x, 3 * sizeof(double)) != 0) return false;
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Lifetime

CObbtBase::CObbtBase()
    : m_meshType(Kro_Mesh_Surface),
      m_meshBox{0, 0, 0, 0, 0, 0},
      m_refDot{0, 0, 0},
      m_dataPrec(KRO_DEFAULT_PRECISION) {
  CreateObbtObj();
}

struct CObbtBase::MeshBuffers {
  std::vector<KRO::G3D_DVertex> positions;
  std::vector<C3DTriData> triangles;
};

// A copy shares the tree, but not the buffer holder: the shared tree reads
// other's mesh, which only other may hand over.
CObbtBase::CObbtBase(const CObbtBase& other)
    : m_meshType(other.m_meshType),
      m_pObbtModel(other.m_pObbtModel),
      m_meshBox(other.m_meshBox),
      m_refDot(other.m_refDot),
      m_dataPrec(other.m_dataPrec),
      m_pMeshOrganize(other.m_pMeshOrganize),
      m_srcMesh(other.m_srcMesh),
      m_offeredTree(other.m_offeredTree) {}

CObbtBase& CObbtBase::operator=(const CObbtBase& other) {
  if (this == &other) return *this;
  HandOverMeshBuffers();  // the copy-assignment below may reuse them in place
  m_meshType = other.m_meshType;
  m_pObbtModel = other.m_pObbtModel;
  m_meshBox = other.m_meshBox;
  m_refDot = other.m_refDot;
  m_dataPrec = other.m_dataPrec;
  m_pMeshOrganize = other.m_pMeshOrganize;
  m_srcMesh = other.m_srcMesh;
  m_offeredTree = other.m_offeredTree;
  // m_bufferHolder stays this wrapper's own (empty) holder.
  return *this;
}

CObbtBase::~CObbtBase() {
  // The model goes first: its organizer may still point at it.
  DeleteObbtObj();
  m_pMeshOrganize.reset();
}

void CObbtBase::HandOverMeshBuffers() noexcept {
  if (!m_pObbtModel || m_pObbtModel.use_count() < 2 || !m_bufferHolder) return;
  const double* points = m_pObbtModel->AttachedPoints();
  if (points == nullptr || m_srcMesh.m_positions.empty() || points != &m_srcMesh.m_positions[0].x)
    return;
  // Swapping moves the blocks themselves: the tree's pointers stay valid.
  m_bufferHolder->positions.swap(m_srcMesh.m_positions);
  m_bufferHolder->triangles.swap(m_srcMesh.m_triangles);
  m_pObbtModel->KeepAlive(std::move(m_bufferHolder));  // leaves m_bufferHolder null
}

void CObbtBase::ClearSrcMesh() {
  HandOverMeshBuffers();
  m_srcMesh.setNull();
  m_srcMesh.m_triangleTops.clear();
}

void CObbtBase::CreateObbtObj() {
  if (m_pObbtModel) DeleteObbtObj();
  RAPID_model* model = new (std::nothrow) RAPID_model();
  if (model == nullptr) return;
  model->ResetModel();
  m_pObbtModel.reset(model);
}

void CObbtBase::DeleteObbtObj() {
  HandOverMeshBuffers();
  m_pObbtModel.reset();
}

void CObbtBase::SetMeshOrganizeObj(CMeshOrganizeBase* organizer) {
  m_pMeshOrganize.reset(organizer);
}

bool CObbtBase::PrepareModelForBuild() {
  if (!m_pObbtModel) return false;
  const bool fresh =
      m_pObbtModel->GetBuildState() == OBBT_STATE_BUILDING && m_pObbtModel->GetTriCount() == 0;
  const bool shared = m_pObbtModel.use_count() > 1;
  if (fresh && !shared) return true;
  if (shared) {
    // Copies keep their tree: this wrapper takes a model (and an organizer)
    // of its own before it fills anything.
    CreateObbtObj();
    if (!m_pObbtModel) return false;
    if (m_pMeshOrganize) {
      std::shared_ptr<CMeshOrganizeBase> own = CloneOrganizer(*m_pMeshOrganize);
      if (own) m_pMeshOrganize = std::move(own);
    }
  } else {
    // Reset in place: an organizer holding this model stays valid.
    m_pObbtModel->ResetModel();
  }
  // Whatever the organizer was pointed at (the old tree, the mesh about to be
  // replaced) must not be read any more; the subclass builds point it again.
  if (m_pMeshOrganize) m_pMeshOrganize->SetObbtObj(nullptr, nullptr, 0, nullptr, 0);
  return true;
}

// ---------------------------------------------------------------------------
// Building

long CObbtBase::Add1TriToObbt(const double* p1, const double* p2, const double* p3, long id) {
  if (!m_pObbtModel) return -1;
  return m_pObbtModel->AppendTri(p1, p2, p3, id);
}

long CObbtBase::BuildObbt() {
  if (!m_pObbtModel) return -1;
  const long status = m_pObbtModel->FinishModel();
  CalMeshAABB();
  return status;
}

long CObbtBase::BuildMeshObbt(KroSimpleMesh* mesh) {
  if (mesh == nullptr || !m_pObbtModel) return -1;
  if (mesh != &m_srcMesh) {
    HandOverMeshBuffers();
    m_srcMesh = *mesh;
    m_srcMesh.m_triangleTops = mesh->m_triangleTops;  // not part of the mesh's own copy
  }
  if (!PrepareModelForBuild()) return -1;
  // Every vertex index is checked before anything is added: a bad index
  // would otherwise read outside the position array. Such a mesh leaves an
  // empty, unbuilt model (and CheckMesh reports it).
  const long nv = static_cast<long>(m_srcMesh.m_positions.size());
  for (const C3DTriData& t : m_srcMesh.m_triangles) {
    for (long v : t.v) {
      if (v < 0 || v >= nv) {
        CalMeshAABB();
        return -1;
      }
    }
  }
  const long nt = static_cast<long>(m_srcMesh.m_triangles.size());
  std::shared_ptr<RAPID_model> offered = std::move(m_offeredTree);
  m_offeredTree.reset();
  if (offered && TreeHoldsMesh(*offered, m_srcMesh)) {
    m_pObbtModel = std::move(offered);
    CalMeshAABB();
    return OBBT_OK;
  }
  // The tree reads this wrapper's mesh in place instead of a copy of it.
  static_assert(
      sizeof(KRO::G3D_DVertex) == 3 * sizeof(double) && sizeof(C3DTriData) == 3 * sizeof(long),
      "positions and triangles are plain runs of doubles and indices");
  if (nt > 0) {
    if (!m_bufferHolder) {
      try {
        m_bufferHolder = std::make_shared<MeshBuffers>();
      } catch (const std::bad_alloc&) {
        CalMeshAABB();
        return OBBT_NO_MEMORY;
      }
    }
    const long status = m_pObbtModel->AttachMesh(&m_srcMesh.m_positions[0].x, nv,
                                                 &m_srcMesh.m_triangles[0].v[0], nt);
    if (status != OBBT_OK) {
      CalMeshAABB();
      return status;
    }
  }
  return BuildObbt();
}

long CObbtBase::BuildMeshObbt(C3DEntity* ent) {
  if (ent == nullptr || !m_pObbtModel) return -1;
  ClearSrcMesh();
  C3DEntityToASimpleMesh(ent, &m_srcMesh);
  return BuildMeshObbt(&m_srcMesh);
}

long CObbtBase::BuildMeshObbt(C3DSurface* surf) {
  if (surf == nullptr || !m_pObbtModel) return -1;
  ClearSrcMesh();
  C3DSurfaceToASimpleMesh(surf, &m_srcMesh);
  return BuildMeshObbt(&m_srcMesh);
}

long CObbtBase::BuildMeshObbt(KroPntStrcT* pnts, long pntNum, KroNetStrcT* nets, long netNum) {
  if (pnts == nullptr || nets == nullptr || pntNum < 0 || netNum < 0 || !m_pObbtModel) return -1;
  ClearSrcMesh();
  KroSurfBufToASimpleMesh(pnts, pntNum, nets, netNum, &m_srcMesh);
  return BuildMeshObbt(&m_srcMesh);
}

long CObbtBase::BuildRawTriangles(const double* p1s, const double* p2s, const double* p3s,
                                  long stride, long triNum) {
  if (!PrepareModelForBuild()) return -1;
  for (long i = 0; i < triNum; ++i) {
    const long status = Add1TriToObbt(p1s + stride * i, p2s + stride * i, p3s + stride * i, i);
    if (status != OBBT_OK) return status;
  }
  return BuildObbt();
}

long CObbtBase::BuildMeshObbt(const double* tris, long triNum) {
  if (!m_pObbtModel || tris == nullptr || triNum < 1) return -1;
  return BuildRawTriangles(tris, tris + 3, tris + 6, 9, triNum);
}

long CObbtBase::BuildMeshObbt(const double* p1s, const double* p2s, const double* p3s,
                              long triNum) {
  if (!m_pObbtModel || p1s == nullptr || p2s == nullptr || p3s == nullptr || triNum < 1) {
    return -1;
  }
  return BuildRawTriangles(p1s, p2s, p3s, 3, triNum);
}

long CObbtBase::BuildDiscDotsObbt(const double* dots, long dotNum) {
  const long triNum = dotNum / 3;
  if (triNum < 1) return 0;
  return BuildMeshObbt(dots, triNum);
}

// ---------------------------------------------------------------------------
// Queries

long CObbtBase::CalMeshAABB() {
  if (!m_pObbtModel) return -1;
  tctagD3ConvexBox box{kBoxStartMin, kBoxStartMax, kBoxStartMin,
                       kBoxStartMax, kBoxStartMin, kBoxStartMax};
  const long n = m_pObbtModel->GetTriCount();
  double v[9];
  for (long i = 0; i < n; ++i) {
    if (m_pObbtModel->GetTriVertices(v, i) != 1) continue;
    for (int k = 0; k < 3; ++k) {
      const double* p = v + 3 * k;
      if (p[0] < box.xmin) box.xmin = p[0];
      if (p[0] > box.xmax) box.xmax = p[0];
      if (p[1] < box.ymin) box.ymin = p[1];
      if (p[1] > box.ymax) box.ymax = p[1];
      if (p[2] < box.zmin) box.zmin = p[2];
      if (p[2] > box.zmax) box.zmax = p[2];
    }
  }
  m_meshBox = box;
  return 1;
}

long CObbtBase::CheckMesh() {
  const long nv = static_cast<long>(m_srcMesh.m_positions.size());
  const long nt = static_cast<long>(m_srcMesh.m_triangles.size());
  for (const C3DTriData& t : m_srcMesh.m_triangles) {
    for (long v : t.v) {
      if (v < 0 || v >= nv) return 0;
    }
  }
  const long ntops = static_cast<long>(m_srcMesh.m_triangleTops.size());
  for (long i = 0; i < nt && i < ntops; ++i) {
    const C3DTriaTop& top = m_srcMesh.m_triangleTops[i];
    for (int k = 0; k < 3; ++k) {
      if (top.n[k] < 0 || top.n[k] >= nt) return k == 2 ? -1 : 0;
    }
  }
  return 1;
}

long CObbtBase::GetTriNumFromObbt() {
  if (!m_pObbtModel) return -1;
  return m_pObbtModel->GetTriCount();
}

long CObbtBase::GetTriDotFromObbt(KRO::G3D_DVertex* out, long i) {
  if (!m_pObbtModel || out == nullptr || i < 0 || i >= m_pObbtModel->GetTriCount()) return -1;
  double v[9];
  if (m_pObbtModel->GetTriVertices(v, i) != 1) return -1;
  for (int k = 0; k < 3; ++k) out[k] = {v[3 * k], v[3 * k + 1], v[3 * k + 2]};
  return 1;
}

long CObbtBase::GetObbOfModel(KRO::G3D_DVertex* centre, double* halfExt, KRO::G3D_DVertex* rows) {
  if (!IsBuilt(m_pObbtModel.get()) || centre == nullptr || halfExt == nullptr || rows == nullptr) {
    return -1;
  }
  double c[3], e[3], r[9];
  if (m_pObbtModel->GetRootObb(c, e, r) != 1) return -1;
  *centre = {c[0], c[1], c[2]};
  for (int k = 0; k < 3; ++k) {
    halfExt[k] = e[k];
    rows[k] = {r[3 * k], r[3 * k + 1], r[3 * k + 2]};
  }
  return 1;
}

long CObbtBase::Get8VertexOfOBB(KRO::G3D_DVertex* const out) {
  if (out == nullptr) {
    AfxMessageBox(kMsgAllocFailed);
    return -1;
  }
  KRO::G3D_DVertex c, rows[3];
  double e[3];
  if (GetObbOfModel(&c, e, rows) != 1) return -1;
  const KRO::G3D_DVertex A{e[0] * rows[0].x, e[0] * rows[0].y, e[0] * rows[0].z};
  const KRO::G3D_DVertex B{e[1] * rows[1].x, e[1] * rows[1].y, e[1] * rows[1].z};
  const KRO::G3D_DVertex C{e[2] * rows[2].x, e[2] * rows[2].y, e[2] * rows[2].z};
  // Signs of A, B, C per corner: the top face (+C) first, then the bottom.
  static const int kSign[8][3] = {{-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1},
                                  {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
  for (int k = 0; k < 8; ++k) {
    const double a = kSign[k][0], b = kSign[k][1], s = kSign[k][2];
    out[k] = {c.x + a * A.x + b * B.x + s * C.x, c.y + a * A.y + b * B.y + s * C.y,
              c.z + a * A.z + b * B.z + s * C.z};
  }
  return 1;
}

long CObbtBase::Get4VertexOfOBB(KRO::G3D_DVertex* const out) {
  if (out == nullptr) return -1;
  KRO::G3D_DVertex k8[8];
  if (Get8VertexOfOBB(k8) != 1) return -1;
  static const int kPair[4][2] = {{0, 3}, {1, 2}, {5, 6}, {4, 7}};
  for (int i = 0; i < 4; ++i) {
    const KRO::G3D_DVertex& p = k8[kPair[i][0]];
    const KRO::G3D_DVertex& q = k8[kPair[i][1]];
    out[i] = {(p.x + q.x) * 0.5, (p.y + q.y) * 0.5, (p.z + q.z) * 0.5};
  }
  return 1;
}

void CObbtBase::SetMeshType(Kro_Mesh_Type type) {
  m_meshType = type;
  if (m_pMeshOrganize) m_pMeshOrganize->SetMeshType(type);
}

long CObbtBase::SetDataPrec(double prec) {
  m_dataPrec = prec;
  return 1;
}

long CObbtBase::GetDataPrec(double& prec) const {
  prec = m_dataPrec;
  return 1;
}
