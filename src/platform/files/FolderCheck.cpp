#include "platform/files/FolderCheck.h"

#include "common/PathUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ovik {
namespace {

// Standard input under any of its names, or a path that does not name a
// regular file.
bool IsStreamList(const std::string& path) {
  if (path == kStandardInputList || path == "/dev/stdin") return true;
  if (path.starts_with("/dev/fd/") || path.starts_with("/proc/self/fd/")) return true;
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

}  // namespace

std::string FolderProblem(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (!S_ISDIR(status.st_mode)) return std::strerror(ENOTDIR);
  return {};
}

// A pipe or a FIFO is never opened here: opening and closing its reading
// end would let a writer in, and lose what it writes.
std::string ListProblem(const std::string& path) {
  if (path == kStandardInputList) return fcntl(STDIN_FILENO, F_GETFL) < 0 ? std::strerror(EBADF) : std::string();
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
  if (!S_ISREG(status.st_mode)) return access(path.c_str(), R_OK) == 0 ? std::string() : std::strerror(errno);
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return {};
}

std::string FolderDescribedByList(const std::string& path) { return IsStreamList(path) ? "." : FolderOf(path); }

}  // namespace ovik
