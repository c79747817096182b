#pragma once

#include "platform/drives/Drives.h"

#include <string>

namespace ovik {

// The value of an environment variable as the folder browser uses it: empty
// when the variable is not set, empty, or 255 characters or longer. The
// names "UserProfile" (the user's home folder) and "WinDir" (none on Linux)
// are mapped to their Linux meanings.
std::string GetEnvVar(const std::string& name, const DriveSystem& system = SystemDrives());

// The user's documents folder for the home folder `profile`:
// XDG_DOCUMENTS_DIR from the user-dirs.dirs file, else from the environment,
// else profile + "/Documents".
std::string DocumentsFolder(const std::string& profile, const DriveSystem& system = SystemDrives());

}  // namespace ovik
