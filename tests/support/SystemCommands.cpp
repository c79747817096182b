#include "support/SystemCommands.h"

#include <sys/wait.h>

#include <cstdio>

namespace ovik::testing {

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  const std::string full = "PATH=\"$PATH:/usr/sbin:/sbin\"; " + command + " 2>&1";
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  std::size_t count;
  while ((count = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, count);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool ToolExists(const std::string& tool) { return RunCommand("command -v " + Quoted(tool)).status == 0; }

}  // namespace ovik::testing
