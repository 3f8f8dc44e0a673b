// Our GIF reader and LZW decoder against giflib, decoding the same animated
// GIFs (written by giflib's own LZW encoder) to the same indexed frames.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "GifReader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

int WriteToBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

struct Reading {
  const Bytes* bytes;
  std::size_t at;
};

int ReadFromBytes(GifFileType* gif, GifByteType* data, int length) {
  auto* in = static_cast<Reading*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), in->bytes->size() - in->at);
  std::memcpy(data, in->bytes->data() + in->at, n);
  in->at += n;
  return static_cast<int>(n);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "gif bench setup: %s\n", what);
  std::abort();
}

// Frames of a moving gradient with a band of noise and some flat areas: a
// 256-colour picture of the kind GIF animations hold.
std::vector<Bytes> MakeFrames(int width, int height, int count) {
  std::mt19937 random(42);
  std::vector<Bytes> frames;
  for (int f = 0; f < count; ++f) {
    Bytes pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        int value;
        if (y > height / 3 && y < height / 2) {
          value = static_cast<int>(random() % 256);
        } else if (x < width / 5) {
          value = 17;
        } else {
          value = (x * 3 / 4 + y / 2 + f * 5 + static_cast<int>(random() % 3)) & 255;
        }
        pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(value);
      }
    }
    frames.push_back(std::move(pixels));
  }
  return frames;
}

Bytes EncodeWithGiflib(int width, int height, const std::vector<Bytes>& frames) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBytes, &error);
  if (!gif) Fail("EGifOpen");
  EGifSetGifVersion(gif, true);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) {
    colours[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                              static_cast<GifByteType>((i * 7) & 255)};
  }
  ColorMapObject* map = GifMakeMapObject(256, colours);
  if (EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_OK) Fail("EGifPutScreenDesc");
  for (const Bytes& frame : frames) {
    const unsigned char control[4] = {0, 10, 0, 0};  // delay 10, no transparency
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_OK) Fail("EGifPutExtension");
    if (EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_OK) Fail("EGifPutImageDesc");
    for (int y = 0; y < height; ++y) {
      auto* row = const_cast<GifPixelType*>(frame.data() + static_cast<std::size_t>(y) * width);
      if (EGifPutLine(gif, row, width) != GIF_OK) Fail("EGifPutLine");
    }
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) Fail("EGifCloseFile");
  GifFreeMapObject(map);
  return out;
}

// Ours: prepare, then one step per image, each decoded into its own buffer.
std::vector<Bytes> DecodeOurs(const Bytes& file, int count) {
  auto gif = velkaro::PrepareGif(file);
  if (!gif) Fail("PrepareGif");
  std::vector<Bytes> frames;
  for (int i = 0; i < count; ++i) {
    velkaro::GifImage image = velkaro::ReadNextGifImage(*gif);
    if (image.fault != velkaro::GifImageFault::None) Fail("our decode failed");
    frames.push_back(std::move(image.indexes));
  }
  return frames;
}

std::vector<Bytes> DecodeGiflib(const Bytes& file) {
  Reading reading{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reading, ReadFromBytes, &error);
  if (!gif || DGifSlurp(gif) != GIF_OK) Fail("DGifSlurp");
  std::vector<Bytes> frames;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    const std::size_t n = static_cast<std::size_t>(image.ImageDesc.Width) * image.ImageDesc.Height;
    frames.emplace_back(image.RasterBits, image.RasterBits + n);
  }
  DGifCloseFile(gif, &error);
  return frames;
}

struct Sample {
  Bytes file;
  int count;
};

const Sample& SampleOf(int which) {
  static const Sample samples[2] = {
      [] {
        auto frames = MakeFrames(1920, 1080, 30);
        Sample s{EncodeWithGiflib(1920, 1080, frames), 30};
        if (DecodeOurs(s.file, 30) != frames || DecodeGiflib(s.file) != frames) Fail("1920x1080 frames differ");
        return s;
      }(),
      [] {
        auto frames = MakeFrames(374, 498, 10);
        Sample s{EncodeWithGiflib(374, 498, frames), 10};
        if (DecodeOurs(s.file, 10) != frames || DecodeGiflib(s.file) != frames) Fail("374x498 frames differ");
        return s;
      }(),
  };
  return samples[which];
}

void Ours(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(DecodeOurs(sample.file, sample.count));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.file.size()));
}

void Giflib(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(DecodeGiflib(sample.file));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.file.size()));
}

// Argument 0: 1920 x 1080, 30 frames; 1: 374 x 498, 10 frames.
BENCHMARK(Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Giflib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
