#pragma once
// Pixel rows of a device-independent bitmap, shared by BMP files and the
// images inside ICO/CUR files: 1, 4 and 8 bits through a palette of 4-byte
// entries (blue, green, red, unused), 24 and 32 bits as blue, green, red.
#include <array>
#include <cstdint>
#include <span>

#include "ByteReader.h"
#include "Raster.h"

namespace velkaro::dib {

inline constexpr std::uint32_t kInfoHeaderBytes = 40;
inline constexpr std::uint32_t kCompressionNone = 0;
inline constexpr std::uint32_t kMaxPaletteEntries = 256;

// BGRA entries; entries the file does not define stay opaque black, so an
// index past the file's palette shows black instead of reading beyond it.
using Palette = std::array<std::array<std::uint8_t, 4>, kMaxPaletteEntries>;

// The fields of the 40-byte information header that decoding needs. Longer
// headers (108, 124 bytes) begin with the same fields.
struct InfoHeader {
  std::uint32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
};

InfoHeader ReadInfoHeader(ByteReader& reader);

bool BitsSupported(int bitsPerPixel);

// Bytes one stored row occupies, padded to 4 bytes.
std::uint64_t RowStride(std::int64_t width, int bitsPerPixel);

// Bytes of pixel data in one row before its padding.
std::uint64_t RowPixelBytes(std::int64_t width, int bitsPerPixel);

// Number of palette entries stored for this header: the colour count, or
// 2^bits when it is 0; 0 for 24 and 32 bits. Nullopt-like 0xFFFFFFFF when
// the count is beyond any sensible palette.
inline constexpr std::uint32_t kBadPaletteCount = 0xFFFFFFFFu;
std::uint32_t PaletteCount(const InfoHeader& header);

// Reads count 4-byte entries at the reader's position.
bool ReadPalette(ByteReader& reader, std::uint32_t count, Palette& palette);

// Converts `rows` stored rows of `stride` bytes each from `pixels` into
// `out` (already sized). The caller has checked that `pixels` holds them all.
void ConvertRows(std::span<const std::uint8_t> pixels, std::uint64_t stride, int bitsPerPixel,
                 const Palette& palette, bool bottomUp, Raster& out);

}  // namespace velkaro::dib
