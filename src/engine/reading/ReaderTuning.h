#pragma once

#include <cstddef>
#include <string>

namespace ovik {

// How many readers a medium that may seek is read with: one to begin with,
// then one more for as long as each one more raises the rate by a clear
// margin; one more is tried again every kTryAgainAfter batches. The kind of
// files changing (large after small, or the other way) measures again and
// tries once more. The rate of a batch of files is its bytes per second for
// large files, its files per second for small ones.
class ReaderTuning {
 public:
  // `most`: readers there may be; `pinned`: always that many.
  ReaderTuning(std::size_t most, bool pinned);

  std::size_t Readers() const { return readers_; }
  // The rate of the readers settled on; 0 before it is measured.
  double SettledRate() const { return settledRate_; }
  // No more readers are being tried, for now.
  bool Settled() const { return pinned_ || doneTrying_ || settled_ == most_; }
  // A batch of `files` files of `bytes` bytes in all was read in `seconds`
  // by Readers() readers; true when Readers() changed.
  bool BatchRead(std::size_t files, double bytes, double seconds);
  // What it settled on, for a verbose log.
  std::string Describe() const;

  // A rate above the last by more than this share counts as a rise.
  static constexpr double kClearRise = 0.15;
  // The mean size from which files count as large.
  static constexpr double kLargeFile = 1 << 20;
  // Batches read by the settled readers before one more is tried again.
  static constexpr std::size_t kTryAgainAfter = 16;

 private:
  std::size_t most_;
  bool pinned_;
  std::size_t readers_;
  std::size_t settled_;
  double settledRate_ = 0;  // 0: not measured yet
  bool trying_ = false;
  bool doneTrying_ = false;
  std::size_t spansSinceTried_ = 0;
  bool large_ = false;
  bool measuredAny_ = false;
};

// Whether a medium is read as one head or by many readers at once. The way
// the kernel's word suggests goes first and is measured (many readers:
// their first span; one head: once its readers are settled, and only when
// more than one of them raised the rate, which one head would not); the
// other is then tried for one span. Many readers tried are kept unless
// slower by a clear margin; one head tried is kept only when faster by one. A one-head span whose reads never waited for the device was read
// from memory: many readers from then on.
class ReadingWay {
 public:
  // `measured`: false keeps the first way.
  ReadingWay(bool oneHeadFirst, bool measured) : oneHead_(oneHeadFirst), measured_(measured) {}

  bool OneHead() const { return oneHead_; }
  // A one-head batch was found in memory before it was read: many readers
  // from now on. True when OneHead() changed.
  bool FoundInMemory();
  // One reader compared its first bytes of large files at `rate`, its
  // head reading `headBytesPerSecond`: beyond what a head that seeks
  // delivers, many readers are tried, as after a span. True when
  // OneHead() changed.
  bool ReadBeyondAnyHead(double rate, double headBytesPerSecond);
  // The other way is being tried.
  bool Trying() const { return phase_ == Phase::Trying; }
  // A span was read the current way at `rate` (ReadingRate; for one head
  // the best its readers reached); `oneHeadDoubted`: its readers settled on
  // more than one. True when OneHead() changed.
  bool SpanRead(double rate, bool waitedForDevice, bool oneHeadDoubted);

  // What it found, for a verbose log; empty when nothing was measured.
  const std::string& Describe() const { return found_; }

  // Bytes per second no one head that seeks reaches: the fastest disks
  // stream below 300 MB/s from their outer tracks, a disc far below.
  static constexpr double kBeyondAnyHead = 350e6;

 private:
  enum class Phase { First, Trying, Settled };
  bool oneHead_;
  bool measured_;
  Phase phase_ = Phase::First;
  double firstRate_ = 0;
  std::string found_;
};

// Bytes per second for large files, files per second for small ones.
double ReadingRate(std::size_t files, double bytes, double seconds);
// Files of `bytes` in all count as large; none ended is part of a large one.
bool IsLarge(std::size_t files, double bytes);

}  // namespace ovik
