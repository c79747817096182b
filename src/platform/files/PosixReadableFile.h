#pragma once

#include "platform/files/FileSystem.h"

#include <sys/stat.h>

#include <string>

namespace ovik {

// Opens the regular file `name` of the folder `dirFd` (after following
// symbolic links) for reading. Special files and folders are refused; a
// destination is looked at before it is opened, so that a FIFO or a device
// there is never opened. A source comes from a listing that has just told
// it is a file, so it is opened straight away and checked once open. Files
// are opened without blocking, so that a FIFO put in a file's place in
// between can never block the run.
OpenResult OpenRegularFileForRead(int dirFd, const char* name, ReadRole role);

// As OpenRegularFileForRead for the path `relative` below the folder
// `rootFd`, resolved so that no step leads out of it (EXDEV): neither "..",
// nor an absolute or relative symbolic link that points outside. Where the
// system cannot resolve a path that way, every symbolic link is refused
// (ELOOP).
OpenResult OpenRegularFileBeneath(int rootFd, const std::string& relative, ReadRole role);

// The status of `relative` below `rootFd`, resolved as by
// OpenRegularFileBeneath; `noFollow`: of a final symbolic link itself.
// 0 or the error number.
int StatBeneath(int rootFd, const std::string& relative, bool noFollow, struct stat& st);

}  // namespace ovik
