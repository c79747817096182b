// Runs one verify in the main window and reports its wall time, for the
// benchmark and the screenshots. Usage:
//   ovik-window-driver SOURCE DESTINATION [--details] [--shot FILE.png]
//                      [--select N] [--cached]
// --lines N skips the verify: it feeds N made-up result lines to the
// window's display the way a run does, then sorts them, picks the errors
// as "Save errors only" does, scrolls to the end and saves every line as a
// text report, and reports the time of each step, the peak memory before
// the save, what the save added to it and the longest the window went
// without handling events while it filled, sorted and scrolled.
// --shot-after S saves the picture S seconds into the run instead of after it.
// --cached reads the destination through the page cache, as
// `ovik-verify --cached` does, so the two can be compared.
// --dark shows the window in the Fusion style with a dark palette, as a
// desktop with a dark theme would.
#include "engine/VerifyView.h"
#include "reports/ReportForm.h"
#include "reports/ReportSave.h"
#include "ui/main/details/MainDetailsModel.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

struct DriverOptions {
  std::string source;
  std::string destination;
  bool details = false;
  bool cached = false;
  bool dark = false;
  int select = 0;
  long lines = 0;
  double shotAfter = -1;
  QString shot;
};

bool ParseOptions(int argc, char** argv, DriverOptions& options) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--details") == 0) options.details = true;
    else if (std::strcmp(argv[i], "--cached") == 0) options.cached = true;
    else if (std::strcmp(argv[i], "--dark") == 0) options.dark = true;
    else if (std::strcmp(argv[i], "--shot-after") == 0 && i + 1 < argc) options.shotAfter = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--lines") == 0 && i + 1 < argc) options.lines = std::atol(argv[++i]);
    else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) options.shot = QFile::decodeName(argv[++i]);
    else if (std::strcmp(argv[i], "--select") == 0 && i + 1 < argc) options.select = std::atoi(argv[++i]);
    else if (positional == 0 && ++positional) options.source = argv[i];
    else if (positional == 1 && ++positional) options.destination = argv[i];
    else return false;
  }
  return positional == 2 || (positional == 0 && options.lines > 0);
}

// Light text on dark grey, the way dark desktop themes colour a window.
QPalette DarkPalette() {
  const QColor window(53, 53, 53);
  const QColor text(238, 238, 236);
  QPalette palette(window);
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, QColor(36, 36, 36));
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, window);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::Light, QColor(78, 78, 78));
  palette.setColor(QPalette::Mid, QColor(30, 30, 30));
  palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
  return palette;
}

double SecondsSince(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

long PeakResidentKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A figure of /proc/self/status in KiB, such as "VmRSS:" or "VmHWM:".
long StatusKib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
  return 0;
}

// The peak resident size starts again from what is resident now.
void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Lines shaped like a run's: mostly "Ok", some errors, names in folders.
ovik::ResultKind MadeUpKind(long n) {
  using ovik::ResultKind;
  static const ResultKind kinds[] = {ResultKind::Ok, ResultKind::Ok, ResultKind::Ok, ResultKind::Ok,
                                     ResultKind::Ok, ResultKind::Ok, ResultKind::Ok, ResultKind::DstMissing,
                                     ResultKind::SizeMismatch, ResultKind::ContentMismatch};
  return kinds[n % 10];
}

std::string MadeUpName(long n) {
  return "Photos " + std::to_string(n / 1000 % 97) + "/Album " + std::to_string(n / 100) + "/IMG_" +
         std::to_string(1000000 - n) + ".jpg";
}

// The longest time the event loop went without handling events, from a
// timer that asks to be handled every 10 ms.
class EventLoopWatch {
 public:
  EventLoopWatch() {
    beat_.setInterval(10);
    QObject::connect(&beat_, &QTimer::timeout, [this] {
      longest_ = std::max(longest_, since_.elapsed());
      since_.restart();
    });
    since_.start();
    beat_.start();
  }
  qint64 LongestMs() const { return std::max(longest_, since_.elapsed()); }

 private:
  QTimer beat_;
  QElapsedTimer since_;
  qint64 longest_ = 0;
};

int FillAndSort(ovik::TfrmMain& window, long count) {
  ovik::VerifyView& view = window.View();
  window.ToggleDetails();
  view.SetResultsSorted(false);
  EventLoopWatch watch;
  QElapsedTimer timer;
  timer.start();
  for (long n = 0; n < count; ++n) {
    const std::string name = MadeUpName(n);
    ovik::ResultLine line;
    line.kind = MadeUpKind(n);
    line.name = name;
    line.offset = 4096;
    view.AppendResult(line);
    view.ScrollResultsAlong();
    view.Pump();
  }
  view.Pump();
  const double fill = SecondsSince(timer);

  timer.restart();
  view.SetResultsVisible(false);
  view.SetResultsSorted(true);
  view.SetResultsVisible(true);
  view.ScrollResultsToTop();
  view.Pump();
  const double sort = SecondsSince(timer);

  timer.restart();
  window.lstResults->scrollToBottom();
  QApplication::processEvents();
  const double scroll = SecondsSince(timer);
  const qint64 longestBlock = watch.LongestMs();
  timer.restart();
  const ovik::ReportContent content{"", "", window.DetailsModel().Details(), nullptr};
  const std::size_t errors = ovik::QualifyingCount(content, ovik::ReportFilter::ErrorsOnly);
  const double filter = SecondsSince(timer);
  const long peak = PeakResidentKib();
  const long resident = StatusKib("VmRSS:");
  ResetPeakResident();
  timer.restart();
  const std::string report = QDir::temp().filePath("ovik-window-driver-save.txt").toStdString();
  const bool saved = ovik::SaveReport(report, content, ovik::ReportFilter::All, ovik::ReportFormat::Text,
                                      [](const ovik::FileFailure&) {});
  const double save = SecondsSince(timer);
  const long saveAdded = StatusKib("VmHWM:") - resident;
  std::remove(report.c_str());
  std::printf("lines %ld: fill %.2f s, sort %.2f s, filter %.2f s (%zu errors), scroll to end %.2f s, peak RSS %ld MiB, "
              "save %.2f s, %ld MiB above the window, events waited at most %lld ms\n",
              count, fill, sort, filter, errors, scroll, peak / 1024, save, saveAdded / 1024,
              static_cast<long long>(longestBlock));
  return saved ? 0 : 1;
}

int Drive(ovik::TfrmMain& window, const DriverOptions& options) {
  if (options.lines > 0) return FillAndSort(window, options.lines);
  window.SetFolderFieldText(true, options.source);
  window.SetFolderFieldText(false, options.destination);
  if (options.details) window.ToggleDetails();
  if (options.cached) window.Engine().destinationReadRole = ovik::ReadRole::DestinationCached;
  QApplication::processEvents();

  // Timers fire at the run's pumps, so this one catches the window mid-run.
  if (options.shotAfter >= 0 && !options.shot.isEmpty())
    QTimer::singleShot(static_cast<int>(options.shotAfter * 1000), &window,
                       [&window, &options] { window.grab().save(options.shot); });
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
  if (!options.shot.isEmpty() && options.shotAfter < 0) {
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
    std::fprintf(stderr, "usage: ovik-window-driver SOURCE DESTINATION [--details] [--shot FILE.png] [--select N] [--cached] [--dark]\n");
    return 2;
  }
  if (options.dark) {
    QApplication::setStyle("Fusion");
    QApplication::setPalette(DarkPalette());
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
