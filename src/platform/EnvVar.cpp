#include "platform/EnvVar.h"

#include <sstream>

namespace ovik {

namespace {

constexpr std::size_t kEnvBufferSize = 255;
constexpr const char* kDocumentsKey = "XDG_DOCUMENTS_DIR";

std::string LinuxName(const std::string& name) {
  if (name == "UserProfile") return "HOME";
  if (name == "WinDir") return {};
  return name;
}

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

// The file allows only "$HOME/..." or an absolute path as a value.
std::string ExpandHome(const std::string& value, const std::string& profile) {
  if (value == "$HOME") return profile;
  if (value.rfind("$HOME/", 0) == 0) return profile + value.substr(5);
  if (!value.empty() && value.front() == '/') return value;
  return {};
}

std::string DocumentsEntry(const std::string& fileText) {
  std::istringstream in(fileText);
  std::string line;
  std::string found;
  const std::string prefix = std::string(kDocumentsKey) + "=";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) found = Unquoted(line.substr(prefix.size()));
  }
  return found;
}

std::string UserDirsFile(const std::string& profile, const DriveSystem& system) {
  const std::string configHome = GetEnvVar("XDG_CONFIG_HOME", system);
  return (configHome.empty() ? profile + "/.config" : configHome) + "/user-dirs.dirs";
}

}  // namespace

std::string GetEnvVar(const std::string& name, const DriveSystem& system) {
  const std::string linuxName = LinuxName(name);
  if (linuxName.empty()) return {};
  const std::optional<std::string> value = system.EnvironmentValue(linuxName);
  if (!value || value->size() >= kEnvBufferSize) return {};
  return *value;
}

std::string DocumentsFolder(const std::string& profile, const DriveSystem& system) {
  std::string folder = ExpandHome(DocumentsEntry(system.ReadTextFile(UserDirsFile(profile, system))), profile);
  if (folder.empty()) folder = ExpandHome(GetEnvVar(kDocumentsKey, system), profile);
  if (folder.empty()) folder = profile + "/Documents";
  return folder;
}

}  // namespace ovik
