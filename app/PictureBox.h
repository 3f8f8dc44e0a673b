#pragma once
// 图片框1: holds the picture bytes it was given, and shows them decoded and
// stretched over its inner area.
#include <QFrame>
#include <QImage>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "AnimationThread.h"
#include "ScaleRaster.h"
#include "ShownPicture.h"
#include "Text.h"

class QPainter;

namespace velkaro {

class PictureBox : public QFrame {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);
  ~PictureBox() override;

  // Stores an exact copy, decodes it once and asks for a redraw.
  void SetPicture(const ByteSet& bytes);
  // An exact copy of the bytes last stored, also when they cannot be shown.
  ByteSet GetPicture() const;

  bool HasDecodedPicture() const { return shown_.has_value(); }

  // How often the box has decoded bytes and rescaled a picture since it was
  // made: lets tests and benchmarks show that a repaint does neither.
  struct WorkCounts {
    std::uint64_t decodes = 0;
    std::uint64_t rescales = 0;
  };
  WorkCounts Work() const { return work_; }
  bool IsAnimating() const {
    return animation_ && animation_->State() == AnimationState::Running;
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QColor Background() const;
  ScaleFilter Filter() const;
  void PrepareScaledPicture();
  void StopAnimation();
  void PaintAnimation(QPainter& painter, const QRect& inner);

  ByteSet stored_;
  std::optional<ShownPicture> shown_;
  // The picture blended and scaled to the inner area, ready to paint; rebuilt
  // only when the picture, the inner size or the background changes.
  QImage scaled_;
  // Plays a GIF with several images; started at its first paint.
  std::unique_ptr<AnimationThread> animation_;
  // The newest frame the thread has composed, and the one scaled_ holds.
  std::atomic<std::uint64_t> composedStep_{0};
  std::uint64_t scaledStep_ = 0;
  WorkCounts work_;
};

}  // namespace velkaro
