#pragma once

#include "platform/drives/Drives.h"

#include <chrono>
#include <string>

namespace ovik {

// Whether the drive at `mountPoint` answers within `timeout`. The window
// keeps painting while it waits (user input waits until the answer), and
// the cursor shows that the program is busy.
bool DriveAnswersInTime(const std::string& mountPoint, const DriveSystem& system, std::chrono::milliseconds timeout);

}  // namespace ovik
