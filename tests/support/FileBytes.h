#pragma once

#include <string>

namespace ovik::testing {

// The whole content of a file as bytes; fails the current test when the
// file cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace ovik::testing
