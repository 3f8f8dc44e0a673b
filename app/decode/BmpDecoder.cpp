#include "BmpDecoder.h"

#include "ByteReader.h"
#include "DibPixels.h"
#include "PictureLimits.h"

namespace velkaro {

namespace {

constexpr std::uint64_t kFileHeaderBytes = 14;

}  // namespace

std::optional<Raster> DecodeBmp(std::span<const std::uint8_t> data) {
  ByteReader reader(data);
  if (reader.u8() != 'B' || reader.u8() != 'M') return std::nullopt;
  reader.skip(8);  // file size and reserved words, which writers fill carelessly
  const std::uint32_t pixelOffset = reader.u32le();
  const dib::InfoHeader header = dib::ReadInfoHeader(reader);
  if (reader.failed() || header.size < dib::kInfoHeaderBytes) return std::nullopt;
  if (header.compression != dib::kCompressionNone || !dib::BitsSupported(header.bitsPerPixel)) {
    return std::nullopt;
  }
  const std::int64_t width = header.width;
  const std::int64_t rows = header.height < 0 ? -static_cast<std::int64_t>(header.height) : header.height;
  if (!PictureSizeAllowed(width, rows)) return std::nullopt;

  // The palette follows the information header, whatever its length; longer
  // headers (108 and 124 bytes) would otherwise have their tail read as colours.
  const std::uint64_t paletteStart = kFileHeaderBytes + header.size;
  std::uint64_t headersEnd = paletteStart;
  dib::Palette palette{};
  const std::uint32_t paletteCount = dib::PaletteCount(header);
  if (paletteCount == dib::kBadPaletteCount) return std::nullopt;
  if (paletteCount > 0) {
    if (paletteStart > data.size()) return std::nullopt;
    reader.seek(static_cast<std::size_t>(paletteStart));
    if (!dib::ReadPalette(reader, paletteCount, palette)) return std::nullopt;
    headersEnd += static_cast<std::uint64_t>(paletteCount) * 4;
  }
  if (pixelOffset < headersEnd || pixelOffset > data.size()) return std::nullopt;

  // The last row's padding may be missing; its pixels may not.
  const std::uint64_t stride = dib::RowStride(width, header.bitsPerPixel);
  const std::uint64_t needed =
      stride * static_cast<std::uint64_t>(rows - 1) + dib::RowPixelBytes(width, header.bitsPerPixel);
  if (data.size() - pixelOffset < needed) return std::nullopt;

  Raster out = MakeRaster(static_cast<int>(width), static_cast<int>(rows));
  dib::ConvertRows(data.subspan(pixelOffset), stride, header.bitsPerPixel, palette, header.height > 0,
                   out);
  return out;
}

}  // namespace velkaro
