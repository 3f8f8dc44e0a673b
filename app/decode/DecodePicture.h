#pragma once
// Decoding stored picture bytes of a recognised format into a raster. GIF
// pictures are read elsewhere, with their frames, and give nullopt here.
#include <cstdint>
#include <optional>
#include <span>

#include "PictureFormat.h"
#include "Raster.h"

namespace velkaro {

std::optional<Raster> DecodeRasterPicture(PictureFormat format, std::span<const std::uint8_t> bytes);

}  // namespace velkaro
