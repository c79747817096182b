#pragma once

#include "platform/desktop/DesktopSession.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>

class QSocketNotifier;
class QWidget;

namespace ovik {

// The totals of a run in one line for its announcement:
// «12,345 files, 1.2 GB checked in 00:42:13; 3 errors».
std::string RunTotalsLine(std::int64_t files, std::int64_t bytes, const std::string& elapsed, std::int64_t errors);

// Tells the desktop about the window's runs: the progress on the program's
// icon in the dock or task bar while a run lasts, urgent from its first
// error, and a notification at its end when the window is not the active
// one; clicking the notification brings the window up. The session bus is
// served from the event loop, so a slow or absent bus never holds up the
// window.
class RunAnnouncer : public QObject {
  Q_OBJECT

 public:
  explicit RunAnnouncer(QWidget& window);
  ~RunAnnouncer() override;

  void RunStarted();
  // The progress bar's position, 0 to 100; nothing outside a run.
  void ProgressShown(int percent);
  void ErrorShown();
  // `verdict` empty: the run ended without one, and nothing is announced.
  void RunEnded(const std::string& verdict, const std::string& totals);

 private:
  void ServeBus();
  void RaiseWindow();

  QWidget& window_;
  DesktopSession session_;
  QSocketNotifier* busInput_ = nullptr;
  QTimer busOutput_;
  bool running_ = false;
  int percent_ = -1;
  bool urgent_ = false;
};

}  // namespace ovik
