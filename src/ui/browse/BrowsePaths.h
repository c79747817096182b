#pragma once

#include <string>
#include <vector>

namespace ovik {

// `text` as a full folder path: "." and ".." resolved and repeated
// separators dropped without touching the disk, no trailing separator
// except on the root. A relative text is taken from `base`.
std::string NormalizedFolderPath(const std::string& text, const std::string& base);

// The folders from the root down to `folder`: "/", "/a", "/a/b" for "/a/b".
std::vector<std::string> FolderChain(const std::string& folder);

// The part after the last separator ("b" for "/a/b", "/" for the root).
std::string LastPathComponent(const std::string& path);

// folder + separator + name, without doubling the separator after the root.
std::string ChildPath(const std::string& folder, const std::string& name);

}  // namespace ovik
