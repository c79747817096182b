#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ovik {

// A second thread that lends a hand to whichever caller finds it free, so
// that work split in parts runs on two processors. The thread starts on
// the first call.
class HelperThread {
 public:
  HelperThread() = default;
  // Leaves behind a thread that is still inside a part, for the caller
  // waiting on it to collect.
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Runs `part` here and on the helper at once when it is free, else (or
  // when no thread can be started) here alone, and returns once every run
  // of it has returned. `part` takes the
  // work that is left a piece at a time, so that it does not matter how
  // many threads run it. What a run throws is thrown here.
  void RunOnBoth(const std::function<void()>& part);

 private:
  struct Shared;
  static void Serve(const std::shared_ptr<Shared>& shared);

  std::shared_ptr<Shared> Start();

  std::once_flag started_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace ovik
