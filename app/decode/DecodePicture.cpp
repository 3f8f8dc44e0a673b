#include "DecodePicture.h"

#include "BmpDecoder.h"
#include "IconDecoder.h"
#include "JpegDecoder.h"
#include "PcxDecoder.h"
#include "PngDecoder.h"

namespace velkaro {

std::optional<Raster> DecodeRasterPicture(PictureFormat format, std::span<const std::uint8_t> bytes) {
  switch (format) {
    case PictureFormat::Bmp: return DecodeBmp(bytes);
    case PictureFormat::Jpeg: return DecodeJpeg(bytes);
    case PictureFormat::Png: return DecodePng(bytes);
    case PictureFormat::Ico:
    case PictureFormat::Cur: return DecodeIcon(bytes);
    case PictureFormat::Pcx8: return DecodePcx8(bytes);
    case PictureFormat::Pcx1: return DecodePcx1(bytes);
    case PictureFormat::Gif: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace velkaro
