#include "engine/reading/ReaderTuning.h"

#include <algorithm>
#include <cstdio>

namespace ovik {

ReaderTuning::ReaderTuning(std::size_t most, bool pinned)
    : most_(std::max<std::size_t>(1, most)), pinned_(pinned), readers_(pinned ? most_ : 1), settled_(readers_) {}

bool ReaderTuning::BatchRead(std::size_t files, double bytes, double seconds) {
  if (pinned_ || (files == 0 && bytes <= 0) || seconds <= 0) return false;
  const bool large = IsLarge(files, bytes);
  const double rate = ReadingRate(files, bytes, seconds);
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
      spansSinceTried_ = 0;
    }
  } else if (doneTrying_ && ++spansSinceTried_ >= kTryAgainAfter) {
    // One span's rate is noisy (a cold device, files of other sizes): a
    // reader that did not help once is tried again now and then, against
    // the rate of now.
    doneTrying_ = false;
    settledRate_ = rate;
  }
  large_ = large;
  measuredAny_ = true;
  if (settledRate_ != 0 && !trying_ && !doneTrying_ && settled_ < most_ && readers_ == settled_) {
    readers_ = settled_ + 1;
    trying_ = true;
  }
  return readers_ != before;
}

// No file ended: part of a large one was read.
bool IsLarge(std::size_t files, double bytes) {
  return files == 0 || bytes / static_cast<double>(files) >= ReaderTuning::kLargeFile;
}

double ReadingRate(std::size_t files, double bytes, double seconds) {
  if ((files == 0 && bytes <= 0) || seconds <= 0) return 0;
  return (IsLarge(files, bytes) ? bytes : static_cast<double>(files)) / seconds;
}

bool ReadingWay::FoundInMemory() {
  if (!measured_ || !oneHead_ || phase_ == Phase::Settled) return false;
  found_ = "found in memory: many readers at once";
  oneHead_ = false;
  phase_ = Phase::Settled;
  return true;
}

bool ReadingWay::ReadBeyondAnyHead(double rate, double headBytesPerSecond) {
  if (!measured_ || !oneHead_ || phase_ != Phase::First || headBytesPerSecond < kBeyondAnyHead) return false;
  firstRate_ = rate;
  phase_ = Phase::Trying;
  found_ = "one head read beyond any disk that seeks: many readers tried";
  oneHead_ = false;
  return true;
}

bool ReadingWay::SpanRead(double rate, bool waitedForDevice, bool oneHeadDoubted) {
  if (!measured_ || phase_ == Phase::Settled || rate <= 0) return false;
  if (phase_ == Phase::First) {
    if (oneHead_ && !waitedForDevice) {
      found_ = "read from memory: many readers at once";
    } else if (oneHead_ && !oneHeadDoubted) {
      return false;
    } else {
      firstRate_ = rate;
      phase_ = Phase::Trying;
      found_ = oneHead_ ? "many readers tried" : "one head tried";
    }
    oneHead_ = !oneHead_;
    if (phase_ == Phase::First) phase_ = Phase::Settled;
    return true;
  }
  phase_ = Phase::Settled;
  // Many readers are tried only where a second reader already raised one
  // head's rate, which a head that seeks would not: there they stay unless
  // clearly slower, since one head's rate is the best of its spans and
  // theirs the mean of a few. One head tried on what is said to be flash
  // must be clearly faster.
  const bool trialKept = oneHead_ ? rate > firstRate_ * (1 + ReaderTuning::kClearRise)
                                    : rate * (1 + ReaderTuning::kClearRise) >= firstRate_;
  char text[160];
  std::snprintf(text, sizeof text, "%s at %.3g against %.3g: %s", found_.c_str(), rate, firstRate_,
                (trialKept == oneHead_) ? "one head kept" : "many readers kept");
  found_ = text;
  if (trialKept) return false;
  oneHead_ = !oneHead_;
  return true;
}

std::string ReaderTuning::Describe() const {
  char text[96];
  std::snprintf(text, sizeof text, "%zu reader%s%s", settled_, settled_ == 1 ? "" : "s",
                pinned_ ? " (pinned)" : trying_ ? " (trying one more)" : "");
  return text;
}

}  // namespace ovik
