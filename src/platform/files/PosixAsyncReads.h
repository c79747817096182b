#pragma once

#include "platform/files/FileSystem.h"
#include "platform/files/PosixFolderHandles.h"

#include <memory>

namespace ovik {

// AsyncReads through io_uring: each file is looked up and opened relative to
// its folder's descriptor into a ring-owned descriptor slot, so that the
// lookups, opens, reads and closes of many files take a few system calls
// instead of several each. Null when the kernel refuses io_uring (too old,
// switched off, or forbidden to the process).
std::unique_ptr<AsyncReads> StartPosixAsyncReads(FolderHandles& folders, std::size_t slots);

}  // namespace ovik
