#pragma once
// The display form every decoder produces: width x height pixels, 4 bytes
// each in the order blue, green, red, alpha, top row first, rows packed.
//
// Alpha is 255 for opaque formats (JPEG, BMP, PCX), the picture's own alpha for
// PNG, and 0 or 255 for icons (their AND mask) and GIF (transparent colour).
// Blue-first matches libpng's simplified BGRA output and a little-endian
// 0xAARRGGBB word, so the common cases need no conversion on the way to screen.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkaro {

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgra;  // width * height * 4 bytes

  std::size_t RowBytes() const { return static_cast<std::size_t>(width) * 4; }
  std::uint8_t* Row(int y) { return bgra.data() + static_cast<std::size_t>(y) * RowBytes(); }
  const std::uint8_t* Row(int y) const {
    return bgra.data() + static_cast<std::size_t>(y) * RowBytes();
  }
};

// A zeroed raster; the size must already have passed PictureSizeAllowed.
Raster MakeRaster(int width, int height);

}  // namespace velkaro
