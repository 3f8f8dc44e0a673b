#pragma once
#include <QIcon>

namespace velkaro {
// The application's own icon: one 32 x 32 image.
QIcon AppIcon();
}  // namespace velkaro
