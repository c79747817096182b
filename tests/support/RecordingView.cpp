#include "support/RecordingView.h"

#include "reports/DetailOrder.h"

#include <algorithm>

namespace ovik::testing {

void RecordingView::SetStatus(std::string_view text, Colour colour) {
  status.assign(text);
  statusColour = colour;
  statuses.push_back(status);
  log.push_back("status:" + status);
}

void RecordingView::SetLabelText(ViewLabel label, std::string_view text) {
  auto& state = labels[static_cast<std::size_t>(label)];
  state.text.assign(text);
  ++state.writes;
}

void RecordingView::SetLabelColour(ViewLabel label, Colour colour) {
  labels[static_cast<std::size_t>(label)].colour = colour;
}

void RecordingView::SetLabelVisible(ViewLabel label, bool visible) {
  labels[static_cast<std::size_t>(label)].visible = visible;
}

void RecordingView::SetProgress(int position) { progress = std::clamp(position, 0, 100); }

void RecordingView::SetProgressColour(Colour colour) { progressColour = colour; }

void RecordingView::AppendResult(const ResultLine& line) {
  lines.push_back(ResultText(line));
  if (!line.note.empty()) notes.emplace_back(lines.back(), line.note);
}

void RecordingView::ClearResults() {
  lines.clear();
  notes.clear();
  log.push_back("clear");
}

void RecordingView::SetResultsSorted(bool on) {
  sorted = on;
  if (on) SortDetailLines(lines);
  log.push_back(on ? "sort-on" : "sort-off");
}

void RecordingView::SetResultsVisible(bool visible) {
  resultsVisible = visible;
  log.push_back(visible ? "list-show" : "list-hide");
}

void RecordingView::SetSaveAndCopyEnabled(bool enabled) { saveAndCopyEnabled = enabled; }

void RecordingView::SetButtonEnabled(ViewButton button, bool enabled) { buttons[button] = enabled; }

void RecordingView::SetApplicationTitle(std::string_view text) {
  title.assign(text);
  titles.push_back(title);
}

void RecordingView::Pump() {
  ++pumps;
  if (onPump) onPump();
}

bool RecordingView::ConfirmAbort() { return confirmAbortAnswer; }

}  // namespace ovik::testing
