#pragma once
// JPEG files through libjpeg's decompression interface. A JPEG cut off
// before its end still gives a picture of its full size.
//
// Three components come out as red, green, blue and one as grey. Four
// components (CMYK, YCCK) are turned into RGB by subtracting ink: with an
// Adobe marker the stored values are taken as inverted, the way Adobe's
// programs write them; without one as plain ink amounts. Anything else gives
// no picture.
#include <cstdint>
#include <optional>
#include <span>

#include "Raster.h"

namespace velkaro {

std::optional<Raster> DecodeJpeg(std::span<const std::uint8_t> data);

}  // namespace velkaro
