#include "engine/VerifyEngine.h"

#include "common/OnScopeExit.h"
#include "engine/BlockingCalls.h"
#include "engine/DisplayWaits.h"
#include "engine/FileDigest.h"
#include "engine/reading/ReaderPool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace ovik {

namespace {

std::string_view FileNameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

void VerifyEngine::RunCheck(const std::string& listPath, const std::string& folder) {
  AbortRequested = false;
  verdict = Verdict::None;
  view_.SetResultsSorted(false);

  OnScopeExit endBlockingCalls([this] { blockingCalls_.reset(); });
  if (readAhead) blockingCalls_ = std::make_unique<BlockingCalls>();

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
      display_.ReportError(ResultKind::SrcReadError, FileNameOf(listPath), &totals.SrcReadErrorCount, ViewLabel::NumSrcReadErrs);
    CheckListedFiles(list, folder);
    fileSystem_.ReleaseFolders();
    if (!AbortRequested) display_.ClearCurrentFile();
  }
  FinishRun();
}

// Reads the list in blocks and counts its files as they come, keeping the
// display alive. The open and the reads go aside, into what they own.
VerifyEngine::ListReading VerifyEngine::ReadChecksumList(const std::string& listPath, ChecksumList& list) {
  struct ListFile {
    std::shared_ptr<ReadableFile> file;
    std::vector<std::byte> block;
    std::int64_t count = 0;
    int error = 0;
  };
  auto reading = std::make_shared<ListFile>();
  FileSystem& fileSystem = fileSystem_;
  if (!CallAside([&fileSystem, reading, listPath] {
        reading->file = fileSystem.OpenList(listPath).file;
      }))
    return ListReading::Whole;
  if (!reading->file) return ListReading::NotOpened;
  reading->block.resize(BlockSize);
  ChecksumListReader reader(list, FileNameOf(listPath), listAlgorithm);
  double lastPump = 0;
  for (;;) {
    if (!CallAside([reading] {
          reading->count = reading->file->ReadBlock(reading->block.data(), reading->block.size(), reading->error);
        }))
      return ListReading::Whole;
    const std::int64_t count = reading->count;
    if (count < 0) return ListReading::Broken;
    reader.Feed({reinterpret_cast<const char*>(reading->block.data()), static_cast<std::size_t>(count)});
    if (count < static_cast<std::int64_t>(BlockSize)) break;
    totals.SrcFileCount = static_cast<std::int32_t>(list.size());
    display_.WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
    display_.KeepAlive(lastPump, 0);
    if (AbortRequested) return ListReading::Whole;
  }
  reader.Finish();
  totals.SrcFileCount = static_cast<std::int32_t>(list.size());
  display_.WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
  return ListReading::Whole;
}

// The listed files' sizes, so that the progress bar has its measure; looked
// up aside, many in one call.
void VerifyEngine::LookUpListedSizes(const ChecksumList& list, const std::string& folder) {
  constexpr std::size_t kLookupsPerCall = 256;
  double lastPump = 0;
  FileSystem& fileSystem = fileSystem_;
  for (std::size_t first = 0; first < list.size() && !AbortRequested; first += kLookupsPerCall) {
    auto names = std::make_shared<std::vector<std::string>>();
    for (std::size_t i = first; i < std::min(list.size(), first + kLookupsPerCall); ++i)
      names->emplace_back(list[i].name);
    auto sizes = std::make_shared<std::vector<std::int64_t>>(names->size(), -1);  // -1: not a listed file
    if (!CallAside([&fileSystem, folder, names, sizes] {
          for (std::size_t i = 0; i < names->size(); ++i) {
            const EntryLookup lookup = fileSystem.LookUpBeneath(folder, (*names)[i]);
            if (lookup.entry && PassesFilter(lookup.entry->attributes, kFilesFilter)) (*sizes)[i] = lookup.entry->size;
          }
        }))
      return;
    for (const std::int64_t size : *sizes) {
      if (size < 0) continue;
      totals.SrcByteTotal += size;
      display_.WriteCount(ViewLabel::NumSrcBytes, totals.SrcByteTotal);
    }
    display_.KeepAlive(lastPump, 0);
  }
}

// Readers read the listed files whole, many at a time, each through a
// digest of its own; the results are taken in the list's order, with the
// lines that could not be understood among them.
void VerifyEngine::CheckListedFiles(const ChecksumList& list, const std::string& folder) {
  const auto window = std::make_shared<StepWindow>(readAheadLimits.filesAhead,
                                                   static_cast<std::int64_t>(readAheadLimits.bytesAhead),
                                                   readAheadLimits.batch);
  PoolPace pace;
  pace.threads = readers != 0 ? readers : readAheadLimits.readers;
  const auto pool = ReaderPool::Start(fileSystem_, window, BlockSize, readAheadLimits, std::move(pace));
  OnScopeExit stopReaders([&] {
    window->Close();
    pool->Stop();
  });
  const std::vector<std::uint32_t>& badLines = list.BadLines();
  std::size_t nextBadLine = 0;
  const auto reportBadLinesBefore = [&](std::uint32_t lineNumber) {
    for (; nextBadLine < badLines.size() && badLines[nextBadLine] < lineNumber && !AbortRequested; ++nextBadLine)
      display_.ReportError(ResultKind::BadChecksumLine, std::to_string(badLines[nextBadLine]));
  };

  std::deque<ListedCheck> inFlight;
  std::size_t nextToRead = 0;
  DigestKind wideKind = DigestKind::Sha512OrBlake2b;
  const std::size_t limit = std::max<std::size_t>(1, readAheadLimits.filesAhead);
  while (!AbortRequested) {
    // Topped up a batch at a time, so that the readers are woken for many.
    if (inFlight.empty() || inFlight.size() + readAheadLimits.batch <= limit) {
      for (; nextToRead < list.size() && inFlight.size() < limit; ++nextToRead) {
        const ListedFile file = list[nextToRead];
        const DigestKind kind = file.kind == DigestKind::Sha512OrBlake2b ? wideKind : file.kind;
        auto job = std::make_shared<PairJob>(nextToRead, BlockSize);
        job->digestOnly = true;
        job->root = folder.empty() ? "/" : folder;
        job->dstPath = std::string(file.name);
        job->dstRole = destinationReadRole;
        job->digest = std::make_unique<FileDigest>(kind, ToHex(file.digest));
        pool->Add(job);
        inFlight.push_back({nextToRead, std::move(job)});
      }
    }
    if (inFlight.empty()) break;
    const ListedFile file = list[inFlight.front().index];
    reportBadLinesBefore(file.lineNumber);
    CheckListedFile(file, inFlight.front(), *window, folder, wideKind);
    inFlight.pop_front();
  }
  reportBadLinesBefore(std::numeric_limits<std::uint32_t>::max());
}

// Why a listed name that is there could not be opened as a file.
std::string VerifyEngine::WhyNotReadable(const EntryLookup& lookup, const std::string& folder) {
  if (lookup.entry && (lookup.entry->attributes & faDirectory) != 0) return "a folder, not a file";
  if (lookup.entry && (lookup.entry->attributes & faDevice) != 0) return "a device, FIFO or socket, not a file";
  if (lookup.error == EXDEV) return "symbolic link leads outside " + (folder.empty() ? std::string("/") : folder);
  if (lookup.error != 0) return std::strerror(lookup.error);
  return "cannot be opened";
}

// `wideKind`: what the untagged 128-digit hashes turned out to be, once a
// file matched by one of SHA-512 and BLAKE2b; taken in the list's order on
// this thread, so that which files are hashed both ways is the same in
// every run.
void VerifyEngine::CheckListedFile(const ListedFile& file, const ListedCheck& check, StepWindow& window,
                                   const std::string& folder, DigestKind& wideKind) {
  ShowElapsed();
  ShowProgress(0);
  CurrentRelativeName.assign(file.name);
  display_.ShowCurrentFile(CurrentRelativeName);

  DisplayWaits waits(*this);
  // An aborted file yields no line and no counts.
  if (AbortRequested) return;
  if (!window.WaitForOutcome(*check.job, waits)) return;
  const std::optional<ReadOutcome> read = std::move(check.job->outcome);
  if (read->failure) std::rethrow_exception(read->failure);

  CompareOutcome outcome;
  outcome.bytesChecked = read->compared.bytesChecked;
  // A listed name that is there as something else than a file (a folder, a
  // device, a link that leads outside the folder) cannot be read; the view
  // may tell why.
  if (read->compared.result == FileResult::DstMissing) {
    outcome.result = AnythingIsThere(read->dstLookup) ? FileResult::DstReadError : FileResult::DstMissing;
    if (outcome.result == FileResult::DstReadError) view_.NoteReason(file.name, WhyNotReadable(read->dstLookup, folder));
  }
  else if (read->digest.empty()) outcome.result = FileResult::DstReadError;
  else if (read->digest != ToHex(file.digest)) outcome.result = FileResult::ChecksumMismatch;
  else if (file.kind == DigestKind::Sha512OrBlake2b && read->digestKind) wideKind = *read->digestKind;
  if (outcome.bytesChecked > 0) display_.ShowFileBytes(outcome.bytesChecked);
  display_.RecordOutcome(outcome, CurrentRelativeName);
}

}  // namespace ovik
