// Collision query between two placed OBB trees, and the per-thread contact
// list it fills.
//
// Both trees are walked at once: a box pair whose boxes are separated is
// pruned, a pair of leaves is tested triangle against triangle, any other
// pair opens the larger box (the second one on a tie).
//
// Large queries run on several threads: the top of the walk is unrolled
// into a list of box pairs, each walked on its own by whichever thread takes
// it. The pairs found are sorted at the end, so the list is the same for
// any thread count and any tree shape.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "kromesh/Obbt/ObbtInternal.h"
#include "kromesh/Obbt/RAPID_model.h"

namespace {

// --- contact list --------------------------------------------------------

// One list per thread, so that queries on different threads do not meet.
struct ContactList {
  ContactPair* pairs = nullptr;
  std::size_t capacity = 0;
  std::size_t count = 0;
  ContactList() = default;
  ContactList(const ContactList&) = delete;
  ContactList& operator=(const ContactList&) = delete;
  ContactList(ContactList&& o) noexcept : pairs(o.pairs), capacity(o.capacity), count(o.count) {
    o.pairs = nullptr;
    o.capacity = o.count = 0;
  }
  ~ContactList() { delete[] pairs; }
};
thread_local ContactList t_contacts;

// Test hook only (set before queries, read by them).
std::atomic<std::size_t> g_contactCapacityLimit{0};  // 0: only memory limits the list
std::atomic<int> g_threadCount{0};                   // 0: all cores

constexpr std::size_t kFirstContactCapacity = 10;

// Grows list so that it holds at least need pairs; false when it cannot.
bool Reserve(ContactList& list, std::size_t need) {
  if (list.pairs != nullptr && need <= list.capacity) return true;
  std::size_t capacity = list.pairs == nullptr ? kFirstContactCapacity : 2 * list.capacity;
  capacity = std::max(capacity, need);
  const std::size_t limit = g_contactCapacityLimit.load(std::memory_order_relaxed);
  if (limit != 0 && capacity > limit) {
    if (list.capacity >= limit || need > limit) return false;
    capacity = limit;
  }
  ContactPair* grown = new (std::nothrow) ContactPair[capacity];
  if (grown == nullptr) return false;
  if (list.pairs == nullptr) {
    list.count = 0;
  } else {
    std::memcpy(grown, list.pairs, list.count * sizeof(ContactPair));
    delete[] list.pairs;
  }
  list.pairs = grown;
  list.capacity = capacity;
  return true;
}

// --- query -----------------------------------------------------------------

struct Query {
  const RAPID_model* m1;
  const RAPID_model* m2;
  const ObbNode* n1;
  const ObbNode* n2;
  double s;         // scale of model 2 relative to model 1
  double Q[3][3];   // model 2's axes in model 1's frame
  double M[3][3];   // s * Q
  double t[3];      // x1 = M y2 + t, both taken from their model's origin
  double sR[3][3];  // model 1 to model 2, for the triangle tests: scaled rotation ...
  double mT[3];     // ... and translation
  bool firstContact;
};

// A node pair to test, with node b placed in model 1's frame.
struct BoxPair {
  int32_t a;
  int32_t b;
  double QB[3][3];  // b's axes
  double cB[3];     // b's centre, from model 1's origin
};

// Pending pairs of the descent on this thread; kept between queries so that
// the many small queries of the ray tests allocate nothing.
std::vector<BoxPair>& Pending() {
  thread_local std::vector<BoxPair> pending;
  return pending;
}

int AppendContact(ContactList& out, int32_t id1, int32_t id2) {
  if (out.pairs == nullptr || out.count == out.capacity) {
    if (!Reserve(out, out.count + 1)) return OBBT_NO_CONTACT_MEMORY;
  }
  out.pairs[out.count].id1 = id1;
  out.pairs[out.count].id2 = id2;
  ++out.count;
  return OBBT_OK;
}

// Node b of tree 2 (with its centre and axes) placed in model 1's frame.
inline void Place(const Query& q, int32_t a, int32_t b, BoxPair& out) {
  const ObbNode& n = q.n2[b];
  out.a = a;
  out.b = b;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      out.QB[i][j] = q.Q[i][0] * n.rot[0][j] + q.Q[i][1] * n.rot[1][j] + q.Q[i][2] * n.rot[2][j];
    out.cB[i] = q.M[i][0] * n.pos[0] + q.M[i][1] * n.pos[1] + q.M[i][2] * n.pos[2] + q.t[i];
  }
}

inline bool Separated(const Query& q, const BoxPair& cur) {
  const ObbNode& A = q.n1[cur.a];
  const ObbNode& B = q.n2[cur.b];
  double R[3][3], T[3];
  const double d[3] = {cur.cB[0] - A.pos[0], cur.cB[1] - A.pos[1], cur.cB[2] - A.pos[2]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      R[i][j] =
          A.rot[0][i] * cur.QB[0][j] + A.rot[1][i] * cur.QB[1][j] + A.rot[2][i] * cur.QB[2][j];
    T[i] = A.rot[0][i] * d[0] + A.rot[1][i] * d[1] + A.rot[2][i] * d[2];
  }
  const double a[3] = {A.halfExt[0], A.halfExt[1], A.halfExt[2]};
  const double e[3] = {q.s * B.halfExt[0], q.s * B.halfExt[1], q.s * B.halfExt[2]};
  return obbt_detail::BoxSeparation(R, T, a, e) != 0;
}

// Every overlapping triangle pair of two leaves. Pairs whose axis-aligned
// boxes (of the very coordinates the exact test reads) are apart are
// skipped first; touching boxes go on to the exact test.
int LeafContacts(const Query& q, const BoxPair& cur, ContactList& out) {
  const ObbNode& A = q.n1[cur.a];
  const ObbNode& B = q.n2[cur.b];
  const int32_t* ta = q.m1->LeafOrder().data() + A.child;
  const int32_t* tb = q.m2->LeafOrder().data() + B.child;
  double p[OBBT_LEAF_TRIS][3][3], lo[OBBT_LEAF_TRIS][3], hi[OBBT_LEAF_TRIS][3];
  for (int32_t i = 0; i < A.count; ++i) {
    for (int k = 0; k < 3; ++k) {
      const double* x = q.m1->Corner(ta[i], k);
      for (int r = 0; r < 3; ++r)
        p[i][k][r] = q.sR[r][0] * x[0] + q.sR[r][1] * x[1] + q.sR[r][2] * x[2] + q.mT[r];
    }
    for (int r = 0; r < 3; ++r) {
      lo[i][r] = std::min({p[i][0][r], p[i][1][r], p[i][2][r]});
      hi[i][r] = std::max({p[i][0][r], p[i][1][r], p[i][2][r]});
    }
  }
  for (int32_t j = 0; j < B.count; ++j) {
    const double* b[3] = {q.m2->Corner(tb[j], 0), q.m2->Corner(tb[j], 1), q.m2->Corner(tb[j], 2)};
    double blo[3], bhi[3];
    for (int r = 0; r < 3; ++r) {
      blo[r] = std::min({b[0][r], b[1][r], b[2][r]});
      bhi[r] = std::max({b[0][r], b[1][r], b[2][r]});
    }
    for (int32_t i = 0; i < A.count; ++i) {
      if (hi[i][0] < blo[0] || hi[i][1] < blo[1] || hi[i][2] < blo[2] || bhi[0] < lo[i][0] ||
          bhi[1] < lo[i][1] || bhi[2] < lo[i][2])
        continue;
      if (!obbt_detail::TrianglesOverlap(p[i][0], p[i][1], p[i][2], b[0], b[1], b[2])) continue;
      const int status = AppendContact(out, q.m1->Id(ta[i]), q.m2->Id(tb[j]));
      if (status != OBBT_OK) return status;
      if (q.firstContact) return OBBT_OK;
    }
  }
  return OBBT_OK;
}

// The two pairs that replace an overlapping pair that is not two leaves:
// the larger box is opened (the second one on a tie).
inline void Open(const Query& q, const BoxPair& cur, BoxPair& first, BoxPair& second) {
  const ObbNode& A = q.n1[cur.a];
  const ObbNode& B = q.n2[cur.b];
  if (B.IsLeaf() || (!A.IsLeaf() && q.s * B.halfExt[0] < A.halfExt[0])) {
    first = cur;
    second = cur;
    first.a = A.child;
    second.a = A.child + 1;
  } else {
    Place(q, cur.a, B.child, first);
    Place(q, cur.a, B.child + 1, second);
  }
}

int Descend(const Query& q, BoxPair cur, std::vector<BoxPair>& pending, ContactList& out) {
  pending.clear();
  for (;;) {
    if (q.firstContact && out.count >= 1) return OBBT_OK;
    bool done = Separated(q, cur);
    if (!done) {
      if (q.n1[cur.a].IsLeaf() && q.n2[cur.b].IsLeaf()) {
        const int status = LeafContacts(q, cur, out);
        if (status != OBBT_OK) return status;
        done = true;
      } else {
        BoxPair first, second;
        Open(q, cur, first, second);
        try {
          pending.push_back(first);
        } catch (const std::bad_alloc&) {
          return OBBT_NO_CONTACT_MEMORY;
        }
        cur = second;
      }
    }
    if (done) {
      if (pending.empty()) return OBBT_OK;
      cur = pending.back();
      pending.pop_back();
    }
  }
}

int ThreadsToUse() {
  const int set = g_threadCount.load(std::memory_order_relaxed);
  if (set > 0) return set;
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(hw);
}

// Unrolls the top of the walk: the overlapping pairs whose walks together
// make the walk of root. Stops at about `target` pairs or when only leaf
// pairs are left.
std::vector<BoxPair> TopPairs(const Query& q, const BoxPair& root, std::size_t target) {
  std::vector<BoxPair> cur{root}, next;
  for (bool opened = true; opened && cur.size() < target;) {
    opened = false;
    next.clear();
    for (const BoxPair& p : cur) {
      if (Separated(q, p)) continue;
      if (q.n1[p.a].IsLeaf() && q.n2[p.b].IsLeaf()) {
        next.push_back(p);
        continue;
      }
      BoxPair first, second;
      Open(q, p, first, second);
      next.push_back(second);
      next.push_back(first);
      opened = true;
    }
    cur.swap(next);
  }
  return cur;
}

// The walk of root on `threads` threads, each task's pairs appended to out.
int DescendParallel(const Query& q, const BoxPair& root, int threads, ContactList& out) {
  std::vector<BoxPair> tasks;
  try {
    tasks = TopPairs(q, root, 16 * static_cast<std::size_t>(threads));
  } catch (const std::bad_alloc&) {
    return Descend(q, root, Pending(), out);
  }
  const std::size_t n = tasks.size();
  std::vector<ContactList> found;
  std::vector<int> status;
  try {
    found.resize(n);
    status.assign(n, OBBT_OK);
  } catch (const std::bad_alloc&) {
    return Descend(q, root, Pending(), out);
  }
  std::atomic<std::size_t> nextTask{0};
  auto work = [&]() {
    std::vector<BoxPair> pending;
    for (std::size_t i = nextTask.fetch_add(1); i < n; i = nextTask.fetch_add(1))
      status[i] = Descend(q, tasks[i], pending, found[i]);
  };
  RunOnObbtThreads(static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), n)),
                   work);
  std::size_t total = 0;
  int result = OBBT_OK;
  for (std::size_t i = 0; i < n; ++i) {
    total += found[i].count;
    if (result == OBBT_OK) result = status[i];
  }
  if (!Reserve(out, total)) return OBBT_NO_CONTACT_MEMORY;
  for (std::size_t i = 0; i < n; ++i) {
    if (found[i].count == 0) continue;
    std::memcpy(out.pairs + out.count, found[i].pairs, found[i].count * sizeof(ContactPair));
    out.count += found[i].count;
  }
  return result;
}

inline bool IsBuilt(const RAPID_model* m) {
  return m != nullptr && m->IsBuilt();
}

const double kIdentity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const double kZero[3] = {0, 0, 0};

}  // namespace

namespace obbt_detail {

void FreeContacts() {
  ContactList& list = t_contacts;
  delete[] list.pairs;
  list.pairs = nullptr;
  list.capacity = 0;
  list.count = 0;
}

void SetContactCapacityLimitForTesting(std::size_t limit) {
  g_contactCapacityLimit.store(limit, std::memory_order_relaxed);
}

}  // namespace obbt_detail

void SetObbtThreadCount(int threads) {
  g_threadCount.store(threads > 0 ? threads : 0, std::memory_order_relaxed);
}

int GetObbtThreadCount() {
  return ThreadsToUse();
}

void RunOnObbtThreads(int threads, const std::function<void()>& work) {
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (...) {
      break;  // fewer helpers: the threads running take the rest
    }
  }
  work();
  for (std::thread& t : pool) t.join();
}

long ObbtContactCount() {
  return static_cast<long>(t_contacts.count);
}

const ContactPair* ObbtContacts() {
  return t_contacts.count > 0 ? t_contacts.pairs : nullptr;
}

int CollideModels(const double R1[3][3], const double T1[3], double s1, const RAPID_model* model1,
                  const double R2[3][3], const double T2[3], double s2, const RAPID_model* model2,
                  int flag) {
  if (!IsBuilt(model1) || !IsBuilt(model2)) return OBBT_NOT_BUILT;
  if (R1 == nullptr) R1 = kIdentity;
  if (R2 == nullptr) R2 = kIdentity;
  if (T1 == nullptr) T1 = kZero;
  if (T2 == nullptr) T2 = kZero;

  Query q;
  q.firstContact = flag == OBBT_FIRST_CONTACT;
  q.m1 = model1;
  q.m2 = model2;
  q.n1 = model1->Nodes().data();
  q.n2 = model2->Nodes().data();
  q.s = s2 / s1;
  // Model 2 (from its origin) in model 1's frame (from its origin).
  const double* o1 = model1->Origin();
  const double* o2 = model2->Origin();
  double w[3];
  for (int i = 0; i < 3; ++i)
    w[i] = s2 * (R2[i][0] * o2[0] + R2[i][1] * o2[1] + R2[i][2] * o2[2]) + T2[i] - T1[i];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      q.Q[i][j] = R1[0][i] * R2[0][j] + R1[1][i] * R2[1][j] + R1[2][i] * R2[2][j];
      q.M[i][j] = q.s * q.Q[i][j];
    }
    q.t[i] = (R1[0][i] * w[0] + R1[1][i] * w[1] + R1[2][i] * w[2]) / s1 - o1[i];
  }
  // Model 1 to model 2, for the triangle tests.
  const double ms = s1 / s2;
  const double dT12[3] = {T1[0] - T2[0], T1[1] - T2[1], T1[2] - T2[2]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      q.sR[i][j] = ms * (R2[0][i] * R1[0][j] + R2[1][i] * R1[1][j] + R2[2][i] * R1[2][j]);
    q.mT[i] = (R2[0][i] * dT12[0] + R2[1][i] * dT12[1] + R2[2][i] * dT12[2]) / s2;
  }
  BoxPair root;
  Place(q, 0, 0, root);

  ContactList& out = t_contacts;
  out.count = 0;
  // Small queries (the ray tests' one-triangle models among them) are not
  // worth a thread; nor is a search for the first contact.
  constexpr int32_t kParallelMinTris = 64;
  constexpr int64_t kParallelMinTotal = 4096;
  const int threads = ThreadsToUse();
  const long n1 = model1->GetTriCount(), n2 = model2->GetTriCount();
  int status;
  if (threads > 1 && !q.firstContact && n1 >= kParallelMinTris && n2 >= kParallelMinTris &&
      n1 + n2 >= kParallelMinTotal && g_contactCapacityLimit.load(std::memory_order_relaxed) == 0)
    status = DescendParallel(q, root, threads, out);
  else
    status = Descend(q, root, Pending(), out);
  // One order whatever the trees' shapes and the threads.
  if (out.count > 1)
    std::sort(out.pairs, out.pairs + out.count, [](const ContactPair& x, const ContactPair& y) {
      return x.id1 != y.id1 ? x.id1 < y.id1 : x.id2 < y.id2;
    });
  return status;
}

int CollideModelsInPlace(const RAPID_model* model1, const RAPID_model* model2, int flag) {
  return CollideModels(kIdentity, kZero, 1.0, model1, kIdentity, kZero, 1.0, model2, flag);
}
