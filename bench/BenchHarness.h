// Side-by-side timing of KroMesh and CGAL on the same triangles.
//
// A benchmark program is a driver and its own child: run plainly, it starts
// itself once per case and implementation (`--case NAME --impl
// kromesh|cgal`), each in a fresh process so that the peak resident set
// the kernel reports for it is that case's alone, and prints one table row
// per case. A child that runs past the time limit is stopped by an alarm
// and its row says "timeout". The KroMesh result is checked against
// CGAL's (volumes, areas by side), so that a fast wrong answer shows.
//
// Driver options: --time-limit SECONDS (per child, default 90),
// --only TEXT (cases whose name contains TEXT), --no-skip (also run the
// larger cases of a family after a smaller one timed out), --data DIR
// (model files).
#pragma once

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Surface_mesh.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"

namespace bench {

/// Plain arrays of points and triangles: what both libraries are built
/// from inside the timed part.
struct TriMesh {
  std::vector<KRO::G3D_DVertex> pts;
  std::vector<C3DTriangle> tris;
  long Count() const { return static_cast<long>(tris.size()); }
};

C3DSurface ToSurface(const TriMesh& m, const char* material);
/// A solid of one surface.
C3DEntity ToEntity(const TriMesh& m, const char* material);

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using CgalMesh = CGAL::Surface_mesh<Kernel::Point_3>;
CgalMesh ToCgal(const TriMesh& m);

/// Heights over an n x n cell grid in the plane of axes u and v, measured
/// along axis h (0 x, 1 y, 2 z): a terrain (u, v, h = x, y, z) or a steep
/// fault (h = x). Each cell is split along its diagonal from (i, j) to
/// (i+1, j+1); the triangles face +h.
struct GridSheet {
  int n = 0;
  double u0 = 0, v0 = 0, du = 1, dv = 1;
  int axisU = 0, axisV = 1, axisH = 2;
  std::vector<double> h;  // (n+1)^2, row by row in v

  GridSheet(int cells, double uLo, double vLo, double uLen, double vLen, int au, int av, int ah,
            const std::function<double(double, double)>& height);
  TriMesh Mesh() const;
  /// Signed distance along h from the triangulated sheet to p (positive on
  /// the side the sheet faces); NaN when p lies beyond the grid.
  double Offset(const KRO::G3D_DVertex& p) const;
};

double Area(const KRO::G3D_DVertex& a, const KRO::G3D_DVertex& b, const KRO::G3D_DVertex& c);
/// Enclosed volume of all surfaces of a solid (divergence theorem).
double SignedVolume(const C3DEntity& e);
long TriangleCount(const C3DEntity& e);

/// Areas of a surface's triangles whose centroids lie in front of the
/// sheet, behind it and off its grid: {front, back, off}.
std::vector<double> SideAreas(const GridSheet& sheet, const std::vector<KRO::G3D_DVertex>& pts,
                              const std::vector<C3DTriangle>& tris);
std::vector<double> SideAreas(const GridSheet& sheet, const C3DSurface& s);
std::vector<double> SideAreas(const GridSheet& sheet, const CgalMesh& m);

/// What a child hands back: wall and processor seconds of the timed part
/// and the figures that check its result.
struct Outcome {
  double seconds = 0;
  double cpuSeconds = 0;
  std::vector<double> figures;
};

/// Processor seconds of the process so far, all threads.
double CpuSeconds();

/// Wall-clock and processor seconds since construction.
struct Stopwatch {
  std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
  double cpu0 = CpuSeconds();
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  double Cpu() const { return CpuSeconds() - cpu0; }
  /// Writes both into o.
  void Stop(Outcome& o) const {
    o.seconds = Seconds();
    o.cpuSeconds = Cpu();
  }
};

struct Case {
  std::string name;
  /// Cases of one family grow in order: once one times out, the larger
  /// ones of that implementation are skipped.
  std::string family;
  std::string triangles;  // for the table
};

struct Suite {
  std::string title;
  std::vector<Case> cases;
  /// In the child: builds the inputs (not timed), times the operation,
  /// returns the figures.
  std::function<Outcome(const Case&, bool kromesh)> run;
  /// In the driver: compares KroMesh's figures with CGAL's; fills the
  /// check column and returns false when the result is wrong.
  std::function<bool(const std::vector<double>& kro, const std::vector<double>& cgal,
                     std::string& text)>
      check;
};

/// Directory of the model files (--data, else the repository's tests/data).
const std::string& DataDir();

/// The program's main: driver or child depending on the arguments. The
/// driver returns 1 when a check failed or a child crashed.
int Main(int argc, char** argv, const Suite& suite);

}  // namespace bench
