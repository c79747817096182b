#include "engine/VerifyEngine.h"

#include "engine/CompareOutcome.h"

#include "engine/FileDigest.h"
#include "engine/ReadAhead.h"

#include <algorithm>
#include <limits>

namespace ovik {

// While a listed file is read, its bytes so far are shown as the
// comparison shows them, the display stays alive and Abort ends the wait.
class VerifyEngine::DigestWaits final : public WaitHook {
 public:
  DigestWaits(VerifyEngine& engine, const FileDigest& counter) : engine_(engine), counter_(counter) {}
  bool KeepWaiting() override {
    const std::int64_t bytes = counter_.BytesTaken();
    if (bytes > 0) engine_.ShowFileBytes(bytes);
    engine_.KeepDisplayAlive(lastPump_, bytes);
    return !engine_.AbortRequested;
  }

 private:
  VerifyEngine& engine_;
  const FileDigest& counter_;
  double lastPump_ = 0;
};

namespace {

std::string_view FileNameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

void VerifyEngine::RunCheck(const std::string& listPath, const std::string& folder) {
  AbortRequested = false;
  verdict = Verdict::None;
  view_.SetResultsSorted(false);

  ShowStatus("Reading checksum list...", Colour::Blue);
  ChecksumList list;
  const ListReading reading = ReadChecksumList(listPath, list);
  if (!AbortRequested) LookUpListedSizes(list, folder);
  fileSystem_.ReleaseFolders();
  ShowTotals();

  if (!AbortRequested) {
    ShowStatus("Verifying destn...", Colour::Blue);
    // Files after the failing part of the list were never checked: that
    // must not pass for a good copy.
    if (reading == ListReading::Broken)
      ReportError(kPrefixSrcReadError, FileNameOf(listPath), &totals.SrcReadErrorCount, ViewLabel::NumSrcReadErrs);
    CheckListedFiles(list, folder);
    fileSystem_.ReleaseFolders();
    if (!AbortRequested) ClearCurrentFile();
  }
  FinishRun();
}

// Reads the list in blocks and counts its files as they come, keeping the
// display alive.
VerifyEngine::ListReading VerifyEngine::ReadChecksumList(const std::string& listPath, ChecksumList& list) {
  const OpenResult opened = fileSystem_.OpenForRead(listPath, ReadRole::Source);
  if (!opened.file) return ListReading::NotOpened;
  ChecksumListReader reader(list, FileNameOf(listPath));
  double lastPump = 0;
  for (;;) {
    int error = 0;
    const std::int64_t count = opened.file->ReadBlock(srcBuffer_.get(), BlockSize, error);
    if (count < 0) return ListReading::Broken;
    reader.Feed({reinterpret_cast<const char*>(srcBuffer_.get()), static_cast<std::size_t>(count)});
    if (count < static_cast<std::int64_t>(BlockSize)) break;
    totals.SrcFileCount = static_cast<std::int32_t>(list.size());
    WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
    KeepDisplayAlive(lastPump, 0);
    if (AbortRequested) return ListReading::Whole;
  }
  reader.Finish();
  totals.SrcFileCount = static_cast<std::int32_t>(list.size());
  WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
  return ListReading::Whole;
}

// The listed files' sizes, so that the progress bar has its measure.
void VerifyEngine::LookUpListedSizes(const ChecksumList& list, const std::string& folder) {
  double lastPump = 0;
  for (std::size_t i = 0; i < list.size() && !AbortRequested; ++i) {
    const EntryLookup lookup = fileSystem_.LookUpBeneath(folder, std::string(list[i].name));
    if (!lookup.entry || !PassesFilter(lookup.entry->attributes, kFilesFilter)) continue;
    totals.SrcByteTotal += lookup.entry->size;
    WriteCount(ViewLabel::NumSrcBytes, totals.SrcByteTotal);
    KeepDisplayAlive(lastPump, 0);
  }
}

// Readers read the listed files whole, many at a time, each through a
// digest of its own; the results are taken in the list's order, with the
// lines that could not be understood among them.
void VerifyEngine::CheckListedFiles(const ChecksumList& list, const std::string& folder) {
  ReadAhead reading(fileSystem_, destinationReadRole, BlockSize, readAheadLimits);
  const std::vector<std::uint32_t>& badLines = list.BadLines();
  std::size_t nextBadLine = 0;
  const auto reportBadLinesBefore = [&](std::uint32_t lineNumber) {
    for (; nextBadLine < badLines.size() && badLines[nextBadLine] < lineNumber && !AbortRequested; ++nextBadLine)
      ReportError(kPrefixBadChecksumLine, std::to_string(badLines[nextBadLine]));
  };

  std::deque<ListedCheck> inFlight;
  std::size_t nextToRead = 0;
  const std::size_t limit = std::max<std::size_t>(1, readAheadLimits.filesAhead);
  while (!AbortRequested) {
    // Topped up a batch at a time, so that the readers are woken for many.
    if (inFlight.empty() || inFlight.size() + readAheadLimits.batch <= limit) {
      for (; nextToRead < list.size() && inFlight.size() < limit; ++nextToRead) {
        const ListedFile file = list[nextToRead];
        auto digest = std::make_unique<FileDigest>(file.kind);
        const FileDigest* counter = digest.get();
        inFlight.push_back({nextToRead, reading.AnnounceDigestOnly(folder, std::string(file.name), std::move(digest)),
                            counter});
      }
      reading.AnnouncingDone();
    }
    if (inFlight.empty()) break;
    const ListedFile file = list[inFlight.front().index];
    reportBadLinesBefore(file.lineNumber);
    CheckListedFile(file, inFlight.front(), reading);
    inFlight.pop_front();
  }
  reportBadLinesBefore(std::numeric_limits<std::uint32_t>::max());
}

void VerifyEngine::CheckListedFile(const ListedFile& file, const ListedCheck& check, ReadAhead& reading) {
  ShowElapsed();
  ShowProgress(0);
  CurrentRelativeName.assign(file.name);
  view_.SetLabelText(ViewLabel::CurrFileName, CurrentRelativeName);
  view_.SetLabelVisible(ViewLabel::Progress, true);
  view_.SetLabelVisible(ViewLabel::File, true);
  view_.Pump();

  DigestWaits waits(*this, *check.counter);
  // An aborted file yields no line and no counts.
  if (AbortRequested || !reading.WaitForDigest(check.digest, waits)) return;
  check.digest.RethrowFailure();

  CompareOutcome outcome;
  outcome.bytesChecked = check.counter->BytesTaken();
  if (!check.digest.Opened()) {
    outcome.failed = true;
    if (DestinationIsThere(check.digest.Lookup())) outcome.dstReadError = true;
    else outcome.dstMissing = true;
  } else if (check.digest.Value().empty()) {
    outcome.failed = outcome.dstReadError = true;
  } else if (check.digest.Value() != ToHex(file.digest)) {
    outcome.failed = outcome.checksumMismatch = true;
  }
  if (outcome.bytesChecked > 0) ShowFileBytes(outcome.bytesChecked);
  RecordOutcome(outcome);
}

}  // namespace ovik
