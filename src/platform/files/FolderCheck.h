#pragma once

#include <string>

namespace ovik {

// Why `path` cannot serve as a folder to verify: the system's text for the
// error of looking it up, or for "not a directory" when it is something
// else. Empty when it is a folder (or a link to one).
std::string FolderProblem(const std::string& path);

// Why `path` cannot serve as a checksum list: the system's text for the
// error of opening it, or for "is a directory". Empty when it can be read.
std::string ListProblem(const std::string& path);

}  // namespace ovik
