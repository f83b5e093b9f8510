// Solid/solid cuts through the facade: the four-piece form, the Boolean
// combinations and the six-output form, checked by volume (divergence
// theorem), closedness and the materials of the pieces.
#include <gtest/gtest.h>

#include <cmath>

#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/host/Kro3DObjects.h"
#include "support/CutChecks.h"
#include "support/Shapes.h"

namespace {

using cutchecks::Area;
using cutchecks::Volume;
using cutchecks::VolumeWithFlipped;
using shapes::Vec;

// Two unit cubes overlapping in a 0.5 x 0.7 x 0.8 box, no face of one in
// the plane of a face of the other.
struct Cubes {
  C3DEntity a = shapes::MakeBox({0, 0, 0}, {1, 1, 1});
  C3DEntity b = shapes::MakeBox({0.5, 0.3, 0.2}, {1.5, 1.3, 1.2});
  const double overlap = 0.5 * 0.7 * 0.8;
  Cubes() {
    cutchecks::SetMaterial(a, "A");
    cutchecks::SetMaterial(b, "B");
  }
};

C3DEntity Combine(C3DEntity& a, C3DEntity& b, Kro_Mesh_Cut_Oper_Type op) {
  CKroMeshTriCut cut;
  C3DEntity c;
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &c, op), 1);
  return c;
}

// Closed after welding, the surfaces of `flipped` taken reversed.
bool Closed(const C3DEntity& e, const std::string& flipped = "") {
  return shapes::IsClosedAfterWelding(cutchecks::SoupWithFlipped(e, flipped));
}

// The four Boolean results of a and b (materials "A" and "B") whose
// common part has volume `overlap`: exact volumes, closed after welding.
void CheckBooleans(C3DEntity& a, C3DEntity& b, double overlap) {
  const double tol = 1e-9;
  C3DEntity uni = Combine(a, b, Kro_Oper_Union);
  EXPECT_NEAR(Volume(uni), 2.0 - overlap, tol);
  EXPECT_TRUE(Closed(uni));
  C3DEntity inter = Combine(a, b, Kro_Oper_Intersect);
  EXPECT_NEAR(Volume(inter), overlap, tol);
  EXPECT_TRUE(Closed(inter));
  // The differences keep the other solid's part facing out of that solid.
  C3DEntity aMinusB = Combine(a, b, Kro_Oper_FirstMinusSecond);
  EXPECT_NEAR(VolumeWithFlipped(aMinusB, "B"), 1.0 - overlap, tol);
  EXPECT_TRUE(Closed(aMinusB, "B"));
  EXPECT_FALSE(Closed(aMinusB));
  C3DEntity bMinusA = Combine(a, b, Kro_Oper_SecondMinusFirst);
  EXPECT_NEAR(VolumeWithFlipped(bMinusA, "A"), 1.0 - overlap, tol);
  EXPECT_TRUE(Closed(bMinusA, "A"));
}

TEST(Boolean, CubesInGeneralPositionHaveExactVolumes) {
  Cubes s;
  CheckBooleans(s.a, s.b, s.overlap);
  // a's outside part alone is open where b took its corner.
  C3DEntity outside = Combine(s.a, s.b, Kro_Oper_FirstOutside);
  EXPECT_TRUE(cutchecks::AllMaterial(outside, "A"));
  EXPECT_NEAR(Area(outside), 6.0 - (0.5 * 0.7 + 0.5 * 0.8 + 0.7 * 0.8), 1e-9);
  EXPECT_FALSE(Closed(outside));
}

TEST(Boolean, TurnedCubeCornerIntoCube) {
  // b: the unit cube turned 45 degrees about the vertical and moved so that
  // one vertical edge pokes into a through a's +x face. In plan, the part
  // inside a is a right isosceles triangle with legs of d - 0.3, where d is
  // half the diagonal; over the heights 0.25 .. 1.
  C3DEntity a = shapes::MakeUnitCube();
  cutchecks::SetMaterial(a, "A");
  C3DEntity b =
      cutchecks::MakeTurnedBox({0, 0, 0}, {1, 1, 1}, shapes::kPi / 4, {0.8, 0.0, 0.25}, "B");
  const double d = std::sqrt(0.5);
  CheckBooleans(a, b, (d - 0.3) * (d - 0.3) * 0.75);
}

// Volumes of the four Boolean results of two spheres of radius r, the
// second one's centre at r * cb, checked against inclusion-exclusion with
// the intersection as measured, and closedness. prec > 0 sets the data
// precision of the cut.
void CheckSpheres(const Vec& cb, int nLat, double r, double prec = 0) {
  C3DEntity a = shapes::MakeSphereEntity({0, 0, 0}, r, nLat, 2 * nLat);
  C3DEntity b = shapes::MakeSphereEntity(shapes::Scale(cb, r), r, nLat, 2 * nLat);
  cutchecks::SetMaterial(a, "A");
  cutchecks::SetMaterial(b, "B");
  const double va = Volume(a), vb = Volume(b);

  auto combine = [&](Kro_Mesh_Cut_Oper_Type op) {
    CKroMeshTriCut cut;
    if (prec > 0) cut.SetDataPrec(prec);
    C3DEntity c;
    EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &c, op), 1);
    return c;
  };
  C3DEntity inter = combine(Kro_Oper_Intersect);
  C3DEntity uni = combine(Kro_Oper_Union);
  C3DEntity aMinusB = combine(Kro_Oper_FirstMinusSecond);
  C3DEntity bMinusA = combine(Kro_Oper_SecondMinusFirst);
  const double vi = Volume(inter);
  // The lens of two exact spheres at this distance; the facets cut inside,
  // so the tessellated lens is a little smaller.
  const double dist = r * shapes::Norm(cb);
  const double lens = shapes::kPi * (4 * r + dist) * (2 * r - dist) * (2 * r - dist) / 12.0;
  EXPECT_GT(vi, 0.8 * lens);
  EXPECT_LT(vi, lens);
  const double tol = 1e-9 * (va + vb);
  EXPECT_NEAR(Volume(uni), va + vb - vi, tol);
  EXPECT_NEAR(VolumeWithFlipped(aMinusB, "B"), va - vi, tol);
  EXPECT_NEAR(VolumeWithFlipped(bMinusA, "A"), vb - vi, tol);
  // Welded at a millionth of the size: the pieces of the two cut
  // directions meet point for point along the cut line.
  const double weld = 1e-6 * r;
  EXPECT_TRUE(shapes::IsClosedAfterWelding(cutchecks::SoupWithFlipped(inter, ""), weld));
  EXPECT_TRUE(shapes::IsClosedAfterWelding(cutchecks::SoupWithFlipped(uni, ""), weld));
  EXPECT_TRUE(shapes::IsClosedAfterWelding(cutchecks::SoupWithFlipped(aMinusB, "B"), weld));
  EXPECT_TRUE(shapes::IsClosedAfterWelding(cutchecks::SoupWithFlipped(bMinusA, "A"), weld));
}

// Spheres of radius 100, the scale the default data precision (0.001) is
// meant for.
TEST(Boolean, OverlappingSpheresAddUpAndClose) {
  CheckSpheres({1.1, 0.13, 0.07}, 8, 100.0);
  CheckSpheres({0.7, 0.45, 0.31}, 10, 100.0);
}

// Unit spheres need a finer data precision: at 0.001 two intersection
// points a tenth of a percent of the size apart are taken as one, and the
// merged point may leave the tessellation edge it was found on, so the
// re-triangulated surface is no longer watertight there. The precision
// must reach every surface of both solids for this to work.
TEST(Boolean, UnitSpheresCloseAtAFinePrecision) {
  CheckSpheres({1.1, 0.13, 0.07}, 8, 1.0, 1e-5);
  CheckSpheres({0.7, 0.45, 0.31}, 10, 1.0, 1e-5);
  CheckSpheres({1.2, 0.05, 0.11}, 12, 1.0, 1e-5);
}

TEST(Boolean, NullResultAndUnknownOperation) {
  Cubes s;
  CKroMeshTriCut cut;
  EXPECT_EQ(cut.CalMdlBetweenMdl(&s.a, &s.b, nullptr, Kro_Oper_Union), 0);
  EXPECT_NEAR(Volume(s.a), 1.0, 1e-12);
  C3DEntity c;
  C3DSurface keep = *s.a.SurfaceAt(0);
  c.AddSurface(&keep, nullptr);
  EXPECT_EQ(cut.CalMdlBetweenMdl(&s.a, &s.b, &c, static_cast<Kro_Mesh_Cut_Oper_Type>(6)), 1);
  EXPECT_EQ(c.GetSurfaceNum(), 1);
  // Results are appended to, never cleared.
  EXPECT_EQ(cut.CalMdlBetweenMdl(&s.a, &s.b, &c, Kro_Oper_Intersect), 1);
  EXPECT_GT(c.GetSurfaceNum(), 1);
  EXPECT_EQ(c.SurfaceAt(0)->GetTriangleCount(), 2);
}

TEST(Boolean, SolidsApartGiveWholeOutsidePieces) {
  C3DEntity a = shapes::MakeUnitCube();
  C3DEntity b = shapes::MakeBox({3, 0.2, 0.1}, {4, 1.2, 1.1});
  cutchecks::SetMaterial(a, "A");
  cutchecks::SetMaterial(b, "B");
  CKroMeshTriCut cut;
  C3DEntity p1, p2, p3, p4;
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &p1, &p2, &p3, &p4), 1);
  EXPECT_EQ(p1.GetSurfaceNum(), 6);
  EXPECT_EQ(p3.GetSurfaceNum(), 6);
  EXPECT_EQ(p2.GetSurfaceNum(), 0);
  EXPECT_EQ(p4.GetSurfaceNum(), 0);

  C3DEntity uni = Combine(a, b, Kro_Oper_Union);
  ASSERT_EQ(uni.GetSurfaceNum(), 12);
  for (long i = 0; i < 12; ++i) EXPECT_EQ(uni.SurfaceAt(i)->GetMaterialName(), i < 6 ? "B" : "A");
  EXPECT_NEAR(Volume(uni), 2.0, 1e-12);
  EXPECT_EQ(Combine(a, b, Kro_Oper_Intersect).GetSurfaceNum(), 0);
  // Six outputs: o2 and o6 hold the whole solids, the rest nothing.
  C3DEntity o[6];
  EXPECT_EQ(cut.CutMdlBetweenMdl(&a, &b, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]), 1);
  EXPECT_NEAR(Volume(o[1]), 1.0, 1e-12);
  EXPECT_NEAR(Volume(o[5]), 1.0, 1e-12);
  for (int i : {0, 2, 3, 4}) EXPECT_EQ(o[i].GetSurfaceNum(), 0) << "o" << i + 1;
}

TEST(Boolean, SolidInsideAnotherIsClassifiedWhole) {
  // No contact at all: each solid's whole mesh is sorted by the other's
  // point-in-solid test.
  C3DEntity a = shapes::MakeBox({0.2, 0.3, 0.4}, {0.7, 0.6, 0.9});
  C3DEntity b = shapes::MakeUnitCube();
  cutchecks::SetMaterial(a, "A");
  cutchecks::SetMaterial(b, "B");
  const double va = 0.5 * 0.3 * 0.5;
  CKroMeshTriCut cut;
  C3DEntity p1, p2, p3, p4;
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &p1, &p2, &p3, &p4), 1);
  EXPECT_EQ(p1.GetSurfaceNum(), 0);
  EXPECT_EQ(p2.GetSurfaceNum(), 6);
  EXPECT_EQ(p3.GetSurfaceNum(), 6);
  EXPECT_EQ(p4.GetSurfaceNum(), 0);
  EXPECT_NEAR(Volume(Combine(a, b, Kro_Oper_Union)), 1.0, 1e-12);
  EXPECT_NEAR(Volume(Combine(a, b, Kro_Oper_Intersect)), va, 1e-12);
  EXPECT_EQ(Combine(a, b, Kro_Oper_FirstMinusSecond).GetSurfaceNum(), 0);
  // b minus a: the cube with a cavity, a's surfaces facing into it.
  C3DEntity hollow = Combine(a, b, Kro_Oper_SecondMinusFirst);
  EXPECT_NEAR(VolumeWithFlipped(hollow, "A"), 1.0 - va, 1e-12);
  EXPECT_EQ(shapes::CountPieces(shapes::SoupOf(hollow)), 2);
}

TEST(Boolean, FourPiecesPartitionBothSolids) {
  Cubes s;
  CKroMeshTriCut cut;
  C3DEntity p1, p3, p4;
  // A null piece output is allowed.
  EXPECT_EQ(cut.CalMdlBetweenMdl(&s.a, &s.b, &p1, nullptr, &p3, &p4), 1);
  const double capA = 0.5 * 0.7 + 0.5 * 0.8 + 0.7 * 0.8;
  EXPECT_NEAR(Area(p1), 6.0 - capA, 1e-9);
  EXPECT_NEAR(Area(p4), capA, 1e-9);
  EXPECT_TRUE(cutchecks::AllMaterial(p4, "B"));
  // Both directions with null outputs: nothing to do, still 1.
  EXPECT_EQ(cut.CalMdlBetweenMdl(&s.a, &s.b, nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(cut.CalMdlBetweenMdl(nullptr, &s.b, &p1, nullptr, nullptr, nullptr), 0);
}

// ---------------------------------------------------------- six outputs

TEST(SixOutputs, PiecesGoWhereTheyBelong) {
  Cubes s;
  CKroMeshTriCut four;
  C3DEntity p1, p2, p3, p4;
  four.CalMdlBetweenMdl(&s.a, &s.b, &p1, &p2, &p3, &p4);
  const long n1 = p1.GetSurfaceNum(), n2 = p2.GetSurfaceNum(), n3 = p3.GetSurfaceNum(),
             n4 = p4.GetSurfaceNum();
  ASSERT_GT(n2 * n4, 0);

  CKroMeshTriCut cut;
  C3DEntity o[6];
  EXPECT_EQ(cut.CutMdlBetweenMdl(&s.a, &s.b, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]), 1);
  EXPECT_EQ(o[0].GetSurfaceNum(), n4);
  EXPECT_EQ(o[1].GetSurfaceNum(), n1 + n4);
  EXPECT_EQ(o[2].GetSurfaceNum(), n2 + n4);
  EXPECT_EQ(o[4].GetSurfaceNum(), n2);
  EXPECT_EQ(o[5].GetSurfaceNum(), n3 + n2);
  // a's look on o1 .. o3, b's on o4 .. o6.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(cutchecks::AllMaterial(o[i], "A")) << "o" << i + 1;
  for (int i = 3; i < 6; ++i) EXPECT_TRUE(cutchecks::AllMaterial(o[i], "B")) << "o" << i + 1;

  // o2 = a minus b, o6 = b minus a, closed by the other's part as it was.
  EXPECT_NEAR(cutchecks::VolumeFlippingFrom(o[1], n1), 1.0 - s.overlap, 1e-9);
  EXPECT_NEAR(cutchecks::VolumeFlippingFrom(o[5], n3), 1.0 - s.overlap, 1e-9);
  // o3 and o4 are the intersection; o1 and o5 the caps alone.
  EXPECT_NEAR(Volume(o[2]), s.overlap, 1e-9);
  EXPECT_NEAR(Volume(o[3]), s.overlap, 1e-9);
  EXPECT_NEAR(Area(o[0]), Area(p4), 1e-12);
}

TEST(SixOutputs, OnlyO5AndO6Given) {
  Cubes s;
  CKroMeshTriCut four;
  C3DEntity p1, p2, p3, p4;
  four.CalMdlBetweenMdl(&s.a, &s.b, &p1, &p2, &p3, &p4);

  CKroMeshTriCut cut;
  C3DEntity o5, o6;
  EXPECT_EQ(cut.CutMdlBetweenMdl(&s.a, &s.b, nullptr, nullptr, nullptr, nullptr, &o5, &o6), 1);
  ASSERT_EQ(o6.GetSurfaceNum(), p3.GetSurfaceNum() + p2.GetSurfaceNum());
  EXPECT_TRUE(cutchecks::AllMaterial(o5, "B"));
  EXPECT_TRUE(cutchecks::AllMaterial(o6, "B"));
  // o6: P3's surfaces first, then P2's in b's material.
  for (long i = 0; i < p3.GetSurfaceNum(); ++i)
    EXPECT_EQ(o6.SurfaceAt(i)->GetTriangleCount(), p3.SurfaceAt(i)->GetTriangleCount());
  EXPECT_NEAR(Area(o5), Area(p2), 1e-12);
  EXPECT_NEAR(cutchecks::VolumeFlippingFrom(o6, p3.GetSurfaceNum()), 1.0 - s.overlap, 1e-9);
}

}  // namespace
