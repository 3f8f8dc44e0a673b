#include "PngDecoder.h"

#include <gtest/gtest.h>

#include "PictureBuilders.h"

namespace velkaro {
namespace {

using testing::Bytes;
using testing::Colour;
using testing::PngOptions;

constexpr int kW = 9;
constexpr int kH = 7;

Colour Source(int x, int y) {
  return {static_cast<std::uint8_t>(x * 28), static_cast<std::uint8_t>(y * 36), static_cast<std::uint8_t>(x * y * 4),
          static_cast<std::uint8_t>((x + y) * 17)};
}

std::vector<Colour> Palette() {
  std::vector<Colour> p;
  for (int i = 0; i < 16; ++i) {
    p.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 16), 99,
                 static_cast<std::uint8_t>(i < 4 ? i * 60 : 255)});
  }
  return p;
}

struct Case {
  const char* name;
  PngOptions options;
};

// Rows in the PNG's own layout; 16-bit samples are v * 257 so that any
// reduction to 8 bits gives v back.
Bytes Row(const PngOptions& o, int y) {
  Bytes row;
  for (int x = 0; x < kW; ++x) {
    const Colour c = Source(x, y);
    Bytes samples;
    switch (o.colorType) {
      case 0: samples = {c.r}; break;
      case 4: samples = {c.r, c.a}; break;
      case 2: samples = {c.r, c.g, c.b}; break;
      case 6: samples = {c.r, c.g, c.b, c.a}; break;
      case 3: samples = {static_cast<std::uint8_t>((x + y) % 16)}; break;
    }
    for (std::uint8_t s : samples) {
      row.push_back(s);
      if (o.bitDepth == 16) row.push_back(s);
    }
  }
  return row;
}

Colour Expected(const PngOptions& o, int x, int y) {
  const Colour c = Source(x, y);
  switch (o.colorType) {
    case 0: return {c.r, c.r, c.r, 255};
    case 4: return {c.r, c.r, c.r, c.a};
    case 2: return {c.r, c.g, c.b, 255};
    case 3: return Palette()[(x + y) % 16];
    default: return c;
  }
}

TEST(PngDecoder, EveryKindComesOutAsBgraWithItsOwnAlpha) {
  const Case cases[] = {
      {"grey", {0, 8, false, {}}},
      {"grey with alpha", {4, 8, false, {}}},
      {"palette with transparency", {3, 8, false, Palette()}},
      {"rgb", {2, 8, false, {}}},
      {"rgba", {6, 8, false, {}}},
      {"rgb interlaced", {2, 8, true, {}}},
      {"rgba interlaced", {6, 8, true, {}}},
      {"rgb 16-bit", {2, 16, false, {}}},
      {"grey 16-bit interlaced", {0, 16, true, {}}},
  };
  for (const Case& c : cases) {
    std::vector<Bytes> rows;
    for (int y = 0; y < kH; ++y) rows.push_back(Row(c.options, y));
    const auto raster = DecodePng(testing::EncodePng(kW, kH, c.options, rows));
    ASSERT_TRUE(raster) << c.name;
    ASSERT_EQ(raster->width, kW) << c.name;
    ASSERT_EQ(raster->height, kH) << c.name;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        ASSERT_EQ(testing::PixelAt(*raster, x, y), Expected(c.options, x, y))
            << c.name << " at " << x << "," << y << ": " << testing::Describe(testing::PixelAt(*raster, x, y));
      }
    }
  }
}

TEST(PngDecoder, RefusesBrokenAndOversizedPictures) {
  std::vector<Bytes> rows;
  for (int y = 0; y < kH; ++y) rows.push_back(Row({2, 8, false, {}}, y));
  const Bytes good = testing::EncodePng(kW, kH, {2, 8, false, {}}, rows);
  Bytes badCrc = good;
  badCrc[29] ^= 0xFF;  // the IHDR checksum
  Bytes badData = good;
  for (std::size_t i = 45; i < badData.size() - 12; ++i) badData[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes wide = testing::EncodePng(32768, 1, {0, 8, false, {}}, {Bytes(32768, 0)});
  struct Failure {
    const char* name;
    Bytes bytes;
  };
  const Failure cases[] = {
      {"empty", {}},
      {"signature only", Bytes(good.begin(), good.begin() + 8)},
      {"header checksum wrong", badCrc},
      {"image data scrambled", badData},
      {"cut inside the image data", Bytes(good.begin(), good.end() - 30)},
      {"side over 32767", wide},
  };
  ASSERT_TRUE(DecodePng(good));
  for (const Failure& c : cases) EXPECT_FALSE(DecodePng(c.bytes).has_value()) << c.name;
}

}  // namespace
}  // namespace velkaro
