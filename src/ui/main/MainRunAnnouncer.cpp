#include "ui/main/MainRunAnnouncer.h"

#include "Version.h"
#include "common/NumberFormat.h"

#include <QSocketNotifier>
#include <QWidget>

namespace ovik {
namespace {

// How often queued bus traffic is looked after while any is waiting.
constexpr int kBusServiceIntervalMs = 20;

}  // namespace

std::string RunTotalsLine(std::int64_t files, std::int64_t bytes, const std::string& elapsed, std::int64_t errors) {
  const std::string errorText =
      errors == 0 ? "no errors" : FormatThousands(errors) + (errors == 1 ? " error" : " errors");
  return FormatThousands(files) + (files == 1 ? " file, " : " files, ") + FormatByteSize(bytes) + " checked in " +
         elapsed + "; " + errorText;
}

RunAnnouncer::RunAnnouncer(QWidget& window) : window_(window), session_(kAppId, "ovik") {
  busOutput_.setInterval(kBusServiceIntervalMs);
  busOutput_.setSingleShot(true);
  connect(&busOutput_, &QTimer::timeout, this, &RunAnnouncer::ServeBus);
  if (session_.Descriptor() >= 0) {
    busInput_ = new QSocketNotifier(session_.Descriptor(), QSocketNotifier::Read, this);
    connect(busInput_, &QSocketNotifier::activated, this, &RunAnnouncer::ServeBus);
  }
  ServeBus();
}

RunAnnouncer::~RunAnnouncer() = default;

void RunAnnouncer::ServeBus() {
  session_.ProcessPending();
  // A closed connection reads as ever readable: it is watched no more.
  if (busInput_ != nullptr && session_.Descriptor() < 0) busInput_->setEnabled(false);
  if (session_.HasPendingWork() && !busOutput_.isActive()) busOutput_.start();
}

void RunAnnouncer::RunStarted() {
  running_ = true;
  percent_ = 0;
  urgent_ = false;
  session_.ShowProgress(0.0, false);
  ServeBus();
}

void RunAnnouncer::ProgressShown(int percent) {
  if (!running_ || percent == percent_) return;
  percent_ = percent;
  session_.ShowProgress(percent / 100.0, urgent_);
  ServeBus();
}

void RunAnnouncer::ErrorShown() {
  if (!running_ || urgent_) return;
  urgent_ = true;
  session_.ShowProgress(percent_ / 100.0, true);
  ServeBus();
}

void RunAnnouncer::RunEnded(const std::string& verdict, const std::string& totals) {
  running_ = false;
  session_.HideProgress();
  if (!verdict.empty() && !window_.isActiveWindow()) session_.Notify(verdict, totals, [this] { RaiseWindow(); });
  ServeBus();
}

void RunAnnouncer::RaiseWindow() {
  window_.show();
  window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
  window_.raise();
  window_.activateWindow();
}

}  // namespace ovik
