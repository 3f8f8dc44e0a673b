#pragma once
// MainWindow: the tool's one window, its eight controls in their fixed places,
// its keyboard handling, and the control properties the handlers use.
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "BrandComboBox.h"
#include "ControlProperties.h"
#include "LinkLabel.h"
#include "PictureBox.h"
#include "WindowHandlers.h"

namespace velkaro {

class MainWindow : public QWidget, public ControlProperties {
  Q_OBJECT
 public:
  explicit MainWindow(WindowHandlers handlers, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Raises the created event; start-up calls it once, before the first show.
  void RaiseCreated();
  // Shows the window centred on the primary screen and activates it.
  void ShowCentred();

  // ControlProperties
  Text NameText() const override;
  int BrandSelection() const override;
  void SetPicture(const ByteSet& bytes) override;
  ByteSet GetPicture() const override;

  // The controls, named as in the layout (also their objectNames).
  QLabel* 标签4 = nullptr;
  QLabel* 标签3 = nullptr;
  LinkLabel* 标签2 = nullptr;
  LinkLabel* 标签1 = nullptr;
  BrandComboBox* 组合框1 = nullptr;
  QPushButton* 按钮1 = nullptr;
  QLineEdit* 编辑框1 = nullptr;
  PictureBox* 图片框1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void ConnectEvents();
  void FitOuterSize();

  WindowHandlers handlers_;
  bool created_ = false;
  QMargins frameMargins_;
};

}  // namespace velkaro
