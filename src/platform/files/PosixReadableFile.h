#pragma once

#include "platform/files/FileSystem.h"

#include <sys/stat.h>

#include <string>

namespace ovik {

// How a file to open was found: named a regular file by its folder's
// listing a moment ago, or not (a destination looked up by its name).
enum class Listed : bool { No, AsFile };

// Opens the regular file `name` of the folder `dirFd` (after following
// symbolic links) for reading. Special files and folders are refused; a
// file its listing did not name a regular file is looked at before it is
// opened, so that a FIFO or a device there is never opened. One the listing
// named is opened straight away and checked once open. Files are opened
// without blocking, so that a FIFO put in a file's place in between can
// never block the run.
OpenResult OpenRegularFileForRead(int dirFd, const char* name, ReadRole role, Listed listed);

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
