#pragma once
// What Qt's painter needs before any thread may draw text: a QGuiApplication
// on the offscreen platform (the service has no window and no display).
// Create one on the main thread, before any rendering starts, and keep it
// until rendering has stopped.
#include <memory>

namespace velkaro {

class PaintingContext {
 public:
  PaintingContext();
  ~PaintingContext();
  PaintingContext(const PaintingContext&) = delete;
  PaintingContext& operator=(const PaintingContext&) = delete;

  // The font family that pictures are drawn with; empty if no CJK font
  // could be found (text then falls back to whatever Qt picks).
  static const char* FontFamily();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velkaro
