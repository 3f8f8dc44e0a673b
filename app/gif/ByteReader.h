#pragma once
// One checked reader for the GIF blocks: every read past the end fails and
// leaves the reader failed, so truncated data needs no check at each call.
#include <cstddef>
#include <cstdint>
#include <span>

namespace velkaro {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
      : bytes_(bytes), position_(position <= bytes.size() ? position : bytes.size()) {}

  bool failed() const { return failed_; }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }

  std::uint8_t u8() {
    if (!Need(1)) return 0;
    return bytes_[position_++];
  }
  std::uint16_t u16le() {
    if (!Need(2)) return 0;
    const auto value = static_cast<std::uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
    position_ += 2;
    return value;
  }
  // Empty span (and the reader failed) when fewer than count bytes are left.
  std::span<const std::uint8_t> bytes(std::size_t count) {
    if (!Need(count)) return {};
    auto out = bytes_.subspan(position_, count);
    position_ += count;
    return out;
  }
  bool skip(std::size_t count) {
    if (!Need(count)) return false;
    position_ += count;
    return true;
  }

 private:
  bool Need(std::size_t count) {
    if (failed_ || count > remaining()) {
      failed_ = true;
      position_ = bytes_.size();
      return false;
    }
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace velkaro
