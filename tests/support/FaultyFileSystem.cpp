#include "support/FaultyFileSystem.h"

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

 private:
  std::unique_ptr<ReadableFile> inner_;
  int failingBlock_;
  int error_;
  int blocksRead_ = 0;
};

}  // namespace

std::unique_ptr<DirectoryListing> FaultyFileSystem::List(const std::string& folder, std::uint32_t filter) {
  if (!throwingFolder_.empty() && folder == throwingFolder_) throw std::runtime_error("listing failed");
  return SystemFileSystem().List(folder, filter);
}

std::optional<DirEntry> FaultyFileSystem::FindEntry(const std::string& path, std::uint32_t filter) {
  return SystemFileSystem().FindEntry(path, filter);
}

OpenResult FaultyFileSystem::OpenForRead(const std::string& path, ReadRole role) {
  ++opens;
  if (auto failure = openFailures_.find(path); failure != openFailures_.end()) return {nullptr, failure->second};
  OpenResult opened = SystemFileSystem().OpenForRead(path, role);
  if (auto failure = readFailures_.find(path); opened.file && failure != readFailures_.end())
    opened.file = std::make_unique<FailingReadFile>(std::move(opened.file), failure->second.blockIndex,
                                                    failure->second.error);
  return opened;
}

}  // namespace ovik::testing
