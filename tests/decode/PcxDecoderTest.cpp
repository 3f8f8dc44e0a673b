#include "PcxDecoder.h"

#include <gtest/gtest.h>

#include "PictureBuilders.h"

namespace velkaro {
namespace {

using testing::Bytes;
using testing::Colour;
using testing::PcxLayout;

constexpr int kWidth = 5;
constexpr int kHeight = 3;

Bytes IndexLines(int lineBytes) {
  Bytes values;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < lineBytes; ++x) {
      // Runs (x < 3 on row 1) and values above 192 that need escaping.
      values.push_back(static_cast<std::uint8_t>(y == 1 && x < 3 ? 7 : 190 + x + 4 * y));
    }
  }
  return values;
}

void AppendPalette(Bytes& b) {
  b.push_back(12);
  for (int i = 0; i < 256; ++i) {
    b.push_back(static_cast<std::uint8_t>(i));
    b.push_back(static_cast<std::uint8_t>(255 - i));
    b.push_back(static_cast<std::uint8_t>(i * 3));
  }
}

PcxLayout Layout8() { return PcxLayout{5, 1, 8, 1, 10, 20, 10 + kWidth - 1, 20 + kHeight - 1, 6}; }

TEST(PcxDecoder, EightBitsThroughTrailingPalette) {
  const Bytes values = IndexLines(6);
  Bytes bytes = testing::BuildPcx(Layout8(), values);
  AppendPalette(bytes);
  const auto raster = DecodePcx8(bytes);
  ASSERT_TRUE(raster);
  ASSERT_EQ(raster->width, kWidth);
  ASSERT_EQ(raster->height, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint8_t i = values[y * 6 + x];
      EXPECT_EQ(testing::PixelAt(*raster, x, y), (Colour{i, static_cast<std::uint8_t>(255 - i),
                                                         static_cast<std::uint8_t>(i * 3), 255}))
          << x << "," << y;
    }
  }
}

TEST(PcxDecoder, EightBitsWithoutPaletteShowGreyLevels) {
  const Bytes values = IndexLines(6);
  const auto raster = DecodePcx8(testing::BuildPcx(Layout8(), values));
  ASSERT_TRUE(raster);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint8_t i = values[y * 6 + x];
      EXPECT_EQ(testing::PixelAt(*raster, x, y), (Colour{i, i, i, 255})) << x << "," << y;
    }
  }
}

TEST(PcxDecoder, RunMayCarryIntoTheNextLine) {
  // 4 wide, 2 lines of 4 bytes: one run of 6 and one of 2.
  PcxLayout layout{5, 1, 8, 1, 0, 0, 3, 1, 4};
  Bytes bytes = testing::PcxHeader(layout);
  for (std::uint8_t b : {0xC6, 0x21, 0xC2, 0x42}) bytes.push_back(b);
  const auto raster = DecodePcx8(bytes);
  ASSERT_TRUE(raster);
  EXPECT_EQ(testing::PixelAt(*raster, 3, 0).r, 0x21);
  EXPECT_EQ(testing::PixelAt(*raster, 1, 1).r, 0x21);
  EXPECT_EQ(testing::PixelAt(*raster, 2, 1).r, 0x42);
}

TEST(PcxDecoder, ByteOf192IsAValueNotARun) {
  PcxLayout layout{5, 1, 8, 1, 0, 0, 1, 0, 2};
  Bytes bytes = testing::PcxHeader(layout);
  for (std::uint8_t b : {0xC0, 0x05}) bytes.push_back(b);
  const auto raster = DecodePcx8(bytes);
  ASSERT_TRUE(raster);
  EXPECT_EQ(testing::PixelAt(*raster, 0, 0).r, 192);
  EXPECT_EQ(testing::PixelAt(*raster, 1, 0).r, 5);
}

TEST(PcxDecoder, OneBitHighestFirstSetIsWhite) {
  // 10 wide: two bytes a line, the second partly padding.
  PcxLayout layout{3, 1, 1, 1, 0, 0, 9, 1, 2};
  const Bytes values = {0xA5, 0x80, 0x0F, 0x40};
  const auto raster = DecodePcx1(testing::BuildPcx(layout, values));
  ASSERT_TRUE(raster);
  ASSERT_EQ(raster->width, 10);
  ASSERT_EQ(raster->height, 2);
  const char* expected[] = {"1010010110", "0000111101"};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 10; ++x) {
      const std::uint8_t level = expected[y][x] == '1' ? 255 : 0;
      EXPECT_EQ(testing::PixelAt(*raster, x, y), (Colour{level, level, level, 255})) << x << "," << y;
    }
  }
}

TEST(PcxDecoder, RefusesBadHeadersAndShortData) {
  const Bytes values = IndexLines(6);
  struct Case {
    const char* name;
    PcxLayout layout;
    std::size_t cut;  // bytes removed from the end
  };
  const Case cases[] = {
      {"encoding 0", {5, 0, 8, 1, 0, 0, 4, 2, 6}, 0},
      {"version 6", {6, 1, 8, 1, 0, 0, 4, 2, 6}, 0},
      {"columns reversed", {5, 1, 8, 1, 5, 0, 4, 2, 6}, 0},
      {"rows reversed", {5, 1, 8, 1, 0, 3, 4, 2, 6}, 0},
      {"three planes", {5, 1, 8, 3, 0, 0, 4, 2, 6}, 0},
      {"line shorter than the width", {5, 1, 8, 1, 0, 0, 4, 2, 4}, 0},
      {"side over 32767", {5, 1, 8, 1, 0, 0, 40000, 0, 6}, 0},
      {"data end early", {5, 1, 8, 1, 0, 0, 4, 2, 6}, 3},
  };
  for (const Case& c : cases) {
    Bytes bytes = testing::BuildPcx(c.layout, values);
    bytes.resize(bytes.size() - c.cut);
    EXPECT_FALSE(DecodePcx8(bytes).has_value()) << c.name;
  }
  EXPECT_FALSE(DecodePcx8(testing::PcxHeader(Layout8())).has_value()) << "header only";
  EXPECT_FALSE(DecodePcx1(testing::BuildPcx(Layout8(), values)).has_value()) << "8 bits read as 1 bit";
  // A small file claiming the largest picture is refused before allocation.
  PcxLayout huge{5, 1, 8, 1, 0, 0, 7999, 7999, 8000};
  Bytes tiny = testing::PcxHeader(huge);
  tiny.insert(tiny.end(), 64, 0xFF);
  EXPECT_FALSE(DecodePcx8(tiny).has_value()) << "huge claim";
}

}  // namespace
}  // namespace velkaro
