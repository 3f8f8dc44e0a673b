#pragma once
// Stretching a raster to an exact size, as the picture box does for every
// picture: proportions are not kept.
#include "Raster.h"

namespace velkaro {

enum class ScaleFilter {
  // Each target pixel is the area-weighted average of the source pixels it
  // covers: smooth results on true-colour displays.
  kAveraging,
  // Each target pixel copies the source pixel under its centre: what a
  // display of 16 bits or fewer gets.
  kPixelPicking,
};

// Scales all four channels; width and height must be positive.
Raster ScaleRaster(const Raster& source, int width, int height, ScaleFilter filter);

}  // namespace velkaro
