// Models for the tests of the command-line tool (tools/tricut): decorated
// multi-surface models at geological coordinates, and helpers to compare
// models and run the tool.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "Model.h"
#include "support/Shapes.h"

namespace toolmodels {

using tricut::Model;
using tricut::Part;

/// Geological origin: coordinates of this size lose digits in floats.
constexpr double kX0 = 512345.678901234;
constexpr double kY0 = 4012345.12345678;

/// A part with colours, normals and texture coordinates (one per point).
inline Part DecoratedPart(const std::string& name, const std::string& material,
                          const std::vector<KRO::G3D_DVertex>& pts,
                          const std::vector<C3DTriangle>& tris) {
  std::vector<KRO::COLOR4> cols;
  std::vector<KRO::VECTOR3> norms;
  std::vector<KRO::G_TEXCOORD> tcs;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const float f = static_cast<float>(i) / static_cast<float>(pts.size());
    // Colours on the 1/255 grid survive PLY's byte colours exactly.
    cols.emplace_back(static_cast<float>(i % 256) / 255.f, 51.f / 255.f, 1.f, 1.f);
    KRO::VECTOR3 n;
    n.x = 0.f;
    n.y = f;
    n.z = 1.f;
    norms.push_back(n);
    KRO::G_TEXCOORD t;
    t.u = f;
    t.v = 1.f - f;
    tcs.push_back(t);
  }
  Part p;
  p.name = name;
  p.surface = tricut::MakeSurface(pts, tris, material, cols, norms, tcs);
  return p;
}

/// The unit-ish box [x0, x0+10] x [y0, y0+20] x [-30.25, 0.125] as a solid
/// of two decorated parts (top half of the faces and the rest).
inline Model GeoBox() {
  const double lo[3] = {kX0, kY0, -30.25}, hi[3] = {kX0 + 10.5, kY0 + 20.25, 0.125};
  auto corner = [&](int c) {
    return KRO::G3D_DVertex{(c & 1) ? hi[0] : lo[0], (c & 2) ? hi[1] : lo[1],
                            (c & 4) ? hi[2] : lo[2]};
  };
  const int quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  Model m;
  m.name = "geobox";
  for (int half = 0; half < 2; ++half) {
    std::vector<KRO::G3D_DVertex> pts;
    std::vector<C3DTriangle> tris;
    for (int f = half * 3; f < half * 3 + 3; ++f) {
      const long b = static_cast<long>(pts.size());
      for (int k = 0; k < 4; ++k) pts.push_back(corner(quads[f][k]));
      tris.emplace_back(b, b + 1, b + 2);
      tris.emplace_back(b, b + 2, b + 3);
    }
    m.parts.push_back(
        DecoratedPart(half == 0 ? "walls" : "caps", half == 0 ? "Sandstone" : "Shale", pts, tris));
  }
  return m;
}

/// A height field at geological coordinates, one undecorated part.
inline Model GeoTerrain(int n = 6) {
  Model m;
  m.name = "terrain";
  std::vector<KRO::G3D_DVertex> pts;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      pts.push_back(
          {kX0 + i * 10.0 + 0.001 * j, kY0 + j * 10.0, 100.0 + 3.0 * std::sin(i + 0.5 * j)});
  std::vector<C3DTriangle> tris;
  auto id = [&](int i, int j) { return static_cast<long>(j) * (n + 1) + i; };
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      tris.emplace_back(id(i, j), id(i + 1, j), id(i + 1, j + 1));
      tris.emplace_back(id(i, j), id(i + 1, j + 1), id(i, j + 1));
    }
  Part p;
  p.name = "terrain";
  p.surface = tricut::MakeSurface(pts, tris, "Soil");
  m.parts.push_back(std::move(p));
  return m;
}

/// Models from the shared shape builders.
inline Model FromShapes(const C3DEntity& e, const std::string& name) {
  return tricut::FromEntity(e, name);
}

/// Exact comparison of points and triangles, part by part.
inline void ExpectSameGeometry(const Model& a, const Model& b) {
  ASSERT_EQ(a.parts.size(), b.parts.size());
  for (std::size_t i = 0; i < a.parts.size(); ++i) {
    const auto& pa = a.parts[i].surface.Points();
    const auto& pb = b.parts[i].surface.Points();
    ASSERT_EQ(pa.size(), pb.size()) << "part " << i;
    for (std::size_t k = 0; k < pa.size(); ++k) {
      EXPECT_EQ(pa[k].x, pb[k].x) << "part " << i << " point " << k;
      EXPECT_EQ(pa[k].y, pb[k].y) << "part " << i << " point " << k;
      EXPECT_EQ(pa[k].z, pb[k].z) << "part " << i << " point " << k;
    }
    const auto ta = tricut::TrianglesOf(a.parts[i].surface);
    const auto tb = tricut::TrianglesOf(b.parts[i].surface);
    ASSERT_EQ(ta.size(), tb.size());
    for (std::size_t k = 0; k < ta.size(); ++k)
      for (int j = 0; j < 3; ++j) EXPECT_EQ(ta[k].v[j], tb[k].v[j]);
  }
}

/// A fresh, empty folder under the build tree for one test.
inline std::string ScratchDir(const std::string& name) {
  const std::string dir = "tricut-scratch/" + name;
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  return dir;
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool FileExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

/// Output and exit status of one run of the tool.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

#ifdef TRICUT_EXE
/// Runs tricut with the given arguments (a shell word list).
inline RunResult RunTool(const std::string& args, const std::string& scratch = "tricut-scratch") {
  // One file per process: CTest runs the tests of a program in parallel.
  std::system(("mkdir -p '" + scratch + "'").c_str());
  const std::string errFile = scratch + "/stderr-" + std::to_string(getpid()) + ".txt";
  const std::string cmd = std::string("'") + TRICUT_EXE + "' " + args + " 2>'" + errFile + "'";
  RunResult r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = ReadText(errFile);
  std::remove(errFile.c_str());
  return r;
}
#endif

}  // namespace toolmodels
