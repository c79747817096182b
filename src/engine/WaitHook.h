#pragma once

#include <cstdint>

namespace ovik {

// Asked between the bounded waits of the engine for work done aside
// (reading, listing), so that the display stays alive; false gives up
// waiting (the run was aborted). `bytesSoFar`: how far the file waited for
// has come.
class WaitHook {
 public:
  virtual ~WaitHook() = default;
  virtual bool KeepWaiting(std::int64_t bytesSoFar) = 0;
};

}  // namespace ovik
