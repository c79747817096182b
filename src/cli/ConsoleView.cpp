#include "cli/ConsoleView.h"

#include "platform/Clock.h"

#include <algorithm>

namespace ovik {

void ConsoleView::SetStatus(std::string_view text, Colour) { status_.assign(text); }

void ConsoleView::SetLabelText(ViewLabel label, std::string_view text) {
  labels_[static_cast<std::size_t>(label)].assign(text);
}

void ConsoleView::SetProgress(int position) { progress_ = std::clamp(position, 0, 100); }

void ConsoleView::AppendResult(const ResultLine& line) {
  if (line.kind == ResultKind::HiddenFolderSkipped || line.kind == ResultKind::SystemFolderSkipped) ++skippedFolders_;
  ++linesCounted_;
  if (keepLines_) results_.Append(line);
}

void ConsoleView::ClearResults() {
  results_.Clear();
  linesCounted_ = 0;
  skippedFolders_ = 0;
}

// The lines are put in order when they are read.
void ConsoleView::SetResultsSorted(bool) {}

void ConsoleView::Pump() {
  if (!painter_) return;
  const double now = SystemClock().SteadyNow() * kSecondsPerDay;
  if (lastPaint_ >= 0 && now - lastPaint_ < 0.25) return;
  lastPaint_ = now;
  painter_(*this);
}

}  // namespace ovik
