// The compiled part of the Python package `kromesh`: surfaces and solids
// over NumPy arrays, model files, cuts, point queries, measurements and
// pictures. Every cut and query runs with the GIL released, on copies of
// the models taken while it was held.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "Arrays.h"
#include "Cli.h"
#include "Cuts.h"
#include "Errors.h"
#include "IOUtil.h"
#include "Measure.h"
#include "ModelIO.h"
#include "Render.h"
#include "kromesh/math/CMathFunCls.h"

namespace py = pybind11;
using kpy::Solid;
using kpy::Surface;

namespace {

// A failure reported by the library or by the cut around it.
struct CutError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

tricut::Model ModelOfSurface(const Surface& s) {
  tricut::Model m;
  m.name = s.part.name;
  m.parts.push_back(s.part);
  return m;
}

// A Surface or Solid argument as a model (a copy: the work below runs
// without the GIL, so it must not read Python-owned objects).
tricut::Model ModelOf(py::object obj, const char* what) {
  if (py::isinstance<Surface>(obj)) return ModelOfSurface(obj.cast<const Surface&>());
  if (py::isinstance<Solid>(obj)) return obj.cast<const Solid&>().model;
  throw py::type_error(std::string(what) + " must be a kromesh.Surface or kromesh.Solid, not " +
                       std::string(py::str(obj.get_type().attr("__name__"))));
}

Surface SurfaceOfModel(const tricut::Model& m) {
  Surface s;
  if (m.parts.size() == 1) {
    s.part = m.parts[0];
  } else {
    s.part.surface = tricut::ToSurface(m);
    s.part.deco.m_materialName = s.part.surface.GetMaterialName();
  }
  s.part.name = m.name;
  return s;
}

py::object Wrap(tricut::Model m, bool solid) {
  if (solid) return py::cast(Solid{std::move(m)});
  return py::cast(SurfaceOfModel(m));
}

void RequireSolid(const tricut::Model& m, const std::string& what) {
  const tricut::Topology t = tricut::AnalyseTopology(m);
  if (!t.Closed())
    throw std::invalid_argument(
        what + " is not a closed solid (" + std::to_string(t.boundaryEdges) + " open edges, " +
        std::to_string(t.nonManifoldEdges) + " edges shared by more than two triangles)");
}

void RequireTriangles(const tricut::Model& m, const std::string& what) {
  if (m.Empty()) throw std::invalid_argument(what + " has no triangles");
}

tricut::CutSettings Settings(std::pair<bool, bool> split, py::object precision) {
  tricut::CutSettings s;
  s.splitFirst = split.first;
  s.splitSecond = split.second;
  if (!precision.is_none()) {
    s.precision = precision.cast<double>();
    if (!(s.precision > 0 && s.precision < 1))
      throw py::value_error("precision must lie strictly between 0 and 1");
  }
  return s;
}

// Runs f without the GIL; the tool's errors become CutError.
template <typename F>
auto Released(F&& f) {
  py::gil_scoped_release release;
  try {
    return f();
  } catch (const tricut::ToolError& e) {
    throw CutError(e.what());
  }
}

py::tuple Pieces(std::vector<tricut::Piece>&& pieces, const std::vector<bool>& solid) {
  py::tuple out(pieces.size());
  for (size_t i = 0; i < pieces.size(); ++i) out[i] = Wrap(std::move(pieces[i].model), solid[i]);
  return out;
}

std::string NameOr(const tricut::Model& m, const char* fallback) {
  return m.name.empty() ? fallback : m.name;
}

// ---------------------------------------------------------------------------

py::tuple Cut(py::object a, py::object b, std::pair<bool, bool> split, py::object precision,
              bool cutFaces) {
  tricut::Model ma = ModelOf(a, "a"), mb = ModelOf(b, "b");
  const tricut::CutSettings s0 = Settings(split, precision);
  const bool solidA = py::isinstance<Solid>(a), solidB = py::isinstance<Solid>(b);
  std::vector<tricut::Piece> pieces = Released([&] {
    tricut::CutSettings s = s0;
    s.cutFaces = cutFaces && solidA != solidB;
    const std::string an = NameOr(ma, "a"), bn = NameOr(mb, "b");
    RequireTriangles(ma, an);
    RequireTriangles(mb, bn);
    if (solidA) RequireSolid(ma, an);
    if (solidB) RequireSolid(mb, bn);
    std::vector<tricut::Piece> p;
    if (!solidA && !solidB) {
      p = tricut::CutSurfaces(ma, an, mb, bn, s);
    } else if (solidA && !solidB) {
      p = tricut::CutSolidBySurface(ma, an, mb, bn, s);
    } else if (!solidA && solidB) {
      auto q = tricut::CutSolidBySurface(mb, bn, ma, an, s);
      p = {q[2], q[3], q[0], q[1]};  // the first model's pieces first
    } else {
      p = tricut::CutSolids(ma, an, mb, bn, s);
    }
    tricut::TidyPieces(p);
    return p;
  });
  return Pieces(std::move(pieces), {solidA, solidA, solidB, solidB});
}

py::tuple Curtain(const Surface& surface, py::object polyline, py::object precision) {
  const std::vector<D_DOT> line = kpy::PolylineFrom(polyline, "polyline");
  tricut::Model m = ModelOfSurface(surface);
  const tricut::CutSettings s = Settings({true, true}, precision);
  auto pieces = Released([&] {
    RequireTriangles(m, NameOr(m, "surface"));
    auto p = tricut::CutByCurtain(m, NameOr(m, "surface"), line, s);
    tricut::TidyPieces(p);
    return p;
  });
  return Pieces(std::move(pieces), {false, false});
}

int OpCode(const std::string& op) {
  static const std::pair<const char*, int> kOps[] = {
      {"union", 1}, {"intersection", 2}, {"a-minus-b", 3}, {"b-minus-a", 4}, {"a-outside", 5}};
  for (const auto& o : kOps)
    if (op == o.first) return o.second;
  throw py::value_error("unknown operation '" + op +
                        "' (union, intersection, a-minus-b, b-minus-a or a-outside)");
}

Solid Boolean(const Solid& a, const Solid& b, const std::string& op, bool keepOrientation,
              py::object name) {
  const int code = OpCode(op);
  const std::string resultName = name.is_none() ? op : name.cast<std::string>();
  tricut::Model ma = a.model, mb = b.model;
  return Released([&] {
    RequireSolid(ma, NameOr(ma, "a"));
    RequireSolid(mb, NameOr(mb, "b"));
    Solid r{tricut::BooleanOf(ma, mb, code, !keepOrientation)};
    // Named like the tool names a result file's model and its surfaces.
    r.model.name = resultName;
    for (size_t i = 0; i < r.model.parts.size(); ++i)
      r.model.parts[i].name = r.model.name + "_" + std::to_string(i + 1);
    return r;
  });
}

py::tuple Split6(const Solid& a, const Solid& b, bool keepOrientation) {
  tricut::Model ma = a.model, mb = b.model;
  auto pieces = Released([&] {
    RequireSolid(ma, NameOr(ma, "a"));
    RequireSolid(mb, NameOr(mb, "b"));
    auto p = tricut::SplitSix(ma, NameOr(ma, "a"), mb, NameOr(mb, "b"), !keepOrientation);
    tricut::TidyPieces(p, !keepOrientation);
    return p;
  });
  return Pieces(std::move(pieces), std::vector<bool>(6, true));
}

py::array_t<int8_t> ToArray(const std::vector<int8_t>& v) {
  py::array_t<int8_t> out(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), out.mutable_data());
  return out;
}

py::array_t<int8_t> Inside(py::object points, const Solid& solid) {
  const auto pts = kpy::PointsFrom(points, "points");
  tricut::Model m = solid.model;
  return ToArray(Released([&] {
    RequireSolid(m, NameOr(m, "solid"));
    return tricut::LocatePointsInSolid(m, pts);
  }));
}

py::array_t<int8_t> Side(py::object points, py::object surface) {
  const auto pts = kpy::PointsFrom(points, "points");
  tricut::Model m = ModelOf(surface, "surface");
  return ToArray(Released([&] { return tricut::SidesOfSurface(m, pts); }));
}

py::object Read(const std::string& path, const std::string& kind) {
  if (kind != "auto" && kind != "solid" && kind != "surface")
    throw py::value_error("kind must be 'auto', 'solid' or 'surface'");
  if (!std::ifstream(path)) {
    errno = ENOENT;
    PyErr_SetFromErrnoWithFilename(PyExc_FileNotFoundError, path.c_str());
    throw py::error_already_set();
  }
  tricut::Model m;
  bool closed = false;
  {
    py::gil_scoped_release release;
    try {
      m = tricut::ReadModel(path);
      closed = kind == "solid" || (kind == "auto" && !m.Empty() && tricut::IsClosed(m));
    } catch (const tricut::ToolError& e) {
      throw std::invalid_argument(e.what());
    }
  }
  return Wrap(std::move(m), closed);
}

void Write(const std::string& path, py::object model, py::object binary) {
  tricut::Model m = ModelOf(model, "model");
  tricut::Encoding enc = tricut::Encoding::Default;
  if (!binary.is_none())
    enc = binary.cast<bool>() ? tricut::Encoding::Binary : tricut::Encoding::Ascii;
  py::gil_scoped_release release;
  try {
    tricut::FormatOfPath(path);
    if (m.name.empty()) m.name = tricut::Stem(path);
    tricut::WriteModel(path, m, enc);
  } catch (const tricut::ToolError& e) {
    throw std::invalid_argument(e.what());
  }
}

py::dict CutFill(const Surface& surface, double z) {
  if (!std::isfinite(z)) throw py::value_error("z must be finite");
  tricut::Model m = ModelOfSurface(surface);
  const tricut::VolumeReport r = Released([&] { return tricut::MeasureVolume(m, z); });
  py::dict d;
  d["cut"] = r.cutVolume;
  d["fill"] = r.fillVolume;
  d["plan_area"] = r.planArea;
  d["surface_area"] = r.surfaceArea;
  d["plan_area_above"] = r.planAreaAbove;
  d["plan_area_below"] = r.planAreaBelow;
  return d;
}

py::object Clean(py::object model) {
  tricut::Model m = ModelOf(model, "model");
  const bool solid = py::isinstance<Solid>(model);
  Released([&] {
    for (auto& part : m.parts) {
      CMathFunCls::RemoveRepeatedPnt(part.surface);
      tricut::DropUnusedPoints(part);  // the clean-up keeps the points of dropped triangles
    }
    std::vector<tricut::Part> kept;
    for (auto& p : m.parts)
      if (p.surface.GetTriangleCount() > 0) kept.push_back(std::move(p));
    m.parts = std::move(kept);
    return 0;
  });
  return Wrap(std::move(m), solid);
}

void Render(const std::string& path, py::object models, py::object labels, std::pair<int, int> size,
            double azimuth, double elevation, double zscale, double explode,
            const std::string& title, bool legend) {
  std::vector<tricut::Model> ms;
  if (py::isinstance<Surface>(models) || py::isinstance<Solid>(models)) {
    ms.push_back(ModelOf(models, "models"));
  } else {
    for (py::handle h : models)
      ms.push_back(ModelOf(py::reinterpret_borrow<py::object>(h), "every model"));
  }
  std::vector<std::string> names;
  if (!labels.is_none()) names = labels.cast<std::vector<std::string>>();
  if (!names.empty() && names.size() != ms.size())
    throw py::value_error("labels must name every model (" + std::to_string(ms.size()) + ")");
  if (size.first < 16 || size.second < 16 || size.first > 20000 || size.second > 20000)
    throw py::value_error("size must lie between 16 and 20000 pixels per side");
  for (double v : {azimuth, elevation, zscale, explode})
    if (!std::isfinite(v)) throw py::value_error("view settings must be finite");
  tricut::RenderOptions opt;
  opt.width = size.first;
  opt.height = size.second;
  opt.azimuth = azimuth;
  opt.elevation = elevation;
  opt.zScale = zscale;
  opt.explode = explode;
  opt.title = title;
  opt.legend = legend;
  Released([&] {
    std::vector<tricut::RenderItem> items;
    for (size_t i = 0; i < ms.size(); ++i)
      items.push_back(
          {names.empty() ? NameOr(ms[i], "model") : names[i], &ms[i], tricut::PaletteColour(i)});
    tricut::WritePng(path, tricut::RenderScene(items, opt));
    return 0;
  });
}

std::string Repr(const char* kind, const tricut::Model& m) {
  return "<kromesh." + std::string(kind) + " '" + m.name + "': " + std::to_string(m.parts.size()) +
         " surfaces, " + std::to_string(m.PointCount()) + " points, " +
         std::to_string(m.TriangleCount()) + " triangles>";
}

}  // namespace

PYBIND11_MODULE(_kromesh, m) {
  m.doc() = "Compiled core of the kromesh package; use `import kromesh`.";
  py::register_exception<CutError>(m, "CutError", PyExc_RuntimeError);

  py::class_<Surface>(m, "Surface", R"(A triangulated surface: points, triangles, material and
optional per-point colours, normals and texture coordinates.

Surface(points, triangles, material="", colours=None, normals=None, uvs=None, name="")

points     (n, 3) array of numbers, stored as float64; every value finite.
triangles  (m, 3) array of integers, stored as int64: 0-based point indices,
           counter-clockwise seen from the side the surface faces.
colours    (n, 4) or (n, 3) RGB(A) in 0..1 (alpha 1 when left out), float32.
normals    (n, 3), float32.   uvs  (n, 2) texture coordinates, float32.

The arrays are copied into the library's host surface (C3DSurface); a
wrong shape or dtype, an index out of range or a value that is not finite
raises ValueError.)")
      .def(py::init([](py::object p, py::object t, const std::string& mat, py::object c,
                       py::object n, py::object u, const std::string& name) {
             return Surface{kpy::MakePart(p, t, mat, c, n, u, name)};
           }),
           py::arg("points"), py::arg("triangles"), py::arg("material") = "",
           py::arg("colours") = py::none(), py::arg("normals") = py::none(),
           py::arg("uvs") = py::none(), py::arg("name") = "")
      .def_property_readonly(
          "points",
          [](py::object self) {
            return kpy::PointsView(self.cast<const Surface&>().part.surface, self);
          },
          "(n, 3) float64, a read-only VIEW of the surface's points (no copy; it keeps the "
          "surface alive).")
      .def_property_readonly(
          "triangles", [](const Surface& s) { return kpy::TrianglesCopy(s.part.surface); },
          "(m, 3) int64, a COPY of the triangles' point indices.")
      .def_property_readonly(
          "colours", [](const Surface& s) { return kpy::ColoursCopy(s.part.surface); },
          "(n, 4) float32 COPY of the per-point colours, or None.")
      .def_property_readonly(
          "normals", [](const Surface& s) { return kpy::NormalsCopy(s.part.surface); },
          "(n, 3) float32 COPY of the per-point normals, or None.")
      .def_property_readonly(
          "uvs", [](const Surface& s) { return kpy::UvsCopy(s.part.surface); },
          "(n, 2) float32 COPY of the texture coordinates (stage 0), or None.")
      .def_property(
          "material", [](const Surface& s) { return s.part.surface.GetMaterialName(); },
          [](Surface& s, const std::string& v) {
            s.part.surface.SetMaterialName(v);
            s.part.deco.m_materialName = v;
          },
          "Material name.")
      .def_property(
          "name", [](const Surface& s) { return s.part.name; },
          [](Surface& s, const std::string& v) { s.part.name = v; },
          "Name: labels the pieces of cuts and the parts of written files.")
      .def_property_readonly("n_points",
                             [](const Surface& s) { return s.part.surface.GetPointNum(); })
      .def_property_readonly("n_triangles",
                             [](const Surface& s) { return s.part.surface.GetTriangleCount(); })
      .def(
          "copy", [](const Surface& s) { return s; }, "An independent copy.")
      .def("__repr__", [](const Surface& s) { return Repr("Surface", ModelOfSurface(s)); });

  py::class_<Solid>(m, "Solid",
                    R"(A solid: closed triangulated surfaces that together bound a volume
(the host's C3DEntity). Solid(surfaces, name="") copies the given Surfaces.)")
      .def(py::init([](const std::vector<Surface>& surfaces, const std::string& name) {
             Solid s;
             s.model.name = name;
             for (const auto& f : surfaces) s.model.parts.push_back(f.part);
             return s;
           }),
           py::arg("surfaces"), py::arg("name") = "")
      .def_property_readonly(
          "surfaces",
          [](const Solid& s) {
            std::vector<Surface> out;
            for (const auto& p : s.model.parts) out.push_back(Surface{p});
            return out;
          },
          "List of COPIES of the solid's surfaces.")
      .def_property(
          "name", [](const Solid& s) { return s.model.name; },
          [](Solid& s, const std::string& v) { s.model.name = v; }, "Name.")
      .def_property_readonly("n_points", [](const Solid& s) { return s.model.PointCount(); })
      .def_property_readonly("n_triangles", [](const Solid& s) { return s.model.TriangleCount(); })
      .def(
          "merged", [](const Solid& s) { return SurfaceOfModel(s.model); },
          "All surfaces as one Surface (decorations kept where every surface has them).")
      .def("__len__", [](const Solid& s) { return s.model.parts.size(); })
      .def(
          "copy", [](const Solid& s) { return s; }, "An independent copy.")
      .def("__repr__", [](const Solid& s) { return Repr("Solid", s.model); });

  m.def("read", &Read, py::arg("path"), py::arg("kind") = "auto",
        R"(Reads a model file (.obj .ply .stl .off .ts). kind="auto" gives a Solid when the
model is closed and a Surface (its parts merged) otherwise; "solid" or "surface"
forces one. Raises FileNotFoundError, or ValueError for a malformed file.)");
  m.def("write", &Write, py::arg("path"), py::arg("model"), py::arg("binary") = py::none(),
        R"(Writes a Surface or Solid; the format follows the extension. binary=None writes
PLY binary and STL ASCII (True/False force the encoding). Written to a temporary
file and renamed, so a failure never leaves a half-written file.)");
  m.def("cut", &Cut, py::arg("a"), py::arg("b"), py::arg("split") = std::make_pair(true, true),
        py::arg("precision") = py::none(), py::arg("cut_faces") = false,
        R"(Cuts a and b by each other; returns (a_side1, a_side2, b_side1, b_side2).
Side 1 lies behind a cutting surface or outside a cutting solid. Surfaces
give Surface pieces, solids Solid pieces (with cut_faces, a solid cut by a
surface is closed by the cut face). split=(False, ...) keeps that model whole,
re-triangulated along the cut lines. precision: data precision, 0 < p < 1,
default 0.001. The GIL is released during the cut.)");
  m.def(
      "cut_solid",
      [](const Solid& s, const Surface& f, bool cutFaces, py::object precision) {
        return Cut(py::cast(s), py::cast(f), {true, true}, precision, cutFaces);
      },
      py::arg("solid"), py::arg("surface"), py::arg("cut_faces") = true,
      py::arg("precision") = py::none(),
      R"(A closed solid cut by a surface: (solid_side1, solid_side2, surface_outside,
surface_inside). With cut_faces each solid piece is closed by the part of the
surface inside the solid, in the solid's material, facing outwards.)");
  m.def("curtain", &Curtain, py::arg("surface"), py::arg("polyline"),
        py::arg("precision") = py::none(),
        R"(Cuts a surface by the vertical curtain over a plan polyline ((k, 2) array):
returns (right, left), seen walking from the polyline's first point.)");
  m.def("boolean", &Boolean, py::arg("a"), py::arg("b"), py::arg("op"),
        py::arg("keep_orientation") = false, py::arg("name") = py::none(),
        R"(One Boolean of two closed solids: op is "union", "intersection", "a-minus-b",
"b-minus-a" or "a-outside". Surfaces facing into the result are turned round
unless keep_orientation. The result is named name (default: op), its surfaces
name_1, name_2, ...)");
  m.def("split6", &Split6, py::arg("a"), py::arg("b"), py::arg("keep_orientation") = false,
        R"(The six-output cut of two closed solids: (o1 b's part inside a, o2 a minus b,
o3 common part in a's material, o4 in b's material, o5 a's part inside b,
o6 b minus a).)");
  m.def("inside", &Inside, py::arg("points"), py::arg("solid"),
        "Points (n, 3) against a closed solid: int8 array, 1 inside, 0 on the boundary, "
        "-1 outside.");
  m.def("side", &Side, py::arg("points"), py::arg("surface"),
        "Points (n, 3) against a surface: int8 array, 1 on the side its triangles face, -1 "
        "behind, 0 in the plane of the deciding triangle, -2 when no triangle sees the point.");
  m.def(
      "area",
      [](py::object model) {
        tricut::Model mm = ModelOf(model, "model");
        return Released([&] { return tricut::SurfaceArea(mm); });
      },
      py::arg("model"), "Total 3D area of the triangles.");
  m.def(
      "volume",
      [](const Solid& s) {
        tricut::Model mm = s.model;
        return Released([&] {
          RequireSolid(mm, NameOr(mm, "solid"));
          return tricut::SignedVolume(mm);
        });
      },
      py::arg("solid"),
      "Enclosed volume of a closed solid (negative when its triangles face inwards).");
  m.def(
      "is_closed",
      [](py::object model) {
        tricut::Model mm = ModelOf(model, "model");
        return Released([&] { return !mm.Empty() && tricut::IsClosed(mm); });
      },
      py::arg("model"), "True when every edge (points welded within 1e-6) has two triangles.");
  m.def("cut_fill", &CutFill, py::arg("surface"), py::arg("z"),
        R"(Cut and fill of a surface against the level z: dict with cut (material above z),
fill (space below z), plan_area, surface_area, plan_area_above, plan_area_below.)");
  m.def("clean", &Clean, py::arg("model"),
        R"(A cleaned copy: points closer than 0.001 on every axis merged, degenerate
triangles (area below 0.01) and unused points dropped, empty surfaces removed.)");
  m.def("render", &Render, py::arg("path"), py::arg("models"), py::arg("labels") = py::none(),
        py::arg("size") = std::make_pair(1200, 860), py::arg("azimuth") = 300.0,
        py::arg("elevation") = 28.0, py::arg("zscale") = 1.0, py::arg("explode") = 0.0,
        py::arg("title") = "", py::arg("legend") = true,
        "Draws models (one colour each) into a PNG with the software renderer.");
}
