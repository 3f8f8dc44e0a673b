#include "GifLzw.h"

#include <array>
#include <cstring>

namespace velkaro {
namespace {

constexpr int kTableSize = 1 << kLzwMaxCodeBits;

// LSB-first bit reader over contiguous data, refilled a word at a time.
class CodeReader {
 public:
  explicit CodeReader(std::span<const std::uint8_t> data)
      : next_(data.data()), end_(data.data() + data.size()) {}

  // False when fewer than width bits are left.
  bool Read(int width, unsigned& code) {
    if (bits_ < width) {
      Refill();
      if (bits_ < width) return false;
    }
    code = static_cast<unsigned>(bits_buffer_ & ((1u << width) - 1));
    bits_buffer_ >>= width;
    bits_ -= width;
    return true;
  }

 private:
  void Refill() {
    if (end_ - next_ >= 8) {
      std::uint64_t word = 0;
      for (int i = 7; i >= 0; --i) word = (word << 8) | next_[i];
      bits_buffer_ |= word << bits_;
      next_ += (63 - bits_) >> 3;
      bits_ |= 56;
      return;
    }
    while (bits_ <= 56 && next_ < end_) {
      bits_buffer_ |= static_cast<std::uint64_t>(*next_++) << bits_;
      bits_ += 8;
    }
  }

  const std::uint8_t* next_;
  const std::uint8_t* end_;
  std::uint64_t bits_buffer_ = 0;
  int bits_ = 0;
};

// Every code above the roots names a string that has already been written to
// the output: the string of the code before it plus one byte. So a code is
// kept as where that string starts in the output and how long it is, and
// decoding it is a copy from earlier output, with no chain to walk.
struct CodeTable {
  std::array<std::uint32_t, kTableSize> start;
  std::array<std::uint16_t, kTableSize> length;
};

}  // namespace

LzwResult DecodeLzw(int minCodeSize, std::span<const std::uint8_t> data, std::span<std::uint8_t> out) {
  LzwResult result;
  if (minCodeSize < kLzwMinCodeSizeLowest || minCodeSize > kLzwMinCodeSizeHighest) {
    result.outcome = LzwOutcome::BadMinCodeSize;
    return result;
  }
  const unsigned clearCode = 1u << minCodeSize;
  const unsigned endCode = clearCode + 1;
  CodeTable table;  // entries below nextFree are always set before use
  CodeReader reader(data);

  std::uint8_t* const base = out.data();
  const std::size_t total = out.size();
  std::size_t written = 0;

  int width = minCodeSize + 1;
  unsigned nextFree = clearCode + 2;
  bool havePrevious = false;
  std::size_t previousStart = 0;  // where the previous code's string was written
  std::size_t previousLength = 0;

  while (written < total) {
    unsigned code = 0;
    if (!reader.Read(width, code)) {
      result.outcome = LzwOutcome::DataEnded;
      break;
    }
    if (code == clearCode) {
      width = minCodeSize + 1;
      nextFree = clearCode + 2;
      havePrevious = false;
      continue;
    }
    if (code == endCode) {
      result.outcome = LzwOutcome::EndedEarly;
      break;
    }
    const std::size_t start = written;
    std::size_t length;
    if (code < clearCode) {
      base[written++] = static_cast<std::uint8_t>(code);
      length = 1;
    } else if (code < nextFree || (code == nextFree && havePrevious && nextFree < kTableSize)) {
      // Codes above the roots exist only once a previous code has been read,
      // so havePrevious holds here.
      const bool isNew = code == nextFree;
      // The code not yet in the table is the previous string plus its own
      // first byte, which sits right where the previous string began.
      const std::size_t from = isNew ? previousStart : table.start[code];
      length = isNew ? previousLength + 1 : table.length[code];
      const std::size_t room = total - written;
      const std::size_t count = length < room ? length : room;
      if (from + count <= written) {
        std::memcpy(base + written, base + from, count);
      } else {
        for (std::size_t i = 0; i < count; ++i) base[written + i] = base[from + i];
      }
      written += count;
    } else {
      result.outcome = LzwOutcome::CodeBeyondTable;
      break;
    }
    if (havePrevious && nextFree < kTableSize) {
      table.start[nextFree] = static_cast<std::uint32_t>(previousStart);
      table.length[nextFree] = static_cast<std::uint16_t>(previousLength + 1);
      ++nextFree;
      // Held at 12 bits once the table is full: an encoder may keep going
      // without a clear, and we keep decoding without adding.
      if (nextFree == (1u << width) && width < kLzwMaxCodeBits) ++width;
    }
    havePrevious = true;
    previousStart = start;
    previousLength = length;
  }
  result.pixels = written;
  return result;
}

}  // namespace velkaro
