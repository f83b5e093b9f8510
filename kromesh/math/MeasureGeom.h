// Internal: small vector helpers and adapters the measuring, texture and
// polyline sources share. Not part of the public interface.
#pragma once

#include <cmath>

#include "kromesh/math/CMathFunCls.h"
#include "kromesh/mesh/KroRecords.h"

namespace kromesh_measure {

using KRO::G3D_DVertex;

// Thin adapters onto the predicates for the const references used here.

/// Area of the triangle's projection on the xy plane.
inline double TriAreaXY(const G3D_DVertex& a, const G3D_DVertex& b, const G3D_DVertex& c) {
  return CMathFunCls::GetTriArea(const_cast<G3D_DVertex*>(&a), const_cast<G3D_DVertex*>(&b),
                                 const_cast<G3D_DVertex*>(&c));
}

/// Area of the quadrilateral's projection on the xy plane.
inline double QuadAreaXY(const G3D_DVertex& a, const G3D_DVertex& b, const G3D_DVertex& c,
                         const G3D_DVertex& d) {
  return CMathFunCls::GetQuadArea(const_cast<G3D_DVertex*>(&a), const_cast<G3D_DVertex*>(&b),
                                  const_cast<G3D_DVertex*>(&c), const_cast<G3D_DVertex*>(&d));
}

/// Plane z = coef[0] + coef[1] x + coef[2] y; false for a vertical or
/// degenerate triangle.
inline bool ZPlane(const G3D_DVertex& a, const G3D_DVertex& b, const G3D_DVertex& c, double* coef) {
  return CMathFunCls::GetZPlane(const_cast<G3D_DVertex*>(&a), const_cast<G3D_DVertex*>(&b),
                                const_cast<G3D_DVertex*>(&c), coef) == 1;
}

/// Point equality within 1e-6 per axis.
inline bool Same3D(const G3D_DVertex& a, const G3D_DVertex& b) {
  return CMathFunCls::IsSame3DDot(a, b);
}

inline double Dot(const G3D_DVertex& a, const G3D_DVertex& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline G3D_DVertex Sub(const G3D_DVertex& a, const G3D_DVertex& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline double Len(const G3D_DVertex& a) {
  return std::sqrt(Dot(a, a));
}

// --- the rectangle frame of a triangle and the mappings into its plane ----

/// Frame over tri (rect[0] = tri[1], rect[1] = tri[2], the second axis the
/// height of tri[0]); false when the edge or the height has no length.
inline bool RectOf3DTri(const G3D_DVertex* tri, G3D_DVertex* rect) {
  return CMathFunCls::_tcGetRectof3DTri(const_cast<G3D_DVertex*>(tri), rect) == 1;
}

/// Model point -> frame plane.
inline D_DOT VolToImg(const G3D_DVertex* rect, const G3D_DVertex& p) {
  D_DOT out{0.0, 0.0};
  CMathFunCls::GetVolToImgCoor(const_cast<G3D_DVertex*>(rect), const_cast<G3D_DVertex*>(&p), &out);
  return out;
}

/// Frame plane -> model point.
inline G3D_DVertex ImgToVol(const G3D_DVertex* rect, const D_DOT& p) {
  G3D_DVertex out{0.0, 0.0, 0.0};
  CMathFunCls::GetImgToVolCoor(const_cast<G3D_DVertex*>(rect), const_cast<D_DOT*>(&p), &out);
  return out;
}

}  // namespace kromesh_measure
