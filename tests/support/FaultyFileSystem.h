#pragma once

#include "platform/files/FileSystem.h"

#include <map>
#include <stdexcept>
#include <string>

namespace ovik::testing {

// The machine's file system with failures injected by path: chosen opens fail
// with a chosen error number, chosen files fail a read at a chosen block.
class FaultyFileSystem final : public FileSystem {
 public:
  std::unique_ptr<DirectoryListing> List(const std::string& folder, std::uint32_t filter) override;
  std::optional<DirEntry> FindEntry(const std::string& path, std::uint32_t filter) override;
  OpenResult OpenForRead(const std::string& path, ReadRole role) override;

  void FailOpen(const std::string& path, int error) { openFailures_[path] = error; }
  // The read of block `blockIndex` (0-based) fails with `error`; earlier
  // blocks are read normally.
  void FailRead(const std::string& path, int blockIndex, int error) { readFailures_[path] = {blockIndex, error}; }
  // Listing this folder throws, as an unexpected failure would.
  void ThrowWhenListing(const std::string& folder) { throwingFolder_ = folder; }

  int opens = 0;

 private:
  struct ReadFailure {
    int blockIndex;
    int error;
  };
  std::map<std::string, int> openFailures_;
  std::map<std::string, ReadFailure> readFailures_;
  std::string throwingFolder_;
};

}  // namespace ovik::testing
