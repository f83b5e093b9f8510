// The tool's cuts, each one call of the library's facade CKroMeshTriCut on
// host objects made from the tool's models, with the pieces handed back as
// models under readable labels.
#pragma once

#include <string>
#include <vector>

#include "Cli.h"
#include "kromesh/mesh/KroRecords.h"

namespace tricut {

struct CutSettings {
  bool splitFirst = true;
  bool splitSecond = true;
  /// Free surface cut with these split types when both are nonzero.
  int splitTypeFirst = 0;
  int splitTypeSecond = 0;
  bool cutFaces = false;
  /// Data precision; 0 derives it from the models (DerivedPrecision).
  double precision = 0;
};

/// Share of the two models' joint box diagonal taken as the data precision
/// when none is given, so that models in kilometres and in millimetres cut
/// alike (the library's own default, 0.001, suits models of about 1000).
constexpr double kPrecisionPerDiagonal = 1e-6;
/// kPrecisionPerDiagonal of the diagonal of the box of a (and b, when
/// given), kept within [1e-12, 0.5] since the library takes only (0, 1).
double DerivedPrecision(const Model& a, const Model* b);

/// Two surfaces, each cut by the other: labels a-side1, a-side2, b-side1,
/// b-side2 (a and b are the names given).
std::vector<Piece> CutSurfaces(const Model& a, const std::string& an, const Model& b,
                               const std::string& bn, const CutSettings& s);
/// A solid and a surface: the solid's two sides (closed by the cut face
/// with cutFaces) and the surface's parts outside and inside the solid.
std::vector<Piece> CutSolidBySurface(const Model& solid, const std::string& sn,
                                     const Model& surface, const std::string& fn,
                                     const CutSettings& s);
/// Two solids: a outside b, a inside b, b outside a, b inside a.
std::vector<Piece> CutSolids(const Model& a, const std::string& an, const Model& b,
                             const std::string& bn, const CutSettings& s);
/// A surface cut by the curtain over a plan polyline: its parts right
/// and left of the polyline (walking from its first point), labelled
/// a-right and a-left.
std::vector<Piece> CutByCurtain(const Model& a, const std::string& an,
                                const std::vector<D_DOT>& polyline, const CutSettings& s);
/// One Boolean combination of two closed solids (op as Kro_Mesh_Cut_Oper_Type).
/// With orient, surfaces that face into the result are turned round.
/// precision as in CutSettings (0: derived).
Model BooleanOf(const Model& a, const Model& b, int op, bool orient, double precision = 0,
                long* turned = nullptr);
/// The six-output cut: o1 .. o6 with descriptive labels.
std::vector<Piece> SplitSix(const Model& a, const std::string& an, const Model& b,
                            const std::string& bn, bool orient, double precision = 0);

/// Turns the triangles of every piece that disagree with their neighbours:
/// with wholePieces each piece as one model (OrientPiece: closed
/// components face out), else each surface on its own (OrientTriangles).
/// Every cut throws ToolError when the library refuses the models.
/// Returns the number of triangles turned.
long TidyPieces(std::vector<Piece>& pieces, bool wholePieces = true);

/// Parses "x1,y1 x2,y2 ..." (also ';' between points); throws ToolError.
std::vector<D_DOT> ParsePolyline(const std::string& text);

}  // namespace tricut
