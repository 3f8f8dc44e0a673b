#pragma once
// JPEG encoding of a painted picture through libjpeg.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velkaro {

// Text on the order picture has to stay crisp: high quality and no chroma
// subsampling, so that the red of the seal and "已付全款" keeps its edges.
inline constexpr int kOrderJpegQuality = 92;

// Pixels as the painter leaves them: 4 bytes each, blue, green, red, unused;
// rows of rowBytes bytes, top row first.
struct PaintedPixels {
  int width = 0;
  int height = 0;
  std::size_t rowBytes = 0;
  std::span<const std::uint8_t> bytes;
};

// A baseline JPEG with 4:4:4 sampling, or nothing when the pixels do not
// describe a picture (bad sizes, too few bytes) or libjpeg fails.
std::optional<std::vector<std::uint8_t>> EncodeJpeg(const PaintedPixels& pixels, int quality);

}  // namespace velkaro
