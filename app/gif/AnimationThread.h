#pragma once
// The player of a GIF with several images: a thread of its own that composes
// one frame per step, tells the box a frame is ready, and waits the image's
// delay, until it is stopped.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "GifCompositor.h"
#include "GifReader.h"

namespace velkaro {

inline constexpr std::chrono::milliseconds kAnimationSleepStep{10};
// A delay of 0 would spin; such images stay this long instead.
inline constexpr std::chrono::milliseconds kZeroDelayWait{50};

// How long an image with this delay (hundredths of a second) stays.
constexpr std::chrono::milliseconds AnimationWait(int delayCentiseconds) {
  return delayCentiseconds == 0 ? kZeroDelayWait : std::chrono::milliseconds{delayCentiseconds * 10};
}

// What the thread did in one step, on its own clock: the box's callback can
// ignore it; tests read the schedule from it.
struct AnimationStep {
  std::uint64_t number = 0;  // 0 for the first step
  std::chrono::steady_clock::time_point start;
  std::chrono::milliseconds wait{0};  // measured from start
};

enum class AnimationState { NotStarted, Running, StopRequested, Ended };

class AnimationThread {
 public:
  // Called on the animation thread after each frame is composed, with the
  // lock released (so it may call WithComposedFrame). It must not block and
  // must not call Stop; the box's one posts a redraw.
  using FrameReady = std::function<void(const AnimationStep&)>;

  // gif must outlive this object; while the thread runs it alone reads it.
  AnimationThread(GifState& gif, Bgra background, FrameReady frameReady);
  ~AnimationThread();  // stops the thread
  AnimationThread(const AnimationThread&) = delete;
  AnimationThread& operator=(const AnimationThread&) = delete;

  // Starts the thread when it has never been started; a GIF with a single
  // image is never played, so nothing starts for one.
  void Start();

  // Asks the thread to stop and waits until it has ended. Returns within one
  // sleep step or the composing of one frame. Does nothing when not running.
  void Stop();

  AnimationState State() const { return state_.load(); }

  // Calls draw(const Raster&) with the composed frame under the lock; false
  // (and draw not called) before the thread has created the frame.
  template <class Draw>
  bool WithComposedFrame(Draw&& draw) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!compositor_) return false;
    draw(compositor_->Frame());
    return true;
  }

 private:
  void Run();
  void WaitUntil(std::chrono::steady_clock::time_point end) const;

  GifState& gif_;
  const Bgra background_;
  const FrameReady frameReady_;
  mutable std::mutex lock_;
  std::optional<GifCompositor> compositor_;  // guarded by lock_
  std::atomic<AnimationState> state_{AnimationState::NotStarted};
  std::atomic<bool> stopRequested_{false};
  std::thread thread_;
};

}  // namespace velkaro
