#pragma once
// Reading a GIF: the header and global colour table once, then the frame
// stream one image at a time, looping back to its start for ever.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "GifLzw.h"
#include "Raster.h"
#include "Text.h"

namespace velkaro {

struct Bgra {
  std::uint8_t b = 0, g = 0, r = 0, a = 0;
  friend bool operator==(const Bgra&, const Bgra&) = default;
};

inline constexpr Bgra kTransparentBlack{0, 0, 0, 0};
// An index beyond the image's colour table (or an image with no table at all)
// is drawn opaque black: it is a fault of the picture, and a fixed colour is
// predictable and never reads past the table.
inline constexpr Bgra kColourBeyondTable{0, 0, 0, 255};

using GifPalette = std::array<Bgra, 256>;

// The settings of the last graphic control extension read.
struct GifFrameSettings {
  int delayCentiseconds = 0;
  int disposal = 0;
  bool transparent = false;
  std::uint8_t transparentIndex = 0;
};

enum class GifImageFault {
  None,              // fully decoded
  NoImage,           // the whole stream was read without finding an image
  Truncated,         // descriptor, colour table or data cut off by the end of the stream
  BadImageSize,      // zero or above the picture size limit
  BadMinCodeSize,    // LZW minimum code size outside 2..8
  CodeBeyondTable,   // corrupt LZW data
  ShortData,         // the LZW data ended before the last pixel
};

// One image of the frame stream as read by one step. Only the stream rows up
// to the last one shown on the logical screen are decoded; fault describes
// those. Pixels past decodedPixels (in stream order) were never decoded:
// drawing leaves what was under them unchanged.
struct GifImage {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  GifPalette colours{};  // the local or global table, padded with kColourBeyondTable
  GifFrameSettings settings;
  std::vector<std::uint8_t> indexes;  // width per stream row decoded, stream (not display) row order
  std::size_t decodedPixels = 0;
  GifImageFault fault = GifImageFault::None;

  bool HasPlace() const { return fault != GifImageFault::NoImage; }
  // Row of the image that the stream's row streamRow is displayed on.
  int DisplayRow(int streamRow) const;
};

struct GifState {
  int screenWidth = 0;
  int screenHeight = 0;
  std::optional<GifPalette> globalColours;
  ByteSet frameStream;  // the data after the header and the global colour table

  // Reading state, used by one thread at a time (the player while it runs).
  std::size_t readPosition = 0;
  GifFrameSettings settings;

  bool singleImage = false;
  Raster stillPicture;  // for a single-image GIF: the screen, transparent, with the image drawn
};

// nullptr when the data is not a usable GIF: shorter than 14 bytes, another
// signature, header and global table reaching the end of the data, or a
// logical screen that is empty or above the picture size limit.
std::unique_ptr<GifState> PrepareGif(std::span<const std::uint8_t> bytes);

// One step of reading: returns the next image of the frame stream and moves
// the read position past it, wrapping to the start at the trailer. The work
// is bounded: a stream with no image yields fault NoImage after reading it
// through once from its start.
GifImage ReadNextGifImage(GifState& gif);

}  // namespace velkaro
