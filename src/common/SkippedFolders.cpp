#include "common/SkippedFolders.h"

namespace ovik {

bool IsSkippedFolderLine(std::string_view line) {
  for (std::string_view prefix : {kPrefixHiddenFolderSkipped, kPrefixSystemFolderSkipped})
    if (line.starts_with(prefix) && line.substr(prefix.size()).starts_with(": ")) return true;
  return false;
}

}  // namespace ovik
