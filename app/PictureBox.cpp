#include "PictureBox.h"

#include <cstring>

#include <QEvent>
#include <QPainter>
#include <QScreen>

#include "AlphaBlend.h"
#include "ScaleRaster.h"

namespace velkaro {

namespace {
// Smoothing needs enough colours to show the averages it makes.
constexpr int kSmoothScalingMinDepth = 17;

// The JPEG decoder gives alpha 255 in every pixel, which the blend leaves as
// it is: for a JPEG the blend would be a pass over the picture that changes
// nothing.
bool MayHaveTransparency(PictureFormat format) { return format != PictureFormat::Jpeg; }

QImage ToImage(const Raster& raster) {
  QImage image(raster.width, raster.height, QImage::Format_RGB32);
  for (int y = 0; y < raster.height; ++y) {
    std::memcpy(image.scanLine(y), raster.Row(y), raster.RowBytes());
  }
  return image;
}
}  // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::NoFocus);
}

// The thread draws from the GIF state the box owns: it must end first.
PictureBox::~PictureBox() { StopAnimation(); }

void PictureBox::StopAnimation() {
  if (animation_) animation_->Stop();
  animation_.reset();
}

QColor PictureBox::Background() const { return palette().color(QPalette::Window); }

void PictureBox::SetPicture(const ByteSet& bytes) {
  StopAnimation();
  shown_.reset();
  scaled_ = QImage();
  composedStep_ = 0;
  scaledStep_ = 0;
  stored_ = bytes;
  ++work_.decodes;
  shown_ = DecodeForDisplay(std::span<const std::uint8_t>(stored_.data(), stored_.size()));
  if (shown_ && !shown_->animation && MayHaveTransparency(shown_->format)) {
    const QColor bg = Background();
    BlendOverBackground(shown_->still, Rgb{static_cast<std::uint8_t>(bg.red()),
                                          static_cast<std::uint8_t>(bg.green()),
                                          static_cast<std::uint8_t>(bg.blue())});
  }
  update();
}

ByteSet PictureBox::GetPicture() const { return stored_; }

ScaleFilter PictureBox::Filter() const {
  const int depth = screen() != nullptr ? screen()->depth() : 32;
  return depth >= kSmoothScalingMinDepth ? ScaleFilter::kAveraging : ScaleFilter::kPixelPicking;
}

void PictureBox::PrepareScaledPicture() {
  const QSize inner = contentsRect().size();
  if (!shown_ || inner.isEmpty()) return;
  if (scaled_.size() == inner) return;
  ++work_.rescales;
  scaled_ = ToImage(ScaleRaster(shown_->still, inner.width(), inner.height(), Filter()));
}

// The first paint starts the thread; later paints show its newest frame,
// scaled under the lock so the thread cannot change it meanwhile, and only
// when the thread has composed a new one since.
void PictureBox::PaintAnimation(QPainter& painter, const QRect& inner) {
  if (!animation_) {
    const QColor bg = Background();
    const Bgra background{static_cast<std::uint8_t>(bg.blue()), static_cast<std::uint8_t>(bg.green()),
                          static_cast<std::uint8_t>(bg.red()), 255};
    animation_ = std::make_unique<AnimationThread>(
        *shown_->animation, background, [this](const AnimationStep& step) {
          composedStep_.store(step.number + 1);
          QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
        });
    animation_->Start();
    return;
  }
  const std::uint64_t step = composedStep_.load();
  if (step != scaledStep_ || scaled_.size() != inner.size()) {
    const ScaleFilter filter = Filter();
    ++work_.rescales;
    animation_->WithComposedFrame([&](const Raster& frame) {
      scaled_ = ToImage(ScaleRaster(frame, inner.width(), inner.height(), filter));
    });
    scaledStep_ = step;
  }
  if (!scaled_.isNull()) painter.drawImage(inner.topLeft(), scaled_);
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);  // the one-pixel frame
  QPainter painter(this);
  const QRect inner = contentsRect();
  painter.fillRect(inner, Background());
  if (!shown_) return;
  if (shown_->animation) {
    PaintAnimation(painter, inner);
    return;
  }
  PrepareScaledPicture();
  painter.drawImage(inner.topLeft(), scaled_);
}

void PictureBox::changeEvent(QEvent* event) {
  // A new background changes every blended pixel: decode again from the
  // stored bytes, as a new picture would.
  if (event->type() == QEvent::PaletteChange && shown_) {
    const ByteSet bytes = stored_;
    SetPicture(bytes);
  }
  QFrame::changeEvent(event);
}

}  // namespace velkaro
