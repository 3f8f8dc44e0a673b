#include "Raster.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velkaro {

namespace {

// Large rasters are fresh memory that the zero fill touches page by page;
// on a 4000 x 3000 picture those twelve thousand page faults cost as much as
// decoding a good part of the JPEG. Asking for huge pages turns them into a
// few dozen. A hint only: where the kernel gives none, nothing changes.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
constexpr std::size_t kHugePageHintMinBytes = 4 * kHugePageBytes;

void HintHugePages([[maybe_unused]] std::uint8_t* bytes, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (size < kHugePageHintMinBytes) return;
  const auto start = reinterpret_cast<std::uintptr_t>(bytes);
  const std::uintptr_t first = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  const std::uintptr_t last = (start + size) & ~(kHugePageBytes - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace

Raster MakeRaster(int width, int height) {
  Raster raster;
  raster.width = width;
  raster.height = height;
  const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  // Reserving first gives the memory untouched, so the hint comes before the
  // zero fill makes the first page faults.
  raster.bgra.reserve(size);
  HintHugePages(raster.bgra.data(), size);
  raster.bgra.resize(size);
  return raster;
}

}  // namespace velkaro
