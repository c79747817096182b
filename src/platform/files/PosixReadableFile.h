#pragma once

#include "platform/files/FileSystem.h"

namespace ovik {

// Opens the regular file `name` of the folder `dirFd` (after following
// symbolic links) for reading. Special files and folders are refused; a
// destination is looked at before it is opened, so that a FIFO or a device
// there is never opened. A source comes from a listing that has just told
// it is a file, so it is opened straight away: opening without blocking and
// checking what was opened still keeps a FIFO put in its place since then
// from blocking the run.
OpenResult OpenRegularFileForRead(int dirFd, const char* name, ReadRole role);

}  // namespace ovik
