#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velkaro {

// Drawn rather than shipped as a file: a red order sheet with a gold seal.
QIcon AppIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 0, 0), 1));
  p.setBrush(QColor(255, 250, 240));
  p.drawRoundedRect(QRectF(5.5, 2.5, 21, 27), 2, 2);
  p.setPen(QPen(QColor(90, 90, 90), 1.5));
  for (int y = 9; y <= 17; y += 4) p.drawLine(QPointF(9, y), QPointF(23, y));
  p.setPen(QPen(QColor(200, 20, 20), 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(20, 23), 5, 5);
  p.end();
  return QIcon(pixmap);
}

}  // namespace velkaro
