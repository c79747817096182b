#pragma once

#include <string>

namespace ovik::testing {

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and standard error together
};

// Runs a shell command; the system folders are added to the search path,
// where the file-system tools live.
CommandResult RunCommand(const std::string& command);

// `text` as one shell word.
std::string Quoted(const std::string& text);

bool ToolExists(const std::string& tool);

}  // namespace ovik::testing
