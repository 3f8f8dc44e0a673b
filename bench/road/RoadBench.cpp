// The road of one order picture inside the window: SetPicture of a 1920 x 1080
// JPEG on a real picture box until its scaled picture is ready to paint, and
// the repaints that follow, against the bare decode of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <jpeglib.h>

#include "JpegDecoder.h"
#include "MainWindowLayout.h"
#include "PictureBox.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::uint8_t Sample(int x, int y, int c) {
  return static_cast<std::uint8_t>((x / 3 + y / 5 + c * 60 + ((x * 7 + y * 13 + c) % 17)) & 0xFF);
}

// A photo-like 1920 x 1080 picture at quality 90, as the picture service
// might send.
const Bytes& Jpeg() {
  static const Bytes jpeg = [] {
    std::vector<JSAMPLE> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3 + c] = Sample(x, y, c);
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
    while (info.next_scanline < info.image_height) {
      JSAMPROW row = rgb.data() + static_cast<std::size_t>(info.next_scanline) * kWidth * 3;
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

velkaro::ByteSet JpegByteSet() { return velkaro::ByteSet(Jpeg().data(), Jpeg().data() + Jpeg().size()); }

// The box where the main window puts it, with its one-pixel frame; painting
// it into an image runs the same paint event the window would.
struct Scene {
  velkaro::PictureBox box;
  QImage target;

  Scene() {
    box.setGeometry(velkaro::layout::k图片框1);
    target = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
  }
  void Paint() { box.render(&target); }
};

bool InnerAreaIsTheBoxes(const Scene& scene) {
  return scene.box.contentsRect().size() == QSize(374, 498);
}

// The bare decode of the same bytes: the floor for the road below.
void BM_BareDecode1920x1080(benchmark::State& state) {
  const Bytes& data = Jpeg();
  for (auto _ : state) benchmark::DoNotOptimize(velkaro::DecodeJpeg(data));
}

// SetPicture until the scaled picture is ready: the copy of the bytes, the
// decode, the blend and the rescale to the inner area, and the first paint
// that builds and draws the scaled picture.
void BM_SetPictureToScaled1920x1080(benchmark::State& state) {
  Scene scene;
  if (!InnerAreaIsTheBoxes(scene)) {
    state.SkipWithError("the picture box's inner area is not 374 x 498");
    return;
  }
  const velkaro::ByteSet bytes = JpegByteSet();
  const velkaro::PictureBox::WorkCounts before = scene.box.Work();
  for (auto _ : state) {
    scene.box.SetPicture(bytes);
    scene.Paint();
  }
  const velkaro::PictureBox::WorkCounts after = scene.box.Work();
  if (!scene.box.HasDecodedPicture()) {
    state.SkipWithError("the JPEG was not decoded");
    return;
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["decodes_per_picture"] = static_cast<double>(after.decodes - before.decodes) / n;
  state.counters["rescales_per_picture"] = static_cast<double>(after.rescales - before.rescales) / n;
}

// A repaint of the box once its picture is set: it draws the cached scaled
// picture and must neither decode nor rescale. A violation fails the run.
void BM_Repaint(benchmark::State& state) {
  Scene scene;
  scene.box.SetPicture(JpegByteSet());
  scene.Paint();
  const velkaro::PictureBox::WorkCounts before = scene.box.Work();
  for (auto _ : state) {
    scene.Paint();
    benchmark::DoNotOptimize(scene.target.constBits());
  }
  const velkaro::PictureBox::WorkCounts after = scene.box.Work();
  const auto n = static_cast<double>(state.iterations());
  state.counters["decodes_per_repaint"] = static_cast<double>(after.decodes - before.decodes) / n;
  state.counters["rescales_per_repaint"] = static_cast<double>(after.rescales - before.rescales) / n;
  if (after.decodes != before.decodes || after.rescales != before.rescales) {
    state.SkipWithError("a repaint decoded or rescaled the picture");
    std::fprintf(stderr, "road_bench: a repaint decoded %llu and rescaled %llu times\n",
                 static_cast<unsigned long long>(after.decodes - before.decodes),
                 static_cast<unsigned long long>(after.rescales - before.rescales));
    std::exit(EXIT_FAILURE);
  }
}

BENCHMARK(BM_BareDecode1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPictureToScaled1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // A real picture box needs an application, but no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
