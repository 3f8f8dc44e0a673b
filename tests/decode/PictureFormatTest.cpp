#include "PictureFormat.h"

#include <string>

#include <gtest/gtest.h>

#include "PictureLimits.h"

namespace velkaro {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::string Name(std::optional<PictureFormat> f) { return f ? std::string(PictureFormatName(*f)) : "none"; }

TEST(RecognizePictureFormat, FollowsTheTableInOrderFromTheFirstEightBytes) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* expected;
  };
  const Case cases[] = {
      {"empty", {}, "none"},
      {"seven JPEG bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A}, "none"},
      {"eight JPEG bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46}, "JPEG"},
      {"BM", Of("BM\x01\x02\x03\x04\x05\x06"), "BMP"},
      {"BM seven bytes", Of("BM\x01\x02\x03\x04\x05"), "none"},
      {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, "PNG"},
      {"PNG only four bytes checked", {0x89, 'P', 'N', 'G', 0, 0, 0, 0}, "PNG"},
      {"ICO", {0, 0, 1, 0, 1, 0, 32, 32}, "ICO"},
      {"ICO count above 255", {0, 0, 1, 0, 0, 1, 32, 32}, "ICO"},
      {"ICO without entries", {0, 0, 1, 0, 0, 0, 32, 32}, "none"},
      {"CUR", {0, 0, 2, 0, 3, 0, 0, 0}, "CUR"},
      {"type 3", {0, 0, 3, 0, 1, 0, 0, 0}, "none"},
      {"GIF87a", {'G', 'I', 'F', '8', '7', 'a', 0x10, 0}, "GIF"},
      {"GIF89a", {'G', 'I', 'F', '8', '9', 'a', 0x10, 0}, "GIF"},
      {"GIF88a", {'G', 'I', 'F', '8', '8', 'a', 0x10, 0}, "none"},
      {"GIF89b", {'G', 'I', 'F', '8', '9', 'b', 0x10, 0}, "none"},
      {"PCX 8 bits version 5", {0x0A, 5, 1, 8, 0, 0, 0, 0}, "PCX8"},
      {"PCX 8 bits version 0", {0x0A, 0, 1, 8, 0, 0, 0, 0}, "PCX8"},
      {"PCX 8 bits version 6", {0x0A, 6, 1, 8, 0, 0, 0, 0}, "none"},
      {"PCX 8 bits not encoded", {0x0A, 5, 0, 8, 0, 0, 0, 0}, "none"},
      {"PCX 1 bit version 3", {0x0A, 3, 1, 1, 0, 0, 0, 0}, "PCX1"},
      {"PCX 1 bit version 5", {0x0A, 5, 1, 1, 0, 0, 0, 0}, "none"},
      {"PCX 4 bits", {0x0A, 3, 1, 4, 0, 0, 0, 0}, "none"},
      {"HTML page", Of("<!DOCTYPE html><html><body>404 Not Found</body></html>"), "none"},
      {"text", Of("Hello, world"), "none"},
  };
  for (const Case& c : cases) EXPECT_EQ(Name(RecognizePictureFormat(c.bytes)), c.expected) << c.name;
}

TEST(RecognizePictureFormat, LooksAtNothingPastTheEighthByte) {
  Bytes bytes = {0x0A, 5, 1, 8, 0, 0, 0, 0};
  for (int tail : {0x00, 0xFF}) {
    Bytes longer = bytes;
    longer.insert(longer.end(), 100, static_cast<std::uint8_t>(tail));
    EXPECT_EQ(Name(RecognizePictureFormat(longer)), "PCX8");
  }
}

TEST(PictureSizeAllowed, BoundsSidesAndPixelCount) {
  struct Case {
    std::int64_t w, h;
    bool allowed;
  };
  const Case cases[] = {
      {1, 1, true},          {0, 1, false},         {1, 0, false},       {-1, 5, false},
      {32767, 1, true},      {32768, 1, false},     {1, 32768, false},   {8000, 8000, true},
      {8000, 8001, false},   {32767, 1953, true},   {32767, 1954, false}, {INT32_MIN, INT32_MIN, false},
  };
  for (const Case& c : cases) EXPECT_EQ(PictureSizeAllowed(c.w, c.h), c.allowed) << c.w << "x" << c.h;
}

}  // namespace
}  // namespace velkaro
