#include "JpegDecoder.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "PictureBuilders.h"

namespace velkaro {
namespace {

using testing::Bytes;
using testing::Colour;
using testing::JpegOptions;

std::uint8_t Smooth(int x, int y, int c) { return static_cast<std::uint8_t>(30 + x + y + c * 50); }

Bytes Colourful(const JpegOptions& options, int width = 64, int height = 48) {
  return testing::EncodeJpeg(width, height, options, Smooth);
}

int MaxDifference(Colour a, Colour b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
}

TEST(JpegDecoder, ColourAndGreyComeOutCloseToTheirSource) {
  struct Case {
    const char* name;
    JpegOptions options;
  };
  const Case cases[] = {
      {"colour baseline", {3, false, 95}},
      {"colour progressive", {3, true, 95}},
      {"grey baseline", {1, false, 95}},
      {"grey progressive", {1, true, 95}},
  };
  for (const Case& c : cases) {
    const auto raster = DecodeJpeg(Colourful(c.options));
    ASSERT_TRUE(raster) << c.name;
    ASSERT_EQ(raster->width, 64) << c.name;
    ASSERT_EQ(raster->height, 48) << c.name;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const Colour got = testing::PixelAt(*raster, x, y);
        const Colour want = c.options.components == 1
                                ? Colour{Smooth(x, y, 0), Smooth(x, y, 0), Smooth(x, y, 0), 255}
                                : Colour{Smooth(x, y, 0), Smooth(x, y, 1), Smooth(x, y, 2), 255};
        ASSERT_LE(MaxDifference(got, want), 6) << c.name << " at " << x << "," << y << ": " << testing::Describe(got);
        if (c.options.components == 1) {
          ASSERT_TRUE(got.r == got.g && got.g == got.b) << c.name;
        }
      }
    }
  }
}

TEST(JpegDecoder, ProgressiveGivesTheSamePixelsAsBaseline) {
  // The same quantised coefficients, only sent in a different order.
  const auto baseline = DecodeJpeg(Colourful({3, false, 80}));
  const auto progressive = DecodeJpeg(Colourful({3, true, 80}));
  ASSERT_TRUE(baseline && progressive);
  EXPECT_EQ(baseline->bgra, progressive->bgra);
}

TEST(JpegDecoder, TruncatedJpegKeepsFullSizeAndTheRowsThatArrived) {
  for (bool progressive : {false, true}) {
    const Bytes whole = Colourful({3, progressive, 90}, 64, 256);
    const auto complete = DecodeJpeg(whole);
    ASSERT_TRUE(complete);
    const Bytes half(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
    const auto cut = DecodeJpeg(half);
    ASSERT_TRUE(cut) << "progressive " << progressive;
    EXPECT_EQ(cut->width, 64);
    EXPECT_EQ(cut->height, 256);
    if (!progressive) {
      // The first rows were complete long before the cut.
      const std::size_t firstRows = 16 * complete->RowBytes();
      EXPECT_TRUE(std::equal(cut->bgra.begin(), cut->bgra.begin() + firstRows, complete->bgra.begin()));
    }
    EXPECT_EQ(DecodeJpeg(half)->bgra, cut->bgra) << "unreached rows are deterministic";
  }
}

TEST(JpegDecoder, CmykWithAdobeMarkerIsTakenAsInverted) {
  // Stored 255 means no ink: C and Y none, M full, K none gives magenta.
  const Bytes bytes = testing::EncodeJpeg(16, 16, {4, false, 95}, [](int, int, int c) {
    return static_cast<std::uint8_t>(c == 1 ? 0 : 255);
  });
  const auto raster = DecodeJpeg(bytes);
  ASSERT_TRUE(raster);
  EXPECT_LE(MaxDifference(testing::PixelAt(*raster, 8, 8), Colour{255, 0, 255, 255}), 3)
      << testing::Describe(testing::PixelAt(*raster, 8, 8));
}

TEST(JpegDecoder, RefusesBrokenAndOversizedPictures) {
  const Bytes good = Colourful({3, false, 90});
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"empty", {}},
      {"seven bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A}},
      {"start of image then garbage", {0xFF, 0xD8, 'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
      {"cut inside the header", Bytes(good.begin(), good.begin() + 100)},
      {"side over 32767", testing::EncodeJpeg(32768, 1, {1, false, 50}, [](int, int, int) { return 0; })},
  };
  for (const Case& c : cases) EXPECT_FALSE(DecodeJpeg(c.bytes).has_value()) << c.name;
}

}  // namespace
}  // namespace velkaro
