#pragma once

#include "cli/ConsoleView.h"
#include "cli/TransferRate.h"
#include "engine/VerifyEngine.h"

#include <cstdio>

namespace ovik {

// The progress line of ovik-verify, redrawn in place on a terminal from what
// the engine and its view show.
class ConsoleProgress {
 public:
  ConsoleProgress(std::FILE* terminal, const VerifyEngine& engine, Clock& clock = SystemClock())
      : terminal_(terminal), engine_(engine), clock_(clock), rate_(clock) {}

  void Paint(const ConsoleView& view);
  void Wipe();

 private:
  std::FILE* terminal_;
  const VerifyEngine& engine_;
  Clock& clock_;
  TransferRate rate_;
};

}  // namespace ovik
