#pragma once

#include "platform/Clock.h"

namespace ovik::testing {

// A clock the test moves by hand. Every reading of the steady time can also
// move it on by a fixed step, so that a run sees time pass block by block.
class FakeClock final : public Clock {
 public:
  double LocalNow() override { return localDays; }
  double SteadyNow() override {
    const double now = steadySeconds / kSecondsPerDay;
    steadySeconds += stepSeconds;
    return now;
  }

  void Advance(double seconds) {
    steadySeconds += seconds;
    localDays += seconds / kSecondsPerDay;
  }

  double localDays = 46000.0;  // some day in 2025
  double steadySeconds = 1000.0;
  double stepSeconds = 0.0;
};

}  // namespace ovik::testing
