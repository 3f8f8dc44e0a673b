// The animation thread's work on a GIF: read the header once, then compose
// frame after frame, the stream wrapping round at its trailer.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "GifCompositor.h"
#include "GifReader.h"

namespace {

// Enough steps to wrap short streams many times and to run every disposal
// after every other; the thread itself runs until stopped.
constexpr int kSteps = 300;
// The box's background, opaque, so that drawing over it is visible.
constexpr velkaro::Bgra kBackground{0xF0, 0xF0, 0xF0, 0xFF};
// A budget of this fuzzer, not of the tool: a screen near the picture size
// limit is a frame of a quarter gigabyte plus its saved area, which says
// nothing new about the reading and would only exhaust the memory limit.
constexpr std::uint64_t kMaxFuzzedScreenPixels = 1u << 20;
constexpr std::size_t kScreenSizeOffset = 6;

// The logical screen's size, read ahead of the reader from the header.
bool ScreenWithinBudget(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kScreenSizeOffset + 4) return true;  // the reader refuses it anyway
  const std::uint64_t width = bytes[kScreenSizeOffset] | (bytes[kScreenSizeOffset + 1] << 8);
  const std::uint64_t height = bytes[kScreenSizeOffset + 2] | (bytes[kScreenSizeOffset + 3] << 8);
  return width * height <= kMaxFuzzedScreenPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  if (!ScreenWithinBudget(bytes)) return 0;
  const auto gif = velkaro::PrepareGif(bytes);
  if (!gif) return 0;
  velkaro::GifCompositor compositor(gif->screenWidth, gif->screenHeight, kBackground);
  const std::size_t frameBytes =
      static_cast<std::size_t>(gif->screenWidth) * static_cast<std::size_t>(gif->screenHeight) * 4;
  for (int step = 0; step < kSteps; ++step) {
    const velkaro::GifFrameSettings settings = compositor.Step(*gif);
    VELKARO_FUZZ_CHECK(settings.delayCentiseconds >= 0);
    VELKARO_FUZZ_CHECK(gif->readPosition <= gif->frameStream.size());
    const velkaro::Raster& frame = compositor.Frame();
    VELKARO_FUZZ_CHECK(frame.width == gif->screenWidth && frame.height == gif->screenHeight);
    VELKARO_FUZZ_CHECK(frame.bgra.size() == frameBytes);
  }
  return 0;
}
