#pragma once

#include <cstdint>

namespace ovik {

// The counters and byte totals of one run, reset together by ResetResults.
struct VerifyTotals {
  std::int32_t SrcFileCount = 0;
  std::int32_t SrcFolderCount = 0;
  std::int32_t DstFolderCount = 0;
  std::int32_t DstFileCount = 0;
  std::int64_t SrcByteTotal = 0;
  std::int64_t DstByteTotal = 0;
  std::int64_t FileBytesInHand = 0;  // checked of the file in hand, not yet in DstByteTotal
  std::int32_t ErrorCount = 0;
  std::int32_t DstMissingCount = 0;
  std::int32_t SrcReadErrorCount = 0;
  std::int32_t DstReadErrorCount = 0;
  std::int32_t MismatchCount = 0;
  double StartTime = 0;         // local date and time at the last reset, in days
  double StartSteady = 0;       // steady clock at the last reset, in days
  double LastShownElapsed = 0;  // elapsed time last written to the label, in days
};

enum class RunState { Idle = 0, Verifying = 1, Stopped = 2 };

// The final status line of a run.
enum class Verdict { None, VerifiedOk, Errors, NoSourceFiles, Aborted };

}  // namespace ovik
