#include "GifReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "GifCompositor.h"
#include "GifTestPictures.h"

namespace velkaro {
namespace {

using namespace velkaro::test;

Bytes Header(const char* version, int width, int height, std::uint8_t packed) {
  Bytes b(13, 0);
  std::copy(version, version + 6, b.begin());
  b[6] = static_cast<std::uint8_t>(width);
  b[7] = static_cast<std::uint8_t>(width >> 8);
  b[8] = static_cast<std::uint8_t>(height);
  b[9] = static_cast<std::uint8_t>(height >> 8);
  b[10] = packed;
  return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(GifPrepare, TellsUsableFromUnusableData) {
  const Bytes oneImage = GifBuilder(2, 1, kColours).Image(Picture(0, 0, 2, "RG")).Build();
  struct Case {
    const char* name;
    Bytes bytes;
    bool usable;
  };
  const Case cases[] = {
      {"empty", {}, false},
      {"13-byte header alone", Header("GIF89a", 1, 1, 0), false},
      {"header and trailer", Concat(Header("GIF89a", 1, 1, 0), {0x3B}), true},
      {"GIF87a", Concat(Header("GIF87a", 1, 1, 0), {0x3B}), true},
      {"other version", Concat(Header("GIF88a", 1, 1, 0), {0x3B}), false},
      {"lower-case signature", Concat(Header("gif89a", 1, 1, 0), {0x3B}), false},
      // Four-entry global table (12 bytes) that the data ends inside or right after.
      {"global table cut off", Concat(Header("GIF89a", 1, 1, 0x81), Bytes(6, 0)), false},
      {"global table reaches the end", Concat(Header("GIF89a", 1, 1, 0x81), Bytes(12, 0)), false},
      {"global table then trailer", Concat(Header("GIF89a", 1, 1, 0x81), Concat(Bytes(12, 0), {0x3B})), true},
      {"empty screen", Concat(Header("GIF89a", 0, 5, 0), {0x3B}), false},
      {"screen side above the limit", Concat(Header("GIF89a", 40000, 1, 0), {0x3B}), false},
      {"screen area above the limit", Concat(Header("GIF89a", 10000, 10000, 0), {0x3B}), false},
      {"largest allowed side", Concat(Header("GIF89a", 32767, 1, 0), {0x3B}), true},
      {"one image", oneImage, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrepareGif(c.bytes) != nullptr, c.usable) << c.name;
  }
}

TEST(GifPrepare, SingleImageBecomesTheStillPicture) {
  const auto gif = PrepareGif(GifBuilder(3, 2, kColours).Image(Picture(0, 0, 3, "RGBWRG")).Build());
  ASSERT_NE(gif, nullptr);
  EXPECT_TRUE(gif->singleImage);
  EXPECT_EQ(gif->screenWidth, 3);
  EXPECT_EQ(gif->screenHeight, 2);
  EXPECT_EQ(Letters(gif->stillPicture), "RGB|WRG");
}

TEST(GifPrepare, SeveralImagesRewindTheStream) {
  const auto gif = PrepareGif(GifBuilder(1, 1, kColours)
                                  .Image(Picture(0, 0, 1, "R"))
                                  .Image(Picture(0, 0, 1, "G"))
                                  .Build());
  ASSERT_NE(gif, nullptr);
  EXPECT_FALSE(gif->singleImage);
  EXPECT_EQ(gif->readPosition, 0u);
  EXPECT_TRUE(gif->stillPicture.bgra.empty());
}

// What a single-image GIF shows, for the ways one image can be drawn.
TEST(GifStill, DrawsEachKindOfImage) {
  TestImage interlaced = Picture(0, 0, 1, "RGBWRGBWRGB");  // 11 rows: all four passes
  interlaced.interlaced = true;
  TestImage local = Picture(0, 0, 2, "RG");
  local.localColours = {{0, 0, 255}, {255, 255, 255}};
  TestImage transparent = Picture(0, 0, 3, "RGB");
  transparent.control = true;
  transparent.transparent = true;
  transparent.transparentIndex = 1;
  TestImage codeSize1 = Picture(0, 0, 2, "RG");
  codeSize1.minCodeSize = 1;
  TestImage codeSize9 = Picture(0, 0, 2, "RG");
  codeSize9.minCodeSize = 9;
  TestImage truncated = Picture(0, 0, 4, "RGBWRGBW");
  {
    std::vector<std::uint8_t> stream = truncated.indexes;
    Bytes data = LzwEncode(2, stream);
    data.resize(2);  // clear, R, G, B, W in 3-bit codes, then one bit
    truncated.rawData = data;
  }
  TestImage beyond = Picture(0, 0, 3, "RGB");
  {
    BitWriter w;
    for (unsigned code : {4u, 0u, 7u, 5u}) w.Put(code, 3);  // 7: one above the next free code 6
    beyond.rawData = w.Finish();
  }
  TestImage endsEarly = Picture(0, 0, 3, "RGB");
  endsEarly.rawData = LzwEncode(2, Bytes{0, 1});
  TestImage noTable = Picture(0, 0, 2, "RG");

  struct Case {
    const char* name;
    int width, height;
    std::vector<TestImage> images;
    bool globalTable;
    std::string expected;
  };
  const Case cases[] = {
      {"interlaced", 1, 11, {interlaced}, true, "R|G|B|W|R|G|B|W|R|G|B"},
      {"local table over the global one", 2, 1, {local}, true, "BW"},
      {"transparent colour left transparent", 3, 1, {transparent}, true, "R.B"},
      {"smaller than the screen and away from its corner", 4, 3, {Picture(1, 1, 2, "RGBW")}, true, "....|.RG.|.BW."},
      {"partly outside the screen is clipped", 3, 2, {Picture(2, 1, 2, "RGBW")}, true, "...|..R"},
      {"wholly outside the screen", 2, 2, {Picture(5, 0, 2, "RGBW")}, true, "..|.."},
      {"index beyond the colour table is black", 3, 1, {Picture(0, 0, 3, "RaG")}, true, "RKG"},
      {"no colour table at all is black", 2, 1, {noTable}, false, "KK"},
      {"minimum code size 1 fails", 2, 1, {codeSize1}, true, ".."},
      {"minimum code size 9 fails", 2, 1, {codeSize9}, true, ".."},
      {"truncated data keeps what it decoded", 4, 2, {truncated}, true, "RGBW|...."},
      {"code beyond the table keeps what came before", 3, 1, {beyond}, true, "R.."},
      {"end code early keeps what came before", 3, 1, {endsEarly}, true, "RG."},
  };
  for (const Case& c : cases) {
    GifBuilder builder(c.width, c.height, c.globalTable ? kColours : std::vector<Rgb>{});
    for (const TestImage& image : c.images) builder.Image(image);
    const auto still = DecodeGifStill(builder.Build());
    ASSERT_TRUE(still.has_value()) << c.name;
    EXPECT_EQ(Letters(*still), c.expected) << c.name;
  }
}

TEST(GifStill, TruncatedFileKeepsTheRowsThatArrived) {
  const Bytes whole = GifBuilder(4, 3, kColours).Image(Picture(0, 0, 4, "RGBWRGBWRGBW")).Build();
  // Header, table, descriptor, code size, then a cut sub-block.
  const Bytes cut(whole.begin(), whole.begin() + 13 + 12 + 10 + 1 + 4);
  const auto gif = PrepareGif(cut);
  ASSERT_NE(gif, nullptr);
  EXPECT_TRUE(gif->singleImage);
  EXPECT_EQ(Letters(gif->stillPicture), "RGBW|RGBW|....");
}

int LeftOf(const GifImage& image) { return image.HasPlace() ? image.left : -1; }

TEST(GifStream, LoopsForEverWhateverTheLoopCount) {
  for (const bool zeroForTrailer : {false, true}) {
    Bytes bytes = GifBuilder(4, 1, kColours)
                      .LoopCount(1)
                      .Image(Picture(0, 0, 1, "R"))
                      .Comment("between")
                      .Image(Picture(1, 0, 1, "G"))
                      .Image(Picture(2, 0, 1, "B"))
                      .Build();
    if (zeroForTrailer) bytes.back() = 0;
    const auto gif = PrepareGif(bytes);
    ASSERT_NE(gif, nullptr);
    std::vector<int> lefts;
    for (int i = 0; i < 10; ++i) lefts.push_back(LeftOf(ReadNextGifImage(*gif)));
    EXPECT_EQ(lefts, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1, 2, 0})) << "zero for trailer " << zeroForTrailer;
  }
}

TEST(GifStream, SettingsComeFromTheLastControlExtension) {
  TestImage first = Picture(0, 0, 1, "R");
  first.control = true;
  first.delay = 25;
  first.disposal = 2;
  first.transparent = true;
  first.transparentIndex = 3;
  const auto gif = PrepareGif(GifBuilder(1, 1, kColours)
                                  .Image(first)
                                  .Image(Picture(0, 0, 1, "G"))  // no extension of its own
                                  .Build());
  ASSERT_NE(gif, nullptr);
  const GifImage a = ReadNextGifImage(*gif);
  EXPECT_EQ(a.settings.delayCentiseconds, 25);
  EXPECT_EQ(a.settings.disposal, 2);
  EXPECT_TRUE(a.settings.transparent);
  EXPECT_EQ(a.settings.transparentIndex, 3);
  const GifImage b = ReadNextGifImage(*gif);
  EXPECT_EQ(b.settings.disposal, 0);  // reset at each step
  EXPECT_EQ(b.settings.delayCentiseconds, 25);
  EXPECT_TRUE(b.settings.transparent);
}

TEST(GifStream, NoImageEndsEachStepWithoutLooping) {
  const Bytes streams[] = {
      GifBuilder(2, 2, kColours).Comment("nothing here").LoopCount(0).Build(),
      GifBuilder(2, 2, kColours).Build(),
      GifBuilder(2, 2, kColours).Raw({0x21, 0xFE, 200, 1, 2}).Build(false),  // extension cut off
      GifBuilder(2, 2, kColours).Raw({0x77, 0x2C, 0x2C}).Build(),             // a byte that starts no block
  };
  for (const Bytes& bytes : streams) {
    const auto gif = PrepareGif(bytes);
    ASSERT_NE(gif, nullptr);
    EXPECT_TRUE(gif->singleImage);
    EXPECT_EQ(Letters(gif->stillPicture), "..|..");
    for (int i = 0; i < 3; ++i) {
      const GifImage image = ReadNextGifImage(*gif);
      EXPECT_EQ(image.fault, GifImageFault::NoImage);
      EXPECT_EQ(gif->readPosition, 0u);
    }
  }
}

TEST(GifStream, DecodesOnlyTheRowsThatReachTheScreen) {
  // A 2 x 3 screen under a 2 x 12 image with rows R, G, B, W, R, ...
  std::string letters;
  for (int row = 0; row < 12; ++row) letters += std::string(2, "RGBW"[row % 4]);
  struct Case {
    const char* name;
    TestImage image;
    std::size_t decodedRows;
    const char* shown;
  };
  TestImage interlaced = Picture(0, 0, 2, letters);
  interlaced.interlaced = true;
  const Case cases[] = {
      {"taller than the screen", Picture(0, 0, 2, letters), 3, "RR|GG|BB"},
      {"starting lower", Picture(0, 1, 2, letters), 2, "..|RR|GG"},
      // Stream rows 0, 8 | 4 | 2, 6, 10 | 1, ...: display row 1 is the 7th.
      {"interlaced", interlaced, 7, "RR|GG|BB"},
      {"below the screen", Picture(0, 3, 2, letters), 0, "..|..|.."},
      {"right of the screen", Picture(2, 0, 2, letters), 0, "..|..|.."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto gif = PrepareGif(GifBuilder(2, 3, kColours).Image(c.image).Image(Picture(0, 0, 1, "W")).Build());
    ASSERT_NE(gif, nullptr);
    const GifImage image = ReadNextGifImage(*gif);
    EXPECT_EQ(image.fault, GifImageFault::None);
    EXPECT_EQ(image.indexes.size(), 2 * c.decodedRows);
    EXPECT_EQ(image.decodedPixels, 2 * c.decodedRows);
    Raster screen = MakeFilledRaster(2, 3, kTransparentBlack);
    DrawGifImage(screen, image);
    EXPECT_EQ(Letters(screen), c.shown);
  }
}

TEST(GifStream, GarbageAfterTheHeaderIsReadSafely) {
  std::mt19937 random(99);
  const Bytes seedGif = GifBuilder(8, 8, kColours)
                            .Image(Picture(0, 0, 4, "RGBWRGBW"))
                            .Image(Picture(2, 2, 2, "WWRR"))
                            .Build();
  for (int round = 0; round < 400; ++round) {
    Bytes bytes = seedGif;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      const std::size_t at = 13 + random() % (bytes.size() - 13);
      bytes[at] = static_cast<std::uint8_t>(random());
    }
    if (round % 3 == 0) bytes.resize(14 + random() % (bytes.size() - 14));
    const auto frames = ComposeGifFrames(bytes, 4);
    for (const Raster& frame : frames) {
      ASSERT_EQ(frame.bgra.size(), static_cast<std::size_t>(frame.width) * frame.height * 4);
    }
  }
}

// Reference: GIFs written by Pillow and ImageMagick, decoded by Pillow.
TEST(GifReference, StillPicturesMatchPillow) {
  if (std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 with Pillow is not installed";
  }
  char dirTemplate[] = "/tmp/gif_reference_XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = dirTemplate;
  const std::string command =
      "timeout 120 /usr/bin/python3 " GIF_REFERENCE_SCRIPT " " + dir + " >" + dir + "/log.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  auto readFile = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  };
  std::ifstream list(dir + "/cases.txt");
  std::string name;
  int width = 0, height = 0, checked = 0;
  while (list >> name >> width >> height) {
    const Bytes gif = readFile(dir + "/" + name + ".gif");
    const Bytes expected = readFile(dir + "/" + name + ".rgba");
    const auto still = DecodeGifStill(gif);
    ASSERT_TRUE(still.has_value()) << name;
    ASSERT_EQ(still->width, width) << name;
    ASSERT_EQ(still->height, height) << name;
    ASSERT_EQ(expected.size(), still->bgra.size()) << name;
    std::size_t mismatches = 0, firstMismatch = 0;
    for (std::size_t i = 0; i < expected.size(); i += 4) {
      const std::uint8_t* ours = &still->bgra[i];
      const std::uint8_t* theirs = &expected[i];  // RGBA
      const bool same = ours[3] == theirs[3] &&
                        (theirs[3] == 0 || (ours[2] == theirs[0] && ours[1] == theirs[1] && ours[0] == theirs[2]));
      if (!same && mismatches++ == 0) firstMismatch = i / 4;
    }
    EXPECT_EQ(mismatches, 0u) << name << ": first differing pixel " << firstMismatch;
    ++checked;
  }
  EXPECT_GE(checked, 3) << "the reference script wrote too few pictures";
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace velkaro
