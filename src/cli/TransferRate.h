#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace ovik {

// How fast bytes are being checked, over the last few seconds, and how long
// the bytes still to check will take at that pace.
class TransferRate {
 public:
  explicit TransferRate(Clock& clock, double windowSeconds = 5.0) : clock_(clock), windowSeconds_(windowSeconds) {}

  // Notes the bytes checked so far at the clock's present time.
  void Record(std::int64_t bytesChecked);

  // Bytes per second over the window; nothing until it spans a second.
  std::optional<double> BytesPerSecond() const;

  // Seconds that `bytesLeft` take at the current rate; nothing until three
  // seconds have passed since the first record, nor while nothing moves.
  std::optional<double> SecondsLeft(std::int64_t bytesLeft) const;

 private:
  struct Sample {
    double seconds;
    std::int64_t bytes;
  };

  Clock& clock_;
  double windowSeconds_;
  double firstSeconds_ = 0;
  // The newest sample at or before the window's start, then those inside it.
  std::deque<Sample> samples_;
};

}  // namespace ovik
