#include "platform/OpenFileLimit.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace ovik {

namespace {
constexpr rlim_t kMostWanted = 65536;
// Descriptors the table holds from the start: a batch of files a disk that
// seeks is read in, both sides of each pair.
constexpr rlim_t kTableReserved = 16384;

// The kernel doubles a process's table of open files as it fills, and
// while the process has threads each growth waits for every processor to
// pass a quiescent point: milliseconds on a virtual machine, with every
// reader held up. Grown once here, before any thread starts, the table
// never grows during a run. A table does not shrink when its descriptors
// are closed.
void ReserveDescriptorTable(rlim_t allowed) {
  const rlim_t entries = std::min(allowed, kTableReserved);
  if (entries < 2) return;
  const int probe = open("/", O_PATH | O_CLOEXEC);
  if (probe < 0) return;
  const int highest = fcntl(probe, F_DUPFD_CLOEXEC, static_cast<int>(entries - 1));
  if (highest >= 0) close(highest);
  close(probe);
}
}  // namespace

void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? kMostWanted : std::min(limit.rlim_max, kMostWanted);
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    limit.rlim_cur = wanted;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) getrlimit(RLIMIT_NOFILE, &limit);
  }
  ReserveDescriptorTable(limit.rlim_cur == RLIM_INFINITY ? kMostWanted : limit.rlim_cur);
}

std::size_t OpenFilesAllowed() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur == RLIM_INFINITY) return kMostWanted;
  return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace ovik
