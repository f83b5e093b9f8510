// Checks shared by the end-to-end cut tests: which side of a plane or of a
// plan line the triangles of a result lie on, volumes and closedness of
// result solids whose surfaces come from two different solids.
//
// Everything reads the host objects directly (through shapes::TriSoup), so
// the checks stay independent of the code under test.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "kromesh/host/Kro3DObjects.h"
#include "kromesh/mesh/KroRecords.h"
#include "support/Shapes.h"

namespace cutchecks {

using shapes::Vec;

/// Range of signed distances of the triangle centroids of a soup.
struct SideRange {
  double minDist = std::numeric_limits<double>::infinity();
  double maxDist = -std::numeric_limits<double>::infinity();
};

inline Vec Centroid(const shapes::TriSoup& s, const C3DTriData& t) {
  const Vec sum = shapes::Add(shapes::Add(s.pts[t.v[0]], s.pts[t.v[1]]), s.pts[t.v[2]]);
  return {sum.x / 3.0, sum.y / 3.0, sum.z / 3.0};
}

inline SideRange CentroidsAgainst(const shapes::TriSoup& s,
                                  const std::function<double(const Vec&)>& dist) {
  SideRange r;
  for (const auto& t : s.tris) {
    const double d = dist(Centroid(s, t));
    r = {std::min(r.minDist, d), std::max(r.maxDist, d)};
  }
  return r;
}

/// Against the plane through c with normal n (any length).
inline SideRange CentroidsAgainstPlane(const shapes::TriSoup& s, const Vec& c, const Vec& n) {
  const Vec u = shapes::Normalized(n);
  return CentroidsAgainst(s, [&](const Vec& p) { return shapes::Dot(shapes::Sub(p, c), u); });
}

/// Plan distance from the polyline pts, its first and last segments
/// extended without end (two points: the infinite line), positive on its
/// left; each point is measured against its nearest segment.
inline SideRange CentroidsAgainstPlanLine(const shapes::TriSoup& s, const std::vector<D_DOT>& pts) {
  return CentroidsAgainst(s, [&](const Vec& p) {
    double best = std::numeric_limits<double>::infinity(), side = 0;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
      const D_DOT a = pts[i], b = pts[i + 1];
      const double dx = b.x - a.x, dy = b.y - a.y;
      const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy),
                                  i > 0 ? 0.0 : -HUGE_VAL, i + 2 < pts.size() ? 1.0 : HUGE_VAL);
      const double d = std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
      if (d < best) best = d, side = dx * (p.y - a.y) - dy * (p.x - a.x);
    }
    return side < 0 ? -best : best;
  });
}

/// Every surface of e appended to soup, the triangles of those for which
/// flip(index, surface) holds reversed.
inline shapes::TriSoup SoupFlipping(const C3DEntity& e,
                                    const std::function<bool(long, const C3DSurface&)>& flip,
                                    shapes::TriSoup soup = {}) {
  for (long i = 0; i < e.GetSurfaceNum(); ++i) {
    const size_t first = soup.tris.size();
    shapes::AppendSurface(soup, *e.SurfaceAt(i));
    for (size_t k = first; flip(i, *e.SurfaceAt(i)) && k < soup.tris.size(); ++k)
      std::swap(soup.tris[k].v[1], soup.tris[k].v[2]);
  }
  return soup;
}

/// Volume with the surfaces from index firstFlipped on reversed.
inline double VolumeFlippingFrom(const C3DEntity& e, long firstFlipped) {
  return shapes::SignedVolume(
      SoupFlipping(e, [&](long i, const C3DSurface&) { return i >= firstFlipped; }));
}

/// Area of a surface or of every surface of a solid.
template <class M>
double Area(const M& m) {
  return shapes::TotalArea(shapes::SoupOf(m));
}

inline double Volume(const C3DEntity& e) {
  return shapes::SignedVolume(shapes::SoupOf(e));
}

inline bool AllMaterial(const C3DEntity& e, const std::string& m) {
  for (long i = 0; i < e.GetSurfaceNum(); ++i)
    if (e.SurfaceAt(i)->GetMaterialName() != m) return false;
  return true;
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

/// The soup with bit-identical points made one.
inline shapes::TriSoup WeldExact(shapes::TriSoup soup) {
  std::map<std::tuple<double, double, double>, long> ids;
  std::vector<long> w(soup.pts.size());
  for (size_t i = 0; i < soup.pts.size(); ++i)
    w[i] =
        ids.emplace(std::make_tuple(soup.pts[i].x, soup.pts[i].y, soup.pts[i].z), i).first->second;
  for (C3DTriData& t : soup.tris)
    for (long& v : t.v) v = w[v];
  return soup;
}

/// The solid made of the given pieces (each taken reversed when its flag
/// is set) as one soup, welding only bit-identical points: the pieces of
/// the two solids of a cut must share their border point for point. Check
/// it with shapes::CheckEdges(soup, 0).
inline shapes::TriSoup JoinExact(const std::vector<std::pair<const C3DEntity*, bool>>& parts) {
  shapes::TriSoup soup;
  for (const auto& part : parts)
    soup = SoupFlipping(
        *part.first, [&](long, const C3DSurface&) { return part.second; }, std::move(soup));
  return WeldExact(std::move(soup));
}

/// Deterministic numbers in [-h, h), the same on every platform.
struct Lcg {
  uint64_t s;
  double Next(double h) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return h * (2.0 * static_cast<double>(s >> 11) / 9007199254740992.0 - 1.0);
  }
};

}  // namespace cutchecks
