#include "PamWriter.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace velkaro {

bool WritePam(const std::string& path, const Raster& raster) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  if (std::fprintf(file.get(), "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                   raster.width, raster.height) < 0) {
    return false;
  }
  std::vector<std::uint8_t> rgba(raster.RowBytes());
  for (int y = 0; y < raster.height; ++y) {
    const std::uint8_t* src = raster.Row(y);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
      rgba[i] = src[i + 2];
      rgba[i + 1] = src[i + 1];
      rgba[i + 2] = src[i];
      rgba[i + 3] = src[i + 3];
    }
    if (std::fwrite(rgba.data(), 1, rgba.size(), file.get()) != rgba.size()) return false;
  }
  return std::fflush(file.get()) == 0;
}

}  // namespace velkaro
