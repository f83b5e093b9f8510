// Areas, cut-and-fill volumes, volumes between surfaces and the linear
// solver.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kromesh/math/CMathFunCls.h"

using KRO::G3D_DVertex;

namespace {

constexpr double kPi = 3.14159265358979323846;

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
};

template <class F>
NetSurface Grid(int n, F f) {
  NetSurface s;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) {
      const double x = -1.0 + 2.0 * i / n, y = -1.0 + 2.0 * j / n;
      KroPntStrcT p{};
      p.x = x;
      p.y = y;
      p.z = f(x, y);
      s.pts.push_back(p);
    }
  auto id = [n](int i, int j) { return static_cast<long>(j) * (n + 1) + i + 1; };
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      KroNetStrcT a{}, b{};
      a.pnt[0] = id(i, j), a.pnt[1] = id(i + 1, j), a.pnt[2] = id(i + 1, j + 1);
      b.pnt[0] = id(i, j), b.pnt[1] = id(i + 1, j + 1), b.pnt[2] = id(i, j + 1);
      s.nets.push_back(a);
      s.nets.push_back(b);
    }
  return s;
}

}  // namespace

TEST(TriangleVolume, LevelTriangleSetsOnlyLevelArea) {
  const VolumeInfoStrcT1 v = Measure({0, 0, 2}, {2, 0, 2}, {0, 2, 2}, 2.0);
  EXPECT_DOUBLE_EQ(v.planAreaLevel, 2.0);
  EXPECT_EQ(v.planAreaAbove, 0.0);
  EXPECT_EQ(v.planAreaBelow, 0.0);
  EXPECT_EQ(v.volumeAbove, 0.0);
  EXPECT_EQ(v.volumeBelow, 0.0);
  EXPECT_EQ(v.surfAreaAbove, 0.0);
}

TEST(TriangleVolume, WholeTriangleAboveAndBelow) {
  VolumeInfoStrcT1 v = Measure({0, 0, 1}, {1, 0, 1}, {0, 1, 1}, 0.0);
  EXPECT_DOUBLE_EQ(v.volumeAbove, 0.5);
  EXPECT_DOUBLE_EQ(v.planAreaAbove, 0.5);
  EXPECT_DOUBLE_EQ(v.surfAreaAbove, 0.5);
  EXPECT_EQ(v.volumeBelow, 0.0);

  v = Measure({0, 0, 1}, {1, 0, 1}, {0, 1, 1}, 2.0);
  EXPECT_DOUBLE_EQ(v.volumeBelow, 0.5);
  EXPECT_DOUBLE_EQ(v.planAreaBelow, 0.5);
  EXPECT_EQ(v.volumeAbove, 0.0);
}

TEST(TriangleVolume, SlopedTriangleTrueArea) {
  // Plane z = x: the true area is sqrt(2) times the plan area.
  const VolumeInfoStrcT1 v = Measure({0, 0, 10}, {1, 0, 11}, {0, 1, 10}, 0.0);
  EXPECT_DOUBLE_EQ(v.planAreaAbove, 0.5);
  EXPECT_NEAR(v.surfAreaAbove, 0.5 * std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(v.volumeAbove, 31.0 / 6.0, 1e-12);
}

TEST(TriangleVolume, StraddlingTriangleSplitsExactly) {
  // p0 below, p1 and p2 above: the lower part is the triangle p0, (0.5,0),
  // (0,0.5) of plan area 1/8 and depth 1.
  const VolumeInfoStrcT1 v = Measure({0, 0, -1}, {1, 0, 1}, {0, 1, 1}, 0.0);
  EXPECT_NEAR(v.planAreaBelow, 0.125, 1e-15);
  EXPECT_NEAR(v.planAreaAbove, 0.375, 1e-15);
  EXPECT_NEAR(v.volumeBelow, 1.0 / 24.0, 1e-15);
  EXPECT_NEAR(v.volumeAbove, 5.0 / 24.0, 1e-15);
  EXPECT_NEAR(v.volumeAbove - v.volumeBelow, 1.0 / 6.0, 1e-15);
  const double slope = std::sqrt(1.0 + 4.0 + 4.0);  // plane z = -1 + 2x + 2y
  EXPECT_NEAR(v.surfAreaBelow, 0.125 * slope, 1e-12);
  EXPECT_NEAR(v.surfAreaAbove + v.surfAreaBelow, 0.5 * slope, 1e-12);

  // The mirror case: only one vertex above.
  const VolumeInfoStrcT1 m = Measure({0, 0, 1}, {1, 0, -1}, {0, 1, -1}, 0.0);
  EXPECT_NEAR(m.planAreaAbove, 0.125, 1e-15);
  EXPECT_NEAR(m.volumeAbove, 1.0 / 24.0, 1e-15);
  EXPECT_NEAR(m.volumeBelow, 5.0 / 24.0, 1e-15);
  EXPECT_NEAR(m.planAreaBelow, 0.375, 1e-15);
}

TEST(TriangleVolume, SortsVerticesByHeightInPlace) {
  G3D_DVertex tri[3] = {{0, 1, 3}, {1, 0, -2}, {0, 0, 1}};
  VolumeInfoStrcT1 info{};
  CMathFunCls::CalTriangleVolume(tri, 0.0, &info);
  EXPECT_EQ(tri[0].z, -2.0);
  EXPECT_EQ(tri[1].z, 1.0);
  EXPECT_EQ(tri[2].z, 3.0);
  EXPECT_EQ(tri[1].x, 0.0);
  EXPECT_EQ(tri[1].y, 0.0);
}

TEST(TriangleVolume, VertexAtReferenceUsesZeroAreaLowerPart) {
  const VolumeInfoStrcT1 v = Measure({0, 0, 0}, {1, 0, 1}, {0, 1, 1}, 0.0);
  EXPECT_NEAR(v.planAreaAbove, 0.5, 1e-15);
  EXPECT_NEAR(v.volumeAbove, 1.0 / 3.0, 1e-15);
  EXPECT_EQ(v.planAreaBelow, 0.0);
  EXPECT_EQ(v.volumeBelow, 0.0);
}

TEST(TriangleVolume, DegenerateAndVerticalTrianglesStayFinite) {
  // Two vertices level with each other just inside the level tolerance:
  // the lower edge is flat, its crossing must not divide by zero.
  VolumeInfoStrcT1 v = Measure({0, 0, 5e-7}, {1, 0, 5e-7}, {0, 1, 1}, 0.0);
  ExpectFinite(v);
  EXPECT_NEAR(v.planAreaAbove + v.planAreaBelow, 0.5, 1e-9);
  EXPECT_NEAR(v.volumeAbove, (1.0 + 1e-6) * 0.5 / 3.0, 1e-9);

  // Vertical triangle straddling the plane: no plan area, no volume.
  v = Measure({0, 0, -1}, {1, 0, 1}, {0.5, 0, 2}, 0.0);
  ExpectFinite(v);
  EXPECT_NEAR(v.volumeAbove, 0.0, 1e-15);
  EXPECT_NEAR(v.volumeBelow, 0.0, 1e-15);

  // All three vertices in one point, above and straddling nothing.
  v = Measure({1, 1, 1}, {1, 1, 1}, {1, 1, 1}, 0.0);
  ExpectFinite(v);
  EXPECT_EQ(v.volumeAbove, 0.0);

  // Collinear in plan, spanning the reference height.
  v = Measure({0, 0, -1}, {1, 1, 0.5}, {2, 2, 2}, 0.0);
  ExpectFinite(v);
  EXPECT_GE(v.volumeAbove, 0.0);
  EXPECT_GE(v.volumeBelow, 0.0);
}

TEST(TriangleVolume, NullArguments) {
  G3D_DVertex tri[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  VolumeInfoStrcT1 info{};
  EXPECT_EQ(CMathFunCls::CalTriangleVolume(nullptr, 0.0, &info), -1);
  EXPECT_EQ(CMathFunCls::CalTriangleVolume(tri, 0.0, nullptr), -1);
}

TEST(CutAndFill, ParaboloidMatchesAnalyticIntegral) {
  // z = x^2 + y^2 over [-1, 1]^2 against z0: the fill is the volume of the
  // bowl below z0, pi z0^2 / 2; cut - fill = integral of (f - z0).
  const double z0 = 0.5;
  const double fillExact = kPi * z0 * z0 / 2.0;
  const double cutExact = 8.0 / 3.0 - 4.0 * z0 + fillExact;
  auto f = [](double x, double y) { return x * x + y * y; };

  double errCoarse = 0.0;
  for (int n : {20, 400}) {
    NetSurface s = Grid(n, f);
    double cut = -1, fill = -1;
    ASSERT_EQ(CMathFunCls::CalDrugAndFillVolume(s.pts.data(), s.nets.data(),
                                                static_cast<long>(s.pts.size()),
                                                static_cast<long>(s.nets.size()), z0, &cut, &fill),
              1);
    const double errCut = std::fabs(cut - cutExact) / cutExact;
    const double errFill = std::fabs(fill - fillExact) / fillExact;
    if (n == 20) {
      errCoarse = errCut;
    } else {
      EXPECT_LT(errCut, 1e-3);
      EXPECT_LT(errFill, 1e-3);
      EXPECT_LT(errCut, errCoarse);  // converges with the tessellation
    }
  }
}

TEST(CutAndFill, NullPointersLeaveOutputsUntouched) {
  NetSurface s = Grid(2, [](double, double) { return 1.0; });
  double cut = 7, fill = 8;
  EXPECT_EQ(CMathFunCls::CalDrugAndFillVolume(nullptr, s.nets.data(), 9, 8, 0, &cut, &fill), -1);
  EXPECT_EQ(CMathFunCls::CalDrugAndFillVolume(s.pts.data(), nullptr, 9, 8, 0, &cut, &fill), -1);
  EXPECT_EQ(CMathFunCls::CalDrugAndFillVolume(s.pts.data(), s.nets.data(), 9, 8, 0, nullptr, &fill),
            -1);
  EXPECT_EQ(cut, 7);
  EXPECT_EQ(fill, 8);
}

TEST(CutAndFill, NetsWithPointNumbersOutOfRangeAreSkipped) {
  NetSurface s = Grid(2, [](double, double) { return 1.0; });
  const long nPts = static_cast<long>(s.pts.size());
  s.nets[0].pnt[1] = 0;         // 1-based: 0 is no point
  s.nets[1].pnt[2] = nPts + 1;  // past the end
  double cut = 0, fill = 0;
  CMathFunCls::CalDrugAndFillVolume(s.pts.data(), s.nets.data(), nPts,
                                    static_cast<long>(s.nets.size()), 0.0, &cut, &fill);
  EXPECT_NEAR(cut, 4.0 - 2 * 0.5, 1e-12);  // two triangles of plan area 0.5 lost
  EXPECT_EQ(fill, 0.0);
  EXPECT_NEAR(CMathFunCls::CalTriNetArea(s.pts.data(), s.nets.data(), nPts,
                                         static_cast<long>(s.nets.size())),
              3.0, 1e-12);
}

TEST(NetArea, SumsPlanAreas) {
  NetSurface s = Grid(8, [](double x, double y) { return 3 * x + std::sin(5 * y); });
  EXPECT_NEAR(
      CMathFunCls::CalTriNetArea(s.pts.data(), s.nets.data(), static_cast<long>(s.pts.size()),
                                 static_cast<long>(s.nets.size())),
      4.0, 1e-12);
  EXPECT_EQ(CMathFunCls::CalTriNetArea(nullptr, s.nets.data(), 1, 1), 0.0);
}

TEST(PolyhedronVolume, LayerBetweenTwoSurfaces) {
  auto lower = [](double x, double y) { return 0.3 * x - 0.2 * y * y; };
  NetSurface a = Grid(10, lower);
  NetSurface b = Grid(10, [&](double x, double y) { return lower(x, y) + 2.5; });
  const long nP = static_cast<long>(a.pts.size()), nN = static_cast<long>(a.nets.size());
  EXPECT_NEAR(CMathFunCls::CalPolyhedronVolume(a.pts.data(), a.nets.data(), b.pts.data(),
                                               b.nets.data(), nP, nN),
              2.5 * 4.0, 1e-9);
  EXPECT_NEAR(CMathFunCls::CalPolyhedronVolume(b.pts.data(), b.nets.data(), a.pts.data(),
                                               a.nets.data(), nP, nN),
              2.5 * 4.0, 1e-9);
  EXPECT_EQ(CMathFunCls::CalPolyhedronVolume(a.pts.data(), a.nets.data(), a.pts.data(),
                                             a.nets.data(), nP, nN),
            0.0);
  EXPECT_EQ(
      CMathFunCls::CalPolyhedronVolume(a.pts.data(), nullptr, b.pts.data(), b.nets.data(), nP, nN),
      0.0);
}

TEST(TetVolume, SignedByTheSideOfTheApex) {
  double a[3] = {0, 0, 1}, b[3] = {2, 0, 1}, c[3] = {0, 3, 1};
  double up[3] = {5, 5, 4}, down[3] = {0, 0, -1};
  double vol = 0;
  EXPECT_EQ(CMathFunCls::GetTetVolume(a, b, c, up, &vol), 1);
  EXPECT_NEAR(vol, 3.0 * 3.0 / 3.0, 1e-12);
  EXPECT_EQ(CMathFunCls::GetTetVolume(a, b, c, down, &vol), 1);
  EXPECT_NEAR(vol, -3.0 * 2.0 / 3.0, 1e-12);
  double same[3] = {1, 0, 1};
  vol = 5;
  EXPECT_EQ(CMathFunCls::GetTetVolume(a, b, same, up, &vol), 0);  // collinear base
  EXPECT_EQ(vol, 0.0);
  EXPECT_EQ(CMathFunCls::GetTetVolume(a, b, c, up, nullptr), -1);
}

TEST(GaussSolver, SolvesWithPivoting) {
  // The first pivot is 0, so a row swap is needed.
  double aug[] = {0, 2, 1,  7,  //
                  1, 1, 1,  6,  //
                  2, 1, -1, 1};
  double x[3];
  ASSERT_EQ(CMathFunCls::GetCeofWithGauss(aug, x, 3), 1);
  EXPECT_NEAR(x[0], 1.0, 1e-12);
  EXPECT_NEAR(x[1], 2.0, 1e-12);
  EXPECT_NEAR(x[2], 3.0, 1e-12);
}

TEST(GaussSolver, ZeroColumnIsSingular) {
  double aug[] = {1, 0, 2, 1,  //
                  3, 0, 1, 2,  //
                  4, 0, 5, 3};
  double x[3] = {9, 9, 9};
  EXPECT_EQ(CMathFunCls::GetCeofWithGauss(aug, x, 3), 0);
  EXPECT_EQ(CMathFunCls::GetCeofWithGauss(nullptr, x, 3), -1);
  EXPECT_EQ(CMathFunCls::GetCeofWithGauss(aug, x, 0), -1);
}

TEST(InterpolationCoefficients, LinearAndTrilinearFitsReproduceTheFunction) {
  G3D_DVertex tet[4] = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0, 0, 3}};
  auto lin = [](const G3D_DVertex& p) { return 2 * p.x - p.y + 0.5 * p.z + 4; };
  double vals4[4], coef4[4];
  for (int i = 0; i < 4; ++i) vals4[i] = lin(tet[i]);
  ASSERT_EQ(CMathFunCls::CalEquCoef(tet, vals4, coef4, 4), 1);
  EXPECT_NEAR(coef4[0], 2, 1e-12);
  EXPECT_NEAR(coef4[1], -1, 1e-12);
  EXPECT_NEAR(coef4[2], 0.5, 1e-12);
  EXPECT_NEAR(coef4[3], 4, 1e-12);

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

  double untouched[5] = {7, 7, 7, 7, 7};
  EXPECT_EQ(CMathFunCls::CalEquCoef(tet, vals4, untouched, 5), 1);
  for (double v : untouched) EXPECT_EQ(v, 7.0);

  G3D_DVertex flat[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  EXPECT_EQ(CMathFunCls::CalEquCoef(flat, vals4, coef4, 4), 0);
}
