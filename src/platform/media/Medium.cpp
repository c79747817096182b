#include "platform/media/Medium.h"

namespace ovik {

MediumInfo DescribeMedium(const std::string& folder, const std::string& sysfsRoot) {
  (void)folder;
  (void)sysfsRoot;
  return {};
}

std::optional<std::uint64_t> FirstExtentOffset(int fd) {
  (void)fd;
  return std::nullopt;
}

}  // namespace ovik
