#pragma once

#include "platform/files/FileSystem.h"

namespace ovik {

// Opens the regular file `name` of the folder `dirFd` (after following
// symbolic links) for reading. Special files and folders are refused; a
// destination is looked at before it is opened, so that a FIFO or a device
// there is never opened. A source comes from a listing that has just told
// it is a file, so it is opened straight away and checked once open. Files
// are opened without blocking, so that a FIFO put in a file's place in
// between can never block the run.
OpenResult OpenRegularFileForRead(int dirFd, const char* name, ReadRole role);

}  // namespace ovik
