#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ovik {

// An open folder descriptor, shared by whoever uses it and closed when the
// last user lets go, so that dropping it from a cache never pulls it away
// from a reader in another thread.
class FolderHandle {
 public:
  explicit FolderHandle(int fd) : fd_(fd) {}
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};
using FolderRef = std::shared_ptr<const FolderHandle>;

// Folder descriptors by path, so that the entries of a folder are listed,
// tested and opened relative to it rather than through the whole path.
// Nothing then depends on PATH_MAX, and a folder is looked up once, not
// once per entry. At most `capacity` folders stay open, the least recently
// used going first: a tree deeper than that reopens a folder from its
// parent when the walk comes back to it, so the depth of a tree never meets
// the limit of open files. A folder that cannot be opened is remembered
// with its error number. Safe to use from several threads.
class FolderHandles {
 public:
  explicit FolderHandles(std::size_t capacity = 64) : capacity_(capacity) {}

  // The folder `path` (empty: the root) opened for looking up its entries.
  // Null with the error number when it cannot be opened.
  FolderRef ForLookups(std::string_view path, int& error);
  // The folder `path` opened afresh for reading its entries; remembered for
  // lookups afterwards.
  FolderRef ForListing(const std::string& path, int& error);
  // Closes every folder that no caller still holds; the calling thread's
  // recent folder goes too, and other threads' are not used again.
  void Clear();

 private:
  struct Slot {
    FolderRef folder;
    int error = 0;
    std::list<std::string>::iterator age;
  };

  FolderRef Open(const std::string& path, int flags, int& error);
  const Slot* Find(const std::string& path);
  void Remember(const std::string& path, FolderRef folder, int error);

  // The two folders a thread looked up last, kept by the thread itself, so
  // that the files of one folder, and of its twin on the other side, are
  // opened without taking the lock.
  struct Recent {
    const FolderHandles* owner = nullptr;
    std::uint64_t generation = 0;
    std::string path;
    FolderRef folder;
    std::uint64_t lastUse = 0;
  };
  using RecentFolders = std::array<Recent, 2>;
  static RecentFolders& RecentOfThisThread();
  static inline thread_local std::uint64_t recentUses_ = 0;

  std::size_t capacity_;
  std::atomic<std::uint64_t> generation_{1};
  std::mutex mutex_;
  std::unordered_map<std::string, Slot> slots_;
  std::list<std::string> ages_;  // most recently used first
};

// Splits `path` at its last separator: `parent` is the text before it ("" for
// the root), `name` the text after it. False when `path` has no separator.
bool SplitLastComponent(const std::string& path, std::string& parent, std::string& name);

}  // namespace ovik
