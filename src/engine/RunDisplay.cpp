#include "engine/RunDisplay.h"

#include "common/NumberFormat.h"
#include "engine/VerifyEngine.h"
#include "platform/LocaleTime.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ovik {

std::string FormatElapsedTime(double elapsedDays) {
  // A hair added before truncating keeps whole seconds that floating point
  // holds as 4.9999… from showing one second short.
  const auto totalSeconds = static_cast<std::int64_t>(std::floor(elapsedDays * kSecondsPerDay + 1e-6));
  const std::int64_t days = totalSeconds / 86400;
  const auto secondsOfDay = static_cast<int>(totalSeconds % 86400);
  std::string text = FormatLocaleLongTime(secondsOfDay / 3600, secondsOfDay / 60 % 60, secondsOfDay % 60);
  if (days > 0) text = std::to_string(days) + "d " + text;
  return text;
}

void RunDisplay::Reset() {
  totals_.StartTime = clock_.LocalNow();
  totals_.StartSteady = clock_.SteadyNow();

  for (ViewLabel label : {ViewLabel::Progress, ViewLabel::FileBytes, ViewLabel::File})
    view_.SetLabelVisible(label, false);
  view_.SetLabelText(ViewLabel::NumFileBytes, "");
  view_.SetLabelText(ViewLabel::CurrFileName, "");

  for (ViewLabel label : {ViewLabel::NumSrcFiles, ViewLabel::NumSrcFolders, ViewLabel::NumDstFolders,
                          ViewLabel::NumDstFiles})
    view_.SetLabelText(label, "-");
  for (ViewLabel label : {ViewLabel::NumErrors, ViewLabel::NumDstFilesMissing, ViewLabel::NumSrcReadErrs,
                          ViewLabel::NumDstReadErrs, ViewLabel::NumMismatches}) {
    view_.SetLabelText(label, "-");
    view_.SetLabelColour(label, Colour::Black);
  }
  view_.SetLabelText(ViewLabel::NumSrcBytes, "-");
  view_.SetLabelText(ViewLabel::NumDstBytes, "-");

  view_.ClearResults();
  view_.SetSaveAndCopyEnabled(false);

  ShowStatus("", Colour::Blue);
  ShowElapsed();
  ShowProgress(0);
}

void RunDisplay::ShowStatus(std::string_view text, Colour colour) {
  view_.SetStatus(text, colour);
  view_.Pump();
}

void RunDisplay::ShowTitle(RunState state) {
  std::string title = "Ovik";
  if (state == RunState::Verifying) title += "-Verifying";
  else if (state == RunState::Stopped) title += "-Stopped";
  view_.SetApplicationTitle(title);
}

void RunDisplay::ShowTotals() {
  ShowElapsed();
  ShowProgress(0);

  WriteCount(ViewLabel::NumSrcFiles, totals_.SrcFileCount);
  WriteCount(ViewLabel::NumSrcFolders, totals_.SrcFolderCount);
  WriteCount(ViewLabel::NumSrcBytes, totals_.SrcByteTotal);
  if (totals_.DstFileCount > 0) WriteCount(ViewLabel::NumDstFiles, totals_.DstFileCount);
  if (totals_.DstFolderCount > 0) WriteCount(ViewLabel::NumDstFolders, totals_.DstFolderCount);
  if (totals_.DstByteTotal > 0) WriteCount(ViewLabel::NumDstBytes, totals_.DstByteTotal);

  WriteErrorCount(ViewLabel::NumErrors, totals_.ErrorCount);
  view_.SetProgressColour(totals_.ErrorCount != 0 ? Colour::Red : Colour::Green);

  WriteErrorCount(ViewLabel::NumDstFilesMissing, totals_.DstMissingCount);
  WriteErrorCount(ViewLabel::NumSrcReadErrs, totals_.SrcReadErrorCount);
  WriteErrorCount(ViewLabel::NumDstReadErrs, totals_.DstReadErrorCount);
  WriteErrorCount(ViewLabel::NumMismatches, totals_.MismatchCount);
}

void RunDisplay::WriteCount(ViewLabel label, std::int64_t value) {
  view_.SetLabelText(label, FormatThousands(value));
}

void RunDisplay::WriteErrorCount(ViewLabel label, std::int32_t value) {
  WriteCount(label, value);
  view_.SetLabelColour(label, value != 0 ? Colour::Red : Colour::Green);
}

double RunDisplay::Elapsed() { return clock_.SteadyNow() - totals_.StartSteady; }

void RunDisplay::ShowElapsed() {
  const double elapsed = Elapsed();
  if (elapsed < kOneSecond) {
    view_.SetLabelVisible(ViewLabel::ElapsedTime, false);
    view_.SetLabelVisible(ViewLabel::Elapsed, false);
    return;
  }
  if (elapsed - totals_.LastShownElapsed < kOneSecond) return;
  totals_.LastShownElapsed = elapsed;
  view_.SetLabelText(ViewLabel::ElapsedTime, FormatElapsedTime(elapsed));
  view_.SetLabelVisible(ViewLabel::ElapsedTime, true);
  view_.SetLabelVisible(ViewLabel::Elapsed, true);
  view_.Pump();
}

void RunDisplay::ShowProgress(std::int64_t currentFileBytes) {
  std::int64_t position = 0;
  if (totals_.SrcByteTotal > 0)
    position = (totals_.DstByteTotal + currentFileBytes) * 100 / totals_.SrcByteTotal;
  view_.SetProgress(static_cast<int>(std::clamp<std::int64_t>(position, 0, 100)));
  view_.SetProgressColour(totals_.ErrorCount != 0 ? Colour::Red : Colour::Green);
  view_.Pump();
}

void RunDisplay::KeepAlive(double& lastPump, std::int64_t currentFileBytes) {
  const double elapsed = Elapsed();
  if (elapsed - totals_.LastShownElapsed >= kOneSecond) {
    ShowElapsed();
    ShowProgress(currentFileBytes);
  }
  if (elapsed - lastPump >= kQuarterSecond) {
    lastPump = elapsed;
    view_.Pump();
  }
}

void RunDisplay::ShowCurrentFile(std::string_view relativeName) {
  totals_.FileBytesInHand = 0;
  view_.SetLabelText(ViewLabel::CurrFileName, relativeName);
  view_.SetLabelVisible(ViewLabel::Progress, true);
  view_.SetLabelVisible(ViewLabel::File, true);
  view_.Pump();
}

void RunDisplay::ShowFileBytes(std::int64_t bytesChecked) {
  totals_.FileBytesInHand = bytesChecked;
  WriteCount(ViewLabel::NumFileBytes, bytesChecked);
  view_.SetLabelVisible(ViewLabel::Progress, true);
  view_.SetLabelVisible(ViewLabel::FileBytes, true);
}

void RunDisplay::ClearCurrentFile() {
  totals_.FileBytesInHand = 0;
  for (ViewLabel label : {ViewLabel::Progress, ViewLabel::FileBytes, ViewLabel::File})
    view_.SetLabelVisible(label, false);
  view_.SetLabelText(ViewLabel::NumFileBytes, "");
  view_.SetLabelText(ViewLabel::CurrFileName, "");
}

void RunDisplay::RecordOutcome(const CompareOutcome& outcome, std::string_view relativeName,
                               const ResultLine& facts) {
  totals_.FileBytesInHand = 0;
  if (!outcome.Failed()) {
    ++totals_.DstFileCount;
    WriteCount(ViewLabel::NumDstFiles, totals_.DstFileCount);
    totals_.DstByteTotal += outcome.bytesChecked;
    WriteCount(ViewLabel::NumDstBytes, totals_.DstByteTotal);
    AddResultLine(ResultKind::Ok, relativeName, 0, facts);
    return;
  }

  ++totals_.ErrorCount;
  if (outcome.result != FileResult::DstMissing && outcome.result != FileResult::DstIsSource) {
    ++totals_.DstFileCount;
    WriteCount(ViewLabel::NumDstFiles, totals_.DstFileCount);
    totals_.DstByteTotal += outcome.bytesChecked;
    if (totals_.DstByteTotal > 0) WriteCount(ViewLabel::NumDstBytes, totals_.DstByteTotal);
  }
  WriteCount(ViewLabel::NumErrors, totals_.ErrorCount);
  view_.SetLabelColour(ViewLabel::NumErrors, Colour::Red);

  auto report = [&](std::int32_t& counter, ViewLabel label, ResultKind kind) {
    CountError(counter, label);
    AddResultLine(kind, relativeName, outcome.matchedBytes, facts);
  };
  switch (outcome.result) {
    case FileResult::DstMissing:
      report(totals_.DstMissingCount, ViewLabel::NumDstFilesMissing, ResultKind::DstMissing);
      break;
    case FileResult::DstIsSource:
      report(totals_.DstMissingCount, ViewLabel::NumDstFilesMissing, ResultKind::DstIsSource);
      break;
    case FileResult::SrcReadError:
      report(totals_.SrcReadErrorCount, ViewLabel::NumSrcReadErrs, ResultKind::SrcReadError);
      break;
    case FileResult::DstReadError:
      report(totals_.DstReadErrorCount, ViewLabel::NumDstReadErrs, ResultKind::DstReadError);
      break;
    case FileResult::SizeMismatch:
      report(totals_.MismatchCount, ViewLabel::NumMismatches, ResultKind::SizeMismatch);
      break;
    case FileResult::ContentMismatch:
      report(totals_.MismatchCount, ViewLabel::NumMismatches, ResultKind::ContentMismatch);
      break;
    case FileResult::ChecksumMismatch:
      report(totals_.MismatchCount, ViewLabel::NumMismatches, ResultKind::ChecksumMismatch);
      break;
    case FileResult::Ok:
      break;
  }
}

void RunDisplay::ReportError(ResultKind kind, std::string_view name, std::int32_t* counter,
                             ViewLabel label) {
  ++totals_.ErrorCount;
  WriteCount(ViewLabel::NumErrors, totals_.ErrorCount);
  view_.SetLabelColour(ViewLabel::NumErrors, Colour::Red);
  if (counter != nullptr) CountError(*counter, label);
  AddResultLine(kind, name);
}

void RunDisplay::CountError(std::int32_t& counter, ViewLabel label) {
  ++counter;
  WriteCount(label, counter);
  view_.SetLabelColour(label, Colour::Red);
}

void RunDisplay::AddResultLine(ResultKind kind, std::string_view relativeName, std::int64_t offset,
                               const ResultLine& facts) {
  ResultLine line = facts;
  line.kind = kind;
  line.name = relativeName;
  if (kind == ResultKind::ContentMismatch) line.offset = offset;
  view_.AppendResult(line);
  view_.ScrollResultsAlong();
}

void RunDisplay::ShowSortedResults() {
  view_.SetResultsVisible(false);
  view_.SetResultsSorted(true);
  view_.SetResultsVisible(true);
  view_.ScrollResultsToTop();
  view_.Pump();
}

}  // namespace ovik
