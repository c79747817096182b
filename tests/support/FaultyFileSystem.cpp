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

int FaultyFileSystem::InjectedReadError(const std::string& path, int blockIndex) const {
  const auto failure = readFailures_.find(path);
  return failure != readFailures_.end() && failure->second.blockIndex == blockIndex ? failure->second.error : 0;
}

EntryLookup FaultyFileSystem::LookUp(const std::string& path) {
  if (const int error = LookUpFailure(path)) return {std::nullopt, error};
  return SystemFileSystem().LookUp(path);
}

OpenResult FaultyFileSystem::OpenForRead(const std::string& path, ReadRole role) {
  ++opens;
  if (const int error = OpenFailure(path)) return ovik::OpenFailure(error);
  OpenResult opened = SystemFileSystem().OpenForRead(path, role);
  if (auto failure = readFailures_.find(path); opened.file && failure != readFailures_.end())
    opened.file = std::make_unique<FailingReadFile>(std::move(opened.file), failure->second.blockIndex,
                                                    failure->second.error);
  return opened;
}

// Batched reads with the failures injected where a file is looked at,
// opened and read, so that reading ahead in rings meets them as readers do.
class FaultyFileSystem::FaultyAsyncReads final : public AsyncReads {
 public:
  FaultyAsyncReads(FaultyFileSystem& faults, std::unique_ptr<AsyncReads> inner, std::size_t slots)
      : faults_(faults), inner_(std::move(inner)), slots_(slots) {}

  void LookAt(int slot, const std::string& path, std::uint64_t tag) override {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s = Slot{path};
    if (const int error = faults_.LookUpFailure(path)) {
      s.lookFailed = true;
      return Inject(tag, -error);
    }
    inner_->LookAt(slot, path, tag);
  }
  const FileFacts& Facts(int slot) const override {
    static const FileFacts none;
    return slots_[static_cast<std::size_t>(slot)].lookFailed ? none : inner_->Facts(slot);
  }
  void OpenAndRead(int slot, const std::string& path, ReadRole role, std::byte* buffer, std::size_t size,
                   std::uint64_t openTag, std::uint64_t readTag) override {
    ++faults_.opens;
    if (const int error = faults_.OpenFailure(path)) {
      Inject(openTag, -error);
      return Inject(readTag, -ECANCELED);
    }
    reads_[readTag] = slot;
    inner_->OpenAndRead(slot, path, role, buffer, size, openTag, readTag);
  }
  void Read(int slot, std::byte* buffer, std::size_t size, std::int64_t offset, std::uint64_t tag) override {
    reads_[tag] = slot;
    inner_->Read(slot, buffer, size, offset, tag);
  }
  void Close(int slot, ReadRole role, std::uint64_t tag) override { inner_->Close(slot, role, tag); }
  void Collect(std::vector<Completion>& completions, bool wait) override {
    const std::size_t first = completions.size();
    completions.insert(completions.end(), injected_.begin(), injected_.end());
    inner_->Collect(completions, wait && injected_.empty());
    injected_.clear();
    for (std::size_t i = first; i < completions.size(); ++i) FailReadWhereInjected(completions[i]);
  }
  void Wake() override { inner_->Wake(); }

 private:
  struct Slot {
    std::string path;
    bool lookFailed = false;
    int blocksRead = 0;
  };

  void Inject(std::uint64_t tag, std::int64_t result) { injected_.push_back({tag, result}); }

  void FailReadWhereInjected(Completion& done) {
    const auto read = reads_.find(done.tag);
    if (read == reads_.end()) return;
    Slot& s = slots_[static_cast<std::size_t>(read->second)];
    reads_.erase(read);
    if (done.result < 0) return;
    if (const int error = faults_.InjectedReadError(s.path, s.blocksRead)) done.result = -error;
    ++s.blocksRead;
  }

  FaultyFileSystem& faults_;
  std::unique_ptr<AsyncReads> inner_;
  std::vector<Slot> slots_;
  std::map<std::uint64_t, int> reads_;  // read tags in flight, by slot
  std::vector<Completion> injected_;
};

std::unique_ptr<AsyncReads> FaultyFileSystem::StartAsyncReads(std::size_t files) {
  std::unique_ptr<AsyncReads> inner = SystemFileSystem().StartAsyncReads(files);
  if (!inner) return nullptr;
  return std::make_unique<FaultyAsyncReads>(*this, std::move(inner), files);
}

}  // namespace ovik::testing
