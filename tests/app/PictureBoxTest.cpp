#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTest>

#include "PictureBox.h"

namespace velkaro {
namespace {

ByteSet Encode(const QImage& image, const char* format) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return ByteSet(data.begin(), data.end());
}

QImage Filled(int w, int h, QColor colour, QImage::Format format = QImage::Format_ARGB32) {
  QImage image(w, h, format);
  image.fill(colour);
  return image;
}

class PictureBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.setGeometry(0, 0, 376, 500);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  }
  QImage Shown() { return box.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  QColor Background() const { return box.palette().color(QPalette::Window); }

  // Every inner pixel has this colour; the frame is untouched.
  void ExpectInnerIs(const QImage& shot, QColor colour) {
    ASSERT_EQ(shot.size(), QSize(376, 500));
    const QRgb want = colour.rgb();
    int wrong = 0;
    for (int y = 1; y < 499; ++y) {
      for (int x = 1; x < 375; ++x) wrong += shot.pixel(x, y) != want;
    }
    EXPECT_EQ(wrong, 0) << "inner pixels differing from " << colour.name().toStdString();
  }

  PictureBox box;
};

TEST_F(PictureBoxTest, StoresAndReturnsExactBytesWhateverTheyAre) {
  const ByteSet cases[] = {
      {},
      {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A},     // seven bytes: too short
      {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // "BM" but no usable BMP
      ByteSet(std::begin("<html>404</html>"), std::end("<html>404</html>")),
  };
  for (const ByteSet& bytes : cases) {
    box.SetPicture(bytes);
    EXPECT_EQ(box.GetPicture(), bytes);
    EXPECT_FALSE(box.HasDecodedPicture());
    ExpectInnerIs(Shown(), Background());
  }
}

TEST_F(PictureBoxTest, PictureIsStretchedOverExactlyTheInnerArea) {
  // A 2 x 2 picture, one colour per quadrant: stretching puts each quadrant's
  // colour in the matching quarter of the 374 x 498 inner area.
  QImage image(2, 2, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(255, 0, 0));
  image.setPixel(1, 0, qRgb(0, 255, 0));
  image.setPixel(0, 1, qRgb(0, 0, 255));
  image.setPixel(1, 1, qRgb(255, 255, 0));
  const ByteSet png = Encode(image, "PNG");
  box.SetPicture(png);
  ASSERT_TRUE(box.HasDecodedPicture());
  const QImage shot = Shown();
  EXPECT_EQ(shot.pixel(1, 1), qRgb(255, 0, 0));
  EXPECT_EQ(shot.pixel(374, 1), qRgb(0, 255, 0));
  EXPECT_EQ(shot.pixel(1, 498), qRgb(0, 0, 255));
  EXPECT_EQ(shot.pixel(374, 498), qRgb(255, 255, 0));
  EXPECT_EQ(shot.pixel(100, 100), qRgb(255, 0, 0));
  // The frame stays a frame: the picture does not reach over it.
  EXPECT_EQ(shot.pixel(0, 0), shot.pixel(375, 499));
  EXPECT_NE(shot.pixel(0, 100), qRgb(255, 0, 0));
  EXPECT_EQ(box.GetPicture(), png);
}

TEST_F(PictureBoxTest, PngAlphaZeroShowsBackgroundAndAlphaFullShowsOwnColour) {
  box.SetPicture(Encode(Filled(8, 8, QColor(10, 200, 30, 0)), "PNG"));
  ASSERT_TRUE(box.HasDecodedPicture());
  ExpectInnerIs(Shown(), Background());
  box.SetPicture(Encode(Filled(8, 8, QColor(10, 200, 30, 255)), "PNG"));
  ExpectInnerIs(Shown(), QColor(10, 200, 30));
}

TEST_F(PictureBoxTest, EmptyBytesAfterAPictureLeaveOnlyTheBackground) {
  box.SetPicture(Encode(Filled(4, 4, QColor(0, 0, 0), QImage::Format_RGB32), "PNG"));
  ASSERT_TRUE(box.HasDecodedPicture());
  box.SetPicture({});
  EXPECT_FALSE(box.HasDecodedPicture());
  ExpectInnerIs(Shown(), Background());
}

TEST_F(PictureBoxTest, JpegReplyFillsTheInnerArea) {
  box.SetPicture(Encode(Filled(748, 996, QColor(200, 40, 40), QImage::Format_RGB32), "JPEG"));
  ASSERT_TRUE(box.HasDecodedPicture());
  const QImage shot = Shown();
  for (QPoint p : {QPoint(1, 1), QPoint(374, 498), QPoint(187, 249)}) {
    const QColor c = shot.pixelColor(p);
    EXPECT_NEAR(c.red(), 200, 3);
    EXPECT_NEAR(c.green(), 40, 3);
    EXPECT_NEAR(c.blue(), 40, 3);
  }
}

TEST_F(PictureBoxTest, RepaintsDrawTheCachedPictureAndResizingRescalesOnce) {
  box.SetPicture(Encode(Filled(300, 200, QColor(20, 90, 160), QImage::Format_RGB32), "JPEG"));
  const PictureBox::WorkCounts set = box.Work();
  Shown();
  Shown();
  Shown();
  EXPECT_EQ(box.Work().decodes, set.decodes);
  EXPECT_EQ(box.Work().rescales, set.rescales + 1) << "only the first paint after SetPicture scales";
  box.resize(200, 100);
  box.grab();
  box.grab();
  EXPECT_EQ(box.Work().decodes, set.decodes);
  EXPECT_EQ(box.Work().rescales, set.rescales + 2) << "a new size scales once more";
}

TEST_F(PictureBoxTest, SetPictureDoesNotPaintUntilTheEventLoopRuns) {
  // A redraw is asked for, not done: the box only becomes dirty.
  QImage before = Shown();
  box.SetPicture(Encode(Filled(4, 4, QColor(0, 0, 255), QImage::Format_RGB32), "PNG"));
  EXPECT_TRUE(box.HasDecodedPicture());
  ExpectInnerIs(Shown(), QColor(0, 0, 255));
  EXPECT_NE(before, Shown());
}

}  // namespace
}  // namespace velkaro
