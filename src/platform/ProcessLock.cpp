#include "platform/ProcessLock.h"

#include "common/PathUtils.h"
#include "platform/Environment.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ovik {
namespace {

std::string LockFolder() {
  for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const auto value = GetEnvironmentValue(variable);
    if (value && !value->empty()) return *value;
  }
  return "/tmp";
}

}  // namespace

ProcessLock::ProcessLock(const std::string& name)
    : path_(JoinPath(StripTrailingBackslash(LockFolder()), name)) {
  fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ >= 0) flock(fd_, LOCK_EX | LOCK_NB);
}

ProcessLock::~ProcessLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace ovik
