#pragma once
// Bounds on what a picture may claim before anything is allocated for it, so
// that hostile bytes cannot make the tool ask for unbounded memory.
#include <cstdint>

namespace velkaro {

inline constexpr std::int64_t kMaxPictureSide = 32767;
// The fuzzing build lowers the pixel bound: the fuzzers walk the same checks
// with smaller pictures, so that one input stays far within its time limit.
#ifdef VELKARO_FUZZ_MAX_PICTURE_PIXELS
inline constexpr std::int64_t kMaxPicturePixels = VELKARO_FUZZ_MAX_PICTURE_PIXELS;
#else
inline constexpr std::int64_t kMaxPicturePixels = 64ll * 1000 * 1000;
#endif

// True when a width x height picture may be decoded at all.
constexpr bool PictureSizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

}  // namespace velkaro
