#pragma once
// The picture box's decode path, without any toolkit: from stored bytes to
// what the box shows. The box and the picture-decode tool both go through it,
// so what the tool reports is what the window shows.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "GifReader.h"
#include "PictureFormat.h"
#include "Raster.h"

namespace velkaro {

struct ShownPicture {
  PictureFormat format = PictureFormat::Bmp;
  // The decoded picture at its own size, not yet blended over a background;
  // for a GIF with one image, its still picture at the logical screen size.
  Raster still;
  // A GIF with several images, to be played; `still` is then empty.
  std::unique_ptr<GifState> animation;

  int Width() const { return animation ? animation->screenWidth : still.width; }
  int Height() const { return animation ? animation->screenHeight : still.height; }
};

// Recognises the format from the first bytes and decodes once; nullopt is
// "no picture": empty, too short, unrecognised or undecodable bytes.
std::optional<ShownPicture> DecodeForDisplay(std::span<const std::uint8_t> bytes);

}  // namespace velkaro
