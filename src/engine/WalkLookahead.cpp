#include "engine/WalkLookahead.h"

#include "common/PathUtils.h"

namespace ovik {

ListingRef ListFolderNow(FileSystem& fileSystem, const std::string& folder, FileSizes sizes) {
  auto listing = std::make_shared<FolderListing>();
  int error = 0;
  listing->listed = fileSystem.ListEntries(folder, sizes, listing->entries, error);
  return listing;
}

WalkLookahead::WalkLookahead(FileSystem& fileSystem, const std::string& srcRoot, const std::string& dstRoot,
                             const FileId& rootId, std::uint32_t subFolderFilter, std::size_t listingsAhead)
    : WalkLookahead([&fileSystem](const std::string& folder) {
        return ListFolderNow(fileSystem, folder, FileSizes::LeftToTheOpen);
      }, srcRoot, dstRoot, rootId, subFolderFilter, listingsAhead) {}

WalkLookahead::WalkLookahead(FolderLister list, const std::string& srcRoot, const std::string& dstRoot,
                             const FileId& rootId, std::uint32_t subFolderFilter, std::size_t listingsAhead)
    : list_(std::move(list)), subFolderFilter_(subFolderFilter), listingsAhead_(listingsAhead) {
  stack_.push_back(Frame{srcRoot, dstRoot, rootId, nullptr});
  path_.push_back(rootId);
}

ListingRef WalkLookahead::ListTop() {
  Frame& top = stack_.back();
  top.listing = list_(top.src);
  return top.listing;
}

bool WalkLookahead::Step(std::string* srcPath, std::string* dstPath) {
  Frame& top = stack_.back();
  const std::vector<DirEntry>& entries = top.listing->entries;
  while (!top.foldersDone && top.nextFolder < entries.size()) {
    const DirEntry& entry = entries[top.nextFolder++];
    if (IsSubFolder(entry, subFolderFilter_) && !IsOnPath(entry, path_)) {
      Frame sub{JoinPath(top.src, entry.name), JoinPath(top.dst, entry.name), entry.id, nullptr};
      stack_.push_back(std::move(sub));
      path_.push_back(entry.id);
      return false;
    }
  }
  top.foldersDone = true;
  while (top.nextFile < entries.size()) {
    const DirEntry& entry = entries[top.nextFile++];
    // A file whose attributes could not be read is never opened.
    if (IsFile(entry) && entry.attributesRead) {
      *srcPath = JoinPath(top.src, entry.name);
      *dstPath = JoinPath(top.dst, entry.name);
      return true;
    }
  }
  stack_.pop_back();
  path_.pop_back();
  return false;
}

bool WalkLookahead::NextFile(std::string& srcPath, std::string& dstPath) {
  while (!lost_ && !stack_.empty()) {
    if (!stack_.back().listing) {
      if (ahead_.size() >= listingsAhead_) return false;
      ahead_.emplace(stack_.back().src, ListTop());
    }
    if (!stack_.back().listing->listed) {
      stack_.pop_back();
      path_.pop_back();
      continue;
    }
    if (Step(&srcPath, &dstPath)) return true;
  }
  return false;
}

ListingRef WalkLookahead::ListingFor(const std::string& folder) {
  if (const auto found = ahead_.find(folder); found != ahead_.end()) {
    ListingRef listing = std::move(found->second);
    ahead_.erase(found);
    return listing;
  }
  // The walk has caught up: the files passed on the way it has compared
  // already, without reading ahead.
  std::string skipped;
  while (!lost_ && !stack_.empty()) {
    Frame& top = stack_.back();
    if (!top.listing) {
      if (top.src == folder) return ListTop();
      break;
    }
    if (!top.listing->listed) {
      stack_.pop_back();
      path_.pop_back();
      continue;
    }
    Step(&skipped, &skipped);
  }
  lost_ = true;
  return list_(folder);
}

}  // namespace ovik
