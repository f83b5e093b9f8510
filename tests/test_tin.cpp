// Constrained triangulator behind the TIN interface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "kromesh/host/KroTin.h"

// The output records are packed: their members are read by value (unary +)
// so that no misaligned reference is formed.
namespace {

struct TinResult {
  int16_t runStatus = 0;
  long nPts = 0, nTris = 0;
  std::vector<KroTinPntStrcT> pts;  // record 0 unused
  std::vector<KroTinTriStrcT> tris;
};

TinResult Triangulate(const std::vector<KRO::G3D_DVertex>& pts,
                      const std::vector<KroTinSegStrcT>& segs) {
  TinResult r;
  KroTinHandle h =
      KroTinCreate(nullptr, pts.data(), static_cast<long>(pts.size()),
                   segs.empty() ? nullptr : segs.data(), static_cast<long>(segs.size()), 0, 0, 1);
  EXPECT_NE(h, nullptr);
  r.runStatus = KroTinRun(h, &r.nPts, &r.nTris);
  if (r.runStatus == KRO_TIN_OK) {
    r.pts.resize(r.nPts + 1);
    r.tris.resize(r.nTris + 1);
    EXPECT_EQ(KroTinFetch(h, r.pts.data(), r.nPts + 1, r.tris.data(), r.nTris + 1), KRO_TIN_OK);
  }
  KroTinRelease(h);
  return r;
}

// Total area, asserting every triangle is counter-clockwise and names valid
// points.
double TotalArea(const TinResult& r) {
  double sum = 0.0;
  for (long k = 1; k <= r.nTris; ++k) {
    const int32_t v[3] = {r.tris[k].v[0], r.tris[k].v[1], r.tris[k].v[2]};
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(v[i] >= 1 && v[i] <= r.nPts) << k;
    const KroTinPntStrcT &a = r.pts[v[0]], &b = r.pts[v[1]], &c = r.pts[v[2]];
    const double area = 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
    EXPECT_GT(area, 0.0) << k;
    sum += area;
  }
  return sum;
}

bool HasEdge(const TinResult& r, int32_t a, int32_t b) {
  for (long k = 1; k <= r.nTris; ++k)
    for (int i = 0; i < 3; ++i) {
      const int32_t u = r.tris[k].v[i], w = r.tris[k].v[(i + 1) % 3];
      if ((u == a && w == b) || (u == b && w == a)) return true;
    }
  return false;
}

const std::vector<KRO::G3D_DVertex> kSquare = {{0, 0, 0}, {1, 0, 1}, {1, 1, 2}, {0, 1, 1}};

}  // namespace

TEST(Tin, SquareWithDiagonalConstraintKeepsTheDiagonal) {
  for (int diag = 0; diag < 2; ++diag) {
    TinResult r = Triangulate(kSquare, {{diag, diag + 2}});
    ASSERT_TRUE(r.runStatus == KRO_TIN_OK && r.nPts == 4 && r.nTris == 2);
    for (long i = 1; i <= 4; ++i)
      EXPECT_TRUE(r.pts[i].z == kSquare[i - 1].z && r.pts[i].flag != 0 && r.pts[i].added == 0);
    EXPECT_TRUE(HasEdge(r, diag + 1, diag + 3) && !HasEdge(r, 2 - diag, 4 - diag));
    EXPECT_NEAR(TotalArea(r), 1.0, 1e-12);
    // The two triangles are neighbours of each other across the diagonal.
    int links = 0;
    for (int k = 0; k < 3; ++k) links += (r.tris[1].adj[k] == 2) + (r.tris[2].adj[k] == 1);
    EXPECT_EQ(links, 2);
  }
}

TEST(Tin, CrossingConstraintsAddAPointAfterTheGivenOnes) {
  TinResult r = Triangulate(kSquare, {{0, 2}, {1, 3}});
  ASSERT_TRUE(r.runStatus == KRO_TIN_OK && r.nPts == 5 && r.nTris == 4);
  const KroTinPntStrcT& c = r.pts[5];
  EXPECT_TRUE(std::fabs(c.x - 0.5) + std::fabs(c.y - 0.5) < 1e-12 && c.added == 1 && c.flag != 0);
  EXPECT_NEAR(+c.z, 1.0, 1e-12);  // z = x + y on both diagonals
  for (int32_t corner = 1; corner <= 4; ++corner) EXPECT_TRUE(HasEdge(r, corner, 5));
  EXPECT_NEAR(TotalArea(r), 1.0, 1e-12);
  // Stretched: the height is interpolated along the segment's length.
  r = Triangulate({{0, 0, 0}, {4, 0, 4}, {4, 2, 6}, {0, 2, 2}}, {{0, 2}, {1, 3}});
  ASSERT_EQ(r.nPts, 5);
  EXPECT_NEAR(+r.pts[5].z, 3.0, 1e-12);
  // A repeated point comes back, but triangles use its first copy.
  std::vector<KRO::G3D_DVertex> pts = kSquare;
  pts.insert(pts.end(), {{1, 1, 2}, {0.5, 0.25, 0}});  // the first repeats point 3 (1-based)
  r = Triangulate(pts, {{4, 5}, {0, 2}});              // repeated end, then diagonal
  ASSERT_EQ(r.nPts, 6);
  EXPECT_TRUE(r.pts[5].x == 1.0 && r.pts[5].flag != 0);
  for (long k = 1; k <= r.nTris; ++k)
    for (int i = 0; i < 3; ++i) EXPECT_NE(+r.tris[k].v[i], 5);
  EXPECT_TRUE(HasEdge(r, 3, 6) && HasEdge(r, 1, 3));
  EXPECT_NEAR(TotalArea(r), 1.0, 1e-12);
}

TEST(Tin, BadInputFailsCleanlyAndSmallBuffersAreNeverWritten) {
  const std::vector<KRO::G3D_DVertex> line = {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {3, 3, 0}};
  std::vector<KRO::G3D_DVertex> nan = kSquare;
  nan[2].z = std::nan("");
  const KroTinSegStrcT bad[] = {{0, 4}}, cross[] = {{0, 2}, {1, 3}};
  long np = 7, nt = 7;
  KroTinHandle h = KroTinCreate(nullptr, line.data(), 4, nullptr, 0, 0, 0, 1);
  EXPECT_EQ(KroTinRun(h, &np, &nt), KRO_TIN_NO_TRIANGLE);
  KroTinPntStrcT p8[8];
  KroTinTriStrcT t8[8];
  EXPECT_TRUE(np == 0 && nt == 0 && KroTinFetch(h, p8, 8, t8, 8) == KRO_TIN_NOT_RUN);
  KroTinRelease(h);
  EXPECT_TRUE(KroTinCreate(nullptr, nullptr, 3, nullptr, 0, 0, 0, 1) == nullptr &&
              KroTinCreate(nullptr, kSquare.data(), 4, nullptr, 2, 0, 0, 1) == nullptr);
  EXPECT_EQ(KroTinRun(nullptr, &np, &nt), KRO_TIN_BAD_ARGUMENT);
  KroTinRelease(nullptr);
  for (auto* made : {KroTinCreate(nullptr, kSquare.data(), 4, bad, 1, 0, 0, 1),
                     KroTinCreate(nullptr, nan.data(), 4, nullptr, 0, 0, 0, 1)}) {
    EXPECT_EQ(KroTinRun(made, &np, &nt), KRO_TIN_FAILED);
    KroTinRelease(made);
  }
  h = KroTinCreate(nullptr, kSquare.data(), 4, cross, 2, 0, 0, 1);
  ASSERT_EQ(KroTinRun(h, &np, &nt), KRO_TIN_OK);
  ASSERT_TRUE(np == 5 && nt == 4);
  std::vector<KroTinPntStrcT> p(np + 1);
  std::vector<KroTinTriStrcT> t(nt + 1);
  std::memset(p.data(), 0xAB, p.size() * sizeof(KroTinPntStrcT));
  std::memset(t.data(), 0xAB, t.size() * sizeof(KroTinTriStrcT));
  // One record short on either side: refused, nothing touched.
  EXPECT_EQ(KroTinFetch(h, p.data(), np, t.data(), nt + 1), KRO_TIN_BUFFER_SMALL);
  EXPECT_EQ(KroTinFetch(h, p.data(), np + 1, t.data(), nt), KRO_TIN_BUFFER_SMALL);
  for (const KroTinPntStrcT& r : p) EXPECT_EQ(r.flag, 0xAB);
  for (const KroTinTriStrcT& r : t) EXPECT_EQ(r.flag, 0xAB);
  EXPECT_EQ(KroTinFetch(h, p.data(), np + 1, t.data(), nt + 1), KRO_TIN_OK);
  EXPECT_TRUE(p[0].flag == 0xAB && t[0].flag == 0xAB &&
              p[1].flag == 1);  // record 0 stays the caller's
  KroTinRelease(h);
}

TEST(Tin, RandomPointsWithConstraintsAreCoveredByEdges) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> u(0.0, 10.0);
  std::vector<KRO::G3D_DVertex> pts = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
  for (int i = 0; i < 60; ++i) pts.push_back({u(rng), u(rng), u(rng)});
  // Three crossing chords and one through the middle.
  const std::vector<KroTinSegStrcT> segs = {{4, 5}, {6, 7}, {8, 9}, {0, 2}};
  TinResult r = Triangulate(pts, segs);
  ASSERT_EQ(r.runStatus, KRO_TIN_OK);
  ASSERT_GE(r.nPts, static_cast<long>(pts.size()));
  EXPECT_NEAR(TotalArea(r), 100.0, 1e-9);
  for (size_t i = 0; i < pts.size(); ++i)
    EXPECT_TRUE(r.pts[i + 1].x == pts[i].x && r.pts[i + 1].y == pts[i].y) << i;
  // Each constraint is the union of the triangle edges lying on it: the
  // lengths of those edges (each counted once) add up to its length.
  for (const KroTinSegStrcT& s : segs) {
    const KRO::G3D_DVertex a = pts[s.a], b = pts[s.b];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    auto onSeg = [&](const KroTinPntStrcT& p) {
      const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
      const double dot = (b.x - a.x) * (p.x - a.x) + (b.y - a.y) * (p.y - a.y);
      return std::fabs(cross) / len < 1e-9 && dot > -1e-9 && dot < len * len + 1e-9;
    };
    double covered = 0.0;
    for (long k = 1; k <= r.nTris; ++k)
      for (int i = 0; i < 3; ++i) {
        const int32_t v0 = r.tris[k].v[i], v1 = r.tris[k].v[(i + 1) % 3];
        // An interior edge once: from the side where v0 < v1.
        if (v0 > v1 && r.tris[k].adj[i] != 0) continue;
        if (onSeg(r.pts[v0]) && onSeg(r.pts[v1]))
          covered += std::hypot(r.pts[v1].x - r.pts[v0].x, r.pts[v1].y - r.pts[v0].y);
      }
    EXPECT_NEAR(covered, len, 1e-9);
  }
}
