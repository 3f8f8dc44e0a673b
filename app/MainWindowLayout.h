#pragma once
// The fixed look of the main window: places, sizes and texts. Sizes are screen
// pixels used as they stand.
#include <QRect>
#include <QString>
#include <QStringList>

namespace velkaro::layout {

inline constexpr int kOuterWidth = 626;
inline constexpr int kOuterHeight = 524;

inline const QString kTitle = QStringLiteral("Velkaro 让装逼进行到底！");

// Control rectangles in client coordinates.
inline constexpr QRect k标签4{384, 64, 40, 16};
inline constexpr QRect k标签3{384, 16, 32, 32};
inline constexpr QRect k标签2{444, 192, 196, 24};
inline constexpr QRect k标签1{440, 152, 136, 24};
inline constexpr QRect k组合框1{424, 64, 168, 20};
inline constexpr QRect k按钮1{412, 96, 192, 32};
inline constexpr QRect k编辑框1{416, 16, 184, 32};
inline constexpr QRect k图片框1{0, 0, 376, 500};

// The drop-down counts its open list in its height, and never less than this.
inline constexpr int kComboOpenHeight = 160;
inline constexpr int kLinkFontPixelHeight = 12;

inline const QString k标签4Text = QStringLiteral("类型");
inline const QString k标签3Text = QStringLiteral("名字");
inline const QString k标签2Text = QStringLiteral("Morvane技术盟 305718264");
inline const QString k标签1Text = QStringLiteral("欢迎加入");
inline const QString k按钮1Text = QStringLiteral("保存装逼图片");

inline const QStringList kBrandEntries = {
    QStringLiteral("兰博基尼"), QStringLiteral("阿斯顿马丁"), QStringLiteral("路虎"),
    QStringLiteral("宾利"),     QStringLiteral("宝马"),       QStringLiteral("玛莎拉蒂"),
    QStringLiteral("特斯拉"),   QStringLiteral("保时捷918"),  QStringLiteral("奔驰"),
    QStringLiteral("保时捷"),   QStringLiteral("法拉利"),
};

// Left/top of a window of the outer size centred on a screen, by the integer
// division that drops the fraction.
constexpr QPoint CentredOrigin(int screenWidth, int screenHeight) {
  return QPoint((screenWidth - kOuterWidth) / 2, (screenHeight - kOuterHeight) / 2);
}

}  // namespace velkaro::layout
