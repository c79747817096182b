#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ovik {

// The step of the file output that failed; Replacing: putting a file
// written in full in the place of the one it replaces.
enum class FileAction { Creating, Writing, Closing, Replacing };

// "creating", "writing", "closing" or "replacing".
std::string_view FileActionWord(FileAction action);

// The first line of the error message: "Error 28 writing file".
std::string FileErrorText(int code, FileAction action);

struct FileFailure {
  int code;
  FileAction action;
};

using FileFailureHandler = std::function<void(const FileFailure& failure)>;

}  // namespace ovik
