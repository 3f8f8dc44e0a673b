// Decoding large pictures, ours against the libraries alone and stb_image.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>
#include <png.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <stb/stb_image.h>

#include "AlphaBlend.h"
#include "BmpDecoder.h"
#include "JpegDecoder.h"
#include "PngDecoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A photo-like pattern: smooth gradients with some texture, so neither
// codec meets a trivially compressible picture.
std::uint8_t Sample(int x, int y, int c) {
  return static_cast<std::uint8_t>((x / 3 + y / 5 + c * 60 + ((x * 7 + y * 13 + c) % 17)) & 0xFF);
}

const Bytes& Rgb() {
  static const Bytes rgb = [] {
    Bytes b(static_cast<std::size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) b[(static_cast<std::size_t>(y) * kWidth + x) * 3 + c] = Sample(x, y, c);
    return b;
  }();
  return rgb;
}

const Bytes& Jpeg() {
  static const Bytes jpeg = [] {
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < kHeight; ++y) {
      JSAMPROW row = const_cast<JSAMPLE*>(Rgb().data() + static_cast<std::size_t>(y) * kWidth * 3);
      jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
  }();
  return jpeg;
}

const Bytes& Png() {
  static const Bytes png = [] {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, Rgb().data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, Rgb().data(), 0, nullptr);
    out.resize(size);
    return out;
  }();
  return png;
}

void PutU16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(Bytes& b, std::uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}

Bytes MakeBmp(int bits) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(kWidth) * bits + 31) / 32 * 4;
  const std::uint32_t paletteBytes = bits == 8 ? 1024 : 0;
  Bytes b = {'B', 'M'};
  PutU32(b, 54 + paletteBytes + stride * kHeight);
  PutU32(b, 0);
  PutU32(b, 54 + paletteBytes);
  PutU32(b, 40);
  PutU32(b, kWidth);
  PutU32(b, kHeight);
  PutU16(b, 1);
  PutU16(b, static_cast<unsigned>(bits));
  for (int i = 0; i < 6; ++i) PutU32(b, 0);
  for (std::uint32_t i = 0; i < paletteBytes / 4; ++i) {
    for (std::uint8_t v : {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                           static_cast<std::uint8_t>(i * 3), std::uint8_t{0}}) {
      b.push_back(v);
    }
  }
  for (int y = 0; y < kHeight; ++y) {
    const std::size_t start = b.size();
    for (int x = 0; x < kWidth; ++x) {
      if (bits == 8) {
        b.push_back(Sample(x, y, 0));
      } else {
        for (int c = 2; c >= 0; --c) b.push_back(Sample(x, y, c));
      }
    }
    b.resize(start + stride, 0);
  }
  return b;
}

const Bytes& Bmp(int bits) {
  static const Bytes bmp24 = MakeBmp(24);
  static const Bytes bmp8 = MakeBmp(8);
  return bits == 8 ? bmp8 : bmp24;
}

void SetPixels(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kWidth * kHeight); }

void BM_DecodeJpeg(benchmark::State& state) {
  const Bytes& data = Jpeg();
  for (auto _ : state) benchmark::DoNotOptimize(velkaro::DecodeJpeg(data));
  SetPixels(state);
}

// libjpeg-turbo alone, straight to RGB rows, the floor for our JPEG path.
void BM_LibjpegToRgb(benchmark::State& state) {
  const Bytes& data = Jpeg();
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), data.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    std::vector<JSAMPLE> rgb(static_cast<std::size_t>(info.output_width) * info.output_height * 3);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = rgb.data() + static_cast<std::size_t>(info.output_scanline) * info.output_width * 3;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(rgb.data());
  }
  SetPixels(state);
}

void BM_DecodePng(benchmark::State& state) {
  const Bytes& data = Png();
  for (auto _ : state) benchmark::DoNotOptimize(velkaro::DecodePng(data));
  SetPixels(state);
}

void BM_LibpngSimplified(benchmark::State& state) {
  const Bytes& data = Png();
  for (auto _ : state) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, data.data(), data.size());
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint8_t> out(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state);
}

void BM_DecodeBmp(benchmark::State& state) {
  const Bytes& data = Bmp(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(velkaro::DecodeBmp(data));
  SetPixels(state);
}

// stb_image asked for four channels, the same output as ours.
void BM_StbBmp(benchmark::State& state) {
  const Bytes& data = Bmp(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &w, &h, &n, 4);
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  SetPixels(state);
}

void BM_BlendOverBackground(benchmark::State& state) {
  velkaro::Raster picture;
  picture.width = 374;
  picture.height = 498;
  picture.bgra.resize(374 * 498 * 4);
  for (std::size_t i = 0; i < picture.bgra.size(); ++i) picture.bgra[i] = static_cast<std::uint8_t>(i * 31);
  const auto source = picture.bgra;
  for (auto _ : state) {
    picture.bgra = source;
    velkaro::BlendOverBackground(picture, {240, 240, 240});
    benchmark::DoNotOptimize(picture.bgra.data());
  }
  state.SetItemsProcessed(state.iterations() * 374 * 498);
}

// A line "Name:   N kB" of /proc/self/status, in bytes; -1 when missing.
long long StatusBytes(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    long long kb = 0;
    if (key == name + ":" && status >> kb) return kb * 1024;
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

// Peak memory of one 4000 x 3000 JPEG decode through our path. A forked
// child hands its freed heap back to the kernel, resets its high-water mark
// to what is resident now, decodes, and reports how far the mark rose while
// the picture was still held. The JPEG bytes are resident before the decode
// and are not counted: the picture box holds them anyway.
long long PeakDecodeGrowthBytes(const Bytes& data) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    close(fds[0]);
    malloc_trim(0);
    long long growth = -1;
    std::ofstream("/proc/self/clear_refs") << "5";
    const long long before = StatusBytes("VmRSS");
    {
      const auto raster = velkaro::DecodeJpeg(data);
      const long long peak = StatusBytes("VmHWM");
      if (raster && before >= 0 && peak >= 0) growth = peak - before;
    }
    const ssize_t written = write(fds[1], &growth, sizeof growth);
    _exit(written == sizeof growth ? 0 : 1);
  }
  close(fds[1]);
  long long growth = -1;
  if (read(fds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return growth;
}

void BM_PeakMemoryDecodeJpeg(benchmark::State& state) {
  const Bytes& data = Jpeg();
  long long growth = -1;
  for (auto _ : state) growth = PeakDecodeGrowthBytes(data);
  if (growth < 0) {
    state.SkipWithError("could not measure the decode's peak memory");
    return;
  }
  const double rasterBytes = static_cast<double>(kWidth) * kHeight * 4;
  state.counters["peak_MiB"] = static_cast<double>(growth) / (1024.0 * 1024.0);
  state.counters["raster_MiB"] = rasterBytes / (1024.0 * 1024.0);
  state.counters["peak_per_raster"] = static_cast<double>(growth) / rasterBytes;
}

BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryDecodeJpeg)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegToRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngSimplified)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmp)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbBmp)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendOverBackground)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
