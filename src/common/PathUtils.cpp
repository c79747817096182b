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

std::string FolderOf(std::string_view path) {
  const std::size_t separator = path.rfind(kPathSeparator);
  if (separator == std::string_view::npos) return ".";
  return std::string(separator == 0 ? path.substr(0, 1) : path.substr(0, separator));
}

}  // namespace ovik
