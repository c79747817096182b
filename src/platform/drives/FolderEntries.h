#pragma once

#include "platform/drives/Drives.h"

#include <string>

namespace ovik {

// True when a listing of `path` yields an entry. "." and ".." count, so an
// existing folder passes even when empty, except at the root of a mounted
// file system: an empty medium (a blank disc, a fresh stick) does not pass,
// so that the browser does not open on it. False for an empty path and for
// a folder that cannot be listed.
bool FolderHasEntries(const std::string& path, const DriveSystem& system = SystemDrives());

}  // namespace ovik
