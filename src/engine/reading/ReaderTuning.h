#pragma once

#include <cstddef>
#include <string>

namespace ovik {

// How many readers a medium that may seek is read with: one to begin with,
// then one more for as long as each one more raises the rate by a clear
// margin. The kind of files changing (large after small, or the other way)
// measures again and tries once more. The rate of a batch of files is its
// bytes per second for large files, its files per second for small ones.
class ReaderTuning {
 public:
  // `most`: readers there may be; `pinned`: always that many.
  ReaderTuning(std::size_t most, bool pinned);

  std::size_t Readers() const { return readers_; }
  // A batch of `files` files of `bytes` bytes in all was read in `seconds`
  // by Readers() readers; true when Readers() changed.
  bool BatchRead(std::size_t files, double bytes, double seconds);
  // What it settled on, for a verbose log.
  std::string Describe() const;

  // A rate above the last by more than this share counts as a rise.
  static constexpr double kClearRise = 0.15;
  // The mean size from which files count as large.
  static constexpr double kLargeFile = 1 << 20;

 private:
  std::size_t most_;
  bool pinned_;
  std::size_t readers_;
  std::size_t settled_;
  double settledRate_ = 0;  // 0: not measured yet
  bool trying_ = false;
  bool doneTrying_ = false;
  bool large_ = false;
  bool measuredAny_ = false;
};

}  // namespace ovik
