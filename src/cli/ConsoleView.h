#pragma once

#include "engine/VerifyView.h"
#include "reports/store/ResultRuns.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace ovik {

// The VerifyView of the command-line verifier: it keeps what the window
// would show, so that the lines and totals can be printed at the end, and
// optionally redraws a progress line on a terminal.
class ConsoleView final : public VerifyView {
 public:
  // Called from Pump at most a few times a second when progress is wanted.
  using ProgressPainter = std::function<void(const ConsoleView&)>;

  void SetStatus(std::string_view text, Colour colour) override;
  void SetLabelText(ViewLabel label, std::string_view text) override;
  void SetLabelColour(ViewLabel, Colour) override {}
  void SetLabelVisible(ViewLabel, bool) override {}
  void SetProgress(int position) override;
  void SetProgressColour(Colour) override {}
  void AppendResult(const ResultLine& line) override;
  void ScrollResultsAlong() override {}
  void ScrollResultsToTop() override {}
  void ClearResults() override;
  void SetResultsSorted(bool sorted) override;
  void SetResultsVisible(bool) override {}
  std::size_t ResultCount() const override { return keepLines_ ? results_.Count() : linesCounted_; }
  void SetSaveAndCopyEnabled(bool) override {}
  void SetButtonEnabled(ViewButton, bool) override {}
  void UpdateButtons() override {}
  void SetApplicationTitle(std::string_view) override {}
  void Pump() override;
  bool ConfirmAbort() override { return true; }
  void NoteReason(std::string_view name, std::string_view reason) override {
    reasons_.emplace_back(std::string(name) + ": " + std::string(reason));
  }

  void SetProgressPainter(ProgressPainter painter) { painter_ = std::move(painter); }
  // Off: the lines are counted, not kept, for a run that prints none of
  // them and writes no report (on by default).
  void KeepLines(bool keep) { keepLines_ = keep; }

  const std::string& LabelText(ViewLabel label) const { return labels_[static_cast<std::size_t>(label)]; }
  const std::string& Status() const { return status_; }
  int ProgressPosition() const { return progress_; }
  // The details lines, in the details order when read.
  ResultRuns& Results() { return results_; }
  // How many lines name a hidden or system folder the run passed over.
  std::size_t SkippedFolderCount() const { return skippedFolders_; }
  // "NAME: reason", in the order the results came.
  const std::vector<std::string>& Reasons() const { return reasons_; }

 private:
  std::array<std::string, static_cast<std::size_t>(ViewLabel::Elapsed) + 1> labels_;
  std::string status_;
  int progress_ = 0;
  ResultRuns results_;
  bool keepLines_ = true;
  std::size_t linesCounted_ = 0;
  std::size_t skippedFolders_ = 0;
  std::vector<std::string> reasons_;
  ProgressPainter painter_;
  double lastPaint_ = -1;
};

}  // namespace ovik
