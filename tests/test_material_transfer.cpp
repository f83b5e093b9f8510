// The look of a solid passed on to the pieces that close it: the cut face
// of a solid cut by a surface takes the solid's colour, or its material
// with generated texture coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/host/Kro3DObjects.h"
#include "support/CutChecks.h"
#include "support/Shapes.h"

namespace {

using shapes::Vec;

enum class Look { Colour, Material, Textured };

// Surface s with material m and, by look, a colour or stage-0 texture
// coordinates on every point.
C3DSurface Decorated(C3DSurface s, const std::string& m, Look look) {
  const size_t n = static_cast<size_t>(s.GetPointNum());
  shapes::Decorate(
      s, std::vector<KRO::G_TEXCOORD>(look == Look::Textured ? n : 0, {0.3f, 0.6f}),
      std::vector<KRO::COLOR4>(look == Look::Colour ? n : 0, {0.25f, 0.5f, 0.75f, 1.0f}));
  s.SetMaterialName(m);
  return s;
}

// The box [lo, hi] with the first and the last surface given a look.
C3DEntity DecoratedBox(const Vec& lo, const Vec& hi, Look last, const std::string& m,
                       Look first = Look::Material, const std::string& firstMaterial = "face0") {
  std::vector<C3DSurface> faces = shapes::MakeBoxFaces(lo, hi);
  faces.front() = Decorated(faces.front(), firstMaterial, first);
  faces.back() = Decorated(faces.back(), m, last);
  C3DEntity solid;
  for (const C3DSurface& f : faces) solid.AddSurface(&f, nullptr);
  return solid;
}

// Cuts e by s with cut faces and returns the cut face (the part of s
// inside e, as handed out through so2).
C3DSurface CutFace(CKroMeshTriCut& cut, C3DEntity& e, C3DSurface& s, C3DEntity* below = nullptr,
                   C3DEntity* above = nullptr) {
  C3DSurface so2;
  EXPECT_EQ(cut.CutMdlBetweenMdl(&e, &s, nullptr, &so2, below, above, true), 1);
  return so2;
}

TEST(MaterialTransfer, OnlyTheLastSurfaceOfTheSolidCounts) {
  // A coloured last surface colours the cut face and leaves it without a
  // material name; a material without texture passes on the name only,
  // whatever the first surface carries.
  const struct {
    Look first, last;
    std::string material, wantName;
  } cases[] = {{Look::Material, Look::Colour, "rock", ""},
               {Look::Material, Look::Material, "granite", "granite"},
               {Look::Colour, Look::Material, "clay", "clay"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.material);
    C3DEntity cube = DecoratedBox({0, 0, 0}, {1, 1, 1}, c.last, c.material, c.first, "paint");
    C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.5}, {0.1, 0.2, 1}, 1.5, 3);
    CKroMeshTriCut cut;
    C3DEntity below, above;
    C3DSurface face = CutFace(cut, cube, plane, &below, &above);
    ASSERT_GT(face.GetTriangleCount(), 0);
    EXPECT_EQ(face.GetMaterialName(), c.wantName);
    const CVertexDecorationObj& deco = face.Decoration();
    EXPECT_EQ(deco.GetNumTexcoods(0), 0);
    ASSERT_EQ(deco.GetNumColors(), c.last == Look::Colour ? face.GetPointNum() : 0);
    for (long i = 0; i < deco.GetNumColors(); ++i) {
      const KRO::COLOR4 k = deco.GetVexColor(i);
      ASSERT_TRUE(k.r == 0.25f && k.g == 0.5f && k.b == 0.75f && k.a == 1.0f) << i;
    }
    // Both halves received that same face as their last surface.
    const C3DSurface* last = below.SurfaceAt(below.GetSurfaceNum() - 1);
    EXPECT_EQ(last->Decoration().GetNumColors(), deco.GetNumColors());
    EXPECT_EQ(above.SurfaceAt(above.GetSurfaceNum() - 1)->GetTriangleCount(),
              face.GetTriangleCount());
  }
}

// A tall textured block, 0 .. 100 high, cut by a vertical surface: the cut
// face takes the material; v is the height scaled by 0.015 (1.5 at the top).
void ExpectHeightScaledV(const C3DSurface& face, const char* cutter) {
  ASSERT_GT(face.GetTriangleCount(), 0) << cutter;
  EXPECT_EQ(face.GetMaterialName(), "sandstone") << cutter;
  const std::vector<KRO::G_TEXCOORD> tex = shapes::TexCoords0(face);
  ASSERT_EQ(static_cast<long>(tex.size()), face.GetPointNum()) << cutter;
  bool top = false;
  for (size_t i = 0; i < tex.size(); ++i) {
    const double z = face.Points()[i].z;
    ASSERT_NEAR(tex[i].v, 0.015 * z, 1e-5) << cutter << " point " << i;
    top = top || std::fabs(z - 100.0) < 1e-9;  // the face reaches the top
  }
  EXPECT_TRUE(top) << cutter;
}

// Without a polyline the cut face's texture follows the box face, with one
// it follows the fold line.
TEST(MaterialTransfer, TexturedSolidWithAndWithoutPolyline) {
  C3DEntity block = DecoratedBox({0, 0, 0}, {40, 40, 100}, Look::Textured, "sandstone");
  // A vertical plane through the block, facing +x.
  C3DSurface wall = shapes::MakeTiltedPlane({20.3, 20, 50}, {1, 0.1, 0}, 80, 2);
  CKroMeshTriCut plain;
  ExpectHeightScaledV(CutFace(plain, block, wall), "plane");
  // A fold line of three points across the block in plan, and the curtain
  // standing over it as the cutting surface.
  D_DOT fold[3] = {{-10, 5}, {20, 25}, {50, 30}};
  std::vector<Vec> pts;
  for (double z : {-20.0, 120.0})
    for (const D_DOT& d : fold) pts.push_back({d.x, d.y, z});
  C3DSurface curtain =
      shapes::MakeSurface(pts, {{{0, 1, 4}}, {{0, 4, 3}}, {{1, 2, 5}}, {{1, 5, 4}}}, "curtain");
  CKroMeshTriCut cut;
  cut.SetPosCheckPolyline(fold, 3);
  C3DSurface face = CutFace(cut, block, curtain);
  ExpectHeightScaledV(face, "curtain");
  // u is the distance along the fold line, scaled by 0.00025.
  const std::vector<KRO::G_TEXCOORD> tex = shapes::TexCoords0(face);
  const double seg0 = std::hypot(30.0, 20.0);
  for (size_t i = 0; i < tex.size(); ++i) {
    const Vec& p = face.Points()[i];
    // Points on the first segment (x <= 20) or the second.
    const double along =
        p.x <= 20.0 ? std::hypot(p.x + 10.0, p.y - 5.0) : seg0 + std::hypot(p.x - 20.0, p.y - 25.0);
    ASSERT_NEAR(tex[i].u, 0.00025 * along, 1e-6) << "point " << i;
  }
}

}  // namespace
