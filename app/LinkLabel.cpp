#include "LinkLabel.h"

#include <QMouseEvent>

namespace velkaro {

namespace {
int ModifierFlags(Qt::KeyboardModifiers m) {
  return (m.testFlag(Qt::ControlModifier) ? 1 : 0) | (m.testFlag(Qt::ShiftModifier) ? 2 : 0) |
         (m.testFlag(Qt::AltModifier) ? 4 : 0);
}
}  // namespace

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    emit leftButtonDown(p.x(), p.y(), ModifierFlags(event->modifiers()));
  }
  QLabel::mousePressEvent(event);
}

}  // namespace velkaro
