#include "FatalErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "AllocationFailure.h"

namespace velkaro {

QString FatalErrorText(const QString& detail) {
  return QStringLiteral("运行时出错!\r\n\r\n错误信息：") + detail + QStringLiteral("\r\n");
}

QString AllocationFailureDetail(std::size_t bytes) {
  return QStringLiteral("分配 %1 字节内存失败!").arg(static_cast<qulonglong>(bytes));
}

void ShowFatalErrorAndExit(const QString& detail) {
  const QString text = FatalErrorText(detail);
  // The message also goes to standard error, so it is not lost where no box
  // can be shown (no display, or a thread other than the window's).
  std::fputs(text.toUtf8().constData(), stderr);
  std::fflush(stderr);
  const bool canShowBox = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
                          QThread::currentThread() == QCoreApplication::instance()->thread();
  if (canShowBox) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok);
    box.exec();
  }
  std::_Exit(-1);
}

namespace {
void OnAllocationFailure(std::size_t bytes) { ShowFatalErrorAndExit(AllocationFailureDetail(bytes)); }
}  // namespace

void InstallFatalErrorHandlers() { SetAllocationFailureHandler(&OnAllocationFailure); }

}  // namespace velkaro
