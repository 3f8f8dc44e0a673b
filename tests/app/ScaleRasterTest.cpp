#include <gtest/gtest.h>

#include "ScaleRaster.h"

namespace velkaro {
namespace {

Raster Make(int w, int h, std::vector<std::uint8_t> bgra) { return Raster{w, h, std::move(bgra)}; }

Raster Flat(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  Raster out{w, h, {}};
  for (int i = 0; i < w * h; ++i) out.bgra.insert(out.bgra.end(), {b, g, r, 255});
  return out;
}

TEST(ScaleRasterTest, FlatColoursStayExactlyFlatAtAnySize) {
  const struct { int sw, sh, dw, dh; } sizes[] = {
      {1, 1, 374, 498}, {1920, 1080, 374, 498}, {3, 7, 374, 498}, {997, 13, 5, 3}, {374, 498, 374, 498}};
  for (auto s : sizes) {
    for (ScaleFilter f : {ScaleFilter::kAveraging, ScaleFilter::kPixelPicking}) {
      const Raster out = ScaleRaster(Flat(s.sw, s.sh, 17, 130, 251), s.dw, s.dh, f);
      ASSERT_EQ(out.width, s.dw);
      ASSERT_EQ(out.height, s.dh);
      ASSERT_EQ(out.bgra.size(), static_cast<std::size_t>(s.dw) * s.dh * 4);
      EXPECT_EQ(out.bgra, Flat(s.dw, s.dh, 17, 130, 251).bgra) << s.sw << "x" << s.sh;
    }
  }
}

TEST(ScaleRasterTest, AveragingTakesTheMeanOfTheCoveredArea) {
  // 2 x 1 black and white halves to one pixel: the mean, rounded.
  const Raster bw = Make(2, 1, {0, 0, 0, 255, 255, 255, 255, 255});
  const Raster one = ScaleRaster(bw, 1, 1, ScaleFilter::kAveraging);
  EXPECT_EQ(one.bgra, (std::vector<std::uint8_t>{128, 128, 128, 255}));
  // 3 x 1 to 2 x 1: each target covers 1.5 source pixels.
  const Raster ramp = Make(3, 1, {0, 0, 0, 255, 90, 90, 90, 255, 180, 180, 180, 255});
  const Raster two = ScaleRaster(ramp, 2, 1, ScaleFilter::kAveraging);
  EXPECT_EQ(two.bgra, (std::vector<std::uint8_t>{30, 30, 30, 255, 150, 150, 150, 255}));
}

TEST(ScaleRasterTest, PixelPickingCopiesTheSourcePixelUnderEachCentre) {
  const Raster bw = Make(2, 1, {0, 0, 0, 255, 255, 255, 255, 255});
  const Raster four = ScaleRaster(bw, 4, 1, ScaleFilter::kPixelPicking);
  EXPECT_EQ(four.bgra, (std::vector<std::uint8_t>{0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255,
                                                  255, 255, 255, 255}));
  const Raster one = ScaleRaster(bw, 1, 1, ScaleFilter::kPixelPicking);
  EXPECT_TRUE(one.bgra == (std::vector<std::uint8_t>{255, 255, 255, 255}));
}

}  // namespace
}  // namespace velkaro
