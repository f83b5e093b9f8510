// Software rasteriser: orthographic view, flat Lambert + ambient shading
// (two-sided, since open surfaces show both faces), z-buffer, outlines where
// pieces meet or depth jumps, supersampled and filtered down.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "Render.h"

namespace tricut {

namespace {

struct V3 {
  double x, y, z;
};
V3 operator-(const V3& a, const V3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator+(const V3& a, const V3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator*(const V3& a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
double Dot(const V3& a, const V3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 Cross(const V3& a, const V3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 Unit(const V3& a) {
  const double n = std::sqrt(Dot(a, a));
  return n > 0 ? a * (1.0 / n) : V3{0, 0, 0};
}

struct ScreenTri {
  double x[3], y[3], d[3];  // screen position and depth (larger = nearer)
  float rgb[3];
  int item;
};

const double kPi = 3.14159265358979323846;

void FillRect(Image& img, int x0, int y0, int x1, int y1, const uint8_t rgb[3]) {
  for (int y = std::max(0, y0); y < std::min(img.height, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(img.width, x1); ++x) {
      uint8_t* p = img.At(x, y);
      p[0] = rgb[0];
      p[1] = rgb[1];
      p[2] = rgb[2];
    }
}

std::string Thousands(long n) {
  std::string s = std::to_string(n);
  for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3)
    s.insert(static_cast<std::size_t>(i), ",");
  return s;
}

}  // namespace

Image RenderScene(const std::vector<RenderItem>& items, const RenderOptions& opt) {
  const int ss = std::max(1, std::min(opt.supersample, 4));
  Image out;
  out.width = opt.width;
  out.height = opt.height;
  out.rgb.assign(static_cast<std::size_t>(out.width) * out.height * 3, 255);

  // Layout: title band on top, legend column on the right.
  const int textScale = out.width >= 900 ? 2 : 1;
  const int titleH = opt.title.empty() ? 0 : 14 * textScale + 16;
  int legendW = 0;
  if (opt.legend && !items.empty()) {
    for (const auto& it : items) {
      const std::string line =
          it.label + "  " + Thousands(it.model ? it.model->TriangleCount() : 0) + " tri";
      legendW = std::max(legendW, TextWidth(line, textScale));
    }
    legendW += 12 * textScale + 40;
    legendW = std::min(legendW, out.width / 2);
  }
  const int viewW = out.width - legendW, viewH = out.height - titleH;

  // Scene frame: centre of everything, z exaggerated.
  Box3 scene;
  std::vector<Box3> boxes(items.size());
  // Boxes of the points the triangles use (pieces may carry unused points).
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i].model) continue;
    for (const auto& part : items[i].model->parts) {
      const auto& pts = part.surface.Points();
      const long n = static_cast<long>(pts.size());
      for (const auto& t : TrianglesOf(part.surface))
        for (long v : t.v)
          if (v >= 0 && v < n) boxes[i].Add(pts[v]);
    }
    scene.Add(boxes[i]);
  }
  const KRO::G3D_DVertex c = scene.valid ? scene.Centre() : KRO::G3D_DVertex{0, 0, 0};
  auto local = [&](const KRO::G3D_DVertex& p) {
    return V3{p.x - c.x, p.y - c.y, (p.z - c.z) * opt.zScale};
  };

  const double az = opt.azimuth * kPi / 180, el = opt.elevation * kPi / 180;
  const V3 toEye{std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
  const V3 right = Unit(Cross(V3{0, 0, 1}, toEye));
  const V3 up = Cross(toEye, right);
  const V3 light = Unit(right * -0.35 + up * 0.8 + toEye * 0.9);

  // Grid layout: cell size from the largest item, in view axes.
  double cell = 0;
  if (opt.gridColumns > 0)
    for (const auto& b : boxes)
      if (b.valid)
        cell = std::max(
            cell, 1.1 * std::sqrt(std::pow(b.hi[0] - b.lo[0], 2) + std::pow(b.hi[1] - b.lo[1], 2) +
                                  std::pow((b.hi[2] - b.lo[2]) * opt.zScale, 2)));
  const int cols = opt.gridColumns > 0 ? opt.gridColumns : 1;
  const int rows = opt.gridColumns > 0 ? (static_cast<int>(items.size()) + cols - 1) / cols : 1;

  // Project every triangle.
  std::vector<ScreenTri> tris;
  double minX = std::numeric_limits<double>::max(), maxX = -minX, minY = minX, maxY = -minX;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i].model || !boxes[i].valid) continue;
    V3 offset = (local(boxes[i].Centre()) - V3{0, 0, 0}) * opt.explode;
    if (opt.gridColumns > 0) {
      // Each item centred in its own cell.
      const int col = static_cast<int>(i) % cols, row = static_cast<int>(i) / cols;
      offset = (local(boxes[i].Centre()) - V3{0, 0, 0}) * -1.0 +
               right * ((col - (cols - 1) / 2.0) * cell) + up * (((rows - 1) / 2.0 - row) * cell);
    }
    const auto& col = items[i].colour;
    for (const auto& part : items[i].model->parts) {
      const auto& pts = part.surface.Points();
      const long n = static_cast<long>(pts.size());
      for (const auto& t : TrianglesOf(part.surface)) {
        if (t.v[0] < 0 || t.v[1] < 0 || t.v[2] < 0 || t.v[0] >= n || t.v[1] >= n || t.v[2] >= n)
          continue;
        V3 w[3];
        for (int k = 0; k < 3; ++k) w[k] = local(pts[t.v[k]]) + offset;
        const V3 nrm = Unit(Cross(w[1] - w[0], w[2] - w[0]));
        const double shade = 0.38 + 0.62 * std::fabs(Dot(nrm, light));
        ScreenTri s;
        for (int k = 0; k < 3; ++k) {
          s.x[k] = Dot(w[k], right);
          s.y[k] = Dot(w[k], up);
          s.d[k] = Dot(w[k], toEye);
          minX = std::min(minX, s.x[k]);
          maxX = std::max(maxX, s.x[k]);
          minY = std::min(minY, s.y[k]);
          maxY = std::max(maxY, s.y[k]);
        }
        s.rgb[0] = static_cast<float>(std::min(1.0, col.r * shade));
        s.rgb[1] = static_cast<float>(std::min(1.0, col.g * shade));
        s.rgb[2] = static_cast<float>(std::min(1.0, col.b * shade));
        s.item = static_cast<int>(i);
        tris.push_back(s);
      }
    }
  }

  // The supersampled frame of the view area.
  const int W = viewW * ss, H = viewH * ss;
  std::vector<float> colour(static_cast<std::size_t>(W) * H * 3);
  std::vector<double> depth(static_cast<std::size_t>(W) * H, -std::numeric_limits<double>::max());
  std::vector<int> owner(static_cast<std::size_t>(W) * H, -1);
  for (int y = 0; y < H; ++y) {
    // Soft vertical gradient behind the models.
    const float t = static_cast<float>(y) / static_cast<float>(std::max(1, H - 1));
    const float bg[3] = {0.93f - 0.10f * t, 0.95f - 0.08f * t, 0.98f - 0.05f * t};
    for (int x = 0; x < W; ++x)
      for (int k = 0; k < 3; ++k) colour[(static_cast<std::size_t>(y) * W + x) * 3 + k] = bg[k];
  }
  if (!tris.empty()) {
    const double spanX = std::max(maxX - minX, 1e-12), spanY = std::max(maxY - minY, 1e-12);
    const double margin = 0.06;
    const double scale = std::min(W * (1 - 2 * margin) / spanX, H * (1 - 2 * margin) / spanY);
    const double ox = W / 2.0 - scale * (minX + maxX) / 2, oy = H / 2.0 + scale * (minY + maxY) / 2;
    for (auto& s : tris)
      for (int k = 0; k < 3; ++k) {
        s.x[k] = ox + scale * s.x[k];
        s.y[k] = oy - scale * s.y[k];
      }
    for (const auto& s : tris) {
      const double area =
          (s.x[1] - s.x[0]) * (s.y[2] - s.y[0]) - (s.x[2] - s.x[0]) * (s.y[1] - s.y[0]);
      if (std::fabs(area) < 1e-12) continue;
      const int x0 = std::max(0, static_cast<int>(std::floor(std::min({s.x[0], s.x[1], s.x[2]}))));
      const int x1 =
          std::min(W - 1, static_cast<int>(std::ceil(std::max({s.x[0], s.x[1], s.x[2]}))));
      const int y0 = std::max(0, static_cast<int>(std::floor(std::min({s.y[0], s.y[1], s.y[2]}))));
      const int y1 =
          std::min(H - 1, static_cast<int>(std::ceil(std::max({s.y[0], s.y[1], s.y[2]}))));
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
          const double px = x + 0.5, py = y + 0.5;
          double b[3];
          for (int k = 0; k < 3; ++k) {
            const int i = (k + 1) % 3, j = (k + 2) % 3;
            b[k] = ((s.x[j] - s.x[i]) * (py - s.y[i]) - (s.y[j] - s.y[i]) * (px - s.x[i])) / area;
          }
          if (b[0] < 0 || b[1] < 0 || b[2] < 0) continue;
          const double d = b[0] * s.d[0] + b[1] * s.d[1] + b[2] * s.d[2];
          const std::size_t idx = static_cast<std::size_t>(y) * W + x;
          if (d <= depth[idx]) continue;
          depth[idx] = d;
          owner[idx] = s.item;
          for (int k = 0; k < 3; ++k) colour[idx * 3 + k] = s.rgb[k];
        }
    }
    // Outlines: a pixel whose neighbour belongs to another piece (or to
    // the background), or lies clearly deeper, is darkened.
    const double jump = 0.03 * (scene.Diagonal() > 0 ? scene.Diagonal() : 1);
    std::vector<float> edge(static_cast<std::size_t>(W) * H, 0.f);
    for (int y = 1; y < H - 1; ++y)
      for (int x = 1; x < W - 1; ++x) {
        const std::size_t idx = static_cast<std::size_t>(y) * W + x;
        if (owner[idx] < 0) continue;
        const std::size_t nb[4] = {idx - 1, idx + 1, idx - W, idx + W};
        for (std::size_t n : nb)
          if (owner[n] != owner[idx] || depth[idx] - depth[n] > jump) {
            edge[idx] = 1.f;
            break;
          }
      }
    for (std::size_t idx = 0; idx < edge.size(); ++idx)
      if (edge[idx] > 0)
        for (int k = 0; k < 3; ++k) colour[idx * 3 + k] *= 0.35f;
  }

  // Filter the view down into the picture.
  for (int y = 0; y < viewH; ++y)
    for (int x = 0; x < viewW; ++x) {
      float acc[3] = {0, 0, 0};
      for (int dy = 0; dy < ss; ++dy)
        for (int dx = 0; dx < ss; ++dx) {
          const std::size_t idx = static_cast<std::size_t>(y * ss + dy) * W + (x * ss + dx);
          for (int k = 0; k < 3; ++k) acc[k] += colour[idx * 3 + k];
        }
      uint8_t* p = out.At(x, y + titleH);
      for (int k = 0; k < 3; ++k)
        p[k] = static_cast<uint8_t>(std::lround(std::min(1.f, acc[k] / (ss * ss)) * 255.f));
    }

  const uint8_t ink[3] = {30, 34, 40};
  const uint8_t grey[3] = {96, 100, 108};
  if (titleH > 0) DrawText(out, 12, 8, opt.title, textScale, ink);
  if (legendW > 0) {
    const uint8_t panel[3] = {246, 247, 249};
    FillRect(out, viewW, 0, out.width, out.height, panel);
    int y = titleH + 12;
    const int box = 10 * textScale;
    for (const auto& it : items) {
      if (y + box > out.height) break;
      const uint8_t rgb[3] = {static_cast<uint8_t>(std::lround(it.colour.r * 255)),
                              static_cast<uint8_t>(std::lround(it.colour.g * 255)),
                              static_cast<uint8_t>(std::lround(it.colour.b * 255))};
      FillRect(out, viewW + 12, y, viewW + 12 + box, y + box, ink);
      FillRect(out, viewW + 13, y + 1, viewW + 11 + box, y + box - 1, rgb);
      const long n = it.model ? it.model->TriangleCount() : 0;
      DrawText(out, viewW + 20 + box, y + (box - 7 * textScale) / 2, it.label, textScale,
               n ? ink : grey);
      DrawText(out, viewW + 20 + box + TextWidth(it.label + "  ", textScale),
               y + (box - 7 * textScale) / 2, n ? Thousands(n) + " tri" : "empty", textScale, grey);
      y += box + 8 * textScale;
    }
  }
  return out;
}

}  // namespace tricut
