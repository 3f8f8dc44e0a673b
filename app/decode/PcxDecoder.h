#pragma once
// PCX files with one plane of 8 bits (palette) or 1 bit (black and white).
#include <cstdint>
#include <optional>
#include <span>

#include "Raster.h"

namespace velkaro {

// Palette indexes; the palette is the 256 triples after the marker byte 12
// in the last 769 bytes. Without that marker the indexes show as a grey ramp
// (index i is grey level i), which keeps the picture readable.
std::optional<Raster> DecodePcx8(std::span<const std::uint8_t> data);

// Eight pixels per byte, highest bit first; set is white, clear is black.
std::optional<Raster> DecodePcx1(std::span<const std::uint8_t> data);

}  // namespace velkaro
