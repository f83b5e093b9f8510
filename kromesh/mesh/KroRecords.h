// Plain records and enumerations shared by every subsystem.
//
// Every record here is passive data laid out exactly in the order given:
// arrays of them cross the library boundary and are copied byte for byte,
// so no record may gain a hidden member, a virtual function or padding
// that a caller could not predict.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace KRO {

/// 3D point or vector of the whole library (double precision).
struct G3D_DVertex {
  double x, y, z;
};

/// Per-vertex normal as the host stores it (single precision).
struct VECTOR3 {
  float x, y, z;
};

/// Per-vertex colour: red, green, blue, alpha.
struct COLOR4 {
  float r, g, b, a;
  COLOR4() : r(0.f), g(0.f), b(0.f), a(0.f) {}
  COLOR4(float red, float green, float blue, float alpha) : r(red), g(green), b(blue), a(alpha) {}
};

/// Per-vertex texture coordinate.
struct G_TEXCOORD {
  float u, v;
};

}  // namespace KRO

/// 2D point; polylines are arrays of D_DOT with a separate long count.
struct D_DOT {
  double x, y;
};

/// 3D point of the GeoMathPosition routines.
struct D_3DOT {
  double x, y, z;
};

/// One triangle as three 0-based vertex indices; the order gives the facing
/// (right-hand rule). Brace-initialisable as {a, b, c}.
struct C3DTriData {
  long v[3];
};

/// Neighbour triangles (0-based) across the edges v0-v1, v1-v2, v2-v0, in
/// that order; -1 where an edge has no neighbour.
struct C3DTriaTop {
  long n[3];
};

/// Point of the point/net layout. Only x, y, z are read by the library; the
/// attributes are carried untouched (GetFoldLinCurv writes them).
struct KroPntStrcT {
  double x, y, z;
  uint16_t attr;  // 16-bit attribute
  uint8_t flag1;  // first 8-bit attribute
  uint8_t flag2;  // second 8-bit attribute
};

/// Triangle of the point/net layout: 1-based point numbers, then 1-based
/// neighbour numbers (0 = none) in the edge order of C3DTriaTop, then two
/// 8-bit attributes the library never reads.
struct KroNetStrcT {
  long pnt[3];
  long adj[3];
  uint8_t flag1;
  uint8_t flag2;
};

/// Axis-aligned 2D box.
struct tctagD2ConvexBox {
  double xmin, xmax, ymin, ymax;
};

/// Axis-aligned 3D box.
struct tctagD3ConvexBox {
  double xmin, xmax, ymin, ymax, zmin, zmax;
};

/// Minimum and maximum of a box before its first point (the largest
/// single-precision value rounded to seven digits).
constexpr double KRO_EMPTY_BOX_MIN = 3.402823e+38;
constexpr double KRO_EMPTY_BOX_MAX = -3.402823e+38;

/// An empty 3D box, as the box builders start it.
inline tctagD3ConvexBox KroEmptyD3Box() {
  return {KRO_EMPTY_BOX_MIN, KRO_EMPTY_BOX_MAX, KRO_EMPTY_BOX_MIN,
          KRO_EMPTY_BOX_MAX, KRO_EMPTY_BOX_MIN, KRO_EMPTY_BOX_MAX};
}
/// An empty 2D box.
inline tctagD2ConvexBox KroEmptyD2Box() {
  return {KRO_EMPTY_BOX_MIN, KRO_EMPTY_BOX_MAX, KRO_EMPTY_BOX_MIN, KRO_EMPTY_BOX_MAX};
}

/// Kind of a model taking part in a cut.
enum Kro_Mesh_Type : int32_t {
  Kro_Mesh_Plane = 1,
  Kro_Mesh_Surface = 2,
  Kro_Mesh_Entity = 3,
  Kro_Mesh_FreeSurface = 4,
};

/// How the cut model's triangles are divided into two sides. Other values
/// classify nothing.
enum Kro_Split_Type : int32_t {
  Kro_Split_ByMesh = 1,
  Kro_Split_ByLongestLine = 2,
  Kro_Split_ByInterDots = 3,
};

/// Which model of a pair is cut; every value other than 1 acts as 2.
enum Kro_Mesh_Cut_SORT : int32_t {
  Kro_Cut_First = 1,
  Kro_Cut_Second = 2,
};

/// Pieces of a solid/solid cut gathered into one result solid.
enum Kro_Mesh_Cut_Oper_Type : int32_t {
  Kro_Oper_Union = 1,
  Kro_Oper_Intersect = 2,
  Kro_Oper_FirstMinusSecond = 3,
  Kro_Oper_SecondMinusFirst = 4,
  Kro_Oper_FirstOutside = 5,
};

/// Classified side copied out by GetOneSideTile; any value other than 1
/// acts as 2.
enum Kro_Mesh_Remain_Side : int32_t {
  Kro_Remain_Side1 = 1,
  Kro_Remain_Side2 = 2,
};

/// Default tolerances (absolute, compared per coordinate and strictly).
constexpr double KRO_TOL_POINT = 1e-06;          // point coincidence
constexpr double KRO_TOL_UNIT = 1e-05;           // unit directions, angle sums
constexpr double KRO_TOL_2D = 1e-07;             // 2D points
constexpr double KRO_TOL_NORMAL = 1e-08;         // equal unit normals
constexpr double KRO_TOL_PLANE = 0.001;          // point on plane, point merging
constexpr double KRO_TOL_GEOPOS_2D = 0.01;       // 2D tests of GeoMathPosition
constexpr double KRO_TOL_FOLDLINE = 0.0001;      // fold-line tests
constexpr double KRO_DEFAULT_PRECISION = 0.001;  // data precision of a cut
constexpr double KRO_DEFAULT_TEX_SCALE_U = 0.00025;
constexpr double KRO_DEFAULT_TEX_SCALE_V = 0.015;

#define KRO_PLAIN_RECORD(T)                                                        \
  static_assert(std::is_standard_layout<T>::value, #T " must be standard-layout"); \
  static_assert(std::is_trivially_copyable<T>::value, #T " must be trivially copyable")

KRO_PLAIN_RECORD(KRO::G3D_DVertex);
KRO_PLAIN_RECORD(KRO::VECTOR3);
KRO_PLAIN_RECORD(KRO::COLOR4);
KRO_PLAIN_RECORD(KRO::G_TEXCOORD);
KRO_PLAIN_RECORD(D_DOT);
KRO_PLAIN_RECORD(D_3DOT);
KRO_PLAIN_RECORD(C3DTriData);
KRO_PLAIN_RECORD(C3DTriaTop);
KRO_PLAIN_RECORD(KroPntStrcT);
KRO_PLAIN_RECORD(KroNetStrcT);
KRO_PLAIN_RECORD(tctagD2ConvexBox);
KRO_PLAIN_RECORD(tctagD3ConvexBox);
#undef KRO_PLAIN_RECORD

static_assert(sizeof(KRO::G3D_DVertex) == 24, "three doubles");
static_assert(sizeof(D_DOT) == 16 && sizeof(D_3DOT) == 24, "plain points");
static_assert(sizeof(KRO::VECTOR3) == 12 && sizeof(KRO::COLOR4) == 16 &&
                  sizeof(KRO::G_TEXCOORD) == 8,
              "host attribute records");
static_assert(sizeof(C3DTriData) == 3 * sizeof(long) && sizeof(C3DTriaTop) == 3 * sizeof(long),
              "triangle records are three longs");
static_assert(sizeof(KroPntStrcT) == 32, "three doubles and an 8-byte attribute field");
static_assert(sizeof(tctagD2ConvexBox) == 32 && sizeof(tctagD3ConvexBox) == 48, "boxes");
static_assert(sizeof(Kro_Mesh_Type) == 4 && sizeof(Kro_Split_Type) == 4, "32-bit enumerations");
static_assert(offsetof(KroPntStrcT, z) == 16 && offsetof(KroPntStrcT, attr) == 24 &&
                  offsetof(KroPntStrcT, flag1) == 26 && offsetof(KroPntStrcT, flag2) == 27,
              "point record fields in the exchange order");
static_assert(offsetof(KroNetStrcT, adj) == 3 * sizeof(long) &&
                  offsetof(KroNetStrcT, flag1) == 6 * sizeof(long),
              "net record: points, neighbours, flags");
static_assert(offsetof(tctagD3ConvexBox, xmax) == 8 && offsetof(tctagD3ConvexBox, zmax) == 40,
              "box fields min, max per axis");
// Callers store these values in files: they never change.
static_assert(Kro_Mesh_Plane == 1 && Kro_Mesh_FreeSurface == 4 && Kro_Split_ByInterDots == 3 &&
                  Kro_Cut_Second == 2 && Kro_Oper_FirstOutside == 5 && Kro_Remain_Side2 == 2,
              "stored enumeration values");
