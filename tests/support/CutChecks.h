// Checks shared by the end-to-end cut tests: which side of a plane or of a
// plan polyline the triangles of a result lie on, and volumes of result
// solids whose surfaces come from two different solids.
//
// Everything reads the host objects directly (through shapes::TriSoup), so
// the checks stay independent of the code under test.
#pragma once

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/mesh/KroRecords.h"
#include "support/Shapes.h"

namespace cutchecks {

using shapes::Vec;

/// Signed distances of the triangle centroids of soup from the plane
/// through c with normal n (n need not be unit length).
struct SideRange {
  double minDist = std::numeric_limits<double>::infinity();
  double maxDist = -std::numeric_limits<double>::infinity();
  long count = 0;
};

inline Vec Centroid(const shapes::TriSoup& s, const C3DTriData& t) {
  const Vec& a = s.pts[t.v[0]];
  const Vec& b = s.pts[t.v[1]];
  const Vec& c = s.pts[t.v[2]];
  return {(a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0, (a.z + b.z + c.z) / 3.0};
}

inline SideRange CentroidsAgainstPlane(const shapes::TriSoup& s, const Vec& c, const Vec& n) {
  const Vec u = shapes::Normalized(n);
  SideRange r;
  for (const auto& t : s.tris) {
    const double d = shapes::Dot(shapes::Sub(Centroid(s, t), c), u);
    r.minDist = std::min(r.minDist, d);
    r.maxDist = std::max(r.maxDist, d);
    ++r.count;
  }
  return r;
}

/// Signed plan distance of p from the infinite line through a and b:
/// positive on the left of a->b.
inline double PlanSide(const Vec& p, const D_DOT& a, const D_DOT& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len = std::sqrt(dx * dx + dy * dy);
  return (dx * (p.y - a.y) - dy * (p.x - a.x)) / len;
}

/// Plan side of every centroid against the straight polyline a->b.
inline SideRange CentroidsAgainstPlanLine(const shapes::TriSoup& s, const D_DOT& a,
                                          const D_DOT& b) {
  SideRange r;
  for (const auto& t : s.tris) {
    const double d = PlanSide(Centroid(s, t), a, b);
    r.minDist = std::min(r.minDist, d);
    r.maxDist = std::max(r.maxDist, d);
    ++r.count;
  }
  return r;
}

/// Volume of a result solid by the divergence theorem, taking the surfaces
/// whose material is `flipped` with the opposite sign: a Boolean difference
/// keeps the other solid's part as that solid had it (facing out of the
/// other solid, so into the result).
inline double VolumeWithFlipped(const C3DEntity& e, const std::string& flipped) {
  shapes::TriSoup keep, flip;
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    const C3DSurface* s = e.SurfaceAt(i);
    shapes::AppendSurface(s->GetMaterialName() == flipped ? flip : keep, *s);
  }
  // Both sums about the same origin so that the open parts add up.
  shapes::TriSoup all = keep;
  const long off = static_cast<long>(all.pts.size());
  all.pts.insert(all.pts.end(), flip.pts.begin(), flip.pts.end());
  for (const auto& t : flip.tris) all.tris.push_back({{t.v[0] + off, t.v[2] + off, t.v[1] + off}});
  return shapes::SignedVolume(all);
}

/// Every surface of e in one soup with the triangles of surfaces named
/// `flipped` reversed, for closedness checks of Boolean differences.
inline shapes::TriSoup SoupWithFlipped(const C3DEntity& e, const std::string& flipped) {
  shapes::TriSoup soup;
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    const C3DSurface* s = e.SurfaceAt(i);
    const long first = static_cast<long>(soup.tris.size());
    shapes::AppendSurface(soup, *s);
    if (s->GetMaterialName() != flipped) continue;
    for (size_t k = static_cast<size_t>(first); k < soup.tris.size(); ++k)
      std::swap(soup.tris[k].v[1], soup.tris[k].v[2]);
  }
  return soup;
}

/// Set every surface of e to material name m (to tell two solids apart).
inline void SetMaterial(C3DEntity& e, const std::string& m) {
  C3DEntity out(-1, 0);
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    C3DSurface s = *e.SurfaceAt(i);
    s.SetMaterialName(m);
    out.AddSurface(&s, nullptr);
  }
  e = out;
}

/// Total triangle count of a solid.
inline long TriangleCount(const C3DEntity& e) {
  long n = 0;
  for (long i = 0; i < e.GetSurfaceNum(); ++i) n += e.SurfaceAt(i)->GetTriangleCount();
  return n;
}

}  // namespace cutchecks

namespace cutchecks {

/// Volume of e by the divergence theorem with the surfaces from index
/// `firstFlipped` on taken reversed (see VolumeWithFlipped).
inline double VolumeFlippingFrom(const C3DEntity& e, long firstFlipped) {
  shapes::TriSoup all;
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    const long first = static_cast<long>(all.tris.size());
    shapes::AppendSurface(all, *e.SurfaceAt(i));
    if (i < firstFlipped) continue;
    for (size_t k = static_cast<size_t>(first); k < all.tris.size(); ++k)
      std::swap(all.tris[k].v[1], all.tris[k].v[2]);
  }
  return shapes::SignedVolume(all);
}

/// The box [lo, hi] turned by angle (radians) about the vertical axis
/// through its centre and then moved by shift; six surfaces named m.
inline C3DEntity MakeTurnedBox(const Vec& lo, const Vec& hi, double angle, const Vec& shift,
                               const std::string& m) {
  const Vec c = shapes::Scale(shapes::Add(lo, hi), 0.5);
  const double cs = std::cos(angle), sn = std::sin(angle);
  C3DEntity solid(-1, 0);
  for (const C3DSurface& face : shapes::MakeBoxFaces(lo, hi)) {
    shapes::TriSoup soup = shapes::SoupOf(face);
    for (Vec& p : soup.pts) {
      const double x = p.x - c.x, y = p.y - c.y;
      p = {c.x + cs * x - sn * y + shift.x, c.y + sn * x + cs * y + shift.y, p.z + shift.z};
    }
    C3DSurface s = shapes::MakeSurface(soup.pts, soup.tris, m);
    solid.AddSurface(&s, nullptr);
  }
  return solid;
}

/// Sum of the areas of all surfaces of e.
inline double Area(const C3DEntity& e) {
  return shapes::TotalArea(shapes::SoupOf(e));
}

/// Volume of e by the divergence theorem (all surfaces as they are).
inline double Volume(const C3DEntity& e) {
  return shapes::SignedVolume(shapes::SoupOf(e));
}

/// True when every surface of e carries material m.
inline bool AllMaterial(const C3DEntity& e, const std::string& m) {
  for (long i = 0; i < e.GetSurfaceNum(); ++i)
    if (e.SurfaceAt(i)->GetMaterialName() != m) return false;
  return true;
}

}  // namespace cutchecks
