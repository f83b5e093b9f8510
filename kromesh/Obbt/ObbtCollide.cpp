// Collision query between two placed OBB trees, and the per-thread contact
// list it fills.
//
// Both trees are walked at once: a box pair whose boxes are separated is
// pruned, a pair of leaves is tested triangle against triangle, any other
// pair opens the larger box (the second one on a tie), second child first.
// That order fixes the order in which pairs are reported.
//
// Large queries run on several threads: the top of the walk is unrolled in
// walk order into a list of box pairs, each pair is walked on its own by
// whichever thread takes it, and the lists found are joined in the order of
// the pairs. Since the walk of a pair does not depend on any other, the
// result is the one-thread result, order included, for any thread count.
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

// A box pair to test: b2 placed in b1's frame by (R, T) and the query scale.
struct BoxPair {
  const ObbBox* b1;
  const ObbBox* b2;
  double R[3][3];
  double T[3];
};

struct Query {
  double s;         // scale of tree 2 relative to tree 1
  double sR[3][3];  // model 1 to model 2: scaled rotation ...
  double mT[3];     // ... and translation
  bool firstContact;
};

// Pending first children of the descent on this thread; kept between
// queries so that the many small queries of the ray tests allocate nothing.
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

inline void ToModel2(const Query& q, const double x[3], double out[3]) {
  for (int i = 0; i < 3; ++i)
    out[i] = q.sR[i][0] * x[0] + q.sR[i][1] * x[1] + q.sR[i][2] * x[2] + q.mT[i];
}

int TriangleContact(const Query& q, const ObbTri& t1, const ObbTri& t2, ContactList& out) {
  double p1[3], p2[3], p3[3];
  ToModel2(q, t1.p1, p1);
  ToModel2(q, t1.p2, p2);
  ToModel2(q, t1.p3, p3);
  if (!obbt_detail::TrianglesOverlap(p1, p2, p3, t2.p1, t2.p2, t2.p3)) return OBBT_OK;
  return AppendContact(out, t1.id, t2.id);
}

// Child of b1 in b1's frame: bring the pair into the child's frame.
inline void OpenFirst(const BoxPair& cur, const ObbBox* child, BoxPair& out) {
  const auto& C = child->rot;
  out.b1 = child;
  out.b2 = cur.b2;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out.R[i][j] = C[0][i] * cur.R[0][j] + C[1][i] * cur.R[1][j] + C[2][i] * cur.R[2][j];
  const double d[3] = {cur.T[0] - child->pos[0], cur.T[1] - child->pos[1],
                       cur.T[2] - child->pos[2]};
  for (int i = 0; i < 3; ++i) out.T[i] = C[0][i] * d[0] + C[1][i] * d[1] + C[2][i] * d[2];
}

// Child of b2 in b2's frame: place it in b1's frame.
inline void OpenSecond(const BoxPair& cur, const ObbBox* child, double s, BoxPair& out) {
  const auto& C = child->rot;
  out.b1 = cur.b1;
  out.b2 = child;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out.R[i][j] = cur.R[i][0] * C[0][j] + cur.R[i][1] * C[1][j] + cur.R[i][2] * C[2][j];
  for (int i = 0; i < 3; ++i)
    out.T[i] = s * (cur.R[i][0] * child->pos[0] + cur.R[i][1] * child->pos[1] +
                    cur.R[i][2] * child->pos[2]) +
               cur.T[i];
}

inline bool Separated(const Query& q, const BoxPair& cur) {
  const ObbBox& b2 = *cur.b2;
  const double e[3] = {q.s * b2.halfExt[0], q.s * b2.halfExt[1], q.s * b2.halfExt[2]};
  return obbt_detail::BoxSeparation(cur.R, cur.T, cur.b1->halfExt, e) != 0;
}

// The two box pairs that replace an overlapping pair that is not two
// leaves: the larger box is opened (the second one on a tie). The walk
// visits `second` before `first`.
inline void Open(const Query& q, const BoxPair& cur, BoxPair& first, BoxPair& second) {
  const ObbBox& b1 = *cur.b1;
  const ObbBox& b2 = *cur.b2;
  const bool leaf1 = b1.IsLeaf();
  if (b2.IsLeaf() || (!leaf1 && b2.halfExt[0] < b1.halfExt[0])) {
    OpenFirst(cur, b1.child1, first);
    OpenFirst(cur, b1.child2, second);
  } else {
    OpenSecond(cur, b2.child1, q.s, first);
    OpenSecond(cur, b2.child2, q.s, second);
  }
}

int Descend(const Query& q, BoxPair cur, std::vector<BoxPair>& pending, ContactList& out) {
  pending.clear();
  for (;;) {
    if (q.firstContact && out.count >= 1) return OBBT_OK;

    bool done = Separated(q, cur);
    if (!done) {
      if (cur.b1->IsLeaf() && cur.b2->IsLeaf()) {
        const int status = TriangleContact(q, *cur.b1->tri, *cur.b2->tri, out);
        if (status != OBBT_OK) return status;
        done = true;
      } else {
        // The second child is walked now, the first one later.
        BoxPair first;
        BoxPair second;
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

// Unrolls the top of the walk: the overlapping box pairs, in walk order,
// whose walks together make the walk of root. Stops at about `target`
// pairs or when only leaf pairs are left.
std::vector<BoxPair> TopPairs(const Query& q, const BoxPair& root, std::size_t target) {
  std::vector<BoxPair> cur{root}, next;
  for (bool opened = true; opened && cur.size() < target;) {
    opened = false;
    next.clear();
    for (const BoxPair& p : cur) {
      if (Separated(q, p)) continue;
      if (p.b1->IsLeaf() && p.b2->IsLeaf()) {
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

// The walk of root on `threads` threads; the pairs land in out in the order
// of the one-thread walk. The tasks that come after a failed one are not
// reported (as the one-thread walk would have stopped there).
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

  // The first failed task ends the list, with what it found before failing.
  std::size_t total = 0, last = n;
  int result = OBBT_OK;
  for (std::size_t i = 0; i < n && result == OBBT_OK; ++i) {
    total += found[i].count;
    result = status[i];
    last = i + 1;
  }
  if (!Reserve(out, total)) return OBBT_NO_CONTACT_MEMORY;
  for (std::size_t i = 0; i < last; ++i) {
    if (found[i].count == 0) continue;
    std::memcpy(out.pairs + out.count, found[i].pairs, found[i].count * sizeof(ContactPair));
    out.count += found[i].count;
  }
  return result;
}

inline bool IsBuilt(const RAPID_model* m) {
  return m != nullptr && m->buildState == OBBT_STATE_BUILT && m->boxes != nullptr;
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

  // World placement of the two roots.
  const ObbBox& r1 = model1->boxes[0];
  const ObbBox& r2 = model2->boxes[0];
  double tR1[3][3], tR2[3][3], tT1[3], tT2[3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      tR1[i][j] = R1[i][0] * r1.rot[0][j] + R1[i][1] * r1.rot[1][j] + R1[i][2] * r1.rot[2][j];
      tR2[i][j] = R2[i][0] * r2.rot[0][j] + R2[i][1] * r2.rot[1][j] + R2[i][2] * r2.rot[2][j];
    }
    tT1[i] = s1 * (R1[i][0] * r1.pos[0] + R1[i][1] * r1.pos[1] + R1[i][2] * r1.pos[2]) + T1[i];
    tT2[i] = s2 * (R2[i][0] * r2.pos[0] + R2[i][1] * r2.pos[1] + R2[i][2] * r2.pos[2]) + T2[i];
  }

  // Root 2 in root 1's frame.
  BoxPair root;
  root.b1 = &r1;
  root.b2 = &r2;
  const double dT[3] = {tT2[0] - tT1[0], tT2[1] - tT1[1], tT2[2] - tT1[2]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      root.R[i][j] = tR1[0][i] * tR2[0][j] + tR1[1][i] * tR2[1][j] + tR1[2][i] * tR2[2][j];
    root.T[i] = (tR1[0][i] * dT[0] + tR1[1][i] * dT[1] + tR1[2][i] * dT[2]) / s1;
  }
  q.s = s2 / s1;

  // Model 1 to model 2, for the triangle tests.
  const double ms = s1 / s2;
  const double dT12[3] = {T1[0] - T2[0], T1[1] - T2[1], T1[2] - T2[2]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      q.sR[i][j] = ms * (R2[0][i] * R1[0][j] + R2[1][i] * R1[1][j] + R2[2][i] * R1[2][j]);
    q.mT[i] = (R2[0][i] * dT12[0] + R2[1][i] * dT12[1] + R2[2][i] * dT12[2]) / s2;
  }

  ContactList& out = t_contacts;
  out.count = 0;
  // Small queries (the ray tests' one-triangle models among them) are not
  // worth a thread; nor is a search for the first contact.
  constexpr int32_t kParallelMinTris = 64;
  constexpr int64_t kParallelMinTotal = 4096;
  const int threads = ThreadsToUse();
  if (threads > 1 && !q.firstContact && model1->triCount >= kParallelMinTris &&
      model2->triCount >= kParallelMinTris &&
      int64_t{model1->triCount} + model2->triCount >= kParallelMinTotal &&
      g_contactCapacityLimit.load(std::memory_order_relaxed) == 0)
    return DescendParallel(q, root, threads, out);
  return Descend(q, root, Pending(), out);
}

int CollideModelsInPlace(const RAPID_model* model1, const RAPID_model* model2, int flag) {
  return CollideModels(kIdentity, kZero, 1.0, model1, kIdentity, kZero, 1.0, model2, flag);
}
