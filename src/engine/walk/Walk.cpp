#include "engine/walk/Walk.h"

#include "common/PathUtils.h"

#include <algorithm>
#include <mutex>
#include <string_view>
#include <unordered_set>

namespace ovik {
namespace {

WalkStep StepOf(WalkStep::Kind kind, std::string srcPath, bool flag = false) {
  WalkStep step;
  step.kind = kind;
  step.srcPath = std::move(srcPath);
  step.flag = flag;
  return step;
}

}  // namespace

ListingRef ListFolderNow(FileSystem& fileSystem, const std::string& folder, FileSizes sizes) {
  auto listing = std::make_shared<FolderListing>();
  int error = 0;
  listing->listed = fileSystem.ListEntries(folder, sizes, listing->entries, error);
  return listing;
}

// A root given as "" is the root of the file system ("/").
Walk::Walk(FileSystem& fileSystem, std::string srcRoot, std::optional<std::string> dstRoot, FileSizes sizes,
           std::uint32_t subFolderFilter)
    : fileSystem_(fileSystem),
      srcRoot_(std::move(srcRoot)),
      dstRoot_(dstRoot.value_or("")),
      withDestination_(dstRoot.has_value()),
      sizes_(sizes),
      subFolderFilter_(subFolderFilter) {}

bool Walk::IsWalked(const DirEntry& entry) const { return IsSubFolder(entry, subFolderFilter_) && !IsOnPath(entry, path_); }

bool Walk::Next(WalkStep& step) {
  if (!started_) {
    started_ = true;
    std::unique_lock alone = headLock_ ? std::unique_lock(*headLock_) : std::unique_lock<std::shared_mutex>();
    const auto root = FindEntry(fileSystem_, srcRoot_.empty() ? "/" : srcRoot_, kAnythingFilter);
    path_.assign(1, root ? root->id : FileId{});
    folders_.emplace_back().src = srcRoot_;
    folders_.back().dst = dstRoot_;
  }
  while (!folders_.empty()) {
    Folder& top = folders_.back();
    if (!top.entered) {
      top.entered = true;
      step = StepOf(WalkStep::Kind::FolderEntered, top.src);
      return true;
    }
    if (!top.listing && !ListTop()) {
      step = StepOf(WalkStep::Kind::FolderUnlisted, top.src, folders_.size() == 1);
      return true;
    }
    if (top.listing->listed) {
      // Going into a sub-folder adds to `folders_`: `top` is not used after.
      if (!top.filesPass && NextOfEntries(top, step)) return true;
      top.filesPass = true;
      if (NextFile(top, step)) return true;
    }
    bool stepped = false;
    Leave(step, stepped);
    if (stepped) return true;
  }
  return false;
}

bool Walk::ListTop() {
  Folder& top = folders_.back();
  std::unique_lock alone = headLock_ ? std::unique_lock(*headLock_) : std::unique_lock<std::shared_mutex>();
  top.listing = ListFolderNow(fileSystem_, top.src, sizes_);
  if (!top.listing->listed) return false;
  // The destination's twins of the sub-folders, looked up together.
  if (withDestination_) {
    std::vector<std::string> names;
    for (const DirEntry& entry : top.listing->entries)
      if (IsWalked(entry)) names.push_back(entry.name);
    if (names.size() > 1 && !insideMissing_ && onTheHead_ && onTheHead_()) fileSystem_.ReadEntriesAhead(top.dst, names);
    for (const std::string& name : names)
      top.dstSubThere.push_back(FindEntry(fileSystem_, JoinPath(top.dst, name), kAnythingFilter) ? 1 : 0);
    if (!insideMissing_) ListDestinationFiles(top);
  }
  return true;
}

// A folder with more than one file has its destination twin listed, so
// that each file the listing names a regular file there is opened without
// being looked up by its name first: from two files on, the listing costs
// less than the lookups it saves.
void Walk::ListDestinationFiles(Folder& folder) {
  constexpr std::ptrdiff_t kFilesWorthAListing = 2;
  const std::vector<DirEntry>& entries = folder.listing->entries;
  if (std::count_if(entries.begin(), entries.end(), IsFile) < kFilesWorthAListing) return;
  std::vector<std::string> names;
  if (!fileSystem_.ListFileNames(folder.dst, names)) return;
  const std::unordered_set<std::string_view> listed(names.begin(), names.end());
  folder.dstListsFile.reserve(entries.size());
  for (const DirEntry& entry : entries) folder.dstListsFile.push_back(listed.count(entry.name) != 0 ? 1 : 0);
}

bool Walk::NextOfEntries(Folder& folder, WalkStep& step) {
  const std::vector<DirEntry>& entries = folder.listing->entries;
  while (folder.nextEntry < entries.size()) {
    const DirEntry& entry = entries[folder.nextEntry++];
    if (IsWalked(entry)) {
      Folder sub;
      sub.src = JoinPath(folder.src, entry.name);
      if (withDestination_) sub.dst = JoinPath(folder.dst, entry.name);
      const bool dstThere = withDestination_ && folder.dstSubThere[folder.nextSub++] != 0;
      sub.topMissing = withDestination_ && !dstThere && !insideMissing_;
      if (sub.topMissing) insideMissing_ = true;
      sub.filesBefore = filesFound_;
      step = StepOf(WalkStep::Kind::SubFolder, sub.src, dstThere);
      path_.push_back(entry.id);
      folders_.push_back(std::move(sub));
      return true;
    }
    if (!withDestination_) continue;
    if (const std::optional<ResultKind> skipped = SkippedFolderKind(entry, subFolderFilter_)) {
      // Named, so that nothing is left out in silence; nothing in it is looked at.
      step = StepOf(WalkStep::Kind::Line, JoinPath(folder.src, entry.name));
      step.line = *skipped;
      return true;
    }
    if (IsFolderAbove(entry, subFolderFilter_, path_)) {
      step = StepOf(WalkStep::Kind::Line, JoinPath(folder.src, entry.name));
      step.line = ResultKind::LinkToFolderAboveSkipped;
      return true;
    }
    if (IsSpecialFile(entry)) {
      step = StepOf(WalkStep::Kind::Line, JoinPath(folder.src, entry.name));
      step.line = ResultKind::SpecialFileSkipped;
      return true;
    }
  }
  return false;
}

bool Walk::NextFile(Folder& folder, WalkStep& step) {
  if (!withDestination_) return CountFiles(folder, step);
  const std::vector<DirEntry>& entries = folder.listing->entries;
  while (folder.nextFile < entries.size()) {
    const DirEntry& entry = entries[folder.nextFile++];
    if (!IsFile(entry)) continue;
    ++filesFound_;
    step = StepOf(WalkStep::Kind::File, JoinPath(folder.src, entry.name), entry.attributesRead);
    step.size = entry.size;
    step.inode = entry.id.inode;
    step.listing = folder.listing;
    step.dstPath = JoinPath(folder.dst, entry.name);
    step.dstListed = !folder.dstListsFile.empty() && folder.dstListsFile[folder.nextFile - 1] != 0;
    return true;
  }
  return false;
}

// The scan needs no more of a folder's files than how many there are and
// their bytes: one step says it for all of them.
bool Walk::CountFiles(Folder& folder, WalkStep& step) {
  const std::vector<DirEntry>& entries = folder.listing->entries;
  std::uint64_t files = 0;
  std::int64_t bytes = 0;
  for (; folder.nextFile < entries.size(); ++folder.nextFile) {
    if (!IsFile(entries[folder.nextFile])) continue;
    ++files;
    bytes += entries[folder.nextFile].size;
  }
  if (files == 0) return false;
  filesFound_ += files;
  step = StepOf(WalkStep::Kind::File, folder.src);
  step.files = files;
  step.size = bytes;
  return true;
}

// A folder missing in the destination whose files would each have said so;
// one with none says it itself, once for the folders below it.
void Walk::Leave(WalkStep& step, bool& stepped) {
  const Folder done = std::move(folders_.back());
  folders_.pop_back();
  path_.pop_back();
  if (!done.topMissing) return;
  insideMissing_ = false;
  if (filesFound_ != done.filesBefore) return;
  step = StepOf(WalkStep::Kind::Line, done.src);
  step.line = ResultKind::FolderMissing;
  stepped = true;
}

}  // namespace ovik
