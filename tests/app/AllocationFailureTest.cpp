// A Text or byte set that cannot get its memory ends the tool: the "错误" box
// names the bytes asked for, and the process ends with status -1. The window
// runs in a child process where every byte-set allocation of 1 MiB or more
// fails, and a reply of several MiB makes the order request ask for one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string>

#include "AllocationFailure.h"
#include "FatalErrorBox.h"
#include "FetchUrl.h"
#include "LoopbackServer.h"
#include "MainWindow.h"
#include "OrderRequest.h"
#include "RetargetedAddress.h"

namespace velkaro {
namespace {

using testing::HttpReply;
using testing::LoopbackConnection;
using testing::LoopbackServer;
using testing::RetargetedAddress;

constexpr std::size_t kFailFromBytes = 1u << 20;

// Reports the modal box on standard error, where the parent reads it, and
// presses its OK button as a user would.
void AnswerTheErrorBoxWhenItShows(QTimer& timer) {
  QObject::connect(&timer, &QTimer::timeout, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    QString text = box->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("|"));
    std::fprintf(stderr, "box [%s] %s\n", box->windowTitle().toUtf8().constData(), text.toUtf8().constData());
    box->button(QMessageBox::Ok)->click();
  });
  timer.start(20);
}

void RequestAPictureTooLargeForMemory(const LoopbackServer& server) {
  InstallFatalErrorHandlers();
  SetAllocationFailureThresholdForTesting(kFailFromBytes);
  WindowHandlers h;
  h.brandSelected = [&server](ControlProperties& c) {
    OnBrandSelected(c, [&server](const Text& address) {
      return FetchUrl(MakeText(RetargetedAddress(address, server)));
    });
  };
  MainWindow window(std::move(h));
  window.ShowCentred();
  if (!QTest::qWaitForWindowExposed(&window)) return;
  QTimer timer;
  AnswerTheErrorBoxWhenItShows(timer);
  window.组合框1->setCurrentIndex(3);
  emit window.组合框1->activated(3);
  // The order request runs from the queue; only the fatal path ends this.
  QTest::qWait(30000);
}

TEST(AllocationFailureDeathTest, ShowsTheErrorBoxWithTheByteCountAndEndsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  LoopbackServer server([](LoopbackConnection& c, int) {
    c.Send(HttpReply("200 OK", "", std::string(6u << 20, 'p')));
  });
  // Standard error first, then (after any toolkit chatter) the box itself
  // with the same text.
  EXPECT_EXIT(RequestAPictureTooLargeForMemory(server), ::testing::ExitedWithCode(255),
              "运行时出错!\r\n\r\n错误信息：分配 ([0-9]{7,}) 字节内存失败!\r\n"
              ".*box \\[错误\\] 运行时出错!\\|\\|错误信息：分配 [0-9]{7,} 字节内存失败!\\|\n");
}

}  // namespace
}  // namespace velkaro
