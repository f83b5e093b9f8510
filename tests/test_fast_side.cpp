// The indexed point-against-surface road must give exactly the plain scans'
// answers: the same side code and the same deciding triangle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "kromesh/math/TriangleIndex.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "kromesh/organize/CMeshPosCheck.h"
#include "support/FastSideShapes.h"

namespace {

using fastside::Surface;
using KRO::G3D_DVertex;

// s scaled by k, then moved by d along every axis.
Surface Placed(Surface s, double k, double d) {
  for (G3D_DVertex& v : s.v) v = {v.x * k + d, v.y * k + d, v.z * k + d};
  return s;
}

// A view reads s in place (s outlives the index in every test).
CTriangleIndex IndexOf(Surface& s, bool view = false) {
  CTriangleIndex index;
  EXPECT_EQ(view ? index.BuildView(s.v.data(), s.nv(), s.t.data(), s.nt())
                 : index.Build(s.v.data(), s.nv(), s.t.data(), s.nt()),
            1);
  return index;
}

// Compares both roads for every point from the start triangles -1 (nearest
// search), 0 (the curved-surface checker's start) and one seeded pick.
// Returns how many points the surface decided (code other than -2).
int ExpectSameSides(Surface& s, const CTriangleIndex& index, std::vector<G3D_DVertex> pts,
                    unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<long> pick(0, s.nt() - 1);
  int decided = 0;
  long occluder = -1, nearest = -1;
  for (size_t i = 0; i < pts.size(); ++i) {
    for (long start : {-1L, 0L, pick(rng)}) {
      long plainTri = start, fastTri = start;
      const long plain = CMathFunCls::Check3dPntAndKroSurf(&pts[i], s.v.data(), s.nv(), s.t.data(),
                                                           s.nt(), plainTri);
      const long fast =
          CMathFunCls::Check3dPntAndKroSurf(&pts[i], &index, fastTri, &occluder, &nearest);
      EXPECT_EQ(fast, plain) << "point " << i << " start " << start;
      EXPECT_EQ(fastTri, plainTri) << "point " << i << " start " << start;
      if (start == -1 && plain != -2) ++decided;
    }
  }
  return decided;
}

// Segments between random points, points on the surface and centroids,
// with every skip value a caller uses (none, a random one, the end's own).
void ExpectSameCrossings(Surface& s, const CTriangleIndex& index,
                         const std::vector<G3D_DVertex>& from, unsigned seed) {
  const std::vector<G3D_DVertex> g = fastside::Centroids(s);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<long> pick(0, s.nt() - 1);
  int cut = 0, clear = 0;
  for (size_t i = 0; i < from.size(); ++i) {
    const long to = pick(rng);
    G3D_DVertex p = from[i], q = g[static_cast<size_t>(to)];
    for (long skip : {-1L, to, pick(rng)}) {
      const long plain = CMathFunCls::CheckSegAndOtherKroSurf(skip, &p, &q, s.v.data(), s.nv(),
                                                              s.t.data(), s.nt());
      EXPECT_EQ(CMathFunCls::CheckSegAndOtherKroSurf(skip, &p, &q, &index), plain)
          << "segment " << i << " skip " << skip;
      (plain ? cut : clear)++;
    }
  }
  // Both answers occur, or the comparison proves little.
  EXPECT_GT(cut, 0);
  EXPECT_GT(clear, 0);
}

// Random points, points on and near the surface, lattice ties and slivers:
// both roads give the same sides, triangles and crossings.
TEST(FastSide, ScenarioSurfacesSameSidesTrianglesAndCrossings) {
  std::vector<G3D_DVertex> lattice;
  // Lattice and half-lattice points above, on and below the plane: many
  // centroids at exactly equal distances.
  for (int j = -1; j <= 13; ++j)
    for (int i = -1; i <= 13; ++i)
      for (double z : {-2.0, 0.0, 1e-6, 1.5}) lattice.push_back({i * 1.0, j * 1.0, z});
  for (int j = 0; j < 12; ++j)
    for (int i = 0; i < 12; ++i) lattice.push_back({i + 0.5, j + 0.5, (i + j) % 2 ? 0.7 : -0.7});
  // Points between the layers of a Z fold do not see most centroids: the
  // search walks the neighbouring indices, as in the plain test, and must
  // really have moved away from its start for many points.
  struct Case {
    const char* name;
    Surface s;
    G3D_DVertex lo, hi;  // random points within, or lo == hi: the lattice
    unsigned seed;
    int minDecided, minMoved;
  } cases[] = {
      // clang-format off
      {"wavy terrain", fastside::WavyTerrain(20, 1.0, 2.0), {-5, -5, -6}, {25, 25, 6}, 11, 201, 0},
      {"folded sheet", fastside::FoldedSheet(16, 8, 10, 6, 1, 0.05, 21),
       {-1, -1, -0.8}, {11, 7, 2.8}, 22, 0, 51},
      {"tied lattice", fastside::TiedLattice(12), {}, {}, 31, 0, 0},
      // Far from the origin the index's float boxes round by up to 0.25, and
      // past the float range they open to infinity: the answers stay exact.
      {"terrain 3e6 away", Placed(fastside::WavyTerrain(12, 1.0, 2.0), 1.0, 3e6),
       {3e6 - 2, 3e6 - 2, 3e6 - 4}, {3e6 + 14, 3e6 + 14, 3e6 + 4}, 41, 0, 0},
      {"terrain past the float range", Placed(fastside::WavyTerrain(8, 1.0, 2.0), 1e38, 0.0),
       {-1e38, -1e38, -4e38}, {9e38, 9e38, 4e38}, 61, 0, 0},
      // clang-format on
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CTriangleIndex index = IndexOf(c.s, (&c - cases) % 2 == 1);
    std::vector<G3D_DVertex> pts = lattice;
    if (c.lo.x < c.hi.x) {
      pts = fastside::RandomPoints(150, c.lo, c.hi, c.seed);
      const std::vector<G3D_DVertex> near = fastside::PointsOnAndNear(c.s, 90, c.seed + 1);
      pts.insert(pts.end(), near.begin(), near.end());
    }
    EXPECT_GE(ExpectSameSides(c.s, index, pts, c.seed + 2), c.minDecided);
    ExpectSameCrossings(c.s, index, pts, c.seed + 3);
    int moved = 0;
    for (G3D_DVertex& p : pts) {
      long tri = 0;
      moved += CMathFunCls::Check3dPntAndKroSurf(&p, &index, tri) != -2 && tri != 0;
    }
    EXPECT_GE(moved, c.minMoved);
  }
}

TEST(FastSide, CrossingsAcceptedOnlyByTolerances) {
  // A large triangle in z = 0 and small ones elsewhere, so that the index
  // has a tree to descend.
  Surface s = fastside::WavyTerrain(6, 1.0, 0.5);
  for (G3D_DVertex& v : s.v) v.z += 50.0;
  const long big = s.nv();
  s.v.insert(s.v.end(), {{0, 0, 0}, {1000, 0, 0}, {0, 1000, 0}});
  s.t.push_back({{big, big + 1, big + 2}});
  const CTriangleIndex index = IndexOf(s);
  struct Case {
    G3D_DVertex p, q;
  } cases[] = {
      // The segment stops 7e-7 short of the plane: line_tri looks past q and
      // the hit is "the same point" as q.
      {{300, 300, 1}, {300, 300, 7e-7}},
      {{300, 300, -1}, {300, 300, -9e-7}},
      // The hit lies 1e-5 outside an edge 1000 long, within the angle-sum
      // tolerance of the point-in-triangle test.
      {{500, -1e-5, 1}, {500, -1e-5, -1}},
      {{-1e-5, 400, -1}, {-1e-5, 400, 1}},
  };
  for (Case& c : cases) {
    ASSERT_EQ(CMathFunCls::CheckSegAndOtherKroSurf(-1, &c.p, &c.q, s.v.data(), s.nv(), s.t.data(),
                                                   s.nt()),
              1);
    EXPECT_EQ(CMathFunCls::CheckSegAndOtherKroSurf(-1, &c.p, &c.q, &index), 1);
    EXPECT_EQ(CMathFunCls::CheckSegAndOtherKroSurf(s.nt() - 1, &c.p, &c.q, &index), 0);
  }
}

TEST(FastSide, NearestCentroidTieRule) {
  Surface s = fastside::TiedLattice(4);
  const CTriangleIndex index = IndexOf(s);
  // Cell (0,0) gives triangles 0 (centroid (2/3, 1/3)) and 1 ((1/3, 2/3)),
  // equally far from (0.5, 0.5): the lower index wins. Triangle 0 also has
  // a copy at a higher index, which never wins.
  G3D_DVertex p{0.5, 0.5, 2.0};
  const long sliver = s.nt() - 4;  // the first sliver (cells (1,1), (1,3), (3,1), (3,3))
  // A seed only changes where the search starts: the tie, the sliver, a
  // far triangle and nonsense give the same answer.
  for (long seed : {-1L, 1L, sliver, s.nt() - 5, 7L, s.nt() + 3})
    EXPECT_EQ(index.FindNearestCentroid(&p, seed), 0) << seed;
  // The sliver centred near (1, 1.0033, 0.02) is nearer to q than any
  // lattice centroid, but slivers are skipped, even as a seed.
  G3D_DVertex a = s.v[s.t[sliver].v[0]], b = s.v[s.t[sliver].v[1]], c = s.v[s.t[sliver].v[2]];
  ASSERT_NE(CMathFunCls::IsThinPlateTriangle(&a, &b, &c), -1);
  G3D_DVertex q{1.0, 1.0034, 0.02};
  const long nearest = index.FindNearestCentroid(&q);
  EXPECT_NE(nearest, sliver);
  EXPECT_EQ(index.FindNearestCentroid(&q, sliver), nearest);
  ASSERT_GE(nearest, 0);
  G3D_DVertex g;
  ASSERT_TRUE(index.GetCentroid(nearest, &g));
  EXPECT_NEAR(CMathFunCls::CalDist3dDot(&g, &q), std::sqrt(1.0 / 9 + 1.0 / 9), 0.01);

  // A tie across leaves: triangle i has its centroid at x = 39 - i, so
  // (19.5, 0, 1) is equally far from triangle 20 (x = 19) and triangle 19
  // (x = 20), which the splits put in different leaves. The leaf opened
  // second lies exactly at the best distance and must still be opened.
  Surface row;
  for (long i = 0; i < 40; ++i) {
    const double x = 39.0 - static_cast<double>(i);
    row.v.insert(row.v.end(), {{x - 0.25, -0.25, 0}, {x + 0.25, -0.25, 0}, {x, 0.5, 0}});
    row.t.push_back({{3 * i, 3 * i + 1, 3 * i + 2}});
  }
  G3D_DVertex mid{19.5, 0, 1};
  EXPECT_EQ(IndexOf(row).FindNearestCentroid(&mid), 19);
}

TEST(FastSide, PointNetLayoutMatchesItsPlainTest) {
  Surface s = fastside::FoldedSheet(10, 6, 8.0, 4.0, 0.8, 0.02, 41);
  std::vector<KroPntStrcT> pts;
  std::vector<KroNetStrcT> nets;
  shapes::ToPntNet({s.v, s.t}, pts, nets);
  nets[3].pnt[1] = 0;  // an unreadable triangle is skipped by both roads
  CTriangleIndex index;
  ASSERT_EQ(index.Build(pts.data(), static_cast<long>(pts.size()), nets.data(),
                        static_cast<long>(nets.size())),
            1);
  EXPECT_FALSE(index.AllReadable());
  std::vector<G3D_DVertex> probes = fastside::RandomPoints(150, {-1, -1, -0.5}, {9, 5, 2.1}, 42);
  for (size_t i = 0; i < probes.size(); ++i) {
    for (long start : {-1L, 0L, 3L}) {
      long plainTri = start, fastTri = start;
      const long plain =
          CMathFunCls::Check3dPntAndSurf(&probes[i], pts.data(), static_cast<long>(pts.size()),
                                         nets.data(), static_cast<long>(nets.size()), plainTri);
      EXPECT_EQ(CMathFunCls::Check3dPntAndSurf(&probes[i], &index, fastTri), plain) << i;
      EXPECT_EQ(fastTri, plainTri) << i;
    }
  }
}

TEST(FastSide, BrokenTrianglesAndOddInput) {
  Surface s = fastside::WavyTerrain(8, 1.0, 1.0);
  s.t[5].v[2] = s.nv();  // corner outside the buffer
  s.t[9].v[0] = -1;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  s.v[20].z = nan;  // triangles around vertex 20 cannot be placed in a box
  s.v[40].x = inf;
  const CTriangleIndex index = IndexOf(s);
  std::vector<G3D_DVertex> pts = fastside::RandomPoints(120, {-1, -1, -3}, {9, 9, 3}, 51);
  pts.insert(pts.end(), {{nan, 1, 1}, {1, inf, 1}, {1e300, -1e300, 1}});
  ExpectSameSides(s, index, pts, 52);
  ExpectSameCrossings(s, index, pts, 53);

  // Null and empty inputs behave as the plain test's empty set.
  G3D_DVertex p{1, 1, 1};
  CTriangleIndex empty;
  EXPECT_EQ(empty.Build(s.v.data(), 0, s.t.data(), s.nt()), 0);
  long tri = 7;
  EXPECT_EQ(CMathFunCls::Check3dPntAndKroSurf(&p, &empty, tri), -2);
  EXPECT_EQ(tri, 7);
  tri = index.GetTriCount();  // start triangle out of range: -2, tri untouched
  EXPECT_EQ(CMathFunCls::Check3dPntAndKroSurf(&p, &index, tri), -2);
  EXPECT_EQ(tri, index.GetTriCount());
}

TEST(FastSide, IndexCopiesAndMovesAnswerAlike) {
  Surface s = fastside::WavyTerrain(10, 1.0, 2.0);
  auto original = std::make_unique<CTriangleIndex>(IndexOf(s));
  CTriangleIndex copy(*original);
  CTriangleIndex moved(std::move(*original));
  EXPECT_TRUE(original->IsEmpty());
  original.reset();
  s.v.assign(s.v.size(), {0, 0, 0});  // the index answers for the set as it was built
  Surface fresh = fastside::WavyTerrain(10, 1.0, 2.0);
  const std::vector<G3D_DVertex> pts = fastside::RandomPoints(60, {0, 0, -4}, {10, 10, 4}, 61);
  ExpectSameSides(fresh, copy, pts, 62);
  ExpectSameSides(fresh, moved, pts, 63);
}

// The organizer of a curved cutter classifies a cut terrain; the checker's
// indexed road and its plain scan must give the same two sides.
TEST(FastSide, CutMeshClassificationSameWithBothRoads) {
  Surface cutter = fastside::WavyTerrain(16, 1.0, 2.5, 0.7);
  Surface cutS = fastside::WavyTerrain(14, 1.15, 1.5, 2.1);
  KroSimpleMesh cut = shapes::ToMesh({cutS.v, cutS.t});
  CMeshOrganizeSurf o;
  o.SetObbtObj(nullptr, cutter.v.data(), cutter.nv(), cutter.t.data(), cutter.nt());
  o.BuildPosCheckObj();
  auto* curv = dynamic_cast<CMeshPosCheckCurv*>(o.GetPosCheckObj());
  ASSERT_NE(curv, nullptr);
  ASSERT_TRUE(curv->HasIndex());
  ASSERT_TRUE(curv->GetUseIndex());

  auto sides = [&o, &cut]() {
    EXPECT_EQ(o.ClassifySurfMeshTo2Side(&cut, nullptr, nullptr), 1);
    const long *l1 = nullptr, *l2 = nullptr;
    long n1 = 0, n2 = 0;
    o.GetSideTriList(Kro_Remain_Side1, &l1, &n1);
    o.GetSideTriList(Kro_Remain_Side2, &l2, &n2);
    return std::make_pair(std::vector<long>(l1, l1 + n1), std::vector<long>(l2, l2 + n2));
  };
  const auto fast = sides();
  curv->SetUseIndex(false);
  const auto plain = sides();
  EXPECT_EQ(fast, plain);
  EXPECT_GT(fast.first.size(), 40u);
  EXPECT_GT(fast.second.size(), 40u);
  // A released index is built again by the next query, to the same sides.
  curv->SetUseIndex(true);
  curv->ReleaseIndex();
  EXPECT_EQ(sides(), fast);
  EXPECT_TRUE(curv->HasIndex());

  // A clone shares the index and keeps answering after the original is gone.
  std::unique_ptr<CMeshPosCheckBase> clone(curv->Clone());
  auto* curvClone = dynamic_cast<CMeshPosCheckCurv*>(clone.get());
  ASSERT_NE(curvClone, nullptr);
  curvClone->SetUseIndex(true);
  o.BuildPosCheckObj();  // replaces (and deletes) the organizer's checker
  std::vector<G3D_DVertex> g = fastside::Centroids(cutS);
  size_t onSide1 = 0;
  // Side 1 is exactly where the checker answers -1 (for legal triangles).
  for (long t : fast.first)
    onSide1 +=
        clone->PosCheckPntAndMesh(&g[static_cast<size_t>(t)], nullptr, nullptr, nullptr) == -1;
  EXPECT_EQ(onSide1, fast.first.size());
}

}  // namespace
