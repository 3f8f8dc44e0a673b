#include "AlphaBlend.h"

#include <cmath>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

// The blend written out as plainly as possible, to hold the fast path to.
std::uint8_t LiteralBlend(int v, int b, int a) {
  const float k = 0.0039215689f;
  const double f = a * static_cast<double>(k);
  double r = std::trunc(v * f + b * (1 - f));
  if (r < 0) r = 0;
  if (r > 255) r = 255;
  return static_cast<std::uint8_t>(r);
}

TEST(BlendOverBackground, MatchesTheFormulaForEveryAlphaAndValue) {
  const Rgb backgrounds[] = {{240, 240, 240}, {0, 0, 0}, {255, 255, 255}, {212, 208, 200}, {1, 128, 254}};
  for (const Rgb bg : backgrounds) {
    // Pixel (v, a): blue v, green 255 - v, red v ^ 0x5A, alpha a.
    Raster picture;
    picture.width = 256;
    picture.height = 256;
    picture.bgra.resize(256 * 256 * 4);
    for (int a = 0; a < 256; ++a) {
      for (int v = 0; v < 256; ++v) {
        std::uint8_t* p = picture.Row(a) + 4 * v;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(255 - v);
        p[2] = static_cast<std::uint8_t>(v ^ 0x5A);
        p[3] = static_cast<std::uint8_t>(a);
      }
    }
    BlendOverBackground(picture, bg);
    for (int a = 0; a < 256; ++a) {
      for (int v = 0; v < 256; ++v) {
        const std::uint8_t* p = picture.Row(a) + 4 * v;
        const bool opaque = a == 255;
        const int blue = opaque ? v : LiteralBlend(v, bg.b, a);
        const int green = opaque ? 255 - v : LiteralBlend(255 - v, bg.g, a);
        const int red = opaque ? (v ^ 0x5A) : LiteralBlend(v ^ 0x5A, bg.r, a);
        ASSERT_EQ(p[0], blue) << "a=" << a << " v=" << v << " bg.b=" << int(bg.b);
        ASSERT_EQ(p[1], green) << "a=" << a << " v=" << v << " bg.g=" << int(bg.g);
        ASSERT_EQ(p[2], red) << "a=" << a << " v=" << v << " bg.r=" << int(bg.r);
        ASSERT_EQ(p[3], 255);
      }
    }
  }
}

TEST(BlendOverBackground, KnownPixels) {
  // The float k (0.0039215688593685627) is a little above 1/255, so some
  // results differ by one from a blend with an exact 1/255; those are pinned.
  struct Case {
    std::uint8_t v, background, alpha, expected;
  };
  const Case cases[] = {
      {200, 30, 0, 30},      // fully transparent: exactly the background
      {255, 0, 128, 128},
      {0, 255, 254, 0},      // 0.99998... truncates to 0
      {70, 240, 3, 237},     // 1/255 would give 238
      {189, 240, 5, 238},    // 1/255 would give 239
      {255, 255, 128, 255},
  };
  for (const Case& c : cases) {
    Raster picture;
    picture.width = 1;
    picture.height = 1;
    picture.bgra = {c.v, c.v, c.v, c.alpha};
    BlendOverBackground(picture, {c.background, c.background, c.background});
    EXPECT_EQ(picture.bgra[0], c.expected) << int(c.v) << " over " << int(c.background) << " at " << int(c.alpha);
    EXPECT_EQ(picture.bgra[3], 255);
  }
}

TEST(BlendOverBackground, OpaquePixelsAreUntouched) {
  Raster picture;
  picture.width = 2;
  picture.height = 1;
  picture.bgra = {1, 2, 3, 255, 250, 251, 252, 255};
  const auto before = picture.bgra;
  BlendOverBackground(picture, {9, 9, 9});
  EXPECT_EQ(picture.bgra, before);
}

}  // namespace
}  // namespace velkaro
