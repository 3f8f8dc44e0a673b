#include "BrandComboBox.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include "MainWindowLayout.h"

namespace velkaro {

namespace {
// List rows one pixel taller than the style's own rows.
class TallerRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 1);
  }
};
}  // namespace

BrandComboBox::BrandComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // Typing must stay plain typing: no completion picks an entry behind the
  // user's back.
  setCompleter(nullptr);
  setItemDelegate(new TallerRowDelegate(this));
  addItems(layout::kBrandEntries);
  setCurrentIndex(-1);
  lineEdit()->clear();
  connect(this, &QComboBox::activated, this, &BrandComboBox::PostSelectionNotice);
}

void BrandComboBox::PostSelectionNotice() {
  QMetaObject::invokeMethod(this, &BrandComboBox::listEntrySelected, Qt::QueuedConnection);
}

// The control with its open list is kComboOpenHeight tall in all; the list
// scrolls when the entries do not fit.
void BrandComboBox::showPopup() {
  QComboBox::showPopup();
  QWidget* popup = view()->window();
  if (popup == window()) return;
  const int listHeight = layout::kComboOpenHeight - height();
  if (listHeight > 0) {
    const QPoint below = mapToGlobal(QPoint(0, height()));
    popup->setGeometry(below.x(), below.y(), popup->width(), listHeight);
  }
}

}  // namespace velkaro
