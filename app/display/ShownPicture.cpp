#include "ShownPicture.h"

#include "DecodePicture.h"

namespace velkaro {

std::optional<ShownPicture> DecodeForDisplay(std::span<const std::uint8_t> bytes) {
  const std::optional<PictureFormat> format = RecognizePictureFormat(bytes);
  if (!format) return std::nullopt;
  std::optional<Raster> raster = DecodeRasterPicture(*format, bytes);
  if (!raster) return std::nullopt;
  return ShownPicture{*format, std::move(*raster)};
}

}  // namespace velkaro
