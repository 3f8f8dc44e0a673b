#pragma once
// Writing a raster as a PAM file (RGB_ALPHA, 8 bits), for looking at what a
// decoder produced and comparing it with other tools.
#include <string>

#include "Raster.h"

namespace velkaro {

// False when the file cannot be written completely.
bool WritePam(const std::string& path, const Raster& raster);

}  // namespace velkaro
