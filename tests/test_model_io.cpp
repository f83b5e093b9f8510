// Model files of the command-line tool: round trips of every format in
// double precision at geological coordinates, binary variants, and the
// messages for malformed files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "support/ToolModels.h"

using namespace tricut;
using toolmodels::GeoBox;
using toolmodels::Geometry;
using toolmodels::GeoTerrain;

namespace {

// The message of the ToolError that reading data throws ("" when none).
std::string ReadError(Format f, const std::string& data, const std::string& name) {
  try {
    ReadModelData(f, data, name);
  } catch (const ToolError& e) {
    return e.what();
  }
  return "";
}

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

const double kBoxVolume = 10.5 * 20.25 * 30.375;

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
    EXPECT_NEAR(std::fabs(SignedVolume(r)), kBoxVolume, 1e-6);
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
  std::string stl =
      WriteModelData(Format::Stl, FromEntity(shapes::MakeUnitCube(), "c"), Encoding::Binary);
  std::memcpy(&stl[0], "solid cube", 10);  // a binary header may start with "solid"
  EXPECT_EQ(ReadModelData(Format::Stl, stl, "in").TriangleCount(), 12);
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
    const std::string err = ReadError(c.f, c.data, "e");
    EXPECT_EQ(err.rfind("e", 0), 0u) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.message << " / " << err;
  }
  EXPECT_THROW(FormatOfPath("model.dxf"), ToolError);
  try {
    ReadModel("no-such-folder/none.obj");
    ADD_FAILURE() << "no error";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find("no-such-folder/none.obj: cannot open"),
              std::string::npos);
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
  const Topology t = AnalyseTopology(GeoBox()), open = AnalyseTopology(GeoTerrain(4));
  EXPECT_TRUE(t.Closed() && t.weldedPoints == 8 && t.edges == 18 && t.misorientedEdges == 0);
  EXPECT_TRUE(!open.Closed() && open.boundaryEdges == 16 && open.components == 1);
  // Points 1e-7 apart weld; 1e-5 apart do not.
  const double x = toolmodels::kX0;
  EXPECT_EQ(WeldPoints({{x, 0, 0}, {x + 1e-7, 0, 0}, {x + 1e-5, 0, 0}}, 1e-6),
            (std::vector<long>{0, 0, 2}));
}
