#pragma once
// BMP files: uncompressed, 1/4/8 bits through a palette, 24 or 32 bits.
#include <cstdint>
#include <optional>
#include <span>

#include "Raster.h"

namespace velkaro {

std::optional<Raster> DecodeBmp(std::span<const std::uint8_t> data);

}  // namespace velkaro
