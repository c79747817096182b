#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovik::faultfs {

// How a drive with one head moves and streams.
struct DriveModel {
  double bytesPerSecond = 0;
  std::chrono::microseconds shortestSeek{0};  // to the next track
  std::chrono::microseconds longestSeek{0};   // across the whole medium
  std::chrono::microseconds halfTurn{0};      // waiting for the data to come round
  std::int64_t capacity = 0;                  // the span a longest seek crosses
  std::int64_t readAhead = 0;                 // what the drive reads past each request
  int segments = 1;                           // streams the drive's buffer holds at once
};

// "hdd" or "disc"; nothing for another name.
std::optional<DriveModel> NamedDriveModel(const std::string& name);

// What the head did so far.
struct HeadCounts {
  std::int64_t reads = 0;
  std::int64_t bytes = 0;
  std::int64_t seeks = 0;
  std::chrono::microseconds busy{0};  // the modelled time of all reads
};

// The head and buffer of one drive, in bytes of its platter. A read the
// buffer holds, or one just past what the head streamed, costs only its
// transfer; any other read first moves the head (a seek that grows with the
// distance) and waits half a turn. After each read the drive has read ahead
// `readAhead` bytes into the buffer segment of that stream.
class SpinningDrive {
 public:
  explicit SpinningDrive(const DriveModel& model);

  // How far the head has to move for a read at `position`: 0 when the
  // buffer holds it or the head streams into it.
  std::int64_t Distance(std::int64_t position) const;
  // Serves a read of `length` bytes at `position` and returns its modelled time.
  std::chrono::microseconds Read(std::int64_t position, std::int64_t length);
  const HeadCounts& counts() const { return counts_; }

 private:
  // Bytes of the platter a buffer segment holds: from the last request it
  // served to as far as the drive read ahead.
  struct Segment {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::uint64_t used = 0;  // when it last served a read, for replacing the oldest
  };

  // The segment holding `position`; -1 for none.
  int Holding(std::int64_t position) const;
  int Replaceable();
  std::chrono::microseconds SeekTime(std::int64_t distance) const;

  DriveModel model_;
  std::vector<Segment> segments_;
  int headSegment_ = -1;  // the segment the head streams into
  std::int64_t head_ = 0;
  std::uint64_t clock_ = 0;
  HeadCounts counts_;
};

}  // namespace ovik::faultfs
