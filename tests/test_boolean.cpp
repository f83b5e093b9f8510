// Solid/solid cuts through the facade: the four-piece form, the Boolean
// combinations and the six-output form, checked by volume (divergence
// theorem), closedness and the materials of the pieces.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/host/Kro3DObjects.h"
#include "support/CutChecks.h"
#include "support/Shapes.h"

namespace {

using cutchecks::Area;
using cutchecks::Volume;
using shapes::Vec;

C3DEntity Combine(C3DEntity& a, C3DEntity& b, Kro_Mesh_Cut_Oper_Type op) {
  CKroMeshTriCut cut;
  C3DEntity c;
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &c, op), 1);
  return c;
}

// The four Boolean results made of the four pieces p (union, intersection,
// a - b, b - a; differences take the other solid's piece reversed), each
// closed when only bit-identical points are welded; returns their volumes.
std::array<double, 4> JoinedVolumes(const C3DEntity (&p)[4], const std::string& name) {
  const int use[4][2] = {{0, 2}, {1, 3}, {0, 3}, {2, 1}};
  std::array<double, 4> v;
  for (int op = 0; op < 4; ++op) {
    const shapes::TriSoup s =
        cutchecks::JoinExact({{&p[use[op][0]], false}, {&p[use[op][1]], op >= 2}});
    const shapes::EdgeReport r = shapes::CheckEdges(s, 0);
    v[op] = shapes::SignedVolume(s);
    EXPECT_TRUE(r.closed()) << name << " op " << op << ": " << r.boundary << " open, "
                            << r.nonManifold << " over-used, " << r.misoriented << " misoriented";
  }
  return v;
}

// Unit spheres (nLat x 2 nLat) at random offsets, default precision: the
// four Boolean results, each made of two of the four pieces, are closed
// when only bit-identical points are welded, and union + intersection add
// up to both solids. Four offsets at the finest size keep the test short.
TEST(Boolean, SpherePairsCloseAtTheDefaultPrecision) {
  cutchecks::Lcg rng{20261207};
  const int rows[][2] = {{12, 20}, {24, 20}, {48, 20}, {96, 4}};  // nLat, offsets
  for (const auto& [nLat, offsets] : rows) {
    double worst = 0;
    for (int k = 0; k < offsets; ++k) {
      const Vec dir = shapes::Normalized({rng.Next(1), rng.Next(1), rng.Next(1)});
      const Vec cb = shapes::Scale(dir, 1.0 + rng.Next(0.8));
      C3DEntity a = shapes::MakeSphereEntity({0, 0, 0}, 1, nLat, 2 * nLat);
      C3DEntity b = shapes::MakeSphereEntity(cb, 1, nLat, 2 * nLat);
      CKroMeshTriCut cut;
      C3DEntity p[4];
      ASSERT_EQ(cut.CalMdlBetweenMdl(&a, &b, &p[0], &p[1], &p[2], &p[3]), 1);
      const std::string name = "nLat " + std::to_string(nLat) + " offset " + std::to_string(k);
      const std::array<double, 4> v = JoinedVolumes(p, name);
      const double va = Volume(a), vb = Volume(b), vu = v[0], vi = v[1];
      EXPECT_NEAR(v[2], va - vi, 1e-9 * va) << name;
      EXPECT_NEAR(v[3], vb - vi, 1e-9 * vb) << name;
      worst = std::max(worst, std::fabs(vu + vi - va - vb) / (va + vb));
      EXPECT_NEAR(vu + vi, va + vb, 1e-9 * (va + vb)) << name;
      // The lens of two exact spheres; the facets cut inside it.
      const double d = shapes::Norm(cb);
      const double lens = shapes::kPi * (4 + d) * (2 - d) * (2 - d) / 12.0;
      EXPECT_GT(vi, 0.75 * lens) << name;
      EXPECT_LT(vi, lens) << name;
    }
    std::printf("spheres nLat %d: %d offsets, worst volume %.2e\n", nLat, offsets, worst);
  }
}

// Unit cube a against a box b in general position, turned, apart, inside,
// or sharing faces, edges or corners with it: union, intersection, a - b and
// b - a (ops 0 to 3) through the op form, exact volumes, closed when only
// bit-identical points are welded, no double layer: a result of zero volume
// has no triangle. Touching along an edge, the union keeps the edge of four
// triangles (overUsed). The six outputs agree with the op form (o2 = a - b,
// o3 = intersection, o6 = b - a).
TEST(Boolean, CubePairsHaveExactVolumesAndCloseExactly) {
  const double oct = 2 * (std::sqrt(2.0) - 1);  // unit square and its 45-degree turn
  const double q = 0.5625, gen = 0.5 * 0.7 * 0.8, d = std::sqrt(0.5),
               corner = (d - 0.3) * (d - 0.3) * 0.75;
  struct Case {
    const char* name;
    Vec lo, hi;
    double angle;
    Vec shift;
    double vol[4];
    int overUsed;
  } cases[] = {
      // clang-format off
      {"general position", {0.5, 0.3, 0.2}, {1.5, 1.3, 1.2}, 0, {}, {2 - gen, gen, 1 - gen, 1 - gen}, 0},
      // One vertical edge of the turned cube pokes into a through its +x face.
      {"turned corner", {0, 0, 0}, {1, 1, 1}, shapes::kPi / 4, {0.8, 0, 0.25},
       {2 - corner, corner, 1 - corner, 1 - corner}, 0},
      {"apart", {3, 0.2, 0.1}, {4, 1.2, 1.1}, 0, {}, {2, 0, 1, 1}, 0},
      {"inside", {0.2, 0.3, 0.4}, {0.7, 0.6, 0.9}, 0, {}, {1, 0.075, 0.925, 0}, 0},
      {"touching along a face", {1, 0, 0}, {2, 1, 1}, 0, {}, {2, 0, 1, 1}, 0},
      {"touching along an edge", {1, 1, 0}, {2, 2, 1}, 0, {}, {2, 0, 1, 1}, 1},
      {"touching at a corner", {1, 1, 1}, {2, 2, 2}, 0, {}, {2, 0, 1, 1}, 0},
      {"moved half a width", {0.5, 0, 0}, {1.5, 1, 1}, 0, {}, {1.5, 0.5, 0.5, 0.5}, 0},
      {"moved a quarter twice", {0.25, 0.25, 0}, {1.25, 1.25, 1}, 0, {}, {2 - q, q, 1 - q, 1 - q}, 0},
      {"identical", {0, 0, 0}, {1, 1, 1}, 0, {}, {1, 1, 0, 0}, 0},
      {"turned 45 degrees", {0, 0, 0}, {1, 1, 1}, shapes::kPi / 4, {}, {2 - oct, oct, 1 - oct, 1 - oct}, 0},
      {"inside, sharing a face", {0.25, 0.25, 0}, {0.75, 0.75, 0.5}, 0, {}, {1, 0.125, 0.875, 0}, 0},
      {"face partly shared", {1, 0.5, 0.5}, {2, 1.5, 1.5}, 0, {}, {2, 0, 1, 1}, 0},
      // clang-format on
  };
  const Kro_Mesh_Cut_Oper_Type ops[4] = {Kro_Oper_Union, Kro_Oper_Intersect,
                                         Kro_Oper_FirstMinusSecond, Kro_Oper_SecondMinusFirst};
  for (const Case& k : cases) {
    C3DEntity a = cutchecks::MakeTurnedBox({0, 0, 0}, {1, 1, 1}, 0, {}, "A");
    C3DEntity b = cutchecks::MakeTurnedBox(k.lo, k.hi, k.angle, k.shift, "B");
    C3DEntity o[6];
    ASSERT_EQ(CKroMeshTriCut().CutMdlBetweenMdl(&a, &b, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]),
              1);
    for (int op = 0; op < 4; ++op) {
      // Differences keep the other solid's part as it faced: in the op form
      // the surfaces of its material, in the six outputs the ones after a
      // difference's own surfaces.
      const std::string flipped = op == 2 ? "B" : op == 3 ? "A" : "";
      const C3DEntity res = Combine(a, b, ops[op]);
      long own = 0;
      for (long i = 0; i < res.GetSurfaceNum(); ++i)
        own += res.SurfaceAt(i)->GetMaterialName() != flipped;
      const C3DEntity* six[4] = {nullptr, &o[2], &o[1], &o[5]};
      for (const C3DEntity* e : {&res, six[op]}) {
        if (!e) continue;
        const shapes::TriSoup s =
            cutchecks::WeldExact(cutchecks::SoupFlipping(*e, [&](long i, const C3DSurface& f) {
              return e == &res ? f.GetMaterialName() == flipped : i >= own;
            }));
        const shapes::EdgeReport r = shapes::CheckEdges(s, 0);
        const std::string name =
            std::string(k.name) + " op " + std::to_string(op) + (e == &res ? "" : " six");
        EXPECT_NEAR(shapes::SignedVolume(s), k.vol[op], 1e-12) << name;
        EXPECT_EQ(r.boundary, 0) << name;
        EXPECT_EQ(r.misoriented, 0) << name;
        EXPECT_EQ(r.nonManifold, op == 0 ? k.overUsed : 0) << name;
        EXPECT_TRUE(k.vol[op] != 0 || s.tris.empty()) << name << ": " << s.tris.size();
      }
    }
  }
}

// A real model and a moved, turned, scaled copy (tests/data/README.md):
// every Boolean closed, volumes as CGAL's corefinement gives them.
TEST(Boolean, FieldModelsMatchTheReferenceVolumes) {
  auto read = [](const char* file, const char* m) {
    const std::string dir = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/'));
    std::ifstream in(dir + "/data/" + file);
    std::string magic;
    long nv = 0, nf = 0, ne = 0;
    in >> magic >> nv >> nf >> ne;
    std::vector<Vec> pts(nv);
    for (Vec& p : pts) in >> p.x >> p.y >> p.z;
    std::vector<C3DTriData> tris(nf);
    for (C3DTriData& t : tris) in >> ne >> t.v[0] >> t.v[1] >> t.v[2];
    EXPECT_TRUE(in && nf > 0) << file;
    C3DSurface s = shapes::MakeSurface(pts, tris, m);
    C3DEntity e(-1, 0);
    e.AddSurface(&s, nullptr);
    return e;
  };
  C3DEntity a = read("spot.off", "A"), b = read("spot_moved.off", "B");
  CKroMeshTriCut cut;
  C3DEntity p[4];
  ASSERT_EQ(cut.CalMdlBetweenMdl(&a, &b, &p[0], &p[1], &p[2], &p[3]), 1);
  const double ref[4] = {209977.424307292, 34971.4663316225, 106699.378456645, 68306.5795190247};
  const std::array<double, 4> v = JoinedVolumes(p, "field");
  for (int op = 0; op < 4; ++op) {
    EXPECT_NEAR(v[op], ref[op], 1e-6 * ref[op]) << "op " << op;
    std::printf("field op %d: volume %.9f (reference %.9f)\n", op, v[op], ref[op]);
  }
}

// Two unit cubes overlapping in a 0.5 x 0.7 x 0.8 box, no face of one in
// the plane of a face of the other. Null outputs and an unknown operation;
// results are appended to, never cleared; the four pieces and the op form's
// outside part agree. Then the six outputs against the four pieces: where
// each piece goes, all of them given or only o5 and o6 (the volumes of o2,
// o3 and o6 are checked with the cube pairs above).
TEST(Boolean, NullOutputsUnknownOperationAndWherePiecesGo) {
  C3DEntity a = cutchecks::MakeTurnedBox({0, 0, 0}, {1, 1, 1}, 0, {}, "A");
  C3DEntity b = cutchecks::MakeTurnedBox({0.5, 0.3, 0.2}, {1.5, 1.3, 1.2}, 0, {}, "B");
  const double overlap = 0.5 * 0.7 * 0.8;
  CKroMeshTriCut cut;
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, nullptr, Kro_Oper_Union), 0);
  EXPECT_NEAR(Volume(a), 1.0, 1e-12);
  C3DEntity c, p1, p3, p4;
  C3DSurface keep = *a.SurfaceAt(0);
  c.AddSurface(&keep, nullptr);
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &c, static_cast<Kro_Mesh_Cut_Oper_Type>(6)), 1);
  EXPECT_EQ(c.GetSurfaceNum(), 1);
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &c, Kro_Oper_Intersect), 1);
  EXPECT_GT(c.GetSurfaceNum(), 1);
  EXPECT_EQ(c.SurfaceAt(0)->GetTriangleCount(), 2);
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, &p1, nullptr, &p3, &p4), 1);
  const double capA = 0.5 * 0.7 + 0.5 * 0.8 + 0.7 * 0.8;
  EXPECT_NEAR(Area(p1), 6.0 - capA, 1e-9);
  EXPECT_NEAR(Area(p4), capA, 1e-9);
  EXPECT_TRUE(cutchecks::AllMaterial(p4, "B"));
  C3DEntity outside = Combine(a, b, Kro_Oper_FirstOutside);
  EXPECT_TRUE(cutchecks::AllMaterial(outside, "A"));
  EXPECT_NEAR(Area(outside), 6.0 - capA, 1e-9);
  EXPECT_EQ(cut.CalMdlBetweenMdl(&a, &b, nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(cut.CalMdlBetweenMdl(nullptr, &b, &p1, nullptr, nullptr, nullptr), 0);

  // Where the six outputs put the four pieces.
  C3DEntity p[4], o[6], o5, o6;
  CKroMeshTriCut().CalMdlBetweenMdl(&a, &b, &p[0], &p[1], &p[2], &p[3]);
  long n[4];
  for (int i = 0; i < 4; ++i) n[i] = p[i].GetSurfaceNum();
  ASSERT_GT(n[1] * n[3], 0);
  EXPECT_EQ(CKroMeshTriCut().CutMdlBetweenMdl(&a, &b, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]), 1);
  EXPECT_EQ(CKroMeshTriCut().CutMdlBetweenMdl(&a, &b, nullptr, nullptr, nullptr, nullptr, &o5, &o6),
            1);
  const long want[6] = {n[3], n[0] + n[3], n[1] + n[3], -1, n[1], n[2] + n[1]};
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(want[i] < 0 || o[i].GetSurfaceNum() == want[i])
        << "o" << i + 1 << ": " << o[i].GetSurfaceNum();
    // a's look on o1 .. o3, b's on o4 .. o6.
    EXPECT_TRUE(cutchecks::AllMaterial(o[i], i < 3 ? "A" : "B")) << "o" << i + 1;
  }
  // o1 and o5 are the caps alone, o4 the intersection in b's look.
  EXPECT_NEAR(Area(o[0]), Area(p[3]), 1e-12);
  EXPECT_NEAR(Volume(o[3]), overlap, 1e-9);
  // o6 alone: P3's surfaces first, then P2's in b's material.
  ASSERT_EQ(o6.GetSurfaceNum(), n[2] + n[1]);
  EXPECT_TRUE(cutchecks::AllMaterial(o5, "B") && cutchecks::AllMaterial(o6, "B"));
  for (long i = 0; i < n[2]; ++i)
    EXPECT_EQ(o6.SurfaceAt(i)->GetTriangleCount(), p[2].SurfaceAt(i)->GetTriangleCount());
  EXPECT_NEAR(Area(o5), Area(p[1]), 1e-12);
  EXPECT_NEAR(cutchecks::VolumeFlippingFrom(o6, n[2]), 1.0 - overlap, 1e-9);
}

}  // namespace
