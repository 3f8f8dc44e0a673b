#include "GifCompositor.h"

#include <gtest/gtest.h>

#include "GifTestPictures.h"

namespace velkaro {
namespace {

using namespace velkaro::test;

TestImage WithControl(TestImage image, int disposal, bool transparent = false, std::uint8_t index = 0) {
  image.control = true;
  image.disposal = disposal;
  image.transparent = transparent;
  image.transparentIndex = index;
  return image;
}

std::vector<std::string> ComposedLetters(const Bytes& bytes, int frames) {
  std::vector<std::string> out;
  for (const Raster& frame : ComposeGifFrames(bytes, frames)) out.push_back(Letters(frame));
  return out;
}

TEST(GifCompositor, DisposalDecidesWhetherAnImageStaysUnderTheNext) {
  struct Case {
    int disposal;
    std::string third;  // after the image over it
  };
  const Case cases[] = {{0, "RGBR"}, {1, "RGBR"}, {2, "RRBR"}, {3, "RRBR"}, {4, "RGBR"}};
  for (const Case& c : cases) {
    const Bytes bytes = GifBuilder(4, 1, kColours)
                            .Image(Picture(0, 0, 4, "RRRR"))
                            .Image(WithControl(Picture(1, 0, 2, "GG"), c.disposal))
                            .Image(WithControl(Picture(2, 0, 1, "B"), 0))
                            .Build();
    EXPECT_EQ(ComposedLetters(bytes, 3), (std::vector<std::string>{"RRRR", "RGGR", c.third}))
        << "disposal " << c.disposal;
  }
}

TEST(GifCompositor, RestoredAreaIsWhatWasUnderTheImage) {
  // Disposal 2 over a changed screen puts back that screen, not a background;
  // the image reaches past the screen, so only its clipped part is saved.
  const Bytes bytes = GifBuilder(3, 2, kColours)
                          .Image(Picture(0, 0, 3, "RGBWRG"))
                          .Image(WithControl(Picture(1, 1, 3, "WWWWWW"), 2))
                          .Image(WithControl(Picture(0, 0, 1, "B"), 0))
                          .Build();
  EXPECT_EQ(ComposedLetters(bytes, 3), (std::vector<std::string>{"RGB|WRG", "RGB|WWW", "BGB|WRG"}));
}

TEST(GifCompositor, TransparentPixelsShowTheFrameBeneath) {
  const Bytes bytes = GifBuilder(3, 1, kColours)
                          .Image(WithControl(Picture(0, 0, 3, "GWG"), 0, true, 3))
                          .Image(WithControl(Picture(0, 0, 3, "BRW"), 0, true, 0))
                          .Build();
  EXPECT_EQ(ComposedLetters(bytes, 2), (std::vector<std::string>{"G.G", "B.W"}));

  // The window's frame starts as the box's background colour.
  auto gif = PrepareGif(bytes);
  ASSERT_NE(gif, nullptr);
  GifCompositor compositor(3, 1, Bgra{0, 255, 0, 255});  // green
  compositor.Step(*gif);
  EXPECT_EQ(Letters(compositor.Frame()), "GGG");
}

TEST(GifCompositor, FailedImageAddsNothingAndReadingGoesOn) {
  TestImage broken = Picture(0, 0, 2, "BB");
  broken.minCodeSize = 9;
  const Bytes bytes = GifBuilder(2, 1, kColours)
                          .Image(Picture(0, 0, 1, "R"))
                          .Image(WithControl(broken, 2))
                          .Image(Picture(1, 0, 1, "G"))
                          .Build();
  EXPECT_EQ(ComposedLetters(bytes, 4), (std::vector<std::string>{"R.", "R.", "RG", "RG"}));
}

TEST(GifCompositor, FramesLoopAndSingleImagesRepeat) {
  const Bytes two = GifBuilder(1, 1, kColours).Image(Picture(0, 0, 1, "R")).Image(Picture(0, 0, 1, "G")).Build();
  EXPECT_EQ(ComposedLetters(two, 5), (std::vector<std::string>{"R", "G", "R", "G", "R"}));
  const Bytes one = GifBuilder(1, 1, kColours).Image(Picture(0, 0, 1, "B")).Build();
  EXPECT_EQ(ComposedLetters(one, 2), (std::vector<std::string>{"B", "B"}));
  EXPECT_TRUE(ComposeGifFrames(Bytes{'G', 'I', 'F'}, 3).empty());
  EXPECT_TRUE(ComposeGifFrames(two, 0).empty());
}

}  // namespace
}  // namespace velkaro
