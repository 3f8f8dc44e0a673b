// Cost of one order picture (painting and JPEG encoding) and the service's
// throughput with eight clients at once on loopback, server in-process.
#include <benchmark/benchmark.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttp.h"
#include "OrderPicture.h"
#include "PaintingContext.h"
#include "PictureServer.h"

namespace {

using namespace velkaro;

constexpr CalendarDate kDay{2024, 5, 17};
const std::string kZhangSan = "\xE5\xBC\xA0\xE4\xB8\x89";

// Benchmarks run on the main thread, so the first one to ask creates it there.
void EnsurePainting() { static PaintingContext context; }

void BM_RenderOrderJpeg(benchmark::State& state) {
  EnsurePainting();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> jpeg = RenderOrderJpeg({1, kZhangSan, kDay});
    bytes = jpeg.size();
    benchmark::DoNotOptimize(jpeg.data());
  }
  state.counters["jpeg_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RenderOrderJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PaintOrderOnly(benchmark::State& state) {
  EnsurePainting();
  for (auto _ : state) {
    const std::vector<std::uint8_t> pixels = RenderOrderPixels({1, kZhangSan, kDay});
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_PaintOrderOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RequestsEightClients(benchmark::State& state) {
  EnsurePainting();
  constexpr int kClients = 8;
  constexpr int kRequestsPerClient = 4;
  PictureServer server(ServiceOptions{kDay});
  const auto port = server.Bind({"127.0.0.1", 0});
  if (!port) {
    state.SkipWithError("cannot listen on loopback");
    return;
  }
  std::thread serving([&] { server.Run(); });
  std::atomic<int> failures = 0;
  for (auto _ : state) {
    std::vector<std::future<void>> clients;
    for (int c = 0; c < kClients; ++c) {
      clients.push_back(std::async(std::launch::async, [&, c] {
        for (int r = 0; r < kRequestsPerClient; ++r) {
          const std::string target = "/velkaro/dremsil.php?id=" + std::to_string((c + r) % 11 + 1) +
                                     "&name=%E5%BC%A0%E4%B8%89%" + std::to_string(30 + c);
          const auto reply = testing::Get(*port, target);
          if (!reply || reply->status != 200) ++failures;
        }
      }));
    }
    for (auto& c : clients) c.get();
  }
  server.Stop();
  serving.join();
  if (failures > 0) state.SkipWithError("some requests failed");
  state.SetItemsProcessed(state.iterations() * kClients * kRequestsPerClient);
}
BENCHMARK(BM_RequestsEightClients)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
