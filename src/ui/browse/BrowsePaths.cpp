#include "ui/browse/BrowsePaths.h"

#include <sstream>

namespace ovik {

namespace {

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::istringstream in(path);
  std::string part;
  while (std::getline(in, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  return parts;
}

}  // namespace

std::string NormalizedFolderPath(const std::string& text, const std::string& base) {
  const std::string full = !text.empty() && text.front() == '/' ? text : base + "/" + text;
  std::string result;
  for (const std::string& part : Components(full)) result += "/" + part;
  return result.empty() ? "/" : result;
}

std::vector<std::string> FolderChain(const std::string& folder) {
  std::vector<std::string> chain{"/"};
  std::string path;
  for (const std::string& part : Components(folder)) {
    path += "/" + part;
    chain.push_back(path);
  }
  return chain;
}

std::string LastPathComponent(const std::string& path) {
  if (path == "/") return path;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChildPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace ovik
