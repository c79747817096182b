#include "platform/drives/FolderEntries.h"

#include "common/PathUtils.h"
#include "platform/drives/DrivesMountTable.h"

#include <dirent.h>

#include <algorithm>
#include <string_view>

namespace ovik {

namespace {

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

bool IsMountRoot(const std::string& path, const DriveSystem& system) {
  const std::string folder = path == "/" ? path : StripTrailingBackslash(path);
  const std::vector<MountRecord> mounts = ParseMountTable(system.MountTable());
  return folder == "/" ||
         std::any_of(mounts.begin(), mounts.end(), [&](const MountRecord& m) { return m.mountPoint == folder; });
}

}  // namespace

bool FolderHasEntries(const std::string& path, const DriveSystem& system) {
  if (path.empty()) return false;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return false;
  const bool dotsCount = !IsMountRoot(path, system);
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (dotsCount || !IsDotOrDotDot(entry->d_name)) {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace ovik
