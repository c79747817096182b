#include "ui/browse/BrowseStartFolder.h"

#include "common/PathUtils.h"
#include "platform/EnvVar.h"
#include "platform/drives/FolderEntries.h"

namespace ovik {

namespace {

std::string ProfileCandidate(const DriveSystem& system) {
  const std::string profile = GetEnvVar("UserProfile", system);
  if (profile.empty()) return {};
  const std::string documents = DocumentsFolder(profile, system);
  return FolderHasEntries(documents, system) ? documents : profile;
}

}  // namespace

std::string BrowseStartFolder(const std::string& fieldText, const DriveSystem& system) {
  if (FolderHasEntries(fieldText, system)) return AddTrailingBackslash(fieldText);
  const std::string profile = ProfileCandidate(system);
  if (FolderHasEntries(profile, system)) return AddTrailingBackslash(profile);
  // The root is the last resort, used without a test.
  return std::string(1, kPathSeparator);
}

}  // namespace ovik
