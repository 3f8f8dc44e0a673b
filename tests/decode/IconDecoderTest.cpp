#include "IconDecoder.h"

#include <gtest/gtest.h>

#include "PictureBuilders.h"

namespace velkaro {
namespace {

using testing::Bytes;
using testing::Colour;
using testing::DibPixels;
using testing::IconImage;

bool Ring(int x, int y) { return (x + y) % 3 == 0; }

IconImage MakeIcon(int size, int bits, std::uint8_t widthByte, std::uint8_t coloursByte) {
  DibPixels p{size, size, bits, {}, {}, {}};
  if (bits <= 8) {
    const int count = 1 << bits;
    for (int i = 0; i < count; ++i) {
      p.palette.push_back({static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(i * 5 + 9),
                           static_cast<std::uint8_t>(200 - i), 255});
    }
    p.index = [count](int x, int y) { return static_cast<unsigned>((x * 3 + y) % count); };
  } else {
    p.colour = [](int x, int y) {
      return Colour{static_cast<std::uint8_t>(x * 9), static_cast<std::uint8_t>(y * 13), 77, 255};
    };
  }
  return IconImage{std::move(p), Ring, widthByte, coloursByte, {}};
}

Colour Expected(const IconImage& icon, int x, int y) {
  const DibPixels& p = icon.pixels;
  Colour c = p.bitsPerPixel <= 8 ? p.palette[p.index(x, y)] : p.colour(x, y);
  c.a = icon.transparent(x, y) ? 0 : 255;
  return c;
}

void ExpectIcon(const IconImage& icon, const std::optional<Raster>& raster, const std::string& label) {
  ASSERT_TRUE(raster.has_value()) << label;
  ASSERT_EQ(raster->width, icon.pixels.width) << label;
  ASSERT_EQ(raster->height, icon.pixels.height) << label;
  for (int y = 0; y < raster->height; ++y) {
    for (int x = 0; x < raster->width; ++x) {
      ASSERT_EQ(testing::PixelAt(*raster, x, y), Expected(icon, x, y)) << label << " at " << x << "," << y;
    }
  }
}

TEST(IconDecoder, DecodesColoursAndMaskAtEveryDepthForIconsAndCursors) {
  for (std::uint16_t type : {1, 2}) {
    for (int bits : {1, 4, 8, 24, 32}) {
      // Width 7 pads both the colour rows and the mask rows.
      const IconImage icon = MakeIcon(7, bits, 7, 0);
      ExpectIcon(icon, DecodeIcon(testing::BuildIcon(type, {icon})),
                 "type " + std::to_string(type) + ", " + std::to_string(bits) + " bits");
    }
  }
}

TEST(IconDecoder, ChoosesFirst32PixelEntryWithManyColoursElseTheLast) {
  struct Case {
    const char* name;
    std::vector<IconImage> entries;
    int expectedSize;
  };
  const Case cases[] = {
      {"32 px with colour count 200 in the middle",
       {MakeIcon(16, 8, 16, 0), MakeIcon(32, 8, 32, 200), MakeIcon(48, 24, 48, 0)},
       32},
      {"first of two candidates",
       {MakeIcon(12, 8, 32, 16), MakeIcon(32, 8, 32, 16)},
       12},
      {"32 px with colour count 15",
       {MakeIcon(32, 4, 32, 15), MakeIcon(24, 24, 24, 0)},
       24},
      {"32 px with colour count 0, then the last",
       {MakeIcon(32, 24, 32, 0), MakeIcon(20, 24, 20, 0)},
       20},
  };
  for (const Case& c : cases) {
    const auto raster = DecodeIcon(testing::BuildIcon(1, c.entries));
    ASSERT_TRUE(raster) << c.name;
    EXPECT_EQ(raster->width, c.expectedSize) << c.name;
  }
}

TEST(IconDecoder, EntryHoldingAPngIsDecodedAsPng) {
  std::vector<Bytes> rows(2, Bytes{10, 20, 30, 0, 40, 50, 60, 128});
  const Bytes png = testing::EncodePng(2, 2, {6, 8, false, {}}, rows);
  IconImage icon = MakeIcon(2, 32, 0, 0);
  icon.png = png;
  const auto raster = DecodeIcon(testing::BuildIcon(1, {icon}));
  ASSERT_TRUE(raster);
  EXPECT_EQ(testing::PixelAt(*raster, 0, 1), (Colour{10, 20, 30, 0}));
  EXPECT_EQ(testing::PixelAt(*raster, 1, 0), (Colour{40, 50, 60, 128}));
}

void PutU32At(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(IconDecoder, RefusesUnreadableEntries) {
  const Bytes good = testing::BuildIcon(1, {MakeIcon(8, 8, 8, 0)});
  // Directory entry: size at 14, offset at 18; the image header at 22.
  struct Case {
    const char* name;
    std::function<Bytes()> make;
  };
  const Case cases[] = {
      {"no entries", [&] { Bytes b = good; b[4] = 0; return b; }},
      {"directory cut short", [&] { return Bytes(good.begin(), good.begin() + 15); }},
      {"offset past the end", [&] { Bytes b = good; PutU32At(b, 18, 0xFFFFFFF0u); return b; }},
      {"size past the end", [&] { Bytes b = good; PutU32At(b, 14, static_cast<std::uint32_t>(b.size())); return b; }},
      {"mask cut short", [&] { Bytes b = good; PutU32At(b, 14, static_cast<std::uint32_t>(b.size() - 22 - 4)); return b; }},
      {"compressed image", [&] { Bytes b = good; b[22 + 16] = 1; return b; }},
      {"16 bits", [&] { Bytes b = good; b[22 + 14] = 16; return b; }},
      {"stored height 1", [&] { Bytes b = good; PutU32At(b, 22 + 8, 1); return b; }},
      {"short header", [&] { Bytes b = good; b[22] = 12; return b; }},
      {"broken PNG inside", [&] {
         Bytes b = good;
         const Bytes sig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
         std::copy(sig.begin(), sig.end(), b.begin() + 22);
         return b;
       }},
  };
  ASSERT_TRUE(DecodeIcon(good));
  for (const Case& c : cases) EXPECT_FALSE(DecodeIcon(c.make()).has_value()) << c.name;
}

}  // namespace
}  // namespace velkaro
