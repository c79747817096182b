#pragma once

#include <string>

namespace ovik {

// A time of day written in the user locale's long time format (LC_TIME):
// «00:01:05» in a 24-hour locale, «12:01:05 AM» in en_US.
std::string FormatLocaleLongTime(int hours, int minutes, int seconds);

}  // namespace ovik
