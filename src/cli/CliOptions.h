#pragma once

#include "reports/ReportFilter.h"
#include "sums/DigestKind.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ovik {

struct CliOptions {
  ReportFilter filter = ReportFilter::All;
  bool quiet = false;
  bool progress = false;
  bool cached = false;
  // Readers for each medium; 0: chosen by the medium (--readers=auto).
  std::size_t readers = 0;
  // Whether standard error is told what was found of each medium and how it was read.
  bool verbose = false;
  bool includeHidden = false;
  // A destination file under the other Unicode form of the name is the twin.
  bool unicodeEqual = false;
  // Whether the run lets the computer sleep; by default it holds sleep off.
  bool allowSleep = false;
  // --explain: a mismatched file is read to its end, and the notes of the
  // lines are printed under them.
  bool explain = false;
  // --json: the results, progress and totals as JSON Lines on standard output.
  bool json = false;
  bool help = false;
  bool version = false;
  std::string source;
  std::string destination;
  std::string reportFile;  // the text form of the details, when not empty
  std::string csvFile;     // the CSV form of the details, when not empty
  std::string sumsFile;    // the checksum list to record, when not empty
  // Checking against a checksum list: `source` is the list, `destination`
  // the folder it describes.
  bool check = false;
  // -a NAME: the kind of the list's untagged hashes.
  std::optional<DigestKind> algorithm;
};

// Parses the arguments after the program name. Returns nothing and sets
// `error` on bad usage.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kCliUsage;

}  // namespace ovik
