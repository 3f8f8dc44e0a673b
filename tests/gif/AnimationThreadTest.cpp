#include "AnimationThread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <random>

#include "GifTestPictures.h"

namespace velkaro {
namespace {

using namespace velkaro::test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr Bgra kBackground{0, 0, 0, 255};

TestImage Timed(TestImage image, int delay) {
  image.control = true;
  image.delay = delay;
  return image;
}

Bytes TwoImages(int firstDelay, int secondDelay) {
  return GifBuilder(2, 1, kColours)
      .Image(Timed(Picture(0, 0, 2, "RR"), firstDelay))
      .Image(Timed(Picture(0, 0, 2, "GG"), secondDelay))
      .Build();
}

// Collects what the thread reports, and what the frame showed, per step.
struct Recorder {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<AnimationStep> steps;
  std::vector<std::string> shown;
  AnimationThread* player = nullptr;

  AnimationThread::FrameReady Callback() {
    return [this](const AnimationStep& step) {
      std::string letters;
      player->WithComposedFrame([&](const Raster& frame) { letters = Letters(frame); });
      std::lock_guard<std::mutex> hold(mutex);
      steps.push_back(step);
      shown.push_back(letters);
      changed.notify_all();
    };
  }
  bool WaitForSteps(std::size_t count, milliseconds limit) {
    std::unique_lock<std::mutex> hold(mutex);
    return changed.wait_for(hold, limit, [&] { return steps.size() >= count; });
  }
};

TEST(AnimationThread, WaitsEachImagesDelayAndLoops) {
  auto gif = PrepareGif(TwoImages(0, 25));
  ASSERT_NE(gif, nullptr);
  Recorder recorder;
  AnimationThread player(*gif, kBackground, recorder.Callback());
  recorder.player = &player;
  player.Start();
  EXPECT_EQ(player.State(), AnimationState::Running);
  ASSERT_TRUE(recorder.WaitForSteps(5, milliseconds(20000)));
  player.Stop();
  EXPECT_EQ(player.State(), AnimationState::Ended);

  std::lock_guard<std::mutex> hold(recorder.mutex);
  for (std::size_t i = 0; i < recorder.steps.size(); ++i) {
    const AnimationStep& step = recorder.steps[i];
    EXPECT_EQ(step.number, i);
    // Delay 0 stays 50 ms, delay 25 stays 250 ms; the stream loops for ever.
    EXPECT_EQ(step.wait, i % 2 == 0 ? milliseconds(50) : milliseconds(250)) << "step " << i;
    EXPECT_EQ(recorder.shown[i], i % 2 == 0 ? "RR" : "GG") << "step " << i;
    if (i + 1 < recorder.steps.size()) {
      // Sleeping may run late but never ends a wait early.
      EXPECT_GE(recorder.steps[i + 1].start - step.start, step.wait) << "step " << i;
    }
  }
}

TEST(AnimationThread, SingleImageStartsNoThread) {
  auto gif = PrepareGif(GifBuilder(1, 1, kColours).Image(Picture(0, 0, 1, "R")).Build());
  ASSERT_NE(gif, nullptr);
  ASSERT_TRUE(gif->singleImage);
  int calls = 0;
  AnimationThread player(*gif, kBackground, [&](const AnimationStep&) { ++calls; });
  player.Start();
  EXPECT_EQ(player.State(), AnimationState::NotStarted);
  player.Stop();
  EXPECT_FALSE(player.WithComposedFrame([](const Raster&) {}));
  EXPECT_EQ(calls, 0);
}

TEST(AnimationThread, PainterReadsTheFrameWhileItAnimates) {
  auto gif = PrepareGif(TwoImages(0, 0));
  ASSERT_NE(gif, nullptr);
  Recorder recorder;
  AnimationThread player(*gif, kBackground, recorder.Callback());
  recorder.player = &player;
  player.Start();
  std::size_t draws = 0;
  const auto end = Clock::now() + milliseconds(300);
  while (Clock::now() < end) {
    player.WithComposedFrame([&](const Raster& frame) {
      const std::string letters = Letters(frame);
      EXPECT_TRUE(letters == "RR" || letters == "GG" || letters == "KK") << letters;
      ++draws;
    });
    std::this_thread::sleep_for(milliseconds(1));
  }
  player.Stop();
  EXPECT_GT(draws, 0u);
}

TEST(AnimationThread, StopNeverWaitsLongerThanOneSleepOrFrame) {
  // Long delays keep the thread sleeping; a stop must still come quickly,
  // and so must the destructor's.
  auto bytes = TwoImages(100, 100);
  std::mt19937 random(5);
  Clock::duration longest{};
  for (int round = 0; round < 40; ++round) {
    auto gif = PrepareGif(bytes);
    ASSERT_NE(gif, nullptr);
    Clock::time_point stopStart;
    {
      AnimationThread player(*gif, kBackground, nullptr);
      player.Start();
      std::this_thread::sleep_for(milliseconds(random() % 25));
      stopStart = Clock::now();
      if (round % 2 == 0) {
        player.Stop();
        EXPECT_EQ(player.State(), AnimationState::Ended);
        player.Stop();  // a second stop does nothing
      }
    }  // odd rounds: the destructor stops it
    longest = std::max(longest, Clock::now() - stopStart);
  }
  RecordProperty("longest_stop_microseconds",
                 static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(longest).count()));
  // One sleep is 10 ms; the bound is generous for a loaded machine.
  EXPECT_LT(longest, milliseconds(500));
}

}  // namespace
}  // namespace velkaro
