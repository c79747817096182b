#pragma once

#include "common/ResultLine.h"
#include "engine/Colour.h"

#include <string>
#include <string_view>

namespace ovik {

// The labels the engine writes into. Their names are those of the window's
// controls without the "lbl" prefix.
enum class ViewLabel {
  NumSrcFiles,
  NumSrcFolders,
  NumSrcBytes,
  NumDstFiles,
  NumDstFolders,
  NumDstBytes,
  NumErrors,
  NumDstFilesMissing,
  NumSrcReadErrs,
  NumDstReadErrs,
  NumMismatches,
  CurrFileName,
  NumFileBytes,
  ElapsedTime,
  Progress,   // the "Current file" caption
  FileBytes,  // the "Bytes checked:" caption
  File,       // the "Name:" caption
  Elapsed,    // the "Elapsed time:" caption
};

// The command buttons whose enabling the Verify command changes.
enum class ViewButton { Compare, Abort, BrowseSrc, BrowseDst, Swap };

// Every display operation the engine performs. The main window, the
// command-line verifier and the tests each implement it; every operation is
// synchronous and cheap.
class VerifyView {
 public:
  virtual ~VerifyView() = default;

  virtual void SetStatus(std::string_view text, Colour colour) = 0;
  virtual void SetLabelText(ViewLabel label, std::string_view text) = 0;
  virtual void SetLabelColour(ViewLabel label, Colour colour) = 0;
  virtual void SetLabelVisible(ViewLabel label, bool visible) = 0;

  // Position 0 to 100; the view limits other values to that range.
  virtual void SetProgress(int position) = 0;
  virtual void SetProgressColour(Colour colour) = 0;

  // Adds one line to the details list; `line` lives for the call only.
  virtual void AppendResult(const ResultLine& line) = 0;
  // Moves the list's top visible line on by one, so it scrolls along.
  virtual void ScrollResultsAlong() = 0;
  virtual void ScrollResultsToTop() = 0;
  virtual void ClearResults() = 0;
  // Switching sorting on sorts the lines already present.
  virtual void SetResultsSorted(bool sorted) = 0;
  virtual void SetResultsVisible(bool visible) = 0;
  virtual std::size_t ResultCount() const = 0;

  // The four Save items of the File menu and the whole Edit menu.
  virtual void SetSaveAndCopyEnabled(bool enabled) = 0;
  virtual void SetButtonEnabled(ViewButton button, bool enabled) = 0;
  // Re-evaluates Verify and Swap from the folder fields.
  virtual void UpdateButtons() = 0;
  virtual void SetApplicationTitle(std::string_view title) = 0;

  // Processes every pending window event, then returns.
  virtual void Pump() = 0;
  // Asks "Abort Ovik?"; true on Yes.
  virtual bool ConfirmAbort() = 0;
  // Why the file `name` of a result line could not be read, for a view
  // that can tell it beside the results; the line itself is unchanged.
  virtual void NoteReason(std::string_view name, std::string_view reason) {
    (void)name;
    (void)reason;
  }
};

}  // namespace ovik
