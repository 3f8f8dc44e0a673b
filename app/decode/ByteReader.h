#pragma once
// The one checked reader every decoder and the GIF reader go through. A read
// past the end fails, yields zeros (or an empty span), moves the reader to the
// end of the data and leaves it failed for good, so a decoder can read a whole
// header and test failed() once, and a reader that stops anywhere stops at a
// position inside the data.
#include <cstddef>
#include <cstdint>
#include <span>

namespace velkaro {

class ByteReader {
 public:
  // A start past the end of the data is taken as the end.
  explicit ByteReader(std::span<const std::uint8_t> data, std::size_t start = 0)
      : data_(data), position_(start <= data.size() ? start : data.size()) {}

  std::uint8_t u8() {
    if (!Take(1)) return 0;
    return data_[position_ - 1];
  }

  std::uint16_t u16le() {
    if (!Take(2)) return 0;
    const std::uint8_t* p = data_.data() + position_ - 2;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  }

  std::uint32_t u32le() {
    if (!Take(4)) return 0;
    const std::uint8_t* p = data_.data() + position_ - 4;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }

  std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }

  // The next n bytes, or an empty span (and failed) when fewer remain.
  std::span<const std::uint8_t> bytes(std::size_t n) {
    if (!Take(n)) return {};
    return data_.subspan(position_ - n, n);
  }

  // False (and failed) when fewer than n bytes remain.
  bool skip(std::size_t n) { return Take(n); }

  // Moves to an absolute offset; an offset past the end fails.
  void seek(std::size_t offset) {
    if (failed_ || offset > data_.size()) {
      Fail();
      return;
    }
    position_ = offset;
  }

  std::size_t position() const { return position_; }
  std::size_t remaining() const { return data_.size() - position_; }
  bool failed() const { return failed_; }

 private:
  bool Take(std::size_t n) {
    if (failed_ || n > data_.size() - position_) {
      Fail();
      return false;
    }
    position_ += n;
    return true;
  }

  void Fail() {
    failed_ = true;
    position_ = data_.size();
  }

  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace velkaro
