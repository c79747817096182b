#pragma once

#include <sys/resource.h>

namespace ovik::testing {

// Lowers the limit of open files for as long as it lives.
class LoweredOpenFileLimit {
 public:
  explicit LoweredOpenFileLimit(rlim_t limit) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~LoweredOpenFileLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
  LoweredOpenFileLimit(const LoweredOpenFileLimit&) = delete;
  LoweredOpenFileLimit& operator=(const LoweredOpenFileLimit&) = delete;

 private:
  rlimit saved_{};
};

}  // namespace ovik::testing
