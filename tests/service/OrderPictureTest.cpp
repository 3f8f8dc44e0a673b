// The order picture itself: its size through the tool's decoder, repeatable
// bytes, names that change what is drawn and stay inside their box, and
// rendering from several threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <vector>

#include "DecodeForTest.h"
#include "JpegEncoder.h"
#include "OrderQuery.h"
#include "OrderPicture.h"
#include "PaintingContext.h"

namespace velkaro {
namespace {

class PaintingEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { context_ = std::make_unique<PaintingContext>(); }
  void TearDown() override { context_.reset(); }

 private:
  std::unique_ptr<PaintingContext> context_;
};

const auto* const kPainting = ::testing::AddGlobalTestEnvironment(new PaintingEnvironment);

constexpr CalendarDate kDay{2024, 5, 17};
const std::string kZhangSan = "\xE5\xBC\xA0\xE4\xB8\x89";

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The page area where the buyer's name is drawn, with a little room for
// antialiasing, and the order number row, which depends on the name too.
bool DependsOnName(int x, int y) {
  const bool inNameBox = x >= 56 && x < 692 && y >= 314 && y < 472;
  const bool inOrderNumber = x >= 56 && x < 380 && y >= 220 && y < 258;
  return inNameBox || inOrderNumber;
}

// Where a and b differ outside the name-dependent areas: empty when they do
// not, otherwise the count and bounding box of the differing pixels.
std::string DifferencesOutsideName(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  int count = 0, left = kOrderPictureWidth, top = kOrderPictureHeight, right = -1, bottom = -1;
  for (int y = 0; y < kOrderPictureHeight; ++y) {
    for (int x = 0; x < kOrderPictureWidth; ++x) {
      if (DependsOnName(x, y)) continue;
      const std::size_t at = (static_cast<std::size_t>(y) * kOrderPictureWidth + x) * 4;
      if (a[at] == b[at] && a[at + 1] == b[at + 1] && a[at + 2] == b[at + 2]) continue;
      ++count;
      left = std::min(left, x);
      top = std::min(top, y);
      right = std::max(right, x);
      bottom = std::max(bottom, y);
    }
  }
  if (count == 0) return {};
  return std::to_string(count) + " pixels in x " + std::to_string(left) + ".." + std::to_string(right) +
         ", y " + std::to_string(top) + ".." + std::to_string(bottom);
}

// True when nothing is written in the name box: no pixel there is anywhere
// near the ink colour (the faint watermark behind it is much lighter).
bool NameBoxIsBlank(const std::vector<std::uint8_t>& page) {
  constexpr int kDarkestBackground = 200;
  for (int y = 318; y < 468; ++y) {
    for (int x = 60; x < 688; ++x) {
      const std::size_t at = (static_cast<std::size_t>(y) * kOrderPictureWidth + x) * 4;
      if (std::min({page[at], page[at + 1], page[at + 2]}) < kDarkestBackground) return false;
    }
  }
  return true;
}

TEST(OrderPicture, EveryBrandGivesAPortraitJpegOfOrderSize) {
  for (int brand = kFirstBrandNumber; brand <= kLastBrandNumber; ++brand) {
    const std::vector<std::uint8_t> jpeg = RenderOrderJpeg({brand, kZhangSan, kDay});
    ASSERT_GT(jpeg.size(), 1000u) << "brand " << brand;
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    const auto size = testing::DecodeJpegSize(jpeg);
    ASSERT_TRUE(size.has_value()) << "brand " << brand;
    EXPECT_EQ(size->width, kOrderPictureWidth) << "brand " << brand;
    EXPECT_EQ(size->height, kOrderPictureHeight) << "brand " << brand;
  }
}

TEST(OrderPicture, UnknownBrandGivesNothing) {
  for (const int brand : {0, -1, 12, 1000}) {
    EXPECT_TRUE(RenderOrderJpeg({brand, kZhangSan, kDay}).empty()) << "brand " << brand;
    EXPECT_TRUE(RenderOrderPixels({brand, kZhangSan, kDay}).empty()) << "brand " << brand;
  }
}

TEST(OrderPicture, SameDetailsGiveSameBytesAndAnyChangeShows) {
  const OrderDetails base{3, kZhangSan, kDay};
  const std::vector<std::uint8_t> reference = RenderOrderJpeg(base);
  EXPECT_EQ(RenderOrderJpeg(base), reference);
  const OrderDetails changed[] = {
      {3, "\xE6\x9D\x8E\xE5\x9B\x9B", kDay},  // another name
      {3, "", kDay},
      {4, kZhangSan, kDay},
      {3, kZhangSan, CalendarDate{2024, 5, 18}},
  };
  for (const OrderDetails& d : changed) {
    EXPECT_NE(RenderOrderJpeg(d), reference) << "brand " << d.brandNumber << " name " << d.buyerName;
  }
}

// An empty name leaves the buyer line blank; any name, however long, is drawn
// inside its own box and leaves the rest of the page as it was.
TEST(OrderPicture, NamesStayInsideTheirBox) {
  const std::vector<std::uint8_t> blank = RenderOrderPixels({8, "", kDay});
  ASSERT_EQ(blank.size(), static_cast<std::size_t>(kOrderPictureWidth) * kOrderPictureHeight * 4);
  EXPECT_TRUE(NameBoxIsBlank(blank));
  const std::string names[] = {
      kZhangSan,
      "Li",
      Repeat("\xE5\xBC\xA0", 12),
      Repeat("W", 40),
      Repeat("W", 200),
      Repeat("\xE9\xBE\x98", 200),  // a dense CJK character
      Repeat("Ab Cd ", 33),
      Repeat("\xEF\xBF\xBD", 200),
      "\xF0\x9F\x9A\x97\xF0\x9F\x9A\x97",
  };
  for (const std::string& name : names) {
    const std::vector<std::uint8_t> page = RenderOrderPixels({8, name, kDay});
    ASSERT_EQ(page.size(), blank.size());
    EXPECT_FALSE(NameBoxIsBlank(page)) << "name not drawn: " << name.substr(0, 30);
    EXPECT_EQ(DifferencesOutsideName(page, blank), "") << "name spills out of its box: " << name.substr(0, 30);
  }
}

TEST(OrderPicture, ThreadsRenderTheSameBytesAsOneThread) {
  const std::string names[] = {kZhangSan, "", Repeat("W", 200), "Velkaro", Repeat("\xE9\xBE\x98", 60)};
  std::vector<std::vector<std::uint8_t>> expected;
  for (std::size_t i = 0; i < std::size(names); ++i) {
    expected.push_back(RenderOrderJpeg({static_cast<int>(i % 11) + 1, names[i], kDay}));
  }
  constexpr int kThreads = 8;
  constexpr int kRoundsPerThread = 3;
  std::vector<std::future<int>> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.push_back(std::async(std::launch::async, [&, t] {
      int mismatches = 0;
      for (int round = 0; round < kRoundsPerThread; ++round) {
        const std::size_t i = static_cast<std::size_t>(t + round) % std::size(names);
        if (RenderOrderJpeg({static_cast<int>(i % 11) + 1, names[i], kDay}) != expected[i]) ++mismatches;
      }
      return mismatches;
    }));
  }
  for (auto& w : workers) EXPECT_EQ(w.get(), 0);
}

TEST(EncodeJpeg, RefusesPixelsThatDoNotDescribeAPicture) {
  const std::vector<std::uint8_t> bytes(16 * 16 * 4, 0x80);
  struct Case {
    const char* what;
    PaintedPixels pixels;
    int quality;
  };
  const Case cases[] = {
      {"zero width", {0, 16, 64, bytes}, 90},
      {"negative height", {16, -1, 64, bytes}, 90},
      {"rows shorter than the width", {16, 16, 60, bytes}, 90},
      {"too few bytes", {16, 17, 64, bytes}, 90},
      {"huge width", {1 << 20, 1, std::size_t{4} << 20, bytes}, 90},
      {"quality 0", {16, 16, 64, bytes}, 0},
      {"quality 101", {16, 16, 64, bytes}, 101},
  };
  for (const Case& c : cases) EXPECT_FALSE(EncodeJpeg(c.pixels, c.quality).has_value()) << c.what;
  const auto good = EncodeJpeg({16, 16, 64, bytes}, 90);
  ASSERT_TRUE(good.has_value());
  const auto size = testing::DecodeJpegSize(*good);
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, 16);
  EXPECT_EQ(size->height, 16);
}

}  // namespace
}  // namespace velkaro
