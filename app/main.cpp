// Start-up: the program's own directory becomes the current one, the window
// is created hidden with its controls, the created event is raised, and the
// window is shown; closing it ends the program with status 0.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "FatalErrorBox.h"
#include "FetchUrl.h"
#include "MainWindow.h"
#include "Saving.h"
#include "WindowHandlers.h"

namespace {

// Sizes are screen pixels used as they stand; no scaling of our own or Qt's.
void DisableHighDpiScaling() {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
}

// Qt ends the process itself when it cannot reach a display; end it with the
// window-creation failure instead.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) velkaro::ShowFatalErrorAndExit(velkaro::kWindowCreationFailedDetail);
}

}  // namespace

int main(int argc, char** argv) {
  const velkaro::Text runDirectory = velkaro::RunDirectory();
  if (chdir(runDirectory.empty() ? "/" : runDirectory.c_str()) != 0) {
    std::perror("velkaro: cannot enter the program's directory");
  }
  DisableHighDpiScaling();
  qInstallMessageHandler(&OnQtMessage);
  velkaro::InstallFatalErrorHandlers();

  QApplication app(argc, argv);
  int status = 0;
  {
    velkaro::MainWindow window(velkaro::ToolHandlers());
    window.winId();  // create the native window now, so a failure is seen here
    if (window.windowHandle() == nullptr) {
      velkaro::ShowFatalErrorAndExit(velkaro::kWindowCreationFailedDetail);
    }
    window.RaiseCreated();
    window.ShowCentred();
    status = app.exec();
  }
  velkaro::ReleaseWebClient();
  return status;
}
