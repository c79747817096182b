#include "SpinningDrive.h"

#include <algorithm>
#include <cmath>

namespace ovik::faultfs {

using std::chrono::microseconds;

std::optional<DriveModel> NamedDriveModel(const std::string& name) {
  // A desktop hard disk of 7,200 turns a minute, and a disc drive reading
  // a DVD at about sixteen times its first speed.
  if (name == "hdd") return DriveModel{160e6, microseconds(800), microseconds(16000), microseconds(4200),
                                       std::int64_t{1} << 40, std::int64_t{2} << 20, 4};
  if (name == "disc") return DriveModel{20e6, microseconds(25000), microseconds(180000), microseconds(3000),
                                        std::int64_t{4700} * 1000 * 1000, std::int64_t{1} << 20, 2};
  return std::nullopt;
}

SpinningDrive::SpinningDrive(const DriveModel& model) : model_(model) {
  segments_.reserve(static_cast<std::size_t>(std::max(1, model.segments)));
}

int SpinningDrive::Holding(std::int64_t position) const {
  for (std::size_t i = 0; i < segments_.size(); ++i)
    if (position >= segments_[i].from && position <= segments_[i].to) return static_cast<int>(i);
  return -1;
}

// A free segment, or else the one that served a read longest ago.
int SpinningDrive::Replaceable() {
  if (segments_.size() < segments_.capacity()) {
    segments_.emplace_back();
    return static_cast<int>(segments_.size() - 1);
  }
  const auto oldest = std::min_element(segments_.begin(), segments_.end(),
                                       [](const Segment& a, const Segment& b) { return a.used < b.used; });
  return static_cast<int>(oldest - segments_.begin());
}

std::int64_t SpinningDrive::Distance(std::int64_t position) const {
  if (Holding(position) >= 0) return 0;
  return position > head_ ? position - head_ : head_ - position;
}

// Short seeks are dominated by speeding up and settling, long ones by the
// travel: the time grows with the square root of the distance.
microseconds SpinningDrive::SeekTime(std::int64_t distance) const {
  const double share = std::min(1.0, static_cast<double>(distance) / static_cast<double>(model_.capacity));
  const auto span = static_cast<double>((model_.longestSeek - model_.shortestSeek).count());
  return model_.shortestSeek + microseconds(static_cast<std::int64_t>(span * std::sqrt(share)));
}

microseconds SpinningDrive::Read(std::int64_t position, std::int64_t length) {
  const std::int64_t end = position + length;
  microseconds cost(static_cast<std::int64_t>(static_cast<double>(length) * 1e6 / model_.bytesPerSecond));
  int held = Holding(position);
  // Past what the buffer holds the head has to stream, and it streams
  // without moving only where it already is.
  const bool streams = held < 0 || end > segments_[static_cast<std::size_t>(held)].to;
  if (streams && (held < 0 || held != headSegment_)) {
    const std::int64_t target = held >= 0 ? segments_[static_cast<std::size_t>(held)].to : position;
    cost += SeekTime(std::abs(target - head_)) + model_.halfTurn;
    ++counts_.seeks;
    if (held < 0) {
      held = Replaceable();
      segments_[static_cast<std::size_t>(held)].to = position;
    }
  }
  Segment& segment = segments_[static_cast<std::size_t>(held)];
  segment.from = position;
  if (streams || held == headSegment_) {
    segment.to = std::max(segment.to, end + model_.readAhead);
    headSegment_ = held;
    head_ = segment.to;
  }
  segment.used = ++clock_;
  ++counts_.reads;
  counts_.bytes += length;
  counts_.busy += cost;
  return cost;
}

}  // namespace ovik::faultfs
