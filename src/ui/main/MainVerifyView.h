#pragma once

#include "engine/VerifyView.h"

#include <QElapsedTimer>

#include <array>
#include <optional>
#include <string>

class QLabel;

namespace ovik {

class TfrmMain;

// The engine's display on the main window. Label texts and appended lines
// are kept and handed to the widgets at most every kRepaintInterval, at a
// pump, so that a run over many small files is not slowed by relayouts and
// repaints the eye cannot follow. A pump processes the pending window
// events when kEventIntervalNs has passed since it last did, which no user
// can tell from every pump and which spares a run of many small files a
// look at the event queue for each. Flush hands over whatever is still held.
class MainVerifyView : public VerifyView {
 public:
  explicit MainVerifyView(TfrmMain& window);

  static constexpr int kRepaintIntervalMs = 50;
  static constexpr qint64 kEventIntervalNs = 2'000'000;

  void SetStatus(std::string_view text, Colour colour) override;
  void SetLabelText(ViewLabel label, std::string_view text) override;
  void SetLabelColour(ViewLabel label, Colour colour) override;
  void SetLabelVisible(ViewLabel label, bool visible) override;
  void SetProgress(int position) override;
  void SetProgressColour(Colour colour) override;
  void AppendResult(const ResultLine& line) override;
  void ScrollResultsAlong() override;
  void ScrollResultsToTop() override;
  void ClearResults() override;
  void SetResultsSorted(bool sorted) override;
  void SetResultsVisible(bool visible) override;
  std::size_t ResultCount() const override;
  void SetSaveAndCopyEnabled(bool enabled) override;
  void SetButtonEnabled(ViewButton button, bool enabled) override;
  void UpdateButtons() override;
  void SetApplicationTitle(std::string_view title) override;
  void Pump() override;
  bool ConfirmAbort() override;

  // Hands every held text and line to the widgets now.
  void Flush();
  // Shows the colours last set again, worked out for the window's palette
  // as it is now.
  void ReapplyColours();

 private:
  static constexpr std::size_t kLabelCount = static_cast<std::size_t>(ViewLabel::Elapsed) + 1;

  QLabel* LabelOf(ViewLabel label) const;
  void FlushLabels();
  void FlushResults();

  TfrmMain& window_;
  std::array<std::optional<std::string>, kLabelCount> heldTexts_;
  // The engine's colours, kept so that a new palette can show them anew.
  std::optional<Colour> statusColour_;
  std::array<std::optional<Colour>, kLabelCount> labelColours_;
  std::optional<Colour> barColour_;
  std::size_t heldScrollSteps_ = 0;
  bool holding_ = false;
  QElapsedTimer sinceFlush_;
  QElapsedTimer sinceEvents_;  // invalid until the first pump
};

}  // namespace ovik
