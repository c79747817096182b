#include "platform/Clock.h"

#include <ctime>

namespace ovik {
namespace {

constexpr double kUnixEpochAsDays = 25569.0;  // 1970-01-01 counted from 1899-12-30

double SecondsOf(clockid_t id, struct timespec& ts) {
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class PosixClock final : public Clock {
 public:
  double LocalNow() override {
    struct timespec ts;
    const double seconds = SecondsOf(CLOCK_REALTIME, ts);
    struct tm local;
    localtime_r(&ts.tv_sec, &local);
    return kUnixEpochAsDays + (seconds + static_cast<double>(local.tm_gmtoff)) / kSecondsPerDay;
  }
  double SteadyNow() override {
    struct timespec ts;
    return SecondsOf(CLOCK_MONOTONIC, ts) / kSecondsPerDay;
  }
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace ovik
