#pragma once

#include "platform/files/FileSystem.h"

namespace ovik {

// Opens a regular file (after following symbolic links) for reading. Special
// files and folders are refused without being opened, so that a FIFO or a
// device can never block or flood the run.
OpenResult OpenRegularFileForRead(const std::string& path, ReadRole role);

}  // namespace ovik
