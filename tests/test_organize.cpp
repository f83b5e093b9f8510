// Region search (ring queue, flood bounded by cut points) and the two-side
// classification of a cut mesh by the organizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

using orgshapes::BlockLoop;
using orgshapes::Centroid;
using orgshapes::Grid;

namespace {

// Triangles of a piece as a vector.
std::vector<long> Piece(CBFSearch& s, long i) {
  long* list = nullptr;
  long n = 0;
  s.GetSurfTriList(i, &list, &n);
  return list ? std::vector<long>(list, list + n) : std::vector<long>();
}

// Runs the region search over m with the given cut points.
CBFSearch Split(KroSimpleMesh& m, std::vector<KRO::G3D_DVertex>& cuts,
                std::vector<C3DTriaTop>& tops) {
  tops.assign(m.m_triangles.size(), C3DTriaTop{{-1, -1, -1}});
  CBFSearch s;
  s.InitSeachObj(m.m_positions.data(), static_cast<long>(m.m_positions.size()),
                 m.m_triangles.data(), tops.data(), static_cast<long>(m.m_triangles.size()),
                 cuts.empty() ? nullptr : cuts.data(), static_cast<long>(cuts.size()));
  s.SplitObj();
  return s;
}

bool InsideBlock(const KRO::G3D_DVertex& p, double a, double b) {
  return p.x > a && p.x < b && p.y > a && p.y < b;
}

// A flat cutter plane z = 0 (normal +z) as a built tree.
struct PlaneCutter {
  RAPID_model model;
  PlaneCutter() {
    const double a[3] = {-10, -10, 0}, b[3] = {10, -10, 0}, c[3] = {10, 10, 0};
    const double d[3] = {-10, 10, 0};
    model.ResetModel();
    model.AppendTri(a, b, c, 0);
    model.AppendTri(a, c, d, 1);
    model.FinishModel();
  }
};

// A surface organizer whose cutter is that plane, checker built.
struct PlaneOrganizer {
  PlaneCutter plane;
  CMeshOrganizeSurf o;
  PlaneOrganizer() {
    o.SetObbtObj(&plane.model, nullptr, 0, nullptr, 0);
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
    m.m_positions.push_back({x - 1, 0, z - 1});
    m.m_positions.push_back({x + 1, 0, z - 1});
    m.m_positions.push_back({x, 0, z + 2});
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

bool IndicesInRange(const KroSimpleMesh& m) {
  for (const C3DTriData& t : m.m_triangles)
    for (long v : t.v)
      if (v < 0 || v >= static_cast<long>(m.m_positions.size())) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Ring queue

TEST(RingQueue, WrapsAfterOneRemovalAndRefusesWhenFull) {
  CQqtype q;
  q.InitiateQQueue(3);
  EXPECT_TRUE(q.IsEmptyQQueue());
  EXPECT_EQ(q.AppendQQueue(7), 1);
  EXPECT_EQ(q.DeleteQQueue(), 7);
  EXPECT_EQ(q.AppendQQueue(8), 1);
  EXPECT_EQ(q.AppendQQueue(9), 1);
  EXPECT_TRUE(q.IsFullQQueue());
  EXPECT_EQ(q.AppendQQueue(10), 0);
  EXPECT_EQ(q.GetCount(), 3);
  EXPECT_EQ(q.DeleteQQueue(), 8);
  EXPECT_EQ(q.DeleteQQueue(), 9);
  EXPECT_TRUE(q.IsEmptyQQueue());
}

TEST(RingQueue, FreshOrSlotlessQueueOverwritesNothing) {
  CQqtype q;
  q.InitiateQQueue(2);
  EXPECT_EQ(q.AppendQQueue(4), 1);
  EXPECT_EQ(q.AppendQQueue(5), 1);
  EXPECT_EQ(q.AppendQQueue(6), 0);  // full before any removal
  EXPECT_EQ(q.DeleteQQueue(), 4);
  EXPECT_EQ(q.DeleteQQueue(), 5);
  q.InitiateQQueue(-5);  // no slots: refused, no division by zero
  EXPECT_EQ(q.AppendQQueue(1), 0);
  EXPECT_EQ(q.DeleteQQueue(), 0);
}

// ---------------------------------------------------------------------------
// Region search

TEST(RegionSearch, NoCutPointsGivesTheComponentOfTriangleZeroThenTheRest) {
  KroSimpleMesh a = Grid(2);
  KroSimpleMesh b = Grid(1, 0.0, 10.0, 0.0);
  a.merge(&b);  // a second, separate component: triangles 8 and 9
  std::vector<KRO::G3D_DVertex> cuts;
  std::vector<C3DTriaTop> tops;
  CBFSearch s = Split(a, cuts, tops);
  ASSERT_EQ(s.GetResObjNum(), 2);
  std::vector<long> p0 = Piece(s, 0);
  ASSERT_EQ(p0.size(), 8u);
  EXPECT_EQ(p0.front(), 0);
  EXPECT_EQ(std::set<long>(p0.begin(), p0.end()).size(), 8u);
  EXPECT_EQ(Piece(s, 1), (std::vector<long>{8, 9}));
  EXPECT_EQ(s.GetMark(9), 0);
  EXPECT_EQ(s.GetMark(3), 1);
}

TEST(RegionSearch, ClosedCutLineSeparatesInnerAndOuterParts) {
  KroSimpleMesh m = Grid(4);
  std::vector<KRO::G3D_DVertex> cuts = BlockLoop(1, 3);
  std::vector<C3DTriaTop> tops;
  CBFSearch s = Split(m, cuts, tops);
  ASSERT_EQ(s.GetResObjNum(), 2);
  std::vector<long> outer = Piece(s, 0), inner = Piece(s, 1);
  EXPECT_EQ(outer.size(), 24u);
  EXPECT_EQ(outer.front(), 0);
  for (long t : outer) EXPECT_FALSE(InsideBlock(Centroid(m, t), 1, 3)) << t;
  EXPECT_EQ(inner, (std::vector<long>{10, 11, 12, 13, 18, 19, 20, 21}));
  for (long t : inner) EXPECT_TRUE(InsideBlock(Centroid(m, t), 1, 3)) << t;
  // The neighbour records were filled for the caller: cell (0,0)'s two
  // triangles share their diagonal.
  EXPECT_EQ(tops[0].n[2], 1);
  EXPECT_EQ(tops[1].n[0], 0);
}

TEST(RegionSearch, ChordBetweenTwoCutPointsStopsTheFlood) {
  // One square split by the diagonal (0,0)-(1,1); the two diagonal ends are
  // cut points of different lines, yet the edge between them is not crossed.
  KroSimpleMesh m = Grid(1);
  std::vector<KRO::G3D_DVertex> cuts = {{0, 0, 0}, {5, 5, 0}, {1, 1, 0}, {7, 0, 0}};
  std::vector<C3DTriaTop> tops;
  CBFSearch s = Split(m, cuts, tops);
  ASSERT_EQ(s.GetResObjNum(), 2);
  EXPECT_EQ(Piece(s, 0), std::vector<long>{0});
  EXPECT_EQ(Piece(s, 1), std::vector<long>{1});

  // Inside the grid: starting inside the loop, the triangle cut off by the
  // chord (2,1)-(3,2) and the one cut off by (1,2)-(2,3) join the outside.
  KroSimpleMesh g = Grid(4);
  std::swap(g.m_triangles[0], g.m_triangles[11]);  // an inner triangle first
  std::vector<KRO::G3D_DVertex> loop = BlockLoop(1, 3);
  CBFSearch t = Split(g, loop, tops);
  std::vector<long> p0 = Piece(t, 0);
  EXPECT_EQ(p0.size(), 6u);
  EXPECT_EQ(Piece(t, 1).size(), 26u);
  for (long k : p0) EXPECT_TRUE(InsideBlock(Centroid(g, k), 1, 3));
}

TEST(RegionSearch, CutPointsMatchWithinOneHundredthPerAxis) {
  KroSimpleMesh m = Grid(1);
  std::vector<C3DTriaTop> tops;
  std::vector<KRO::G3D_DVertex> near = {{0.0099, -0.0099, 0.0099}, {1.0099, 0.9901, 0}};
  EXPECT_EQ(Split(m, near, tops).GetResObjNum(), 2);
  std::vector<KRO::G3D_DVertex> off = {{0.0101, 0, 0}, {1, 1, 0}};
  EXPECT_EQ(Split(m, off, tops).GetResObjNum(), 1);

  CBFSearch s;
  KRO::G3D_DVertex a{0, 0, 0}, b{1, 1, 0};
  EXPECT_FALSE(s.judgeInterLin(a, b));  // no cut points at all
}

TEST(RegionSearch, IndexedCutPointMatchAgreesWithAPlainScan) {
  // Points on a coarse lattice so that many queries land within the
  // tolerance of some cut point, on one axis or several.
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> cell(0, 4);
  std::uniform_real_distribution<double> jitter(-0.012, 0.012);
  auto point = [&]() {
    return KRO::G3D_DVertex{cell(rng) * 0.02 + jitter(rng), cell(rng) * 0.02 + jitter(rng),
                            cell(rng) * 0.5 + jitter(rng)};
  };
  std::vector<KRO::G3D_DVertex> cuts(60);
  for (auto& c : cuts) c = point();
  KroSimpleMesh m = Grid(1);
  CBFSearch s;
  s.InitSeachObj(m.m_positions.data(), 4, m.m_triangles.data(), nullptr, 2, cuts.data(), 60);
  auto scan = [&](const KRO::G3D_DVertex& p) {
    for (const auto& c : cuts)
      if (CMathFunCls::IsSame3DDot_Prec(c, p, 0.01)) return true;
    return false;
  };
  int matches = 0;
  for (int i = 0; i < 2000; ++i) {
    KRO::G3D_DVertex a = point(), b = point();
    EXPECT_EQ(s.judgeInterLin(a, b), scan(a) && scan(b));
    matches += scan(a) && scan(b);
  }
  EXPECT_GT(matches, 100);  // the comparison covered both outcomes
  EXPECT_LT(matches, 1900);
}

TEST(RegionSearch, EmptyMeshGivesNoPieces) {
  CBFSearch s;
  s.InitSeachObj(nullptr, 0, nullptr, nullptr, 0, nullptr, 0);
  s.SplitObj();
  EXPECT_EQ(s.GetResObjNum(), 0);
  long dummy = 3;
  long* list = &dummy;
  long n = 7;
  s.GetSurfTriList(0, &list, &n);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(n, 0);
  CQqtype q;
  q.InitiateQQueue(4);
  s.Search(&q, 0);
  EXPECT_EQ(q.GetCount(), 0);
  EXPECT_EQ(s.GetResObj(0), nullptr);
}

TEST(RegionSearch, InvalidCornersAndSeedsNeverReadOutOfBounds) {
  KroSimpleMesh m = Grid(2);
  m.m_triangles[3].v[1] = 99;  // corner outside the positions
  m.m_triangles[5].v[0] = -4;
  std::vector<KRO::G3D_DVertex> cuts = {{50, 50, 50}};
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
  s.Search(&q, 8);
  s.Search(&q, -1);
  s.Search(nullptr, 0);
  EXPECT_EQ(q.GetCount(), 0);
  EXPECT_EQ(s.GetMark(8), -1);
}

TEST(RegionSearch, CopiesOwnTheirMarksAndNeighbours) {
  KroSimpleMesh m = Grid(4);
  std::vector<KRO::G3D_DVertex> cuts = BlockLoop(1, 3);
  auto original = std::make_unique<CBFSearch>();
  original->InitSeachObj(m.m_positions.data(), static_cast<long>(m.m_positions.size()),
                         m.m_triangles.data(), nullptr, static_cast<long>(m.m_triangles.size()),
                         cuts.data(), static_cast<long>(cuts.size()));
  CBFSearch copy(*original);
  original->SplitObj();
  EXPECT_EQ(original->GetMark(0), 1);
  EXPECT_EQ(copy.GetMark(0), 0);  // the copy's marks are its own
  original.reset();
  copy.SplitObj();  // uses the neighbours it copied, not the freed ones
  ASSERT_EQ(copy.GetResObjNum(), 2);
  EXPECT_EQ(Piece(copy, 1).size(), 8u);

  CBFSearch assigned;
  assigned = copy;
  EXPECT_EQ(Piece(assigned, 0), Piece(copy, 0));
}

TEST(RegionSearch, LargeGridWithLongCutLoopStaysFast) {
  const int n = 200;  // 80000 triangles, a loop of 400 cut points
  KroSimpleMesh m = Grid(n);
  std::vector<KRO::G3D_DVertex> cuts = BlockLoop(50, 150);
  std::vector<C3DTriaTop> tops;
  const auto t0 = std::chrono::steady_clock::now();
  CBFSearch s = Split(m, cuts, tops);
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_EQ(s.GetResObjNum(), 2);
  EXPECT_EQ(Piece(s, 1).size(), 2u * 100 * 100);
  EXPECT_EQ(Piece(s, 0).size(), 2u * n * n - 2u * 100 * 100);
  EXPECT_LT(secs, 2.0);
  RecordProperty("split_seconds", std::to_string(secs));
}

// ---------------------------------------------------------------------------
// Organizer settings and checker building

TEST(Organizer, DefaultsAndPolylineCopy) {
  CMeshOrganizeSurf o;
  KRO::G3D_DVertex ref{1, 2, 3};
  o.GetRefDot(&ref);
  EXPECT_EQ(ref.z, 1.79769313486232e+307);
  EXPECT_EQ(o.GetMeshType(), Kro_Mesh_Surface);
  EXPECT_EQ(static_cast<int>(CMeshOrganizeEntity().GetCutedMdlType()), Kro_Mesh_Surface);
  D_DOT line[3] = {{0, 0}, {1, 1}, {2, 0}};
  D_DOT* stored = line;
  long n = -1;
  o.SetPosCheckPolyline(line, 1);  // too short: ignored
  o.GetPosCheckPolyline(&stored, &n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(stored, nullptr);
  o.SetPosCheckPolyline(line, 3);
  line[1].x = 99;  // the organizer keeps its own copy
  o.GetPosCheckPolyline(&stored, &n);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(stored[1].x, 1);
  o.SetPosCheckPolyline(stored, 2);  // from its own storage
  o.GetPosCheckPolyline(&stored, &n);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(stored[1].y, 1);
}

TEST(Organizer, BuildsTheCheckerOfItsKind) {
  EXPECT_EQ(CMeshOrganizeSurf().GetPosCheckObj(), nullptr);
  PlaneOrganizer po;
  CMeshOrganizeSurf& o = po.o;
  auto* p = dynamic_cast<CMeshPosCheckPlane*>(o.GetPosCheckObj());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetObbtObj(), &po.plane.model);
  EXPECT_NEAR(p->GetPanelCoef()[2], 1.0, 1e-12);
  EXPECT_EQ(p->GetPanelCoef()[3], 0.0);

  o.SetMeshType(Kro_Mesh_Surface);
  D_DOT line[2] = {{0, 5}, {10, 5}};
  o.SetPosCheckPolyline(line, 2);
  tctagD3ConvexBox box{0, 10, 0, 10, 0, 1};
  o.SetAABBOfCutedMesh(&box);
  o.BuildPosCheckObj();
  EXPECT_NE(dynamic_cast<CMeshPosCheckPolylin*>(o.GetPosCheckObj()), nullptr);

  CMeshOrganizeSurf curved;
  curved.BuildPosCheckObj();
  EXPECT_NE(dynamic_cast<CMeshPosCheckCurv*>(curved.GetPosCheckObj()), nullptr);

  CMeshOrganizeEntity solid;
  solid.SetCutedMdlType(Kro_Mesh_Entity);
  solid.BuildPosCheckObj();
  auto* e = dynamic_cast<CMeshPosCheckEntity*>(solid.GetPosCheckObj());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetCutedMdlType(), Kro_Mesh_Entity);
  solid.SetCutedMdlType(Kro_Mesh_Surface);  // passed on to the checker
  EXPECT_EQ(e->GetCutedMdlType(), Kro_Mesh_Surface);
}

TEST(Organizer, CopiesOwnTheirPolylineAndChecker) {
  auto o = std::make_unique<CMeshOrganizeSurf>();
  D_DOT line[2] = {{0, 5}, {10, 5}};
  o->SetPosCheckPolyline(line, 2);
  tctagD3ConvexBox box{0, 10, 0, 10, 0, 1};
  o->SetAABBOfCutedMesh(&box);
  o->BuildPosCheckObj();
  CMeshOrganizeSurf copy(*o);
  EXPECT_NE(copy.GetPosCheckObj(), o->GetPosCheckObj());
  o.reset();
  KRO::G3D_DVertex below{5, 2, 0}, above{5, 8, 0};
  ASSERT_NE(copy.GetPosCheckObj(), nullptr);
  EXPECT_EQ(copy.GetPosCheckObj()->PosCheckPntAndMesh(&below, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(copy.GetPosCheckObj()->PosCheckPntAndMesh(&above, nullptr, nullptr, nullptr), -1);
  CMeshOrganizeSurf assigned;
  assigned = copy;
  D_DOT* pts = nullptr;
  long n = 0;
  assigned.GetPosCheckPolyline(&pts, &n);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(pts[1].x, 10);
}

// ---------------------------------------------------------------------------
// Classification

TEST(Classify, PlaneCutterSendsNegativeSideToSide1) {
  PlaneOrganizer po;
  CMeshOrganizeSurf& o = po.o;
  // Centroid heights: below, above, 0.0005 above (on the plane), below.
  KroSimpleMesh cut = TrianglesAtHeights({-2.0, 3.0, 0.0005, -0.5});
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  EXPECT_EQ(SideList(o, Kro_Remain_Side1), (std::vector<long>{0, 3}));
  EXPECT_EQ(SideList(o, Kro_Remain_Side2), (std::vector<long>{1, 2}));
  EXPECT_EQ(o.GetSideVertexNum(Kro_Remain_Side1), 6);
  ASSERT_EQ(s1.m_triangles.size(), 2u);
  ASSERT_EQ(s2.m_triangles.size(), 2u);
  ASSERT_TRUE(IndicesInRange(s1));
  ASSERT_TRUE(IndicesInRange(s2));
  for (size_t t = 0; t < s1.m_triangles.size(); ++t) EXPECT_LT(Centroid(s1, t).z, 0.0);
  for (size_t t = 0; t < s2.m_triangles.size(); ++t) EXPECT_GT(Centroid(s2, t).z, 0.0);
}

TEST(Classify, EveryTriangleOnOneSideIsAPlainCopy) {
  PlaneOrganizer po;
  CMeshOrganizeSurf& o = po.o;
  KroSimpleMesh cut = Grid(3, -4.0);
  cut.m_positions.push_back({100, 100, 100});  // unused trailing position
  for (size_t i = 0; i < cut.m_positions.size(); ++i)
    cut.m_colours[0].push_back(KRO::COLOR4(float(i), 0, 0, 1));
  KroSimpleMesh s1, s2;
  s2.m_positions = {{9, 9, 9}};
  s2.m_triangles = {{{0, 0, 0}}};
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  ASSERT_EQ(s1.m_triangles.size(), cut.m_triangles.size());
  for (size_t t = 0; t < cut.m_triangles.size(); ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s1.m_triangles[t].v[k], cut.m_triangles[t].v[k]);
  ASSERT_EQ(s1.m_positions.size(), 16u);  // the first vc positions
  for (size_t v = 0; v < 16; ++v) {
    EXPECT_EQ(s1.m_positions[v].x, cut.m_positions[v].x);
    EXPECT_EQ(s1.m_colours[0][v].r, float(v));
  }
  // The empty side mesh is left as it was.
  ASSERT_EQ(s2.m_positions.size(), 1u);
  EXPECT_EQ(s2.m_positions[0].x, 9);
  EXPECT_EQ(s2.m_triangles.size(), 1u);
}

TEST(Classify, CutMeshMayAlsoBeASideMesh) {
  PlaneOrganizer po;
  KroSimpleMesh cut = TrianglesAtHeights({-2.0, 3.0, -1.0, 4.0, 5.0});
  KroSimpleMesh ref1, ref2, s2;
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &ref1, &ref2), 1);
  ASSERT_EQ(po.o.ClassifySurfMeshTo2Side(&cut, &cut, &s2), 1);  // side 1 written first
  ASSERT_EQ(cut.m_triangles.size(), 2u);
  ASSERT_EQ(s2.m_triangles.size(), 3u);
  ASSERT_EQ(s2.m_positions.size(), ref2.m_positions.size());
  for (size_t v = 0; v < s2.m_positions.size(); ++v)
    EXPECT_EQ(s2.m_positions[v].z, ref2.m_positions[v].z);
  for (size_t v = 0; v < cut.m_positions.size(); ++v)
    EXPECT_EQ(cut.m_positions[v].z, ref1.m_positions[v].z);
}

TEST(Classify, WholeSideWithUnusedLeadingVertexIsRenumbered) {
  PlaneOrganizer po;
  CMeshOrganizeSurf& o = po.o;
  KroSimpleMesh cut = Grid(2, -4.0);
  // Position 0 unused: every triangle then refers to positions 1 .. 9 and a
  // plain copy of the first nine positions would leave index 9 dangling.
  cut.m_positions.insert(cut.m_positions.begin(), KRO::G3D_DVertex{50, 50, 50});
  for (C3DTriData& t : cut.m_triangles)
    for (long& v : t.v) ++v;
  KroSimpleMesh s1;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, nullptr), 1);
  ASSERT_EQ(s1.m_positions.size(), 9u);
  ASSERT_TRUE(IndicesInRange(s1));
  for (size_t t = 0; t < s1.m_triangles.size(); ++t) {
    const KRO::G3D_DVertex a = Centroid(s1, t), b = Centroid(cut, t);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
  }
}

TEST(Classify, SideVerticesAreNumberedInOrderOfFirstUse) {
  CMeshOrganizeSurf o;  // no checker: every legal triangle goes to side 2
  KroSimpleMesh cut;
  cut.m_positions = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {8, 0, 0}};
  cut.m_texCoords[0] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}};
  // The degenerate third triangle keeps side 2 from holding the whole mesh,
  // which would make it a plain copy.
  cut.m_triangles = {{{2, 3, 0}}, {{4, 2, 1}}, {{0, 0, 1}}};
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  EXPECT_TRUE(SideList(o, Kro_Remain_Side1).empty());
  EXPECT_TRUE(s1.m_positions.empty());
  // First use: 2, 3, 0, 4, 1.
  ASSERT_EQ(s2.m_positions.size(), 5u);
  const long order[5] = {2, 3, 0, 4, 1};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(s2.m_positions[i].x, cut.m_positions[order[i]].x);
    EXPECT_EQ(s2.m_positions[i].y, cut.m_positions[order[i]].y);
    EXPECT_EQ(s2.m_texCoords[0][i].u, cut.m_texCoords[0][order[i]].u);
  }
  const long renumbered[2][3] = {{0, 1, 2}, {3, 0, 4}};
  for (int t = 0; t < 2; ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s2.m_triangles[t].v[k], renumbered[t][k]);
}

TEST(Classify, DegenerateTrianglesJoinNeitherSide) {
  CMeshOrganizeSurf o;
  KroSimpleMesh cut;
  cut.m_positions = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {8, 0, 0}, {2, 1e-7, 0}};
  cut.m_triangles = {
      {{0, 1, 2}},   // legal
      {{0, 1, 3}},   // three points on one line
      {{0, 0, 2}},   // repeated corner
      {{0, 4, 1}},   // a needle: its corner 1e-7 off the opposite edge
      {{0, 1, 17}},  // corner outside the positions
      {{1, 2, 0}},   // legal
  };
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  EXPECT_EQ(SideList(o, Kro_Remain_Side2), (std::vector<long>{0, 5}));
  EXPECT_TRUE(SideList(o, Kro_Remain_Side1).empty());
  EXPECT_EQ(s2.m_triangles.size(), 2u);
  EXPECT_EQ(s2.m_positions.size(), 3u);
}

TEST(Classify, FreeSurfaceWithIntersectionPointsTakesTheRegionRoad) {
  CMeshOrganizeSurf o;  // no cutter geometry at all: the regions decide
  o.SetMeshType(Kro_Mesh_FreeSurface);
  std::vector<KRO::G3D_DVertex> loop = BlockLoop(1, 3);
  o.setSurfInterDots(loop.data(), static_cast<long>(loop.size()));
  KroSimpleMesh cut = Grid(4);
  for (size_t i = 0; i < cut.m_positions.size(); ++i)
    cut.m_colours[0].push_back(KRO::COLOR4(0, float(i), 0, 1));
  std::vector<KRO::G3D_DVertex> none;  // neighbour records, as a conversion keeps them
  Split(cut, none, cut.m_triangleTops);
  KroSimpleMesh s1, s2;
  ASSERT_EQ(o.ClassifySurfMeshTo2Side(&cut, &s1, &s2), 1);
  std::vector<long> l1 = SideList(o, Kro_Remain_Side1);
  ASSERT_EQ(l1.size(), 24u);
  EXPECT_EQ(l1.front(), 0);  // flood order from triangle 0
  EXPECT_EQ(SideList(o, Kro_Remain_Side2), (std::vector<long>{10, 11, 12, 13, 18, 19, 20, 21}));
  ASSERT_EQ(s2.m_triangles.size(), 8u);
  EXPECT_EQ(s2.m_positions.size(), 9u);  // the 3 x 3 lattice of the block
  ASSERT_TRUE(IndicesInRange(s1));
  ASSERT_TRUE(IndicesInRange(s2));
  for (size_t t = 0; t < s2.m_triangles.size(); ++t)
    EXPECT_TRUE(InsideBlock(Centroid(s2, t), 1, 3));
  for (size_t t = 0; t < s1.m_triangles.size(); ++t)
    EXPECT_FALSE(InsideBlock(Centroid(s1, t), 1, 3));
  // Colours follow their vertices: colour g was the vertex index in cut.
  for (size_t v = 0; v < s2.m_positions.size(); ++v) {
    const long old = static_cast<long>(s2.m_colours[0][v].g);
    EXPECT_EQ(s2.m_positions[v].x, cut.m_positions[old].x);
    EXPECT_EQ(s2.m_positions[v].y, cut.m_positions[old].y);
  }
  // Neighbour records carried over: inner triangles 10 and 11 (side-2
  // positions 0 and 1) share a diagonal; nothing points outside a side.
  ASSERT_EQ(s2.m_triangleTops.size(), 8u);
  EXPECT_EQ(s2.m_triangleTops[0].n[2], 1);
  EXPECT_EQ(s2.m_triangleTops[1].n[0], 0);
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
  KroSimpleMesh s1, s2;
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(nullptr, &s1, &s2), -1);
  KroSimpleMesh empty;
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&empty, &s1, &s2), 1);
  EXPECT_TRUE(s1.isNull());
  EXPECT_TRUE(s2.isNull());

  o.SetMeshType(Kro_Mesh_FreeSurface);
  std::vector<KRO::G3D_DVertex> loop = BlockLoop(1, 3);
  o.setSurfInterDots(loop.data(), static_cast<long>(loop.size()));
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&empty, &s1, &s2), 1);  // region road, no triangles
  KroSimpleMesh cut = Grid(4);
  EXPECT_EQ(o.ClassifySurfMeshTo2Side(&cut, nullptr, nullptr), 1);
  EXPECT_EQ(SideList(o, Kro_Remain_Side2).size(), 8u);
}

TEST(Classify, CurvedCutterSendsWhatLiesBelowItToSide1) {
  // A wavy terrain (facing +z) cuts a tilted plane; side 1 must be exactly
  // the triangles whose centroid lies below the terrain.
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
    const KRO::G3D_DVertex g = Centroid(cut, t);
    if (g.z < height(g.x, g.y)) below.push_back(t);
  }
  ASSERT_FALSE(below.empty());
  EXPECT_EQ(SideList(o, Kro_Remain_Side1), below);
  EXPECT_EQ(s1.m_triangles.size() + s2.m_triangles.size(), cut.m_triangles.size());
}

TEST(Classify, SolidCutterPutsOutsideOnSide1) {
  std::vector<KRO::G3D_DVertex> pts;
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
  EXPECT_EQ(inside, (std::vector<long>{10, 11, 12, 13, 18, 19, 20, 21}));
  EXPECT_EQ(SideList(o, Kro_Remain_Side1).size(), 24u);
}
