#include "ScaleRaster.h"

#include <algorithm>
#include <cstdint>
#include <utility>
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

// The taps again, laid out for the inner loops: every target reads the same
// number of source positions, `span`, from `start` on, and the positions
// outside its own run carry weight 0. A zero weight adds exactly nothing, and
// a fixed count lets the compiler unroll and vectorise the loop. The window is
// moved left where it would run off the end; it still holds the whole run.
struct Window {
  int span = 0;
  std::vector<int> start;
  std::vector<float> weights;  // span per target
  // The same weights with each one four times over, for the four channels.
  std::vector<float> channelWeights;
};

Window AveragingWindow(int sourceSize, int targetSize) {
  const Taps taps = AveragingTaps(sourceSize, targetSize);
  Window window;
  for (int t = 0; t < targetSize; ++t) {
    const auto at = static_cast<std::size_t>(t);
    window.span = std::max(window.span, taps.first[at + 1] - taps.first[at]);
  }
  const auto span = static_cast<std::size_t>(window.span);
  window.start.resize(static_cast<std::size_t>(targetSize));
  window.weights.assign(static_cast<std::size_t>(targetSize) * span, 0.0f);
  for (int t = 0; t < targetSize; ++t) {
    const auto at = static_cast<std::size_t>(t);
    const auto begin = static_cast<std::size_t>(taps.first[at]);
    const auto end = static_cast<std::size_t>(taps.first[at + 1]);
    // A run is never longer than the source, so the window fits.
    const int start = std::min(taps.taps[begin].index, sourceSize - window.span);
    window.start[at] = start;
    for (std::size_t k = begin; k < end; ++k) {
      const Tap tap = taps.taps[k];
      window.weights[at * span + static_cast<std::size_t>(tap.index - start)] =
          static_cast<float>(tap.weight);
    }
  }
  window.channelWeights.reserve(window.weights.size() * 4);
  for (float w : window.weights) window.channelWeights.insert(window.channelWeights.end(), 4, w);
  return window;
}

// The arithmetic is floating point, but every value in it is an integer small
// enough to be exact, so it gives the same numbers as integer sums would,
// whatever order the additions run in:
// - across a row, a sample (at most 255) times a weight (at most 1 << 14) is
//   below 2^22, and the weights of one target add up to 1 << 14, so every
//   partial sum is at most 255 << 14 < 2^24, the limit of a float's integers;
// - down the rows, such a sum times a weight is below 2^36, and the partial
//   sums stay at most 255 << 28, far inside a double's 2^53.
// SSE2 multiplies four floats or two doubles at once, where it has no packed
// 32-bit integer multiply and no 64-bit one at all.
constexpr int kMaxUnrolledColumnSpan = 16;
constexpr int kMaxUnrolledRowSpan = 8;

// kSpan is the window's span, or 0 for spans too long to unroll. The weights
// come four times over, one for each channel, so that a tap is one multiply
// and one add of four lanes; two sums halve the chain of dependent adds.
template <int kSpan>
void ScaleRowHorizontally(const float* from, const Window& columns, int width, float* to) {
  const std::size_t span = kSpan > 0 ? static_cast<std::size_t>(kSpan)
                                     : static_cast<std::size_t>(columns.span);
  const int* start = columns.start.data();
  const float* weights = columns.channelWeights.data();
  for (int x = 0; x < width; ++x) {
    const float* p = from + static_cast<std::size_t>(start[x]) * 4;
    const float* w = weights + static_cast<std::size_t>(x) * span * 4;
    float even[4] = {0, 0, 0, 0};
    float odd[4] = {0, 0, 0, 0};
    std::size_t k = 0;
    for (; k + 2 <= span; k += 2) {
      for (std::size_t c = 0; c < 4; ++c) even[c] += p[4 * k + c] * w[4 * k + c];
      for (std::size_t c = 0; c < 4; ++c) odd[c] += p[4 * k + 4 + c] * w[4 * k + 4 + c];
    }
    if (k < span) {
      for (std::size_t c = 0; c < 4; ++c) even[c] += p[4 * k + c] * w[4 * k + c];
    }
    float* out = to + static_cast<std::size_t>(x) * 4;
    for (std::size_t c = 0; c < 4; ++c) out[c] = even[c] + odd[c];
  }
}

using RowScaler = void (*)(const float*, const Window&, int, float*);

template <int... kSpans>
RowScaler PickRowScaler(int span, std::integer_sequence<int, kSpans...>) {
  RowScaler scaler = ScaleRowHorizontally<0>;
  ((span == kSpans + 1 ? (scaler = ScaleRowHorizontally<kSpans + 1>, 0) : 0), ...);
  return scaler;
}

// The sum of 255 << 28 at most, rounded to 8 bits: (sum + 2^27) >> 28. Both
// steps are exact in a double, truncation floors a value that is never
// negative, and the result is at most 255 without a clamp.
inline std::uint8_t RoundSum(double sum) {
  return static_cast<std::uint8_t>(static_cast<int>((sum + 0x1p27) * 0x1p-28));
}

// kCount is the number of rows, or 0 for more than are unrolled.
template <int kCount>
void SumRows(const float* const* rows, const double* weights, int count, std::size_t values,
             std::vector<double>& acc, std::uint8_t* to) {
  if constexpr (kCount > 0) {
    // Local copies: a byte store may alias anything, so the compiler would
    // otherwise load the row pointers again for every value.
    const float* row[kCount];
    double w[kCount];
    for (int k = 0; k < kCount; ++k) {
      row[k] = rows[k];
      w[k] = weights[k];
    }
    for (std::size_t i = 0; i < values; ++i) {
      double sum = 0;
      for (int k = 0; k < kCount; ++k) sum += static_cast<double>(row[k][i]) * w[k];
      to[i] = RoundSum(sum);
    }
  } else {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (int k = 0; k < count; ++k) {
      const float* row = rows[k];
      const double w = weights[k];
      for (std::size_t i = 0; i < values; ++i) acc[i] += static_cast<double>(row[i]) * w;
    }
    for (std::size_t i = 0; i < values; ++i) to[i] = RoundSum(acc[i]);
  }
}

using RowSummer = void (*)(const float* const*, const double*, int, std::size_t,
                           std::vector<double>&, std::uint8_t*);

template <int... kCounts>
RowSummer PickRowSummer(int count, std::integer_sequence<int, kCounts...>) {
  RowSummer summer = SumRows<0>;
  ((count == kCounts + 1 ? (summer = SumRows<kCounts + 1>, 0) : 0), ...);
  return summer;
}

// Separable area averaging: each source row is scaled across once, into a
// ring of as many rows as a target row's window spans, and each target row
// sums the rows of its window that carry weight.
Raster Average(const Raster& source, int width, int height) {
  const Window columns = AveragingWindow(source.width, width);
  const Window rows = AveragingWindow(source.height, height);
  const std::size_t rowValues = static_cast<std::size_t>(width) * 4;
  const auto rowSpan = static_cast<std::size_t>(rows.span);
  const RowScaler scaleRow =
      PickRowScaler(columns.span, std::make_integer_sequence<int, kMaxUnrolledColumnSpan>{});

  Raster target = Allocate(width, height);
  std::vector<float> sourceRow(source.RowBytes());
  std::vector<float> ring(rowSpan * rowValues);
  std::vector<int> ringRow(rowSpan, -1);  // the source row each slot holds
  std::vector<double> acc(rowValues);
  std::vector<const float*> sumRows(rowSpan);
  std::vector<double> sumWeights(rowSpan);
  for (int y = 0; y < height; ++y) {
    const std::size_t at = static_cast<std::size_t>(y);
    const float* weights = rows.weights.data() + at * rowSpan;
    // Rows of weight 0 at the window's ends add nothing: leave them out.
    std::size_t first = 0;
    std::size_t last = rowSpan;
    while (weights[first] == 0) ++first;
    while (weights[last - 1] == 0) --last;
    int count = 0;
    for (std::size_t k = first; k < last; ++k) {
      const int index = rows.start[at] + static_cast<int>(k);
      const std::size_t slot = static_cast<std::size_t>(index) % rowSpan;
      float* scaled = ring.data() + slot * rowValues;
      if (ringRow[slot] != index) {
        const std::uint8_t* bytes = source.Row(index);
        for (std::size_t i = 0; i < sourceRow.size(); ++i) sourceRow[i] = bytes[i];
        scaleRow(sourceRow.data(), columns, width, scaled);
        ringRow[slot] = index;
      }
      sumRows[static_cast<std::size_t>(count)] = scaled;
      sumWeights[static_cast<std::size_t>(count)] = weights[k];
      ++count;
    }
    const RowSummer sum =
        PickRowSummer(count, std::make_integer_sequence<int, kMaxUnrolledRowSpan>{});
    sum(sumRows.data(), sumWeights.data(), count, rowValues, acc, target.Row(y));
  }
  return target;
}

}  // namespace

Raster ScaleRaster(const Raster& source, int width, int height, ScaleFilter filter) {
  if (filter == ScaleFilter::kPixelPicking) return PickPixels(source, width, height);
  return Average(source, width, height);
}

}  // namespace velkaro
