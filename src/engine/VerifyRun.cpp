#include "engine/VerifyEngine.h"

#include "common/OnScopeExit.h"
#include "common/PathUtils.h"
#include "engine/BlockingCalls.h"
#include "engine/reading/TreeReading.h"
#include "engine/walk/Walk.h"
#include "engine/notes/NameNotes.h"

#include <cstdlib>

namespace ovik {

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::VerifiedOk: return kStatusVerifiedOk;
    case Verdict::Errors: return kStatusErrors;
    case Verdict::NoSourceFiles: return kStatusNoSourceFiles;
    case Verdict::Aborted: return kStatusAborted;
    case Verdict::None: break;
  }
  return "";
}

void VerifyEngine::AlignedFree::operator()(std::byte* p) const { std::free(p); }

VerifyEngine::VerifyEngine(VerifyView& view, FileSystem& fileSystem, Clock& clock)
    : view_(view), fileSystem_(fileSystem), clock_(clock) {}

VerifyEngine::~VerifyEngine() = default;

void VerifyEngine::VerifyCommand(const std::string& sourceText, const std::string& destText) {
  RunCommand([&] {
    const std::string destination = StripTrailingBackslash(destText);
    const std::string source = StripTrailingBackslash(sourceText);
    RunVerify(source, destination);
  });
}

void VerifyEngine::CheckCommand(const std::string& listPath, const std::string& folderText) {
  RunCommand([&] { RunCheck(listPath, StripTrailingBackslash(folderText)); });
}

void VerifyEngine::RunCommand(const std::function<void()>& run) {
  ShowStatus("Initialising...", Colour::Blue);
  runState = RunState::Verifying;
  UpdateTitle();
  for (ViewButton button : {ViewButton::BrowseSrc, ViewButton::BrowseDst, ViewButton::Compare, ViewButton::Swap})
    view_.SetButtonEnabled(button, false);
  view_.SetButtonEnabled(ViewButton::Abort, true);
  ResetResults();

  OnScopeExit completion([this] {
    view_.SetSaveAndCopyEnabled(view_.ResultCount() > 0);
    view_.SetButtonEnabled(ViewButton::BrowseSrc, true);
    view_.SetButtonEnabled(ViewButton::BrowseDst, true);
    view_.SetButtonEnabled(ViewButton::Abort, false);
    view_.UpdateButtons();
    runState = RunState::Stopped;
    UpdateTitle();
  });
  run();
}

void VerifyEngine::AbortCommand() {
  if (!view_.ConfirmAbort()) return;
  ShowStatus("Aborting...", Colour::Red);
  AbortRequested = true;
}

void VerifyEngine::RunVerify(const std::string& sourceRoot, const std::string& destRoot) {
  AbortRequested = false;
  SourceRootLength = static_cast<std::int32_t>(sourceRoot.size());
  verdict = Verdict::None;
  view_.SetResultsSorted(false);

  // The folders the walks keep open are let go on every way out of the run,
  // after the thread that lists them is gone.
  OnScopeExit releaseFolders([this] { fileSystem_.ReleaseFolders(); });

  ShowStatus("Scanning source...", Colour::Blue);
  ScanSource(sourceRoot);
  ShowTotals();

  if (!AbortRequested) {
    ShowStatus("Verifying destn...", Colour::Blue);
    {
      OnScopeExit forgetNames([this] {
        nameNotes_.reset();
        namesFolder_.reset();
        blockingCalls_.reset();
      });
      // What the names need of the destination is asked on the engine's
      // thread, aside, so that a stalled destination still answers Abort.
      if (readAhead) blockingCalls_ = std::make_unique<BlockingCalls>();
      nameNotes_ = std::make_unique<NameNotes>(
          [this](const std::string& folder) { return ListFolder(folder, FileSizes::LeftToTheOpen); },
          [this](const std::string& folder) { return DescribeDestinationNames(folder); });
      VerifyFolder(sourceRoot, destRoot);
    }
    if (!AbortRequested) display_.ClearCurrentFile();
  }
  sumsRecorded_ = recordSums && !AbortRequested;
  FinishRun();
}

void VerifyEngine::FinishRun() {
  ShowStatus("Sorting details...", Colour::Blue);
  display_.ShowSortedResults();

  ShowTotals();

  // An error counted, such as a line of a list that could not be
  // understood, is never "No source files".
  if (AbortRequested) verdict = Verdict::Aborted;
  else if (totals.ErrorCount > 0) verdict = Verdict::Errors;
  else if (totals.SrcFileCount == 0) verdict = Verdict::NoSourceFiles;
  else verdict = Verdict::VerifiedOk;
  ShowStatus(VerdictText(verdict), verdict == Verdict::VerifiedOk ? Colour::Green : Colour::Red);
}

void VerifyEngine::ResetResults() {
  AbortRequested = false;
  const VerifyTotals cleared;
  totals = cleared;
  recordedSums_.Clear();
  sumsRecorded_ = false;
  display_.Reset();
}

void VerifyEngine::ShowTotals() { display_.ShowTotals(); }

void VerifyEngine::ShowStatus(std::string_view text, Colour colour) { display_.ShowStatus(text, colour); }

void VerifyEngine::UpdateTitle() { display_.ShowTitle(runState); }

void VerifyEngine::ShowElapsed() { display_.ShowElapsed(); }

void VerifyEngine::ShowProgress(std::int64_t currentFileBytes) { display_.ShowProgress(currentFileBytes); }

}  // namespace ovik
