#include "cli/ConsoleView.h"

#include "platform/Clock.h"
#include "reports/DetailOrder.h"

#include <algorithm>

namespace ovik {

void ConsoleView::SetStatus(std::string_view text, Colour) { status_.assign(text); }

void ConsoleView::SetLabelText(ViewLabel label, std::string_view text) {
  labels_[static_cast<std::size_t>(label)].assign(text);
}

void ConsoleView::SetProgress(int position) { progress_ = std::clamp(position, 0, 100); }

void ConsoleView::AppendResult(std::string line) { lines_.push_back(std::move(line)); }

void ConsoleView::ClearResults() { lines_.clear(); }

void ConsoleView::SetResultsSorted(bool sorted) {
  if (sorted) SortDetailLines(lines_);
}

void ConsoleView::Pump() {
  if (!painter_) return;
  const double now = SystemClock().SteadyNow() * kSecondsPerDay;
  if (lastPaint_ >= 0 && now - lastPaint_ < 0.25) return;
  lastPaint_ = now;
  painter_(*this);
}

}  // namespace ovik
