#pragma once
// The brand drop-down: an editable field over an unsorted list whose confirmed
// choices are reported through a queued notice, so the handler always runs
// after the drop-down has finished updating its own selection.
#include <QComboBox>

namespace velkaro {

class BrandComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit BrandComboBox(QWidget* parent = nullptr);

  void showPopup() override;

 signals:
  // Raised once per confirmed list choice, from the event queue.
  void listEntrySelected();

 private slots:
  void PostSelectionNotice();
};

}  // namespace velkaro
