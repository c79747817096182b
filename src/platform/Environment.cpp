#include "platform/Environment.h"

#include <cstdlib>

namespace ovik {

std::optional<std::string> GetEnvironmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace ovik
