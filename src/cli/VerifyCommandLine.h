#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ovik {

inline constexpr int kExitVerifiedOk = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitNoSourceFiles = 2;
inline constexpr int kExitAborted = 3;
// Standard output, a report or the checksum list could not be written.
inline constexpr int kExitWriteFailed = 4;
inline constexpr int kExitUsage = 64;

// Runs ovik-verify with the arguments after the program name, printing to
// `out` and `err`. Returns the exit status.
int RunVerifyCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace ovik
