#pragma once

#include <string>
#include <string_view>

namespace ovik {

// The platform's folder separator. Paths are byte strings; only text shown
// on screen is ever decoded.
inline constexpr char kPathSeparator = '/';

// Appends the separator unless the path already ends with one; an empty
// path becomes the separator alone.
std::string AddTrailingBackslash(std::string_view path);

// Removes one final separator if there is one; an empty path stays empty.
std::string StripTrailingBackslash(std::string_view path);

// folder + separator + name.
std::string JoinPath(std::string_view folder, std::string_view name);

// The folder that holds `path`: the text before its last separator, the
// root for a path directly below it, "." for a bare name.
std::string FolderOf(std::string_view path);

}  // namespace ovik
