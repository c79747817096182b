#include "ui/browse/BrowseDialog.h"
#include "ui/main/MainWindow.h"
#include "ui/usage/UsageWindow.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The user's locale orders the details list and formats the elapsed time.
  std::setlocale(LC_ALL, "");

  ovik::TfrmMain frmMain;
  auto* frmBrowse = new ovik::TfrmBrowse(&frmMain);
  auto* frmUsage = new ovik::TfrmUsage(&frmMain);
  frmMain.AttachWindows(frmBrowse, frmUsage);
  frmMain.show();
  return QApplication::exec();
}
