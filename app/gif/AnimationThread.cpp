#include "AnimationThread.h"

namespace velkaro {

AnimationThread::AnimationThread(GifState& gif, Bgra background, FrameReady frameReady)
    : gif_(gif), background_(background), frameReady_(std::move(frameReady)) {}

AnimationThread::~AnimationThread() { Stop(); }

void AnimationThread::Start() {
  if (gif_.singleImage || state_.load() != AnimationState::NotStarted) return;
  state_.store(AnimationState::Running);
  thread_ = std::thread([this] { Run(); });
}

void AnimationThread::Stop() {
  if (!thread_.joinable()) return;
  AnimationState running = AnimationState::Running;
  state_.compare_exchange_strong(running, AnimationState::StopRequested);
  stopRequested_.store(true);
  thread_.join();
}

void AnimationThread::WaitUntil(std::chrono::steady_clock::time_point end) const {
  for (;;) {
    if (stopRequested_.load()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kAnimationSleepStep, end - now));
  }
}

void AnimationThread::Run() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    compositor_.emplace(gif_.screenWidth, gif_.screenHeight, background_);
  }
  for (std::uint64_t number = 0;; ++number) {
    AnimationStep step;
    step.number = number;
    step.start = std::chrono::steady_clock::now();
    {
      std::lock_guard<std::mutex> hold(lock_);
      step.wait = AnimationWait(compositor_->Step(gif_).delayCentiseconds);
    }
    if (frameReady_) frameReady_(step);
    if (stopRequested_.load()) break;
    WaitUntil(step.start + step.wait);
    if (stopRequested_.load()) break;
  }
  state_.store(AnimationState::Ended);
}

}  // namespace velkaro
