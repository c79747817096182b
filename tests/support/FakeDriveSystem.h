#pragma once

#include "platform/drives/Drives.h"

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>

namespace ovik::testing {

// A machine made up by the test: its mount table, environment, small files,
// volume labels and which mount points answer a size query.
class FakeDriveSystem final : public DriveSystem {
 public:
  std::string mountTable;
  std::map<std::string, std::string> environment;
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> labels;
  std::set<std::string> notFolders;
  std::set<std::string> deadMounts;
  // Mount points whose size query hangs for `hangFor`.
  std::set<std::string> hangingMounts;
  std::chrono::milliseconds hangFor{400};

  // Adds one mountinfo line.
  void Mount(const std::string& mountPoint, const std::string& type, const std::string& source,
             const std::string& device = "8:1");

  std::string MountTable() const override { return mountTable; }
  std::optional<std::string> EnvironmentValue(const std::string& name) const override;
  std::string ReadTextFile(const std::string& path) const override;
  std::string VolumeLabel(const std::string& device) const override;
  bool IsFolder(const std::string& path) const override { return notFolders.count(path) == 0; }
  std::function<bool()> MediumSizeQuery(const std::string& mountPoint) const override;
};

}  // namespace ovik::testing
