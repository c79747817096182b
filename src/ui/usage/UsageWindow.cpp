#include "ui/usage/UsageWindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "ui/usage/UsageLayout.h"
#include "ui/usage/UsageText.h"

namespace ovik {

namespace {
// Outer size at first showing, with a thin tool-window frame around the client area.
constexpr int kOuterWidth = 520;
constexpr int kOuterHeight = 540;
constexpr int kFrameWidth = 4;
constexpr int kTitleBarHeight = 20;
constexpr int kMemoFontPixels = 13;
}  // namespace

TfrmUsage::TfrmUsage(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmUsage"));
  setWindowTitle(QStringLiteral("Ovik Usage"));
  setFixedWidth(kUsageClientWidth);
  setMinimumHeight(kUsageMinClientHeight);
  CreateControls();
  resize(kUsageClientWidth, kOuterHeight - kTitleBarHeight - 2 * kFrameWidth);
  FormResize();
  CentreOnScreen();
}

void TfrmUsage::CreateControls() {
  memUsage = new QPlainTextEdit(this);
  memUsage->setObjectName(QStringLiteral("memUsage"));
  memUsage->setReadOnly(true);
  memUsage->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memUsage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memUsage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont memoFont = memUsage->font();
  memoFont.setPixelSize(kMemoFontPixels);
  memUsage->setFont(memoFont);
  memUsage->setPlainText(UsageText());

  btnClose = new QPushButton(QStringLiteral("&Close"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setDefault(true);
  connect(btnClose, &QPushButton::clicked, this, &TfrmUsage::btnCloseClick);

  setTabOrder(memUsage, btnClose);
  memUsage->setFocus();
}

// Places the window's frame in the middle of the screen it belongs to.
void TfrmUsage::CentreOnScreen() {
  const QScreen* target = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!target) return;
  const QRect available = target->availableGeometry();
  move(available.x() + (available.width() - kOuterWidth) / 2,
       available.y() + (available.height() - kOuterHeight) / 2);
}

void TfrmUsage::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}

// The fixed width and the minimum height are held by the widget's size
// constraints; here the memo and the button follow the client height.
void TfrmUsage::FormResize() {
  const UsageLayout layout = UsageLayoutFor(height());
  memUsage->setGeometry(layout.memo);
  btnClose->setGeometry(layout.closeButton);
}

// Esc closes the window the way its Close button does.
void TfrmUsage::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    btnClose->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmUsage::btnCloseClick() { done(kCloseResult); }

}  // namespace ovik
