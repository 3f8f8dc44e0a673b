#include "PictureFormat.h"

namespace velkaro {

namespace {

constexpr std::size_t kRecognitionBytes = 8;

std::uint16_t U16At(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

std::optional<PictureFormat> RecognizePictureFormat(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kRecognitionBytes) return std::nullopt;
  const auto b = bytes.first(kRecognitionBytes);
  if (b[0] == 0x42 && b[1] == 0x4D) return PictureFormat::Bmp;
  if (b[0] == 0xFF && b[1] == 0xD8) return PictureFormat::Jpeg;
  if (b[0] == 0x89 && b[1] == 0x50 && b[2] == 0x4E && b[3] == 0x47) return PictureFormat::Png;
  if (U16At(b, 0) == 0 && U16At(b, 2) == 1 && U16At(b, 4) > 0) return PictureFormat::Ico;
  if (U16At(b, 0) == 0 && U16At(b, 2) == 2 && U16At(b, 4) > 0) return PictureFormat::Cur;
  if (b[0] == 0x47 && b[1] == 0x49 && b[2] == 0x46 && b[3] == 0x38 && (b[4] == 0x37 || b[4] == 0x39) &&
      b[5] == 0x61) {
    return PictureFormat::Gif;
  }
  if (b[0] == 0x0A && b[1] <= 5 && b[2] == 1 && b[3] == 8) return PictureFormat::Pcx8;
  if (b[0] == 0x0A && b[1] == 3 && b[2] == 1 && b[3] == 1) return PictureFormat::Pcx1;
  return std::nullopt;
}

std::string_view PictureFormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Ico: return "ICO";
    case PictureFormat::Cur: return "CUR";
    case PictureFormat::Gif: return "GIF";
    case PictureFormat::Pcx8: return "PCX8";
    case PictureFormat::Pcx1: return "PCX1";
  }
  return "?";
}

}  // namespace velkaro
