#include "engine/VerifyEngine.h"

#include "common/PathUtils.h"
#include "engine/NameNotes.h"
#include "engine/WalkLookahead.h"

namespace ovik {

bool VerifyEngine::IsOnWalkedPath(const DirEntry& entry) const { return IsOnPath(entry, walkedPath_); }

ListingRef VerifyEngine::WalkListing(const std::string& folder) {
  // The walk leaves a file's size to its open: the comparison checks the
  // bytes it read against the length the file had when it was opened.
  return lookahead_ ? lookahead_->ListingFor(folder) : ListFolder(folder, FileSizes::LeftToTheOpen);
}

void VerifyEngine::ScanSource(const std::string& folder) {
  view_.Pump();
  if (AbortRequested) return;

  // A folder that cannot be listed counts nothing; the walk reports it.
  const ListingRef listing = ListFolder(folder, FileSizes::Read);
  if (AbortRequested) return;
  const std::vector<DirEntry>& entries = listing->entries;
  if (folder.size() == static_cast<std::size_t>(SourceRootLength)) scanListedRoot_ = listing->listed;

  const std::uint32_t subFolderFilter = SubFolderFilter(includeHidden);
  for (const DirEntry& entry : entries) {
    if (IsSubFolder(entry, subFolderFilter) && !IsOnWalkedPath(entry)) {
      ++totals.SrcFolderCount;
      display_.WriteCount(ViewLabel::NumSrcFolders, totals.SrcFolderCount);
      walkedPath_.push_back(entry.id);
      ScanSource(JoinPath(folder, entry.name));
      walkedPath_.pop_back();
    }
    if (AbortRequested) break;
  }
  if (AbortRequested) return;

  for (const DirEntry& entry : entries) {
    if (!IsFile(entry)) continue;
    ++totals.SrcFileCount;
    display_.WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
    totals.SrcByteTotal += entry.size;
    display_.WriteCount(ViewLabel::NumSrcBytes, totals.SrcByteTotal);
    if (AbortRequested) break;
  }
}

void VerifyEngine::VerifyFolder(const std::string& srcFolder, const std::string& dstFolder) {
  view_.Pump();
  if (AbortRequested) return;

  const ListingRef listing = WalkListing(srcFolder);
  if (AbortRequested) return;
  const std::vector<DirEntry>& entries = listing->entries;
  if (!listing->listed) {
    // Its files were never compared: that must not pass for a good copy.
    // A root the scan could not list either ends in "No source files".
    const bool isRoot = srcFolder.size() == static_cast<std::size_t>(SourceRootLength);
    if (!isRoot || scanListedRoot_) ReportUnlistableFolder(srcFolder);
    return;
  }

  const std::uint32_t subFolderFilter = SubFolderFilter(includeHidden);
  const auto isWalked = [&](const DirEntry& entry) {
    return IsSubFolder(entry, subFolderFilter) && !IsOnWalkedPath(entry);
  };
  // The destination's twins of the sub-folders, looked up in one call.
  std::vector<std::string> dstSubs;
  for (const DirEntry& entry : entries)
    if (isWalked(entry)) dstSubs.push_back(JoinPath(dstFolder, entry.name));
  const std::vector<char> dstSubExists = PathsExist(dstSubs);
  if (AbortRequested) return;

  std::size_t subIndex = 0;
  for (const DirEntry& entry : entries) {
    if (isWalked(entry)) {
      const std::string& dstSub = dstSubs[subIndex];
      const bool dstSubThere = dstSubExists[subIndex++] != 0;
      if (dstSubThere) {
        ++totals.DstFolderCount;
        display_.WriteCount(ViewLabel::NumDstFolders, totals.DstFolderCount);
      }
      const std::string srcSub = JoinPath(srcFolder, entry.name);
      const std::uint64_t filesBefore = filesWalked_;
      const bool topMissing = !dstSubThere && !insideMissingFolder_;
      if (topMissing) insideMissingFolder_ = true;
      walkedPath_.push_back(entry.id);
      VerifyFolder(srcSub, dstSub);
      walkedPath_.pop_back();
      if (topMissing) insideMissingFolder_ = false;
      // Its files would each have said so; a folder with none says it itself,
      // once for the folders below it.
      if (topMissing && filesWalked_ == filesBefore && !AbortRequested)
        display_.AddResultLine(ResultKind::FolderMissing, RelativeName(srcSub) + "/");
    } else if (const std::optional<ResultKind> skipped = SkippedFolderKind(entry, subFolderFilter)) {
      // Named, so that nothing is left out in silence; nothing in it is looked at.
      display_.AddResultLine(*skipped, RelativeName(JoinPath(srcFolder, entry.name)) + "/");
    } else if (IsFolderAbove(entry, subFolderFilter, walkedPath_)) {
      display_.AddResultLine(ResultKind::LinkToFolderAboveSkipped, RelativeName(JoinPath(srcFolder, entry.name)) + "/");
    } else if (IsSpecialFile(entry)) {
      display_.AddResultLine(ResultKind::SpecialFileSkipped, RelativeName(JoinPath(srcFolder, entry.name)));
    }
    if (AbortRequested) break;
  }
  if (AbortRequested) return;

  if (nameNotes_) nameNotes_->EnterFolder(dstFolder, entries);
  for (const DirEntry& entry : entries) {
    if (!IsFile(entry)) continue;
    ++filesWalked_;
    CompareFile(JoinPath(srcFolder, entry.name), JoinPath(dstFolder, entry.name), entry.size,
                entry.attributesRead);
    if (AbortRequested) break;
  }
}

void VerifyEngine::ReportUnlistableFolder(const std::string& srcFolder) {
  display_.ReportError(ResultKind::SrcReadError, RelativeName(srcFolder) + "/", &totals.SrcReadErrorCount,
              ViewLabel::NumSrcReadErrs);
}

}  // namespace ovik
