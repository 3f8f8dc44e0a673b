#pragma once
// PNG files through libpng's simplified reader: every colour type, bit depth
// and interlacing comes out as 8-bit blue, green, red, alpha.
#include <cstdint>
#include <optional>
#include <span>

#include "Raster.h"

namespace velkaro {

std::optional<Raster> DecodePng(std::span<const std::uint8_t> data);

}  // namespace velkaro
