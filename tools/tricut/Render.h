// Software pictures of models: a z-buffered rasteriser with Lambert and
// ambient shading, one colour per piece, an optional exploded view and a
// legend, written as PNG. No display or GPU is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Model.h"

namespace tricut {

struct RenderOptions {
  int width = 1200;
  int height = 860;
  /// View direction: azimuth of the eye around z (degrees from +x,
  /// counter-clockwise) and its elevation above the xy plane.
  double azimuth = 300;
  double elevation = 28;
  /// Vertical exaggeration (flat geological layers read better above 1).
  double zScale = 1;
  /// Each piece moves away from the common centre by this fraction of the
  /// scene size times the direction to its own centre (0: no explosion).
  double explode = 0;
  /// Above 0: the items are laid out side by side in a grid of this many
  /// columns (across the view), instead of where they are.
  int gridColumns = 0;
  std::string title;
  bool legend = true;
  /// Supersampling factor per axis for smooth edges.
  int supersample = 2;
};

struct RenderItem {
  std::string label;
  const Model* model = nullptr;
  KRO::COLOR4 colour{0.7f, 0.7f, 0.7f, 1.f};
};

/// An 8-bit RGB picture, rows from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  uint8_t* At(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  const uint8_t* At(int x, int y) const {
    return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
  }
};

/// Draws the items. Items without triangles appear only in the legend.
Image RenderScene(const std::vector<RenderItem>& items, const RenderOptions& opt);

/// Writes an image as PNG through a temporary file; throws ToolError.
void WritePng(const std::string& path, const Image& img);
/// Reads back the size of a PNG file (for the tests); false when the file
/// is not a PNG.
bool PngSize(const std::string& path, int& width, int& height);

/// Draws text with the built-in 5x7 font, scaled, top-left at (x, y).
void DrawText(Image& img, int x, int y, const std::string& text, int scale, const uint8_t rgb[3]);
int TextWidth(const std::string& text, int scale);

}  // namespace tricut
