#pragma once

#include "platform/Drives.h"

#include <chrono>
#include <string>

namespace ovik {

inline constexpr std::chrono::milliseconds kDriveAnswerTimeout{3000};

// True when the medium mounted at `mountPoint` answers a size query within
// `timeout`. The query runs on a worker thread, so a dead network mount or a
// drive without a medium costs the caller at most the timeout; a worker that
// never comes back is left to finish on its own.
bool DriveIsAccessible(const std::string& mountPoint, const DriveSystem& system = SystemDrives(),
                       std::chrono::milliseconds timeout = kDriveAnswerTimeout);

}  // namespace ovik
