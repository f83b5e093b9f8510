#include "Cuts.h"

#include <algorithm>
#include <cmath>

#include "Errors.h"
#include "IOUtil.h"

#include "kromesh/cut/CKroMeshTriCut.h"
#include "kromesh/math/CMathFunCls.h"

namespace tricut {

long TidyPieces(std::vector<Piece>& pieces, bool wholePieces) {
  long turned = 0;
  for (auto& piece : pieces) {
    if (wholePieces) {
      turned += OrientPiece(piece.model);
      continue;
    }
    for (auto& part : piece.model.parts) turned += OrientTriangles(part);
  }
  return turned;
}

double DerivedPrecision(const Model& a, const Model* b) {
  Box3 box = BoxOf(a);
  if (b) box.Add(BoxOf(*b));
  const double p = kPrecisionPerDiagonal * box.Diagonal();
  // The library takes a precision strictly between 0 and 1 only.
  return std::min(std::max(p, 1e-12), 0.5);
}

std::vector<D_DOT> ParsePolyline(const std::string& text) {
  std::string t = text;
  for (char& c : t)
    if (c == ';') c = ' ';
  std::vector<D_DOT> pts;
  for (auto tok : Tokens(t)) {
    const std::size_t comma = tok.find(',');
    double x, y;
    if (comma == std::string_view::npos || !ParseDouble(tok.substr(0, comma), x) ||
        !ParseDouble(tok.substr(comma + 1), y))
      throw ToolError("--polyline: '" + std::string(tok) + "' is not a point x,y");
    if (!std::isfinite(x) || !std::isfinite(y))
      throw ToolError("--polyline: '" + std::string(tok) + "' is not finite");
    pts.push_back({x, y});
  }
  if (pts.size() < 2) throw ToolError("--polyline needs at least two points");
  return pts;
}

namespace {

void Prepare(CKroMeshTriCut& cut, const CutSettings& s, const Model& a, const Model* b) {
  const double p = s.precision != 0 ? s.precision : DerivedPrecision(a, b);
  if (!(p > 0 && p < 1)) throw ToolError("--precision must lie strictly between 0 and 1");
  cut.SetDataPrec(p);
}

// The facade refuses models it cannot cut (empty, not finite, indices past
// the points) and writes nothing then.
void Require(long code) {
  if (code != 1)
    throw ToolError("the cut was refused: a model is empty or has points that are not finite");
}

// Where most of a surface's triangle area lies against the plan polyline:
// 1 left of it, -1 right, 0 undecided or empty.
int SideOfPolyline(const C3DSurface& s, std::vector<D_DOT>& line) {
  const auto& pts = s.Points();
  double left = 0, right = 0;
  for (const auto& t : TrianglesOf(s)) {
    const auto &a = pts[t.v[0]], &b = pts[t.v[1]], &c = pts[t.v[2]];
    D_DOT centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3};
    const double area = std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
    const long r =
        CMathFunCls::Check2dPntAndCurve(&centre, line.data(), static_cast<long>(line.size()));
    if (r == 1) left += area;
    if (r == -1) right += area;
  }
  return left > right ? 1 : right > left ? -1 : 0;
}

Model Named(const C3DSurface& s, const std::string& label) {
  Model m = FromSurface(s, label);
  return m;
}

}  // namespace

std::vector<Piece> CutSurfaces(const Model& a, const std::string& an, const Model& b,
                               const std::string& bn, const CutSettings& s) {
  CKroMeshTriCut cut;
  Prepare(cut, s, a, &b);
  C3DSurface s1 = ToSurface(a), s2 = ToSurface(b);
  C3DSurface o1(-1, 0), o2(-1, 0), o3(-1, 0), o4(-1, 0);
  if (s.splitTypeFirst != 0 && s.splitTypeSecond != 0) {
    Require(cut.CutMdlBetweenMdlF(&s1, &s2, &o1, &o2, &o3, &o4, s.splitFirst, s.splitSecond,
                                  static_cast<Kro_Split_Type>(s.splitTypeFirst),
                                  static_cast<Kro_Split_Type>(s.splitTypeSecond)));
  } else {
    Require(cut.CutMdlBetweenMdl(&s1, &s2, &o1, &o2, &o3, &o4, s.splitFirst, s.splitSecond));
  }
  return {{an + "-side1", Named(o1, an + "-side1")},
          {an + "-side2", Named(o2, an + "-side2")},
          {bn + "-side1", Named(o3, bn + "-side1")},
          {bn + "-side2", Named(o4, bn + "-side2")}};
}

std::vector<Piece> CutSolidBySurface(const Model& solid, const std::string& sn,
                                     const Model& surface, const std::string& fn,
                                     const CutSettings& s) {
  CKroMeshTriCut cut;
  Prepare(cut, s, solid, &surface);
  C3DEntity e = ToEntity(solid);
  C3DSurface f = ToSurface(surface);
  C3DSurface so1(-1, 0), so2(-1, 0);
  C3DEntity eo1(-1, 0), eo2(-1, 0);
  Require(cut.CutMdlBetweenMdl(&e, &f, &so1, &so2, &eo1, &eo2, s.cutFaces));
  // The cut face goes into both pieces as it lies in the cutting surface,
  // so it faces into one of them; TidyPieces turns it with its piece.
  return {{sn + "-side1", FromEntity(eo1, sn + "-side1")},
          {sn + "-side2", FromEntity(eo2, sn + "-side2")},
          {fn + "-outside", Named(so1, fn + "-outside")},
          {fn + "-inside", Named(so2, fn + "-inside")}};
}

std::vector<Piece> CutSolids(const Model& a, const std::string& an, const Model& b,
                             const std::string& bn, const CutSettings& s) {
  CKroMeshTriCut cut;
  Prepare(cut, s, a, &b);
  C3DEntity ea = ToEntity(a), eb = ToEntity(b);
  C3DEntity p1(-1, 0), p2(-1, 0), p3(-1, 0), p4(-1, 0);
  Require(cut.CalMdlBetweenMdl(&ea, &eb, &p1, &p2, &p3, &p4));
  return {{an + "-outside-" + bn, FromEntity(p1, an + "-outside-" + bn)},
          {an + "-inside-" + bn, FromEntity(p2, an + "-inside-" + bn)},
          {bn + "-outside-" + an, FromEntity(p3, bn + "-outside-" + an)},
          {bn + "-inside-" + an, FromEntity(p4, bn + "-inside-" + an)}};
}

std::vector<Piece> CutByCurtain(const Model& a, const std::string& an,
                                const std::vector<D_DOT>& polyline, const CutSettings& s) {
  CKroMeshTriCut cut;
  Prepare(cut, s, a, nullptr);
  std::vector<D_DOT> line = polyline;  // the facade keeps the pointer
  cut.SetPosCheckPolyline(line.data(), static_cast<long>(line.size()));
  C3DSurface s1 = ToSurface(a);
  C3DSurface o1(-1, 0), o2(-1, 0);
  Require(cut.CutMdlBetweenMdl(&s1, nullptr, &o1, &o2, nullptr, nullptr, true, false));
  // Name the sides by where their triangles lie: the cut's side 1 and 2 do
  // not follow the polyline's direction, so each piece is asked.
  const int side1 = SideOfPolyline(o1, line), side2 = SideOfPolyline(o2, line);
  const bool firstIsLeft = side1 > 0 || (side1 == 0 && side2 < 0);
  Model left = Named(firstIsLeft ? o1 : o2, an + "-left");
  Model right = Named(firstIsLeft ? o2 : o1, an + "-right");
  return {{an + "-right", std::move(right)}, {an + "-left", std::move(left)}};
}

Model BooleanOf(const Model& a, const Model& b, int op, bool orient, double precision,
                long* turned) {
  CKroMeshTriCut cut;
  CutSettings s;
  s.precision = precision;
  Prepare(cut, s, a, &b);
  C3DEntity ea = ToEntity(a), eb = ToEntity(b), c(-1, 0);
  Require(cut.CalMdlBetweenMdl(&ea, &eb, &c, static_cast<Kro_Mesh_Cut_Oper_Type>(op)));
  Model m = FromEntity(c, "result");
  long n = 0;
  if (orient && op != Kro_Oper_FirstOutside && !m.Empty()) {
    n = OrientSurfaces(m);
    OrientPiece(m);  // what whole surfaces could not settle
  }
  if (turned) *turned = n;
  return m;
}

std::vector<Piece> SplitSix(const Model& a, const std::string& an, const Model& b,
                            const std::string& bn, bool orient, double precision) {
  CKroMeshTriCut cut;
  CutSettings s;
  s.precision = precision;
  Prepare(cut, s, a, &b);
  C3DEntity ea = ToEntity(a), eb = ToEntity(b);
  C3DEntity o[6] = {C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0),
                    C3DEntity(-1, 0), C3DEntity(-1, 0), C3DEntity(-1, 0)};
  Require(cut.CutMdlBetweenMdl(&ea, &eb, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]));
  const std::string labels[6] = {"o1-" + bn + "-in-" + an,        "o2-" + an + "-minus-" + bn,
                                 "o3-common-" + an + "-material", "o4-common-" + bn + "-material",
                                 "o5-" + an + "-in-" + bn,        "o6-" + bn + "-minus-" + an};
  std::vector<Piece> pieces;
  for (int i = 0; i < 6; ++i) {
    Model m = FromEntity(o[i], labels[i]);
    // o1 and o5 are caps (open); the others enclose a volume.
    if (orient && i != 0 && i != 4 && !m.Empty()) OrientSurfaces(m);
    pieces.push_back({labels[i], std::move(m)});
  }
  return pieces;
}

}  // namespace tricut
