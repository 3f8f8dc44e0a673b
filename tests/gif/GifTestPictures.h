#pragma once
// Pictures written as letters, one per pixel, so expected screens read as
// what they show: R G B W are the colours 0..3 of kColours, '.' is fully
// transparent and K opaque black.
#include <gtest/gtest.h>

#include <string>

#include "GifReader.h"
#include "GifTestBuilder.h"

namespace velkaro::test {

inline const std::vector<Rgb> kColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

inline std::uint8_t IndexOf(char letter) {
  switch (letter) {
    case 'R': return 0;
    case 'G': return 1;
    case 'B': return 2;
    case 'W': return 3;
    default: return static_cast<std::uint8_t>(letter - 'a' + 4);  // a, b, ...: beyond the 4 colours
  }
}

inline TestImage Picture(int left, int top, int width, const std::string& letters) {
  TestImage image;
  image.left = left;
  image.top = top;
  image.width = width;
  image.height = static_cast<int>(letters.size()) / width;
  for (char c : letters) image.indexes.push_back(IndexOf(c));
  return image;
}

inline char LetterOf(const std::uint8_t* bgra) {
  const Bgra p{bgra[0], bgra[1], bgra[2], bgra[3]};
  if (p == Bgra{0, 0, 0, 0}) return '.';
  if (p == Bgra{0, 0, 0, 255}) return 'K';
  for (std::size_t i = 0; i < kColours.size(); ++i) {
    if (p == Bgra{kColours[i][2], kColours[i][1], kColours[i][0], 255}) return "RGBW"[i];
  }
  return '?';
}

// The raster as letters, rows joined with '|'.
inline std::string Letters(const Raster& raster) {
  std::string out;
  for (int y = 0; y < raster.height; ++y) {
    if (y > 0) out += '|';
    for (int x = 0; x < raster.width; ++x) out += LetterOf(raster.Row(y) + x * 4);
  }
  return out;
}

}  // namespace velkaro::test
