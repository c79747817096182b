#include "cli/ConsoleView.h"

#include "platform/Clock.h"

#include <algorithm>

namespace ovik {

void ConsoleView::SetStatus(std::string_view text, Colour) { status_.assign(text); }

namespace {

// The value of a count written with thousands separators.
std::int64_t CountValue(std::string_view text) {
  std::int64_t value = 0;
  for (char c : text)
    if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
  return value;
}

}  // namespace

// The engine writes the bytes of the file in hand after each block, and
// moves them into its total when it counts the file as checked; a new name
// starts a file.
void ConsoleView::SetLabelText(ViewLabel label, std::string_view text) {
  labels_[static_cast<std::size_t>(label)].assign(text);
  if (label == ViewLabel::NumFileBytes) currentFileBytes_ = CountValue(text);
  if (label == ViewLabel::NumDstFiles || label == ViewLabel::CurrFileName) currentFileBytes_ = 0;
}

void ConsoleView::SetProgress(int position) { progress_ = std::clamp(position, 0, 100); }

void ConsoleView::AppendResult(const ResultLine& line) {
  if (line.kind == ResultKind::HiddenFolderSkipped || line.kind == ResultKind::SystemFolderSkipped) ++skippedFolders_;
  results_.Append(line);
}

void ConsoleView::ClearResults() {
  results_.Clear();
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
