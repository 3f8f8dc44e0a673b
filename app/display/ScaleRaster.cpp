#include "ScaleRaster.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velkaro {
namespace {

// Weights are fixed point with this many fraction bits; one target pixel's
// weights add up to exactly 1 << kWeightBits.
constexpr int kWeightBits = 14;
constexpr std::uint32_t kWeightOne = 1u << kWeightBits;

struct Tap {
  int index;
  std::uint32_t weight;
};

// For each target position, the source positions it covers and their shares.
// The target pixel t covers source [t * s / d, (t + 1) * s / d); computing in
// units of 1/d of a source pixel keeps every boundary exact.
struct Taps {
  std::vector<int> first;  // offset into taps for each target, plus one end
  std::vector<Tap> taps;
};

Taps AveragingTaps(int sourceSize, int targetSize) {
  Taps result;
  result.first.reserve(static_cast<std::size_t>(targetSize) + 1);
  const std::int64_t s = sourceSize;
  const std::int64_t d = targetSize;
  for (std::int64_t t = 0; t < d; ++t) {
    result.first.push_back(static_cast<int>(result.taps.size()));
    const std::int64_t begin = t * s;  // in 1/d source pixels
    const std::int64_t end = (t + 1) * s;
    const std::size_t firstTap = result.taps.size();
    std::uint32_t given = 0;
    for (std::int64_t i = begin / d; i * d < end; ++i) {
      const std::int64_t covered = std::min(end, (i + 1) * d) - std::max(begin, i * d);
      const auto w = static_cast<std::uint32_t>(covered * kWeightOne / s);
      result.taps.push_back({static_cast<int>(i), w});
      given += w;
    }
    // Rounding leaves a few units over; give them to the largest share so
    // flat colours stay exactly flat.
    auto largest = std::max_element(result.taps.begin() + static_cast<std::ptrdiff_t>(firstTap),
                                    result.taps.end(),
                                    [](const Tap& a, const Tap& b) { return a.weight < b.weight; });
    largest->weight += kWeightOne - given;
  }
  result.first.push_back(static_cast<int>(result.taps.size()));
  return result;
}

Raster Allocate(int width, int height) {
  Raster r;
  r.width = width;
  r.height = height;
  r.bgra.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  return r;
}

Raster PickPixels(const Raster& source, int width, int height) {
  Raster target = Allocate(width, height);
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    columns[static_cast<std::size_t>(x)] = static_cast<int>(
        ((2 * static_cast<std::int64_t>(x) + 1) * source.width) / (2 * std::int64_t{width}));
  }
  for (int y = 0; y < height; ++y) {
    const int sy = static_cast<int>(((2 * static_cast<std::int64_t>(y) + 1) * source.height) /
                                    (2 * std::int64_t{height}));
    const std::uint8_t* from = source.Row(sy);
    std::uint8_t* to = target.Row(y);
    for (int x = 0; x < width; ++x) {
      std::copy_n(from + static_cast<std::size_t>(columns[static_cast<std::size_t>(x)]) * 4, 4,
                  to + static_cast<std::size_t>(x) * 4);
    }
  }
  return target;
}

// Separable area averaging. Each target row sums the horizontally scaled
// source rows it covers; a source row is scaled again only when it straddles
// two target rows, so the work stays near one pass and the memory one row.
void ScaleRowHorizontally(const std::uint8_t* from, const Taps& columns, int width,
                          std::uint32_t* to) {
  for (int x = 0; x < width; ++x) {
    std::uint32_t sum[4] = {0, 0, 0, 0};
    for (int k = columns.first[static_cast<std::size_t>(x)];
         k < columns.first[static_cast<std::size_t>(x) + 1]; ++k) {
      const Tap tap = columns.taps[static_cast<std::size_t>(k)];
      const std::uint8_t* p = from + static_cast<std::size_t>(tap.index) * 4;
      for (int c = 0; c < 4; ++c) sum[c] += p[c] * tap.weight;
    }
    std::copy_n(sum, 4, to + static_cast<std::size_t>(x) * 4);
  }
}

Raster Average(const Raster& source, int width, int height) {
  const Taps columns = AveragingTaps(source.width, width);
  const Taps rows = AveragingTaps(source.height, height);
  const std::size_t rowValues = static_cast<std::size_t>(width) * 4;

  Raster target = Allocate(width, height);
  std::vector<std::uint32_t> scaledRow(rowValues);
  std::vector<std::uint64_t> acc(rowValues);
  int scaledRowIndex = -1;
  constexpr std::uint64_t kHalf = std::uint64_t{1} << (2 * kWeightBits - 1);
  for (int y = 0; y < height; ++y) {
    std::fill(acc.begin(), acc.end(), 0);
    for (int k = rows.first[static_cast<std::size_t>(y)];
         k < rows.first[static_cast<std::size_t>(y) + 1]; ++k) {
      const Tap tap = rows.taps[static_cast<std::size_t>(k)];
      if (tap.index != scaledRowIndex) {
        ScaleRowHorizontally(source.Row(tap.index), columns, width, scaledRow.data());
        scaledRowIndex = tap.index;
      }
      for (std::size_t i = 0; i < rowValues; ++i) acc[i] += std::uint64_t{scaledRow[i]} * tap.weight;
    }
    std::uint8_t* to = target.Row(y);
    for (std::size_t i = 0; i < rowValues; ++i) {
      to[i] = static_cast<std::uint8_t>(
          std::min<std::uint64_t>(255, (acc[i] + kHalf) >> (2 * kWeightBits)));
    }
  }
  return target;
}

}  // namespace

Raster ScaleRaster(const Raster& source, int width, int height, ScaleFilter filter) {
  if (filter == ScaleFilter::kPixelPicking) return PickPixels(source, width, height);
  return Average(source, width, height);
}

}  // namespace velkaro
