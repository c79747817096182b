#include "ui/main/MainFileError.h"

#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

namespace ovik {
namespace {

// A message box placed in the middle of its screen rather than over its
// parent. It moves in its show event, before it appears, so it never jumps.
class ScreenCentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
};

}  // namespace

QString FileErrorMessage(const std::string& fileName, int code, FileAction action) {
  return QString::fromStdString(FileErrorText(code, action)) + "\n" + QFile::decodeName(fileName.c_str());
}

void ShowFileError(QWidget* parent, const std::string& fileName, int code, FileAction action) {
  ScreenCentredMessageBox box(QMessageBox::Critical, "Error", FileErrorMessage(fileName, code, action),
                              QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace ovik
