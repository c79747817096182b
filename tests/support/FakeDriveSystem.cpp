#include "support/FakeDriveSystem.h"

#include <thread>

namespace ovik::testing {

void FakeDriveSystem::Mount(const std::string& mountPoint, const std::string& type, const std::string& source,
                            const std::string& device) {
  mountTable += "30 1 " + device + " / " + mountPoint + " rw,relatime shared:1 - " + type + " " + source + " rw\n";
}

std::optional<std::string> FakeDriveSystem::EnvironmentValue(const std::string& name) const {
  const auto found = environment.find(name);
  if (found == environment.end()) return std::nullopt;
  return found->second;
}

std::string FakeDriveSystem::ReadTextFile(const std::string& path) const {
  const auto found = files.find(path);
  return found == files.end() ? std::string() : found->second;
}

std::string FakeDriveSystem::VolumeLabel(const std::string& device) const {
  const auto found = labels.find(device);
  return found == labels.end() ? std::string() : found->second;
}

std::function<bool()> FakeDriveSystem::MediumSizeQuery(const std::string& mountPoint) const {
  if (hangingMounts.count(mountPoint) != 0) {
    return [wait = hangFor] {
      std::this_thread::sleep_for(wait);
      return true;
    };
  }
  return [known = deadMounts.count(mountPoint) == 0] { return known; };
}

}  // namespace ovik::testing
