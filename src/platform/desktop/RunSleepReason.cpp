#include "platform/desktop/PowerInhibit.h"

namespace ovik {

std::string RunSleepReason(const std::string& source, const std::string& destination, bool checkingList) {
  return (checkingList ? "Checking " : "Verifying ") + destination + " against " + source;
}

}  // namespace ovik
