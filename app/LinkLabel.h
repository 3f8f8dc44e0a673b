#pragma once
// A label that reports the left mouse button going down over it, and then
// lets the press go on to QLabel's own handling.
#include <QLabel>

namespace velkaro {

class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  // x, y within the label; modifiers as 1 Ctrl + 2 Shift + 4 Alt.
  void leftButtonDown(int x, int y, int modifiers);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace velkaro
