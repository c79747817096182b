#pragma once

#include <optional>
#include <string>

namespace ovik {

// The value of an environment variable, or nothing when it is not set.
std::optional<std::string> GetEnvironmentValue(const std::string& name);

}  // namespace ovik
