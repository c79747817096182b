#pragma once

#include "engine/VerifyEngine.h"

namespace ovik {

// While the engine waits for work done aside, the display stays alive as
// it does between two blocks, the bytes of the file in hand checked so far
// are shown, and Abort ends the wait.
class VerifyEngine::DisplayWaits final : public WaitHook {
 public:
  explicit DisplayWaits(VerifyEngine& engine) : engine_(engine) {}
  bool KeepWaiting(std::int64_t bytesSoFar) override {
    if (bytesSoFar > shownBytes_) {
      shownBytes_ = bytesSoFar;
      engine_.display_.ShowFileBytes(bytesSoFar);
    }
    engine_.display_.KeepAlive(lastPump_, bytesSoFar);
    return !engine_.AbortRequested;
  }

 private:
  VerifyEngine& engine_;
  double lastPump_ = 0;
  std::int64_t shownBytes_ = 0;
};

}  // namespace ovik
