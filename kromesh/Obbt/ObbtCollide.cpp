// Collision query between two placed OBB trees, and the module-wide contact
// list it fills.
//
// Both trees are walked at once: a box pair whose boxes are separated is
// pruned, a pair of leaves is tested triangle against triangle, any other
// pair opens the larger box (the second one on a tie), second child first.
// That order fixes the order in which pairs are reported.
#include <cstring>
#include <new>
#include <vector>

#include "kromesh/Obbt/ObbtInternal.h"
#include "kromesh/Obbt/RAPID_model.h"

namespace {

// --- contact list --------------------------------------------------------

ContactPair* g_contacts = nullptr;
std::size_t g_contactCapacity = 0;
std::size_t g_contactCount = 0;
std::size_t g_contactCapacityLimit = 0;  // 0: only memory limits the list

constexpr std::size_t kFirstContactCapacity = 10;

int AppendContact(int32_t id1, int32_t id2) {
  if (g_contacts == nullptr || g_contactCount == g_contactCapacity) {
    std::size_t capacity = g_contacts == nullptr ? kFirstContactCapacity : 2 * g_contactCapacity;
    if (g_contactCapacityLimit != 0 && capacity > g_contactCapacityLimit) {
      if (g_contactCapacity >= g_contactCapacityLimit) return OBBT_NO_CONTACT_MEMORY;
      capacity = g_contactCapacityLimit;
    }
    ContactPair* grown = new (std::nothrow) ContactPair[capacity];
    if (grown == nullptr) return OBBT_NO_CONTACT_MEMORY;
    if (g_contacts == nullptr) {
      g_contactCount = 0;
    } else {
      std::memcpy(grown, g_contacts, g_contactCount * sizeof(ContactPair));
      delete[] g_contacts;
    }
    g_contacts = grown;
    g_contactCapacity = capacity;
  }
  g_contacts[g_contactCount].id1 = id1;
  g_contacts[g_contactCount].id2 = id2;
  ++g_contactCount;
  return OBBT_OK;
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

// Pending first children of the descent; kept between queries so that the
// many small queries of the ray tests allocate nothing.
std::vector<BoxPair>& Pending() {
  static std::vector<BoxPair> pending;
  return pending;
}

inline void ToModel2(const Query& q, const double x[3], double out[3]) {
  for (int i = 0; i < 3; ++i)
    out[i] = q.sR[i][0] * x[0] + q.sR[i][1] * x[1] + q.sR[i][2] * x[2] + q.mT[i];
}

int TriangleContact(const Query& q, const ObbTri& t1, const ObbTri& t2) {
  double p1[3], p2[3], p3[3];
  ToModel2(q, t1.p1, p1);
  ToModel2(q, t1.p2, p2);
  ToModel2(q, t1.p3, p3);
  if (!obbt_detail::TrianglesOverlap(p1, p2, p3, t2.p1, t2.p2, t2.p3)) return OBBT_OK;
  return AppendContact(t1.id, t2.id);
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

int Descend(const Query& q, BoxPair cur) {
  std::vector<BoxPair>& pending = Pending();
  pending.clear();
  for (;;) {
    if (q.firstContact && g_contactCount >= 1) return OBBT_OK;

    const ObbBox& b1 = *cur.b1;
    const ObbBox& b2 = *cur.b2;
    const double e[3] = {q.s * b2.halfExt[0], q.s * b2.halfExt[1], q.s * b2.halfExt[2]};
    bool done = obbt_detail::BoxSeparation(cur.R, cur.T, b1.halfExt, e) != 0;

    if (!done) {
      const bool leaf1 = b1.IsLeaf();
      const bool leaf2 = b2.IsLeaf();
      if (leaf1 && leaf2) {
        const int status = TriangleContact(q, *b1.tri, *b2.tri);
        if (status != OBBT_OK) return status;
        done = true;
      } else {
        // The second child is walked now, the first one later.
        BoxPair first;
        BoxPair second;
        if (leaf2 || (!leaf1 && b2.halfExt[0] < b1.halfExt[0])) {
          OpenFirst(cur, b1.child1, first);
          OpenFirst(cur, b1.child2, second);
        } else {
          OpenSecond(cur, b2.child1, q.s, first);
          OpenSecond(cur, b2.child2, q.s, second);
        }
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

inline bool IsBuilt(const RAPID_model* m) {
  return m != nullptr && m->buildState == OBBT_STATE_BUILT && m->boxes != nullptr;
}

const double kIdentity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const double kZero[3] = {0, 0, 0};

}  // namespace

namespace obbt_detail {

void FreeContacts() {
  delete[] g_contacts;
  g_contacts = nullptr;
  g_contactCapacity = 0;
  g_contactCount = 0;
}

void SetContactCapacityLimitForTesting(std::size_t limit) {
  g_contactCapacityLimit = limit;
}

}  // namespace obbt_detail

long ObbtContactCount() {
  return static_cast<long>(g_contactCount);
}

const ContactPair* ObbtContacts() {
  return g_contactCount > 0 ? g_contacts : nullptr;
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

  g_contactCount = 0;
  return Descend(q, root);
}

int CollideModelsInPlace(const RAPID_model* model1, const RAPID_model* model2, int flag) {
  return CollideModels(kIdentity, kZero, 1.0, model1, kIdentity, kZero, 1.0, model2, flag);
}
