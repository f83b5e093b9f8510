// The tool's in-memory model: a named list of host surfaces.
//
// A model read from a file keeps one part per group, object, solid block or
// TFACE of the file; each part is a host surface with its own points,
// per-vertex decorations (colours, normals, texture stage 0), triangles and
// material. The same model becomes a solid (C3DEntity, one surface per
// part) or a single surface (the parts merged) depending on what a command
// needs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"

namespace tricut {

/// One surface of a model with the name it had in its file.
struct Part {
  std::string name;
  C3DSurface surface{-1, 0};
  CSurfaceDecorationObj deco;
};

/// A model: parts in file order.
struct Model {
  std::string name;
  std::vector<Part> parts;

  long PointCount() const;
  long TriangleCount() const;
  bool Empty() const { return TriangleCount() == 0; }
};

/// Axis-aligned box of a model or a list of points; valid is false when
/// there is no point.
struct Box3 {
  double lo[3] = {0, 0, 0};
  double hi[3] = {0, 0, 0};
  bool valid = false;
  void Add(const KRO::G3D_DVertex& p);
  void Add(const Box3& other);
  bool Overlaps(const Box3& other, double tol) const;
  KRO::G3D_DVertex Centre() const;
  double Diagonal() const;
};

Box3 BoxOf(const Model& m);
Box3 BoxOf(const C3DSurface& s);

/// Edge structure of a model after welding points closer than tol (so that
/// surfaces of a solid meet even though each keeps its own copies of the
/// shared points).
struct Topology {
  long weldedPoints = 0;
  long edges = 0;
  long boundaryEdges = 0;     // used by one triangle
  long nonManifoldEdges = 0;  // used by three or more
  long misorientedEdges = 0;  // used twice in the same direction
  long degenerateTriangles = 0;
  long components = 0;
  /// Every edge shared by exactly two triangles.
  bool Closed() const { return edges > 0 && boundaryEdges == 0 && nonManifoldEdges == 0; }
};
Topology AnalyseTopology(const Model& m, double tol = 1e-6);

/// Welding map: index of the first point within tol on every axis for each
/// point (grid hashing, so linear in the point count).
std::vector<long> WeldPoints(const std::vector<KRO::G3D_DVertex>& pts, double tol);

/// Area of all triangles (true 3D area) and, for a closed model, the
/// enclosed volume (divergence theorem, signed by the orientation).
double SurfaceArea(const Model& m);
double SurfaceArea(const C3DSurface& s);
double SignedVolume(const Model& m);

/// The model as a solid: one host surface per part with its decoration.
C3DEntity ToEntity(const Model& m);
/// The model's parts merged into one host surface. A decoration kind
/// (colours, normals, texture stage 0) is kept only when every part with
/// points has one value per point; the material is the first part's.
C3DSurface ToSurface(const Model& m);
/// Models from host objects; parts are named prefix, prefix_1, ... .
Model FromEntity(const C3DEntity& e, const std::string& name);
Model FromSurface(const C3DSurface& s, const std::string& name);

/// A host surface from plain arrays; decorations are taken when they hold
/// one value per point (empty vectors leave that kind out).
C3DSurface MakeSurface(const std::vector<KRO::G3D_DVertex>& pts,
                       const std::vector<C3DTriangle>& tris, const std::string& material = "",
                       const std::vector<KRO::COLOR4>& colours = {},
                       const std::vector<KRO::VECTOR3>& normals = {},
                       const std::vector<KRO::G_TEXCOORD>& texcoords = {});

/// Triangles of a surface as a vector (copies).
std::vector<C3DTriangle> TrianglesOf(const C3DSurface& s);

/// Removes the points of a part that no triangle uses (with their
/// decorations); returns how many went.
long DropUnusedPoints(Part& part);

/// Flips every triangle of every part (exchanges the second and third
/// index), for models that face inwards.
void FlipOrientation(Model& m);

/// Makes the triangles of one surface agree with their neighbours: in each
/// connected patch the facing that most of its area has wins and the other
/// triangles are turned. Returns the number of triangles turned.
long OrientTriangles(Part& part, double tol = 1e-6);

/// Makes the surfaces of a solid agree on their facing: first each surface
/// on its own (OrientTriangles), then surfaces that meet
/// a neighbour along edges running the same way are turned round (each
/// surface as a whole), and when the enclosed volume comes out negative
/// every surface is turned. Returns the number of surfaces turned (whole
/// surfaces; triangles turned inside a surface are not counted).
long OrientSurfaces(Model& m, double tol = 1e-6);

/// Makes every connected component of a model agree on its facing,
/// triangle by triangle across all parts (a cut face and the piece it
/// closes are one component): a closed component is turned to face out
/// (positive volume), or in when it lies inside an odd number of the other
/// closed components (a cavity), an open one to the facing that most of its
/// area has.
/// Returns the number of triangles turned.
long OrientPiece(Model& m, double tol = 1e-6);

/// Polylines along the edges that lie on the open boundary of both a and
/// b (after welding within tol): the cut lines between the two sides of a
/// cut model. Each line is a list of points; a closed line repeats its
/// first point at the end.
std::vector<std::vector<KRO::G3D_DVertex>> SharedBoundaryLines(const Model& a, const Model& b,
                                                               double tol = 1e-6);

/// Throws ToolError when a coordinate is not finite or a triangle index is
/// outside its part's points; where names the file for the message.
void ValidateModel(const Model& m, const std::string& where);

}  // namespace tricut
