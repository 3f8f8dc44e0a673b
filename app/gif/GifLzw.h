#pragma once
// The variable-length-code LZW decompression of GIF image data.
#include <cstddef>
#include <cstdint>
#include <span>

namespace velkaro {

inline constexpr int kLzwMinCodeSizeLowest = 2;
inline constexpr int kLzwMinCodeSizeHighest = 8;
inline constexpr int kLzwMaxCodeBits = 12;

enum class LzwOutcome {
  Complete,         // every pixel decoded
  EndedEarly,       // end code before the last pixel
  DataEnded,        // the data ran out before the end code and the last pixel
  CodeBeyondTable,  // a code above the next free one (corrupt data)
  BadMinCodeSize,   // the image's minimum code size is outside 2..8
};

struct LzwResult {
  LzwOutcome outcome = LzwOutcome::Complete;
  std::size_t pixels = 0;  // out[0, pixels) hold decoded indexes; the rest is untouched
};

// Decodes the concatenated sub-block data of one image into out, one index
// per pixel in stream order. Decoding stops once out is full; data after that
// is ignored. On any failure the pixels decoded until then are kept.
LzwResult DecodeLzw(int minCodeSize, std::span<const std::uint8_t> data, std::span<std::uint8_t> out);

}  // namespace velkaro
