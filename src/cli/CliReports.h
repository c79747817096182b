#pragma once

#include "cli/CliOptions.h"
#include "engine/VerifyEngine.h"

#include <cstdio>
#include <string>
#include <vector>

namespace ovik {

// Looks at every output the options ask for (--write-sums, --report,
// --csv) before the run reads anything, and names on `err` each one that
// cannot be written, e.g. «ovik-verify: cannot write the report FILE: Is a
// directory». True when all can be.
bool CheckCliOutputs(const CliOptions& options, std::FILE* err);

// Writes the reports the options ask for (--report, --csv) from the sorted
// details lines, with the folder texts as given on the command line. A
// failure is named on `err` as CheckCliOutputs names it. Returns false when
// any report could not be written.
bool WriteCliReports(const CliOptions& options, const std::vector<std::string>& lines, std::FILE* err);

// Writes the checksum list the run recorded when --write-sums asks for one;
// after an aborted run says on `err` that FILE was left as it was. Returns
// false when writing failed.
bool WriteCliChecksumList(const CliOptions& options, const VerifyEngine& engine, std::FILE* err);

// Prints one message line on `err`, escaped as the details lines are.
void PrintMessage(std::FILE* err, const std::string& message);

}  // namespace ovik
