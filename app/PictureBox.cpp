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

PictureBox::~PictureBox() = default;

QColor PictureBox::Background() const { return palette().color(QPalette::Window); }

void PictureBox::SetPicture(const ByteSet& bytes) {
  shown_.reset();
  scaled_ = QImage();
  stored_ = bytes;
  shown_ = DecodeForDisplay(std::span<const std::uint8_t>(stored_.data(), stored_.size()));
  if (shown_) {
    const QColor bg = Background();
    BlendOverBackground(shown_->still, Rgb{static_cast<std::uint8_t>(bg.red()),
                                          static_cast<std::uint8_t>(bg.green()),
                                          static_cast<std::uint8_t>(bg.blue())});
  }
  update();
}

ByteSet PictureBox::GetPicture() const { return stored_; }

void PictureBox::PrepareScaledPicture() {
  const QSize inner = contentsRect().size();
  if (!shown_ || inner.isEmpty()) return;
  if (scaled_.size() == inner) return;
  const int depth = screen() != nullptr ? screen()->depth() : 32;
  const ScaleFilter filter =
      depth >= kSmoothScalingMinDepth ? ScaleFilter::kAveraging : ScaleFilter::kPixelPicking;
  scaled_ = ToImage(ScaleRaster(shown_->still, inner.width(), inner.height(), filter));
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);  // the one-pixel frame
  QPainter painter(this);
  const QRect inner = contentsRect();
  painter.fillRect(inner, Background());
  if (!shown_) return;
  PrepareScaledPicture();
  painter.drawImage(inner.topLeft(), scaled_);
}

void PictureBox::changeEvent(QEvent* event) {
  // A new background changes every blended pixel: decode again from the
  // stored bytes, as a new picture would.
  if (event->type() == QEvent::PaletteChange && shown_) SetPicture(ByteSet(stored_));
  QFrame::changeEvent(event);
}

}  // namespace velkaro
