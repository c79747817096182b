#pragma once

#include "engine/VerifyTotals.h"
#include "platform/files/FileSystem.h"

#include <ostream>
#include <string>
#include <vector>

namespace ovik::testing {

// How the engine reads: the comparison reading each file itself, or reader
// threads ahead of it, in reads of several blocks as they come or of one.
enum class Reading { PlainLoop, Threads, ThreadsBlockByBlock };
inline constexpr Reading kEveryReading[] = {Reading::PlainLoop, Reading::Threads, Reading::ThreadsBlockByBlock};

const char* ReadingName(Reading reading);
inline void PrintTo(Reading reading, std::ostream* out) { *out << ReadingName(reading); }

struct VerifyResult {
  std::vector<std::string> lines;  // in the details list's order
  VerifyTotals totals;
  std::string status;
};

// One run of the engine on the machine's file system.
VerifyResult VerifyFolders(const std::string& source, const std::string& destination, Reading reading,
                           ReadRole destinationRole = ReadRole::DestinationMedium);

// The counters and byte totals, in one line that shows every difference.
std::string CountsText(const VerifyTotals& totals);

}  // namespace ovik::testing
