#include "engine/VerifyEngine.h"

#include "common/OnScopeExit.h"
#include "engine/DisplayWaits.h"
#include "common/PathUtils.h"
#include "engine/FileDigest.h"
#include "engine/notes/NameNotes.h"
#include "engine/reading/TreeReading.h"
#include "engine/walk/Walk.h"

namespace ovik {

void VerifyEngine::StartWalk(const std::string& srcRoot, const std::string& dstRoot, FileSizes sizes,
                             bool readFiles) {
  auto walk = std::make_unique<Walk>(fileSystem_, srcRoot, readFiles ? std::optional(dstRoot) : std::nullopt, sizes,
                                     SubFolderFilter(includeHidden));
  // The digests are computed by the readers, so recording reads ahead.
  if (!readAhead && !recordSums) {
    walk_ = std::move(walk);
    return;
  }
  TreeReading::Settings settings;
  settings.limits = readAheadLimits;
  settings.dstRole = destinationReadRole;
  settings.blockSize = BlockSize;
  settings.readFiles = readFiles;
  settings.srcRoot = srcRoot;
  settings.dstRoot = dstRoot;
  settings.pinnedReaders = readers;
  if (readFiles && recordSums)
    settings.makeSourceDigest = [] { return std::make_unique<FileDigest>(DigestKind::Sha256); };
  treeReading_ = std::make_unique<TreeReading>(fileSystem_, std::move(walk), std::move(settings));
}

bool VerifyEngine::NextStep(WalkStep& step, std::shared_ptr<PairJob>& job) {
  if (AbortRequested) return false;
  if (walk_) return walk_->Next(step);
  DisplayWaits waits(*this);
  StepWindow::Entry entry;
  if (!treeReading_->Window().Take(entry, waits)) return false;
  step = std::move(entry.step);
  job = std::move(entry.job);
  return true;
}

void VerifyEngine::EndWalk() {
  if (treeReading_ && onReadingChosen) {
    const std::string chosen = treeReading_->Describe();
    if (!chosen.empty()) onReadingChosen(chosen);
  }
  treeReading_.reset();
  walk_.reset();
}

// The scan counts what the walk will compare: a folder's sub-folders are
// all scanned before its own files are counted. A folder that cannot be
// listed counts nothing; the destination walk reports it.
void VerifyEngine::ScanSource(const std::string& folder) {
  StartWalk(folder, "", FileSizes::Read, false);
  OnScopeExit endWalk([this] { EndWalk(); });
  scanListedRoot_ = true;
  WalkStep step;
  std::shared_ptr<PairJob> job;
  while (NextStep(step, job)) {
    switch (step.kind) {
      case WalkStep::Kind::FolderEntered:
        view_.Pump();
        break;
      case WalkStep::Kind::FolderUnlisted:
        if (step.flag) scanListedRoot_ = false;
        break;
      case WalkStep::Kind::SubFolder:
        ++totals.SrcFolderCount;
        display_.WriteCount(ViewLabel::NumSrcFolders, totals.SrcFolderCount);
        break;
      case WalkStep::Kind::File:
        totals.SrcFileCount += static_cast<std::int32_t>(step.files);
        display_.WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
        totals.SrcByteTotal += step.size;
        display_.WriteCount(ViewLabel::NumSrcBytes, totals.SrcByteTotal);
        break;
      case WalkStep::Kind::Line:
        break;
    }
  }
}

// The walk leaves a file's size to its open: the comparison checks the
// bytes it read against the length the file had when it was opened.
void VerifyEngine::VerifyFolder(const std::string& srcFolder, const std::string& dstFolder) {
  StartWalk(srcFolder, dstFolder, FileSizes::LeftToTheOpen, true);
  OnScopeExit endWalk([this] { EndWalk(); });
  WalkStep step;
  std::shared_ptr<PairJob> job;
  while (NextStep(step, job)) {
    switch (step.kind) {
      case WalkStep::Kind::FolderEntered:
        view_.Pump();
        break;
      case WalkStep::Kind::FolderUnlisted:
        // Its files were never compared: that must not pass for a good copy.
        // A root the scan could not list either ends in "No source files".
        if (!step.flag || scanListedRoot_) ReportUnlistableFolder(step.srcPath);
        break;
      case WalkStep::Kind::SubFolder:
        if (step.flag) {
          ++totals.DstFolderCount;
          display_.WriteCount(ViewLabel::NumDstFolders, totals.DstFolderCount);
        }
        break;
      case WalkStep::Kind::Line:
        display_.AddResultLine(step.line, RelativeName(step.srcPath) +
                                              (step.line == ResultKind::SpecialFileSkipped ? "" : "/"));
        break;
      case WalkStep::Kind::File: {
        // A file read by the readers gave its paths to its job.
        const std::string& srcPath = job ? job->srcPath : step.srcPath;
        const std::string& dstPath = job ? job->dstPath : step.dstPath;
        if (nameNotes_ && step.listing != namesFolder_) {
          namesFolder_ = step.listing;
          nameNotes_->EnterFolder(FolderOf(dstPath), step.listing->entries);
        }
        CompareFile(srcPath, dstPath, step.size, step.flag, job);
        break;
      }
    }
    job.reset();
  }
}

void VerifyEngine::ReportUnlistableFolder(const std::string& srcFolder) {
  display_.ReportError(ResultKind::SrcReadError, RelativeName(srcFolder) + "/", &totals.SrcReadErrorCount,
              ViewLabel::NumSrcReadErrs);
}

}  // namespace ovik
