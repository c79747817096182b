#include "reports/FileFailure.h"

namespace ovik {

std::string_view FileActionWord(FileAction action) {
  switch (action) {
    case FileAction::Creating: return "creating";
    case FileAction::Writing: return "writing";
    case FileAction::Closing: return "closing";
    case FileAction::Replacing: return "replacing";
  }
  return "using";
}

std::string FileErrorText(int code, FileAction action) {
  return "Error " + std::to_string(code) + " " + std::string(FileActionWord(action)) + " file";
}

}  // namespace ovik
