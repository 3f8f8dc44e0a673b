#pragma once
// 图片框1: holds the picture bytes it was given, and shows them decoded and
// stretched over its inner area.
#include <QFrame>
#include <QImage>
#include <optional>

#include "ShownPicture.h"
#include "Text.h"

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

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QColor Background() const;
  void PrepareScaledPicture();

  ByteSet stored_;
  std::optional<ShownPicture> shown_;
  // The picture blended and scaled to the inner area, ready to paint; rebuilt
  // only when the picture, the inner size or the background changes.
  QImage scaled_;
};

}  // namespace velkaro
