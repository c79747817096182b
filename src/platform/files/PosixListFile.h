#pragma once

#include "platform/files/FileSystem.h"

#include <string>

namespace ovik {

// Opens a checksum list to be read once from start to end: a regular file,
// or a pipe, a FIFO, a terminal or any other stream, read until its writer
// is done; "-" is standard input, read from where it stands. The open of a
// FIFO and every read wait as long as the writer keeps them waiting, so
// they belong on a thread that may be left behind. A folder is refused.
OpenResult OpenListForRead(const std::string& path);

}  // namespace ovik
