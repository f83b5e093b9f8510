// Models for the tests of the command-line tool (tools/tricut): decorated
// multi-surface models at geological coordinates, and helpers to compare
// models and run the tool.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "Model.h"
#include "support/Shapes.h"

namespace toolmodels {

using tricut::Model;

/// Geological origin: coordinates of this size lose digits in floats.
constexpr double kX0 = 512345.678901234;
constexpr double kY0 = 4012345.12345678;

/// The box [x0, x0+10.5] x [y0, y0+20.25] x [-30.25, 0.125] as a solid of
/// two parts ("walls": the first three faces, "caps": the rest) with
/// colours, normals and texture coordinates (one per point).
inline Model GeoBox() {
  Model m;
  m.name = "geobox";
  for (int half = 0; half < 2; ++half) {
    std::vector<KRO::G3D_DVertex> pts;
    std::vector<C3DTriangle> tris;
    for (int f = half * 3; f < half * 3 + 3; ++f) {
      const long b = static_cast<long>(pts.size());
      for (int c : shapes::kBoxQuads[f])
        pts.push_back(shapes::BoxCorner({kX0, kY0, -30.25}, {kX0 + 10.5, kY0 + 20.25, 0.125}, c));
      tris.insert(tris.end(), {{b, b + 1, b + 2}, {b, b + 2, b + 3}});
    }
    std::vector<KRO::COLOR4> cols;
    std::vector<KRO::VECTOR3> norms;
    std::vector<KRO::G_TEXCOORD> tcs;
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const float f = static_cast<float>(i) / static_cast<float>(pts.size());
      // Colours on the 1/255 grid survive PLY's byte colours exactly.
      cols.emplace_back(static_cast<float>(i % 256) / 255.f, 51.f / 255.f, 1.f, 1.f);
      norms.push_back({0.f, f, 1.f});
      tcs.push_back({f, 1.f - f});
    }
    const char* material = half == 0 ? "Sandstone" : "Shale";
    m.parts.push_back({half == 0 ? "walls" : "caps",
                       tricut::MakeSurface(pts, tris, material, cols, norms, tcs),
                       {}});
  }
  return m;
}

/// A height field of n x n cells of 10 at geological coordinates, its rows
/// sheared by 0.001 in x; one undecorated part.
inline Model GeoTerrain(int n = 6) {
  shapes::TriSoup s =
      shapes::SoupOf(shapes::MakeTerrain(n, n, 0, 0, 10, 10, [](double x, double y) {
        return 100.0 + 3.0 * std::sin(x / 10 + 0.05 * y);
      }));
  for (auto& p : s.pts) p = {kX0 + p.x + 0.0001 * p.y, kY0 + p.y, p.z};
  return tricut::FromSurface(shapes::MakeSurface(s.pts, s.tris, "Soil"), "terrain");
}

/// Every part's points and triangles as numbers, for exact comparisons.
inline std::vector<std::vector<double>> Geometry(const Model& m) {
  std::vector<std::vector<double>> out;
  for (const auto& part : m.parts) {
    out.emplace_back();
    for (const auto& p : part.surface.Points())
      out.back().insert(out.back().end(), {p.x, p.y, p.z});
    for (const auto& t : tricut::TrianglesOf(part.surface))
      out.back().insert(out.back().end(), {1.0 * t.v[0], 1.0 * t.v[1], 1.0 * t.v[2], -1.0});
  }
  return out;
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
  std::stringstream ss;
  ss << std::ifstream(path, std::ios::binary).rdbuf();
  return ss.str();
}

inline bool FileExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

/// Output and exit status of one run of the tool.
struct RunResult {
  int status = -1;
  std::string out, err;
};

#ifdef TRICUT_EXE
/// Runs tricut with the given arguments (a shell word list).
inline RunResult RunTool(const std::string& args) {
  // One file per process: CTest runs the tests of a program in parallel.
  std::system("mkdir -p tricut-scratch");
  const std::string errFile = "tricut-scratch/stderr-" + std::to_string(getpid()) + ".txt";
  RunResult r;
  FILE* p = popen(("'" TRICUT_EXE "' " + args + " 2>'" + errFile + "'").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = ReadText(errFile);
  std::remove(errFile.c_str());
  return r;
}
#endif

}  // namespace toolmodels
