#include "support/media/FaultyFileSystem.h"

#include "common/PathUtils.h"

#include <cerrno>

namespace ovik::testing {
namespace {

// Any read that covers the failing byte fails, as a read that meets a bad
// sector does, whatever its size and wherever it starts.
class FailingReadFile final : public ReadableFile {
 public:
  FailingReadFile(std::shared_ptr<ReadableFile> inner, std::int64_t failingByte, int error)
      : inner_(std::move(inner)), failingByte_(failingByte), error_(error) {}

  std::int64_t ReadAt(std::byte* buffer, std::size_t size, std::int64_t offset, int& error) override {
    if (offset <= failingByte_ && failingByte_ < offset + static_cast<std::int64_t>(size)) {
      error = error_;
      return -1;
    }
    return inner_->ReadAt(buffer, size, offset, error);
  }
  void TellWaits(WaitNotice* notice) override { inner_->TellWaits(notice); }

 private:
  std::shared_ptr<ReadableFile> inner_;
  std::int64_t failingByte_;
  int error_;
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
  const bool injected = failure != listingFailures_.end() && failure->second.listingsLeft-- <= 0;
  if (injected || Unreachable(folder, false)) {
    entries.clear();
    error = injected ? failure->second.error : EACCES;
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

int FaultyFileSystem::OpenFailure(const std::string& path) const {
  if (auto failure = openFailures_.find(path); failure != openFailures_.end()) return failure->second;
  return Unreachable(path, true) ? EACCES : 0;
}

int FaultyFileSystem::LookUpFailure(const std::string& path) const {
  if (auto failure = lookUpFailures_.find(path); failure != lookUpFailures_.end()) return failure->second;
  return Unreachable(path, true) ? EACCES : 0;
}

EntryLookup FaultyFileSystem::LookUp(const std::string& path) {
  if (const int error = LookUpFailure(path)) return {std::nullopt, error};
  return SystemFileSystem().LookUp(path);
}

template <typename Open>
OpenResult FaultyFileSystem::OpenWithFaults(const std::string& path, const Open& open) {
  ++opens;
  if (const int error = OpenFailure(path)) return ovik::OpenFailure(error);
  OpenResult opened = open();
  if (auto failure = readFailures_.find(path); opened.file && failure != readFailures_.end())
    opened.file = std::make_shared<FailingReadFile>(std::move(opened.file), failure->second.failingByte,
                                                    failure->second.error);
  return opened;
}

OpenResult FaultyFileSystem::OpenForRead(const std::string& path, ReadRole role) {
  return OpenWithFaults(path, [&] { return SystemFileSystem().OpenForRead(path, role); });
}

OpenResult FaultyFileSystem::OpenListedFile(const std::string& path, ReadRole role) {
  return OpenWithFaults(path, [&] { return SystemFileSystem().OpenListedFile(path, role); });
}

OpenResult FaultyFileSystem::OpenList(const std::string& path) {
  return OpenWithFaults(path, [&] { return SystemFileSystem().OpenList(path); });
}

OpenResult FaultyFileSystem::OpenBeneath(const std::string& root, const std::string& relative, ReadRole role) {
  return OpenWithFaults(JoinPath(root, relative), [&] { return SystemFileSystem().OpenBeneath(root, relative, role); });
}

EntryLookup FaultyFileSystem::LookUpBeneath(const std::string& root, const std::string& relative) {
  if (const int error = LookUpFailure(JoinPath(root, relative))) return {std::nullopt, error};
  return SystemFileSystem().LookUpBeneath(root, relative);
}

}  // namespace ovik::testing
