#pragma once
// Decodes a JPEG reply for the tests: the tool's decoder when it is built.
#include <cstdint>
#include <optional>
#include <span>

namespace velkaro::testing {

struct DecodedSize {
  int width = 0;
  int height = 0;
};

std::optional<DecodedSize> DecodeJpegSize(std::span<const std::uint8_t> bytes);

}  // namespace velkaro::testing
