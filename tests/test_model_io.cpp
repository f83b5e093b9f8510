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
using toolmodels::ExpectSameGeometry;
using toolmodels::GeoBox;
using toolmodels::GeoTerrain;

namespace {

Model RoundTrip(Format f, const Model& m, Encoding enc = Encoding::Default) {
  return ReadModelData(f, WriteModelData(f, m, enc), "round-trip");
}

// The message of the ToolError that reading data throws ("" when none).
std::string ReadError(Format f, const std::string& data, const std::string& name) {
  try {
    ReadModelData(f, data, name);
  } catch (const ToolError& e) {
    return e.what();
  }
  return "";
}

void ExpectDecorations(const Part& a, const Part& b, float colourTol) {
  const auto& da = a.surface.Decoration();
  const auto& db = b.surface.Decoration();
  ASSERT_EQ(da.m_colours.size(), db.m_colours.size());
  for (std::size_t i = 0; i < da.m_colours.size(); ++i) {
    EXPECT_NEAR(da.m_colours[i].r, db.m_colours[i].r, colourTol);
    EXPECT_NEAR(da.m_colours[i].g, db.m_colours[i].g, colourTol);
    EXPECT_NEAR(da.m_colours[i].b, db.m_colours[i].b, colourTol);
  }
  ASSERT_EQ(da.m_normals.size(), db.m_normals.size());
  for (std::size_t i = 0; i < da.m_normals.size(); ++i) {
    EXPECT_EQ(da.m_normals[i].y, db.m_normals[i].y);
    EXPECT_EQ(da.m_normals[i].z, db.m_normals[i].z);
  }
  ASSERT_EQ(da.m_texcoords[0].size(), db.m_texcoords[0].size());
  for (std::size_t i = 0; i < da.m_texcoords[0].size(); ++i) {
    EXPECT_EQ(da.m_texcoords[0][i].u, db.m_texcoords[0][i].u);
    EXPECT_EQ(da.m_texcoords[0][i].v, db.m_texcoords[0][i].v);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Round trips

TEST(ModelIO, ObjAndTsurfKeepPartsNamesAndEveryDigit) {
  const Model m = GeoBox();
  for (Format f : {Format::Obj, Format::Tsurf}) {
    SCOPED_TRACE(f == Format::Obj ? "obj" : "ts");
    const Model r = RoundTrip(f, m);
    ExpectSameGeometry(m, r);
    ASSERT_EQ(r.parts.size(), 2u);
    EXPECT_EQ(r.parts[0].name, "walls");
    EXPECT_TRUE(AnalyseTopology(r).Closed());
    if (f == Format::Tsurf) {
      EXPECT_EQ(r.name, "geobox");
      continue;
    }
    // OBJ also keeps the materials and the decorations.
    EXPECT_EQ(r.parts[1].surface.GetMaterialName(), "Shale");
    for (int i = 0; i < 2; ++i) ExpectDecorations(m.parts[i], r.parts[i], 0.f);
  }
}

TEST(ModelIO, ObjMaterialColoursTravelThroughTheMtlFile) {
  Model m = GeoBox();
  m.parts[1].deco.m_colour = KRO::COLOR4(0.25f, 0.5f, 0.75f, 1.f);
  m.parts[1].deco.m_hasColour = true;
  const std::string dir = toolmodels::ScratchDir("mtl");
  WriteModel(dir + "/box.obj", m);
  ASSERT_TRUE(toolmodels::FileExists(dir + "/box.mtl"));
  const Model r = ReadModel(dir + "/box.obj");
  ASSERT_TRUE(r.parts[1].deco.m_hasColour);
  EXPECT_FLOAT_EQ(r.parts[1].deco.m_colour.b, 0.75f);
  EXPECT_EQ(r.name, "box");
}

TEST(ModelIO, ObjPolygonsNegativeIndicesAndSplitCorners) {
  // A quad by relative indices and a triangle whose corner 1 has two
  // texture coordinates: the corner becomes two points.
  const std::string obj =
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
      "f -4/1 -3/2 -2/3 -1/4\n"
      "f 1/5 3/3 4/4\n";
  const Model m = ReadModelData(Format::Obj, obj, "poly.obj");
  ASSERT_EQ(m.parts.size(), 1u);
  EXPECT_EQ(m.parts[0].surface.GetTriangleCount(), 3);
  EXPECT_EQ(m.parts[0].surface.GetPointNum(), 5);
  EXPECT_EQ(m.parts[0].surface.Decoration().m_texcoords[0].size(), 5u);
  EXPECT_DOUBLE_EQ(SurfaceArea(m), 1.5);
}

TEST(ModelIO, ObjMaterialChangeInsideAGroupStartsANewSurface) {
  const std::string obj =
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\ng layer\nusemtl A\nf 1 2 3\nusemtl B\nf 2 4 3\n";
  const Model m = ReadModelData(Format::Obj, obj, "mat.obj");
  ASSERT_EQ(m.parts.size(), 2u);
  EXPECT_EQ(m.parts[0].name, "layer_A");
  EXPECT_EQ(m.parts[1].surface.GetMaterialName(), "B");
}

TEST(ModelIO, PlyAsciiAndBinaryKeepEveryDigitAndTheParts) {
  const Model m = GeoBox();
  for (Encoding enc : {Encoding::Ascii, Encoding::Binary}) {
    SCOPED_TRACE(enc == Encoding::Ascii ? "ascii" : "binary");
    const std::string data = WriteModelData(Format::Ply, m, enc);
    EXPECT_EQ(data.find("binary_little_endian") != std::string::npos, enc == Encoding::Binary);
    const Model r = ReadModelData(Format::Ply, data, "box.ply");
    ExpectSameGeometry(m, r);
    EXPECT_EQ(r.parts[1].name, "caps");
    EXPECT_EQ(r.parts[0].surface.GetMaterialName(), "Sandstone");
    for (int i = 0; i < 2; ++i) ExpectDecorations(m.parts[i], r.parts[i], 0.5f / 255.f);
  }
}

TEST(ModelIO, PlyBigEndianWithFloatCoordinatesAndIntColours) {
  std::string data =
      "ply\nformat binary_big_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
      "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
      "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
  auto putBE = [&](const void* p, std::size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) data += static_cast<char>(b[n - 1 - i]);
  };
  const float v[3][3] = {{0, 0, 0}, {2, 0, 0}, {0, 3, 1.5f}};
  for (const auto& p : v) {
    for (float c : p) putBE(&c, 4);
    data += static_cast<char>(255);
    data += static_cast<char>(0);
    data += static_cast<char>(51);
  }
  data += static_cast<char>(3);
  for (int32_t i : {0, 1, 2}) putBE(&i, 4);
  const Model m = ReadModelData(Format::Ply, data, "be.ply");
  ASSERT_EQ(m.TriangleCount(), 1);
  EXPECT_EQ(m.parts[0].surface.Points()[2].z, 1.5);
  EXPECT_FLOAT_EQ(m.parts[0].surface.Decoration().m_colours[0].b, 0.2f);
}

TEST(ModelIO, StlAsciiKeepsDoublesAndOneSolidPerPart) {
  const Model m = GeoBox();
  const Model r = RoundTrip(Format::Stl, m, Encoding::Ascii);
  ASSERT_EQ(r.parts.size(), 2u);
  EXPECT_EQ(r.parts[0].name, "walls");
  // The three walls share their corners: 12 corners weld into 8 points.
  EXPECT_EQ(r.parts[0].surface.GetPointNum(), 8);
  EXPECT_EQ(r.TriangleCount(), 12);
  const Box3 a = BoxOf(m), b = BoxOf(r);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(a.lo[k], b.lo[k]);
    EXPECT_EQ(a.hi[k], b.hi[k]);
  }
  EXPECT_TRUE(AnalyseTopology(r).Closed());
  EXPECT_NEAR(std::fabs(SignedVolume(r)), 10.5 * 20.25 * 30.375, 1e-6);
}

TEST(ModelIO, StlBinaryWeldsCornersIntoAClosedSolid) {
  const Model cube = toolmodels::FromShapes(shapes::MakeUnitCube(), "cube");
  std::string data = WriteModelData(Format::Stl, cube, Encoding::Binary);
  EXPECT_EQ(data.size(), 84u + 50u * 12u);
  const Model r = ReadModelData(Format::Stl, data, "cube.stl");
  ASSERT_EQ(r.parts.size(), 1u);
  EXPECT_EQ(r.parts[0].surface.GetPointNum(), 8);
  EXPECT_TRUE(AnalyseTopology(r).Closed());
  EXPECT_DOUBLE_EQ(SignedVolume(r), 1.0);
  // A binary header starting with "solid" is still binary.
  std::memcpy(&data[0], "solid cube", 10);
  EXPECT_EQ(ReadModelData(Format::Stl, data, "cube.stl").TriangleCount(), 12);
}

TEST(ModelIO, OffKeepsColoursAndReadsIntegerColours) {
  Model m = GeoTerrain(3);
  m.parts[0] = toolmodels::DecoratedPart("t", "", m.parts[0].surface.Points(),
                                         TrianglesOf(m.parts[0].surface));
  const Model r = RoundTrip(Format::Off, m);
  ExpectSameGeometry(m, r);
  EXPECT_EQ(r.parts[0].surface.Decoration().m_colours.size(), 16u);
  EXPECT_FLOAT_EQ(r.parts[0].surface.Decoration().m_colours[5].r, 5.f / 255.f);

  const std::string coff = "COFF\n3 1 0\n0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 0 0 255\n3 0 1 2\n";
  const Model c = ReadModelData(Format::Off, coff, "c.off");
  EXPECT_FLOAT_EQ(c.parts[0].surface.Decoration().m_colours[1].g, 1.f);
  EXPECT_FLOAT_EQ(c.parts[0].surface.Decoration().m_colours[1].r, 0.f);
}

TEST(ModelIO, TsurfDepthAtomsAndSharedVertices) {
  const std::string ts =
      "GOCAD TSurf 1\n"
      "HEADER {\nname:fault A\n*solid*color:0.5 0.25 1 1\n}\n"
      "GOCAD_ORIGINAL_COORDINATE_SYSTEM\nNAME Default\nZPOSITIVE Depth\n"
      "END_ORIGINAL_COORDINATE_SYSTEM\n"
      "PROPERTIES porosity\n"
      "TFACE\n"
      "PVRTX 1 500000.5 4000000.25 100 0.3\nVRTX 2 500010 4000000 100\nVRTX 3 500000 4000010 110\n"
      "TRGL 1 2 3\n"
      "TFACE\n"
      "VRTX 4 500010 4000010 110\nATOM 5 2\n"
      "TRGL 5 4 3\n"
      "BSTONE 1\nBORDER 6 1 2\nEND\n";
  const Model m = ReadModelData(Format::Tsurf, ts, "fault.ts");
  ASSERT_EQ(m.parts.size(), 2u);
  EXPECT_EQ(m.parts[0].name, "fault A_1");
  EXPECT_EQ(m.parts[0].surface.Points()[0].x, 500000.5);
  EXPECT_EQ(m.parts[0].surface.Points()[0].z, -100.0);  // depth turned into elevation
  // The second face uses vertex 3 of the first: it gets its own copy.
  EXPECT_EQ(m.parts[1].surface.GetPointNum(), 3);
  EXPECT_TRUE(m.parts[1].deco.m_hasColour);
  EXPECT_FLOAT_EQ(m.parts[1].deco.m_colour.g, 0.25f);
}

TEST(ModelIO, FileRoundTripThroughEveryExtension) {
  const Model m = GeoBox();
  const std::string dir = toolmodels::ScratchDir("ext");
  for (const char* ext : {"obj", "ply", "stl", "off", "ts"}) {
    SCOPED_TRACE(ext);
    const std::string path = dir + "/m." + ext;
    WriteModel(path, m);
    const Model r = ReadModel(path);
    EXPECT_EQ(r.TriangleCount(), 12);
    EXPECT_TRUE(AnalyseTopology(r).Closed());
    EXPECT_NEAR(std::fabs(SignedVolume(r)), 10.5 * 20.25 * 30.375, 1e-6);
    EXPECT_EQ(BoxOf(r).lo[0], toolmodels::kX0);
    if (std::string(ext) == "off") {  // one surface of all parts, unwelded
      EXPECT_EQ(r.parts.size(), 1u);
      EXPECT_EQ(r.PointCount(), 24);
    }
  }
}

// ---------------------------------------------------------------------------
// Malformed files

TEST(ModelIOErrors, ObjReportsFileLineAndWhat) {
  const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  EXPECT_EQ(ReadError(Format::Obj, head + "f 1 2 9\n", "bad.obj"),
            "bad.obj:4: vertex index 9 out of range (3 declared)");
  EXPECT_EQ(ReadError(Format::Obj, head + "f 1 2 0\n", "bad.obj"),
            "bad.obj:4: vertex index 0 out of range (3 declared)");
  EXPECT_EQ(ReadError(Format::Obj, "v 0 0\n", "bad.obj"),
            "bad.obj:1: a vertex needs x y z, optionally w or r g b");
  EXPECT_EQ(ReadError(Format::Obj, "v 0 zero 0\n", "bad.obj"), "bad.obj:1: malformed y 'zero'");
  EXPECT_EQ(ReadError(Format::Obj, head + "v 1 nan 2\n", "bad.obj"), "bad.obj:4: y is not finite");
  EXPECT_EQ(ReadError(Format::Obj, head + "\n\nf 1 2\n", "bad.obj"),
            "bad.obj:6: a face needs at least 3 corners");
  EXPECT_EQ(ReadError(Format::Obj, head + "f 1/1 2 3\n", "bad.obj"),
            "bad.obj:4: texture index 1 out of range (0 declared)");
}

TEST(ModelIOErrors, PlyReportsLinesInTextAndElementsInBinary) {
  const std::string head =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty double x\nproperty double y\n"
      "property double z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
  EXPECT_EQ(ReadError(Format::Ply, head + "0 0 0\n1 0 0\n0 1\n3 0 1 2\n", "a.ply"),
            "a.ply:12: vertex 3: too few values");
  EXPECT_EQ(ReadError(Format::Ply, head + "0 0 0\n1 0 0\n0 1 inf\n3 0 1 2\n", "a.ply"),
            "a.ply:12: vertex 3: coordinate is not finite");
  EXPECT_EQ(ReadError(Format::Ply, head + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n", "a.ply"),
            "a.ply:13: face 1: vertex index 3 out of range (3 vertices)");
  // A header claiming more elements than there are lines (the face line
  // must not read as a fourth vertex).
  EXPECT_EQ(ReadError(Format::Ply, head + "0 0 0\n1 0 0\n3 0 1 2\n", "a.ply"),
            "a.ply: header claims 3 vertices and 1 face, file ends at line 12");
  EXPECT_EQ(ReadError(Format::Ply, "ply\nformat ascii 1.0\nelement vertex 1\nbogus\n", "a.ply"),
            "a.ply:4: unknown header line 'bogus'");
  // A binary body cut short.
  const Model cube = toolmodels::FromShapes(shapes::MakeUnitCube(), "cube");
  std::string bin = WriteModelData(Format::Ply, cube, Encoding::Binary);
  bin.resize(bin.size() - 7);
  const std::string err = ReadError(Format::Ply, bin, "b.ply");
  EXPECT_NE(err.find("b.ply: face 12"), std::string::npos) << err;
  EXPECT_NE(err.find("unexpected end of data"), std::string::npos) << err;
}

TEST(ModelIOErrors, StlOffAndTsurf) {
  EXPECT_EQ(ReadError(Format::Stl,
                      "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                      "vertex 0 1\nendloop\nendfacet\nendsolid s\n",
                      "s.stl"),
            "s.stl:6: a vertex needs x y z");
  EXPECT_EQ(ReadError(Format::Stl, "solid s\nfacet normal 0 0 1\n", "s.stl"),
            "s.stl: unexpected end of file inside solid (no 'endsolid')");
  EXPECT_NE(ReadError(Format::Stl, "garbage", "g.stl").find("not an STL file"), std::string::npos);
  EXPECT_EQ(ReadError(Format::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 5\n", "o.off"),
            "o.off:6: vertex index 5 out of range (3 vertices)");
  EXPECT_EQ(ReadError(Format::Off, "OFF\n# counts\n3 1 0\n0 0 0\n1 0 0\n", "o.off"),
            "o.off:5: unexpected end of file: 2 of 3 vertices read");
  EXPECT_EQ(ReadError(Format::Tsurf, "GOCAD TSurf 1\nTFACE\nVRTX 1 0 0 0\nTRGL 1 2 3\n", "t.ts"),
            "t.ts:4: TRGL uses vertex 2, which is not declared");
  EXPECT_EQ(ReadError(Format::Tsurf, "TFACE\n", "t.ts"),
            "t.ts:1: expected 'GOCAD TSurf 1' before 'TFACE'");
}

TEST(ModelIOErrors, UnknownExtensionAndMissingFile) {
  EXPECT_THROW(FormatOfPath("model.dxf"), ToolError);
  try {
    ReadModel("no-such-folder/none.obj");
    FAIL() << "no error";
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

TEST(ModelTopology, ClosedOpenAndWelding) {
  const Model box = GeoBox();
  const Topology t = AnalyseTopology(box);
  EXPECT_TRUE(t.Closed());
  EXPECT_EQ(t.weldedPoints, 8);
  EXPECT_EQ(t.edges, 18);
  EXPECT_EQ(t.misorientedEdges, 0);
  EXPECT_GT(SignedVolume(box), 0);

  const Topology open = AnalyseTopology(GeoTerrain(4));
  EXPECT_FALSE(open.Closed());
  EXPECT_EQ(open.boundaryEdges, 16);
  EXPECT_EQ(open.components, 1);

  // Points 1e-7 apart weld; 1e-5 apart do not.
  const std::vector<KRO::G3D_DVertex> pts = {
      {toolmodels::kX0, 0, 0}, {toolmodels::kX0 + 1e-7, 0, 0}, {toolmodels::kX0 + 1e-5, 0, 0}};
  const auto map = WeldPoints(pts, 1e-6);
  EXPECT_EQ(map[1], 0);
  EXPECT_EQ(map[2], 2);
}

TEST(ModelTopology, MergingAndTurningRound) {
  Model box = GeoBox();
  const C3DSurface merged = ToSurface(box);
  EXPECT_EQ(merged.GetPointNum(), 24);
  EXPECT_EQ(merged.GetTriangleCount(), 12);
  EXPECT_EQ(merged.Decoration().m_colours.size(), 24u);
  EXPECT_EQ(merged.GetMaterialName(), "Sandstone");

  // A part without decorations drops that kind from the merged surface.
  box.parts.push_back(GeoTerrain(2).parts[0]);
  EXPECT_TRUE(ToSurface(box).Decoration().m_colours.empty());

  Model flipped = GeoBox();
  const double v = SignedVolume(flipped);
  FlipOrientation(flipped);
  EXPECT_DOUBLE_EQ(SignedVolume(flipped), -v);
  EXPECT_EQ(AnalyseTopology(flipped).misorientedEdges, 0);
}
