#include "Version.h"
#include "platform/OpenFileLimit.h"
#include "ui/browse/BrowseDialog.h"
#include "ui/main/MainWindow.h"
#include "ui/usage/UsageWindow.h"

#include <QApplication>

#include <clocale>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  ovik::RaiseOpenFileLimit();
  QApplication app(argc, argv);
  // The user's locale orders the details list and formats the elapsed time.
  std::setlocale(LC_ALL, "");
  // Ties the window to the installed desktop file, whose icon and dock
  // entry it then shares.
  QGuiApplication::setDesktopFileName(ovik::kAppId);

  ovik::TfrmMain frmMain;
  auto* frmBrowse = new ovik::TfrmBrowse(&frmMain);
  auto* frmUsage = new ovik::TfrmUsage(&frmMain);
  frmMain.AttachWindows(frmBrowse, frmUsage);
  frmMain.show();
  // SOURCE [DESTINATION], as bytes: Qt has taken its own options out of argv.
  frmMain.OpenStartFolders(std::vector<std::string>(argv + 1, argv + argc));
  return QApplication::exec();
}
