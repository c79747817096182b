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

}  // namespace ovik
