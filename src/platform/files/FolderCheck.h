#pragma once

#include <string>

namespace ovik {

// The name that stands for standard input as a checksum list.
inline constexpr const char* kStandardInputList = "-";

// Why `path` cannot serve as a folder to verify: the system's text for the
// error of looking it up, or for "not a directory" when it is something
// else. Empty when it is a folder (or a link to one).
std::string FolderProblem(const std::string& path);

// Why `path` cannot serve as a checksum list: the system's text for the
// error of looking it up or opening it, or for "is a directory". Empty when
// it can be read.
std::string ListProblem(const std::string& path);

// The folder a checksum list describes when none is named: the one that
// holds it, or the current folder for standard input (also as /dev/stdin
// or /dev/fd/N), a pipe or any other list that is not a regular file.
std::string FolderDescribedByList(const std::string& path);

}  // namespace ovik
