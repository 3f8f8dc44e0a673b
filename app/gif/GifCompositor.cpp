#include "GifCompositor.h"

#include <algorithm>
#include <cstring>

namespace velkaro {

Raster MakeFilledRaster(int width, int height, Bgra fill) {
  Raster raster;
  raster.width = width;
  raster.height = height;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  raster.bgra.resize(pixels * 4);
  if (fill != kTransparentBlack) {
    for (std::size_t i = 0; i < pixels; ++i) std::memcpy(&raster.bgra[i * 4], &fill, 4);
  }
  return raster;
}

void DrawGifImage(Raster& screen, const GifImage& image) {
  if (image.decodedPixels == 0 || image.width <= 0) return;
  const std::int64_t left = image.left;
  const std::int64_t firstX = std::max<std::int64_t>(left, 0);
  const std::int64_t endX = std::min<std::int64_t>(left + image.width, screen.width);
  if (firstX >= endX) return;
  const bool transparent = image.settings.transparent;
  const std::uint8_t transparentIndex = image.settings.transparentIndex;
  const std::size_t width = static_cast<std::size_t>(image.width);
  const std::size_t rows = (image.decodedPixels + width - 1) / width;
  for (std::size_t streamRow = 0; streamRow < rows; ++streamRow) {
    const std::int64_t y = static_cast<std::int64_t>(image.top) + image.DisplayRow(static_cast<int>(streamRow));
    if (y < 0 || y >= screen.height) continue;
    const std::size_t rowStart = streamRow * width;
    const std::int64_t decodedEndX = left + static_cast<std::int64_t>(std::min(width, image.decodedPixels - rowStart));
    const std::int64_t rowEndX = std::min(endX, decodedEndX);
    const std::uint8_t* source = image.indexes.data() + rowStart;
    std::uint8_t* target = screen.Row(static_cast<int>(y));
    for (std::int64_t x = firstX; x < rowEndX; ++x) {
      const std::uint8_t index = source[x - left];
      if (transparent && index == transparentIndex) continue;
      std::memcpy(target + x * 4, &image.colours[index], 4);
    }
  }
}

GifCompositor::GifCompositor(int screenWidth, int screenHeight, Bgra fill)
    : frame_(MakeFilledRaster(screenWidth, screenHeight, fill)) {}

GifCompositor::Area GifCompositor::ClippedArea(const GifImage& image) const {
  const std::int64_t left = std::min<std::int64_t>(image.left, frame_.width);
  const std::int64_t top = std::min<std::int64_t>(image.top, frame_.height);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{image.left} + image.width, frame_.width);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{image.top} + image.height, frame_.height);
  Area area;
  area.left = static_cast<int>(left);
  area.top = static_cast<int>(top);
  area.width = static_cast<int>(std::max<std::int64_t>(right - left, 0));
  area.height = static_cast<int>(std::max<std::int64_t>(bottom - top, 0));
  return area;
}

void GifCompositor::SaveArea(Area area) {
  // An image clipped to nothing covers no pixel; an empty area also keeps
  // memcpy away from the null data() of an empty buffer.
  if (area.width == 0 || area.height == 0) area = Area{};
  savedArea_ = area;
  const std::size_t rowBytes = static_cast<std::size_t>(area.width) * 4;
  savedPixels_.resize(rowBytes * static_cast<std::size_t>(area.height));
  for (int y = 0; y < area.height; ++y) {
    std::memcpy(savedPixels_.data() + y * rowBytes, frame_.Row(area.top + y) + area.left * std::size_t{4},
                rowBytes);
  }
}

void GifCompositor::RestoreSavedArea() {
  const Area& area = savedArea_;
  if (area.width == 0 || area.height == 0) return;
  const std::size_t rowBytes = static_cast<std::size_t>(area.width) * 4;
  for (int y = 0; y < area.height; ++y) {
    std::memcpy(frame_.Row(area.top + y) + area.left * std::size_t{4}, savedPixels_.data() + y * rowBytes,
                rowBytes);
  }
}

GifFrameSettings GifCompositor::Step(GifState& gif) {
  if (restorePending_) RestoreSavedArea();
  const GifImage image = ReadNextGifImage(gif);
  restorePending_ = image.HasPlace() && DisposalRestoresSavedArea(image.settings.disposal);
  if (restorePending_) SaveArea(ClippedArea(image));
  DrawGifImage(frame_, image);
  return image.settings;
}

std::vector<Raster> ComposeGifFrames(std::span<const std::uint8_t> bytes, int frameCount) {
  std::vector<Raster> frames;
  auto gif = PrepareGif(bytes);
  if (!gif || frameCount <= 0) return frames;
  // Every GIF is read from its first block here, a single image too.
  gif->readPosition = 0;
  gif->settings = {};
  GifCompositor compositor(gif->screenWidth, gif->screenHeight, kTransparentBlack);
  frames.reserve(static_cast<std::size_t>(frameCount));
  for (int i = 0; i < frameCount; ++i) {
    compositor.Step(*gif);
    frames.push_back(compositor.Frame());
  }
  return frames;
}

std::optional<Raster> DecodeGifStill(std::span<const std::uint8_t> bytes) {
  auto gif = PrepareGif(bytes);
  if (!gif) return std::nullopt;
  if (gif->singleImage) return std::move(gif->stillPicture);
  GifCompositor compositor(gif->screenWidth, gif->screenHeight, kTransparentBlack);
  compositor.Step(*gif);
  return compositor.Frame();
}

}  // namespace velkaro
