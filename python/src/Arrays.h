// NumPy arrays in and out of the tool's models, with the checks that turn
// bad input into a ValueError before any work starts.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "Model.h"

namespace kpy {

namespace py = pybind11;

/// A surface of the Python package: one part (host surface, name, material).
struct Surface {
  tricut::Part part;
};

/// A solid of the Python package: its surfaces as the parts of one model.
struct Solid {
  tricut::Model model;
};

/// (n, 3) finite float coordinates (integers accepted) as points; what
/// names the argument in messages. Raises ValueError.
std::vector<KRO::G3D_DVertex> PointsFrom(py::handle obj, const char* what);
/// (k, 2) finite plan points, at least two.
std::vector<D_DOT> PolylineFrom(py::handle obj, const char* what);

/// The host surface of a Surface built from arrays (see the Python
/// docstring of Surface for shapes and dtypes).
tricut::Part MakePart(py::handle points, py::handle triangles, const std::string& material,
                      py::handle colours, py::handle normals, py::handle uvs,
                      const std::string& name);

/// Read-only (n, 3) float64 view of the points; owner keeps them alive.
py::array PointsView(const C3DSurface& s, py::handle owner);
/// (m, 3) int64 copy of the triangles.
py::array TrianglesCopy(const C3DSurface& s);
/// float32 copies of the per-point decorations, or None when absent.
py::object ColoursCopy(const C3DSurface& s);
py::object NormalsCopy(const C3DSurface& s);
py::object UvsCopy(const C3DSurface& s);

}  // namespace kpy
