#include "ui/usage/UsageAboutBox.h"

#include <QMessageBox>

#include "ui/usage/UsageAboutText.h"

namespace ovik {

namespace {

// The message box breaks lines on a line feed alone; a CR would show as a glyph.
QString AboutTextForDisplay() {
  QString text = AboutText();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

void ShowAboutBox(QWidget* parent) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Program Information"),
                  AboutTextForDisplay(), QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("dlgAbout"));
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace ovik
