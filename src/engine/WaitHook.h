#pragma once

#include <chrono>
#include <cstdint>

namespace ovik {

// Asked between the bounded waits of the engine for work done aside
// (reading, listing), so that the display stays alive; false gives up
// waiting (the run was aborted). `bytesSoFar`: how far the file waited for
// has come.
// How long the engine waits for work done aside before it looks at its
// display and at Abort again.
inline constexpr auto kWaitSlice = std::chrono::milliseconds(50);

class WaitHook {
 public:
  virtual ~WaitHook() = default;
  virtual bool KeepWaiting(std::int64_t bytesSoFar) = 0;
};

}  // namespace ovik
