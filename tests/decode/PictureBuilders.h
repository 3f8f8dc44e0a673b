#pragma once
// Small builders for test pictures: BMP, ICO/CUR and PCX byte by byte, JPEG
// and PNG through libjpeg and libpng's writers.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Raster.h"

namespace velkaro::testing {

using Bytes = std::vector<std::uint8_t>;

struct Colour {
  std::uint8_t r, g, b, a;
  bool operator==(const Colour&) const = default;
};

std::string Describe(Colour c);

// The pixel at (x, y) of a raster as r, g, b, a.
Colour PixelAt(const Raster& raster, int x, int y);

void PutU16(Bytes& out, unsigned v);
void PutU32(Bytes& out, std::uint32_t v);

// A device-independent bitmap's stored pixels: `index(x, y)` for palette
// depths, `colour(x, y)` for 24/32 bits; y counts from the top.
struct DibPixels {
  int width = 0;
  int height = 0;  // picture rows, always positive here
  int bitsPerPixel = 24;
  std::vector<Colour> palette;  // written as B G R 0
  std::function<unsigned(int, int)> index;
  std::function<Colour(int, int)> colour;
};

// Rows padded to 4 bytes; bottom row first unless topDown.
Bytes DibRows(const DibPixels& pixels, bool topDown);

struct BmpLayout {
  std::uint32_t infoHeaderBytes = 40;
  bool topDown = false;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;  // written as is
  std::int64_t pixelOffsetDelta = 0;  // added to the true pixel offset
};

Bytes BuildBmp(const DibPixels& pixels, const BmpLayout& layout = {});

// One directory entry's image for an icon file: colours plus mask, where
// `transparent(x, y)` sets the mask bit.
struct IconImage {
  DibPixels pixels;
  std::function<bool(int, int)> transparent;
  std::uint8_t widthByte = 0;    // directory width byte
  std::uint8_t coloursByte = 0;  // directory colour count byte
  Bytes png;                     // when set, stored instead of a DIB
};

Bytes IconDib(const IconImage& image);
// type 1 = ICO, 2 = CUR
Bytes BuildIcon(std::uint16_t type, const std::vector<IconImage>& images);

struct PcxLayout {
  std::uint8_t version = 5;
  std::uint8_t encoding = 1;
  std::uint8_t bitsPerPixel = 8;
  std::uint8_t planes = 1;
  int left = 0, top = 0, right = 0, bottom = 0;
  int bytesPerLine = 0;  // 0: the least that holds a line, rounded to even
};

// `values` are the decoded line bytes, line after line; they are run-length
// encoded here run by run within each line.
Bytes BuildPcx(const PcxLayout& layout, const Bytes& values);
Bytes PcxHeader(const PcxLayout& layout);

struct JpegOptions {
  int components = 3;  // 1, 3 or 4 (CMYK with an Adobe marker)
  bool progressive = false;
  int quality = 90;
};

// `sample(x, y, c)` gives component c of the pixel.
Bytes EncodeJpeg(int width, int height, const JpegOptions& options,
                 const std::function<std::uint8_t(int, int, int)>& sample);

struct PngOptions {
  int colorType = 2;  // PNG_COLOR_TYPE_* value
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<Colour> palette;  // for colour type 3; alpha < 255 writes tRNS
};

// `rows` hold the PNG's own row layout (without filter bytes), top row first.
Bytes EncodePng(int width, int height, const PngOptions& options, const std::vector<Bytes>& rows);

}  // namespace velkaro::testing
