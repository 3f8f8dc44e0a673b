// The picture box's path for stored bytes: recognise the format from the first
// bytes, then decode the raster (or, for a GIF, read its header and frames).
#include <cstddef>
#include <cstdint>
#include <span>

#include "DecodePicture.h"
#include "FuzzCheck.h"
#include "GifReader.h"
#include "PictureLimits.h"

namespace {

void CheckRaster(const velkaro::Raster& raster) {
  VELKARO_FUZZ_CHECK(velkaro::PictureSizeAllowed(raster.width, raster.height));
  VELKARO_FUZZ_CHECK(raster.bgra.size() ==
                     static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.height) * 4);
}

void CheckGif(const velkaro::GifState& gif) {
  VELKARO_FUZZ_CHECK(velkaro::PictureSizeAllowed(gif.screenWidth, gif.screenHeight));
  VELKARO_FUZZ_CHECK(gif.readPosition <= gif.frameStream.size());
  if (gif.singleImage) {
    VELKARO_FUZZ_CHECK(gif.stillPicture.width == gif.screenWidth);
    VELKARO_FUZZ_CHECK(gif.stillPicture.height == gif.screenHeight);
    CheckRaster(gif.stillPicture);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const std::optional<velkaro::PictureFormat> format = velkaro::RecognizePictureFormat(bytes);
  if (!format) return 0;
  const std::optional<velkaro::Raster> raster = velkaro::DecodeRasterPicture(*format, bytes);
  if (*format == velkaro::PictureFormat::Gif) {
    VELKARO_FUZZ_CHECK(!raster);  // GIF pictures are read with their frames, not here
    if (const auto gif = velkaro::PrepareGif(bytes)) CheckGif(*gif);
    return 0;
  }
  if (raster) CheckRaster(*raster);
  return 0;
}
