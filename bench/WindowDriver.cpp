// Runs one verify in the main window and reports its wall time, for the
// benchmark and the screenshots. Usage:
//   ovik-window-driver SOURCE DESTINATION [--details] [--shot FILE.png]
//                      [--select N] [--run-twice]
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct DriverOptions {
  std::string source;
  std::string destination;
  bool details = false;
  int select = 0;
  QString shot;
};

bool ParseOptions(int argc, char** argv, DriverOptions& options) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--details") == 0) options.details = true;
    else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) options.shot = QFile::decodeName(argv[++i]);
    else if (std::strcmp(argv[i], "--select") == 0 && i + 1 < argc) options.select = std::atoi(argv[++i]);
    else if (positional == 0 && ++positional) options.source = argv[i];
    else if (positional == 1 && ++positional) options.destination = argv[i];
    else return false;
  }
  return positional == 2;
}

int Drive(ovik::TfrmMain& window, const DriverOptions& options) {
  window.SetFolderFieldText(true, options.source);
  window.SetFolderFieldText(false, options.destination);
  if (options.details) window.ToggleDetails();
  QApplication::processEvents();

  QElapsedTimer timer;
  timer.start();
  window.btnCompare->click();
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  std::printf("%.3f\n", seconds);

  if (options.select > 0) {
    window.lstResults->setFocus();
    for (int row = 0; row < options.select; ++row)
      window.lstResults->selectionModel()->select(window.lstResults->model()->index(row, 0),
                                                  QItemSelectionModel::Select);
  }
  if (!options.shot.isEmpty()) {
    QApplication::processEvents();
    if (!window.grab().save(options.shot)) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::setlocale(LC_ALL, "");
  DriverOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: ovik-window-driver SOURCE DESTINATION [--details] [--shot FILE.png] [--select N]\n");
    return 2;
  }
  ovik::TfrmMain window;
  window.show();
  int status = 0;
  QTimer::singleShot(0, &window, [&] {
    status = Drive(window, options);
    QApplication::exit(status);
  });
  QApplication::exec();
  // The window's close asks for confirmation; the driver ends without it.
  window.hide();
  return status;
}
