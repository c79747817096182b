#include "common/SkippedFolders.h"

#include <initializer_list>

namespace ovik {
namespace {

bool HasPrefix(std::string_view line, std::initializer_list<std::string_view> prefixes) {
  for (std::string_view prefix : prefixes)
    if (line.starts_with(prefix) && line.substr(prefix.size()).starts_with(": ")) return true;
  return false;
}

}  // namespace

bool IsSkippedFolderLine(std::string_view line) {
  return HasPrefix(line, {kPrefixHiddenFolderSkipped, kPrefixSystemFolderSkipped});
}

bool IsNoteLine(std::string_view line) {
  return IsSkippedFolderLine(line) || HasPrefix(line, {kPrefixSpecialFileSkipped, kPrefixFolderMissing, kPrefixLinkToFolderAboveSkipped});
}

}  // namespace ovik
