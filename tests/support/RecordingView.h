#pragma once

#include "engine/VerifyView.h"

#include <array>
#include <functional>
#include <map>
#include <utility>
#include <string>
#include <vector>

namespace ovik::testing {

// A VerifyView that remembers the latest state of every display and keeps
// a log of the calls, so tests can check both what is shown and the order
// of the writes.
class RecordingView : public VerifyView {
 public:
  struct LabelState {
    std::string text;
    Colour colour = Colour::Black;
    bool visible = true;
    int writes = 0;
  };

  void SetStatus(std::string_view text, Colour colour) override;
  void SetLabelText(ViewLabel label, std::string_view text) override;
  void SetLabelColour(ViewLabel label, Colour colour) override;
  void SetLabelVisible(ViewLabel label, bool visible) override;
  void SetProgress(int position) override;
  void SetProgressColour(Colour colour) override;
  void AppendResult(const ResultLine& line) override;
  void ScrollResultsAlong() override { ++scrolls; }
  void ScrollResultsToTop() override { log.push_back("scroll-top"); }
  void ClearResults() override;
  void SetResultsSorted(bool sorted) override;
  void SetResultsVisible(bool visible) override;
  std::size_t ResultCount() const override { return lines.size(); }
  void SetSaveAndCopyEnabled(bool enabled) override;
  void SetButtonEnabled(ViewButton button, bool enabled) override;
  void UpdateButtons() override { log.push_back("update-buttons"); }
  void SetApplicationTitle(std::string_view title) override;
  void Pump() override;
  bool ConfirmAbort() override;

  const LabelState& Label(ViewLabel label) const { return labels[static_cast<std::size_t>(label)]; }

  std::array<LabelState, static_cast<std::size_t>(ViewLabel::Elapsed) + 1> labels{};
  std::string status;
  Colour statusColour = Colour::Black;
  std::vector<std::string> statuses;  // every status text in order
  int progress = -1;
  Colour progressColour = Colour::Black;
  std::vector<std::string> lines;
  // (line, its note) for the lines that came with a note, in the order they came.
  std::vector<std::pair<std::string, std::string>> notes;
  bool sorted = false;
  bool resultsVisible = true;
  int scrolls = 0;
  bool saveAndCopyEnabled = false;
  std::map<ViewButton, bool> buttons;
  std::string title;
  std::vector<std::string> titles;
  int pumps = 0;
  std::vector<std::string> log;  // coarse order of notable calls

  // Run on every pump; tests use it to press Abort at a chosen moment.
  std::function<void()> onPump;
  bool confirmAbortAnswer = true;
};

}  // namespace ovik::testing
