// The host's geometry mathematics library, as far as the library uses it:
// line against plane, point on a segment, point in a triangle, and 2D
// normalisation. Classes of static functions, no state.
//
// Tolerances of this layer (absolute, compared strictly):
// - 1e-12 on the normalised dot product of a line direction and a plane
//   normal: below it the line counts as parallel;
// - 1e-6 on distances: a point closer than that to a segment, a vertex or
//   an edge lies on it.
#pragma once

#include "kromesh/mesh/KroRecords.h"

namespace KRO {
/// 2D vector or texture coordinate in double precision.
struct G_DTEXCOORD {
  double u, v;
};
}  // namespace KRO

/// Plane a*x + b*y + c*z + d = 0 as four doubles in that order.
struct G3DPLANE {
  double a, b, c, d;
};

static_assert(sizeof(KRO::G_DTEXCOORD) == 16 && sizeof(G3DPLANE) == 32, "plain doubles");

class CMathCheckPosition {
 public:
  CMathCheckPosition() = delete;

  /// Meeting point of the line start + t*dir (t over all reals) with the
  /// plane. Returns 1 and sets *out; 0 when the line is parallel to the
  /// plane (or dir or the plane's normal is a zero vector), out untouched;
  /// -1 for a null argument.
  static int GM_intersLine_Plane(KRO::G3D_DVertex* out, const KRO::G3D_DVertex* start,
                                 const KRO::G3D_DVertex* dir, const G3DPLANE* plane);

  /// Where q lies against the segment start-end: 0 within 1e-6 of the
  /// closed segment; 1 on the line (within 1e-6) beyond end; -1 on the line
  /// before start; -2 off the line; -3 for a null argument. A segment
  /// shorter than 1e-6 is treated as the point start (0 or -2).
  static int Check3dPntAndSeg(KRO::G3D_DVertex* start, KRO::G3D_DVertex* end, KRO::G3D_DVertex* q);

  /// Point p against the segment (x1, y1, z1)-(x2, y2, z2): 1 strictly
  /// inside (within 1e-6 of the segment, away from both ends); 0 within
  /// 1e-6 of an end point; -1 anywhere else.
  static short GeoMath_CheckPntInLineSeg(double x1, double y1, double z1, double x2, double y2,
                                         double z2, double px, double py, double pz);

  /// Point p against the triangle a, b, c (p is projected onto the
  /// triangle's plane; the caller passes a point of that plane). 1 strictly
  /// inside; 0 on a vertex (within 1e-6), *pos = 0, 1 or 2 for a, b, c;
  /// -1 on an edge (within 1e-6), *pos = 0 for a-b, 1 for b-c, 2 for c-a;
  /// -2 outside, or a degenerate triangle. pos may be null; it is set to -1
  /// for inside and outside.
  static short GeoMath_CheckPntInTri(double ax, double ay, double az, double bx, double by,
                                     double bz, double cx, double cy, double cz, double px,
                                     double py, double pz, short* pos);
};

class CMathVectorCal {
 public:
  CMathVectorCal() = delete;

  /// Scales *v to unit length in place. 1 on success; 0 for a vector whose
  /// length is 0 (or not finite), left unchanged; -1 for null.
  static int GM_Normalise2DV(KRO::G_DTEXCOORD* v);
};
