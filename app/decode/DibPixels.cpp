#include "DibPixels.h"

#include <cstring>

namespace velkaro::dib {

namespace {

constexpr std::array<std::uint8_t, 4> kOpaqueBlack = {0, 0, 0, 255};

void ConvertRowTrueColour(const std::uint8_t* src, int width, int bytesPerPixel, std::uint8_t* dst) {
  for (int x = 0; x < width; ++x) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    dst[3] = 255;
    src += bytesPerPixel;
    dst += 4;
  }
}

void ConvertRowIndexed(const std::uint8_t* src, int width, int bitsPerPixel, const Palette& palette,
                       std::uint8_t* dst) {
  if (bitsPerPixel == 8) {
    for (int x = 0; x < width; ++x) std::memcpy(dst + 4 * x, palette[src[x]].data(), 4);
    return;
  }
  const int perByte = 8 / bitsPerPixel;
  const unsigned mask = (1u << bitsPerPixel) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bitsPerPixel * (x % perByte + 1);
    const unsigned index = (src[x / perByte] >> shift) & mask;
    std::memcpy(dst + 4 * x, palette[index].data(), 4);
  }
}

}  // namespace

InfoHeader ReadInfoHeader(ByteReader& reader) {
  InfoHeader h;
  h.size = reader.u32le();
  h.width = reader.i32le();
  h.height = reader.i32le();
  reader.skip(2);  // planes
  h.bitsPerPixel = reader.u16le();
  h.compression = reader.u32le();
  reader.skip(12);  // image size, resolution
  h.colorsUsed = reader.u32le();
  reader.skip(4);  // important colours
  return h;
}

bool BitsSupported(int bitsPerPixel) {
  return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24 ||
         bitsPerPixel == 32;
}

std::uint64_t RowStride(std::int64_t width, int bitsPerPixel) {
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) + 31) / 32 * 4;
}

std::uint64_t RowPixelBytes(std::int64_t width, int bitsPerPixel) {
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8;
}

std::uint32_t PaletteCount(const InfoHeader& header) {
  if (header.bitsPerPixel > 8) return 0;
  const std::uint32_t count = header.colorsUsed == 0 ? (1u << header.bitsPerPixel) : header.colorsUsed;
  return count > kMaxPaletteEntries ? kBadPaletteCount : count;
}

bool ReadPalette(ByteReader& reader, std::uint32_t count, Palette& palette) {
  palette.fill(kOpaqueBlack);
  const auto entries = reader.bytes(static_cast<std::size_t>(count) * 4);
  if (reader.failed()) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    palette[i] = {entries[4 * i], entries[4 * i + 1], entries[4 * i + 2], 255};
  }
  return true;
}

void ConvertRows(std::span<const std::uint8_t> pixels, std::uint64_t stride, int bitsPerPixel,
                 const Palette& palette, bool bottomUp, Raster& out) {
  for (int stored = 0; stored < out.height; ++stored) {
    const std::uint8_t* src = pixels.data() + static_cast<std::uint64_t>(stored) * stride;
    std::uint8_t* dst = out.Row(bottomUp ? out.height - 1 - stored : stored);
    if (bitsPerPixel >= 24) {
      ConvertRowTrueColour(src, out.width, bitsPerPixel / 8, dst);
    } else {
      ConvertRowIndexed(src, out.width, bitsPerPixel, palette, dst);
    }
  }
}

}  // namespace velkaro::dib
