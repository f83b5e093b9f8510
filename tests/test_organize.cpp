// Region search (ring queue, flood bounded by cut points) and the two-side
// classification of a cut mesh by the organizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/organize/CBFSearch.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "kromesh/organize/CMeshPosCheck.h"
#include "support/OrganizeShapes.h"
#include "support/Shapes.h"

using orgshapes::BlockLoop;
using orgshapes::Centroid;
using orgshapes::Grid;
using V = KRO::G3D_DVertex;

namespace {

std::vector<long> Piece(CBFSearch& s, long i) {
  long* list = nullptr;
  long n = 0;
  s.GetSurfTriList(i, &list, &n);
  return list ? std::vector<long>(list, list + n) : std::vector<long>();
}

// Runs the region search over m with the given cut points.
CBFSearch Split(KroSimpleMesh& m, std::vector<V>& cuts, std::vector<C3DTriaTop>& tops) {
  tops.assign(m.m_triangles.size(), C3DTriaTop{{-1, -1, -1}});
  CBFSearch s;
  s.InitSeachObj(m.m_positions.data(), static_cast<long>(m.m_positions.size()),
                 m.m_triangles.data(), tops.data(), static_cast<long>(m.m_triangles.size()),
                 cuts.empty() ? nullptr : cuts.data(), static_cast<long>(cuts.size()));
  s.SplitObj();
  return s;
}

bool InsideBlock(const V& p, double a, double b) {
  return p.x > a && p.x < b && p.y > a && p.y < b;
}

bool IndicesInRange(const KroSimpleMesh& m) {
  return shapes::IndicesValid(shapes::SoupOf(m));
}

// A surface organizer whose cutter is the plane z = 0 (normal +z).
struct PlaneOrganizer {
  RAPID_model model;
  CMeshOrganizeSurf o;
  PlaneOrganizer() {
    const double a[3] = {-10, -10, 0}, b[3] = {10, -10, 0}, c[3] = {10, 10, 0}, d[3] = {-10, 10, 0};
    model.ResetModel();
    model.AppendTri(a, b, c, 0);
    model.AppendTri(a, c, d, 1);
    model.FinishModel();
    o.SetObbtObj(&model, nullptr, 0, nullptr, 0);
    o.SetMeshType(Kro_Mesh_Plane);
    o.BuildPosCheckObj();
  }
};

// One vertical triangle per height: centroid at (3i, 0, z).
KroSimpleMesh TrianglesAtHeights(const std::vector<double>& zs) {
  KroSimpleMesh m;
  for (size_t i = 0; i < zs.size(); ++i) {
    const double x = 3.0 * i, z = zs[i];
    const long base = static_cast<long>(m.m_positions.size());
    m.m_positions.insert(m.m_positions.end(),
                         {{x - 1, 0, z - 1}, {x + 1, 0, z - 1}, {x, 0, z + 2}});
    m.m_triangles.push_back({{base, base + 1, base + 2}});
  }
  return m;
}

std::vector<long> SideList(const CMeshOrganizeBase& o, Kro_Mesh_Remain_Side side) {
  const long* list = nullptr;
  long n = 0;
  o.GetSideTriList(side, &list, &n);
  return list ? std::vector<long>(list, list + n) : std::vector<long>();
}

const std::vector<long> kInnerBlock = {10, 11, 12, 13, 18, 19, 20, 21};

}  // namespace

// ---------------------------------------------------------------------------
// Ring queue and region search

TEST(RingQueue, WrapsRefusesWhenFullAndRejectsNoCapacity) {
  CQqtype q;
  q.InitiateQQueue(3);
  EXPECT_EQ(q.AppendQQueue(7), 1);
  EXPECT_EQ(q.DeleteQQueue(), 7);
  EXPECT_EQ(q.AppendQQueue(8), 1);
  EXPECT_EQ(q.AppendQQueue(9), 1);
  EXPECT_EQ(q.AppendQQueue(10), 0);
  EXPECT_EQ(q.DeleteQQueue(), 8);
  EXPECT_EQ(q.DeleteQQueue(), 9);
  EXPECT_TRUE(q.IsEmptyQQueue());
  q.InitiateQQueue(2);  // fresh queue: full only after capacity appends
  EXPECT_EQ(q.AppendQQueue(4) + q.AppendQQueue(5), 2);
  EXPECT_EQ(q.AppendQQueue(6), 0);
  EXPECT_EQ(q.DeleteQQueue(), 4);
  q.InitiateQQueue(-5);  // no slots: refused, no division by zero
  EXPECT_EQ(q.AppendQQueue(1), 0);
  EXPECT_EQ(q.DeleteQQueue(), 0);
}

TEST(RegionSearch, CutPointsBoundThePieces) {
  KroSimpleMesh twoParts = Grid(2);
  KroSimpleMesh b = Grid(1, 0.0, 10.0, 0.0);
  twoParts.merge(&b);  // a second, separate component: triangles 8 and 9
  struct Case {
    const char* name;
    KroSimpleMesh m;
    std::vector<V> cuts;
    std::vector<std::vector<long>> pieces;  // empty: only the count is checked
    long count;
  } cases[] = {
      {"no cut points: component of triangle 0, then the rest", twoParts, {}, {}, 2},
      {"closed cut line", Grid(4), BlockLoop(1, 3), {}, 2},
      // The diagonal's ends are cut points of different lines; the edge
      // between them is not on a cut line, yet it is not crossed.
      {"chord", Grid(1), {{0, 0, 0}, {5, 5, 0}, {1, 1, 0}, {7, 0, 0}}, {{0}, {1}}, 2},
      {"within 0.01 per axis", Grid(1), {{0.0099, -0.0099, 0.0099}, {1.0099, 0.9901, 0}}, {}, 2},
      {"beyond 0.01", Grid(1), {{0.0101, 0, 0}, {1, 1, 0}}, {}, 1},
  };
  cases[1].pieces = {{}, kInnerBlock};
  cases[0].pieces = {{}, {8, 9}};
  for (Case& c : cases) {
    std::vector<C3DTriaTop> tops;
    CBFSearch s = Split(c.m, c.cuts, tops);
    ASSERT_EQ(s.GetResObjNum(), c.count) << c.name;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      if (!c.pieces[i].empty()) {
        EXPECT_EQ(Piece(s, long(i)), c.pieces[i]) << c.name;
      }
    }
    if (c.count == 2 && c.m.m_triangles.size() > 8) {
      // The flood starts from triangle 0; the outer piece holds no triangle
      // of the block; the neighbour records were filled for the caller.
      std::vector<long> first = Piece(s, 0);
      EXPECT_EQ(first.front(), 0) << c.name;
      EXPECT_EQ(std::set<long>(first.begin(), first.end()).size(),
                c.m.m_triangles.size() - Piece(s, 1).size())
          << c.name;
      if (&c == &cases[1]) {
        for (long t : first) EXPECT_FALSE(InsideBlock(Centroid(c.m, t), 1, 3)) << t;
        EXPECT_EQ(tops[0].n[2], 1);
        EXPECT_EQ(tops[1].n[0], 0);
      }
    }
  }
  CBFSearch s;
  V a{0, 0, 0}, p{1, 1, 0};
  EXPECT_FALSE(s.judgeInterLin(a, p));  // no cut points at all
}

TEST(RegionSearch, IndexedCutPointMatchAgreesWithAPlainScan) {
  // A coarse lattice, so that many queries land within tolerance of some
  // cut point on one axis or several.
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> cell(0, 4);
  std::uniform_real_distribution<double> jitter(-0.012, 0.012);
  auto point = [&]() {
    return V{cell(rng) * 0.02 + jitter(rng), cell(rng) * 0.02 + jitter(rng),
             cell(rng) * 0.5 + jitter(rng)};
  };
  std::vector<V> cuts(60);
  for (auto& c : cuts) c = point();
  KroSimpleMesh m = Grid(1);
  CBFSearch s;
  s.InitSeachObj(m.m_positions.data(), 4, m.m_triangles.data(), nullptr, 2, cuts.data(), 60);
  auto scan = [&](const V& p) {
    for (const auto& c : cuts)
      if (CMathFunCls::IsSame3DDot_Prec(c, p, 0.01)) return true;
    return false;
  };
  int matches = 0;
  for (int i = 0; i < 1000; ++i) {
    V a = point(), b = point();
    EXPECT_EQ(s.judgeInterLin(a, b), scan(a) && scan(b));
    matches += scan(a) && scan(b);
  }
  EXPECT_GT(matches, 50);  // both outcomes were compared
  EXPECT_LT(matches, 950);
}

TEST(RegionSearch, EmptyMeshInvalidCornersAndSeedsAreSafe) {
  CBFSearch e;
  e.InitSeachObj(nullptr, 0, nullptr, nullptr, 0, nullptr, 0);
  e.SplitObj();
  EXPECT_EQ(e.GetResObjNum(), 0);
  EXPECT_TRUE(Piece(e, 0).empty());

  KroSimpleMesh m = Grid(2);
  m.m_triangles[3].v[1] = 99;  // corners outside the positions
  m.m_triangles[5].v[0] = -4;
  std::vector<V> cuts = {{50, 50, 50}};
  std::vector<C3DTriaTop> tops;
  CBFSearch s = Split(m, cuts, tops);
  std::vector<long> all = Piece(s, 0), p1 = Piece(s, 1);
  all.insert(all.end(), p1.begin(), p1.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<long>{0, 1, 2, 3, 4, 5, 6, 7}));
  for (const C3DTriaTop& t : tops)
    for (long nb : t.n) EXPECT_TRUE(nb >= -1 && nb < 8);
  CQqtype q;
  q.InitiateQQueue(8);
  s.Search(&q, 8);  // seeds outside the mesh are ignored
  s.Search(&q, -1);
  EXPECT_EQ(q.GetCount(), 0);
}

TEST(RegionSearch, CopiesOwnTheirMarksAndNeighbours) {
  KroSimpleMesh m = Grid(4);
  std::vector<V> cuts = BlockLoop(1, 3);
  auto original = std::make_unique<CBFSearch>();
  original->InitSeachObj(m.m_positions.data(), static_cast<long>(m.m_positions.size()),
                         m.m_triangles.data(), nullptr, static_cast<long>(m.m_triangles.size()),
                         cuts.data(), static_cast<long>(cuts.size()));
  CBFSearch copy(*original);
  original->SplitObj();
  EXPECT_EQ(copy.GetMark(0), 0);  // the copy's marks are its own
  original.reset();
  copy.SplitObj();  // uses the neighbours it copied, not the freed ones
  ASSERT_EQ(copy.GetResObjNum(), 2);
  EXPECT_EQ(Piece(copy, 1), kInnerBlock);
}

// ---------------------------------------------------------------------------
// Organizer settings

TEST(Organizer, OwnsItsPolylineAndCopiesOwnTheirChecker) {
  auto o = std::make_unique<CMeshOrganizeSurf>();
  D_DOT line[3] = {{0, 5}, {10, 5}, {20, 5}};
  D_DOT* stored = nullptr;
  long n = -1;
  o->SetPosCheckPolyline(line, 1);  // too short: ignored
  o->GetPosCheckPolyline(&stored, &n);
  EXPECT_EQ(n, 0);
  o->SetPosCheckPolyline(line, 3);
  line[1].x = 99;
  o->GetPosCheckPolyline(&stored, &n);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(stored[1].x, 10);
  o->SetPosCheckPolyline(stored, 2);  // from its own storage
  tctagD3ConvexBox box{0, 10, 0, 10, 0, 1};
  o->SetAABBOfCutedMesh(&box);
  o->BuildPosCheckObj();
  CMeshOrganizeSurf copy(*o);
  EXPECT_NE(copy.GetPosCheckObj(), o->GetPosCheckObj());
  o.reset();
  V below{5, 2, 0}, above{5, 8, 0};
  ASSERT_NE(dynamic_cast<CMeshPosCheckPolylin*>(copy.GetPosCheckObj()), nullptr);
  EXPECT_EQ(copy.GetPosCheckObj()->PosCheckPntAndMesh(&below, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(copy.GetPosCheckObj()->PosCheckPntAndMesh(&above, nullptr, nullptr, nullptr), -1);
}

// ---------------------------------------------------------------------------
// Classification

TEST(Classify, PlaneCutterSendsNegativeSideToSide1) {
  PlaneOrganizer po;
  // Centroid heights: below, above, 0.0005 above (on the plane), below.
  KroSimpleMesh cut = TrianglesAtHeights({-2.0, 3.0, 0.0005, -0.5});
  KroSimpleMesh s1, s2;
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  EXPECT_EQ(SideList(po.o, Kro_Remain_Side1), (std::vector<long>{0, 3}));
  EXPECT_EQ(SideList(po.o, Kro_Remain_Side2), (std::vector<long>{1, 2}));
  EXPECT_EQ(po.o.GetSideVertexNum(Kro_Remain_Side1), 6);
  ASSERT_TRUE(s1.m_triangles.size() == 2u && s2.m_triangles.size() == 2u);
  ASSERT_TRUE(IndicesInRange(s1) && IndicesInRange(s2));
  EXPECT_LT(Centroid(s1, 1).z, 0.0);
  EXPECT_GT(Centroid(s2, 1).z, 0.0);
}

TEST(Classify, EveryTriangleOnOneSideIsAPlainCopy) {
  PlaneOrganizer po;
  KroSimpleMesh cut = Grid(3, -4.0);
  cut.m_positions.push_back({100, 100, 100});  // unused trailing position
  for (size_t i = 0; i < cut.m_positions.size(); ++i)
    cut.m_colours[0].push_back(KRO::COLOR4(float(i), 0, 0, 1));
  KroSimpleMesh s1, s2;
  s2.m_positions = {{9, 9, 9}};
  s2.m_triangles = {{{0, 0, 0}}};
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  ASSERT_EQ(s1.m_triangles.size(), cut.m_triangles.size());
  for (size_t t = 0; t < cut.m_triangles.size(); ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s1.m_triangles[t].v[k], cut.m_triangles[t].v[k]);
  ASSERT_EQ(s1.m_positions.size(), 16u);  // the first vc positions
  for (size_t v = 0; v < 16; ++v) EXPECT_EQ(s1.m_colours[0][v].r, float(v));
  // The empty side mesh is left as it was.
  ASSERT_EQ(s2.m_positions.size(), 1u);
  EXPECT_EQ(s2.m_triangles.size(), 1u);
}

TEST(Classify, CutMeshMayAlsoBeASideMesh) {
  PlaneOrganizer po;
  KroSimpleMesh cut = TrianglesAtHeights({-2.0, 3.0, -1.0, 4.0, 5.0});
  KroSimpleMesh ref1, ref2, s2;
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &ref1, &ref2), 1);
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &cut, &s2), 1);  // side 1 written first
  ASSERT_EQ(cut.m_triangles.size(), 2u);
  ASSERT_EQ(s2.m_positions.size(), ref2.m_positions.size());
  for (size_t v = 0; v < s2.m_positions.size(); ++v)
    EXPECT_EQ(s2.m_positions[v].z, ref2.m_positions[v].z);
  for (size_t v = 0; v < cut.m_positions.size(); ++v)
    EXPECT_EQ(cut.m_positions[v].z, ref1.m_positions[v].z);
}

TEST(Classify, WholeSideWithUnusedLeadingVertexIsRenumbered) {
  PlaneOrganizer po;
  KroSimpleMesh cut = Grid(2, -4.0);
  // Position 0 unused: a plain copy of the first nine positions would leave
  // index 9 dangling.
  cut.m_positions.insert(cut.m_positions.begin(), V{50, 50, 50});
  for (C3DTriData& t : cut.m_triangles)
    for (long& v : t.v) ++v;
  KroSimpleMesh s1;
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &s1, nullptr), 1);
  ASSERT_EQ(s1.m_positions.size(), 9u);
  ASSERT_TRUE(IndicesInRange(s1));
  for (size_t t = 0; t < s1.m_triangles.size(); ++t)
    EXPECT_EQ(Centroid(s1, t).x, Centroid(cut, t).x);
}

TEST(Classify, SideVerticesFollowFirstUseAndDegenerateTrianglesJoinNeitherSide) {
  CMeshOrganizeSurf o;  // no checker: every legal triangle goes to side 2
  KroSimpleMesh cut;
  cut.m_positions = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {8, 0, 0}, {2, 1e-7, 0}};
  cut.m_texCoords[0] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}, {3, 0}};
  cut.m_triangles = {
      {{2, 3, 0}},   // legal
      {{0, 0, 1}},   // repeated corner
      {{0, 1, 4}},   // three points on one line
      {{0, 5, 1}},   // a needle: its corner 1e-7 off the opposite edge
      {{0, 1, 17}},  // corner outside the positions
      {{4, 2, 1}},   // legal
  };
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  EXPECT_TRUE(SideList(o, Kro_Remain_Side1).empty());
  EXPECT_EQ(SideList(o, Kro_Remain_Side2), (std::vector<long>{0, 5}));
  ASSERT_EQ(s2.m_positions.size(), 5u);
  const long order[5] = {2, 3, 0, 4, 1};  // first use
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s2.m_texCoords[0][i].u, cut.m_texCoords[0][order[i]].u);
  const long renumbered[2][3] = {{0, 1, 2}, {3, 0, 4}};
  ASSERT_EQ(s2.m_triangles.size(), 2u);
  for (int t = 0; t < 2; ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s2.m_triangles[t].v[k], renumbered[t][k]);
}

TEST(Classify, FreeSurfaceWithIntersectionPointsTakesTheRegionRoad) {
  CMeshOrganizeSurf o;  // no cutter geometry at all: the regions decide
  o.SetMeshType(Kro_Mesh_FreeSurface);
  std::vector<V> loop = BlockLoop(1, 3);
  o.setSurfInterDots(loop.data(), static_cast<long>(loop.size()));
  KroSimpleMesh cut = Grid(4);
  std::vector<V> none;  // neighbour records, as a conversion keeps them
  Split(cut, none, cut.m_triangleTops);
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  std::vector<long> l1 = SideList(o, Kro_Remain_Side1);
  ASSERT_EQ(l1.size(), 24u);
  EXPECT_EQ(l1.front(), 0);  // flood order from triangle 0
  EXPECT_EQ(SideList(o, Kro_Remain_Side2), kInnerBlock);
  EXPECT_EQ(s2.m_positions.size(), 9u);  // the 3 x 3 lattice of the block
  ASSERT_TRUE(IndicesInRange(s1) && IndicesInRange(s2));
  // Neighbour records carried over, none pointing outside its side.
  ASSERT_EQ(s2.m_triangleTops.size(), 8u);
  for (const KroSimpleMesh* s : {&s1, &s2})
    for (const C3DTriaTop& t : s->m_triangleTops)
      for (long nb : t.n) EXPECT_TRUE(nb >= -1 && nb < static_cast<long>(s->m_triangles.size()));

  // The same cutter with a plan polyline takes the checker road instead.
  D_DOT line[2] = {{0, 2.2}, {4, 2.2}};
  o.SetPosCheckPolyline(line, 2);
  tctagD3ConvexBox box{0, 4, 0, 4, 0, 0};
  o.SetAABBOfCutedMesh(&box);
  o.BuildPosCheckObj();
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  for (long t : SideList(o, Kro_Remain_Side1)) EXPECT_GT(Centroid(cut, t).y, 2.2);
  for (long t : SideList(o, Kro_Remain_Side2)) EXPECT_LT(Centroid(cut, t).y, 2.2);
  EXPECT_EQ(SideList(o, Kro_Remain_Side1).size() + SideList(o, Kro_Remain_Side2).size(), 32u);
}

TEST(Classify, NullAndEmptyInputs) {
  CMeshOrganizeSurf o;
  KroSimpleMesh s1, s2, empty;
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(nullptr, &s1, &s2), -1);
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&empty, &s1, &s2), 1);
  EXPECT_TRUE(s1.isNull() && s2.isNull());
  KroSimpleMesh cut = Grid(4);
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&cut, nullptr, nullptr), 1);  // lists only
  EXPECT_EQ(SideList(o, Kro_Remain_Side2).size(), 32u);
}

TEST(Classify, CurvedCutterSendsWhatLiesBelowItToSide1) {
  // A wavy terrain (facing +z) cuts a tilted plane: side 1 is exactly the
  // triangles whose centroid lies below the terrain.
  auto height = [](double x, double y) { return 0.3 * std::sin(x * 0.2) * std::cos(y * 0.2); };
  KroSimpleMesh cutter = Grid(16, 0.0, -0.5, -0.5);
  for (auto& p : cutter.m_positions) p.z = height(p.x, p.y);
  KroSimpleMesh cut = Grid(8);
  for (auto& p : cut.m_positions) {
    p.x *= 2, p.y *= 2;
    p.z = (p.x + p.y) * 0.05 - 1.0;
  }
  CMeshOrganizeSurf o;
  o.SetObbtObj(nullptr, cutter.m_positions.data(), static_cast<long>(cutter.m_positions.size()),
               cutter.m_triangles.data(), static_cast<long>(cutter.m_triangles.size()));
  o.BuildPosCheckObj();
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  std::vector<long> below;
  for (long t = 0; t < static_cast<long>(cut.m_triangles.size()); ++t) {
    const V g = Centroid(cut, t);
    if (g.z < height(g.x, g.y)) below.push_back(t);
  }
  ASSERT_FALSE(below.empty());
  EXPECT_EQ(SideList(o, Kro_Remain_Side1), below);
  EXPECT_EQ(s1.m_triangles.size() + s2.m_triangles.size(), cut.m_triangles.size());
}

TEST(Classify, SolidCutterPutsOutsideOnSide1) {
  std::vector<V> pts;
  std::vector<C3DTriData> tris;
  orgshapes::BoxArrays({1.2, 1.2, -1}, {2.8, 2.8, 1}, pts, tris);
  CMeshOrganizeEntity o;
  o.BuildPosCheckObj();
  // The buffers arrive after the checker was built and are passed on.
  o.SetObbtObj(nullptr, pts.data(), static_cast<long>(pts.size()), tris.data(),
               static_cast<long>(tris.size()));
  KroSimpleMesh cut = Grid(4);
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  std::vector<long> inside = SideList(o, Kro_Remain_Side2);
  std::sort(inside.begin(), inside.end());
  EXPECT_EQ(inside, kInnerBlock);
  EXPECT_EQ(SideList(o, Kro_Remain_Side1).size(), 24u);
}
