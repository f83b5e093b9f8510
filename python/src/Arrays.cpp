#include "Arrays.h"

#include <cmath>
#include <cstring>

namespace kpy {

namespace {

std::string ShapeText(const py::array& a) {
  std::string s = "(";
  for (py::ssize_t i = 0; i < a.ndim(); ++i) s += (i ? ", " : "") + std::to_string(a.shape(i));
  return s + (a.ndim() == 1 ? ",)" : ")");
}

// The object as an array of shape (n, cols) (cols2 also accepted when not
// 0) whose dtype kind is one of kinds; converted to T, C-contiguous.
template <typename T>
py::array_t<T, py::array::c_style | py::array::forcecast> Checked(py::handle obj, const char* what,
                                                                  int cols, int cols2,
                                                                  const char* kinds,
                                                                  const char* kindText) {
  py::array a = py::module_::import("numpy").attr("asarray")(obj);
  const char kind = a.dtype().kind();
  if (std::strchr(kinds, kind) == nullptr)
    throw py::value_error(std::string(what) + " must hold " + kindText + ", not dtype " +
                          std::string(py::str(a.dtype())));
  if (a.ndim() != 2 || (a.shape(1) != cols && a.shape(1) != cols2)) {
    std::string want = "(n, " + std::to_string(cols) + ")";
    if (cols2) want += " or (n, " + std::to_string(cols2) + ")";
    throw py::value_error(std::string(what) + " must have shape " + want + ", not " + ShapeText(a));
  }
  return py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(a);
}

void RequireFinite(const double* v, py::ssize_t n, int cols, const char* what) {
  for (py::ssize_t i = 0; i < n * cols; ++i)
    if (!std::isfinite(v[i]))
      throw py::value_error(std::string(what) + "[" + std::to_string(i / cols) + "] is not finite");
}

template <typename Rec, int Floats>
std::vector<Rec> FloatRecords(py::handle obj, const char* what, long n, int cols, int cols2) {
  auto a = Checked<double>(obj, what, cols, cols2, "fiu", "numbers");
  if (a.shape(0) != n)
    throw py::value_error(std::string(what) + " must have one row per point (" + std::to_string(n) +
                          "), not " + std::to_string(a.shape(0)));
  const int c = static_cast<int>(a.shape(1));
  RequireFinite(a.data(), a.shape(0), c, what);
  std::vector<Rec> out(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) {
    float* f = reinterpret_cast<float*>(&out[static_cast<size_t>(i)]);
    for (int k = 0; k < Floats; ++k) f[k] = k < c ? static_cast<float>(a.at(i, k)) : 1.f;
  }
  return out;
}

template <typename Rec, int Floats>
py::object FloatCopy(const Rec* data, long n) {
  if (data == nullptr || n <= 0) return py::none();
  py::array_t<float> out({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(Floats)});
  std::memcpy(out.mutable_data(), data, sizeof(Rec) * static_cast<size_t>(n));
  return std::move(out);
}

static_assert(sizeof(KRO::COLOR4) == 4 * sizeof(float), "colours are four floats");
static_assert(sizeof(KRO::VECTOR3) == 3 * sizeof(float), "normals are three floats");
static_assert(sizeof(KRO::G_TEXCOORD) == 2 * sizeof(float), "uvs are two floats");
static_assert(sizeof(KRO::G3D_DVertex) == 3 * sizeof(double), "points are three doubles");
static_assert(sizeof(C3DTriangle) == 3 * sizeof(int64_t), "triangles are three int64");

}  // namespace

std::vector<KRO::G3D_DVertex> PointsFrom(py::handle obj, const char* what) {
  auto a = Checked<double>(obj, what, 3, 0, "fiu", "numbers");
  RequireFinite(a.data(), a.shape(0), 3, what);
  std::vector<KRO::G3D_DVertex> pts(static_cast<size_t>(a.shape(0)));
  if (!pts.empty()) std::memcpy(pts.data(), a.data(), pts.size() * sizeof(KRO::G3D_DVertex));
  return pts;
}

std::vector<D_DOT> PolylineFrom(py::handle obj, const char* what) {
  auto a = Checked<double>(obj, what, 2, 0, "fiu", "numbers");
  RequireFinite(a.data(), a.shape(0), 2, what);
  if (a.shape(0) < 2) throw py::value_error(std::string(what) + " needs at least two points");
  std::vector<D_DOT> line(static_cast<size_t>(a.shape(0)));
  for (size_t i = 0; i < line.size(); ++i) line[i] = {a.at(i, 0), a.at(i, 1)};
  return line;
}

tricut::Part MakePart(py::handle points, py::handle triangles, const std::string& material,
                      py::handle colours, py::handle normals, py::handle uvs,
                      const std::string& name) {
  const auto pts = PointsFrom(points, "points");
  const long n = static_cast<long>(pts.size());
  auto t = Checked<int64_t>(triangles, "triangles", 3, 0, "iu", "integers");
  std::vector<C3DTriangle> tris(static_cast<size_t>(t.shape(0)));
  for (size_t i = 0; i < tris.size(); ++i)
    for (int k = 0; k < 3; ++k) {
      const int64_t v = t.at(i, k);
      if (v < 0 || v >= n)
        throw py::value_error("triangles[" + std::to_string(i) + "] holds index " +
                              std::to_string(v) + ", outside the " + std::to_string(n) + " points");
      tris[i].v[k] = static_cast<long>(v);
    }
  std::vector<KRO::COLOR4> cols;
  std::vector<KRO::VECTOR3> norms;
  std::vector<KRO::G_TEXCOORD> tex;
  if (!colours.is_none()) cols = FloatRecords<KRO::COLOR4, 4>(colours, "colours", n, 4, 3);
  if (!normals.is_none()) norms = FloatRecords<KRO::VECTOR3, 3>(normals, "normals", n, 3, 0);
  if (!uvs.is_none()) tex = FloatRecords<KRO::G_TEXCOORD, 2>(uvs, "uvs", n, 2, 0);
  tricut::Part part;
  part.name = name;
  part.surface = tricut::MakeSurface(pts, tris, material, cols, norms, tex);
  part.deco.m_materialName = material;
  return part;
}

py::array PointsView(const C3DSurface& s, py::handle owner) {
  const auto& pts = s.Points();
  py::array_t<double> view({static_cast<py::ssize_t>(pts.size()), py::ssize_t{3}},
                           {3 * sizeof(double), sizeof(double)},
                           reinterpret_cast<const double*>(pts.data()), owner);
  py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return std::move(view);
}

py::array TrianglesCopy(const C3DSurface& s) {
  const auto tris = tricut::TrianglesOf(s);
  py::array_t<int64_t> out({static_cast<py::ssize_t>(tris.size()), py::ssize_t{3}});
  if (!tris.empty()) std::memcpy(out.mutable_data(), tris.data(), tris.size() * sizeof(tris[0]));
  return std::move(out);
}

py::object ColoursCopy(const C3DSurface& s) {
  CVertexDecorationObj d = s.Decoration();
  KRO::COLOR4* c = nullptr;
  long n = 0;
  d.GetColors(&c, &n);
  return FloatCopy<KRO::COLOR4, 4>(c, n);
}

py::object NormalsCopy(const C3DSurface& s) {
  CVertexDecorationObj d = s.Decoration();
  KRO::VECTOR3* v = nullptr;
  long n = 0;
  d.GetNormals(&v, &n);
  return FloatCopy<KRO::VECTOR3, 3>(v, n);
}

py::object UvsCopy(const C3DSurface& s) {
  CVertexDecorationObj d = s.Decoration();
  KRO::G_TEXCOORD* t = nullptr;
  long n = 0;
  d.GetTexcoords(0, &t, &n);
  return FloatCopy<KRO::G_TEXCOORD, 2>(t, n);
}

}  // namespace kpy
