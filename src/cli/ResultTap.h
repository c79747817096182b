#pragma once

#include "engine/VerifyView.h"

#include <functional>
#include <utility>

namespace ovik {

// A VerifyView that hands every call on to another and, besides, shows each
// result line and each pump to whoever listens: the notes of --explain and
// the stream of --json, kept apart from the console's own view.
class ResultTap final : public VerifyView {
 public:
  using ResultListener = std::function<void(const ResultLine&)>;
  using PumpListener = std::function<void()>;

  ResultTap(VerifyView& inner, ResultListener onResult, PumpListener onPump)
      : inner_(inner), onResult_(std::move(onResult)), onPump_(std::move(onPump)) {}

  void SetStatus(std::string_view text, Colour colour) override { inner_.SetStatus(text, colour); }
  void SetLabelText(ViewLabel label, std::string_view text) override { inner_.SetLabelText(label, text); }
  void SetLabelColour(ViewLabel label, Colour colour) override { inner_.SetLabelColour(label, colour); }
  void SetLabelVisible(ViewLabel label, bool visible) override { inner_.SetLabelVisible(label, visible); }
  void SetProgress(int position) override { inner_.SetProgress(position); }
  void SetProgressColour(Colour colour) override { inner_.SetProgressColour(colour); }
  void AppendResult(const ResultLine& line) override {
    inner_.AppendResult(line);
    if (onResult_) onResult_(line);
  }
  void ScrollResultsAlong() override { inner_.ScrollResultsAlong(); }
  void ScrollResultsToTop() override { inner_.ScrollResultsToTop(); }
  void ClearResults() override { inner_.ClearResults(); }
  void SetResultsSorted(bool sorted) override { inner_.SetResultsSorted(sorted); }
  void SetResultsVisible(bool visible) override { inner_.SetResultsVisible(visible); }
  std::size_t ResultCount() const override { return inner_.ResultCount(); }
  void SetSaveAndCopyEnabled(bool enabled) override { inner_.SetSaveAndCopyEnabled(enabled); }
  void SetButtonEnabled(ViewButton button, bool enabled) override { inner_.SetButtonEnabled(button, enabled); }
  void UpdateButtons() override { inner_.UpdateButtons(); }
  void SetApplicationTitle(std::string_view title) override { inner_.SetApplicationTitle(title); }
  void Pump() override {
    inner_.Pump();
    if (onPump_) onPump_();
  }
  bool ConfirmAbort() override { return inner_.ConfirmAbort(); }
  void NoteReason(std::string_view name, std::string_view reason) override { inner_.NoteReason(name, reason); }

 private:
  VerifyView& inner_;
  ResultListener onResult_;
  PumpListener onPump_;
};

}  // namespace ovik
