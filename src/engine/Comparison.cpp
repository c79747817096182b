#include "engine/VerifyEngine.h"

#include "common/NumberFormat.h"
#include "engine/CompareOutcome.h"
#include "engine/FilePair.h"
#include "engine/FileDigest.h"
#include "engine/ReadAhead.h"
#include "engine/WalkLookahead.h"

#include <algorithm>
#include <cstring>

namespace ovik {

// While the comparison waits for the readers, the display stays alive as it
// does between blocks, and Abort ends the wait.
class VerifyEngine::ComparisonWaits final : public WaitHook {
 public:
  ComparisonWaits(VerifyEngine& engine, double& lastPump, const std::int64_t& bytesChecked)
      : engine_(engine), lastPump_(lastPump), bytesChecked_(bytesChecked) {}
  bool KeepWaiting() override {
    engine_.KeepDisplayAlive(lastPump_, bytesChecked_);
    return !engine_.AbortRequested;
  }

 private:
  VerifyEngine& engine_;
  double& lastPump_;
  const std::int64_t& bytesChecked_;
};

namespace {

// Number of equal bytes before the first difference of two blocks. The
// blocks at the end of a file are empty and may have no data at all.
std::size_t EqualPrefixLength(const std::byte* a, const std::byte* b, std::size_t count) {
  if (count == 0 || std::memcmp(a, b, count) == 0) return count;
  std::size_t i = 0;
  while (a[i] == b[i]) ++i;
  return i;
}

}  // namespace

std::string VerifyEngine::RelativeName(const std::string& path) const {
  return path.substr(std::min(path.size(), static_cast<std::size_t>(SourceRootLength) + 1));
}

void VerifyEngine::CompareFile(const std::string& srcPath, const std::string& dstPath,
                               std::int64_t expectedSize, bool sourceListed) {
  ShowElapsed();
  ShowProgress(0);

  CompareOutcome outcome;
  CurrentRelativeName = RelativeName(srcPath);
  view_.SetLabelText(ViewLabel::CurrFileName, CurrentRelativeName);
  view_.SetLabelVisible(ViewLabel::Progress, true);
  view_.SetLabelVisible(ViewLabel::File, true);
  view_.Pump();

  double lastPump = 0;
  ComparisonWaits waits(*this, lastPump, outcome.bytesChecked);
  ReadAheadOfTheWalk();
  PendingDigest sourceDigest;
  std::unique_ptr<FilePair> readAhead =
      readAhead_ && sourceListed ? readAhead_->Take(srcPath, dstPath, waits, &sourceDigest) : nullptr;
  DirectFilePair direct(fileSystem_, srcPath, dstPath, destinationReadRole, srcBuffer_.get(), dstBuffer_.get(),
                        BlockSize);
  FilePair& pair = readAhead ? *readAhead : direct;

  FileId srcId;
  FileId dstId;
  std::int64_t openedSize = 0;
  // A source whose attributes could not be read is not opened at all.
  if (!sourceListed || !pair.OpenSource(srcId, openedSize)) outcome.failed = outcome.srcReadError = true;
  if (expectedSize == kSizeUnknown) expectedSize = openedSize;
  if (!outcome.failed) {
    if (!pair.OpenDestination(dstId)) {
      outcome.failed = true;
      if (DestinationIsThere(pair.LookUpDestination())) outcome.dstReadError = true;
      else outcome.dstMissing = true;
    } else if (srcId != FileId{} && dstId == srcId) {
      // Reached through a link or a mount back to the source: no copy is
      // there to compare, and the medium may hold nothing of it.
      outcome.failed = outcome.dstIsSource = true;
    }
  }

  if (!outcome.failed) {
    bool srcEndOfFile = false;
    int error = 0;
    while (!AbortRequested && !srcEndOfFile && !outcome.failed) {
      KeepDisplayAlive(lastPump, outcome.bytesChecked);

      const std::byte* srcData = nullptr;
      const std::byte* dstData = nullptr;
      const std::int64_t srcCount = pair.ReadSourceBlock(srcData, error);
      srcEndOfFile = srcCount != static_cast<std::int64_t>(BlockSize);
      if (srcCount < 0) {
        outcome.failed = outcome.srcReadError = true;
        break;
      }
      const std::int64_t dstCount = pair.ReadDestinationBlock(dstData, error);
      if (dstCount < 0) {
        outcome.failed = outcome.dstReadError = true;
        break;
      }
      if (srcCount != dstCount) {
        outcome.failed = outcome.sizeMismatch = true;
        break;
      }

      const auto count = static_cast<std::size_t>(srcCount);
      const std::size_t equal = EqualPrefixLength(srcData, dstData, count);
      outcome.matchedBytes += static_cast<std::int64_t>(equal);
      if (equal != count) outcome.failed = outcome.contentMismatch = true;

      outcome.bytesChecked += srcCount;
      ShowFileBytes(outcome.bytesChecked);
    }
  }

  // An aborted file yields no line and no counts.
  if (!AbortRequested) {
    if (!outcome.failed && outcome.bytesChecked != expectedSize) {
      // The source changed length after it was listed.
      outcome.failed = outcome.sizeMismatch = true;
    }
    RecordOutcome(outcome);
  }
  // Both files close here; a failure while closing is ignored. A source
  // being digested is read on to its end meanwhile.
  readAhead.reset();
  if (sourceDigest && !AbortRequested) {
    recording_.push_back({CurrentRelativeName, std::move(sourceDigest)});
    CollectRecordedDigests(false);
  }
}

// A source that could not be read whole is left out: its line says so.
// At most as many digests wait as files are read ahead.
void VerifyEngine::CollectRecordedDigests(bool all) {
  double lastPump = 0;
  const std::int64_t noBytes = 0;
  ComparisonWaits waits(*this, lastPump, noBytes);
  std::string digest;
  while (!recording_.empty() && !AbortRequested) {
    const RecordedDigest& next = recording_.front();
    if (!next.digest.Done()) {
      if (!all && recording_.size() <= readAheadLimits.filesAhead) return;
      if (!readAhead_->WaitForDigest(next.digest, waits)) return;
    }
    next.digest.RethrowFailure();
    if (FromHex(next.digest.Value(), digest) && !digest.empty())
      recordedSums_.Add(DigestKind::Sha256, digest, next.name, 0);
    recording_.pop_front();
  }
}

// Refreshes the elapsed time and the progress bar once a second and pumps
// window events every quarter of a second of this file.
void VerifyEngine::KeepDisplayAlive(double& lastPump, std::int64_t bytesChecked) {
  const double elapsed = Elapsed();
  if (elapsed - totals.LastShownElapsed >= kOneSecond) {
    ShowElapsed();
    ShowProgress(bytesChecked);
  }
  if (elapsed - lastPump >= kQuarterSecond) {
    lastPump = elapsed;
    view_.Pump();
  }
}

// Keeps the reading ahead supplied with the files the walk comes to next.
void VerifyEngine::ReadAheadOfTheWalk() {
  if (!readAhead_ || !readAhead_->HasRoom(true)) return;
  std::string srcPath;
  std::string dstPath;
  while (readAhead_->HasRoom() && lookahead_->NextFile(srcPath, dstPath))
    readAhead_->Announce(std::move(srcPath), std::move(dstPath));
  readAhead_->AnnouncingDone();
}

void VerifyEngine::RecordOutcome(const CompareOutcome& outcome) {
  if (!outcome.failed) {
    ++totals.DstFileCount;
    WriteCount(ViewLabel::NumDstFiles, totals.DstFileCount);
    totals.DstByteTotal += outcome.bytesChecked;
    WriteCount(ViewLabel::NumDstBytes, totals.DstByteTotal);
    AddResultLine(kPrefixOk);
    return;
  }

  ++totals.ErrorCount;
  if (!outcome.dstMissing && !outcome.dstIsSource) {
    ++totals.DstFileCount;
    WriteCount(ViewLabel::NumDstFiles, totals.DstFileCount);
    totals.DstByteTotal += outcome.bytesChecked;
    if (totals.DstByteTotal > 0) WriteCount(ViewLabel::NumDstBytes, totals.DstByteTotal);
  }
  WriteCount(ViewLabel::NumErrors, totals.ErrorCount);
  view_.SetLabelColour(ViewLabel::NumErrors, Colour::Red);

  auto report = [this](std::int32_t& counter, ViewLabel label, std::string_view prefix) {
    CountError(counter, label);
    AddResultLine(prefix);
  };
  if (outcome.dstMissing) report(totals.DstMissingCount, ViewLabel::NumDstFilesMissing, kPrefixDstMissing);
  else if (outcome.dstIsSource) report(totals.DstMissingCount, ViewLabel::NumDstFilesMissing, kPrefixDstIsSource);
  else if (outcome.srcReadError) report(totals.SrcReadErrorCount, ViewLabel::NumSrcReadErrs, kPrefixSrcReadError);
  else if (outcome.dstReadError) report(totals.DstReadErrorCount, ViewLabel::NumDstReadErrs, kPrefixDstReadError);
  else if (outcome.sizeMismatch) report(totals.MismatchCount, ViewLabel::NumMismatches, kPrefixSizeMismatch);
  else if (outcome.contentMismatch)
    report(totals.MismatchCount, ViewLabel::NumMismatches,
           std::string(kPrefixContentMismatch) + FormatThousands(outcome.matchedBytes));
  else if (outcome.checksumMismatch) report(totals.MismatchCount, ViewLabel::NumMismatches, kPrefixChecksumMismatch);
}

void VerifyEngine::ShowFileBytes(std::int64_t bytesChecked) {
  WriteCount(ViewLabel::NumFileBytes, bytesChecked);
  view_.SetLabelVisible(ViewLabel::Progress, true);
  view_.SetLabelVisible(ViewLabel::FileBytes, true);
}

// A line of its own that counts as an error, and in `counter` when given.
void VerifyEngine::ReportError(std::string_view prefix, std::string_view name, std::int32_t* counter,
                               ViewLabel label) {
  ++totals.ErrorCount;
  WriteCount(ViewLabel::NumErrors, totals.ErrorCount);
  view_.SetLabelColour(ViewLabel::NumErrors, Colour::Red);
  if (counter != nullptr) CountError(*counter, label);
  AddResultLine(prefix, name);
}

// The existence test of a destination that could not be opened: a file
// (not a folder) of that path is there, or it could not be looked at for
// another reason than that nothing of that name exists.
bool VerifyEngine::DestinationIsThere(const EntryLookup& lookup) {
  if (lookup.entry) return PassesFilter(lookup.entry->attributes, kFilesFilter);
  return lookup.error != 0 && !IsNoSuchEntry(lookup.error);
}

void VerifyEngine::CountError(std::int32_t& counter, ViewLabel label) {
  ++counter;
  WriteCount(label, counter);
  view_.SetLabelColour(label, Colour::Red);
}

void VerifyEngine::AddResultLine(std::string_view prefix) { AddResultLine(prefix, CurrentRelativeName); }

void VerifyEngine::AddResultLine(std::string_view prefix, std::string_view relativeName) {
  std::string line;
  line.reserve(prefix.size() + 2 + relativeName.size());
  line.append(prefix).append(": ").append(relativeName);
  view_.AppendResult(std::move(line));
  view_.ScrollResultsAlong();
}

}  // namespace ovik
