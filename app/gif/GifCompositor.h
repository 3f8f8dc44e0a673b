#pragma once
// Building what an animated GIF shows: the composed frame of the logical
// screen, with each image drawn over it and removed again by its disposal.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "GifReader.h"
#include "Raster.h"

namespace velkaro {

// Disposal methods 2 (restore to background) and 3 (restore to previous) both
// put back what the image covered: the screen starts as the box's own
// background, so restoring the saved area is also the background, and no
// separate background colour is ever cleared to.
constexpr bool DisposalRestoresSavedArea(int disposal) { return disposal == 2 || disposal == 3; }

Raster MakeFilledRaster(int width, int height, Bgra fill);

// Draws the decoded pixels of image at its place on the screen. Parts outside
// the screen are clipped, transparent pixels and pixels never decoded leave
// the screen unchanged, and a failed image draws nothing it did not decode.
void DrawGifImage(Raster& screen, const GifImage& image);

class GifCompositor {
 public:
  GifCompositor(int screenWidth, int screenHeight, Bgra fill);

  // One step of the animation: puts back the area saved for the previous
  // image, reads the next image, saves what it will cover when its disposal
  // asks for that, and draws it. Returns the settings it was read with.
  GifFrameSettings Step(GifState& gif);

  const Raster& Frame() const { return frame_; }

 private:
  struct Area {
    int left = 0, top = 0, width = 0, height = 0;
  };
  Area ClippedArea(const GifImage& image) const;
  void SaveArea(Area area);
  void RestoreSavedArea();

  Raster frame_;
  Area savedArea_;
  std::vector<std::uint8_t> savedPixels_;
  bool restorePending_ = false;
};

// The first frameCount composed frames of a GIF, the screen starting fully
// transparent; empty when the data is not a usable GIF. Each frame is a full
// copy of the screen, so the caller bounds frameCount.
std::vector<Raster> ComposeGifFrames(std::span<const std::uint8_t> bytes, int frameCount);

// The picture a single-image GIF shows (its still picture), or for any other
// usable GIF its first composed frame; nullopt when unusable.
std::optional<Raster> DecodeGifStill(std::span<const std::uint8_t> bytes);

}  // namespace velkaro
