#include "PngDecoder.h"

#include <png.h>

#include "PictureLimits.h"

namespace velkaro {

std::optional<Raster> DecodePng(std::span<const std::uint8_t> data) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
    png_image_free(&image);
    return std::nullopt;
  }
  if (!PictureSizeAllowed(image.width, image.height)) {
    png_image_free(&image);
    return std::nullopt;
  }
  image.format = PNG_FORMAT_BGRA;
  Raster out = MakeRaster(static_cast<int>(image.width), static_cast<int>(image.height));
  const auto stride = static_cast<png_int_32>(out.RowBytes());
  // finish_read frees the image's resources whether it succeeds or not.
  if (!png_image_finish_read(&image, nullptr, out.bgra.data(), stride, nullptr)) {
    return std::nullopt;
  }
  return out;
}

}  // namespace velkaro
