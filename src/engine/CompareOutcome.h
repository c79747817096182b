#pragma once

#include <cstdint>

namespace ovik {

// What the check of one file found, before it is counted and listed.
struct CompareOutcome {
  std::int64_t bytesChecked = 0;
  std::int64_t matchedBytes = 0;
  bool failed = false;
  bool dstMissing = false;
  bool dstIsSource = false;
  bool srcReadError = false;
  bool dstReadError = false;
  bool sizeMismatch = false;
  bool contentMismatch = false;
  bool checksumMismatch = false;
};

}  // namespace ovik
