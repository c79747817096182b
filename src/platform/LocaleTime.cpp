#include "platform/LocaleTime.h"

#include <langinfo.h>

#include <cstdio>
#include <ctime>

namespace ovik {

std::string FormatLocaleLongTime(int hours, int minutes, int seconds) {
  struct tm time {};
  time.tm_hour = hours;
  time.tm_min = minutes;
  time.tm_sec = seconds;
  time.tm_mday = 1;
  time.tm_year = 100;
  const char* format = nl_langinfo(T_FMT);
  if (format == nullptr || *format == '\0') format = "%H:%M:%S";
  char buffer[128];
  const std::size_t length = strftime(buffer, sizeof buffer, format, &time);
  if (length == 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hours, minutes, seconds);
    return buffer;
  }
  return std::string(buffer, length);
}

}  // namespace ovik
