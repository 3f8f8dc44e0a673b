#include "GifReader.h"

#include <algorithm>
#include <cstring>

#include "ByteReader.h"
#include "GifCompositor.h"
#include "PictureLimits.h"

namespace velkaro {
namespace {

constexpr std::size_t kMinimumGifBytes = 14;
constexpr std::size_t kHeaderBytes = 13;  // signature, version, logical screen descriptor
constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kColourTableFlag = 0x80;
constexpr std::uint8_t kInterlaceFlag = 0x40;

std::size_t ColourTableBytes(std::uint8_t packed) {
  if ((packed & kColourTableFlag) == 0) return 0;
  return std::size_t{3} << ((packed & 7) + 1);
}

GifPalette MakePalette(std::span<const std::uint8_t> rgb) {
  GifPalette palette;
  palette.fill(kColourBeyondTable);
  for (std::size_t i = 0; i < palette.size() && 3 * i + 2 < rgb.size(); ++i) {
    palette[i] = Bgra{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 255};
  }
  return palette;
}

// False when the stream ends before the block terminator.
bool SkipSubBlocks(ByteReader& reader) {
  for (;;) {
    const std::uint8_t size = reader.u8();
    if (reader.failed()) return false;
    if (size == 0) return true;
    if (!reader.skip(size)) return false;
  }
}

// Appends the data of the sub-blocks; false when the stream ends before the
// terminator, after appending what there was.
bool CollectSubBlocks(ByteReader& reader, std::vector<std::uint8_t>& data) {
  for (;;) {
    const std::uint8_t size = reader.u8();
    if (reader.failed()) return false;
    if (size == 0) return true;
    const std::size_t present = std::min<std::size_t>(size, reader.remaining());
    const auto block = reader.bytes(present);
    data.insert(data.end(), block.begin(), block.end());
    if (present < size) return false;
  }
}

void ReadGraphicControl(ByteReader& reader, GifFrameSettings& settings) {
  const std::uint8_t size = reader.u8();
  const auto block = reader.bytes(std::min<std::size_t>(size, reader.remaining()));
  if (block.size() >= 4) {
    settings.disposal = (block[0] >> 2) & 7;
    settings.transparent = (block[0] & 1) != 0;
    settings.delayCentiseconds = block[1] | (block[2] << 8);
    settings.transparentIndex = block[3];
  }
  if (size != 0) SkipSubBlocks(reader);
}

GifImageFault FaultOf(LzwOutcome outcome) {
  switch (outcome) {
    case LzwOutcome::Complete: return GifImageFault::None;
    case LzwOutcome::EndedEarly:
    case LzwOutcome::DataEnded: return GifImageFault::ShortData;
    case LzwOutcome::CodeBeyondTable: return GifImageFault::CodeBeyondTable;
    case LzwOutcome::BadMinCodeSize: return GifImageFault::BadMinCodeSize;
  }
  return GifImageFault::CodeBeyondTable;
}

// How many stream rows must be decoded so that every row that lands on the
// screen is: the rows after the last shown one are never drawn. Without this
// bound an image far larger than a small screen would cost its full size in
// memory and time at every step of the animation.
std::size_t StreamRowsShown(const GifImage& image, int screenWidth, int screenHeight) {
  if (image.left >= screenWidth || image.top >= screenHeight) return 0;
  const int rowsBelowTop = screenHeight - image.top;
  if (!image.interlaced) return static_cast<std::size_t>(std::min(image.height, rowsBelowTop));
  int rows = 0;
  for (int streamRow = 0; streamRow < image.height; ++streamRow) {
    if (image.DisplayRow(streamRow) < rowsBelowTop) rows = streamRow + 1;
  }
  return static_cast<std::size_t>(rows);
}

// Reads an image after its separator. The reader always ends past the
// image's data (or at the end of the stream), whatever becomes of the image.
GifImage ReadImage(ByteReader& reader, const GifState& gif) {
  GifImage image;
  image.settings = gif.settings;
  image.left = reader.u16le();
  image.top = reader.u16le();
  image.width = reader.u16le();
  image.height = reader.u16le();
  const std::uint8_t packed = reader.u8();
  image.interlaced = (packed & kInterlaceFlag) != 0;
  if (const std::size_t tableBytes = ColourTableBytes(packed); tableBytes > 0) {
    image.colours = MakePalette(reader.bytes(tableBytes));
  } else if (gif.globalColours) {
    image.colours = *gif.globalColours;
  } else {
    image.colours.fill(kColourBeyondTable);
  }
  const int minCodeSize = reader.u8();
  if (reader.failed()) {
    image.fault = GifImageFault::Truncated;
    return image;
  }
  std::vector<std::uint8_t> data;
  const bool dataComplete = CollectSubBlocks(reader, data);
  if (!PictureSizeAllowed(image.width, image.height)) {
    image.fault = GifImageFault::BadImageSize;
    return image;
  }
  if (minCodeSize < kLzwMinCodeSizeLowest || minCodeSize > kLzwMinCodeSizeHighest) {
    image.fault = GifImageFault::BadMinCodeSize;
    return image;
  }
  const std::size_t rows = StreamRowsShown(image, gif.screenWidth, gif.screenHeight);
  image.indexes.resize(static_cast<std::size_t>(image.width) * rows);
  const LzwResult result = DecodeLzw(minCodeSize, data, image.indexes);
  image.decodedPixels = result.pixels;
  image.fault = FaultOf(result.outcome);
  if (image.fault == GifImageFault::ShortData && !dataComplete) image.fault = GifImageFault::Truncated;
  return image;
}

}  // namespace

int GifImage::DisplayRow(int streamRow) const {
  if (!interlaced) return streamRow;
  // Passes: every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
  const int firstPass = (height + 7) / 8;
  if (streamRow < firstPass) return streamRow * 8;
  streamRow -= firstPass;
  const int secondPass = (height + 3) / 8;
  if (streamRow < secondPass) return 4 + streamRow * 8;
  streamRow -= secondPass;
  const int thirdPass = (height + 1) / 4;
  if (streamRow < thirdPass) return 2 + streamRow * 4;
  streamRow -= thirdPass;
  return 1 + streamRow * 2;
}

GifImage ReadNextGifImage(GifState& gif) {
  gif.settings.disposal = 0;
  ByteReader reader(gif.frameStream, gif.readPosition);
  bool wrapped = false;
  for (;;) {
    const std::uint8_t introducer = reader.u8();
    if (!reader.failed() && introducer == kImageSeparator) {
      GifImage image = ReadImage(reader, gif);
      gif.readPosition = reader.position();
      return image;
    }
    if (!reader.failed() && introducer == kExtensionIntroducer) {
      const std::uint8_t label = reader.u8();
      if (label == kGraphicControlLabel) {
        ReadGraphicControl(reader, gif.settings);
      } else {
        SkipSubBlocks(reader);  // plain text, comment, application and unknown extensions
      }
      continue;
    }
    // The trailer, a zero byte in its place, the end of the data, or a byte
    // that starts no block: all end the stream, which starts over. Having
    // already started over once in this step means the stream holds no image.
    if (wrapped) {
      gif.readPosition = 0;
      GifImage none;
      none.settings = gif.settings;
      none.fault = GifImageFault::NoImage;
      return none;
    }
    wrapped = true;
    reader = ByteReader(gif.frameStream, 0);
  }
}

std::unique_ptr<GifState> PrepareGif(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kMinimumGifBytes) return nullptr;
  if (std::memcmp(bytes.data(), "GIF87a", 6) != 0 && std::memcmp(bytes.data(), "GIF89a", 6) != 0) {
    return nullptr;
  }
  ByteReader header(bytes, 6);
  const int width = header.u16le();
  const int height = header.u16le();
  const std::uint8_t packed = header.u8();
  if (!PictureSizeAllowed(width, height)) return nullptr;
  const std::size_t tableBytes = ColourTableBytes(packed);
  if (kHeaderBytes + tableBytes >= bytes.size()) return nullptr;

  auto gif = std::make_unique<GifState>();
  gif->screenWidth = width;
  gif->screenHeight = height;
  if (tableBytes > 0) gif->globalColours = MakePalette(bytes.subspan(kHeaderBytes, tableBytes));
  const auto rest = bytes.subspan(kHeaderBytes + tableBytes);
  gif->frameStream.assign(rest.begin(), rest.end());

  const GifImage first = ReadNextGifImage(*gif);
  const bool noImage = first.fault == GifImageFault::NoImage;
  if (noImage || gif->frameStream.size() - gif->readPosition <= 1) {
    // A stream with no image at all has nothing to animate either: it is
    // shown as an empty still picture rather than played.
    gif->singleImage = true;
    gif->stillPicture = MakeFilledRaster(width, height, kTransparentBlack);
    DrawGifImage(gif->stillPicture, first);
  } else {
    gif->readPosition = 0;
  }
  return gif;
}

}  // namespace velkaro
