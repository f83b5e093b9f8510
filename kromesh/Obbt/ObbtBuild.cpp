// RAPID_model: triangle storage and the build of the box hierarchy.
//
// Each box is fitted to the principal axes of its triangles' area-weighted
// second moments; its triangles are split at their mean along the major
// axis until a box holds OBBT_LEAF_TRIS or fewer. Boxes are computed in
// doubles from the model's origin and stored in floats: the axes are
// rounded first and the box is measured along the rounded axes, then its
// half-extents are rounded up and widened for what the rounding of the axes
// and the centre can leave out.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
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
// The moments, the largest build scratch, sit in one malloc'ed block that
// asks for huge pages, which saves most of the page faults of a
// million-triangle build.

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

// Moments of triangle (p, q, r), its corners taken from the model's origin.
void TriangleMoment(const double* p, const double* q, const double* r, Moment& m) {
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

inline void SetIdentity(double r[3][3]) {
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

// Frame of one triangle: major axis along its longest edge, third axis
// along its normal.
void TriangleFrame(const double* p1, const double* p2, const double* p3, double rot[3][3]) {
  double u12[3], u23[3], u31[3];
  for (int i = 0; i < 3; ++i) {
    u12[i] = p1[i] - p2[i];
    u23[i] = p2[i] - p3[i];
    u31[i] = p3[i] - p1[i];
  }
  const double d12 = u12[0] * u12[0] + u12[1] * u12[1] + u12[2] * u12[2];
  const double d23 = u23[0] * u23[0] + u23[1] * u23[1] + u23[2] * u23[2];
  const double d31 = u31[0] * u31[0] + u31[1] * u31[1] + u31[2] * u31[2];
  const double* longest;
  if (d12 > d23) {
    longest = d12 > d31 ? u12 : u31;
  } else {
    longest = d23 > d31 ? u23 : u31;
  }
  double a0[3] = {longest[0], longest[1], longest[2]};
  double a2[3] = {u12[1] * u23[2] - u12[2] * u23[1], u12[2] * u23[0] - u12[0] * u23[2],
                  u12[0] * u23[1] - u12[1] * u23[0]};
  if (!Normalise(a0)) {
    SetIdentity(rot);  // all three corners coincide: any frame fits a point
    return;
  }
  const bool tinyNormal =
      std::fabs(a2[0]) <= 1e-6 && std::fabs(a2[1]) <= 1e-6 && std::fabs(a2[2]) <= 1e-6;
  if (!tinyNormal) {
    const double len = std::sqrt(a2[0] * a2[0] + a2[1] * a2[1] + a2[2] * a2[2]);
    for (double& x : a2) x /= len;
  } else {
    // Small or sliver triangle: its normal is short and may be rounding
    // noise. Keep the frame orthonormal: make the normal perpendicular to
    // a0, and fall back to any perpendicular direction when nothing is left.
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
    rot[i][0] = a0[i];
    rot[i][1] = a1[i];
    rot[i][2] = a2[i];
  }
}

// Coordinates along the columns of rot.
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

inline float RoundUp(double x) {
  float f = static_cast<float>(x);
  if (static_cast<double>(f) < x) f = std::nextafter(f, std::numeric_limits<float>::infinity());
  return f;
}

// Rounds the axes to floats (ax gets the rounded axes back as doubles, the
// ones every box is measured along).
void RoundAxes(const double rot[3][3], ObbNode& node, double ax[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      node.rot[i][j] = static_cast<float>(rot[i][j]);
      ax[i][j] = node.rot[i][j];
    }
}

// Sets the centre and half-extents of node from the range [mn, mx] of its
// corners' coordinates along the rounded axes ax (corners taken from the
// origin, whose largest coordinate is `far`).
void StoreBox(ObbNode& node, const double ax[3][3], const double mn[3], const double mx[3],
              double far) {
  double c[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    const double mid = (mn[k] + mx[k]) * 0.5;
    for (int i = 0; i < 3; ++i) c[i] += mid * ax[i][k];
  }
  double cf[3], big = far;
  for (int i = 0; i < 3; ++i) {
    node.pos[i] = static_cast<float>(c[i]);
    cf[i] = node.pos[i];
    big = std::fmax(big, std::fabs(cf[i]));
  }
  double along[3], h[3];
  Project(ax, cf, along);
  for (int k = 0; k < 3; ++k) h[k] = std::fmax(mx[k] - along[k], along[k] - mn[k]);
  // The rounded axes are orthonormal only to about 1e-7: a point measured
  // within h along them lies within h plus that much of the box's size in
  // the box they span; the rest covers the rounding of the measurements.
  const double slack = 1e-6 * (h[0] + h[1] + h[2]) + 1e-14 * big;
  for (int k = 0; k < 3; ++k) node.halfExt[k] = RoundUp(h[k] + slack);
}

// A box waiting to be built over idx[first .. first+count), with the
// accumulated moments of that range.
struct BuildTask {
  int32_t node;
  int32_t first;
  int32_t count;
  bool isRoot;
  Moment acc;
};

// Smallest model whose tree is built on several threads.
constexpr int32_t kParallelBuildMin = 16384;

class TreeBuilder {
 public:
  // Corners are read from model and taken from origin (the model's).
  TreeBuilder(const RAPID_model& model, const double* origin, const Moment* moments, int32_t* idx,
              std::vector<ObbNode>& nodes)
      : model_(model), origin_(origin), moments_(moments), idx_(idx), nodes_(nodes) {
    far_ = std::fmax(std::fabs(origin[0]), std::fmax(std::fabs(origin[1]), std::fabs(origin[2])));
  }

  // Builds the whole tree over n triangles on up to `threads` threads.
  // Throws std::bad_alloc.
  //
  // The top of the tree is built here; below a size the subtrees are set
  // aside, built by the workers into lists of their own and then appended.
  // Every box gets the shape it gets on one thread; only where the nodes sit
  // changes, and children still come after their parent.
  void Build(int32_t n, const Moment& all, int threads) {
    const bool parallel = threads > 1 && n >= kParallelBuildMin;
    const int32_t cutoff = parallel ? std::max<int32_t>(1024, n / (8 * threads)) : 0;
    std::vector<BuildTask> deferred;
    nodes_.emplace_back();
    stack_.push_back(BuildTask{0, 0, n, true, all});
    while (!stack_.empty()) {
      const BuildTask task = stack_.back();
      stack_.pop_back();
      if (task.count <= cutoff)
        deferred.push_back(task);
      else
        BuildNode(task);
    }
    if (deferred.empty()) return;

    std::vector<std::vector<ObbNode>> built(deferred.size());
    std::atomic<size_t> taken{0};
    std::atomic<bool> failed{false};
    auto work = [&]() {
      try {
        for (size_t k = taken++; k < deferred.size(); k = taken++) {
          TreeBuilder sub(model_, origin_, moments_, idx_, built[k]);
          BuildTask task = deferred[k];
          task.node = 0;
          sub.nodes_.emplace_back();
          sub.stack_.push_back(task);
          while (!sub.stack_.empty()) {
            const BuildTask t = sub.stack_.back();
            sub.stack_.pop_back();
            sub.BuildNode(t);
          }
        }
      } catch (const std::bad_alloc&) {
        failed = true;
      }
    };
    RunOnObbtThreads(threads, work);
    if (failed) throw std::bad_alloc();

    size_t total = nodes_.size();
    for (const auto& b : built) total += b.size() - 1;
    nodes_.reserve(total);
    for (size_t k = 0; k < deferred.size(); ++k) {
      // Local node j > 0 lands at offset + j - 1; local 0 fills the slot
      // the top of the tree kept for it.
      const int32_t offset = static_cast<int32_t>(nodes_.size());
      for (size_t j = 0; j < built[k].size(); ++j) {
        ObbNode node = built[k][j];
        if (!node.IsLeaf()) node.child += offset - 1;
        if (j == 0)
          nodes_[static_cast<size_t>(deferred[k].node)] = node;
        else
          nodes_.push_back(node);
      }
      std::vector<ObbNode>().swap(built[k]);
    }
  }

 private:
  void Corner(int32_t tri, int k, double p[3]) const {
    const double* v = model_.Corner(tri, k);
    for (int i = 0; i < 3; ++i) p[i] = v[i] - origin_[i];
  }

  void BuildNode(const BuildTask& task) {
    double rot[3][3];
    if (task.count == 1) {
      double p[3][3];
      for (int k = 0; k < 3; ++k) Corner(idx_[task.first], k, p[k]);
      TriangleFrame(p[0], p[1], p[2], rot);
    } else {
      double mean[3], cov[3][3];
      GroupMeanAndCovariance(task.acc, mean, cov);
      const int sweeps = SortedEigenvectors(cov, rot);
      // The root keeps whatever a slow solve found; a solve that did not
      // converge at all leaves no axes, and then any box gets the identity.
      if (sweeps > kMaxTrustedSweeps && (!task.isRoot || sweeps >= 50)) SetIdentity(rot);
    }
    ObbNode node;
    double ax[3][3];
    RoundAxes(rot, node, ax);
    if (task.count <= OBBT_LEAF_TRIS) {
      double mn[3], mx[3];
      Measure(ax, task.first, task.count, mn, mx);
      StoreBox(node, ax, mn, mx, far_);
      node.child = task.first;
      node.count = task.count;
      nodes_[static_cast<size_t>(task.node)] = node;
      return;
    }
    Split(node, ax, task);
  }

  // Range of the corners of idx[first .. first+n) along the axes.
  void Measure(const double ax[3][3], int32_t first, int32_t n, double mn[3], double mx[3]) const {
    for (int j = 0; j < 3; ++j) mn[j] = INFINITY, mx[j] = -INFINITY;
    double p[3], c[3];
    for (int32_t i = first; i < first + n; ++i)
      for (int k = 0; k < 3; ++k) {
        Corner(idx_[i], k, p);
        Project(ax, p, c);
        Widen(c, mn, mx);
      }
  }

  // Splits the task's range at the mean along the major axis, fits the box,
  // and queues its two children (the first child on top).
  void Split(ObbNode& node, const double ax[3][3], const BuildTask& task) {
    const int32_t first = task.first, n = task.count;
    int32_t* t = idx_ + first;
    const double axis[3] = {ax[0][0], ax[1][0], ax[2][0]};
    double mean[3];
    for (int i = 0; i < 3; ++i) mean[i] = task.acc.mean[i] / task.acc.area;
    const double axdmp = axis[0] * mean[0] + axis[1] * mean[1] + axis[2] * mean[2];

    double mn[3], mx[3], p[3], c[3];
    for (int j = 0; j < 3; ++j) mn[j] = INFINITY, mx[j] = -INFINITY;
    Moment m1, m2;
    ClearMoment(m1);
    ClearMoment(m2);
    int32_t c1 = 0;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t k = t[i];
      for (int v = 0; v < 3; ++v) {
        Corner(k, v, p);
        Project(ax, p, c);
        Widen(c, mn, mx);
      }
      const Moment& m = moments_[k];
      const double x = axis[0] * m.mean[0] + axis[1] * m.mean[1] + axis[2] * m.mean[2];
      // A centroid at the mean goes to the second group.
      if (x < axdmp) {
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
    StoreBox(node, ax, mn, mx, far_);
    const int32_t kid = static_cast<int32_t>(nodes_.size());
    node.child = kid;
    node.count = 0;
    nodes_[static_cast<size_t>(task.node)] = node;
    nodes_.emplace_back();
    nodes_.emplace_back();
    stack_.push_back(BuildTask{kid + 1, first + c1, n - c1, false, m2});
    stack_.push_back(BuildTask{kid, first, c1, false, m1});
  }

  const RAPID_model& model_;
  const double* origin_;
  const Moment* moments_;
  int32_t* idx_;
  std::vector<ObbNode>& nodes_;
  double far_ = 0;
  std::vector<BuildTask> stack_;
};

// Room for `more` entries past size in v, growing by doubling; false when
// memory runs out (v unchanged).
template <class T>
bool Grow(std::vector<T>& v, size_t more) {
  const size_t need = v.size() + more;
  if (need <= v.capacity()) return true;
  try {
    v.reserve(std::max(need, 2 * v.capacity()));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace

RAPID_model::~RAPID_model() {
  FreeStorage();
  obbt_detail::FreeContacts();
}

void RAPID_model::FreeStorage() {
  std::vector<double>().swap(xyz_);
  pts_ = nullptr;
  tris_ = nullptr;
  ptsCount_ = 0;
  keeper_.reset();
  std::vector<int32_t>().swap(ids_);
  std::vector<int32_t>().swap(order_);
  std::vector<ObbNode>().swap(nodes_);
  triCount_ = 0;
}

int RAPID_model::ResetModel() {
  const bool wasBuilding = buildState_ == OBBT_STATE_BUILDING;
  FreeStorage();
  buildState_ = OBBT_STATE_BUILDING;
  return wasBuilding ? OBBT_WRONG_ORDER : OBBT_OK;
}

int RAPID_model::AppendTri(const double* p1, const double* p2, const double* p3, long id) {
  if (buildState_ == OBBT_STATE_BUILT || tris_) return OBBT_WRONG_ORDER;
  if (p1 == nullptr || p2 == nullptr || p3 == nullptr) return OBBT_NULL_ARGUMENT;
  if (id < INT32_MIN || id > INT32_MAX) return OBBT_BAD_ID;
  if (triCount_ >= obbt_detail::TriLimit()) return OBBT_TOO_MANY_TRIS;
  // Ids are stored from the first one that is not the triangle's position.
  const bool ownIds = !ids_.empty() || id != triCount_;
  if (!Grow(xyz_, 9)) return OBBT_NO_MEMORY;
  if (ownIds && ids_.empty()) {
    try {
      ids_.reserve(static_cast<size_t>(triCount_) + 1);
      for (int32_t i = 0; i < triCount_; ++i) ids_.push_back(i);
    } catch (const std::bad_alloc&) {
      std::vector<int32_t>().swap(ids_);
      return OBBT_NO_MEMORY;
    }
  }
  if (ownIds && !Grow(ids_, 1)) return OBBT_NO_MEMORY;
  for (const double* p : {p1, p2, p3}) xyz_.insert(xyz_.end(), p, p + 3);
  pts_ = xyz_.data();
  ptsCount_ = static_cast<long>(xyz_.size() / 3);
  if (ownIds) ids_.push_back(static_cast<int32_t>(id));
  ++triCount_;
  return OBBT_OK;
}

int RAPID_model::AttachMesh(const double* xyz, long nVerts, const long* corners, long nTris) {
  if (buildState_ == OBBT_STATE_BUILT || triCount_ != 0) return OBBT_WRONG_ORDER;
  if (xyz == nullptr || corners == nullptr) return OBBT_NULL_ARGUMENT;
  if (nTris <= 0) return OBBT_OK;
  if (nVerts <= 0 || nVerts > INT32_MAX) return OBBT_BAD_ID;
  if (nTris > obbt_detail::TriLimit()) return OBBT_TOO_MANY_TRIS;
  for (long i = 0; i < 3 * nTris; ++i)
    if (corners[i] < 0 || corners[i] >= nVerts) return OBBT_BAD_ID;
  std::vector<double>().swap(xyz_);
  std::vector<int32_t>().swap(ids_);
  pts_ = xyz;
  tris_ = corners;
  ptsCount_ = nVerts;
  triCount_ = static_cast<int32_t>(nTris);
  return OBBT_OK;
}

int RAPID_model::ReserveTris(long n) {
  n = std::min<long>(n, obbt_detail::TriLimit());
  if (n <= triCount_ || tris_) return OBBT_OK;
  const size_t more = static_cast<size_t>(n - triCount_);
  if (!Grow(xyz_, 9 * more) || !(ids_.empty() || Grow(ids_, more))) return OBBT_NO_MEMORY;
  pts_ = xyz_.data();
  return OBBT_OK;
}

int RAPID_model::FinishModel() {
  // Triangles cannot change once built, so the existing tree is current.
  if (IsBuilt()) return OBBT_OK;
  if (triCount_ == 0) return OBBT_EMPTY;
  const int32_t n = triCount_;

  // The origin: the middle of the corners' axis-aligned box (of the finite
  // ones), so that coordinates far from zero keep their digits in floats.
  double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (size_t i = 0; i < 3 * static_cast<size_t>(ptsCount_); i += 3)
    for (int k = 0; k < 3; ++k)
      if (std::isfinite(pts_[i + k]))
        lo[k] = std::fmin(lo[k], pts_[i + k]), hi[k] = std::fmax(hi[k], pts_[i + k]);
  for (int k = 0; k < 3; ++k) origin_[k] = lo[k] <= hi[k] ? lo[k] + (hi[k] - lo[k]) * 0.5 : 0.0;

  Buffer<Moment> moments(AllocRecords<Moment>(static_cast<std::size_t>(n)));
  if (!moments) return OBBT_NO_MEMORY;
  bool anyZero = false;
  double minArea = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    double p[3][3];
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 3; ++j) p[k][j] = Corner(i, k)[j] - origin_[j];
    TriangleMoment(p[0], p[1], p[2], moments[i]);
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

  std::vector<ObbNode> nodes;
  std::vector<int32_t> order;
  try {
    order.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    nodes.reserve(static_cast<size_t>(n) / 8 + 16);  // about 0.09 nodes per triangle
    TreeBuilder builder(*this, origin_, moments.get(), order.data(), nodes);
    builder.Build(n, all, GetObbtThreadCount());
  } catch (const std::bad_alloc&) {
    return OBBT_NO_MEMORY;
  }
  moments.reset();

  // The root box in doubles, for GetRootObb: the principal axes of all
  // triangles, or their frame for a single triangle.
  double rot[3][3];
  if (n == 1) {
    double p[3][3];
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 3; ++j) p[k][j] = Corner(0, k)[j] - origin_[j];
    TriangleFrame(p[0], p[1], p[2], rot);
  } else {
    double mean[3], cov[3][3];
    GroupMeanAndCovariance(all, mean, cov);
    if (SortedEigenvectors(cov, rot) >= 50) SetIdentity(rot);
  }
  double mn[3] = {INFINITY, INFINITY, INFINITY}, mx[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (int32_t t = 0; t < n; ++t) {
    for (int k = 0; k < 3; ++k) {
      const double* v = Corner(t, k);
      const double p[3] = {v[0] - origin_[0], v[1] - origin_[1], v[2] - origin_[2]};
      double c[3];
      Project(rot, p, c);
      Widen(c, mn, mx);
    }
  }
  for (int i = 0; i < 3; ++i) {
    rootHalf_[i] = (mx[i] - mn[i]) * 0.5;
    rootPos_[i] = origin_[i];
    for (int k = 0; k < 3; ++k) {
      rootRot_[i][k] = rot[i][k];
      rootPos_[i] += rot[i][k] * (mn[k] + mx[k]) * 0.5;
    }
  }

  if (nodes.capacity() > nodes.size() + nodes.size() / 8) {
    try {
      nodes.shrink_to_fit();
    } catch (const std::bad_alloc&) {
      // keeps the larger block
    }
  }
  nodes_.swap(nodes);
  order_.swap(order);
  buildState_ = OBBT_STATE_BUILT;
  return OBBT_OK;
}

int RAPID_model::GetTriVertices(double out[9], long index) const {
  if (out == nullptr || index < 0 || index >= triCount_) return -1;
  for (int k = 0; k < 3; ++k)
    std::memcpy(out + 3 * k, Corner(static_cast<int32_t>(index), k), 3 * sizeof(double));
  return 1;
}

int32_t RAPID_model::GetTriId(long index) const {
  if (index < 0 || index >= triCount_) return -1;
  return Id(static_cast<int32_t>(index));
}

int RAPID_model::GetRootObb(double centre[3], double halfExt[3], double rot[9]) const {
  if (centre == nullptr || halfExt == nullptr || rot == nullptr) return -1;
  if (!IsBuilt()) return -1;
  std::memcpy(centre, rootPos_, sizeof rootPos_);
  std::memcpy(halfExt, rootHalf_, sizeof rootHalf_);
  std::memcpy(rot, rootRot_, sizeof rootRot_);
  return 1;
}
