#pragma once

namespace ovik {

inline constexpr double kSecondsPerDay = 86400.0;

// Time as the engine reads it, in days (1 second = 1/86400 day).
class Clock {
 public:
  virtual ~Clock() = default;
  // The local date and time, as days since 1899-12-30.
  virtual double LocalNow() = 0;
  // A steady time that never jumps with clock or daylight-saving changes;
  // elapsed times are measured on it.
  virtual double SteadyNow() = 0;
};

Clock& SystemClock();

}  // namespace ovik
