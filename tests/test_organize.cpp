// Region search (ring queue, flood bounded by cut points) and the two-side
// classification of a cut mesh by the organizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "kromesh/Obbt/RAPID_model.h"
#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroSimpleMesh.h"
#include "kromesh/organize/CBFSearch.h"
#include "kromesh/organize/CMeshOrganize.h"
#include "kromesh/organize/CMeshPosCheck.h"
#include "support/Shapes.h"

using shapes::BlockLoop;
using shapes::Centroid;
using shapes::Grid;
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
  EXPECT_EQ(q.AppendQQueue(8) + q.AppendQQueue(9), 2);
  EXPECT_EQ(q.AppendQQueue(10), 0);  // full
  EXPECT_EQ(q.DeleteQQueue(), 8);    // wrapped round, in order
  q.InitiateQQueue(-5);              // no slots: refused, no division by zero
  EXPECT_EQ(q.AppendQQueue(1) + q.DeleteQQueue(), 0);
}

TEST(RegionSearch, CutPointsBoundThePieces) {
  KroSimpleMesh twoParts = Grid(2);
  KroSimpleMesh b = Grid(1, 0.0, 10.0, 0.0);
  twoParts.merge(&b);  // a second, separate component: triangles 8 and 9
  struct Case {
    const char* name;
    KroSimpleMesh m;
    std::vector<V> cuts;
    std::vector<long> second;  // the second piece; empty: one piece only
  } cases[] = {
      {"no cut points: component of triangle 0, then the rest", twoParts, {}, {8, 9}},
      {"closed cut line", Grid(4), BlockLoop(1, 3), kInnerBlock},
      // The diagonal's ends are cut points of different lines; the edge
      // between them is not on a cut line, yet it is not crossed.
      {"chord", Grid(1), {{0, 0, 0}, {5, 5, 0}, {1, 1, 0}, {7, 0, 0}}, {1}},
      {"within 0.01 per axis", Grid(1), {{0.0099, -0.0099, 0.0099}, {1.0099, 0.9901, 0}}, {1}},
      {"beyond 0.01", Grid(1), {{0.0101, 0, 0}, {1, 1, 0}}, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<C3DTriaTop> tops;
    CBFSearch s = Split(c.m, c.cuts, tops);
    ASSERT_EQ(s.GetResObjNum(), c.second.empty() ? 1 : 2);
    // The flood starts from triangle 0, and the pieces partition the mesh.
    std::vector<long> all = Piece(s, 0), second = Piece(s, 1);
    EXPECT_EQ(all.front(), 0);
    EXPECT_EQ(second, c.second);
    all.insert(all.end(), second.begin(), second.end());
    std::sort(all.begin(), all.end());
    std::vector<long> every(c.m.m_triangles.size());
    std::iota(every.begin(), every.end(), 0L);
    EXPECT_EQ(all, every);
    // The neighbour records were filled for the caller.
    EXPECT_EQ(tops[0].n[2], 1);
    EXPECT_EQ(tops[1].n[0], 0);
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
  const long nt = static_cast<long>(m.m_triangles.size());
  EXPECT_EQ(copy.GetMark(-1) + copy.GetMark(nt) + copy.GetMark(nt + 1000), -3);  // no such triangle
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

// Every kind of cutter classifies a cut mesh: the side lists as expected,
// and each side mesh holds exactly its list's triangles in list order
// (same centroids), renumbered onto its own vertices.
TEST(Classify, SidesHoldTheirTrianglesRenumbered) {
  PlaneOrganizer plane;
  CMeshOrganizeSurf none;  // no checker: every legal triangle goes to side 2
  // A box solid: outside on side 1. Its buffers arrive after the checker
  // was built and are passed on.
  shapes::TriSoup box = shapes::BoxSoup({1.2, 1.2, -1}, {2.8, 2.8, 1});
  CMeshOrganizeEntity solid;
  solid.BuildPosCheckObj();
  solid.SetObbtObj(nullptr, box.pts.data(), 8, box.tris.data(), 12);
  // A free surface with intersection points takes the region road; with a
  // plan polyline, the checker road.
  std::vector<V> loop = BlockLoop(1, 3);
  CMeshOrganizeSurf region, polyline;
  D_DOT line[2] = {{0, 2.2}, {4, 2.2}};
  tctagD3ConvexBox aabb{0, 4, 0, 4, 0, 0};
  for (CMeshOrganizeSurf* o : {&region, &polyline}) {
    o->SetMeshType(Kro_Mesh_FreeSurface);
    o->setSurfInterDots(loop.data(), static_cast<long>(loop.size()));
  }
  polyline.SetPosCheckPolyline(line, 2);
  polyline.SetAABBOfCutedMesh(&aabb);
  polyline.BuildPosCheckObj();
  KroSimpleMesh grid = Grid(4);
  std::vector<V> noCuts;  // neighbour records, as a conversion keeps them
  Split(grid, noCuts, grid.m_triangleTops);
  std::vector<long> all, outer, north, south;
  for (long t = 0; t < 32; ++t) {
    all.push_back(t);
    if (!std::binary_search(kInnerBlock.begin(), kInnerBlock.end(), t)) outer.push_back(t);
    (Centroid(grid, t).y > 2.2 ? north : south).push_back(t);
  }
  // Position 0 unused: a plain copy of the first nine positions would leave
  // index 9 dangling.
  KroSimpleMesh shifted = Grid(2, -4.0);
  shifted.m_positions.insert(shifted.m_positions.begin(), V{50, 50, 50});
  for (C3DTriData& t : shifted.m_triangles)
    for (long& v : t.v) ++v;
  KroSimpleMesh odd;
  odd.m_positions = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {8, 0, 0}, {2, 1e-7, 0}};
  odd.m_texCoords[0] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}, {3, 0}};
  odd.m_triangles = {
      {{2, 3, 0}},   // legal
      {{0, 0, 1}},   // repeated corner
      {{0, 1, 4}},   // three points on one line
      {{0, 5, 1}},   // a needle: its corner 1e-7 off the opposite edge
      {{0, 1, 17}},  // corner outside the positions
      {{4, 2, 1}},   // legal
  };
  KroSimpleMesh heights = TrianglesAtHeights({-2.0, 3.0, 0.0005, -0.5});  // 0.0005: on the plane
  struct Case {
    const char* name;
    CMeshOrganizeBase* o;
    KroSimpleMesh* cut;
    std::vector<long> side1, side2;
    KroSimpleMesh out[2];
  } cases[] = {
      {"plane", &plane.o, &heights, {0, 3}, {1, 2}, {}},
      {"solid", &solid, &grid, outer, kInnerBlock, {}},
      {"free surface, regions", &region, &grid, outer, kInnerBlock, {}},
      {"free surface, polyline", &polyline, &grid, north, south, {}},
      {"unused leading vertex", &plane.o, &shifted, {0, 1, 2, 3, 4, 5, 6, 7}, {}, {}},
      {"degenerate triangles", &none, &odd, {}, {0, 5}, {}},
      {"no checker", &none, &grid, {}, all, {}},
  };
  const Kro_Mesh_Remain_Side sides[2] = {Kro_Remain_Side1, Kro_Remain_Side2};
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.o->ClassifySurfMeshTo2Side(c.cut, &c.out[0], &c.out[1]), 1);
    ASSERT_FALSE(c.side1.empty() && c.side2.empty());
    for (int k = 0; k < 2; ++k) {
      std::vector<long> list = SideList(*c.o, sides[k]), sorted = list;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(sorted, k == 0 ? c.side1 : c.side2) << "side " << k + 1;
      const KroSimpleMesh& s = c.out[k];
      ASSERT_EQ(s.m_triangles.size(), list.size()) << "side " << k + 1;
      ASSERT_TRUE(shapes::IndicesValid(shapes::SoupOf(s)));
      if (!list.empty()) {
        EXPECT_EQ(c.o->GetSideVertexNum(sides[k]), long(s.m_positions.size()));
      }
      for (size_t i = 0; i < list.size(); ++i) {
        const V a = Centroid(s, long(i)), b = Centroid(*c.cut, list[i]);
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << "side " << k + 1 << " " << i;
      }
    }
  }
  // The region road floods from triangle 0; only the block's lattice is
  // kept, and the neighbour records carried over point inside their side.
  EXPECT_EQ(SideList(region, Kro_Remain_Side1).front(), 0);
  EXPECT_EQ(cases[2].out[1].m_positions.size(), 9u);
  ASSERT_EQ(cases[2].out[1].m_triangleTops.size(), 8u);
  for (const KroSimpleMesh& s : cases[2].out)
    for (const C3DTriaTop& t : s.m_triangleTops)
      for (long nb : t.n) EXPECT_TRUE(nb >= -1 && nb < static_cast<long>(s.m_triangles.size()));
  // Side vertices follow their first use, attributes with them.
  const KroSimpleMesh& s2 = cases[5].out[1];
  ASSERT_EQ(s2.m_positions.size(), 5u);
  const long order[5] = {2, 3, 0, 4, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s2.m_texCoords[0][i].u, odd.m_texCoords[0][order[i]].u);
}

TEST(Classify, PlainCopiesAliasedOutputsAndNullInputs) {
  PlaneOrganizer po;
  // Every triangle on one side: a plain copy of the first vc positions; the
  // empty side mesh is left as it was.
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
  ASSERT_EQ(s1.m_positions.size(), 16u);
  for (size_t v = 0; v < 16; ++v) EXPECT_EQ(s1.m_colours[0][v].r, float(v));
  EXPECT_EQ(s2.m_positions.size() + s2.m_triangles.size(), 2u);

  // The cut mesh may also be a side mesh (side 1 is written first).
  KroSimpleMesh mixed = TrianglesAtHeights({-2.0, 3.0, -1.0, 4.0, 5.0});
  KroSimpleMesh ref1, ref2, m2;
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&mixed, &ref1, &ref2), 1);
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&mixed, &mixed, &m2), 1);
  ASSERT_EQ(mixed.m_triangles.size(), 2u);
  ASSERT_EQ(m2.m_positions.size(), ref2.m_positions.size());
  for (size_t v = 0; v < m2.m_positions.size(); ++v)
    EXPECT_EQ(m2.m_positions[v].z, ref2.m_positions[v].z);
  for (size_t v = 0; v < mixed.m_positions.size(); ++v)
    EXPECT_EQ(mixed.m_positions[v].z, ref1.m_positions[v].z);

  CMeshOrganizeSurf o;
  KroSimpleMesh empty, e1, e2;
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(nullptr, &e1, &e2), -1);
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&empty, &e1, &e2), 1);
  EXPECT_TRUE(e1.isNull() && e2.isNull());
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&cut, nullptr, nullptr), 1);  // lists only
  EXPECT_EQ(SideList(o, Kro_Remain_Side2).size(), 18u);
}
