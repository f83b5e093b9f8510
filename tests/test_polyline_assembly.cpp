// Comparison of 3D polylines and assembly of discrete lines into polygons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;

namespace {

bool Same(const G3D_DVertex& a, const G3D_DVertex& b) {
  return std::fabs(a.x - b.x) < 1e-6 && std::fabs(a.y - b.y) < 1e-6 && std::fabs(a.z - b.z) < 1e-6;
}

/// Input lines in the flat layout the assembly takes.
struct Lines {
  std::vector<G3D_DVertex> pts;
  std::vector<long> counts;
  void Add(std::vector<G3D_DVertex> line) {
    pts.insert(pts.end(), line.begin(), line.end());
    counts.push_back(static_cast<long>(line.size()));
  }
  long N() const { return static_cast<long>(counts.size()); }
};

struct Result {
  long code = 0;
  long nOut = -1;
  std::vector<G3D_DVertex> out;
  std::vector<long> counts;
  /// Polyline k's points.
  std::vector<G3D_DVertex> Poly(long k) const {
    long off = 0;
    for (long i = 0; i < k; ++i) off += counts[i];
    return std::vector<G3D_DVertex>(out.begin() + off, out.begin() + off + counts[k]);
  }
};

Result Assemble(Lines& in) {
  Result r;
  r.out.assign(in.pts.size() + in.counts.size() + 1, G3D_DVertex{NAN, NAN, NAN});
  r.counts.assign(in.counts.size() + 1, -7);
  r.code = CMathFunCls::ConstrPolysByDiscrtSegs(in.pts.data(), in.counts.data(), in.N(),
                                                r.out.data(), r.counts.data(), &r.nOut);
  return r;
}

/// The assembly written the plain way, walking every line on every pass,
/// with the same rules (repeats, closed lines, passes, dropped dead ends).
Result Reference(Lines& in) {
  Result r;
  const long n = in.N();
  r.out.assign(in.pts.size() + in.counts.size() + 1, G3D_DVertex{NAN, NAN, NAN});
  r.counts.assign(in.counts.size() + 1, -7);
  std::vector<long> off(n);
  for (long i = 0, o = 0; i < n; ++i) off[i] = o, o += std::max(0L, in.counts[i]);
  auto line = [&](long i) { return in.pts.data() + off[i]; };
  auto last = [&](long i) { return line(i)[in.counts[i] - 1]; };
  std::vector<bool> used(n);
  for (long i = 0; i < n; ++i) used[i] = in.counts[i] < 2;
  for (long i = 0; i < n; ++i)
    for (long j = i + 1; j < n && !used[i]; ++j)
      if (!used[j] && CMathFunCls::IsSame3DLinF(line(i), in.counts[i], line(j), in.counts[j]))
        used[j] = true;
  long pos = 0, nOut = 0;
  for (long i = 0; i < n; ++i) {
    if (used[i] || !Same(line(i)[0], last(i))) continue;
    for (long k = 0; k < in.counts[i]; ++k) r.out[pos + k] = line(i)[k];
    r.out[pos + in.counts[i] - 1] = line(i)[0];
    r.counts[nOut++] = in.counts[i];
    pos += in.counts[i];
    used[i] = true;
  }
  auto unused = [&] { return std::count(used.begin(), used.end(), false); };
  bool open = false;
  long len = 0;
  G3D_DVertex S{}, E{};
  for (;;) {
    if (!open) {
      if (unused() == 0) break;
      long i = 0;
      while (used[i]) ++i;
      for (long k = 0; k < in.counts[i]; ++k) r.out[pos + k] = line(i)[k];
      len = in.counts[i] - 1, S = line(i)[0], E = last(i), used[i] = true, open = true;
    }
    if (unused() == 0) break;
    bool attached = false;
    for (long j = 0; j < n; ++j) {
      if (used[j]) continue;
      const long c = in.counts[j];
      if (Same(last(j), E)) {
        for (long k = 0; k < c; ++k) r.out[pos + len + k] = line(j)[c - 1 - k];
        E = line(j)[0];
      } else if (Same(line(j)[0], E)) {
        for (long k = 0; k < c; ++k) r.out[pos + len + k] = line(j)[k];
        E = last(j);
      } else {
        continue;
      }
      len += c - 1, used[j] = true, attached = true;
    }
    if (Same(E, S)) {
      r.out[pos + len] = S;
      r.counts[nOut++] = len + 1;
      pos += len + 1;
      open = false;
    } else if (!attached) {
      open = false;
    }
  }
  if (open) r.counts[nOut] = len + 1;
  r.nOut = nOut;
  r.code = 1;
  return r;
}

void ExpectSameResult(const Result& a, const Result& b) {
  ASSERT_EQ(a.code, b.code);
  ASSERT_EQ(a.nOut, b.nOut);
  ASSERT_EQ(a.counts, b.counts);
  long total = 0;
  for (long k = 0; k <= a.nOut && a.counts[k] > 0; ++k) total += a.counts[k];
  for (long i = 0; i < total; ++i) {
    ASSERT_EQ(a.out[i].x, b.out[i].x) << i;
    ASSERT_EQ(a.out[i].y, b.out[i].y) << i;
    ASSERT_EQ(a.out[i].z, b.out[i].z) << i;
  }
}

const G3D_DVertex p1{0, 0, 0}, p2{1, 0, 0}, p3{0, 1, 0}, p4{1, 1, 1};

}  // namespace

TEST(SameLine, ForwardReversedAndDifferent) {
  G3D_DVertex a[3] = {p1, p2, p3}, rev[3] = {p3, p2, p1}, other[3] = {p1, p2, p4};
  G3D_DVertex near[3] = {{5e-7, 0, 0}, p2, {0, 1, -5e-7}};
  EXPECT_TRUE(CMathFunCls::IsSame3DLinF(a, 3, rev, 3));
  EXPECT_TRUE(CMathFunCls::IsSame3DLinF(a, 3, near, 3));
  EXPECT_FALSE(CMathFunCls::IsSame3DLinF(a, 3, other, 3));
  EXPECT_FALSE(CMathFunCls::IsSame3DLinF(a, 3, a, 2));

  G3D_DVertex va[4] = {p1, p2, p3, p4};
  long ia[3] = {0, 1, 2}, ib[3] = {2, 1, 0}, ic[3] = {0, 1, 3};
  EXPECT_TRUE(CMathFunCls::IsSame3DLin(va, ia, 3, va, ib, 3));
  EXPECT_FALSE(CMathFunCls::IsSame3DLin(va, ia, 3, va, ic, 3));
}

TEST(Assembly, SmallCases) {
  const G3D_DVertex almost{1e-7, 0, 0}, q1{10, 0, 0}, q2{11, 0, 0}, q3{10, 1, 0};
  const struct {
    const char* what;
    std::vector<std::vector<G3D_DVertex>> lines;
    std::vector<G3D_DVertex> first;  // the one polyline counted
    long after;                      // the count behind it: an open line's, or untouched
  } rows[] = {
      {"three segments close into a triangle",
       {{p1, p2}, {p3, p2}, {p3, p1}},
       {p1, p2, p3, p1},
       -7},
      {"a repeated line in reverse counts once",
       {{p1, p2}, {p2, p1}, {p2, p3}, {p3, p1}, {p3, p2}},
       {p1, p2, p3, p1},
       -7},
      {"a closed line passes through unchanged; the open one is not counted",
       {{p2, p4}, {p1, p2, p4, p3, almost}},
       {p1, p2, p4, p3, p1},
       2},
      {"a dead-end chain is dropped and does not stop later rings",
       {{p1, p2}, {p2, p4}, {q1, q2}, {q3, q1}, {q2, q3}},
       {q1, q2, q3, q1},
       -7},
      {"points and empty lines are no lines",
       {{p4}, {p1, p2}, {}, {p2, p3}, {p3, p1}},
       {p1, p2, p3, p1},
       -7},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    Lines in;
    for (const auto& l : r.lines) in.Add(l);
    const Result res = Assemble(in);
    ASSERT_EQ(res.code, 1);
    ASSERT_EQ(res.nOut, 1);
    ASSERT_EQ(res.counts[0], static_cast<long>(r.first.size()));
    for (size_t i = 0; i < r.first.size(); ++i) EXPECT_TRUE(Same(res.out[i], r.first[i])) << i;
    EXPECT_EQ(res.counts[1], r.after);
  }
}

TEST(Assembly, ClosingPointIsExactAndNullArgumentsAreRefused) {
  Lines in;
  in.Add({p2, p4});  // open, cannot close
  in.Add({p1, p2, p4, p3, {1e-7, 0, 0}});
  const Result r = Assemble(in);
  EXPECT_EQ(r.out[4].x, p1.x);  // the closing point is the first point exactly
  EXPECT_TRUE(Same(r.out[5], p2) && Same(r.out[6], p4));  // then the open line

  std::vector<G3D_DVertex> out(8);
  std::vector<long> counts(4);
  long nOut = 5;
  EXPECT_EQ(CMathFunCls::ConstrPolysByDiscrtSegs(nullptr, in.counts.data(), 1, out.data(),
                                                 counts.data(), &nOut),
            -1);
  EXPECT_EQ(nOut, 0);
}

TEST(Assembly, MatchesThePlainWalkOnRandomSegments) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 120; ++round) {
    // Few distinct points, so that ends meet often and chains branch.
    const int grid = 3 + round % 4;
    std::uniform_int_distribution<int> coord(0, grid - 1), len(1, 4);
    Lines in;
    const int nLines = 3 + round % 25;
    for (int l = 0; l < nLines; ++l) {
      std::vector<G3D_DVertex> line;
      const int c = len(rng);
      for (int k = 0; k < c; ++k)
        line.push_back({double(coord(rng)), double(coord(rng)), double(coord(rng) % 2)});
      in.Add(line);
    }
    ExpectSameResult(Assemble(in), Reference(in));
    if (HasFatalFailure()) FAIL() << "round " << round;
  }
}

TEST(Assembly, ManyShuffledRingsCloseEachOne) {
  // 100 rings of 40 segments each, segments shuffled and half reversed.
  const int rings = 100, segs = 40;
  std::vector<std::vector<G3D_DVertex>> lines;
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segs; ++s) {
      auto pt = [&](int k) {
        const double a = 2 * 3.14159265358979 * (k % segs) / segs;
        return G3D_DVertex{100.0 * r + std::cos(a), std::sin(a), 0.5 * r};
      };
      lines.push_back({pt(s), pt(s + 1)});
    }
  std::mt19937 rng(7);
  std::shuffle(lines.begin(), lines.end(), rng);
  Lines in;
  for (auto& l : lines) {
    if (rng() % 2) std::swap(l[0], l[1]);
    in.Add(l);
  }
  const Result r = Assemble(in);
  ASSERT_EQ(r.nOut, rings);
  for (long k = 0; k < rings; ++k) {
    const std::vector<G3D_DVertex> poly = r.Poly(k);
    ASSERT_EQ(poly.size(), static_cast<size_t>(segs + 1));
    EXPECT_TRUE(Same(poly.front(), poly.back()));
    for (const G3D_DVertex& q : poly) EXPECT_EQ(q.z, poly[0].z);  // one ring each
  }
}
