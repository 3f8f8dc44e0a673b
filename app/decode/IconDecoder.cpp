#include "IconDecoder.h"

#include <array>
#include <algorithm>

#include "ByteReader.h"
#include "DibPixels.h"
#include "PictureLimits.h"
#include "PngDecoder.h"

namespace velkaro {

namespace {

constexpr std::uint16_t kTypeIcon = 1;
constexpr std::uint16_t kTypeCursor = 2;
constexpr std::uint8_t kPreferredWidth = 32;
constexpr std::uint8_t kPreferredMinColours = 16;
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

struct DirectoryEntry {
  std::uint8_t width = 0;
  std::uint8_t colours = 0;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

DirectoryEntry ReadEntry(ByteReader& reader) {
  DirectoryEntry e;
  e.width = reader.u8();
  reader.skip(1);  // height
  e.colours = reader.u8();
  reader.skip(5);  // reserved, planes or hot spot x, bit count or hot spot y
  e.size = reader.u32le();
  e.offset = reader.u32le();
  return e;
}

// The first 32-pixel entry with more than 15 colours, else the last entry.
std::optional<DirectoryEntry> ChooseEntry(ByteReader& reader, std::uint16_t count) {
  DirectoryEntry chosen;
  for (std::uint16_t i = 0; i < count; ++i) {
    chosen = ReadEntry(reader);
    if (reader.failed()) return std::nullopt;
    if (chosen.width == kPreferredWidth && chosen.colours >= kPreferredMinColours) break;
  }
  return chosen;
}

bool IsPng(std::span<const std::uint8_t> image) {
  return image.size() >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin());
}

// A DIB without file header whose stored height covers the colour rows and
// then the 1-bit AND mask rows.
std::optional<Raster> DecodeIconDib(std::span<const std::uint8_t> image) {
  ByteReader reader(image);
  const dib::InfoHeader header = dib::ReadInfoHeader(reader);
  if (reader.failed() || header.size < dib::kInfoHeaderBytes) return std::nullopt;
  if (header.compression != dib::kCompressionNone || !dib::BitsSupported(header.bitsPerPixel)) {
    return std::nullopt;
  }
  const std::int64_t width = header.width;
  const std::int64_t storedRows =
      header.height < 0 ? -static_cast<std::int64_t>(header.height) : header.height;
  const std::int64_t rows = storedRows / 2;
  if (!PictureSizeAllowed(width, rows)) return std::nullopt;

  dib::Palette palette{};
  const std::uint32_t paletteCount = dib::PaletteCount(header);
  if (paletteCount == dib::kBadPaletteCount) return std::nullopt;
  if (header.size > image.size()) return std::nullopt;
  reader.seek(header.size);
  if (!dib::ReadPalette(reader, paletteCount, palette)) return std::nullopt;

  const std::uint64_t colourStride = dib::RowStride(width, header.bitsPerPixel);
  const std::uint64_t maskStride = dib::RowStride(width, 1);
  const std::uint64_t colourBytes = colourStride * static_cast<std::uint64_t>(rows);
  const std::uint64_t maskBytes = maskStride * static_cast<std::uint64_t>(rows);
  if (reader.remaining() < colourBytes + maskBytes) return std::nullopt;
  const auto colours = reader.bytes(static_cast<std::size_t>(colourBytes));
  const auto mask = reader.bytes(static_cast<std::size_t>(maskBytes));

  const bool bottomUp = header.height > 0;
  Raster out = MakeRaster(static_cast<int>(width), static_cast<int>(rows));
  dib::ConvertRows(colours, colourStride, header.bitsPerPixel, palette, bottomUp, out);
  for (int stored = 0; stored < out.height; ++stored) {
    const std::uint8_t* bits = mask.data() + static_cast<std::uint64_t>(stored) * maskStride;
    std::uint8_t* dst = out.Row(bottomUp ? out.height - 1 - stored : stored);
    for (int x = 0; x < out.width; ++x) {
      if ((bits[x / 8] >> (7 - x % 8)) & 1) dst[4 * x + 3] = 0;
    }
  }
  return out;
}

}  // namespace

std::optional<Raster> DecodeIcon(std::span<const std::uint8_t> data) {
  ByteReader reader(data);
  const std::uint16_t reserved = reader.u16le();
  const std::uint16_t type = reader.u16le();
  const std::uint16_t count = reader.u16le();
  if (reader.failed() || reserved != 0 || (type != kTypeIcon && type != kTypeCursor) || count == 0) {
    return std::nullopt;
  }
  const auto entry = ChooseEntry(reader, count);
  if (!entry || entry->offset > data.size() || entry->size > data.size() - entry->offset) {
    return std::nullopt;
  }
  const auto image = data.subspan(entry->offset, entry->size);
  // Large icons are commonly stored as a whole PNG file inside the entry.
  if (IsPng(image)) return DecodePng(image);
  return DecodeIconDib(image);
}

}  // namespace velkaro
