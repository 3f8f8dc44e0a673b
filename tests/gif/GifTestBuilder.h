#pragma once
// Small GIF writer for the tests: a real LZW encoder (with or without a clear
// when its table fills) and a builder of whole files, block by block.
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace velkaro::test {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<std::uint8_t, 3>;

class BitWriter {
 public:
  void Put(unsigned code, int width) {
    buffer_ |= static_cast<std::uint64_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      out_.push_back(static_cast<std::uint8_t>(buffer_));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  Bytes Finish() {
    if (bits_ > 0) out_.push_back(static_cast<std::uint8_t>(buffer_));
    return out_;
  }

 private:
  Bytes out_;
  std::uint64_t buffer_ = 0;
  int bits_ = 0;
};

inline int BitLength(unsigned value) {
  int n = 0;
  while (value) {
    ++n;
    value >>= 1;
  }
  return n;
}

// Width the decoder reads the next code with, given its next free code.
inline int CodeWidth(unsigned nextFree, int minCodeSize) {
  int width = BitLength(nextFree);
  if (width < minCodeSize + 1) width = minCodeSize + 1;
  return width > 12 ? 12 : width;
}

// Greedy LZW as GIF encoders write it. clearWhenFull = false keeps going with
// 12-bit codes once the table is full (a deferred clear).
inline Bytes LzwEncode(int minCodeSize, std::span<const std::uint8_t> pixels, bool clearWhenFull = true,
                       bool endCode = true) {
  const unsigned clear = 1u << minCodeSize;
  BitWriter writer;
  std::map<std::pair<unsigned, std::uint8_t>, unsigned> table;
  unsigned next = clear + 2;
  writer.Put(clear, minCodeSize + 1);
  if (pixels.empty()) {
    if (endCode) writer.Put(clear + 1, minCodeSize + 1);
    return writer.Finish();
  }
  unsigned current = pixels[0];
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const auto key = std::make_pair(current, pixels[i]);
    if (auto it = table.find(key); it != table.end()) {
      current = it->second;
      continue;
    }
    // The decoder adds each entry one code later than we do, so it reads
    // this code knowing one entry fewer.
    writer.Put(current, CodeWidth(next - 1, minCodeSize));
    if (next < 4096) {
      table[key] = next++;
    } else if (clearWhenFull) {
      writer.Put(clear, 12);
      table.clear();
      next = clear + 2;
    }
    current = pixels[i];
  }
  writer.Put(current, CodeWidth(next - 1, minCodeSize));
  if (endCode) writer.Put(clear + 1, CodeWidth(next, minCodeSize));
  return writer.Finish();
}

inline Bytes SubBlocks(std::span<const std::uint8_t> data) {
  Bytes out;
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), data.begin() + at, data.begin() + at + n);
  }
  out.push_back(0);
  return out;
}

struct TestImage {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<std::uint8_t> indexes;  // display order, width * height
  bool interlaced = false;
  std::vector<Rgb> localColours;  // empty: use the global table
  int minCodeSize = 0;             // 0: the usual (at least 2, enough for the table)
  bool control = false;            // write a graphic control extension before it
  int delay = 0, disposal = 0;
  bool transparent = false;
  std::uint8_t transparentIndex = 0;
  Bytes rawData;  // when set, written as the image data instead of encoding indexes
};

// Rows in the order an interlaced image stores them.
inline std::vector<int> InterlacedRowOrder(int height) {
  std::vector<int> rows;
  for (int y = 0; y < height; y += 8) rows.push_back(y);
  for (int y = 4; y < height; y += 8) rows.push_back(y);
  for (int y = 2; y < height; y += 4) rows.push_back(y);
  for (int y = 1; y < height; y += 2) rows.push_back(y);
  return rows;
}

class GifBuilder {
 public:
  GifBuilder(int width, int height, std::vector<Rgb> globalColours = {}, const char* version = "GIF89a") {
    Append(std::string(version));
    U16(width);
    U16(height);
    std::uint8_t packed = 0;
    if (!globalColours.empty()) packed = 0x80 | TableSizeBits(globalColours.size());
    bytes_.push_back(packed);
    bytes_.push_back(0);  // background index
    bytes_.push_back(0);  // aspect
    if (!globalColours.empty()) Table(globalColours);
  }

  GifBuilder& Image(const TestImage& image) {
    if (image.control) Control(image.delay, image.disposal, image.transparent, image.transparentIndex);
    bytes_.push_back(0x2C);
    U16(image.left);
    U16(image.top);
    U16(image.width);
    U16(image.height);
    std::uint8_t packed = image.interlaced ? 0x40 : 0;
    if (!image.localColours.empty()) packed |= 0x80 | TableSizeBits(image.localColours.size());
    bytes_.push_back(packed);
    if (!image.localColours.empty()) Table(image.localColours);
    int minCodeSize = image.minCodeSize;
    if (minCodeSize == 0) {
      minCodeSize = 2;
      for (std::uint8_t v : image.indexes) {
        while ((1u << minCodeSize) <= v) ++minCodeSize;
      }
    }
    bytes_.push_back(static_cast<std::uint8_t>(minCodeSize));
    Bytes data = image.rawData;
    if (data.empty()) {
      std::vector<std::uint8_t> stream;
      if (image.interlaced) {
        for (int y : InterlacedRowOrder(image.height)) {
          stream.insert(stream.end(), image.indexes.begin() + y * image.width,
                        image.indexes.begin() + (y + 1) * image.width);
        }
      } else {
        stream = image.indexes;
      }
      data = LzwEncode(minCodeSize, stream);
    }
    Append(SubBlocks(data));
    return *this;
  }

  GifBuilder& Control(int delay, int disposal, bool transparent, std::uint8_t transparentIndex) {
    Append(Bytes{0x21, 0xF9, 4, static_cast<std::uint8_t>((disposal << 2) | (transparent ? 1 : 0))});
    U16(delay);
    Append(Bytes{transparentIndex, 0});
    return *this;
  }
  GifBuilder& Comment(const std::string& text) {
    Append(Bytes{0x21, 0xFE});
    Append(SubBlocks(Bytes(text.begin(), text.end())));
    return *this;
  }
  GifBuilder& LoopCount(int count) {
    Append(Bytes{0x21, 0xFF, 11});
    Append(std::string("NETSCAPE2.0"));
    Append(Bytes{3, 1, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8), 0});
    return *this;
  }
  GifBuilder& Raw(const Bytes& raw) {
    Append(raw);
    return *this;
  }
  Bytes Build(bool trailer = true) const {
    Bytes out = bytes_;
    if (trailer) out.push_back(0x3B);
    return out;
  }

 private:
  static std::uint8_t TableSizeBits(std::size_t count) {
    std::uint8_t bits = 0;
    while ((std::size_t{2} << bits) < count) ++bits;
    return bits;
  }
  void Table(const std::vector<Rgb>& colours) {
    const std::size_t entries = std::size_t{2} << TableSizeBits(colours.size());
    for (std::size_t i = 0; i < entries; ++i) {
      const Rgb c = i < colours.size() ? colours[i] : Rgb{0, 0, 0};
      Append(Bytes(c.begin(), c.end()));
    }
  }
  void U16(int v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void Append(const Bytes& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  void Append(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }

  Bytes bytes_;
};

}  // namespace velkaro::test
