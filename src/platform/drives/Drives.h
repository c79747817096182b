#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovik {

enum class DriveKind { Removable, Fixed, Remote, CdRom, RamDisk };

// One mounted file system as the folder browser offers it.
struct DriveInfo {
  std::string mountPoint;
  DriveKind kind = DriveKind::Fixed;
  std::string label;          // volume label, empty when unknown
  std::string networkSource;  // "//server/share" or "host:/export" for remote drives
};

// The parts of the machine the folder browser looks at; tests put their own
// in its place to simulate mount tables, network drives, dead media and HOME.
class DriveSystem {
 public:
  virtual ~DriveSystem() = default;
  // The text of /proc/self/mountinfo.
  virtual std::string MountTable() const = 0;
  virtual std::optional<std::string> EnvironmentValue(const std::string& name) const = 0;
  // The whole file, or empty when it cannot be read.
  virtual std::string ReadTextFile(const std::string& path) const = 0;
  // The label of a block device such as "/dev/sdb1", empty when it has none.
  virtual std::string VolumeLabel(const std::string& device) const = 0;
  virtual bool IsFolder(const std::string& path) const = 0;
  // Asking the file system mounted at `mountPoint` for its size: true when
  // it answers. The query owns what it needs, so that it may run on another
  // thread after this object is gone, and may block for as long as the
  // medium or the network takes; see DriveIsAccessible.
  virtual std::function<bool()> MediumSizeQuery(const std::string& mountPoint) const = 0;
};

// The machine itself.
DriveSystem& SystemDrives();

// The drives worth offering, in the order of their mount points: real file
// systems only, the root always.
std::vector<DriveInfo> ListDrives(const DriveSystem& system);

// The text of a drive's item in the drive list.
std::string DriveItemText(const DriveInfo& drive);

// The index of the drive whose mount point is the longest prefix of
// `folder` (whole path components only); -1 when none is.
int DriveIndexOfFolder(const std::vector<DriveInfo>& drives, const std::string& folder);

// True when `folder` lies on the mount point itself or below it.
bool FolderIsOnMount(const std::string& folder, const std::string& mountPoint);

}  // namespace ovik
