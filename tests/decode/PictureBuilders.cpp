#include "PictureBuilders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace velkaro::testing {

std::string Describe(Colour c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
         std::to_string(c.a) + ")";
}

Colour PixelAt(const Raster& raster, int x, int y) {
  const std::uint8_t* p = raster.Row(y) + 4 * x;
  return {p[2], p[1], p[0], p[3]};
}

void PutU16(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

Bytes DibRows(const DibPixels& p, bool topDown) {
  Bytes out;
  const std::size_t stride = (static_cast<std::size_t>(p.width) * p.bitsPerPixel + 31) / 32 * 4;
  for (int i = 0; i < p.height; ++i) {
    const int y = topDown ? i : p.height - 1 - i;
    Bytes row(stride, 0);
    for (int x = 0; x < p.width; ++x) {
      if (p.bitsPerPixel >= 24) {
        const Colour c = p.colour(x, y);
        std::uint8_t* d = row.data() + x * (p.bitsPerPixel / 8);
        d[0] = c.b;
        d[1] = c.g;
        d[2] = c.r;
        if (p.bitsPerPixel == 32) d[3] = 0x5A;  // must be ignored
      } else {
        const unsigned v = p.index(x, y);
        const int bit = x * p.bitsPerPixel;
        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - p.bitsPerPixel - bit % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

namespace {

void PutInfoHeader(Bytes& out, std::uint32_t size, int width, int height, int bits, std::uint32_t compression,
                   std::uint32_t colorsUsed) {
  PutU32(out, size);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));
  PutU16(out, 1);
  PutU16(out, static_cast<unsigned>(bits));
  PutU32(out, compression);
  PutU32(out, 0);
  PutU32(out, 2835);
  PutU32(out, 2835);
  PutU32(out, colorsUsed);
  PutU32(out, 0);
  // The tail of longer headers: masks, colour space, gamma. A decoder that
  // takes it for the palette shows these bytes as colours.
  for (std::uint32_t i = 40; i < size; ++i) out.push_back(static_cast<std::uint8_t>(0xC0 + i % 7));
}

void PutPalette(Bytes& out, const std::vector<Colour>& palette) {
  for (const Colour& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
}

}  // namespace

Bytes BuildBmp(const DibPixels& pixels, const BmpLayout& layout) {
  Bytes info;
  PutInfoHeader(info, layout.infoHeaderBytes, pixels.width, layout.topDown ? -pixels.height : pixels.height,
                pixels.bitsPerPixel, layout.compression, layout.colorsUsed);
  PutPalette(info, pixels.palette);
  const Bytes rows = DibRows(pixels, layout.topDown);
  Bytes out = {'B', 'M'};
  PutU32(out, static_cast<std::uint32_t>(14 + info.size() + rows.size()));
  PutU32(out, 0);
  PutU32(out, static_cast<std::uint32_t>(14 + static_cast<std::int64_t>(info.size()) + layout.pixelOffsetDelta));
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

Bytes IconDib(const IconImage& image) {
  const DibPixels& p = image.pixels;
  Bytes out;
  PutInfoHeader(out, 40, p.width, p.height * 2, p.bitsPerPixel, 0, 0);
  PutPalette(out, p.palette);
  const Bytes colours = DibRows(p, false);
  out.insert(out.end(), colours.begin(), colours.end());
  DibPixels mask{p.width, p.height, 1, {}, [&](int x, int y) { return image.transparent(x, y) ? 1u : 0u; }, {}};
  const Bytes maskRows = DibRows(mask, false);
  out.insert(out.end(), maskRows.begin(), maskRows.end());
  return out;
}

Bytes BuildIcon(std::uint16_t type, const std::vector<IconImage>& images) {
  Bytes out;
  PutU16(out, 0);
  PutU16(out, type);
  PutU16(out, static_cast<unsigned>(images.size()));
  std::vector<Bytes> stored;
  for (const IconImage& image : images) stored.push_back(image.png.empty() ? IconDib(image) : image.png);
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.push_back(images[i].widthByte);
    out.push_back(images[i].widthByte);
    out.push_back(images[i].coloursByte);
    out.push_back(0);
    PutU16(out, 1);
    PutU16(out, static_cast<unsigned>(images[i].pixels.bitsPerPixel));
    PutU32(out, static_cast<std::uint32_t>(stored[i].size()));
    PutU32(out, offset);
    offset += static_cast<std::uint32_t>(stored[i].size());
  }
  for (const Bytes& s : stored) out.insert(out.end(), s.begin(), s.end());
  return out;
}

namespace {

int LineBytes(const PcxLayout& l) {
  if (l.bytesPerLine) return l.bytesPerLine;
  const int n = ((l.right - l.left + 1) * l.bitsPerPixel + 7) / 8;
  return n + n % 2;
}

}  // namespace

Bytes PcxHeader(const PcxLayout& l) {
  Bytes out = {0x0A, l.version, l.encoding, l.bitsPerPixel};
  PutU16(out, static_cast<unsigned>(l.left));
  PutU16(out, static_cast<unsigned>(l.top));
  PutU16(out, static_cast<unsigned>(l.right));
  PutU16(out, static_cast<unsigned>(l.bottom));
  PutU16(out, 72);
  PutU16(out, 72);
  out.resize(65, 0);
  out.push_back(l.planes);
  PutU16(out, static_cast<unsigned>(LineBytes(l)));
  PutU16(out, 1);
  out.resize(128, 0);
  return out;
}

Bytes BuildPcx(const PcxLayout& l, const Bytes& values) {
  Bytes out = PcxHeader(l);
  const std::size_t line = static_cast<std::size_t>(LineBytes(l));
  for (std::size_t start = 0; start < values.size(); start += line) {
    const std::size_t end = std::min(values.size(), start + line);
    for (std::size_t i = start; i < end;) {
      std::size_t run = 1;
      while (i + run < end && values[i + run] == values[i] && run < 63) ++run;
      if (run > 1 || values[i] > 192) out.push_back(static_cast<std::uint8_t>(192 + run));
      out.push_back(values[i]);
      i += run;
    }
  }
  return out;
}

Bytes EncodeJpeg(int width, int height, const JpegOptions& options,
                 const std::function<std::uint8_t(int, int, int)>& sample) {
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = options.components;
  info.in_color_space = options.components == 1 ? JCS_GRAYSCALE : options.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * options.components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < options.components; ++c) row[x * options.components + c] = sample(x, y, c);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

}  // namespace

Bytes EncodePng(int width, int height, const PngOptions& options, const std::vector<Bytes>& rows) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  // Everything with a destructor exists before the setjmp, so an error jump
  // skips none of them.
  std::vector<png_color> colours;
  std::vector<png_byte> alphas;
  std::vector<png_bytep> pointers;
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("png encode failed");
  png_set_write_fn(png, &out, AppendToBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), options.bitDepth,
               options.colorType, options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Marked sRGB: without a colour-space chunk libpng's simplified reader
  // takes 16-bit samples as linear light and brightens them on the way to 8 bits.
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (!options.palette.empty()) {
    for (const Colour& c : options.palette) {
      colours.push_back({c.r, c.g, c.b});
      alphas.push_back(c.a);
    }
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
  }
  png_write_info(png, info);
  for (const Bytes& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace velkaro::testing
