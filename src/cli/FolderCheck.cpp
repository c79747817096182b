#include "cli/FolderCheck.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace ovik {

std::string FolderProblem(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (!S_ISDIR(status.st_mode)) return std::strerror(ENOTDIR);
  return {};
}

}  // namespace ovik
