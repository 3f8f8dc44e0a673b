#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "MainWindow.h"
#include "MainWindowLayout.h"

namespace velkaro {
namespace {

struct Recorder {
  int created = 0;
  std::vector<int> brandSelections;  // the selection each handler call saw
  int saves = 0;
  int siteLinks = 0;
  int groupLinks = 0;
  bool createdWhileVisible = false;
  MainWindow* window = nullptr;
};

std::unique_ptr<MainWindow> MakeWindow(Recorder& r) {
  WindowHandlers h;
  h.created = [&r] {
    ++r.created;
    r.createdWhileVisible = r.window != nullptr && r.window->isVisible();
  };
  h.brandSelected = [&r](ControlProperties& c) { r.brandSelections.push_back(c.BrandSelection()); };
  h.saveClicked = [&r](ControlProperties&) { ++r.saves; };
  h.siteLinkPressed = [&r] { ++r.siteLinks; };
  h.groupLinkPressed = [&r] { ++r.groupLinks; };
  auto window = std::make_unique<MainWindow>(std::move(h));
  r.window = window.get();
  return window;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = MakeWindow(rec);
    window->RaiseCreated();
    window->ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QApplication::setActiveWindow(window.get());
  }
  Recorder rec;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, ControlsStandAtTheirPlacesWithTheirTexts) {
  struct Row {
    QWidget* control;
    const char* name;
    QRect rect;
  };
  const Row rows[] = {
      {window->标签4, "标签4", layout::k标签4},    {window->标签3, "标签3", layout::k标签3},
      {window->标签2, "标签2", layout::k标签2},    {window->标签1, "标签1", layout::k标签1},
      {window->按钮1, "按钮1", layout::k按钮1},    {window->编辑框1, "编辑框1", layout::k编辑框1},
      {window->图片框1, "图片框1", layout::k图片框1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.control->objectName(), QString::fromUtf8(row.name));
    EXPECT_EQ(row.control->geometry(), row.rect);
    EXPECT_TRUE(row.control->isVisible());
    EXPECT_TRUE(row.control->isEnabled());
  }
  EXPECT_EQ(window->组合框1->objectName(), QStringLiteral("组合框1"));
  EXPECT_EQ(window->组合框1->pos(), layout::k组合框1.topLeft());
  EXPECT_EQ(window->组合框1->width(), layout::k组合框1.width());

  EXPECT_EQ(window->windowTitle(), QStringLiteral("Velkaro 让装逼进行到底！"));
  EXPECT_EQ(window->标签4->text(), QStringLiteral("类型"));
  EXPECT_EQ(window->标签3->text(), QStringLiteral("名字"));
  EXPECT_EQ(window->标签2->text(), QStringLiteral("Morvane技术盟 305718264"));
  EXPECT_EQ(window->标签1->text(), QStringLiteral("欢迎加入"));
  EXPECT_EQ(window->按钮1->text(), QStringLiteral("保存装逼图片"));
  EXPECT_TRUE(window->编辑框1->text().isEmpty());
  EXPECT_EQ(window->编辑框1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(MainWindowTest, LinkLabelsHaveTheirColoursAndTwelvePixelFont) {
  EXPECT_EQ(window->标签1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(window->标签2->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  for (QLabel* link : {static_cast<QLabel*>(window->标签1), static_cast<QLabel*>(window->标签2)}) {
    EXPECT_EQ(link->font().pixelSize(), 12);
    EXPECT_EQ(link->font().weight(), QFont::Normal);
    EXPECT_FALSE(link->font().italic());
    EXPECT_FALSE(link->font().underline());
  }
  EXPECT_EQ(window->标签3->palette().color(QPalette::WindowText),
            window->palette().color(QPalette::WindowText));
}

TEST_F(MainWindowTest, DropDownHoldsElevenUnsortedEntriesAndNoSelection) {
  BrandComboBox* combo = window->组合框1;
  ASSERT_EQ(combo->count(), 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(combo->itemText(i), layout::kBrandEntries[i]) << i;
  EXPECT_EQ(combo->itemText(0), QStringLiteral("兰博基尼"));
  EXPECT_EQ(combo->itemText(10), QStringLiteral("法拉利"));
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(window->BrandSelection(), -1);
  EXPECT_TRUE(combo->currentText().isEmpty());
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
}

TEST_F(MainWindowTest, CreatedIsRaisedOnceBeforeTheWindowIsShown) {
  EXPECT_EQ(rec.created, 1);
  EXPECT_FALSE(rec.createdWhileVisible);
  window->RaiseCreated();
  EXPECT_EQ(rec.created, 1);
}

TEST_F(MainWindowTest, FocusStartsInNameBoxAndTabCyclesThroughThreeControls) {
  EXPECT_TRUE(window->编辑框1->hasFocus());
  QWidget* forward[] = {window->按钮1, window->组合框1, window->编辑框1};
  for (QWidget* expected : forward) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->window(), window.get());
    EXPECT_TRUE(expected->hasFocus() || expected->isAncestorOf(QApplication::focusWidget()))
        << expected->objectName().toStdString();
  }
  QWidget* backward[] = {window->组合框1, window->按钮1, window->编辑框1};
  for (QWidget* expected : backward) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(expected->hasFocus() || expected->isAncestorOf(QApplication::focusWidget()))
        << expected->objectName().toStdString();
  }
  for (QWidget* never : {static_cast<QWidget*>(window->标签1), static_cast<QWidget*>(window->标签2),
                         static_cast<QWidget*>(window->标签3), static_cast<QWidget*>(window->标签4),
                         static_cast<QWidget*>(window->图片框1)}) {
    EXPECT_EQ(never->focusPolicy(), Qt::NoFocus);
  }
}

TEST_F(MainWindowTest, EscClosesFromAnyControlButShiftEscDoesNot) {
  for (QWidget* target : {static_cast<QWidget*>(window->编辑框1),
                          static_cast<QWidget*>(window->组合框1->lineEdit()),
                          static_cast<QWidget*>(window->按钮1)}) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(window->isVisible()) << target->objectName().toStdString();
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << target->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, EnterNeverClicksTheButtonNorMovesTheFocus) {
  for (QWidget* target : {static_cast<QWidget*>(window->编辑框1), static_cast<QWidget*>(window->按钮1),
                          static_cast<QWidget*>(window->组合框1->lineEdit())}) {
    target->setFocus();
    QWidget* before = QApplication::focusWidget();
    QTest::keyClick(target, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(target, Qt::Key_F1);
    EXPECT_EQ(QApplication::focusWidget(), before);
  }
  EXPECT_EQ(rec.saves, 0);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ButtonClickRaisesSaveOnce) {
  QTest::mouseClick(window->按钮1, Qt::LeftButton);
  EXPECT_EQ(rec.saves, 1);
  window->按钮1->setFocus();
  QTest::keyClick(window->按钮1, Qt::Key_Space);
  EXPECT_EQ(rec.saves, 2);
}

TEST_F(MainWindowTest, ConfirmedChoiceRaisesSelectionOnceThroughTheQueue) {
  BrandComboBox* combo = window->组合框1;
  // The user confirms 法拉利, the last entry.
  combo->setCurrentIndex(10);
  emit combo->activated(10);
  EXPECT_TRUE(rec.brandSelections.empty()) << "raised inside the drop-down's own notification";
  QCoreApplication::processEvents();
  ASSERT_EQ(rec.brandSelections.size(), 1u);
  EXPECT_EQ(rec.brandSelections[0], 10);

  // Keyboard choice in the closed drop-down: Up moves to entry 9 and confirms it.
  combo->lineEdit()->setFocus();
  QTest::keyClick(combo, Qt::Key_Up);
  QCoreApplication::processEvents();
  ASSERT_EQ(rec.brandSelections.size(), 2u);
  EXPECT_EQ(rec.brandSelections[1], 9);
}

TEST_F(MainWindowTest, TypingIntoTheDropDownRaisesNothing) {
  QLineEdit* field = window->组合框1->lineEdit();
  field->setFocus();
  QTest::keyClicks(field, "abc");
  QTest::keyClick(field, Qt::Key_Backspace);
  QCoreApplication::processEvents();
  EXPECT_TRUE(rec.brandSelections.empty());
  EXPECT_EQ(window->组合框1->count(), 11);
}

TEST_F(MainWindowTest, OnlyLeftButtonDownOverLinkLabelsOpensLinks) {
  QTest::mousePress(window->标签1, Qt::LeftButton);
  EXPECT_EQ(rec.siteLinks, 1) << "raised when the button goes down, before release";
  QTest::mouseRelease(window->标签1, Qt::LeftButton);
  QTest::mouseClick(window->标签2, Qt::LeftButton, Qt::ControlModifier);
  QTest::mouseMove(window->标签1);
  QTest::mouseClick(window->标签1, Qt::RightButton);
  for (QWidget* other : {static_cast<QWidget*>(window->标签3), static_cast<QWidget*>(window->标签4),
                         static_cast<QWidget*>(window->图片框1)}) {
    QTest::mouseClick(other, Qt::LeftButton);
  }
  EXPECT_EQ(rec.siteLinks, 1);
  EXPECT_EQ(rec.groupLinks, 1);
}

TEST_F(MainWindowTest, NameTextIsGbkWithUnrepresentableCharactersAsQuestionMarks) {
  struct Case {
    QString typed;
    std::string gbk;
  };
  const Case cases[] = {
      {QString(), ""},
      {QStringLiteral("abc"), "abc"},
      {QStringLiteral("张三"), "\xD5\xC5\xC8\xFD"},
      {QStringLiteral("€"), "\x80"},
      {QStringLiteral("a😀b"), "a?b"},
      {QStringLiteral("Ω한"), std::string("\xA6\xB8") + "?"},
  };
  for (const Case& c : cases) {
    window->编辑框1->setText(c.typed);
    EXPECT_EQ(std::string(View(window->NameText())), c.gbk) << c.typed.toStdString();
  }
}

TEST_F(MainWindowTest, PicturePropertyReturnsExactCopies) {
  const ByteSet bytes = {0x00, 0xFF, 0x42, 0x4D, 0x00};
  window->SetPicture(bytes);
  EXPECT_EQ(window->GetPicture(), bytes);
  window->SetPicture(ByteSet{});
  EXPECT_TRUE(window->GetPicture().empty());
}

}  // namespace
}  // namespace velkaro
