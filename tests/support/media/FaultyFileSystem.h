#pragma once

#include "engine/VerifyEngine.h"
#include "platform/files/FileSystem.h"

#include <atomic>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

namespace ovik::testing {

// The machine's file system with failures injected by path: chosen opens,
// listings and lookups fail with a chosen error number, chosen entries come
// out of their folder's listing without attributes, chosen files fail every
// read that covers a chosen block's first byte.
class FaultyFileSystem final : public FileSystem {
 public:
  bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries, int& error) override;
  EntryLookup LookUp(const std::string& path) override;
  OpenResult OpenForRead(const std::string& path, ReadRole role) override;
  OpenResult OpenListedFile(const std::string& path, ReadRole role) override;
  // Injected by the joined path; otherwise confined as the machine's are.
  OpenResult OpenBeneath(const std::string& root, const std::string& relative, ReadRole role) override;
  OpenResult OpenList(const std::string& path) override;
  EntryLookup LookUpBeneath(const std::string& root, const std::string& relative) override;
  void ReleaseFolders() override { SystemFileSystem().ReleaseFolders(); }
  // The rules given, or else the machine's.
  NameRules DescribeNames(const std::string& folder) override {
    ++namesDescribed;
    return nameRules_ ? *nameRules_ : SystemFileSystem().DescribeNames(folder);
  }

  void FailOpen(const std::string& path, int error) { openFailures_[path] = error; }
  // Reads of block `blockIndex` (0-based, of the comparison's block size)
  // fail with `error`; earlier blocks are read normally.
  void FailRead(const std::string& path, int blockIndex, int error) {
    readFailures_[path] = {std::int64_t{blockIndex} * static_cast<std::int64_t>(BlockSize), error};
  }
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
  // Every folder takes names as `rules` say.
  void UseNameRules(const NameRules& rules) { nameRules_ = rules; }
  // Listing this folder throws, as an unexpected failure would.
  void ThrowWhenListing(const std::string& folder) { throwingFolder_ = folder; }

  std::atomic<int> opens{0};
  std::atomic<int> namesDescribed{0};

 private:
  // The error an open of `path` meets by injection; 0 for none.
  int OpenFailure(const std::string& path) const;
  int LookUpFailure(const std::string& path) const;
  template <typename Open>
  OpenResult OpenWithFaults(const std::string& path, const Open& open);

  // True when `path` lies below an unreachable folder, or is one itself
  // unless `strictlyBelow`.
  bool Unreachable(const std::string& path, bool strictlyBelow) const;

  struct ReadFailure {
    std::int64_t failingByte;
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
  std::optional<NameRules> nameRules_;
};

}  // namespace ovik::testing
