#pragma once

#include "platform/files/FileSystem.h"

#include <atomic>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

namespace ovik::testing {

// The machine's file system with failures injected by path: chosen opens,
// listings and lookups fail with a chosen error number, chosen entries come
// out of their folder's listing without attributes, chosen files fail a read
// at a chosen block.
class FaultyFileSystem final : public FileSystem {
 public:
  bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries, int& error) override;
  EntryLookup LookUp(const std::string& path) override;
  OpenResult OpenForRead(const std::string& path, ReadRole role) override;
  void ReleaseFolders() override { SystemFileSystem().ReleaseFolders(); }
  // The machine's batched reads, with the same failures injected.
  std::unique_ptr<AsyncReads> StartAsyncReads(std::size_t files) override;

  void FailOpen(const std::string& path, int error) { openFailures_[path] = error; }
  // The read of block `blockIndex` (0-based) fails with `error`; earlier
  // blocks are read normally.
  void FailRead(const std::string& path, int blockIndex, int error) { readFailures_[path] = {blockIndex, error}; }
  // Listing the folder fails, once it has been listed `listedFirst` times.
  void FailListing(const std::string& folder, int error, int listedFirst = 0) {
    listingFailures_[folder] = {listedFirst, error};
  }
  void FailLookUp(const std::string& path, int error) { lookUpFailures_[path] = error; }
  // The folder and everything below it behave as a folder without any
  // permission: it cannot be listed, nothing in it can be looked up or opened.
  void MakeUnreachable(const std::string& folder) { unreachable_.insert(folder); }
  // The entry is listed with what its name tells, as when its attributes
  // cannot be read.
  void HideAttributes(const std::string& path) { unreadEntries_.insert(path); }
  // Listing this folder throws, as an unexpected failure would.
  void ThrowWhenListing(const std::string& folder) { throwingFolder_ = folder; }

  std::atomic<int> opens{0};

 private:
  class FaultyAsyncReads;
  // The error an open of `path` meets by injection; 0 for none.
  int OpenFailure(const std::string& path) const;
  int LookUpFailure(const std::string& path) const;
  // The error the read of block `blockIndex` of `path` meets; 0 for none.
  int InjectedReadError(const std::string& path, int blockIndex) const;

  // True when `path` lies below an unreachable folder, or is one itself
  // unless `strictlyBelow`.
  bool Unreachable(const std::string& path, bool strictlyBelow) const;

  struct ReadFailure {
    int blockIndex;
    int error;
  };
  struct ListingFailure {
    int listingsLeft;  // that still work
    int error;
  };
  std::map<std::string, int> openFailures_;
  std::map<std::string, ReadFailure> readFailures_;
  std::map<std::string, ListingFailure> listingFailures_;
  std::map<std::string, int> lookUpFailures_;
  std::set<std::string> unreadEntries_;
  std::set<std::string> unreachable_;
  std::string throwingFolder_;
};

}  // namespace ovik::testing
