#include "PaintingContext.h"

#include <cstdlib>
#include <string>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace velkaro {
namespace {

constexpr const char* kPreferredFamily = "WenQuanYi Micro Hei";
constexpr const char* kPreferredFontFile = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

// Written once by the first PaintingContext, before any rendering thread
// starts, and only read afterwards.
std::string g_fontFamily;

std::string ChooseFontFamily() {
  if (QFontDatabase::families().contains(QString::fromLatin1(kPreferredFamily))) {
    return kPreferredFamily;
  }
  // Fontconfig may not know the font (a bare container); load the file itself.
  const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kPreferredFontFile));
  if (id >= 0) {
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty()) return families.front().toStdString();
  }
  return {};
}

}  // namespace

struct PaintingContext::State {
  int argc = 1;
  char name[24] = "velkaro-picture-service";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QGuiApplication> app;
};

PaintingContext::PaintingContext() : state_(std::make_unique<State>()) {
  if (QGuiApplication::instance() == nullptr) {
    // The service never opens a window; a display, if there is one, is not ours to use.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    state_->app = std::make_unique<QGuiApplication>(state_->argc, state_->argv);
  }
  if (g_fontFamily.empty()) g_fontFamily = ChooseFontFamily();
}

PaintingContext::~PaintingContext() = default;

const char* PaintingContext::FontFamily() { return g_fontFamily.c_str(); }

}  // namespace velkaro
