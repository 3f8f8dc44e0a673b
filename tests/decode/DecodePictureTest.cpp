#include "DecodePicture.h"

#include <string>

#include <gtest/gtest.h>

#include "PictureBuilders.h"

namespace velkaro {
namespace {

using testing::Bytes;

Bytes Of(std::string_view s) { return Bytes(s.begin(), s.end()); }

// What the box would show for the bytes: the format's name and size, or none.
std::string Shown(const Bytes& bytes) {
  const auto format = RecognizePictureFormat(bytes);
  if (!format) return "none";
  const auto raster = DecodeRasterPicture(*format, bytes);
  if (!raster) return "none";
  return std::string(PictureFormatName(*format)) + " " + std::to_string(raster->width) + "x" +
         std::to_string(raster->height);
}

TEST(DecodeRasterPicture, DispatchesEachFormatAndShowsNothingForBadBytes) {
  testing::DibPixels pixels{3, 2, 24, {}, {}, [](int, int) { return testing::Colour{1, 2, 3, 255}; }};
  testing::IconImage icon{pixels, [](int, int) { return false; }, 3, 0, {}};
  testing::PcxLayout pcx8{5, 1, 8, 1, 0, 0, 3, 1, 4};
  testing::PcxLayout pcx1{3, 1, 1, 1, 0, 0, 3, 1, 2};
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, ';'};
  struct Case {
    const char* name;
    Bytes bytes;
    const char* expected;
  };
  const Case cases[] = {
      {"BMP", testing::BuildBmp(pixels), "BMP 3x2"},
      {"JPEG", testing::EncodeJpeg(5, 4, {}, [](int, int, int) { return 9; }), "JPEG 5x4"},
      {"PNG", testing::EncodePng(2, 3, {0, 8, false, {}}, {Bytes(2), Bytes(2), Bytes(2)}), "PNG 2x3"},
      {"ICO", testing::BuildIcon(1, {icon}), "ICO 3x2"},
      {"CUR", testing::BuildIcon(2, {icon}), "CUR 3x2"},
      {"PCX8", testing::BuildPcx(pcx8, Bytes(8, 4)), "PCX8 4x2"},
      {"PCX1", testing::BuildPcx(pcx1, Bytes(4, 0xF0)), "PCX1 4x2"},
      {"GIF is read elsewhere", gif, "none"},
      {"empty", {}, "none"},
      {"seven bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A}, "none"},
      {"HTML page", Of("<html><head><title>502 Bad Gateway</title></head></html>"), "none"},
      {"BM garbage", Of("BM this is not a bitmap at all, just words"), "none"},
      {"broken PNG", Of("\x89PNG\r\n\x1a\n not really"), "none"},
      {"JPEG marker only", {0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0, 0}, "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(c.bytes), c.expected) << c.name;
}

}  // namespace
}  // namespace velkaro
