#include "ui/main/MainMessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace ovik {
namespace {

// Boxes have no parent window, so they are application-modal and centred on
// the screen rather than on the main window. A box settles its size as it
// is shown, so it is centred once it is up.
void CentreOnScreen(QMessageBox& box) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  box.move(area.center() - box.frameGeometry().center() + box.pos());
}

QMessageBox::StandardButton Run(QMessageBox::Icon icon, const QString& title, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                                QMessageBox::StandardButton escapeButton) {
  QMessageBox box(icon, title, text, buttons);
  box.setObjectName("msgBox");
  box.setDefaultButton(defaultButton);
  box.setEscapeButton(escapeButton);
  box.adjustSize();
  CentreOnScreen(box);
  QTimer::singleShot(0, &box, [&box] { CentreOnScreen(box); });
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

bool AskConfirm(const QString& text) {
  return Run(QMessageBox::Question, "Confirm", text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
             QMessageBox::No) == QMessageBox::Yes;
}

void ShowWarning(const QString& text) {
  Run(QMessageBox::Warning, "Warning", text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

void ShowError(const QString& text) {
  Run(QMessageBox::Critical, "Error", text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace ovik
