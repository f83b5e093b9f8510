// Comparison of 3D polylines and assembly of discrete lines into polygons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;
using Line = std::vector<G3D_DVertex>;

namespace {

bool Same(const G3D_DVertex& a, const G3D_DVertex& b) {
  return std::fabs(a.x - b.x) < 1e-6 && std::fabs(a.y - b.y) < 1e-6 && std::fabs(a.z - b.z) < 1e-6;
}

/// The lines in the flat layout the assembly takes, and room for its output.
struct Asm {
  std::vector<G3D_DVertex> pts, out;
  std::vector<long> counts, outCounts;
  long code = 0, nOut = -1;
  explicit Asm(const std::vector<Line>& lines) {
    for (const Line& l : lines) {
      pts.insert(pts.end(), l.begin(), l.end());
      counts.push_back(static_cast<long>(l.size()));
    }
    out.assign(pts.size() + counts.size() + 1, G3D_DVertex{NAN, NAN, NAN});
    outCounts.assign(counts.size() + 1, -7);
  }
};

Asm Assemble(const std::vector<Line>& lines) {
  Asm r(lines);
  r.code = CMathFunCls::ConstrPolysByDiscrtSegs(r.pts.data(), r.counts.data(),
                                                static_cast<long>(lines.size()), r.out.data(),
                                                r.outCounts.data(), &r.nOut);
  return r;
}

/// The assembly written the plain way, walking every line on every pass,
/// with the same rules (repeats, closed lines, passes, dropped dead ends).
Asm Reference(std::vector<Line> in) {
  Asm r(in);
  const long n = static_cast<long>(in.size());
  std::vector<bool> used(n);
  for (long i = 0; i < n; ++i) used[i] = in[i].size() < 2;
  for (long i = 0; i < n; ++i)
    for (long j = i + 1; j < n && !used[i]; ++j)
      if (!used[j] &&
          CMathFunCls::IsSame3DLinF(in[i].data(), r.counts[i], in[j].data(), r.counts[j]))
        used[j] = true;
  auto emit = [&](const Line& l, long at) { std::copy(l.begin(), l.end(), r.out.begin() + at); };
  long pos = 0, nOut = 0;
  for (long i = 0; i < n; ++i) {
    if (used[i] || !Same(in[i].front(), in[i].back())) continue;
    emit(in[i], pos);
    r.out[pos + r.counts[i] - 1] = in[i][0];
    r.outCounts[nOut++] = r.counts[i];
    pos += r.counts[i];
    used[i] = true;
  }
  auto unused = [&] { return std::count(used.begin(), used.end(), false); };
  bool open = false;
  long len = 0;
  G3D_DVertex S{}, E{};
  for (;;) {
    if (!open) {
      if (unused() == 0) break;
      const long i = std::find(used.begin(), used.end(), false) - used.begin();
      emit(in[i], pos);
      len = r.counts[i] - 1, S = in[i].front(), E = in[i].back(), used[i] = true, open = true;
    }
    if (unused() == 0) break;
    bool attached = false;
    for (long j = 0; j < n; ++j) {
      if (used[j] || !(Same(in[j].back(), E) || Same(in[j].front(), E))) continue;
      if (Same(in[j].back(), E)) std::reverse(in[j].begin(), in[j].end());
      emit(in[j], pos + len);
      E = in[j].back();
      len += r.counts[j] - 1, used[j] = true, attached = true;
    }
    if (Same(E, S)) {
      r.out[pos + len] = S;
      r.outCounts[nOut++] = len + 1;
      pos += len + 1;
      open = false;
    } else if (!attached) {
      open = false;
    }
  }
  if (open) r.outCounts[nOut] = len + 1;
  r.nOut = nOut;
  r.code = 1;
  return r;
}

void ExpectSame(const Asm& a, const Asm& b) {
  ASSERT_EQ(a.code, b.code);
  ASSERT_EQ(a.nOut, b.nOut);
  ASSERT_EQ(a.outCounts, b.outCounts);
  long total = 0;
  for (long k = 0; k <= a.nOut && a.outCounts[k] > 0; ++k) total += a.outCounts[k];
  for (long i = 0; i < total; ++i)
    ASSERT_TRUE(a.out[i].x == b.out[i].x && a.out[i].y == b.out[i].y && a.out[i].z == b.out[i].z)
        << "point " << i;
}

const G3D_DVertex p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0}, p4{1, 1, 1};

}  // namespace

TEST(SameLine, ForwardReversedAndDifferent) {
  G3D_DVertex a[3] = {p1, p2, p3}, rev[3] = {p3, p2, p1}, other[3] = {p1, p2, p4};
  G3D_DVertex near[3] = {{5e-7, 0, 0}, p2, {0, 1, -5e-7}};
  EXPECT_TRUE(CMathFunCls::IsSame3DLinF(a, 3, rev, 3) && CMathFunCls::IsSame3DLinF(a, 3, near, 3));
  EXPECT_FALSE(CMathFunCls::IsSame3DLinF(a, 3, other, 3) || CMathFunCls::IsSame3DLinF(a, 3, a, 2));
  G3D_DVertex va[4] = {p1, p2, p3, p4};
  long ia[3] = {0, 1, 2}, ib[3] = {2, 1, 0}, ic[3] = {0, 1, 3};
  EXPECT_TRUE(CMathFunCls::IsSame3DLin(va, ia, 3, va, ib, 3));
  EXPECT_FALSE(CMathFunCls::IsSame3DLin(va, ia, 3, va, ic, 3));
}

TEST(Assembly, SmallCases) {
  // Repeats and dead ends come from the random walks below.
  const G3D_DVertex almost{1e-7, 0, 0};
  const struct {
    const char* what;
    std::vector<Line> lines;
    Line first;  // the one polyline counted, exactly (a ring closes on its first point)
    long after;  // the count behind it: an open line's, or untouched
  } rows[] = {
      // clang-format off
      {"three segments close into a triangle", {{p1, p2}, {p3, p2}, {p3, p1}}, {p1, p2, p3, p1}, -7},
      {"a closed line passes through; the open one is not counted", {{p2, p4}, {p1, p2, p4, p3, almost}},
       {p1, p2, p4, p3, p1}, 2},
      {"points and empty lines are no lines", {{p4}, {p1, p2}, {}, {p2, p3}, {p3, p1}}, {p1, p2, p3, p1}, -7},
      // clang-format on
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const Asm res = Assemble(r.lines);
    ASSERT_EQ(res.code, 1);
    ASSERT_EQ(res.nOut, 1);
    ASSERT_EQ(res.outCounts[0], static_cast<long>(r.first.size()));
    for (size_t i = 0; i < r.first.size(); ++i)
      EXPECT_TRUE(res.out[i].x == r.first[i].x && res.out[i].y == r.first[i].y) << i;
    EXPECT_EQ(res.outCounts[1], r.after);
  }
  Asm bad({{p1, p2}});
  bad.nOut = 5;
  EXPECT_EQ(CMathFunCls::ConstrPolysByDiscrtSegs(nullptr, bad.counts.data(), 1, bad.out.data(),
                                                 bad.outCounts.data(), &bad.nOut),
            -1);
  EXPECT_EQ(bad.nOut, 0);
}

TEST(Assembly, MatchesThePlainWalkOnRandomSegments) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 120; ++round) {
    // Few distinct points, so that ends meet often and chains branch.
    const int grid = 3 + round % 4;
    std::uniform_int_distribution<int> coord(0, grid - 1), len(1, 4);
    std::vector<Line> in(3 + round % 25);
    for (Line& l : in)
      for (int k = len(rng); k > 0; --k)
        l.push_back({double(coord(rng)), double(coord(rng)), double(coord(rng) % 2)});
    ExpectSame(Assemble(in), Reference(in));
    if (HasFatalFailure()) FAIL() << "round " << round;
  }
}

TEST(Assembly, ManyShuffledFarApartRingsCloseEachOne) {
  // 100 rings of 40 segments, spread over the endpoint grid, shuffled and
  // half reversed.
  const int rings = 100, segs = 40;
  auto pt = [&](int r, int k) {
    const double a = 2 * M_PI * (k % segs) / segs;
    return G3D_DVertex{100.0 * r + std::cos(a), std::sin(a), 0.5 * r};
  };
  std::mt19937 rng(7);
  std::vector<Line> lines;
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segs; ++s)
      lines.push_back(rng() % 2 ? Line{pt(r, s), pt(r, s + 1)} : Line{pt(r, s + 1), pt(r, s)});
  std::shuffle(lines.begin(), lines.end(), rng);
  const Asm got = Assemble(lines);
  ASSERT_EQ(got.nOut, rings);
  EXPECT_EQ(std::count(got.outCounts.begin(), got.outCounts.begin() + rings, segs + 1), rings);
  ExpectSame(got, Reference(lines));
}
