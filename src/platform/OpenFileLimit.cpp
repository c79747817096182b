#include "platform/OpenFileLimit.h"

#include <sys/resource.h>

#include <algorithm>

namespace ovik {

namespace {
constexpr rlim_t kMostWanted = 65536;
}  // namespace

void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? kMostWanted : std::min(limit.rlim_max, kMostWanted);
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted) return;
  limit.rlim_cur = wanted;
  setrlimit(RLIMIT_NOFILE, &limit);
}

std::size_t OpenFilesAllowed() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur == RLIM_INFINITY) return kMostWanted;
  return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace ovik
