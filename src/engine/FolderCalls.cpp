#include "engine/VerifyEngine.h"

#include "engine/BlockingCalls.h"
#include "engine/DisplayWaits.h"

namespace ovik {

bool VerifyEngine::CallAside(std::function<void()> call) {
  if (!blockingCalls_) {
    call();
    return true;
  }
  if (AbortRequested) return false;
  DisplayWaits waits(*this);
  return blockingCalls_->Run(std::move(call), waits);
}

ListingRef VerifyEngine::ListFolder(const std::string& folder, FileSizes sizes) {
  auto listing = std::make_shared<FolderListing>();
  FileSystem& fileSystem = fileSystem_;
  // The call fills a listing of its own: one given up on fills it for nobody.
  const bool listed = CallAside([&fileSystem, listing, folder, sizes] {
    int error = 0;
    listing->listed = fileSystem.ListEntries(folder, sizes, listing->entries, error);
  });
  return listed ? listing : std::make_shared<FolderListing>();
}

std::optional<DirEntry> VerifyEngine::LookUpEntry(const std::string& path) {
  auto entry = std::make_shared<std::optional<DirEntry>>();
  FileSystem& fileSystem = fileSystem_;
  if (!CallAside([&fileSystem, entry, path] { *entry = FindEntry(fileSystem, path, kAnythingFilter); })) return {};
  return *entry;
}

std::vector<char> VerifyEngine::PathsExist(const std::vector<std::string>& paths) {
  if (paths.empty()) return {};
  auto exists = std::make_shared<std::vector<char>>(paths.size(), 0);
  FileSystem& fileSystem = fileSystem_;
  const bool lookedUp = CallAside([&fileSystem, exists, paths] {
    for (std::size_t i = 0; i < paths.size(); ++i)
      (*exists)[i] = FindEntry(fileSystem, paths[i], kAnythingFilter).has_value();
  });
  return lookedUp ? *exists : std::vector<char>(paths.size(), 0);
}

}  // namespace ovik
