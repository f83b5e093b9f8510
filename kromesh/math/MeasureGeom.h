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

/// Frame over tri: rect[0] = tri[1], rect[1] = tri[2], the second axis the
/// height of tri[0] over that edge. false when the edge or the height has
/// no length.
inline bool RectOf3DTri(const G3D_DVertex* tri, G3D_DVertex* rect) {
  rect[0] = tri[1];
  rect[1] = tri[2];
  G3D_DVertex u = Sub(rect[1], rect[0]);
  const double l = Len(u);
  if (l < 1e-6) return false;
  u = {u.x / l, u.y / l, u.z / l};
  const double t = Dot(Sub(tri[0], rect[0]), u);
  const G3D_DVertex f{rect[0].x + t * u.x, rect[0].y + t * u.y, rect[0].z + t * u.z};
  const G3D_DVertex h = Sub(tri[0], f);
  if (std::fabs(h.x) < 1e-6 && std::fabs(h.y) < 1e-6 && std::fabs(h.z) < 1e-6) return false;
  rect[2] = {rect[1].x + h.x, rect[1].y + h.y, rect[1].z + h.z};
  rect[3] = {rect[0].x + h.x, rect[0].y + h.y, rect[0].z + h.z};
  return true;
}

/// Model point -> frame plane: projections on the two unit axes.
inline D_DOT VolToImg(const G3D_DVertex* rect, const G3D_DVertex& p) {
  G3D_DVertex u = Sub(rect[1], rect[0]), w = Sub(rect[3], rect[0]);
  const double lu = Len(u), lw = Len(w);
  u = {u.x / lu, u.y / lu, u.z / lu};
  w = {w.x / lw, w.y / lw, w.z / lw};
  const G3D_DVertex d = Sub(p, rect[0]);
  return {Dot(d, u), Dot(d, w)};
}

/// Frame plane -> model point.
inline G3D_DVertex ImgToVol(const G3D_DVertex* rect, const D_DOT& p) {
  const G3D_DVertex u = Sub(rect[1], rect[0]), w = Sub(rect[3], rect[0]);
  const double fu = p.x / Len(u), fw = p.y / Len(w);
  return {rect[0].x + fu * u.x + fw * w.x, rect[0].y + fu * u.y + fw * w.y,
          rect[0].z + fu * u.z + fw * w.z};
}

}  // namespace kromesh_measure
