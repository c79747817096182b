#pragma once

#include "engine/FileOutcome.h"
#include "engine/VerifyTotals.h"
#include "engine/VerifyView.h"
#include "platform/Clock.h"

#include <cstdint>
#include <string_view>

namespace ovik {

inline constexpr double kOneSecond = 1.0 / 86400.0;
inline constexpr double kQuarterSecond = 1.0 / 345600.0;

// The presentation of a run: what the totals, the status, the progress, the
// elapsed time and the results of the files look like in the view. Counts
// what it lists, so that every line and its counter go together.
class RunDisplay {
 public:
  RunDisplay(VerifyView& view, Clock& clock, VerifyTotals& totals) : view_(view), clock_(clock), totals_(totals) {}

  // Every count "-", no lines, no current file; the clock starts anew.
  void Reset();
  void ShowStatus(std::string_view text, Colour colour);
  void ShowTitle(RunState state);
  void ShowTotals();
  void WriteCount(ViewLabel label, std::int64_t value);

  double Elapsed();
  void ShowElapsed();
  void ShowProgress(std::int64_t currentFileBytes);
  // Refreshes the elapsed time and the progress bar once a second and pumps
  // window events every quarter of a second since `lastPump`.
  void KeepAlive(double& lastPump, std::int64_t currentFileBytes);
  void Pump() { view_.Pump(); }

  void ShowCurrentFile(std::string_view relativeName);
  void ShowFileBytes(std::int64_t bytesChecked);
  // The "Current file" captions and values go once a run ended without an
  // abort.
  void ClearCurrentFile();

  // Counts the file's outcome and lists its line, with what `facts` adds to
  // it (a note, the damage, the lengths) besides its kind, name and offset.
  void RecordOutcome(const CompareOutcome& outcome, std::string_view relativeName, const ResultLine& facts = {});
  // A line of its own that counts as an error, and in `counter` when given.
  void ReportError(ResultKind kind, std::string_view name, std::int32_t* counter = nullptr,
                   ViewLabel label = ViewLabel::NumErrors);
  void AddResultLine(ResultKind kind, std::string_view relativeName, std::int64_t offset = 0,
                     const ResultLine& facts = {});
  // The details list sorted, errors first, and shown from its top.
  void ShowSortedResults();

 private:
  void WriteErrorCount(ViewLabel label, std::int32_t value);
  void CountError(std::int32_t& counter, ViewLabel label);

  VerifyView& view_;
  Clock& clock_;
  VerifyTotals& totals_;
};

}  // namespace ovik
