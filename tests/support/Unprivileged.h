#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ovik::testing {

// Runs a verify in a child process that has given up root for the
// unprivileged user, and returns what it saw: the result lines, then the
// status. Needs root.
std::vector<std::string> VerifyAsNobody(const std::string& source, const std::string& destination);

// Runs `work` in a child process that has given up root for the
// unprivileged user; its result, 0 to 99, or 100 and above when the child
// could not give up root or did not end. Needs root.
int AsNobody(const std::function<int()>& work);

}  // namespace ovik::testing
