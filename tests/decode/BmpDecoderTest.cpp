#include "BmpDecoder.h"

#include <climits>

#include <gtest/gtest.h>

#include "PictureBuilders.h"

namespace velkaro {
namespace {

using testing::BmpLayout;
using testing::Bytes;
using testing::Colour;
using testing::DibPixels;

Colour TrueColour(int x, int y) {
  return {static_cast<std::uint8_t>(x * 40 + 3), static_cast<std::uint8_t>(y * 70 + 5),
          static_cast<std::uint8_t>(x * y * 11 + 7), 255};
}

std::vector<Colour> MakePalette(int count) {
  std::vector<Colour> palette;
  for (int i = 0; i < count; ++i) {
    palette.push_back({static_cast<std::uint8_t>(i * 37 + 1), static_cast<std::uint8_t>(i * 91 + 2),
                       static_cast<std::uint8_t>(255 - i), 255});
  }
  return palette;
}

// Width 5 leaves padding at the end of every row at every depth.
DibPixels Pattern(int bits) {
  DibPixels p{5, 3, bits, {}, {}, TrueColour};
  if (bits <= 8) {
    const int count = 1 << bits;
    p.palette = MakePalette(count);
    p.index = [count](int x, int y) { return static_cast<unsigned>((x + 2 * y) % count); };
  }
  return p;
}

Colour Expected(const DibPixels& p, int x, int y) {
  return p.bitsPerPixel <= 8 ? p.palette[p.index(x, y)] : p.colour(x, y);
}

void ExpectPicture(const DibPixels& p, const std::optional<Raster>& raster, const std::string& label) {
  ASSERT_TRUE(raster.has_value()) << label;
  ASSERT_EQ(raster->width, p.width) << label;
  ASSERT_EQ(raster->height, p.height) << label;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      EXPECT_EQ(testing::PixelAt(*raster, x, y), Expected(p, x, y))
          << label << " at " << x << "," << y << ": " << testing::Describe(testing::PixelAt(*raster, x, y));
    }
  }
}

TEST(BmpDecoder, DecodesEveryDepthAndHeaderLengthBothWaysUp) {
  struct Case {
    int bits;
    std::uint32_t headerBytes;
    bool topDown;
  };
  const Case cases[] = {
      {1, 40, false},  {4, 40, false},  {8, 40, false},  {24, 40, false}, {32, 40, false},
      {1, 40, true},   {4, 40, true},   {8, 40, true},   {24, 40, true},  {32, 40, true},
      {8, 108, false}, {8, 124, false}, {4, 124, true},  {24, 108, false}, {32, 124, true},
  };
  for (const Case& c : cases) {
    const DibPixels p = Pattern(c.bits);
    BmpLayout layout;
    layout.infoHeaderBytes = c.headerBytes;
    layout.topDown = c.topDown;
    const std::string label = std::to_string(c.bits) + " bits, header " + std::to_string(c.headerBytes) +
                              (c.topDown ? ", top-down" : ", bottom-up");
    ExpectPicture(p, DecodeBmp(testing::BuildBmp(p, layout)), label);
  }
}

TEST(BmpDecoder, PaletteCountFromHeaderAndIndexBeyondItIsBlack) {
  DibPixels p = Pattern(8);
  p.palette = MakePalette(3);  // indexes 3 and up point past the palette
  BmpLayout layout;
  layout.colorsUsed = 3;
  const auto raster = DecodeBmp(testing::BuildBmp(p, layout));
  ASSERT_TRUE(raster);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const unsigned index = p.index(x, y);
      const Colour want = index < 3 ? p.palette[index] : Colour{0, 0, 0, 255};
      EXPECT_EQ(testing::PixelAt(*raster, x, y), want) << "index " << index;
    }
  }
}

void PutI32At(Bytes& b, std::size_t at, std::int32_t v);

TEST(BmpDecoder, LastRowMayLackItsPadding) {
  const DibPixels p = Pattern(24);
  Bytes bytes = testing::BuildBmp(p);
  bytes.pop_back();
  ExpectPicture(p, DecodeBmp(bytes), "one padding byte missing");
}

TEST(BmpDecoder, PixelDataMayStartAfterAGap) {
  DibPixels p = Pattern(24);
  BmpLayout layout;
  layout.pixelOffsetDelta = 6;
  Bytes bytes = testing::BuildBmp(p, layout);
  // Make room for the gap between the headers and the pixels.
  bytes.insert(bytes.begin() + 54, 6, 0xEE);
  ExpectPicture(p, DecodeBmp(bytes), "gap of 6");
}

void PutI32At(Bytes& b, std::size_t at, std::int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

TEST(BmpDecoder, RefusesWhatItCannotShow) {
  const Bytes good8 = testing::BuildBmp(Pattern(8));
  const Bytes good24 = testing::BuildBmp(Pattern(24));
  struct Case {
    const char* name;
    std::function<Bytes()> make;
  };
  const Case cases[] = {
      {"empty", [] { return Bytes{}; }},
      {"BM then garbage", [] { return Bytes{'B', 'M', 0x13, 0x37, 0xAB, 0xCD, 0xEF, 0x01, 0x02}; }},
      {"header cut short", [&] { return Bytes(good24.begin(), good24.begin() + 40); }},
      {"last row cut short", [&] { return Bytes(good24.begin(), good24.end() - 16); }},
      {"compressed (RLE8)", [&] { Bytes b = good8; b[30] = 1; return b; }},
      {"16 bits", [&] { Bytes b = good24; b[28] = 16; return b; }},
      {"2 bits", [&] { Bytes b = good8; b[28] = 2; return b; }},
      {"12-byte core header", [&] { Bytes b = good24; b[14] = 12; return b; }},
      {"offset into the headers", [&] { Bytes b = good24; b[10] = 40; return b; }},
      {"offset into the palette", [&] { Bytes b = good8; PutI32At(b, 10, 54 + 100); return b; }},
      {"offset past the end", [&] { Bytes b = good24; PutI32At(b, 10, 100000); return b; }},
      {"colour count above 256", [&] { Bytes b = good8; PutI32At(b, 46, 257); return b; }},
      {"palette past the end", [&] { Bytes b = good8; PutI32At(b, 46, 256); b.resize(54 + 500); return b; }},
      {"width 0", [&] { Bytes b = good24; PutI32At(b, 18, 0); return b; }},
      {"negative width", [&] { Bytes b = good24; PutI32At(b, 18, -5); return b; }},
      {"height 0", [&] { Bytes b = good24; PutI32At(b, 22, 0); return b; }},
      {"height INT_MIN", [&] { Bytes b = good24; PutI32At(b, 22, INT32_MIN); return b; }},
      {"side over 32767", [&] { Bytes b = good24; PutI32At(b, 18, 32768); PutI32At(b, 22, 1); return b; }},
      {"huge header size", [&] { Bytes b = good24; PutI32At(b, 14, -1); return b; }},
  };
  for (const Case& c : cases) EXPECT_FALSE(DecodeBmp(c.make()).has_value()) << c.name;
}

}  // namespace
}  // namespace velkaro
