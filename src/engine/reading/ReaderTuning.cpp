#include "engine/reading/ReaderTuning.h"

#include <algorithm>
#include <cstdio>

namespace ovik {

ReaderTuning::ReaderTuning(std::size_t most, bool pinned)
    : most_(std::max<std::size_t>(1, most)), pinned_(pinned), readers_(pinned ? most_ : 1), settled_(readers_) {}

bool ReaderTuning::BatchRead(std::size_t files, double bytes, double seconds) {
  if (pinned_ || files == 0 || seconds <= 0) return false;
  const bool large = bytes / static_cast<double>(files) >= kLargeFile;
  const double rate = (large ? bytes : static_cast<double>(files)) / seconds;
  const std::size_t before = readers_;
  if (measuredAny_ && large != large_) {
    // Another kind of files: what was settled is measured again, then one
    // more reader is tried.
    readers_ = settled_;
    settledRate_ = 0;
    trying_ = false;
    doneTrying_ = false;
  } else if (settledRate_ == 0) {
    settledRate_ = rate;
  } else if (trying_) {
    trying_ = false;
    if (rate > settledRate_ * (1 + kClearRise)) {
      settled_ = readers_;
      settledRate_ = rate;
    } else {
      readers_ = settled_;
      doneTrying_ = true;
    }
  }
  large_ = large;
  measuredAny_ = true;
  if (settledRate_ != 0 && !trying_ && !doneTrying_ && settled_ < most_ && readers_ == settled_) {
    readers_ = settled_ + 1;
    trying_ = true;
  }
  return readers_ != before;
}

std::string ReaderTuning::Describe() const {
  char text[96];
  std::snprintf(text, sizeof text, "%zu reader%s%s", settled_, settled_ == 1 ? "" : "s",
                pinned_ ? " (pinned)" : trying_ ? " (trying one more)" : "");
  return text;
}

}  // namespace ovik
