#include "platform/files/FolderCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ovik {

std::string FolderProblem(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (!S_ISDIR(status.st_mode)) return std::strerror(ENOTDIR);
  return {};
}

std::string ListProblem(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  struct stat status {};
  const bool folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
  close(fd);
  return folder ? std::strerror(EISDIR) : std::string();
}

}  // namespace ovik
