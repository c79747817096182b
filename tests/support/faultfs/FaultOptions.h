#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ovik::faultfs {

// A read covering `offset` of a file meets `error`.
struct ReadFault {
  std::int64_t offset = 0;
  int error = 0;
};

// What the file system serves and which faults it injects; names are
// relative to the backing folder, as bytes.
struct FaultOptions {
  std::string backing;
  std::string mountPoint;
  bool directIo = false;
  // Whether the kernel may send the direct reads of one request in parallel
  // pieces; servers on the older FUSE library do without.
  bool asyncDirectIo = true;
  std::multimap<std::string, ReadFault> failedReads;
  std::map<std::string, int> failedOpens;
  std::multimap<std::string, std::int64_t> stalledReads;
  std::set<std::string> stalledListings;
  std::set<std::string> stalledOpens;
  std::map<std::string, int> lateOpens;  // opened after so many milliseconds
  // Stats of these names after the lookup that makes them known never
  // return; of a name whose open fails too, only those after its failed open.
  std::set<std::string> stalledStats;
  int slowReadMs = 0;
  // Every read returns at most this many bytes (0: as many as asked), as
  // servers do that answer in pieces; with direct_io the reader sees them.
  std::int64_t readPiece = 0;
  // After this many reads every operation fails with EIO.
  std::optional<std::int64_t> readsBeforePull;
  // Where lookups, opens, reads and refused listings are noted with their results.
  std::string logFile;
  // Reads served at the pace of one head of this drive ("hdd" or "disc"),
  // folders listed in name order; empty for no drive.
  std::string spin;
  double spinTimeScale = 1;  // 0: the head's time is counted, never waited for
  std::string spinCounts;    // where the head's counts are written after every read
};

// Parses the command line; on a mistake returns nothing and says why in `error`.
std::optional<FaultOptions> ParseFaultOptions(const std::vector<std::string>& arguments, std::string& error);

extern const char* const kUsage;

}  // namespace ovik::faultfs
