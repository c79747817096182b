#include "support/FaultyFileSystem.h"

#include <cerrno>

namespace ovik::testing {
namespace {

class FailingReadFile final : public ReadableFile {
 public:
  FailingReadFile(std::unique_ptr<ReadableFile> inner, int failingBlock, int error)
      : inner_(std::move(inner)), failingBlock_(failingBlock), error_(error) {}

  std::int64_t ReadBlock(std::byte* buffer, std::size_t size, int& error) override {
    if (blocksRead_++ == failingBlock_) {
      error = error_;
      return -1;
    }
    return inner_->ReadBlock(buffer, size, error);
  }
  void TellWaits(WaitNotice* notice) override { inner_->TellWaits(notice); }

 private:
  std::unique_ptr<ReadableFile> inner_;
  int failingBlock_;
  int error_;
  int blocksRead_ = 0;
};

}  // namespace

bool FaultyFileSystem::Unreachable(const std::string& path, bool strictlyBelow) const {
  for (const std::string& folder : unreachable_) {
    if (!strictlyBelow && path == folder) return true;
    if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/')
      return true;
  }
  return false;
}

bool FaultyFileSystem::ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries,
                                   int& error) {
  if (!throwingFolder_.empty() && folder == throwingFolder_) throw std::runtime_error("listing failed");
  const auto failure = listingFailures_.find(folder);
  if (failure != listingFailures_.end() || Unreachable(folder, false)) {
    entries.clear();
    error = failure != listingFailures_.end() ? failure->second : EACCES;
    return false;
  }
  if (!SystemFileSystem().ListEntries(folder, sizes, entries, error)) return false;
  for (DirEntry& entry : entries) {
    if (!unreadEntries_.count(folder + "/" + entry.name)) continue;
    entry.attributes &= faDirectory | faHidden;
    entry.size = 0;
    entry.id = FileId{};
    entry.attributesRead = false;
  }
  return true;
}

EntryLookup FaultyFileSystem::LookUp(const std::string& path) {
  if (auto failure = lookUpFailures_.find(path); failure != lookUpFailures_.end()) return {std::nullopt, failure->second};
  if (Unreachable(path, true)) return {std::nullopt, EACCES};
  return SystemFileSystem().LookUp(path);
}

OpenResult FaultyFileSystem::OpenForRead(const std::string& path, ReadRole role) {
  ++opens;
  if (auto failure = openFailures_.find(path); failure != openFailures_.end()) return OpenFailure(failure->second);
  if (Unreachable(path, true)) return OpenFailure(EACCES);
  OpenResult opened = SystemFileSystem().OpenForRead(path, role);
  if (auto failure = readFailures_.find(path); opened.file && failure != readFailures_.end())
    opened.file = std::make_unique<FailingReadFile>(std::move(opened.file), failure->second.blockIndex,
                                                    failure->second.error);
  return opened;
}

}  // namespace ovik::testing
