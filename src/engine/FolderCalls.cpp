#include "engine/VerifyEngine.h"

#include "engine/BlockingCalls.h"
#include "engine/DisplayWaits.h"

namespace ovik {

bool VerifyEngine::CallAside(std::function<void()> call) {
  if (!blockingCalls_) {
    call();
    return true;
  }
  if (AbortRequested) return false;
  DisplayWaits waits(*this);
  return blockingCalls_->Run(std::move(call), waits);
}

}  // namespace ovik
