// Object File Format: OFF, COFF (vertex colours), NOFF (normals), CNOFF.
#include <cmath>

#include "Errors.h"
#include "IOUtil.h"
#include "ModelIO.h"
#include "PartBuilder.h"

namespace tricut {

namespace {

// Non-empty lines without comments, with their numbers.
struct OffLines {
  LineReader lr;
  std::string file;
  explicit OffLines(const std::string& data, const std::string& name) : lr(data), file(name) {}
  bool Next(std::vector<std::string_view>& tok) {
    std::string_view line;
    while (lr.Next(line)) {
      const std::size_t hash = line.find('#');
      if (hash != std::string_view::npos) line = line.substr(0, hash);
      tok = Tokens(line);
      if (!tok.empty()) return true;
    }
    return false;
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw ToolError(AtLine(file, lr.LineNo(), what));
  }
  double Num(std::string_view t, const char* what) const {
    double d;
    if (!ParseDouble(t, d)) Fail(std::string("malformed ") + what + " '" + std::string(t) + "'");
    if (!std::isfinite(d)) Fail(std::string(what) + " is not finite");
    return d;
  }
  float Single(std::string_view t, const char* what) const {
    const double d = Num(t, what);
    if (!FitsFloat(d)) Fail(std::string(what) + " is out of single-precision range");
    return static_cast<float>(d);
  }
  long Int(std::string_view t, const char* what) const {
    long v;
    if (!ParseLong(t, v)) Fail(std::string("malformed ") + what + " '" + std::string(t) + "'");
    return v;
  }
};

}  // namespace

Model ReadOff(const std::string& data, const std::string& name) {
  OffLines in(data, name);
  std::vector<std::string_view> tok;
  if (!in.Next(tok)) throw ToolError(name + ": empty file");
  std::string kw(tok[0]);
  bool colours = false, normals = false;
  if (kw == "OFF") {
  } else if (kw == "COFF") {
    colours = true;
  } else if (kw == "NOFF") {
    normals = true;
  } else if (kw == "CNOFF") {
    colours = normals = true;
  } else {
    in.Fail("not an OFF file (first keyword '" + kw + "')");
  }
  tok.erase(tok.begin());
  if (tok.empty() && !in.Next(tok)) in.Fail("missing vertex and face counts");
  if (tok.size() < 2) in.Fail("missing vertex and face counts");
  const long nv = in.Int(tok[0], "vertex count"), nf = in.Int(tok[1], "face count");
  if (nv < 0 || nf < 0) in.Fail("negative count");

  PartBuilder b;
  bool colours255 = false;
  std::vector<KRO::COLOR4> cols;
  const std::size_t need = 3 + (normals ? 3 : 0);
  for (long i = 0; i < nv; ++i) {
    if (!in.Next(tok))
      in.Fail("unexpected end of file: " + std::to_string(i) + " of " + std::to_string(nv) +
              " vertices read");
    if (tok.size() < need + (colours ? 3 : 0)) in.Fail("too few values for a vertex");
    b.pts.push_back({in.Num(tok[0], "x"), in.Num(tok[1], "y"), in.Num(tok[2], "z")});
    if (normals) {
      KRO::VECTOR3 n;
      n.x = in.Single(tok[3], "normal x");
      n.y = in.Single(tok[4], "normal y");
      n.z = in.Single(tok[5], "normal z");
      b.normals.push_back(n);
    }
    if (colours) {
      float c[4] = {0, 0, 0, 1};
      const std::size_t nc = std::min<std::size_t>(tok.size() - need, 4);
      for (std::size_t k = 0; k < nc; ++k) {
        c[k] = in.Single(tok[need + k], "colour");
        // Integer colours (0..255) are the other common convention.
        if (c[k] > 1.f) colours255 = true;
      }
      if (nc == 3) c[3] = -1;  // alpha not given
      cols.emplace_back(c[0], c[1], c[2], c[3]);
    }
  }
  if (colours) {
    for (auto& c : cols) {
      const float s = colours255 ? 1.f / 255.f : 1.f;
      c.r *= s;
      c.g *= s;
      c.b *= s;
      c.a = c.a < 0 ? 1.f : c.a * s;
    }
    b.colours = cols;
  }
  for (long i = 0; i < nf; ++i) {
    if (!in.Next(tok))
      in.Fail("unexpected end of file: " + std::to_string(i) + " of " + std::to_string(nf) +
              " faces read");
    const long n = in.Int(tok[0], "corner count");
    if (n < 3) in.Fail("a face needs at least 3 corners");
    if (static_cast<long>(tok.size()) < n + 1) in.Fail("too few vertex indices for the face");
    std::vector<long> c;
    for (long k = 0; k < n; ++k) {
      const long v = in.Int(tok[k + 1], "vertex index");
      if (v < 0 || v >= nv)
        in.Fail("vertex index " + std::to_string(v) + " out of range (" + std::to_string(nv) +
                " vertices)");
      c.push_back(v);
    }
    for (std::size_t k = 1; k + 1 < c.size(); ++k) b.tris.emplace_back(c[0], c[k], c[k + 1]);
  }
  Model m;
  m.parts.push_back(b.Finish());
  return m;
}

std::string WriteOff(const Model& m) {
  const C3DSurface s = ToSurface(m);
  const Part tmp = [&] {
    Part p;
    p.surface = s;
    return p;
  }();
  const PartArrays a = ArraysOf(tmp);
  const bool colours = !a.colours.empty(), normals = !a.normals.empty();
  std::string out = std::string(colours ? "C" : "") + (normals ? "N" : "") + "OFF\n";
  out += "# written by tricut\n";
  out += std::to_string(a.pts.size()) + " " + std::to_string(a.tris.size()) + " 0\n";
  for (std::size_t i = 0; i < a.pts.size(); ++i) {
    const auto& p = a.pts[i];
    out += Fmt(p.x) + " " + Fmt(p.y) + " " + Fmt(p.z);
    if (normals)
      out += " " + Fmt(a.normals[i].x) + " " + Fmt(a.normals[i].y) + " " + Fmt(a.normals[i].z);
    if (colours) {
      const auto& c = a.colours[i];
      // Always with a decimal point, so that readers take 0..1 values.
      auto f = [](float v) {
        std::string t = Fmt(v);
        if (t.find_first_of(".e") == std::string::npos) t += ".0";
        return t;
      };
      out += " " + f(c.r) + " " + f(c.g) + " " + f(c.b) + " " + f(c.a);
    }
    out += "\n";
  }
  for (const auto& t : a.tris)
    out += "3 " + std::to_string(t.v[0]) + " " + std::to_string(t.v[1]) + " " +
           std::to_string(t.v[2]) + "\n";
  return out;
}

}  // namespace tricut
