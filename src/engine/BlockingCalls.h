#pragma once

#include "engine/WaitHook.h"

#include <functional>
#include <memory>
#include <thread>

namespace ovik {

// Runs the file-system calls that a stalling device can hold up, folder
// listings and existence tests, on a thread of its own, one after the
// other, so that the engine's thread waits for them in bounded slices,
// keeps the display alive and answers Abort. A call given up on runs on to
// its end: it must own what it touches, and what it brings back goes
// nowhere.
class BlockingCalls {
 public:
  BlockingCalls();
  // Leaves behind a thread that is still inside a call.
  ~BlockingCalls();
  BlockingCalls(const BlockingCalls&) = delete;
  BlockingCalls& operator=(const BlockingCalls&) = delete;

  // Runs `call` there and waits for it, asking `hook` between slices of a
  // twentieth of a second; false when the hook gave up. What the call
  // throws is thrown again here.
  bool Run(std::function<void()> call, WaitHook& hook);

 private:
  struct Queue;
  static void Serve(const std::shared_ptr<Queue>& queue);

  std::shared_ptr<Queue> queue_;
  std::thread thread_;
};

}  // namespace ovik
