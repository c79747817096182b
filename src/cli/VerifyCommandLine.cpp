#include "cli/VerifyCommandLine.h"

#include "Version.h"
#include "cli/CliOptions.h"
#include "cli/CliReports.h"
#include "cli/ConsoleProgress.h"
#include "cli/ConsoleView.h"
#include "cli/JsonStream.h"
#include "cli/ResultNotes.h"
#include "cli/ResultTap.h"
#include "platform/files/FolderCheck.h"
#include "common/NumberFormat.h"
#include "common/SkippedFolders.h"
#include "engine/VerifyEngine.h"
#include "platform/desktop/PowerInhibit.h"
#include "platform/files/OutputFile.h"
#include "reports/EscapedText.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

namespace ovik {
namespace {

std::atomic<VerifyEngine*> g_runningEngine{nullptr};
volatile std::sig_atomic_t g_interruptCount = 0;

// The first interruption aborts the run, which unwinds and prints what it
// has, or ends the writing of the outputs; a second one ends the program at
// once.
extern "C" void OnInterrupt(int) {
  g_interruptCount = g_interruptCount + 1;
  if (g_interruptCount >= 2) _exit(128 + SIGINT);
  if (VerifyEngine* engine = g_runningEngine.load()) engine->AbortRequested = true;
  AbandonOutputWaits(true);
}

class InterruptGuard {
 public:
  explicit InterruptGuard(VerifyEngine& engine) {
    g_interruptCount = 0;
    AbandonOutputWaits(false);
    g_runningEngine = &engine;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
    g_runningEngine = nullptr;
    AbandonOutputWaits(false);
  }
  static bool Interrupted() { return g_interruptCount > 0; }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

// The error number of the first write to standard output that failed: the
// stream keeps only a flag, and a later flush no longer says why.
int g_firstOutputError = 0;

void NoteOutputError(std::FILE* out) {
  if (g_firstOutputError == 0 && std::ferror(out)) g_firstOutputError = errno != 0 ? errno : EIO;
}

void PrintText(std::FILE* out, std::string_view text) {
  errno = 0;
  std::fwrite(text.data(), 1, text.size(), out);
  NoteOutputError(out);
}

void PrintLine(std::FILE* out, std::string_view text) {
  PrintText(out, text);
  PrintText(out, "\n");
}

void PrintTotals(std::FILE* out, const ConsoleView& view, const VerifyEngine& engine) {
  const struct {
    const char* caption;
    ViewLabel label;
  } rows[] = {
      {"Source files: ", ViewLabel::NumSrcFiles},
      {"Source sub-folders: ", ViewLabel::NumSrcFolders},
      {"Source bytes: ", ViewLabel::NumSrcBytes},
      {"Checked files: ", ViewLabel::NumDstFiles},
      {"Checked sub-folders: ", ViewLabel::NumDstFolders},
      {"Checked bytes: ", ViewLabel::NumDstBytes},
      {"Errors: ", ViewLabel::NumErrors},
      {"Destn files missing: ", ViewLabel::NumDstFilesMissing},
      {"Source read errors: ", ViewLabel::NumSrcReadErrs},
      {"Destn read errors: ", ViewLabel::NumDstReadErrs},
      {"Mismatches: ", ViewLabel::NumMismatches},
  };
  for (const auto& row : rows) PrintLine(out, std::string(row.caption) + view.LabelText(row.label));
  const double elapsed = SystemClock().SteadyNow() - engine.totals.StartSteady;
  PrintLine(out, "Elapsed time: " + FormatElapsedTime(elapsed));
}

// Names a folder that is missing or no folder before the run, which goes on
// all the same and reports what it finds.
void WarnAboutFolder(std::FILE* err, const std::string& path) {
  const std::string problem = FolderProblem(path);
  if (!problem.empty()) PrintMessage(err, "ovik-verify: " + path + ": " + problem);
}

// Names a checksum list that cannot be read before the run, which then
// finds no source files.
void WarnAboutList(std::FILE* err, const std::string& path) {
  const std::string problem = ListProblem(path);
  if (!problem.empty()) PrintMessage(err, "ovik-verify: " + path + ": " + problem);
}

// One line on standard error when the run passed over hidden or system
// folders, so that nothing is left out in silence.
void NoteSkippedFolders(std::FILE* err, std::size_t skipped) {
  if (skipped == 0) return;
  std::fprintf(err, "ovik-verify: %s hidden folder%s skipped (--hidden verifies them)\n",
               FormatThousands(static_cast<std::int64_t>(skipped)).c_str(), skipped == 1 ? "" : "s");
}

// 0, or the error number of a write to standard output that failed, now
// or earlier: a full disk, a closed pipe.
int StandardOutputError(std::FILE* out) {
  errno = 0;
  if (std::fflush(out) == 0 && !std::ferror(out)) return 0;
  NoteOutputError(out);
  return g_firstOutputError;
}

// The exit status once standard output is written out: `status`, or
// kExitWriteFailed with a message when standard output failed.
int AfterStandardOutput(std::FILE* out, std::FILE* err, int status) {
  const int error = StandardOutputError(out);
  if (error == 0) return status;
  std::fprintf(err, "ovik-verify: write error: %s\n", std::strerror(error));
  return kExitWriteFailed;
}

int ExitStatusOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::VerifiedOk: return kExitVerifiedOk;
    case Verdict::NoSourceFiles: return kExitNoSourceFiles;
    case Verdict::Aborted: return kExitAborted;
    case Verdict::Errors:
    case Verdict::None: break;
  }
  return kExitErrors;
}

}  // namespace

int RunVerifyCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  g_firstOutputError = 0;
  std::string error;
  const auto options = ParseCliOptions(args, error);
  if (!options) {
    std::fprintf(err, "ovik-verify: %s\nTry 'ovik-verify --help' for more information.\n", error.c_str());
    return kExitUsage;
  }
  if (options->help) {
    PrintText(out, kCliUsage);
    return AfterStandardOutput(out, err, 0);
  }
  if (options->version) {
    PrintLine(out, std::string("ovik-verify ") + kVersionText);
    return AfterStandardOutput(out, err, 0);
  }
  // Hours of reading are not spent on a run whose results have nowhere to
  // go, nor on one whose outputs would replace each other.
  CliOutputs outputs(*options);
  if (const std::string problem = outputs.SameFileProblem(out); !problem.empty()) {
    PrintMessage(err, "ovik-verify: " + problem);
    std::fputs("Try 'ovik-verify --help' for more information.\n", err);
    return kExitUsage;
  }
  if (!outputs.Open(err)) return kExitWriteFailed;

  if (options->check) WarnAboutList(err, options->source);
  else WarnAboutFolder(err, options->source);
  WarnAboutFolder(err, options->destination);
  std::fflush(err);

  ConsoleView view;
  // A quiet run of millions of files sorts no lines that nobody reads.
  view.KeepLines((!options->quiet && !options->json) || outputs.WritesDetails());
  ResultNotes notes;
  std::optional<JsonStream> json;
  ResultTap tap(
      view,
      [&](const ResultLine& line) {
        if (options->explain) notes.Keep(line);
        if (json && !options->quiet) json->Result(line, options->filter);
      },
      [&] {
        if (json) json->Progress();
      });
  VerifyEngine engine(tap);
  engine.explainDamage = options->explain;
  if (options->json) {
    json.emplace(out, engine, [&] { return engine.totals.DstByteTotal + engine.totals.FileBytesInHand; });
    json->Start(options->source, options->destination);
  }
  if (options->cached) engine.destinationReadRole = ReadRole::DestinationCached;
  engine.includeHidden = options->includeHidden;
  engine.unicodeEqual = options->unicodeEqual;
  engine.recordSums = !options->sumsFile.empty();
  engine.listAlgorithm = options->algorithm;
  engine.readers = options->readers;
  if (options->verbose) {
    engine.onReadingChosen = [err](const std::string& text) {
      for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::fprintf(err, "ovik-verify: %s\n", EscapedLine(text.substr(start, end - start)).c_str());
        start = end + 1;
      }
    };
  }
  const bool showProgress = options->progress && isatty(fileno(err));
  ConsoleProgress progress(err, engine);
  if (showProgress) view.SetProgressPainter([&](const ConsoleView& v) { progress.Paint(v); });
  // From the start of the run to the last output written, so that an
  // output whose reader takes nothing still answers Ctrl+C.
  std::optional<InterruptGuard> interrupts;
  try {
    // Held from the start of the run to its end, however it ends. Ctrl+C
    // while the lock is being taken ends the program as before a run.
    std::optional<PowerInhibit> awake;
    if (!options->allowSleep) awake.emplace(RunSleepReason(options->source, options->destination, options->check));
    interrupts.emplace(engine);
    if (options->check) engine.CheckCommand(options->source, options->destination);
    else engine.VerifyCommand(options->source, options->destination);
  } catch (const std::exception& failure) {
    // A run that could not go on (a digest the system's OpenSSL refuses,
    // memory run out) verified nothing to the end: no results, no list.
    if (showProgress) progress.Wipe();
    std::fprintf(err, "ovik-verify: %s\n", failure.what());
    if (json) json->Failure(failure.what(), kExitErrors);
    return AfterStandardOutput(out, err, kExitErrors);
  }
  if (showProgress) progress.Wipe();

  // The lines kept aside during the run are read back here; a file that
  // cannot be read back leaves the output incomplete.
  try {
    if (!options->quiet && !json) {
      PrintLine(out, EscapedLine("Source folder: " + options->source));
      PrintLine(out, EscapedLine("Destination folder: " + options->destination));
      view.Results().ForEach([&](const ResultRuns::Visited& line) {
        if (Qualifies(IsErrorResult(line.kind), options->filter, false)) {
          PrintLine(out, EscapedLine(line.text));
          notes.Print(out, std::string(line.text));
        }
        return true;
      });
      PrintLine(out, "");
      PrintTotals(out, view, engine);
    }
    if (!json) PrintLine(out, view.Status());
    // Out before the reports, which may go to the same place.
    const int outputError = StandardOutputError(out);
    const DetailLines lines(view.ResultCount(), [&view](const DetailLines::Visitor& visit) {
      std::size_t row = 0;
      view.Results().ForEach([&](const ResultRuns::Visited& line) {
        return visit(row++, {line.text, IsErrorResult(line.kind), line.note});
      });
    });
    // An aborted run has no complete results: an earlier output is worth
    // more than a part of one, which would read as a whole clean run.
    bool outputsWritten = true;
    if (engine.verdict == Verdict::Aborted) outputs.LeaveAll(err);
    else outputsWritten = outputs.WriteAll(engine, lines, err, InterruptGuard::Interrupted);
    for (const std::string& reason : view.Reasons()) PrintMessage(err, EscapedLine("ovik-verify: " + reason));
    if (!options->quiet) NoteSkippedFolders(err, view.SkippedFolderCount());
    if (outputError != 0) std::fprintf(err, "ovik-verify: write error: %s\n", std::strerror(outputError));
    int status = outputsWritten ? ExitStatusOf(engine.verdict) : kExitWriteFailed;
    if (InterruptGuard::Interrupted()) status = kExitAborted;
    if (outputError != 0) status = kExitWriteFailed;
    if (json) json->Summary(view.Status(), status);
    return json ? AfterStandardOutput(out, err, status) : status;
  } catch (const std::exception& failure) {
    std::fprintf(err, "ovik-verify: %s\n", failure.what());
    return AfterStandardOutput(out, err, kExitWriteFailed);
  }
}

}  // namespace ovik
