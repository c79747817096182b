#include "common/PathUtils.h"

namespace ovik {

std::string AddTrailingBackslash(std::string_view path) {
  std::string result(path);
  if (result.empty() || result.back() != kPathSeparator) result += kPathSeparator;
  return result;
}

std::string StripTrailingBackslash(std::string_view path) {
  if (!path.empty() && path.back() == kPathSeparator) path.remove_suffix(1);
  return std::string(path);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string result;
  result.reserve(folder.size() + 1 + name.size());
  result.append(folder);
  result += kPathSeparator;
  result.append(name);
  return result;
}

}  // namespace ovik
