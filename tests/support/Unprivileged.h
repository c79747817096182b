#pragma once

#include <string>
#include <vector>

namespace ovik::testing {

// Runs a verify in a child process that has given up root for the
// unprivileged user, and returns what it saw: the result lines, then the
// status. Needs root.
std::vector<std::string> VerifyAsNobody(const std::string& source, const std::string& destination);

}  // namespace ovik::testing
