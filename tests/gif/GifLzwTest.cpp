#include "GifLzw.h"

#include <gtest/gtest.h>

#include <random>

#include "GifTestBuilder.h"

namespace velkaro {
namespace {

using test::Bytes;
using test::LzwEncode;

Bytes Pattern(std::size_t count, int minCodeSize, unsigned seed, bool runs) {
  std::mt19937 random(seed);
  Bytes pixels(count);
  const unsigned colours = 1u << minCodeSize;
  std::uint8_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!runs || random() % 16 == 0) value = static_cast<std::uint8_t>(random() % colours);
    pixels[i] = value;
  }
  return pixels;
}

struct RoundTrip {
  int minCodeSize;
  std::size_t pixels;
  bool runs;          // long runs make long strings and the KwKwK case
  bool clearWhenFull;  // false: the table fills and codes stay at 12 bits
};

TEST(GifLzw, DecodesWhatARealEncoderWrote) {
  const RoundTrip cases[] = {
      {2, 1, false, true},        {2, 7, true, true},         {2, 5000, false, true},
      {3, 20000, true, true},     {4, 1000, false, true},     {5, 300, true, true},
      {6, 4096, false, true},     {7, 50000, false, true},    {8, 100000, false, true},
      {8, 100000, true, true},    {8, 100000, false, false},  {2, 100000, true, false},
      {8, 300000, true, false},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(testing::Message() << "min code size " << c.minCodeSize << ", " << c.pixels
                                    << " pixels, runs " << c.runs << ", clear when full " << c.clearWhenFull);
    const Bytes pixels = Pattern(c.pixels, c.minCodeSize, static_cast<unsigned>(c.pixels), c.runs);
    const Bytes data = LzwEncode(c.minCodeSize, pixels, c.clearWhenFull);
    Bytes out(pixels.size(), 0xEE);
    const LzwResult result = DecodeLzw(c.minCodeSize, data, out);
    EXPECT_EQ(result.outcome, LzwOutcome::Complete);
    EXPECT_EQ(result.pixels, pixels.size());
    EXPECT_EQ(out, pixels);
  }
}

TEST(GifLzw, RejectsMinimumCodeSizesOutsideTwoToEight) {
  const Bytes data = LzwEncode(2, Bytes{1, 2, 3, 0});
  for (int size : {0, 1, 9, 12, 255}) {
    Bytes out(4);
    const LzwResult result = DecodeLzw(size, data, out);
    EXPECT_EQ(result.outcome, LzwOutcome::BadMinCodeSize) << "min code size " << size;
    EXPECT_EQ(result.pixels, 0u);
  }
}

// Hand-written code streams, 3-bit codes (min code size 2: clear 4, end 5).
Bytes Codes3(std::initializer_list<unsigned> codes) {
  test::BitWriter writer;
  for (unsigned code : codes) writer.Put(code, 3);
  return writer.Finish();
}

TEST(GifLzw, FaultsKeepThePixelsDecodedSoFar) {
  struct Case {
    const char* name;
    Bytes data;
    std::size_t outSize;
    LzwOutcome outcome;
    Bytes expected;
  };
  const Case cases[] = {
      // 7 is two beyond the next free code 6 after one root.
      {"code beyond the table", Codes3({4, 1, 7, 2}), 4, LzwOutcome::CodeBeyondTable, {1}},
      // 6 right after a clear: no previous string to extend.
      {"new code right after a clear", Codes3({4, 6, 1}), 4, LzwOutcome::CodeBeyondTable, {}},
      {"end code early", Codes3({4, 1, 2, 5}), 4, LzwOutcome::EndedEarly, {1, 2}},
      // One byte: clear, 1, and two bits of the next code.
      {"data ends without end code", Bytes{Codes3({4, 1, 2, 3, 5})[0]}, 4, LzwOutcome::DataEnded, {1}},
      {"no data at all", Bytes{}, 4, LzwOutcome::DataEnded, {}},
      // 6 = 1,1 (KwKwK) then stop once four pixels are out; the rest is ignored.
      {"extra data after the last pixel", Codes3({4, 1, 6, 3, 3, 3, 3}), 4, LzwOutcome::Complete, {1, 1, 1, 3}},
      {"string cut at the end of the image", Codes3({4, 1, 6, 6}), 2, LzwOutcome::Complete, {1, 1}},
      {"clear resets the table", Codes3({4, 1, 2, 4, 3, 6, 5}), 5, LzwOutcome::Complete, {1, 2, 3, 3, 3}},
  };
  for (const Case& c : cases) {
    Bytes out(c.outSize, 0xEE);
    const LzwResult result = DecodeLzw(2, c.data, out);
    EXPECT_EQ(result.outcome, c.outcome) << c.name;
    ASSERT_EQ(result.pixels, c.expected.size()) << c.name;
    EXPECT_TRUE(std::equal(c.expected.begin(), c.expected.end(), out.begin())) << c.name;
    for (std::size_t i = result.pixels; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << c.name;
  }
}

TEST(GifLzw, RandomBytesNeverOverrunTheOutput) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    Bytes data(random() % 2000);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    const int minCodeSize = 2 + static_cast<int>(random() % 7);
    Bytes out(1 + random() % 5000);
    const LzwResult result = DecodeLzw(minCodeSize, data, out);
    EXPECT_LE(result.pixels, out.size());
  }
}

}  // namespace
}  // namespace velkaro
