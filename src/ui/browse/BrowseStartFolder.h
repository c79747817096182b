#pragma once

#include "platform/drives/Drives.h"

#include <string>

namespace ovik {

// The folder the browser opens on for a folder field holding `fieldText`:
// the field's folder when it lists entries, else the user's documents
// folder, else the home folder, else the root. Always ends with a separator.
std::string BrowseStartFolder(const std::string& fieldText, const DriveSystem& system);

}  // namespace ovik
