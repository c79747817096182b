#pragma once

#include "cli/CliOptions.h"
#include "engine/VerifyEngine.h"

#include <cstdio>
#include <string>
#include <vector>

namespace ovik {

// Writes the reports the options ask for (--report, --csv) from the sorted
// details lines, with the folder texts as given on the command line. Each
// failed step is printed on `err` as the window's error box shows it: the
// error line, then the path. Returns false when any step failed.
bool WriteCliReports(const CliOptions& options, const std::vector<std::string>& lines, std::FILE* err);

// Writes the checksum list the run recorded when --write-sums asks for one;
// after an aborted run says on `err` that FILE was left as it was. Returns
// false when writing failed.
bool WriteCliChecksumList(const CliOptions& options, const VerifyEngine& engine, std::FILE* err);

}  // namespace ovik
