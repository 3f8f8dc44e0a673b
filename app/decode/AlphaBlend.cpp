#include "AlphaBlend.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace velkaro {

namespace {

constexpr float kOneOver255 = 0.0039215689f;
constexpr int kChannels = 3;  // blue, green, red
constexpr int kLevels = 256;

// Results per alpha, built the first time that alpha appears: most pictures
// use few alpha values, and a table lookup replaces two multiplications.
class BlendTables {
 public:
  explicit BlendTables(Rgb background)
      : background_{background.b, background.g, background.r}, tables_(255 * kChannels * kLevels) {}

  const std::uint8_t* For(std::uint8_t alpha) {
    std::uint8_t* table = tables_.data() + static_cast<std::size_t>(alpha) * kChannels * kLevels;
    if (!built_[alpha]) {
      for (int c = 0; c < kChannels; ++c) {
        for (int v = 0; v < kLevels; ++v) {
          table[c * kLevels + v] = BlendChannel(static_cast<std::uint8_t>(v), background_[c], alpha);
        }
      }
      built_[alpha] = true;
    }
    return table;
  }

 private:
  std::array<std::uint8_t, kChannels> background_;
  std::vector<std::uint8_t> tables_;
  std::array<bool, 255> built_{};
};

}  // namespace

std::uint8_t BlendChannel(std::uint8_t value, std::uint8_t background, std::uint8_t alpha) {
  const double f = static_cast<double>(alpha) * static_cast<double>(kOneOver255);
  const double blended = std::trunc(value * f + background * (1.0 - f));
  if (blended <= 0.0) return 0;
  if (blended >= 255.0) return 255;
  return static_cast<std::uint8_t>(blended);
}

void BlendOverBackground(Raster& picture, Rgb background) {
  BlendTables tables(background);
  std::uint8_t* p = picture.bgra.data();
  std::uint8_t* const end = p + picture.bgra.size();
  for (; p < end; p += 4) {
    const std::uint8_t alpha = p[3];
    if (alpha == 255) continue;
    const std::uint8_t* table = tables.For(alpha);
    p[0] = table[p[0]];
    p[1] = table[kLevels + p[1]];
    p[2] = table[2 * kLevels + p[2]];
    p[3] = 255;
  }
}

}  // namespace velkaro
