#include "PcxDecoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ByteReader.h"
#include "PictureLimits.h"

namespace velkaro {

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::uint8_t kEncodingRunLength = 1;
constexpr std::uint8_t kMaxVersion = 5;
constexpr std::uint8_t kRunMarkerAbove = 192;
constexpr std::uint8_t kPaletteMarker = 12;
constexpr std::size_t kPaletteBytes = 256 * 3;

struct PcxHeader {
  int width = 0;
  int height = 0;
  std::size_t bytesPerLine = 0;
};

// Only one colour plane is read: a multi-plane file (24-bit or 16-colour)
// would come out as noise, so it is refused instead.
std::optional<PcxHeader> ReadHeader(std::span<const std::uint8_t> data, std::uint8_t bitsPerPixel) {
  if (data.size() <= kHeaderBytes) return std::nullopt;
  ByteReader reader(data.first(kHeaderBytes));
  const std::uint8_t manufacturer = reader.u8();
  const std::uint8_t version = reader.u8();
  const std::uint8_t encoding = reader.u8();
  const std::uint8_t bits = reader.u8();
  const std::int64_t left = reader.u16le();
  const std::int64_t top = reader.u16le();
  const std::int64_t right = reader.u16le();
  const std::int64_t bottom = reader.u16le();
  reader.seek(65);
  const std::uint8_t planes = reader.u8();
  const std::uint16_t bytesPerLine = reader.u16le();
  if (reader.failed() || manufacturer != 0x0A || version > kMaxVersion || encoding != kEncodingRunLength ||
      bits != bitsPerPixel || planes != 1 || right < left || bottom < top) {
    return std::nullopt;
  }
  const std::int64_t width = right - left + 1;
  const std::int64_t height = bottom - top + 1;
  if (!PictureSizeAllowed(width, height)) return std::nullopt;
  const std::uint64_t pixelBytes = (static_cast<std::uint64_t>(width) * bitsPerPixel + 7) / 8;
  if (bytesPerLine < pixelBytes) return std::nullopt;
  return PcxHeader{static_cast<int>(width), static_cast<int>(height), bytesPerLine};
}

// Run-length decoding across the whole image: writers may let a run carry
// over from one line into the next, so the run state outlives a line.
class RunReader {
 public:
  explicit RunReader(std::span<const std::uint8_t> encoded) : reader_(encoded) {}

  // Fills one line; false when the data end before it is complete.
  bool ReadLine(std::uint8_t* line, std::size_t length) {
    std::size_t filled = 0;
    while (filled < length) {
      if (runLeft_ == 0) {
        const std::uint8_t byte = reader_.u8();
        if (byte > kRunMarkerAbove) {
          runLeft_ = byte - kRunMarkerAbove;
          value_ = reader_.u8();
        } else {
          runLeft_ = 1;
          value_ = byte;
        }
        if (reader_.failed()) return false;
      }
      const std::size_t n = std::min<std::size_t>(runLeft_, length - filled);
      std::memset(line + filled, value_, n);
      filled += n;
      runLeft_ -= static_cast<unsigned>(n);
    }
    return true;
  }

 private:
  ByteReader reader_;
  unsigned runLeft_ = 0;
  std::uint8_t value_ = 0;
};

// Each encoded byte pair yields at most 63 values, so data too short for the
// claimed size are refused before the picture is allocated.
bool CanHold(std::span<const std::uint8_t> encoded, const PcxHeader& header) {
  const std::uint64_t maxDecoded = (static_cast<std::uint64_t>(encoded.size()) + 1) / 2 * (255 - kRunMarkerAbove);
  return maxDecoded >= static_cast<std::uint64_t>(header.bytesPerLine) * static_cast<std::uint64_t>(header.height);
}

bool HasPalette(std::span<const std::uint8_t> data) {
  return data.size() >= kHeaderBytes + 1 + kPaletteBytes && data[data.size() - kPaletteBytes - 1] == kPaletteMarker;
}

}  // namespace

// Data that end before the last line mean no picture, as for BMP.
std::optional<Raster> DecodePcx8(std::span<const std::uint8_t> data) {
  const auto header = ReadHeader(data, 8);
  if (!header) return std::nullopt;
  std::uint8_t palette[256][4];
  std::span<const std::uint8_t> encoded = data.subspan(kHeaderBytes);
  if (HasPalette(data)) {
    const std::uint8_t* rgb = data.data() + data.size() - kPaletteBytes;
    for (int i = 0; i < 256; ++i) {
      palette[i][0] = rgb[3 * i + 2];
      palette[i][1] = rgb[3 * i + 1];
      palette[i][2] = rgb[3 * i];
      palette[i][3] = 255;
    }
    encoded = encoded.first(encoded.size() - kPaletteBytes - 1);
  } else {
    for (int i = 0; i < 256; ++i) {
      palette[i][0] = palette[i][1] = palette[i][2] = static_cast<std::uint8_t>(i);
      palette[i][3] = 255;
    }
  }
  if (!CanHold(encoded, *header)) return std::nullopt;
  RunReader runs(encoded);
  std::vector<std::uint8_t> line(header->bytesPerLine);
  Raster out = MakeRaster(header->width, header->height);
  for (int y = 0; y < out.height; ++y) {
    if (!runs.ReadLine(line.data(), line.size())) return std::nullopt;
    std::uint8_t* dst = out.Row(y);
    for (int x = 0; x < out.width; ++x) std::memcpy(dst + 4 * x, palette[line[x]], 4);
  }
  return out;
}

std::optional<Raster> DecodePcx1(std::span<const std::uint8_t> data) {
  const auto header = ReadHeader(data, 1);
  if (!header) return std::nullopt;
  const auto encoded = data.subspan(kHeaderBytes);
  if (!CanHold(encoded, *header)) return std::nullopt;
  RunReader runs(encoded);
  std::vector<std::uint8_t> line(header->bytesPerLine);
  Raster out = MakeRaster(header->width, header->height);
  for (int y = 0; y < out.height; ++y) {
    if (!runs.ReadLine(line.data(), line.size())) return std::nullopt;
    std::uint8_t* dst = out.Row(y);
    for (int x = 0; x < out.width; ++x) {
      const std::uint8_t level = ((line[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0;
      dst[4 * x] = dst[4 * x + 1] = dst[4 * x + 2] = level;
      dst[4 * x + 3] = 255;
    }
  }
  return out;
}

}  // namespace velkaro
