#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace ovik {

// Every difference of the part two files both have, from a block on to
// the end of the shorter one, summarised: the blocks and bytes that differ
// and the ranges of neighbouring differing blocks, each from its first to
// its last differing byte.
class DamageSurvey {
 public:
  // Ranges named one by one; the others are only counted.
  static constexpr std::size_t kRangesShown = 3;

  explicit DamageSurvey(std::size_t blockSize) : blockSize_(blockSize) {}

  // Takes in one block of each side at `offset`, the first `common` bytes
  // of which both files have.
  void Add(std::span<const std::byte> source, std::span<const std::byte> destination, std::int64_t offset);
  // The survey stopped before the end: Abort, or a read that failed.
  void Stop() { complete_ = false; }

  std::int64_t BlocksCompared() const { return blocks_; }
  std::int64_t DifferingBlocks() const { return differingBlocks_; }
  std::int64_t DifferingBytes() const { return differingBytes_; }
  std::int64_t RangeCount() const { return rangeCount_; }
  // [first, last] byte offsets of the first ranges.
  const std::vector<std::pair<std::int64_t, std::int64_t>>& FirstRanges() const { return ranges_; }
  bool Complete() const { return complete_; }

  // «3 of 40 blocks of 102,400 bytes differ from offset 204,800 on (5,120
  // bytes); in 2 ranges: 204,800-205,823, 1,024,000-1,126,399».
  std::string Note(std::int64_t fromOffset) const;

 private:
  const std::size_t blockSize_;
  std::int64_t blocks_ = 0;
  std::int64_t differingBlocks_ = 0;
  std::int64_t differingBytes_ = 0;
  std::int64_t rangeCount_ = 0;
  std::int64_t lastDifferingBlock_ = -2;
  std::pair<std::int64_t, std::int64_t> current_{-1, -1};
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges_;
  bool complete_ = true;
};

}  // namespace ovik
