#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <set>

#include "GifTestBuilder.h"
#include "PictureBox.h"

namespace velkaro {
namespace {

using test::GifBuilder;
using test::TestImage;

const test::Rgb kRed{255, 0, 0};
const test::Rgb kGreen{0, 255, 0};

TestImage Flat(std::uint8_t index, int delay) {
  TestImage image;
  image.width = 4;
  image.height = 4;
  image.indexes.assign(16, index);
  image.control = true;
  image.delay = delay;
  return image;
}

ByteSet ToBytes(const test::Bytes& b) { return ByteSet(b.begin(), b.end()); }

class PictureBoxGifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.setGeometry(0, 0, 376, 500);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  }
  QRgb Centre() { return box.grab().toImage().pixel(187, 249); }
  PictureBox box;
};

TEST_F(PictureBoxGifTest, SingleImageGifIsShownStillWithoutAThread) {
  box.SetPicture(ToBytes(GifBuilder(4, 4, {kRed, kGreen}).Image(Flat(1, 0)).Build()));
  ASSERT_TRUE(box.HasDecodedPicture());
  EXPECT_EQ(Centre(), qRgb(0, 255, 0));
  EXPECT_FALSE(box.IsAnimating());
}

TEST_F(PictureBoxGifTest, AnimationPlaysItsFramesAndANewPictureStopsIt) {
  const ByteSet animated =
      ToBytes(GifBuilder(4, 4, {kRed, kGreen}).Image(Flat(0, 2)).Image(Flat(1, 2)).Build());
  box.SetPicture(animated);
  ASSERT_TRUE(box.HasDecodedPicture());
  box.grab();  // the first paint starts the thread
  EXPECT_TRUE(box.IsAnimating());

  // Both frames come round, again and again, drawn by the thread's redraws.
  std::set<QRgb> seen;
  QElapsedTimer clock;
  clock.start();
  while (seen.size() < 2 && clock.elapsed() < 5000) {
    QTest::qWait(5);
    seen.insert(Centre());
  }
  EXPECT_TRUE(seen.count(qRgb(255, 0, 0)) && seen.count(qRgb(0, 255, 0)));

  box.SetPicture(ByteSet{});
  EXPECT_FALSE(box.IsAnimating()) << "SetPicture stops the thread before it returns";
  EXPECT_EQ(Centre(), box.palette().color(QPalette::Window).rgb());
  EXPECT_EQ(box.GetPicture(), ByteSet{});
}

TEST_F(PictureBoxGifTest, DestroyingTheBoxDuringAnimationStopsTheThread) {
  auto other = std::make_unique<PictureBox>();
  other->resize(376, 500);
  other->SetPicture(
      ToBytes(GifBuilder(4, 4, {kRed, kGreen}).Image(Flat(0, 0)).Image(Flat(1, 0)).Build()));
  other->grab();
  EXPECT_TRUE(other->IsAnimating());
  QTest::qWait(60);
  other.reset();  // must join the thread; a leftover thread would crash here or in ASan
  QTest::qWait(60);
}

}  // namespace
}  // namespace velkaro
