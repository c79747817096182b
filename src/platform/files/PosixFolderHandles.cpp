#include "platform/files/PosixFolderHandles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace ovik {

FolderHandle::~FolderHandle() { close(fd_); }

bool SplitLastComponent(const std::string& path, std::string& parent, std::string& name) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return false;
  parent.assign(path, 0, slash);
  name.assign(path, slash + 1);
  return true;
}

namespace {

constexpr int kLookupFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
constexpr int kListingFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

FolderRef Adopt(int fd, int& error) {
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  error = 0;
  return std::make_shared<const FolderHandle>(fd);
}

}  // namespace

const FolderHandles::Slot* FolderHandles::Find(const std::string& path) {
  const auto found = slots_.find(path);
  if (found == slots_.end()) return nullptr;
  ages_.splice(ages_.begin(), ages_, found->second.age);
  return &found->second;
}

void FolderHandles::Remember(const std::string& path, FolderRef folder, int error) {
  if (const auto found = slots_.find(path); found != slots_.end()) {
    found->second.folder = std::move(folder);
    found->second.error = error;
    ages_.splice(ages_.begin(), ages_, found->second.age);
    return;
  }
  ages_.push_front(path);
  slots_.emplace(path, Slot{std::move(folder), error, ages_.begin()});
  while (slots_.size() > capacity_) {
    slots_.erase(ages_.back());
    ages_.pop_back();
  }
}

// Opens `path` relative to its parent when the parent is at hand, by the
// whole path when that is short enough for the system, and otherwise
// relative to its parent opened first the same way.
FolderRef FolderHandles::Open(const std::string& path, int flags, int& error) {
  if (path.empty()) return Adopt(open("/", flags), error);
  std::string parent;
  std::string name;
  if (!SplitLastComponent(path, parent, name)) return Adopt(open(path.c_str(), flags), error);
  if (name.empty()) {
    // A trailing or doubled separator names the folder before it.
    if (parent.empty()) return Adopt(open("/", flags), error);
    return Open(parent, flags, error);
  }
  FolderRef parentFolder;
  if (const Slot* known = Find(parent)) {
    if (!known->folder) {
      error = known->error;
      return nullptr;
    }
    parentFolder = known->folder;
  } else if (path.size() < PATH_MAX) {
    return Adopt(open(path.c_str(), flags), error);
  } else {
    parentFolder = Open(parent, kLookupFlags, error);
    Remember(parent, parentFolder, error);
    if (!parentFolder) return nullptr;
  }
  return Adopt(openat(parentFolder->fd(), name.c_str(), flags), error);
}

FolderHandles::RecentFolders& FolderHandles::RecentOfThisThread() {
  thread_local RecentFolders recent;
  return recent;
}

FolderRef FolderHandles::ForLookups(std::string_view path, int& error) {
  RecentFolders& recent = RecentOfThisThread();
  const std::uint64_t generation = generation_.load(std::memory_order_acquire);
  for (Recent& known : recent) {
    if (known.owner == this && known.generation == generation && known.path == path) {
      known.lastUse = ++recentUses_;
      error = 0;
      return known.folder;
    }
  }
  FolderRef folder;
  const std::string key(path);
  {
    std::lock_guard lock(mutex_);
    if (const Slot* known = Find(key)) {
      error = known->error;
      folder = known->folder;
    } else {
      folder = Open(key, kLookupFlags, error);
      Remember(key, folder, error);
    }
  }
  if (folder) {
    Recent& oldest = recent[0].lastUse <= recent[1].lastUse ? recent[0] : recent[1];
    oldest.owner = this;
    oldest.generation = generation;
    oldest.path = path;
    oldest.folder = folder;
    oldest.lastUse = ++recentUses_;
  }
  return folder;
}

FolderRef FolderHandles::ForListing(const std::string& path, int& error) {
  std::lock_guard lock(mutex_);
  FolderRef folder = Open(path, kListingFlags, error);
  // A folder that can be searched but not read still serves lookups; only
  // a listing that worked replaces what is known.
  if (folder) Remember(path, folder, 0);
  return folder;
}

void FolderHandles::Clear() {
  generation_.fetch_add(1, std::memory_order_acq_rel);
  for (Recent& known : RecentOfThisThread())
    if (known.owner == this) known = Recent{};
  std::lock_guard lock(mutex_);
  slots_.clear();
  ages_.clear();
}

}  // namespace ovik
