// OBB tree core: build, triangle and box tests, collision query, contact list.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kromesh/Obbt/ObbtInternal.h"
#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/host/KroMessageBox.h"
#include "support/ObbtShapes.h"

using namespace obbt_test;

namespace {

std::vector<int> LeafIds(const RAPID_model& m, int32_t node) {
  const ObbNode& b = m.Nodes()[node];
  std::vector<int> a;
  if (b.IsLeaf()) {
    for (int32_t k = 0; k < b.count; ++k) a.push_back(m.Id(m.LeafOrder()[b.child + k]));
    std::sort(a.begin(), a.end());
    return a;
  }
  a = LeafIds(m, b.child);
  std::vector<int> c = LeafIds(m, b.child + 1);
  a.insert(a.end(), c.begin(), c.end());
  std::sort(a.begin(), a.end());
  return a;
}

}  // namespace

// --- build ------------------------------------------------------------------

// Whether the boxes enclose their triangles is checked end to end by the
// collision queries against brute force below.
TEST(ObbtBuild, ZeroAreaTrianglesWarnAndTakeAWeight) {
  // Segments along x (zero area) at the given positions, after real
  // triangles of area 2 (centroid x=-1/3) and 0.5 (x=5/6) when `real`; each
  // c times, so that the root splits. All zero area: unit weights put the
  // mean at 4.7, so the segments at 10 and 10.5 go to one side (a failed
  // split would halve by order). With the real ones, the segments borrow the
  // smallest area 0.5: the mean is 2.81 (4.14 with weight 1).
  const int c = OBBT_LEAF_TRIS / 4 + 1;
  auto ids = [](int from, int to) {
    std::vector<int> v;
    for (int i = from; i < to; ++i) v.push_back(i);
    return v;
  };
  const struct {
    bool real;
    std::vector<double> xs;
    std::set<std::vector<int>> halves;
  } cases[] = {{false, {0, 1, 2, 10, 10.5}, {ids(0, 3 * c), ids(3 * c, 5 * c)}},
               {true, {4, 9, 10}, {ids(0, 2 * c), ids(2 * c, 5 * c)}}};
  for (const auto& cs : cases) {
    RAPID_model m;
    Soup s;
    for (int k = 0; k < c && cs.real; ++k) s.push_back(Tri{-1, -1, 0, 1, -1, 0, -1, 1, 0});
    for (int k = 0; k < c && cs.real; ++k)
      s.push_back(Tri{0.5, -0.5, 0, 1.5, -0.5, 0, 0.5, 0.5, 0});
    for (double x : cs.xs)
      for (int k = 0; k < c; ++k) s.push_back(Tri{x - 0.1, 0, 0, x, 0, 0, x + 0.1, 0, 0});
    ASSERT_GT(s.size(), size_t(OBBT_LEAF_TRIS));
    KroTakeMessages();
    testing::internal::CaptureStderr();
    ASSERT_EQ(FillModel(m, s), OBBT_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the host decides what to show
    EXPECT_EQ(KroTakeMessages(),
              std::vector<std::string>{"Warning!  Some triangles have zero area!"});
    EXPECT_EQ((std::set<std::vector<int>>{LeafIds(m, m.Nodes()[0].child),
                                          LeafIds(m, m.Nodes()[0].child + 1)}),
              cs.halves);
  }
  // Normals of 1e-6 and below: the leaf box must still sit on the triangle,
  // not near the origin; a triangle across it is found.
  for (const Tri& t : {Tri{10, 0, 0, 10.001, 0, 0, 10, 0.001, 0}, Tri{10, 5, 1, 11, 5, 1, 12, 5, 1},
                       Tri{3, 3, 3, 3, 3, 3, 3, 3, 3}}) {
    RAPID_model m, other;
    ASSERT_EQ(FillModel(m, Soup{t}), OBBT_OK);
    EXPECT_NEAR(m.Nodes()[0].pos[0] + m.Origin()[0], (t[0] + t[3] + t[6]) / 3, 0.01);
    const double c[3] = {(t[0] + t[3]) / 2, (t[1] + t[4]) / 2, (t[2] + t[5]) / 2};
    ASSERT_EQ(FillModel(other, Soup{Tri{c[0], c[1] - 1, c[2] - 1, c[0], c[1] + 1, c[2] - 1, c[0],
                                        c[1], c[2] + 1}}),
              OBBT_OK);
    ASSERT_EQ(CollideModelsInPlace(&m, &other), OBBT_OK);
    EXPECT_EQ(ObbtContactCount(), 1);
  }
}

TEST(ObbtBuild, StatesCallOrderAndUnsafeInput) {
  RAPID_model m;
  EXPECT_EQ(m.ResetModel(), OBBT_OK);
  EXPECT_EQ(m.FinishModel(), OBBT_EMPTY);
  const double p[3] = {0, 0, 0}, q[3] = {1, 0, 0}, r[3] = {0, 1, 0};
  EXPECT_EQ(m.AppendTri(p, q, r, 0), OBBT_OK);
  EXPECT_EQ(m.ResetModel(), OBBT_WRONG_ORDER);  // already building, still emptied
  EXPECT_EQ(m.GetTriCount(), 0);
  EXPECT_EQ(m.AppendTri(nullptr, q, r, 0), OBBT_NULL_ARGUMENT);
  EXPECT_EQ(m.AppendTri(p, q, r, 1L << 40), OBBT_BAD_ID);
  EXPECT_EQ(m.AppendTri(p, q, r, -(1L << 40)), OBBT_BAD_ID);
  EXPECT_EQ(m.AppendTri(p, q, r, INT32_MIN), OBBT_OK);
  obbt_detail::SetTriLimitForTesting(3);
  EXPECT_EQ(m.AppendTri(p, q, r, 1) + m.AppendTri(p, q, r, 2), OBBT_OK);
  EXPECT_EQ(m.AppendTri(p, q, r, 3), OBBT_TOO_MANY_TRIS);
  obbt_detail::SetTriLimitForTesting(0);
  EXPECT_EQ(m.GetTriCount(), 3);
  double out[9] = {0}, c[3], h[3], rot[9];
  EXPECT_EQ(m.GetRootObb(c, h, rot), -1);  // not built yet
  EXPECT_EQ(m.GetTriVertices(out, 3) + m.GetTriVertices(out, -1), -2);
  ASSERT_EQ(m.FinishModel(), OBBT_OK);
  EXPECT_EQ(m.AppendTri(p, q, r, 6), OBBT_WRONG_ORDER);
  EXPECT_EQ(m.GetRootObb(c, h, nullptr), -1);
  const ObbNode* before = m.Nodes().data();
  EXPECT_EQ(m.FinishModel(), OBBT_OK);  // a second finish keeps the same tree
  EXPECT_EQ(m.Nodes().data(), before);
  EXPECT_EQ(m.AttachedPoints(), nullptr);

  // An attached mesh is read in place: only on an empty model, checked
  // whole, and nothing is appended after it.
  double xyz[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  long tris[] = {0, 1, 2, 1, 3, 2};
  RAPID_model a;
  EXPECT_EQ(a.AttachMesh(xyz, 3, tris, 2), OBBT_BAD_ID);  // corner 3 of only three points
  EXPECT_EQ(a.AttachMesh(nullptr, 4, tris, 2), OBBT_NULL_ARGUMENT);
  EXPECT_EQ(a.GetTriCount(), 0);
  ASSERT_EQ(a.AttachMesh(xyz, 4, tris, 2), OBBT_OK);
  EXPECT_EQ(a.AppendTri(p, q, r, 2), OBBT_WRONG_ORDER);
  EXPECT_EQ(a.AttachMesh(xyz, 4, tris, 2), OBBT_WRONG_ORDER);
  ASSERT_EQ(a.FinishModel(), OBBT_OK);
  EXPECT_EQ(a.AttachedPoints(), xyz);
  xyz[9] = 7;  // the caller's buffer is the model's corner
  ASSERT_EQ(a.GetTriVertices(out, 1), 1);
  EXPECT_EQ(out[3], 7.0);  // corner 1 of triangle 1 is point 3
  EXPECT_EQ(a.GetTriId(1), 1);
}

// --- overlap tests ------------------------------------------------------------

TEST(ObbtOverlap, TrianglesTouchingCountAndGapsDoNot) {
  const Tri a{0, 0, 0, 1, 0, 0, 0, 1, 0};
  const struct {
    const char* name;
    Tri b;
    bool overlap;
  } cases[] = {
      // clang-format off
      {"coplanar, sharing an edge",                {1, 0, 0, 1, 1, 0, 0, 1, 0}, true},
      {"touching at a vertex from another plane",  {1, 0, 0, 1, 0, 1, 2, 0, 1}, true},
      {"coplanar, a hair apart",                   {1.000001, 0, 0, 2, 0, 0, 2, 1, 0}, false},
      {"piercing",                                 {0.2, 0.2, -1, 0.2, 0.2, 1, 5, 5, 0}, true},
      {"parallel planes",                          {0, 0, 1e-9, 1, 0, 1e-9, 0, 1, 1e-9}, false},
      {"a segment through the interior",           {0.2, 0.2, -1, 0.2, 0.2, 1, 0.2, 0.2, 1}, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    const double *p = &a[0], *q = &c.b[0];
    EXPECT_EQ(obbt_detail::TrianglesOverlap(p, p + 3, p + 6, q, q + 3, q + 6), c.overlap) << c.name;
    EXPECT_EQ(obbt_detail::TrianglesOverlap(q, q + 3, q + 6, p, p + 3, p + 6), c.overlap)
        << c.name << ", swapped";
  }
}

TEST(ObbtOverlap, BoxSeparationFindsGapsOnlyBetweenApartBoxes) {
  Placement id, turned = Rotation(0.6, 0.0, 0.8, 0.7);
  const double one[3] = {1, 1, 1}, far[3] = {3, 0, 0}, touch[3] = {2, 0, 0}, in[3] = {0.5, 0.9, 0};
  EXPECT_EQ(obbt_detail::BoxSeparation(id.R, far, one, one), 1);
  EXPECT_EQ(obbt_detail::BoxSeparation(id.R, touch, one, one), 0);
  EXPECT_EQ(obbt_detail::BoxSeparation(turned.R, in, one, one), 0);  // centre inside the other
  EXPECT_NE(obbt_detail::BoxSeparation(turned.R, far, one, one), 0);
}

// --- collision query ------------------------------------------------------------

TEST(ObbtCollide, SharedFaceTouchingPairsAreReported) {
  // Two unit squares (two triangles each) on the plane z=0 sharing the edge
  // x=1, plus a square on x=1 standing on that edge; also far from the
  // origin, where floats space 0.5 apart and only exact touching is left.
  for (const double o : {0.0, 5.3e6 + 0.125}) {
    auto at = [o](Tri t) {
      for (int i = 0; i < 9; i += 3) t[i] += o, t[i + 1] -= o;
      return t;
    };
    Soup left = {at(Tri{0, 0, 0, 1, 0, 0, 1, 1, 0}), at(Tri{0, 0, 0, 1, 1, 0, 0, 1, 0})};
    Soup wall = {at(Tri{1, 0, 0, 1, 1, 0, 1, 1, 1}), at(Tri{1, 0, 0, 1, 1, 1, 1, 0, 1})};
    RAPID_model a, b;
    ASSERT_EQ(FillModel(a, left, 3), OBBT_OK);
    ASSERT_EQ(FillModel(b, wall, 9), OBBT_OK);
    ASSERT_EQ(CollideModelsInPlace(&a, &b), OBBT_OK);
    // Triangle 3 of the floor has the edge x=1; both wall triangles touch it.
    EXPECT_EQ(Sorted(Contacts()), (std::vector<Pair>{{3, 9}, {3, 10}, {4, 9}})) << o;

    // The same face in both models: every coplanar pair counts.
    ASSERT_EQ(FillModel(b, left), OBBT_OK);
    ASSERT_EQ(CollideModelsInPlace(&a, &b), OBBT_OK);
    EXPECT_EQ(ObbtContactCount(), 4) << o;
  }
}

// Overlapping spheres: every pair once, as brute force finds them; the
// first-contact walk stops after the walk's first pair, an unknown flag
// means all, and a full list keeps the pairs found before it filled up.
TEST(ObbtCollide, OverlappingSpheresMatchBruteForceFirstContactAndAFullList) {
  const double c0[3] = {0, 0, 0}, c1[3] = {0.5, 0.2, 0.1};
  Soup s1 = MakeSphere(c0, 1.0, 10, 20), s2 = MakeSphere(c1, 1.0, 10, 20);
  RAPID_model a, b;
  ASSERT_EQ(FillModel(a, s1), OBBT_OK);
  ASSERT_EQ(FillModel(b, s2), OBBT_OK);
  ASSERT_EQ(CollideModelsInPlace(&a, &b, OBBT_ALL_CONTACTS), OBBT_OK);
  const std::vector<Pair> all = Contacts();
  ASSERT_GT(all.size(), 25u);
  EXPECT_EQ(Sorted(all), BruteForcePairs(s1, {}, s2, {}));
  EXPECT_EQ(std::set<Pair>(all.begin(), all.end()).size(), all.size());  // no repeats
  ASSERT_EQ(CollideModelsInPlace(&a, &b, OBBT_FIRST_CONTACT), OBBT_OK);
  ASSERT_EQ(ObbtContactCount(), 1);
  EXPECT_TRUE(std::count(all.begin(), all.end(), Contacts()[0]));
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));  // whatever the tree's shape
  ASSERT_EQ(CollideModelsInPlace(&a, &b, 99), OBBT_OK);
  EXPECT_EQ(Contacts(), all);
  obbt_detail::SetContactCapacityLimitForTesting(25);
  { RAPID_model drop; }  // start again from an empty list
  const int status = CollideModelsInPlace(&a, &b);
  obbt_detail::SetContactCapacityLimitForTesting(0);
  EXPECT_EQ(status, OBBT_NO_CONTACT_MEMORY);
  const std::vector<Pair> kept = Contacts();  // the pairs found before the list was full
  EXPECT_EQ(kept.size(), 25u);
  EXPECT_TRUE(std::includes(all.begin(), all.end(), kept.begin(), kept.end()));
}

TEST(ObbtCollide, UnbuiltModelsAreRefused) {
  RAPID_model a, b, fresh, building;
  ASSERT_EQ(FillModel(a, {Tri{0, 0, 0, 1, 0, 0, 0, 1, 0}}), OBBT_OK);
  ASSERT_EQ(FillModel(b, {Tri{0.1, 0.1, 0, 1.1, 0.1, 0, 0.1, 1.1, 0}}), OBBT_OK);
  ASSERT_EQ(CollideModelsInPlace(&a, &b), OBBT_OK);
  ASSERT_EQ(ObbtContactCount(), 1);
  building.ResetModel();
  const double p[3] = {0, 0, 0};
  building.AppendTri(p, p, p, 0);
  EXPECT_EQ(CollideModelsInPlace(&a, &fresh), OBBT_NOT_BUILT);
  EXPECT_EQ(CollideModelsInPlace(&building, &b), OBBT_NOT_BUILT);
  EXPECT_EQ(CollideModelsInPlace(nullptr, &b), OBBT_NOT_BUILT);
  EXPECT_EQ(ObbtContactCount(), 1);
  { RAPID_model unrelated; }  // destroying any model empties the list
  EXPECT_EQ(ObbtContactCount(), 0);
  EXPECT_EQ(ObbtContacts(), nullptr);
}

TEST(ObbtCollide, PlacementsMatchPretransformedModels) {
  std::mt19937 rng(3);
  // Enough small triangles for trees many leaves deep, so that a box placed
  // wrongly loses pairs.
  Soup s1 = RandomSoup(rng, 700, 4.0, 0.3), s2 = RandomSoup(rng, 700, 4.0, 0.3);
  Placement p1 = Rotation(0.0, 0.6, 0.8, 0.7), p2 = Rotation(1, 0, 0, -0.3);
  p1.T[0] = 0.5;
  p1.s = 1.5;
  p2.T[2] = -1.0;
  p2.s = 0.75;
  RAPID_model a, b;
  ASSERT_EQ(FillModel(a, s1), OBBT_OK);
  ASSERT_EQ(FillModel(b, s2), OBBT_OK);
  ASSERT_EQ(CollideModels(p1.R, p1.T, p1.s, &a, p2.R, p2.T, p2.s, &b), OBBT_OK);
  const std::vector<Pair> found = Sorted(Contacts());
  EXPECT_FALSE(found.empty());
  EXPECT_EQ(found, BruteForcePairs(s1, p1, s2, p2));
}

TEST(ObbtCollide, RandomModelsMatchBruteForce) {
  std::mt19937 rng(20261206);
  const double scales[] = {1.0, 1e-3, 1e4};  // 1e-3: normals below 1e-6
  // Far from the origin the boxes, kept in floats, are measured from the
  // model's middle; several hundred triangles make trees several leaves deep.
  const double offsets[] = {0.0, 0.0, 4.1e6, -2.7e5, 0.0};
  for (int round = 0; round < 15; ++round) {
    const double k = scales[round % 3], o = offsets[round % 5];
    std::uniform_int_distribution<int> count(1, round < 10 ? 80 : 600);
    Soup s1 = RandomSoup(rng, count(rng), 5.0 * k, 0.7 * k);
    Soup s2 = RandomSoup(rng, count(rng), 5.0 * k, 0.7 * k);
    for (Soup* s : {&s1, &s2})
      for (Tri& t : *s)
        for (int i = 0; i < 9; ++i) t[i] += i % 3 == 1 ? o : 0.5 * o;
    if (round % 5 == 0 && s1.size() > 2) {  // shared triangles and a sliver
      s2.push_back(s1[0]);
      s1[1][6] = s1[1][0] + (s1[1][3] - s1[1][0]) * 0.5;
      s1[1][7] = s1[1][1] + (s1[1][4] - s1[1][1]) * 0.5;
      s1[1][8] = s1[1][2] + (s1[1][5] - s1[1][2]) * 0.5;
    }
    RAPID_model a, b;
    ASSERT_EQ(FillModel(a, s1), OBBT_OK);
    ASSERT_EQ(FillModel(b, s2), OBBT_OK);
    ASSERT_EQ(CollideModelsInPlace(&a, &b), OBBT_OK);
    EXPECT_EQ(Sorted(Contacts()), BruteForcePairs(s1, {}, s2, {})) << "round " << round;
  }
}
