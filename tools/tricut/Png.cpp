// PNG output through libpng's simplified interface.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "Errors.h"
#include "IOUtil.h"
#include "Render.h"

namespace tricut {

void WritePng(const std::string& path, const Image& img) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(img.width);
  image.height = static_cast<png_uint_32>(img.height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, img.rgb.data(), 0, nullptr))
    throw ToolError(path + ": PNG encoding failed (" + image.message + ")");
  std::string data(size, '\0');
  if (!png_image_write_to_memory(&image, &data[0], &size, 0, img.rgb.data(), 0, nullptr))
    throw ToolError(path + ": PNG encoding failed (" + image.message + ")");
  data.resize(size);
  WriteFileAtomic(path, data);
}

bool PngSize(const std::string& path, int& width, int& height) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[24];
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
  static const unsigned char kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(head, kSig, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
  auto be = [&](int o) {
    return (head[o] << 24) | (head[o + 1] << 16) | (head[o + 2] << 8) | head[o + 3];
  };
  width = be(16);
  height = be(20);
  return true;
}

}  // namespace tricut
