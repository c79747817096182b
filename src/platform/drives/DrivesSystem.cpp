#include "platform/drives/Drives.h"
#include "platform/Environment.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace ovik {

namespace {

constexpr const char* kLabelFolder = "/dev/disk/by-label";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Names under /dev/disk/by-label write unsafe bytes as "\x20" and the like.
std::string DecodeLabelName(const std::string& name) {
  std::string label;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && HexValue(name[i + 2]) >= 0 &&
        HexValue(name[i + 3]) >= 0) {
      label += static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3]));
      i += 3;
    } else {
      label += name[i];
    }
  }
  return label;
}

std::string RealPathOf(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

class LinuxDriveSystem final : public DriveSystem {
 public:
  std::string MountTable() const override { return ReadTextFile("/proc/self/mountinfo"); }

  std::optional<std::string> EnvironmentValue(const std::string& name) const override {
    return GetEnvironmentValue(name);
  }

  std::string ReadTextFile(const std::string& path) const override {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string VolumeLabel(const std::string& device) const override {
    const std::string target = RealPathOf(device);
    DIR* dir = opendir(kLabelFolder);
    if (target.empty() || dir == nullptr) {
      if (dir != nullptr) closedir(dir);
      return {};
    }
    std::string label;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (RealPathOf(std::string(kLabelFolder) + "/" + name) == target) {
        label = DecodeLabelName(name);
        break;
      }
    }
    closedir(dir);
    return label;
  }

  bool IsFolder(const std::string& path) const override {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  std::function<bool()> MediumSizeQuery(const std::string& mountPoint) const override {
    return [mountPoint] {
      struct statvfs info;
      return statvfs(mountPoint.c_str(), &info) == 0;
    };
  }
};

}  // namespace

DriveSystem& SystemDrives() {
  static LinuxDriveSystem system;
  return system;
}

}  // namespace ovik
