#pragma once
// ICO and CUR files: one image chosen from the directory, its colours and
// its transparency mask (alpha 0 where the mask is set, else 255).
#include <cstdint>
#include <optional>
#include <span>

#include "Raster.h"

namespace velkaro {

std::optional<Raster> DecodeIcon(std::span<const std::uint8_t> data);

}  // namespace velkaro
