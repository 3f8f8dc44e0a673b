#include "MainWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include "AppIcon.h"
#include "MainWindowLayout.h"
#include "NameEncoding.h"

namespace velkaro {

namespace {

constexpr int kGbkCodePage = 936;
constexpr int kFrameSettleMs = 3000;

// Caption, system menu, minimize and close; no maximize.
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinimizeButtonHint |
                                         Qt::WindowCloseButtonHint;

template <typename Control>
Control* Place(Control* control, const char* name, const QRect& rect) {
  control->setObjectName(QString::fromUtf8(name));
  control->setGeometry(rect);
  return control;
}

QLabel* MakeLabel(QLabel* label, const QString& text) {
  label->setText(text);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setWordWrap(false);
  label->setAutoFillBackground(true);  // dialog face, as the window
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

void SetTextColour(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, colour);
  w->setPalette(p);
}

QFont LinkFont(const QFont& base) {
  QFont f = base;
  f.setPixelSize(layout::kLinkFontPixelHeight);
  f.setWeight(QFont::Normal);
  f.setItalic(false);
  f.setUnderline(false);
  f.setStrikeOut(false);
  return f;
}

// The name box shows its selection only while it has the focus.
void HideInactiveSelection(QLineEdit* edit) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             p.color(QPalette::Inactive, QPalette::Text));
  edit->setPalette(p);
}

}  // namespace

MainWindow::MainWindow(WindowHandlers handlers, QWidget* parent)
    : QWidget(parent, kWindowFlags), handlers_(std::move(handlers)) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(layout::kTitle);
  setWindowIcon(AppIcon());
  setFixedSize(layout::kOuterWidth, layout::kOuterHeight);
  CreateControls();
  ConnectEvents();
  qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
  if (qApp != nullptr) qApp->removeEventFilter(this);
}

void MainWindow::CreateControls() {
  标签4 = Place(MakeLabel(new QLabel(this), layout::k标签4Text), "标签4", layout::k标签4);
  标签3 = Place(MakeLabel(new QLabel(this), layout::k标签3Text), "标签3", layout::k标签3);
  标签2 = Place(static_cast<LinkLabel*>(MakeLabel(new LinkLabel(this), layout::k标签2Text)),
               "标签2", layout::k标签2);
  标签1 = Place(static_cast<LinkLabel*>(MakeLabel(new LinkLabel(this), layout::k标签1Text)),
               "标签1", layout::k标签1);
  const QFont linkFont = LinkFont(font());
  标签1->setFont(linkFont);
  标签2->setFont(linkFont);
  SetTextColour(标签1, QColor(255, 0, 0));
  SetTextColour(标签2, QColor(0, 0, 255));

  组合框1 = Place(new BrandComboBox(this), "组合框1", layout::k组合框1);
  // The closed drop-down is one line high; its field follows the font.
  组合框1->resize(layout::k组合框1.width(), 组合框1->sizeHint().height());

  按钮1 = Place(new QPushButton(layout::k按钮1Text, this), "按钮1", layout::k按钮1);
  按钮1->setAutoDefault(false);
  按钮1->setDefault(false);

  编辑框1 = Place(new QLineEdit(this), "编辑框1", layout::k编辑框1);
  编辑框1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  HideInactiveSelection(编辑框1);

  图片框1 = Place(new PictureBox(this), "图片框1", layout::k图片框1);

  setTabOrder(编辑框1, 按钮1);
  setTabOrder(按钮1, 组合框1);
  编辑框1->setFocus(Qt::OtherFocusReason);
}

void MainWindow::ConnectEvents() {
  connect(组合框1, &BrandComboBox::listEntrySelected, this, [this] {
    if (handlers_.brandSelected) handlers_.brandSelected(*this);
  });
  connect(按钮1, &QPushButton::clicked, this, [this] {
    if (handlers_.saveClicked) handlers_.saveClicked(*this);
  });
  connect(标签1, &LinkLabel::leftButtonDown, this, [this] {
    if (handlers_.siteLinkPressed) handlers_.siteLinkPressed();
  });
  connect(标签2, &LinkLabel::leftButtonDown, this, [this] {
    if (handlers_.groupLinkPressed) handlers_.groupLinkPressed();
  });
}

void MainWindow::RaiseCreated() {
  if (created_) return;
  created_ = true;
  if (handlers_.created) handlers_.created();
}

void MainWindow::ShowCentred() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary != nullptr) {
    const QSize screen = primary->geometry().size();
    move(layout::CentredOrigin(screen.width(), screen.height()));
  }
  show();
  activateWindow();
  raise();
  编辑框1->setFocus(Qt::ActiveWindowFocusReason);
}

// The outer size counts the frame and caption, which the window manager adds
// and reports only once the window is mapped: shrink the client area by what
// it reports, and centre the outer rectangle again.
void MainWindow::FitOuterSize() {
  if (!isVisible()) return;
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
  if (margins == frameMargins_) return;
  frameMargins_ = margins;
  setFixedSize(layout::kOuterWidth - margins.left() - margins.right(),
               layout::kOuterHeight - margins.top() - margins.bottom());
  if (const QScreen* primary = QGuiApplication::primaryScreen()) {
    const QSize screen = primary->geometry().size();
    move(layout::CentredOrigin(screen.width(), screen.height()));
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FitOuterSize();
  // Window managers report their frame some time after mapping, and not
  // always with a move or resize that would tell us: look again for a while.
  for (int ms = 25; ms <= kFrameSettleMs; ms += 25) {
    QTimer::singleShot(ms, this, &MainWindow::FitOuterSize);
  }
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FitOuterSize();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitOuterSize();
}

// Esc closes the window from whichever control has the focus, before that
// control sees the key; with Shift, Ctrl or Alt it is an ordinary key.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier && widget != nullptr &&
        widget->window() == this) {
      close();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

Text MainWindow::NameText() const {
  const QString text = 编辑框1->text();
  ByteSet utf16;
  utf16.reserve(static_cast<std::size_t>(text.size() + 1) * 2);
  for (const QChar c : text) {
    utf16.push_back(static_cast<std::uint8_t>(c.unicode() & 0xFF));
    utf16.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
  }
  utf16.push_back(0);
  utf16.push_back(0);
  return WideToText(utf16, kGbkCodePage);
}

int MainWindow::BrandSelection() const { return 组合框1->currentIndex(); }

void MainWindow::SetPicture(const ByteSet& bytes) { 图片框1->SetPicture(bytes); }

ByteSet MainWindow::GetPicture() const { return 图片框1->GetPicture(); }

}  // namespace velkaro
