#pragma once
// Blending a picture with alpha over the box's background colour, so that
// it can be drawn opaque.
#include <cstdint>

#include "Raster.h"

namespace velkaro {

struct Rgb {
  std::uint8_t r, g, b;
};

// One channel: trunc(v * f + background * (1 - f)) limited to 0..255, with
// f = alpha * k in double precision and k the float nearest 1/255. The float
// k is kept (rather than 1.0 / 255) because pictures must come out bit for
// bit as they always have.
std::uint8_t BlendChannel(std::uint8_t value, std::uint8_t background, std::uint8_t alpha);

// Every pixel with alpha below 255 gets BlendChannel for blue, green and red
// and becomes opaque; pixels with alpha 255 are left as they are. Alpha 0
// gives exactly the background.
void BlendOverBackground(Raster& picture, Rgb background);

}  // namespace velkaro
