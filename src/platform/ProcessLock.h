#pragma once

#include <string>

namespace ovik {

// A named lock held for the life of the process: a lock file of that name in
// $XDG_RUNTIME_DIR (else the temporary folder), locked with flock. Whether
// another process already holds it is not examined.
class ProcessLock {
 public:
  explicit ProcessLock(const std::string& name);
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace ovik
