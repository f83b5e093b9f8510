// The cutting facade as a host uses it: surface/surface cuts (also against
// the curtain raised over a plan polyline), solid/surface cuts with cut
// faces, and the facade's settings and queries.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kromesh/Obbt/CObbtBase.h"
#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/cut/CMeshMgr.h"
#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/host/KroMessageBox.h"
#include "kromesh/intersect/CMeshIntersect.h"
#include "support/CutChecks.h"
#include "support/Shapes.h"

namespace {

using cutchecks::Area;
using shapes::Vec;

C3DSurface Terrain() {
  return shapes::MakeTerrain(10, 10, 0.0, 0.0, 1.0, 1.0);
}

// A fault: a steep, gently waving sheet through the terrain around x = 5,
// facing +x, reaching well past the terrain in y and z.
double FaultX(double y, double z) {
  return 5.0 + 0.4 * std::sin(0.6 * y) + 0.3 * z;
}

C3DSurface Fault() {
  // A terrain grid over (y, z) turned so that its height runs along x (a
  // rotation: the upward faces come to face +x).
  shapes::TriSoup s = shapes::SoupOf(shapes::MakeTerrain(8, 4, -1.0, -3.0, 1.5, 1.5, FaultX));
  for (Vec& p : s.pts) p = {p.z, p.x, p.y};
  return shapes::MakeSurface(s.pts, s.tris, "fault");
}

// A plan line across the terrain's box, from its left side to its right.
const D_DOT kLineA{-1.0, 2.0}, kLineB{11.0, 8.0};

// ------------------------------------------------------ surface by surface

TEST(CutSurface, TerrainByFaultPartitionsBothSurfaces) {
  // By default the terrain's side 1 lies behind the fault (towards -x); a
  // free split by intersection points makes side 1 the piece holding the
  // terrain's first triangle (the corner at the origin, west of the fault);
  // by the longest line either piece may come first. With both split flags
  // off each surface comes out whole, re-triangulated along the cut line.
  const int kDefault = -1, kWhole = 0;
  for (int type : {kDefault, kWhole, int(Kro_Split_ByLongestLine), int(Kro_Split_ByInterDots)}) {
    SCOPED_TRACE(type);
    C3DSurface terrain = Terrain(), fault = Fault(), o[4];
    CKroMeshTriCut cut;
    const auto t = static_cast<Kro_Split_Type>(type);
    EXPECT_EQ(type <= kWhole ? cut.CutMdlBetweenMdl(&terrain, &fault, &o[0], &o[1], &o[2], &o[3],
                                                    type == kDefault, type == kDefault)
                             : cut.CutMdlBetweenMdlF(&terrain, &fault, &o[0], &o[1], &o[2], &o[3],
                                                     true, true, t, t),
              1);
    const double at = Area(terrain), af = Area(fault);
    EXPECT_NEAR(Area(o[0]) + Area(o[1]), at, 1e-9 * at);
    EXPECT_NEAR(Area(o[2]) + Area(o[3]), af, 1e-9 * af);
    EXPECT_EQ(o[2].GetMaterialName(), "fault");
    if (type == kWhole) {
      EXPECT_EQ(o[1].GetTriangleCount() + o[3].GetTriangleCount(), 0);
      EXPECT_GT(o[0].GetTriangleCount(), terrain.GetTriangleCount());
      EXPECT_GT(o[2].GetTriangleCount(), fault.GetTriangleCount());
      continue;
    }
    ASSERT_GT(o[2].GetTriangleCount() * o[3].GetTriangleCount(), 0);
    // Each side is one piece, wholly on one side of the (faceted) fault.
    int west[2] = {0, 0}, east[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      const shapes::TriSoup s = shapes::SoupOf(o[k]);
      EXPECT_EQ(shapes::CountPieces(s), 1);
      for (const auto& tri : s.tris) {
        const Vec g = cutchecks::Centroid(s, tri);
        west[k] += g.x < FaultX(g.y, g.z) - 0.05;
        east[k] += g.x > FaultX(g.y, g.z) + 1e-6;
      }
    }
    EXPECT_TRUE((west[0] == 0 && east[1] == 0) || (east[0] == 0 && west[1] == 0));
    EXPECT_TRUE(type == Kro_Split_ByLongestLine || (east[0] == 0 && west[0] > 0));
  }
}

TEST(CutSurface, CurtainFromPolylineSplitsAlongIt) {
  // On a flat terrain (a zero z range) the curtain must still reach it:
  // there the parts are known exactly, below y = 2.5 + 0.5 x a trapezoid
  // of mean height 5. A bent line whose ends lie off the terrain must split
  // it along the line right up to the terrain's edges.
  // clang-format off
  const struct {
    const char* name;
    int cells;
    bool flat;
    std::vector<D_DOT> line;
    double area2;  // < 0: not known
  } cases[] = {{"straight", 10, false, {kLineA, kLineB}, -1}, {"flat", 10, true, {kLineA, kLineB}, 50.0},
               {"bent", 30, false, {{-1, 2.2}, {4.7, 5.9}, {11, 6.4}}, -1}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const double step = 10.0 / c.cells;
    C3DSurface terrain = c.flat ? shapes::MakeTerrain(c.cells, c.cells, 0, 0, step, step,
                                                      [](double, double) { return 2.0; })
                                : shapes::MakeTerrain(c.cells, c.cells, 0, 0, step, step),
               o1, o2, o3, o4;
    std::vector<D_DOT> line = c.line;
    CKroMeshTriCut cut;
    cut.SetPosCheckPolyline(line.data(), static_cast<long>(line.size()));
    EXPECT_EQ(cut.CutMdlBetweenMdl(&terrain, nullptr, &o1, &o2, &o3, &o4, true, true), 1);
    ASSERT_GT(o1.GetTriangleCount() * o2.GetTriangleCount(), 0);
    const double at = Area(terrain);
    EXPECT_NEAR(Area(o1) + Area(o2), at, 1e-9 * at);
    EXPECT_TRUE(c.area2 < 0 || std::fabs(Area(o2) - c.area2) < 1e-9) << Area(o2);
    // Side 1 is outside the polygon closed along the bottom of the box: the
    // part left of the line's direction.
    EXPECT_GT(cutchecks::CentroidsAgainstPlanLine(shapes::SoupOf(o1), c.line).minDist, -1e-9);
    EXPECT_LT(cutchecks::CentroidsAgainstPlanLine(shapes::SoupOf(o2), c.line).maxDist, 1e-9);
    EXPECT_GT(o3.GetTriangleCount() + o4.GetTriangleCount(), 0);  // the curtain was cut too
  }
}

// ------------------------------------------------------- solid by surface

TEST(CutSolid, PlanesThroughTheCubeGiveClosedHalves) {
  // A tilted plane through the middle meets every vertical edge; the plane
  // x = z holds two opposite edges; x + y + z = 1 passes through three
  // corners and cuts off a tetrahedron.
  const struct {
    Vec c, n;
    double lowVolume, faceArea;
  } cases[] = {{{0.5, 0.5, 0.5}, {0.2, -0.3, 1}, 0.5, std::sqrt(1.13)},
               {{0.5, 0.5, 0.5}, {1, 0, -1}, 0.5, std::sqrt(2.0)},
               {{1.0 / 3, 1.0 / 3, 1.0 / 3}, {1, 1, 1}, 1.0 / 6, std::sqrt(3.0) / 2}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.n.x);
    C3DEntity cube = shapes::MakeUnitCube();
    C3DSurface plane = shapes::MakeTiltedPlane(k.c, k.n, 1.5, 3);
    CKroMeshTriCut cut;
    // so2 already holds a triangle from elsewhere: it is appended to.
    C3DSurface so1(-1, 0),
        so2 = shapes::MakeSurface({{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}, {{{0, 1, 2}}});
    C3DEntity low(-1, 0), high(-1, 0), open[2];
    // Without cut faces (and no surface outputs) the halves stay open.
    EXPECT_EQ(cut.CutMdlBetweenMdl(&cube, &plane, nullptr, nullptr, &open[0], &open[1], false), 1);
    for (const C3DEntity& half : open)
      EXPECT_TRUE(Area(half) > 0 && !shapes::CheckEdges(shapes::SoupOf(half)).closed());
    EXPECT_NEAR(Area(open[0]) + Area(open[1]), 6.0, 1e-9);  // no cut face added
    EXPECT_EQ(cut.CutMdlBetweenMdl(&cube, &plane, &so1, &so2, &low, &high, true), 1);
    // The cut face (the plane's part inside) ends each half, in the cube's
    // look (its last surface's material); the plane faces out of the low half.
    const long last = high.GetSurfaceNum() - 1;
    const C3DSurface& face = *low.SurfaceAt(low.GetSurfaceNum() - 1);
    EXPECT_NEAR(Area(face), k.faceArea, 1e-9);
    EXPECT_NEAR(Area(so2), k.faceArea + 0.5, 1e-9);
    EXPECT_NEAR(Area(so1) + Area(so2), Area(plane) + 0.5, 1e-9 * Area(plane));
    EXPECT_TRUE(high.SurfaceAt(last)->GetTriangleCount() + 1 == so2.GetTriangleCount() &&
                face.GetTriangleCount() + 1 == so2.GetTriangleCount());
    EXPECT_EQ(face.GetMaterialName() + so2.GetMaterialName(), "face5face5");
    EXPECT_NEAR(cutchecks::Volume(low), k.lowVolume, 1e-9);
    EXPECT_TRUE(shapes::CheckEdges(shapes::SoupOf(low)).closed());
    EXPECT_NEAR(cutchecks::VolumeFlippingFrom(high, last), 1.0 - k.lowVolume, 1e-9);
    const auto isLast = [&](long i, const C3DSurface&) { return i == last; };
    EXPECT_TRUE(shapes::CheckEdges(cutchecks::SoupFlipping(high, isLast)).closed());
    EXPECT_NEAR(Area(low) + Area(high), 6.0 + 2 * k.faceArea, 1e-9);
    EXPECT_LT(cutchecks::CentroidsAgainstPlane(shapes::SoupOf(low), k.c, k.n).maxDist, 1e-9);
    EXPECT_GT(cutchecks::CentroidsAgainstPlane(shapes::SoupOf(high), k.c, k.n).minDist, -1e-9);
  }
}

// --------------------------------------------------------------- bad input

enum Flaw { kSound, kNull, kNaN, kInfinite, kIndexPast, kIndexNegative, kEmpty };

// s with flaw f; a sound s gets a zero-area triangle (its tree warns).
C3DSurface Spoilt(const C3DSurface& s, int f) {
  shapes::TriSoup soup = shapes::SoupOf(s);
  if (f == kSound) soup.tris.push_back({{0, 1, 0}});
  if (f == kNaN) soup.pts[3].z = std::nan("");
  if (f == kInfinite) soup.pts[3].x = -HUGE_VAL;
  if (f == kIndexPast) soup.tris[1].v[2] = static_cast<long>(soup.pts.size());
  if (f == kIndexNegative) soup.tris[1].v[0] = -1;
  return f == kEmpty ? C3DSurface() : shapes::MakeSurface(soup.pts, soup.tris);
}

// A box whose first face has flaw f (every face for kEmpty).
C3DEntity Box(const Vec& lo, const Vec& hi, int f) {
  C3DEntity e;
  for (C3DSurface face : shapes::MakeBoxFaces(lo, hi)) {
    face = Spoilt(face, e.GetSurfaceNum() == 0 || f == kEmpty ? f : kSound);
    e.AddSurface(&face, nullptr);
  }
  return e;
}

// Cut op between s[0], s[1] (surfaces; the curtain over line, op 1, stands
// in for s[1]) or e[0], e[1] (solids).
long RunCut(int op, C3DSurface** s, C3DEntity** e, std::vector<D_DOT>& line, C3DSurface* o,
            C3DEntity* eo) {
  CKroMeshTriCut c;
  if (op == 1)  // else a null s[1] would be the curtain too
    c.SetPosCheckPolyline(line.empty() ? nullptr : line.data(), static_cast<long>(line.size()));
  if (op <= 1)
    return c.CutMdlBetweenMdl(s[0], op == 0 ? s[1] : nullptr, &o[0], &o[1], &o[2], &o[3], true,
                              true);
  if (op == 2) return c.CutMdlBetweenMdl(e[0], s[1], &o[0], &o[1], &eo[0], &eo[1], true);
  if (op == 3) return c.CalMdlBetweenMdl(e[0], e[1], &eo[0], &eo[1], &eo[2], &eo[3]);
  if (op == 4) return c.CalMdlBetweenMdl(e[0], e[1], &eo[0], Kro_Oper_Union);
  return c.CutMdlBetweenMdl(e[0], e[1], &eo[0], &eo[1], &eo[2], &eo[3], &eo[4], &eo[5]);
}

int g_warnings = 0;

TEST(FacadeInput, BadModelsFailEveryCutWritingAndPrintingNothing) {
  // Every sound model has a zero-area triangle: the host hears of it once
  // per cut, not once per tree built.
  const KroWarningHandler previous = KroSetWarningHandler([](const char*) { ++g_warnings; });
  const char* flaws[] = {"sound",    "null", "NaN", "infinite", "index past the points",
                         "index -1", "empty"};
  const char* ops[] = {"surface/surface", "curtain", "solid/surface",
                       "four pieces",     "union",   "six outputs"};
  const Vec lo[2] = {{2, 2, -2}, {4, 4, -1}}, hi[2] = {{8, 8, 3}, {10, 10, 4}};
  for (int f = kSound; f <= kEmpty; ++f)
    for (int which = 0; which < 2; ++which)
      for (int op = 0; op < 6; ++op) {
        SCOPED_TRACE(testing::Message() << flaws[f] << " model " << which << ", " << ops[op]);
        C3DSurface sm[2] = {Spoilt(Terrain(), which == 0 ? f : kSound),
                            Spoilt(Fault(), which == 1 ? f : kSound)},
                   o[4];
        C3DEntity em[2] = {Box(lo[0], hi[0], which == 0 ? f : kSound),
                           Box(lo[1], hi[1], which == 1 ? f : kSound)},
                  eo[6];
        C3DSurface* s[2] = {&sm[0], &sm[1]};
        C3DEntity* e[2] = {&em[0], &em[1]};
        if (f == kNull) s[which] = nullptr, e[which] = nullptr;
        // The curtain's polyline is its second model: too short or not finite.
        std::vector<D_DOT> line = {kLineA, kLineB};
        if (op == 1 && which == 1 && f != kSound) {
          line.resize(f == kNull || f == kEmpty ? 0 : f >= kIndexPast ? 1 : 2);
          if (f == kNaN || f == kInfinite) line[1].y = f == kNaN ? std::nan("") : HUGE_VAL;
        }
        g_warnings = 0;
        testing::internal::CaptureStderr();
        const long code = RunCut(op, s, e, line, o, eo);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        long written = 0;
        for (const C3DSurface& x : o) written += x.GetPointNum() + x.GetTriangleCount();
        for (const C3DEntity& x : eo) written += x.GetSurfaceNum();
        EXPECT_EQ(code, f == kSound ? 1 : 0);
        EXPECT_EQ(written > 0, f == kSound);
        EXPECT_EQ(g_warnings, f == kSound ? 1 : std::min(g_warnings, 1));
      }
  KroSetWarningHandler(previous);
}

// ------------------------------------------------------ settings, queries

TEST(FacadeSettings, SettingsReachTheLiveCutObjectsOnlyInRange) {
  CKroMeshTriCut cut;
  // Before the first cut there is no live object; null arguments are safe.
  EXPECT_EQ(cut.GetMeshMgrObj(), nullptr);
  cut.GetPosCheckPolyline(nullptr, nullptr);
  cut.GetAABBOfCutedMesh(nullptr);
  double prec = 0;
  EXPECT_EQ(cut.SetDataPrec(2.0), 1);  // out of range: ignored
  cut.SetCalIntsersecLinFlag(1);
  C3DSurface terrain = Terrain(), fault = Fault(), o1;
  cut.CutMdlBetweenMdl(&terrain, &fault, &o1, nullptr, nullptr, nullptr, true, true);
  ASSERT_NE(cut.GetMeshMgrObj(), nullptr);
  // With cut lines traced, the cut left at least one line across.
  EXPECT_GE(cut.GetMeshMgrObj()->GetMeshInterseceObj()->GetIntersectLinNum(), 1);
  EXPECT_TRUE(cut.GetDataPrec(prec) == 1 && prec == 0.001) << prec;
  // A solid is cut through its per-surface wrappers: each must cut at the
  // precision asked for, now and after a later change; 0 is ignored.
  C3DEntity cube = shapes::MakeUnitCube(), below(-1, 0);
  C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.5}, {0, 0, 1}, 1.5, 2);
  cut.SetDataPrec(0.01);
  cut.CutMdlBetweenMdl(&cube, &plane, nullptr, nullptr, &below, nullptr, false);
  auto* solid = dynamic_cast<CObbtEntity*>(cut.GetMeshMgrObj()->GetMeshObbt(0));
  ASSERT_TRUE(solid && solid->GetSubMeshNum() == 6);
  for (double want : {0.01, 0.002, 0.0}) {
    cut.SetDataPrec(want);
    for (long k = 0; k < 6; ++k) {
      solid->GetSubMeshObbt(k)->GetDataPrec(prec);
      EXPECT_EQ(prec, want == 0.0 ? 0.002 : want) << "surface " << k;
    }
  }
  cut.GetDataPrec(prec);
  EXPECT_EQ(prec, 0.002);
}

}  // namespace
