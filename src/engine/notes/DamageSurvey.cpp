#include "engine/notes/DamageSurvey.h"

#include "common/NumberFormat.h"

#include <algorithm>

namespace ovik {

void DamageSurvey::Add(std::span<const std::byte> source, std::span<const std::byte> destination,
                       std::int64_t offset) {
  const std::size_t count = std::min(source.size(), destination.size());
  if (count == 0) return;
  ++blocks_;
  if (std::equal(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(count), destination.begin())) return;
  std::int64_t first = -1;
  std::int64_t last = -1;
  std::int64_t differing = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (source[i] == destination[i]) continue;
    if (first < 0) first = static_cast<std::int64_t>(i);
    last = static_cast<std::int64_t>(i);
    ++differing;
  }
  if (differing == 0) return;
  ++differingBlocks_;
  differingBytes_ += differing;
  const std::int64_t block = offset / static_cast<std::int64_t>(blockSize_);
  if (block == lastDifferingBlock_ + 1 && rangeCount_ > 0) {
    current_.second = offset + last;
    if (rangeCount_ <= static_cast<std::int64_t>(kRangesShown)) ranges_.back() = current_;
  } else {
    ++rangeCount_;
    current_ = {offset + first, offset + last};
    if (ranges_.size() < kRangesShown) ranges_.push_back(current_);
  }
  lastDifferingBlock_ = block;
}

std::string DamageSurvey::Note(std::int64_t fromOffset) const {
  const auto counted = [](std::int64_t count, const char* what) {
    return FormatThousands(count) + " " + what + (count == 1 ? "" : "s");
  };
  std::string text = FormatThousands(differingBlocks_) + " of " + counted(blocks_, "block") + " of " +
                     FormatThousands(static_cast<std::int64_t>(blockSize_)) + " bytes from offset " +
                     FormatThousands(fromOffset) + " on differ (" + counted(differingBytes_, "byte") + ")";
  if (rangeCount_ > 0) {
    text += rangeCount_ == 1 ? "; 1 range: " : "; " + FormatThousands(rangeCount_) + " ranges: ";
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
      if (i > 0) text += ", ";
      text += FormatThousands(ranges_[i].first) + "-" + FormatThousands(ranges_[i].second);
    }
    if (rangeCount_ > static_cast<std::int64_t>(ranges_.size())) text += ", ...";
    if (rangeCount_ > 1) text += "; spanning " + FormatThousands(ranges_.front().first) + "-" + FormatThousands(current_.second);
  }
  if (!complete_) text += "; not read to the end";
  return text;
}

}  // namespace ovik
