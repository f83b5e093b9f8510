// Model files of the command-line tool: round trips of every format in
// double precision at geological coordinates, binary variants, and the
// messages for malformed files.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "support/ToolModels.h"

using namespace tricut;
using toolmodels::GeoBox;
using toolmodels::Geometry;
using toolmodels::GeoTerrain;

namespace {

// Per-vertex decorations of all parts in order: none (kinds 0), colours on
// the byte grid (PLY stores bytes), and with kinds 2 normals and texture.
std::vector<double> Decorations(const Model& m, int kinds) {
  std::vector<double> c, rest;
  for (const auto& p : m.parts) {
    const auto& d = p.surface.Decoration();
    for (const auto& x : d.m_colours)
      c.insert(c.end(), {std::round(x.r * 255), std::round(x.g * 255), std::round(x.b * 255)});
    for (const auto& n : d.m_normals) rest.insert(rest.end(), {n.x, n.y, n.z});
    for (const auto& t : d.m_texcoords[0]) rest.insert(rest.end(), {t.u, t.v, -1});
  }
  if (kinds == 2) c.insert(c.end(), rest.begin(), rest.end());
  return kinds == 0 ? std::vector<double>() : c;
}

}  // namespace

TEST(ModelIO, EveryFormatKeepsTheDecoratedBoxAtGeologicalCoordinates) {
  Model m = GeoBox();
  m.parts[1].deco.m_colour = KRO::COLOR4(0.25f, 0.5f, 0.75f, 1.f);  // travels in the .mtl
  m.parts[1].deco.m_hasColour = true;
  const Model merged = FromSurface(ToSurface(m), "merged");
  const std::string dir = toolmodels::ScratchDir("formats");
  // parts 1: all parts in one surface, unwelded; materials: the parts'
  // materials kept; deco: 0 none, 1 colours, 2 colours, normals and texture;
  // welds: corners welded, no bit-for-bit comparison; name: the model's name
  // read back ("": any).
  // clang-format off
  const struct { const char* file; Encoding enc; std::size_t parts; bool materials; int deco; bool welds;
                 const char* name; } cases[] = {
      {"m.obj", Encoding::Default, 2, true, 2, false, "m"},
      {"m.ts", Encoding::Default, 2, false, 0, false, "geobox"},
      {"a.ply", Encoding::Ascii, 2, true, 2, false, ""},
      {"b.ply", Encoding::Binary, 2, true, 2, false, ""},
      {"m.stl", Encoding::Ascii, 2, false, 0, true, ""},
      {"m.off", Encoding::Default, 1, false, 1, false, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = dir + "/" + c.file;
    WriteModel(path, m, c.enc);
    const Model r = ReadModel(path);
    EXPECT_EQ(r.TriangleCount(), 12);
    EXPECT_TRUE(AnalyseTopology(r).Closed());
    EXPECT_NEAR(std::fabs(SignedVolume(r)), 10.5 * 20.25 * 30.375, 1e-6);
    const Box3 a = BoxOf(m), b = BoxOf(r);  // every digit kept
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(a.lo[k] == b.lo[k] && a.hi[k] == b.hi[k]) << k;
    ASSERT_EQ(r.parts.size(), c.parts);
    if (c.welds) {  // the three walls share their corners: 12 weld into 8
      EXPECT_EQ(r.parts[0].surface.GetPointNum(), 8);
    } else {
      EXPECT_EQ(Geometry(r), Geometry(c.parts == 1 ? merged : m));
    }
    EXPECT_TRUE(c.parts == 1 || r.parts[0].name + r.parts[1].name == "wallscaps");
    EXPECT_TRUE(!c.materials || r.parts[1].surface.GetMaterialName() == "Shale");
    EXPECT_EQ(Decorations(r, c.deco), Decorations(m, c.deco));
    EXPECT_EQ(*c.name ? r.name : "", c.name);
    EXPECT_EQ(toolmodels::ReadText(path).find("binary_little_endian") != std::string::npos,
              c.enc == Encoding::Binary);
  }
  const Model obj = ReadModel(dir + "/m.obj");
  ASSERT_TRUE(obj.parts[1].deco.m_hasColour);
  EXPECT_FLOAT_EQ(obj.parts[1].deco.m_colour.b, 0.75f);
}

// Reader paths no writer takes: parts, triangles and what each case
// reads back, as text.
TEST(ModelIO, ReaderVariants) {
  std::string be =
      "ply\nformat binary_big_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
      "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
      "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
  auto putBE = [&](const void* p, int n) {
    for (int i = n - 1; i >= 0; --i) be += static_cast<const char*>(p)[i];
  };
  for (const auto& p : {std::array<float, 3>{0, 0, 0}, {2, 0, 0}, {0, 3, 1.5f}}) {
    for (float c : p) putBE(&c, 4);
    be += std::string("\xff\x00\x33", 3);
  }
  be += '\3';
  for (int32_t i : {0, 1, 2}) putBE(&i, 4);
  std::string stl =
      WriteModelData(Format::Stl, FromEntity(shapes::MakeUnitCube(), "cube"), Encoding::Binary);
  EXPECT_EQ(stl.size(), 84u + 50u * 12u);
  std::memcpy(&stl[0], "solid cube", 10);  // a binary header may start with "solid"
  auto num = [](double x) { return Fmt(std::round(x * 1e6) / 1e6) + " "; };  // to 6 decimals
  auto pt = [](const Model& m, int k) { return m.parts.at(k).surface.GetPointNum(); };
  auto deco = [](const Model& m) { return m.parts.at(0).surface.Decoration(); };
  // An OBJ quad by relative indices and a triangle whose corner 1 has two
  // texture coordinates: the corner becomes two points. TSurf depth turns
  // into elevation; the second face reaches vertex 3 of the first through an
  // atom and gets its own copy.
  using F = Format;
  // clang-format off
  const struct { const char* name; F f; std::string data;
                 std::function<std::string(const Model&)> got; std::string want; } cases[] = {
      {"obj polygons", F::Obj,
       "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
       "f -4/1 -3/2 -2/3 -1/4\nf 1/5 3/3 4/4\n",
       [&](const Model& m) { return num(pt(m, 0)) + num(deco(m).m_texcoords[0].size()) + num(SurfaceArea(m)); },
       "1 3 5 5 1.5 "},
      {"obj material change inside a group", F::Obj,
       "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\ng layer\nusemtl A\nf 1 2 3\nusemtl B\nf 2 4 3\n",
       [](const Model& m) { return m.parts[0].name + " " + m.parts.at(1).surface.GetMaterialName(); },
       "2 2 layer_A B"},
      {"big-endian ply, float coordinates, byte colours", F::Ply, be,
       [&](const Model& m) {
         return num(m.parts[0].surface.Points()[2].z) + num(std::lround(255 * deco(m).m_colours[0].b));
       },
       "1 1 1.5 51 "},
      {"binary stl starting with solid", F::Stl, stl, [](const Model&) { return std::string(); }, "1 12 "},
      {"integer colours of COFF", F::Off, "COFF\n3 1 0\n0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 0 0 255\n3 0 1 2\n",
       [&](const Model& m) { return num(deco(m).m_colours[1].r) + num(deco(m).m_colours[1].g); }, "1 1 0 1 "},
      {"tsurf depth, atoms, shared vertices", F::Tsurf,
       "GOCAD TSurf 1\nHEADER {\nname:fault A\n*solid*color:0.5 0.25 1 1\n}\nGOCAD_ORIGINAL_COORDINATE_SYSTEM\n"
       "NAME Default\nZPOSITIVE Depth\nEND_ORIGINAL_COORDINATE_SYSTEM\nPROPERTIES porosity\nTFACE\n"
       "PVRTX 1 500000.5 4000000.25 100 0.3\nVRTX 2 500010 4000000 100\nVRTX 3 500000 4000010 110\n"
       "TRGL 1 2 3\nTFACE\nVRTX 4 500010 4000010 110\nATOM 5 2\nTRGL 5 4 3\nBSTONE 1\nBORDER 6 1 2\nEND\n",
       [&](const Model& m) {
         const auto& p = m.parts[0].surface.Points()[0];
         return m.parts[0].name + " " + num(p.x) + num(p.z) + num(pt(m, 1)) + num(m.parts[1].deco.m_colour.g);
       },
       "2 2 fault A_1 500000.5 -100 3 0.25 "},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Model m = ReadModelData(c.f, c.data, "in");
    EXPECT_EQ(num(m.parts.size()) + num(m.TriangleCount()) + c.got(m), c.want) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Malformed files: "file:line: what", or the element for binary bodies

TEST(ModelIOErrors, MessagesNameFileLineAndWhat) {
  const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  const std::string ply =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty double x\nproperty double y\n"
      "property double z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
  std::string cut = WriteModelData(Format::Ply, FromEntity(shapes::MakeUnitCube(), "c"));
  cut.resize(cut.size() - 7);                // a binary body cut short
  const std::string two = "0 0 0\n1 0 0\n";  // the first two of a PLY's three vertices
  using F = Format;
  // clang-format off
  const struct { Format f; std::string data, message; } cases[] = {
      {F::Obj, obj + "f 1 2 9\n", "e:4: vertex index 9 out of range (3 declared)"},
      {F::Obj, obj + "f 1 2 0\n", "e:4: vertex index 0 out of range (3 declared)"},
      {F::Obj, "v 0 0\n", "e:1: a vertex needs x y z, optionally w or r g b"},
      {F::Obj, "v 0 zero 0\n", "e:1: malformed y 'zero'"},
      {F::Obj, obj + "v 1 nan 2\n", "e:4: y is not finite"},
      {F::Obj, obj + "\n\nf 1 2\n", "e:6: a face needs at least 3 corners"},
      {F::Obj, obj + "f 1/1 2 3\n", "e:4: texture index 1 out of range (0 declared)"},
      {F::Ply, ply + two + "0 1\n3 0 1 2\n", "e:12: vertex 3: too few values"},
      {F::Ply, ply + two + "0 1 inf\n3 0 1 2\n", "e:12: vertex 3: coordinate is not finite"},
      {F::Ply, ply + two + "0 1 0\n3 0 1 3\n", "e:13: face 1: vertex index 3 out of range (3 vertices)"},
      // The face line must not read as a fourth vertex.
      {F::Ply, ply + two + "3 0 1 2\n", "e: header claims 3 vertices and 1 face, file ends at line 12"},
      {F::Ply, "ply\nformat ascii 1.0\nelement vertex 1\nbogus\n", "e:4: unknown header line 'bogus'"},
      {F::Ply, cut, "e: face 12"},
      {F::Ply, cut, "unexpected end of data"},
      {F::Stl, "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1\n",
       "e:6: a vertex needs x y z"},
      {F::Stl, "solid s\nfacet normal 0 0 1\n", "e: unexpected end of file inside solid (no 'endsolid')"},
      {F::Stl, "garbage", "not an STL file"},
      {F::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 5\n", "e:6: vertex index 5 out of range (3 vertices)"},
      {F::Off, "OFF\n# counts\n3 1 0\n0 0 0\n1 0 0\n", "e:5: unexpected end of file: 2 of 3 vertices read"},
      {F::Tsurf, 
       "GOCAD TSurf 1\nTFACE\nVRTX 1 0 0 0\nTRGL 1 2 3\n", "e:4: TRGL uses vertex 2, which is not declared"},
      {F::Tsurf, "TFACE\n", "e:1: expected 'GOCAD TSurf 1' before 'TFACE'"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::string err;
    try {
      ReadModelData(c.f, c.data, "e");
    } catch (const ToolError& e) {
      err = e.what();
    }
    EXPECT_EQ(err.rfind("e", 0), 0u) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.message << " / " << err;
  }
}

TEST(ModelIOErrors, FailedWriteLeavesNoFileBehind) {
  const std::string dir = toolmodels::ScratchDir("atomic");
  EXPECT_THROW(WriteFileAtomic(dir + "/missing/out.obj", "x"), ToolError);
  WriteFileAtomic(dir + "/out.obj", "first");
  WriteFileAtomic(dir + "/out.obj", "second");
  EXPECT_EQ(toolmodels::ReadText(dir + "/out.obj"), "second");
  // No temporary file is left next to it.
  EXPECT_EQ(std::system(("test $(ls '" + dir + "' | wc -l) -eq 1").c_str()), 0);
}

// ---------------------------------------------------------------------------
// Model helpers the commands rely on

TEST(ModelTopology, CountsWeldingAndMerging) {
  Model box = GeoBox();
  const Topology t = AnalyseTopology(box), open = AnalyseTopology(GeoTerrain(4));
  EXPECT_TRUE(t.Closed() && t.weldedPoints == 8 && t.edges == 18 && t.misorientedEdges == 0);
  EXPECT_TRUE(!open.Closed() && open.boundaryEdges == 16 && open.components == 1);
  // Points 1e-7 apart weld; 1e-5 apart do not.
  const double x = toolmodels::kX0;
  EXPECT_EQ(WeldPoints({{x, 0, 0}, {x + 1e-7, 0, 0}, {x + 1e-5, 0, 0}}, 1e-6),
            (std::vector<long>{0, 0, 2}));
  // Merged: the first part's material, and colours while every part has them.
  const C3DSurface merged = ToSurface(box);
  EXPECT_EQ(merged.GetMaterialName() + std::to_string(merged.Decoration().m_colours.size()),
            "Sandstone24");
  box.parts.push_back(GeoTerrain(2).parts[0]);
  EXPECT_TRUE(ToSurface(box).Decoration().m_colours.empty());
}
