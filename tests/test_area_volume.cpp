// Areas, cut-and-fill volumes, volumes between surfaces and the linear
// solver.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "kromesh/math/CMathFunCls.h"
#include "support/Shapes.h"

using KRO::G3D_DVertex;

namespace {

VolumeInfoStrcT1 Measure(G3D_DVertex a, G3D_DVertex b, G3D_DVertex c, double z0) {
  G3D_DVertex tri[3] = {a, b, c};
  VolumeInfoStrcT1 info{};
  EXPECT_EQ(CMathFunCls::CalTriangleVolume(tri, z0, &info), 1);
  return info;
}

void ExpectFinite(const VolumeInfoStrcT1& v) {
  const double* f = &v.planAreaAbove;
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(std::isfinite(f[i])) << "field " << i;
}

/// Height field z = f(x, y) over [-1, 1]^2 on an n x n grid in the
/// point/net layout (1-based point numbers).
struct NetSurface {
  std::vector<KroPntStrcT> pts;
  std::vector<KroNetStrcT> nets;
  long nP() const { return static_cast<long>(pts.size()); }
  long nN() const { return static_cast<long>(nets.size()); }
  long CutFill(double z0, double* cut, double* fill) {
    return CMathFunCls::CalDrugAndFillVolume(pts.data(), nets.data(), nP(), nN(), z0, cut, fill);
  }
};

NetSurface Grid(int n, const std::function<double(double, double)>& f) {
  NetSurface s;
  const double d = 2.0 / n;
  shapes::ToPntNet(shapes::SoupOf(shapes::MakeTerrain(n, n, -1, -1, d, d, f)), s.pts, s.nets);
  return s;
}

}  // namespace

TEST(TriangleVolume, AreasAndVolumesAboveAndBelowTheReference) {
  const double r2 = std::sqrt(2.0), r3 = std::sqrt(3.0);  // area factors of the slopes
  const struct {
    const char* what;
    G3D_DVertex a, b, c;
    double z0;
    // planAreaAbove, planAreaBelow, planAreaLevel, volumeAbove, volumeBelow,
    // surfAreaAbove, surfAreaBelow
    double want[7];
  } rows[] = {
      {"level", {0, 0, 2}, {2, 0, 2}, {0, 2, 2}, 2.0, {0, 0, 2, 0, 0, 0, 0}},
      {"above", {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, 0.0, {0.5, 0, 0, 0.5, 0, 0.5, 0}},
      {"below", {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, 2.0, {0, 0.5, 0, 0, 0.5, 0, 0.5}},
      {"sloped", {0, 0, 10}, {1, 0, 11}, {0, 1, 10}, 0.0, {0.5, 0, 0, 31.0 / 6, 0, 0.5 * r2, 0}},
      // p0 below, p1 and p2 above: the lower part is p0, (0.5,0), (0,0.5),
      // of plan area 1/8 and depth 1; above - below = (h0 + h1 + h2) A / 3;
      // the slope z = -1 + 2x + 2y triples the areas.
      // clang-format off
      {"p0 below", {0, 0, -1}, {1, 0, 1}, {0, 1, 1}, 0, {.375, .125, 0, 5 / 24., 1 / 24., 1.125, .375}},
      {"p0 above", {0, 0, 1}, {1, 0, -1}, {0, 1, -1}, 0, {.125, .375, 0, 1 / 24., 5 / 24., .375, 1.125}},
      // clang-format on
      {"vertex at z0", {0, 0, 0}, {1, 0, 1}, {0, 1, 1}, 0.0, {0.5, 0, 0, 1.0 / 3, 0, 0.5 * r3, 0}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const VolumeInfoStrcT1 v = Measure(r.a, r.b, r.c, r.z0);
    const double got[7] = {v.planAreaAbove, v.planAreaBelow, v.planAreaLevel, v.volumeAbove,
                           v.volumeBelow,   v.surfAreaAbove, v.surfAreaBelow};
    for (int k = 0; k < 7; ++k)
      EXPECT_NEAR(got[k], r.want[k], k < 5 ? 1e-15 : 1e-12) << "field " << k;
  }
}

TEST(TriangleVolume, DegenerateAndVerticalTrianglesStayFinite) {
  // Two vertices level just inside the tolerance: the flat lower edge's crossing divides by
  // nothing.
  VolumeInfoStrcT1 v = Measure({0, 0, 5e-7}, {1, 0, 5e-7}, {0, 1, 1}, 0.0);
  ExpectFinite(v);
  EXPECT_NEAR(v.planAreaAbove + v.planAreaBelow, 0.5, 1e-9);
  EXPECT_NEAR(v.volumeAbove, (1.0 + 1e-6) * 0.5 / 3.0, 1e-9);

  // Vertical, or collinear in plan, straddling the plane: no volume.
  for (const VolumeInfoStrcT1& w : {Measure({0, 0, -1}, {1, 0, 1}, {0.5, 0, 2}, 0.0),
                                    Measure({0, 0, -1}, {1, 1, 0.5}, {2, 2, 2}, 0.0)}) {
    ExpectFinite(w);
    EXPECT_TRUE(std::fabs(w.volumeAbove) + std::fabs(w.volumeBelow) < 1e-15);
  }
  G3D_DVertex tri[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  EXPECT_EQ(CMathFunCls::CalTriangleVolume(nullptr, 0.0, &v), -1);
  EXPECT_EQ(CMathFunCls::CalTriangleVolume(tri, 0.0, nullptr), -1);
}

TEST(CutAndFill, ParaboloidMatchesAnalyticIntegral) {
  // z = x^2 + y^2 over [-1, 1]^2 against z0: the fill is the volume of the
  // bowl below z0, pi z0^2 / 2; cut - fill = integral of (f - z0).
  const double z0 = 0.5;
  const double fillExact = shapes::kPi * z0 * z0 / 2.0;
  const double cutExact = 8.0 / 3.0 - 4.0 * z0 + fillExact;
  auto f = [](double x, double y) { return x * x + y * y; };

  double err[2], fill = -1;
  for (int k = 0; k < 2; ++k) {
    NetSurface s = Grid(k ? 400 : 20, f);
    double cut = -1;
    ASSERT_EQ(s.CutFill(z0, &cut, &fill), 1);
    err[k] = std::fabs(cut - cutExact) / cutExact;
  }
  // Converges with the tessellation.
  EXPECT_TRUE(err[1] < 1e-3 && err[1] < err[0]) << err[1];
  EXPECT_LT(std::fabs(fill - fillExact) / fillExact, 1e-3);
}

TEST(CutAndFill, NullPointersAndPointNumbersOutOfRangeAreSafe) {
  NetSurface s = Grid(2, [](double, double) { return 1.0; });
  double c0 = 7, f0 = 8;
  EXPECT_EQ(CMathFunCls::CalDrugAndFillVolume(nullptr, s.nets.data(), 9, 8, 0, &c0, &f0) +
                s.CutFill(0, nullptr, &f0),
            -2);
  EXPECT_TRUE(c0 == 7 && f0 == 8);
  s.nets[0].pnt[1] = 0;           // 1-based: 0 is no point
  s.nets[1].pnt[2] = s.nP() + 1;  // past the end
  s.CutFill(0.0, &c0, &f0);
  EXPECT_TRUE(std::fabs(c0 - 3.0) < 1e-12 && f0 == 0.0);  // two triangles of plan area 0.5 lost
  EXPECT_NEAR(CMathFunCls::CalTriNetArea(s.pts.data(), s.nets.data(), s.nP(), s.nN()), 3.0, 1e-12);
}

TEST(GaussSolver, SolvesWithPivotingFitsAndReportsSingular) {
  double aug[] = {0, 2, 1, 7, 1, 1, 1, 6, 2, 1, -1, 1};  // the first pivot is 0: a row swap
  double x[3];
  ASSERT_EQ(CMathFunCls::GetCeofWithGauss(aug, x, 3), 1);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], i + 1.0, 1e-12);
  double singular[] = {1, 0, 2, 1, 3, 0, 1, 2, 4, 0, 5, 3};  // a zero column
  EXPECT_EQ(CMathFunCls::GetCeofWithGauss(singular, x, 3), 0);
  EXPECT_EQ(CMathFunCls::GetCeofWithGauss(nullptr, x, 3), -1);
  // The trilinear fit of eight cube corners reproduces the function; four
  // coplanar points give a singular system.
  G3D_DVertex cube[8];
  double vals8[8], coef8[8];
  auto tri = [](double x, double y, double z) {
    return 1 + 2 * x - y + 3 * z + 0.5 * x * y - y * z + 2 * z * x + 4 * x * y * z;
  };
  for (int i = 0; i < 8; ++i) {
    cube[i] = {1.0 + (i & 1), 2.0 + ((i >> 1) & 1) * 3, -1.0 + ((i >> 2) & 1) * 2};
    vals8[i] = tri(cube[i].x, cube[i].y, cube[i].z);
  }
  ASSERT_EQ(CMathFunCls::CalEquCoef(cube, vals8, coef8, 8), 1);
  const double expect[8] = {1, 2, -1, 3, 0.5, -1, 2, 4};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(coef8[i], expect[i], 1e-9) << i;
  G3D_DVertex flat[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  EXPECT_EQ(CMathFunCls::CalEquCoef(flat, vals8, coef8, 4), 0);  // coplanar: singular
}
