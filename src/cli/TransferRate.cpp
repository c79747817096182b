#include "cli/TransferRate.h"

namespace ovik {
namespace {

constexpr double kShortestSpanSeconds = 1.0;
constexpr double kSecondsBeforeTimeLeft = 3.0;

}  // namespace

void TransferRate::Record(std::int64_t bytesChecked) {
  const double now = clock_.SteadyNow() * kSecondsPerDay;
  if (samples_.empty()) firstSeconds_ = now;
  samples_.push_back({now, bytesChecked});
  while (samples_.size() > 2 && samples_[1].seconds <= now - windowSeconds_) samples_.pop_front();
}

std::optional<double> TransferRate::BytesPerSecond() const {
  if (samples_.size() < 2) return std::nullopt;
  const double span = samples_.back().seconds - samples_.front().seconds;
  if (span < kShortestSpanSeconds) return std::nullopt;
  return static_cast<double>(samples_.back().bytes - samples_.front().bytes) / span;
}

std::optional<double> TransferRate::SecondsLeft(std::int64_t bytesLeft) const {
  const auto rate = BytesPerSecond();
  if (!rate || *rate <= 0 || samples_.back().seconds - firstSeconds_ < kSecondsBeforeTimeLeft) return std::nullopt;
  return static_cast<double>(bytesLeft > 0 ? bytesLeft : 0) / *rate;
}

}  // namespace ovik
