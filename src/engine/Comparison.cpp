#include "engine/VerifyEngine.h"

#include "common/NumberFormat.h"

#include <algorithm>
#include <cstring>

namespace ovik {

struct CompareOutcome {
  std::int64_t bytesChecked = 0;
  std::int64_t matchedBytes = 0;
  bool failed = false;
  bool dstMissing = false;
  bool dstIsSource = false;
  bool srcReadError = false;
  bool dstReadError = false;
  bool sizeMismatch = false;
  bool contentMismatch = false;
};

namespace {

// Number of equal bytes before the first difference of two blocks.
std::size_t EqualPrefixLength(const std::byte* a, const std::byte* b, std::size_t count) {
  if (std::memcmp(a, b, count) == 0) return count;
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

  std::unique_ptr<ReadableFile> src;
  std::unique_ptr<ReadableFile> dst;
  FileId srcId;
  if (sourceListed) {
    OpenResult opened = fileSystem_.OpenForRead(srcPath, ReadRole::Source);
    src = std::move(opened.file);
    srcId = opened.id;
  }
  // A source whose attributes could not be read is not opened at all.
  if (!src) outcome.failed = outcome.srcReadError = true;
  if (!outcome.failed) {
    OpenResult opened = fileSystem_.OpenForRead(dstPath, destinationReadRole);
    dst = std::move(opened.file);
    if (!dst) {
      outcome.failed = true;
      if (DestinationIsThere(dstPath)) outcome.dstReadError = true;
      else outcome.dstMissing = true;
    } else if (srcId != FileId{} && opened.id == srcId) {
      // Reached through a link or a mount back to the source: no copy is
      // there to compare, and the medium may hold nothing of it.
      outcome.failed = outcome.dstIsSource = true;
    }
  }

  if (!outcome.failed) {
    bool srcEndOfFile = false;
    double lastPump = 0;
    int error = 0;
    while (!AbortRequested && !srcEndOfFile && !outcome.failed) {
      const double elapsed = Elapsed();
      if (elapsed - totals.LastShownElapsed >= kOneSecond) {
        ShowElapsed();
        ShowProgress(outcome.bytesChecked);
      }
      if (elapsed - lastPump >= kQuarterSecond) {
        lastPump = elapsed;
        view_.Pump();
      }

      const std::int64_t srcCount = src->ReadBlock(srcBuffer_.get(), BlockSize, error);
      srcEndOfFile = srcCount != static_cast<std::int64_t>(BlockSize);
      if (srcCount < 0) {
        outcome.failed = outcome.srcReadError = true;
        break;
      }
      const std::int64_t dstCount = dst->ReadBlock(dstBuffer_.get(), BlockSize, error);
      if (dstCount < 0) {
        outcome.failed = outcome.dstReadError = true;
        break;
      }
      if (srcCount != dstCount) {
        outcome.failed = outcome.sizeMismatch = true;
        break;
      }

      const auto count = static_cast<std::size_t>(srcCount);
      const std::size_t equal = EqualPrefixLength(srcBuffer_.get(), dstBuffer_.get(), count);
      outcome.matchedBytes += static_cast<std::int64_t>(equal);
      if (equal != count) outcome.failed = outcome.contentMismatch = true;

      outcome.bytesChecked += srcCount;
      WriteCount(ViewLabel::NumFileBytes, outcome.bytesChecked);
      view_.SetLabelVisible(ViewLabel::Progress, true);
      view_.SetLabelVisible(ViewLabel::FileBytes, true);
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
  // Both files close here; a failure while closing is ignored.
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
}

// The existence test of a destination that could not be opened: a file
// (not a folder) of that path is there, or it could not be looked at for
// another reason than that nothing of that name exists.
bool VerifyEngine::DestinationIsThere(const std::string& dstPath) {
  const EntryLookup lookup = fileSystem_.LookUp(dstPath);
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
