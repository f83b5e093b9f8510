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

// Surface s rebuilt with material m and, by look, a colour or stage-0
// texture coordinates on every point.
C3DSurface Decorated(const C3DSurface& s, const std::string& m, Look look) {
  shapes::TriSoup soup = shapes::SoupOf(s);
  C3DSurface out(-1, 0);
  CPointCollection pc;
  pc.AppendPoints(soup.pts.data(), static_cast<long>(soup.pts.size()));
  CVertexDecorationObj deco;
  const long n = static_cast<long>(soup.pts.size());
  if (look == Look::Colour) {
    std::vector<KRO::COLOR4> colours(n, KRO::COLOR4{0.25f, 0.5f, 0.75f, 1.0f});
    deco.AppendColors(colours.data(), n);
  } else if (look == Look::Textured) {
    std::vector<KRO::G_TEXCOORD> tex(n, KRO::G_TEXCOORD{0.3f, 0.6f});
    deco.AppendTexcoords(0, tex.data(), n);
  }
  std::vector<C3DTriangle> tris;
  for (const auto& t : soup.tris) tris.emplace_back(t.v[0], t.v[1], t.v[2]);
  out.AddTriangle(tris.data(), nullptr, static_cast<long>(tris.size()));
  out.AppendPointCollection(&pc, &deco);
  out.SetMaterialName(m);
  return out;
}

// The box [lo, hi] whose last surface carries the look; the others plain.
C3DEntity DecoratedBox(const Vec& lo, const Vec& hi, Look look, const std::string& m = "rock") {
  std::vector<C3DSurface> faces = shapes::MakeBoxFaces(lo, hi);
  C3DEntity solid(-1, 0);
  for (size_t i = 0; i < faces.size(); ++i) {
    C3DSurface f = i + 1 == faces.size() ? Decorated(faces[i], m, look) : faces[i];
    solid.AddSurface(&f, nullptr);
  }
  return solid;
}

// Cuts e by s with cut faces and returns the cut face (the part of s
// inside e, as handed out through so2).
C3DSurface CutFace(CKroMeshTriCut& cut, C3DEntity& e, C3DSurface& s, C3DEntity* below = nullptr,
                   C3DEntity* above = nullptr) {
  C3DSurface so2(-1, 0);
  EXPECT_EQ(cut.CutMdlBetweenMdl(&e, &s, nullptr, &so2, below, above, true), 1);
  return so2;
}

TEST(MaterialTransfer, ColouredSolidColoursTheCutFace) {
  C3DEntity cube = DecoratedBox({0, 0, 0}, {1, 1, 1}, Look::Colour);
  C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.5}, {0.1, 0.2, 1}, 1.5, 3);
  CKroMeshTriCut cut;
  C3DEntity below(-1, 0), above(-1, 0);
  C3DSurface face = CutFace(cut, cube, plane, &below, &above);
  ASSERT_GT(face.GetTriangleCount(), 0);
  EXPECT_EQ(face.GetMaterialName(), "");
  const CVertexDecorationObj& deco = face.Decoration();
  ASSERT_EQ(deco.GetNumColors(), face.GetPointNum());
  for (long i = 0; i < deco.GetNumColors(); ++i) {
    const KRO::COLOR4 c = deco.GetVexColor(i);
    ASSERT_EQ(c.r, 0.25f);
    ASSERT_EQ(c.g, 0.5f);
    ASSERT_EQ(c.b, 0.75f);
    ASSERT_EQ(c.a, 1.0f);
  }
  EXPECT_EQ(deco.GetNumTexcoods(0), 0);
  // Both halves received that same face as their last surface.
  const C3DSurface* last = below.SurfaceAt(below.GetSurfaceNum() - 1);
  EXPECT_EQ(last->Decoration().GetNumColors(), face.GetPointNum());
  EXPECT_EQ(above.SurfaceAt(above.GetSurfaceNum() - 1)->GetTriangleCount(),
            face.GetTriangleCount());
}

TEST(MaterialTransfer, MaterialWithoutTextureGivesTheNameOnly) {
  C3DEntity cube = DecoratedBox({0, 0, 0}, {1, 1, 1}, Look::Material, "granite");
  C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.5}, {0, 0, 1}, 1.5, 3);
  CKroMeshTriCut cut;
  C3DSurface face = CutFace(cut, cube, plane);
  ASSERT_GT(face.GetTriangleCount(), 0);
  EXPECT_EQ(face.GetMaterialName(), "granite");
  EXPECT_EQ(face.Decoration().GetNumTexcoods(0), 0);
  EXPECT_EQ(face.Decoration().GetNumColors(), 0);
}

TEST(MaterialTransfer, OnlyTheLastSurfaceOfTheSolidCounts) {
  // First surface coloured, last one with a material: the material wins.
  std::vector<C3DSurface> faces = shapes::MakeBoxFaces({0, 0, 0}, {1, 1, 1});
  C3DEntity cube(-1, 0);
  for (size_t i = 0; i < faces.size(); ++i) {
    C3DSurface f =
        i == 0 ? Decorated(faces[i], "paint", Look::Colour)
               : (i + 1 == faces.size() ? Decorated(faces[i], "clay", Look::Material) : faces[i]);
    cube.AddSurface(&f, nullptr);
  }
  C3DSurface plane = shapes::MakeTiltedPlane({0.5, 0.5, 0.5}, {0, 0, 1}, 1.5, 3);
  CKroMeshTriCut cut;
  C3DSurface face = CutFace(cut, cube, plane);
  EXPECT_EQ(face.GetMaterialName(), "clay");
  EXPECT_EQ(face.Decoration().GetNumColors(), 0);
}

// A tall textured block, 0 .. 100 high, cut by a vertical surface: the cut
// face reaches height 100, where the default v scale gives 1.5.
struct TexturedBlock {
  C3DEntity block = DecoratedBox({0, 0, 0}, {40, 40, 100}, Look::Textured, "sandstone");
};

void ExpectHeightScaledV(const C3DSurface& face) {
  const CVertexDecorationObj& deco = face.Decoration();
  ASSERT_EQ(deco.GetNumTexcoods(0), face.GetPointNum());
  CVertexDecorationObj copy = deco;
  KRO::G_TEXCOORD* tex = nullptr;
  long n = 0;
  copy.GetTexcoords(0, &tex, &n);
  bool top = false;
  for (long i = 0; i < n; ++i) {
    const double z = face.Points()[i].z;
    ASSERT_NEAR(tex[i].v, 0.015 * z, 1e-5) << "point " << i;
    if (std::fabs(z - 100.0) < 1e-9) {
      top = true;
      EXPECT_FLOAT_EQ(tex[i].v, 1.5f);
    }
  }
  EXPECT_TRUE(top);
}

TEST(MaterialTransfer, TexturedSolidWithoutPolylineUsesTheBoxFace) {
  TexturedBlock t;
  // A vertical plane through the block, facing +x.
  C3DSurface wall = shapes::MakeTiltedPlane({20.3, 20, 50}, {1, 0.1, 0}, 80, 2);
  CKroMeshTriCut cut;
  C3DSurface face = CutFace(cut, t.block, wall);
  ASSERT_GT(face.GetTriangleCount(), 0);
  EXPECT_EQ(face.GetMaterialName(), "sandstone");
  ExpectHeightScaledV(face);
}

TEST(MaterialTransfer, TexturedSolidWithPolylineUsesTheFoldLine) {
  TexturedBlock t;
  // A fold line of three points across the block in plan, and the curtain
  // standing over it as the cutting surface.
  D_DOT fold[3] = {{-10, 5}, {20, 25}, {50, 30}};
  C3DSurface curtain(-1, 0);
  {
    std::vector<Vec> pts;
    for (double z : {-20.0, 120.0})
      for (const D_DOT& d : fold) pts.push_back({d.x, d.y, z});
    std::vector<C3DTriData> tris = {{{0, 1, 4}}, {{0, 4, 3}}, {{1, 2, 5}}, {{1, 5, 4}}};
    curtain = shapes::MakeSurface(pts, tris, "curtain");
  }
  CKroMeshTriCut cut;
  cut.SetPosCheckPolyline(fold, 3);
  C3DSurface face = CutFace(cut, t.block, curtain);
  ASSERT_GT(face.GetTriangleCount(), 0);
  EXPECT_EQ(face.GetMaterialName(), "sandstone");
  ExpectHeightScaledV(face);
  // u is the distance along the fold line, scaled by 0.00025.
  CVertexDecorationObj copy = face.Decoration();
  KRO::G_TEXCOORD* tex = nullptr;
  long n = 0;
  copy.GetTexcoords(0, &tex, &n);
  const double seg0 = std::hypot(30.0, 20.0);
  for (long i = 0; i < n; ++i) {
    const Vec& p = face.Points()[i];
    // Points on the first segment (x <= 20) or the second.
    const double along =
        p.x <= 20.0 ? std::hypot(p.x + 10.0, p.y - 5.0) : seg0 + std::hypot(p.x - 20.0, p.y - 25.0);
    ASSERT_NEAR(tex[i].u, 0.00025 * along, 1e-6) << "point " << i;
  }
}

}  // namespace
