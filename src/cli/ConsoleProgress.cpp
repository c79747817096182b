#include "cli/ConsoleProgress.h"

#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace ovik {
namespace {

constexpr std::size_t kDefaultColumns = 80;
constexpr const char* kLineStartAndClear = "\r\033[K";

std::size_t TerminalColumns(std::FILE* terminal) {
  winsize size{};
  if (ioctl(fileno(terminal), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

}  // namespace

// The first line is drawn before the run has set its start time; it shows
// zero elapsed time rather than the time since the machine started. The rate
// is measured once the comparing has begun, so that the time spent scanning
// the source does not slow it.
void ConsoleProgress::Paint(const ConsoleView&) {
  const bool started = engine_.runState == RunState::Verifying;
  const VerifyTotals& totals = engine_.totals;
  const std::int64_t bytesChecked = totals.DstByteTotal + totals.FileBytesInHand;
  if (!engine_.CurrentRelativeName.empty()) rate_.Record(bytesChecked);

  ProgressFigures figures;
  // Of the same count as the bytes beside it, which the engine's own
  // progress position, refreshed at file starts and once a second, lags.
  figures.percent = PercentChecked(bytesChecked, totals.SrcByteTotal);
  figures.bytesChecked = bytesChecked;
  figures.filesChecked = totals.DstFileCount;
  figures.elapsed = FormatElapsedTime(started ? clock_.SteadyNow() - totals.StartSteady : 0.0);
  figures.bytesPerSecond = rate_.BytesPerSecond();
  figures.secondsLeft = rate_.SecondsLeft(totals.SrcByteTotal - bytesChecked);
  figures.currentName = engine_.CurrentRelativeName;

  const std::string line = kLineStartAndClear + ProgressLineText(figures, TerminalColumns(terminal_));
  std::fwrite(line.data(), 1, line.size(), terminal_);
  std::fflush(terminal_);
}

void ConsoleProgress::Wipe() {
  std::fputs(kLineStartAndClear, terminal_);
  std::fflush(terminal_);
}

}  // namespace ovik
