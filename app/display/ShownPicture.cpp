#include "ShownPicture.h"

#include "DecodePicture.h"

namespace velkaro {

namespace {
std::optional<ShownPicture> PrepareGifPicture(std::span<const std::uint8_t> bytes) {
  std::unique_ptr<GifState> gif = PrepareGif(bytes);
  if (!gif) return std::nullopt;
  ShownPicture shown;
  shown.format = PictureFormat::Gif;
  if (gif->singleImage) {
    shown.still = std::move(gif->stillPicture);
  } else {
    shown.animation = std::move(gif);
  }
  return shown;
}
}  // namespace

std::optional<ShownPicture> DecodeForDisplay(std::span<const std::uint8_t> bytes) {
  const std::optional<PictureFormat> format = RecognizePictureFormat(bytes);
  if (!format) return std::nullopt;
  if (*format == PictureFormat::Gif) return PrepareGifPicture(bytes);
  std::optional<Raster> raster = DecodeRasterPicture(*format, bytes);
  if (!raster) return std::nullopt;
  ShownPicture shown;
  shown.format = *format;
  shown.still = std::move(*raster);
  return shown;
}

}  // namespace velkaro
