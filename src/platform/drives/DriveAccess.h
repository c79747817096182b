#pragma once

#include "platform/drives/Drives.h"

#include <chrono>
#include <future>
#include <string>

namespace ovik {

inline constexpr std::chrono::milliseconds kDriveAnswerTimeout{3000};

// Starts asking the medium mounted at `mountPoint` for its size on a worker
// thread; the answer is true when the medium reports it. A worker that never
// comes back (a dead network mount) is left to finish on its own; it needs
// nothing of `system` once started.
std::future<bool> ProbeDrive(const std::string& mountPoint, const DriveSystem& system = SystemDrives());

// True when the probe answers yes within `timeout`; no answer in time
// counts as not accessible.
bool DriveIsAccessible(const std::string& mountPoint, const DriveSystem& system = SystemDrives(),
                       std::chrono::milliseconds timeout = kDriveAnswerTimeout);

}  // namespace ovik
