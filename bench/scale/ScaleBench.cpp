// The picture box's averaging scaler on its own, from the sizes pictures
// usually arrive in to the box's 374 x 498 inner area.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "ScaleRaster.h"

namespace {

constexpr int kInnerWidth = 374;
constexpr int kInnerHeight = 498;

// Photo-like detail: neighbouring pixels differ, so no run of equal values
// lets a scaler skip work.
velkaro::Raster Detailed(int width, int height) {
  velkaro::Raster r{width, height, {}};
  r.bgra.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  std::uint32_t state = 12345;
  for (std::uint8_t& v : r.bgra) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<std::uint8_t>(state >> 24);
  }
  return r;
}

void BM_Averaging(benchmark::State& state) {
  const velkaro::Raster source =
      Detailed(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        velkaro::ScaleRaster(source, kInnerWidth, kInnerHeight, velkaro::ScaleFilter::kAveraging));
  }
}

BENCHMARK(BM_Averaging)->Args({1920, 1080})->Args({4000, 3000})->Args({748, 996})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
