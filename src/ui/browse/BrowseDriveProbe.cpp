#include "ui/browse/BrowseDriveProbe.h"

#include "platform/drives/DriveAccess.h"

#include <QApplication>

namespace ovik {

namespace {

constexpr std::chrono::milliseconds kPaintInterval{20};

// Restores the cursor on every way out.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

bool DriveAnswersInTime(const std::string& mountPoint, const DriveSystem& system, std::chrono::milliseconds timeout) {
  std::future<bool> answer = ProbeDrive(mountPoint, system);
  if (answer.wait_for(kPaintInterval) == std::future_status::ready) return answer.get();
  const BusyCursor busy;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (answer.wait_for(kPaintInterval) != std::future_status::ready) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return answer.get();
}

}  // namespace ovik
