// RAPID_model: triangle storage and the build of the box hierarchy.
//
// Each box is fitted to the principal axes of its triangles' area-weighted
// second moments; its triangles are split at their mean along the major
// axis. The build works in model coordinates and re-expresses every child
// relative to its parent at the end, so that the collision query composes
// one rotation and one translation per descent step.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "kromesh/Obbt/ObbtInternal.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/host/KroMessageBox.h"

namespace obbt_detail {
namespace {
std::atomic<int32_t> g_triLimit{OBBT_MAX_TRIS};  // test hook, read by every build
}  // namespace

void SetTriLimitForTesting(int32_t limit) {
  g_triLimit.store((limit <= 0 || limit > OBBT_MAX_TRIS) ? OBBT_MAX_TRIS : limit,
                   std::memory_order_relaxed);
}

int32_t TriLimit() {
  return g_triLimit.load(std::memory_order_relaxed);
}
}  // namespace obbt_detail

namespace {

using obbt_detail::SortedEigenvectors;

// --- buffers ------------------------------------------------------------------
// Boxes, triangles and build scratch are plain records held in malloc'ed
// blocks: the triangle array grows with realloc (no copy for large blocks),
// and the big build buffers ask for huge pages, which saves most of the page
// faults of a million-triangle build.

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Buffer = std::unique_ptr<T[], FreeDeleter>;

template <class T>
T* AllocRecords(std::size_t count) {
  const std::size_t bytes = count * sizeof(T);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kHuge = std::size_t(2) << 20;
  if (bytes >= 2 * kHuge) {
    const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, rounded);
    if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);
    return static_cast<T*>(p);
  }
#endif
  return static_cast<T*>(std::malloc(bytes));
}

// Area-weighted moments of one triangle, or the sum over a group. The
// symmetric second-moment matrix keeps its upper triangle only.
struct Moment {
  double area;
  double mean[3];    // centroid of a triangle; area-weighted sum in a group
  double second[6];  // xx, xy, xz, yy, yz, zz
};

// Index of (i, j), i <= j, in Moment::second.
constexpr int kSym[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};

// Sweeps after which a child's eigen solve is not trusted.
constexpr int kMaxTrustedSweeps = 30;

inline void ClearMoment(Moment& m) {
  std::memset(&m, 0, sizeof m);
}

inline void AddMoment(Moment& acc, const Moment& m) {
  acc.area += m.area;
  acc.mean[0] += m.mean[0] * m.area;
  acc.mean[1] += m.mean[1] * m.area;
  acc.mean[2] += m.mean[2] * m.area;
  for (int i = 0; i < 6; ++i) acc.second[i] += m.second[i];
}

void TriangleMoment(const ObbTri& tri, Moment& m) {
  const double* p = tri.p1;
  const double* q = tri.p2;
  const double* r = tri.p3;
  const double u[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
  const double v[3] = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
  m.area = 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (int i = 0; i < 3; ++i) m.mean[i] = (p[i] + q[i] + r[i]) / 3.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = i; j < 3; ++j) {
      const double s = p[i] * p[j] + q[i] * q[j] + r[i] * r[j];
      m.second[kSym[i][j]] = m.area != 0.0 ? m.area * (9.0 * m.mean[i] * m.mean[j] + s) / 12.0 : s;
    }
  }
}

// Mean and covariance of an accumulated group.
void GroupMeanAndCovariance(const Moment& acc, double mean[3], double cov[3][3]) {
  for (int i = 0; i < 3; ++i) mean[i] = acc.mean[i] / acc.area;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      cov[i][j] = acc.second[kSym[i][j]] - acc.mean[i] * acc.mean[j] / acc.area;
}

void SetIdentity(double r[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = i == j ? 1.0 : 0.0;
}

// Scales v to unit length; false (v untouched) when it is zero or not finite.
bool Normalise(double v[3]) {
  const double big = std::fmax(std::fabs(v[0]), std::fmax(std::fabs(v[1]), std::fabs(v[2])));
  if (!(big > 0.0) || !std::isfinite(big)) return false;
  // Scale first so that tiny vectors do not underflow when squared.
  const double w[3] = {v[0] / big, v[1] / big, v[2] / big};
  const double len = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
  for (int i = 0; i < 3; ++i) v[i] = w[i] / len;
  return true;
}

// Projects the points onto the columns of rot and fits the box: centre and
// half-extents from the per-axis minimum and maximum.
void FitBoxToRange(ObbBox& box, const double mn[3], const double mx[3]) {
  const double c[3] = {(mn[0] + mx[0]) * 0.5, (mn[1] + mx[1]) * 0.5, (mn[2] + mx[2]) * 0.5};
  for (int i = 0; i < 3; ++i) {
    box.pos[i] = box.rot[i][0] * c[0] + box.rot[i][1] * c[1] + box.rot[i][2] * c[2];
    box.halfExt[i] = (mx[i] - mn[i]) * 0.5;
  }
}

inline void Project(const double rot[3][3], const double p[3], double c[3]) {
  c[0] = rot[0][0] * p[0] + rot[1][0] * p[1] + rot[2][0] * p[2];
  c[1] = rot[0][1] * p[0] + rot[1][1] * p[1] + rot[2][1] * p[2];
  c[2] = rot[0][2] * p[0] + rot[1][2] * p[1] + rot[2][2] * p[2];
}

inline void Widen(const double c[3], double mn[3], double mx[3]) {
  for (int j = 0; j < 3; ++j) {
    if (c[j] < mn[j]) mn[j] = c[j];
    if (c[j] > mx[j]) mx[j] = c[j];
  }
}

// Leaf box of one triangle: major axis along its longest edge, third axis
// along its normal.
void FitLeaf(ObbBox& box, ObbTri& tri) {
  box.child1 = nullptr;
  box.child2 = nullptr;
  box.tri = &tri;

  const double* p1 = tri.p1;
  const double* p2 = tri.p2;
  const double* p3 = tri.p3;
  double u12[3], u23[3], u31[3];
  for (int i = 0; i < 3; ++i) {
    u12[i] = p1[i] - p2[i];
    u23[i] = p2[i] - p3[i];
    u31[i] = p3[i] - p1[i];
  }
  const double d12 = u12[0] * u12[0] + u12[1] * u12[1] + u12[2] * u12[2];
  const double d23 = u23[0] * u23[0] + u23[1] * u23[1] + u23[2] * u23[2];
  const double d31 = u31[0] * u31[0] + u31[1] * u31[1] + u31[2] * u31[2];

  double a0[3];
  const double* longest;
  if (d12 > d23) {
    longest = d12 > d31 ? u12 : u31;
  } else {
    longest = d23 > d31 ? u23 : u31;
  }
  a0[0] = longest[0];
  a0[1] = longest[1];
  a0[2] = longest[2];

  double a2[3] = {u12[1] * u23[2] - u12[2] * u23[1], u12[2] * u23[0] - u12[0] * u23[2],
                  u12[0] * u23[1] - u12[1] * u23[0]};

  if (!Normalise(a0)) {
    // All three corners coincide: any frame fits a point.
    SetIdentity(box.rot);
  } else {
    const bool tinyNormal =
        std::fabs(a2[0]) <= 1e-6 && std::fabs(a2[1]) <= 1e-6 && std::fabs(a2[2]) <= 1e-6;
    if (!tinyNormal) {
      const double len = std::sqrt(a2[0] * a2[0] + a2[1] * a2[1] + a2[2] * a2[2]);
      for (double& x : a2) x /= len;
    } else {
      // Small or sliver triangle: its normal is short and may be rounding
      // noise. Keep the frame orthonormal so the box still encloses the
      // triangle where it lies: make the normal perpendicular to a0, and
      // fall back to any perpendicular direction when nothing is left of it.
      const double along = a2[0] * a0[0] + a2[1] * a0[1] + a2[2] * a0[2];
      for (int i = 0; i < 3; ++i) a2[i] -= along * a0[i];
      if (!Normalise(a2)) {
        int k = 0;
        for (int i = 1; i < 3; ++i)
          if (std::fabs(a0[i]) < std::fabs(a0[k])) k = i;
        const double e[3] = {k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0};
        a2[0] = a0[1] * e[2] - a0[2] * e[1];
        a2[1] = a0[2] * e[0] - a0[0] * e[2];
        a2[2] = a0[0] * e[1] - a0[1] * e[0];
        Normalise(a2);
      }
    }
    const double a1[3] = {a2[1] * a0[2] - a2[2] * a0[1], a2[2] * a0[0] - a2[0] * a0[2],
                          a2[0] * a0[1] - a2[1] * a0[0]};
    for (int i = 0; i < 3; ++i) {
      box.rot[i][0] = a0[i];
      box.rot[i][1] = a1[i];
      box.rot[i][2] = a2[i];
    }
  }

  double c[3], mn[3], mx[3];
  Project(box.rot, p1, c);
  for (int j = 0; j < 3; ++j) mn[j] = mx[j] = c[j];
  Project(box.rot, p2, c);
  Widen(c, mn, mx);
  Project(box.rot, p3, c);
  Widen(c, mn, mx);
  FitBoxToRange(box, mn, mx);
}

// A box waiting to be built over idx[first .. first+count), with the
// accumulated moments of that range.
struct BuildTask {
  ObbBox* box;
  int32_t first;
  int32_t count;
  bool isRoot;
  Moment acc;
};

// Smallest model whose tree is built on several threads.
constexpr int32_t kParallelBuildMin = 16384;

class TreeBuilder {
 public:
  TreeBuilder(ObbBox* pool, ObbTri* tris, const Moment* moments, int32_t* idx)
      : pool_(pool), tris_(tris), moments_(moments), idx_(idx) {}

  // Builds the whole tree over n triangles in model coordinates, on up to
  // `threads` threads. False when a work stack could not grow.
  //
  // The top of the tree is built here; below a size the subtrees are set
  // aside, each given its own run of the pool (a subtree of c triangles
  // takes 2c - 2 boxes below its root), and built by the workers. Every box
  // gets the same shape it gets on one thread; only where the boxes sit in
  // the pool changes, and children still come after their parent.
  bool Build(int32_t n, const Moment& all, int threads) {
    const bool parallel = threads > 1 && n >= kParallelBuildMin;
    const int32_t cutoff = parallel ? std::max<int32_t>(1024, n / (8 * threads)) : 0;
    std::vector<BuildTask> deferred;
    try {
      stack_.reserve(64);
      stack_.push_back(BuildTask{&pool_[0], 0, n, true, all});
      while (!stack_.empty()) {
        const BuildTask task = stack_.back();
        stack_.pop_back();
        if (task.count <= cutoff)
          deferred.push_back(task);
        else
          BuildBox(task);
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (deferred.empty()) return true;

    std::vector<int32_t> firstBox(deferred.size());
    int32_t next = nextBox_;
    for (size_t k = 0; k < deferred.size(); ++k) {
      firstBox[k] = next;
      next += 2 * deferred[k].count - 2;
    }
    nextBox_ = next;
    std::atomic<size_t> taken{0};
    std::atomic<bool> failed{false};
    auto work = [&]() {
      TreeBuilder sub(pool_, tris_, moments_, idx_);
      try {
        for (size_t k = taken++; k < deferred.size(); k = taken++) {
          sub.nextBox_ = firstBox[k];
          sub.stack_.push_back(deferred[k]);
          while (!sub.stack_.empty()) {
            const BuildTask task = sub.stack_.back();
            sub.stack_.pop_back();
            sub.BuildBox(task);
          }
        }
      } catch (const std::bad_alloc&) {
        failed = true;
      }
    };
    RunOnObbtThreads(threads, work);
    return !failed;
  }

  // Re-expresses every child relative to its parent. Children always sit
  // after their parent in the pool, so walking the pool backwards converts a
  // box's children while the box itself is still in model coordinates.
  void MakeRelative() {
    for (int32_t i = nextBox_ - 1; i >= 0; --i) {
      const ObbBox& parent = pool_[i];
      if (parent.IsLeaf()) continue;
      ToParentFrame(parent, *parent.child1);
      ToParentFrame(parent, *parent.child2);
    }
  }

 private:
  static void ToParentFrame(const ObbBox& parent, ObbBox& child) {
    const auto& R = parent.rot;
    double rot[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        rot[i][j] =
            R[0][i] * child.rot[0][j] + R[1][i] * child.rot[1][j] + R[2][i] * child.rot[2][j];
    const double d[3] = {child.pos[0] - parent.pos[0], child.pos[1] - parent.pos[1],
                         child.pos[2] - parent.pos[2]};
    double pos[3];
    for (int i = 0; i < 3; ++i) pos[i] = R[0][i] * d[0] + R[1][i] * d[1] + R[2][i] * d[2];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) child.rot[i][j] = rot[i][j];
      child.pos[i] = pos[i];
    }
  }

  void BuildBox(const BuildTask& task) {
    ObbBox& box = *task.box;
    if (task.count == 1) {
      FitLeaf(box, tris_[idx_[task.first]]);
      return;
    }
    double cov[3][3];
    GroupMeanAndCovariance(task.acc, box.pos, cov);
    const int sweeps = SortedEigenvectors(cov, box.rot);
    // The root keeps whatever a slow solve found; a solve that did not
    // converge at all leaves no axes, and then any box gets the identity.
    if (sweeps > kMaxTrustedSweeps && (!task.isRoot || sweeps >= 50)) SetIdentity(box.rot);
    Split(box, task.first, task.count);
  }

  // Splits the box's range at the mean along its major axis, fits the box,
  // and queues its two children (the first child on top).
  void Split(ObbBox& box, int32_t first, int32_t n) {
    int32_t* t = idx_ + first;
    const double axis[3] = {box.rot[0][0], box.rot[1][0], box.rot[2][0]};
    const double axdmp = axis[0] * box.pos[0] + axis[1] * box.pos[1] + axis[2] * box.pos[2];

    double mn[3], mx[3], c[3];
    Project(box.rot, tris_[t[0]].p1, c);
    for (int j = 0; j < 3; ++j) mn[j] = mx[j] = c[j];

    Moment m1, m2;
    ClearMoment(m1);
    ClearMoment(m2);
    int32_t c1 = 0;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t k = t[i];
      const ObbTri& tri = tris_[k];
      Project(box.rot, tri.p1, c);
      Widen(c, mn, mx);
      Project(box.rot, tri.p2, c);
      Widen(c, mn, mx);
      Project(box.rot, tri.p3, c);
      Widen(c, mn, mx);

      const Moment& m = moments_[k];
      const double x = axis[0] * m.mean[0] + axis[1] * m.mean[1] + axis[2] * m.mean[2];
      // A centroid at the mean goes to the second group; of two triangles
      // the first always goes to the first group.
      if ((x < axdmp && n != 2) || (n == 2 && i == 0)) {
        AddMoment(m1, m);
        t[i] = t[c1];
        t[c1] = k;
        ++c1;
      } else {
        AddMoment(m2, m);
      }
    }
    if (c1 == 0 || c1 == n) {
      // No split along the axis (all centroids on one side): halve by order.
      c1 = n / 2;
      ClearMoment(m1);
      ClearMoment(m2);
      for (int32_t i = 0; i < c1; ++i) AddMoment(m1, moments_[t[i]]);
      for (int32_t i = c1; i < n; ++i) AddMoment(m2, moments_[t[i]]);
    }

    FitBoxToRange(box, mn, mx);
    box.tri = nullptr;
    box.child1 = &pool_[nextBox_++];
    box.child2 = &pool_[nextBox_++];

    stack_.push_back(BuildTask{box.child2, first + c1, n - c1, false, m2});
    stack_.push_back(BuildTask{box.child1, first, c1, false, m1});
  }

  ObbBox* pool_;
  ObbTri* tris_;
  const Moment* moments_;
  int32_t* idx_;
  int32_t nextBox_ = 1;  // box 0 is the root
  std::vector<BuildTask> stack_;
};

}  // namespace

RAPID_model::~RAPID_model() {
  FreeStorage();
  obbt_detail::FreeContacts();
}

void RAPID_model::FreeStorage() {
  std::free(boxes);
  std::free(tris);
  boxes = nullptr;
  tris = nullptr;
  boxesAllocated = 0;
  triCount = 0;
  trisAllocated = 0;
}

int RAPID_model::ResetModel() {
  const bool wasBuilding = buildState == OBBT_STATE_BUILDING;
  FreeStorage();
  buildState = OBBT_STATE_BUILDING;
  return wasBuilding ? OBBT_WRONG_ORDER : OBBT_OK;
}

int RAPID_model::AppendTri(const double* p1, const double* p2, const double* p3, long id) {
  if (buildState == OBBT_STATE_BUILT) return OBBT_WRONG_ORDER;
  if (p1 == nullptr || p2 == nullptr || p3 == nullptr) return OBBT_NULL_ARGUMENT;
  if (id < INT32_MIN || id > INT32_MAX) return OBBT_BAD_ID;
  const int32_t limit = obbt_detail::TriLimit();
  if (triCount >= limit) return OBBT_TOO_MANY_TRIS;

  if (triCount == trisAllocated) {
    int32_t capacity =
        trisAllocated == 0 ? 1 : (trisAllocated > limit / 2 ? limit : trisAllocated * 2);
    void* grown = std::realloc(tris, sizeof(ObbTri) * static_cast<std::size_t>(capacity));
    if (grown == nullptr) return OBBT_NO_MEMORY;  // the old array stays valid
    tris = static_cast<ObbTri*>(grown);
    trisAllocated = capacity;
  }
  ObbTri& t = tris[triCount];
  t.id = static_cast<int32_t>(id);
  std::memcpy(t.p1, p1, sizeof t.p1);
  std::memcpy(t.p2, p2, sizeof t.p2);
  std::memcpy(t.p3, p3, sizeof t.p3);
  ++triCount;
  return OBBT_OK;
}

int RAPID_model::ReserveTris(long n) {
  if (n <= trisAllocated) return OBBT_OK;
  const int32_t capacity = static_cast<int32_t>(std::min<long>(n, obbt_detail::TriLimit()));
  if (capacity <= trisAllocated) return OBBT_OK;
  void* grown = std::realloc(tris, sizeof(ObbTri) * static_cast<std::size_t>(capacity));
  if (grown == nullptr) return OBBT_NO_MEMORY;
  tris = static_cast<ObbTri*>(grown);
  trisAllocated = capacity;
  return OBBT_OK;
}

int RAPID_model::FinishModel() {
  // Triangles cannot change once built, so the existing tree is current.
  if (buildState == OBBT_STATE_BUILT && boxes != nullptr) return OBBT_OK;
  if (triCount == 0) return OBBT_EMPTY;
  const int32_t n = triCount;

  Buffer<ObbBox> pool(AllocRecords<ObbBox>(2 * static_cast<std::size_t>(n)));
  if (!pool) return OBBT_NO_MEMORY;
  Buffer<Moment> moments(AllocRecords<Moment>(static_cast<std::size_t>(n)));
  if (!moments) return OBBT_NO_MEMORY;

  bool anyZero = false;
  double minArea = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    TriangleMoment(tris[i], moments[i]);
    const double a = moments[i].area;
    if (a == 0.0) {
      anyZero = true;
    } else if (a > 0.0 && (minArea == 0.0 || a < minArea)) {
      minArea = a;
    }
  }
  if (anyZero) {
    KroWarning("Warning!  Some triangles have zero area!");
    // Degenerate triangles still need a weight so that every group has a
    // mean; borrow the smallest real one.
    const double repair = minArea != 0.0 ? minArea : 1.0;
    for (int32_t i = 0; i < n; ++i)
      if (moments[i].area == 0.0) moments[i].area = repair;
  }

  Moment all;
  ClearMoment(all);
  for (int32_t i = 0; i < n; ++i) AddMoment(all, moments[i]);

  Buffer<int32_t> idx(AllocRecords<int32_t>(static_cast<std::size_t>(n)));
  if (!idx) return OBBT_NO_MEMORY;
  for (int32_t i = 0; i < n; ++i) idx[i] = i;

  TreeBuilder builder(pool.get(), tris, moments.get(), idx.get());
  if (!builder.Build(n, all, GetObbtThreadCount())) return OBBT_NO_MEMORY;
  builder.MakeRelative();

  std::free(boxes);
  boxes = pool.release();
  boxesAllocated = 2 * n;
  buildState = OBBT_STATE_BUILT;
  return OBBT_OK;
}

int RAPID_model::GetTriVertices(double out[9], long index) const {
  if (out == nullptr || index < 0 || index >= triCount) return -1;
  const ObbTri& t = tris[index];
  std::memcpy(out, t.p1, sizeof t.p1);
  std::memcpy(out + 3, t.p2, sizeof t.p2);
  std::memcpy(out + 6, t.p3, sizeof t.p3);
  return 1;
}

int RAPID_model::GetRootObb(double centre[3], double halfExt[3], double rot[9]) const {
  if (centre == nullptr || halfExt == nullptr || rot == nullptr) return -1;
  if (buildState != OBBT_STATE_BUILT || boxes == nullptr) return -1;
  const ObbBox& root = boxes[0];
  std::memcpy(centre, root.pos, sizeof root.pos);
  std::memcpy(halfExt, root.halfExt, sizeof root.halfExt);
  std::memcpy(rot, root.rot, sizeof root.rot);
  return 1;
}
