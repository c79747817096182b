#include "platform/drives/Drives.h"

#include "platform/drives/DrivesMountTable.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

namespace ovik {

namespace {

// Kernel and service file systems that hold no user files.
constexpr std::array kPseudoFileSystems = {
    "autofs",    "binfmt_misc", "bpf",      "cgroup",          "cgroup2",     "configfs",
    "debugfs",   "devpts",      "devtmpfs", "efivarfs",        "fusectl",     "hugetlbfs",
    "mqueue",    "nsfs",        "proc",     "pstore",          "rpc_pipefs",  "securityfs",
    "selinuxfs", "sysfs",       "tracefs",  "fuse.gvfsd-fuse", "fuse.portal",
};
constexpr std::array kRemoteFileSystems = {
    "nfs",  "nfs4",      "cifs",           "smb3", "smbfs", "fuse.sshfs",  "sshfs",       "9p",
    "ceph", "glusterfs", "fuse.glusterfs", "afs",  "davfs", "fuse.davfs2", "fuse.rclone",
};
constexpr std::array kOpticalFileSystems = {"iso9660", "udf"};
constexpr std::array kRamFileSystems = {"tmpfs", "ramfs"};
// Folders where the system keeps its own RAM disks and images.
constexpr std::array kSystemMountAreas = {"/dev", "/proc", "/run", "/sys", "/snap", "/var/lock", "/var/run"};
constexpr std::array kRemovableMountAreas = {"/media", "/run/media"};

template <typename List>
bool Contains(const List& list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

template <typename List>
bool IsUnderAny(const List& areas, const std::string& mountPoint) {
  return std::any_of(areas.begin(), areas.end(), [&](const char* area) { return FolderIsOnMount(mountPoint, area); });
}

bool IsUserRamDisk(const MountRecord& mount) { return !IsUnderAny(kSystemMountAreas, mount.mountPoint); }

bool IsRealDrive(const MountRecord& mount, const DriveSystem& system) {
  if (mount.mountPoint == "/") return true;
  if (Contains(kPseudoFileSystems, mount.fsType)) return false;
  if (Contains(kRamFileSystems, mount.fsType)) {
    if (!IsUserRamDisk(mount)) return false;
  } else if (IsUnderAny(kSystemMountAreas, mount.mountPoint) && !IsUnderAny(kRemovableMountAreas, mount.mountPoint))
    return false;
  // Single files bound into place (as containers do with /etc/hosts) are no drives.
  return system.IsFolder(mount.mountPoint);
}

std::string TrimmedLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

bool BlockDeviceIsRemovable(const std::string& deviceNumber, const DriveSystem& system) {
  const std::string device = "/sys/dev/block/" + deviceNumber;
  // A partition carries no flag of its own; its disk does.
  const bool isPartition = !system.ReadTextFile(device + "/partition").empty();
  const std::string flag = system.ReadTextFile(device + (isPartition ? "/../removable" : "/removable"));
  return TrimmedLine(flag) == "1";
}

DriveKind KindOf(const MountRecord& mount, const DriveSystem& system) {
  if (Contains(kRemoteFileSystems, mount.fsType)) return DriveKind::Remote;
  if (Contains(kOpticalFileSystems, mount.fsType)) return DriveKind::CdRom;
  if (Contains(kRamFileSystems, mount.fsType)) return DriveKind::RamDisk;
  if (IsUnderAny(kRemovableMountAreas, mount.mountPoint)) return DriveKind::Removable;
  if (BlockDeviceIsRemovable(mount.deviceNumber, system)) return DriveKind::Removable;
  return DriveKind::Fixed;
}

bool IsDevicePath(const std::string& source) { return source.rfind("/dev/", 0) == 0; }

DriveInfo DescribeDrive(const MountRecord& mount, const DriveSystem& system) {
  DriveInfo drive;
  drive.mountPoint = mount.mountPoint;
  drive.kind = KindOf(mount, system);
  if (drive.kind == DriveKind::Remote) drive.networkSource = mount.source;
  if (IsDevicePath(mount.source)) drive.label = system.VolumeLabel(mount.source);
  return drive;
}

}  // namespace

bool FolderIsOnMount(const std::string& folder, const std::string& mountPoint) {
  if (mountPoint == "/") return !folder.empty() && folder.front() == '/';
  if (folder.rfind(mountPoint, 0) != 0) return false;
  return folder.size() == mountPoint.size() || folder[mountPoint.size()] == '/';
}

std::vector<DriveInfo> ListDrives(const DriveSystem& system) {
  // A later mount on the same point hides the earlier one.
  std::map<std::string, MountRecord> visible;
  for (MountRecord& mount : ParseMountTable(system.MountTable())) visible[mount.mountPoint] = std::move(mount);
  if (visible.find("/") == visible.end()) visible["/"] = MountRecord{"", "/", "/", "", ""};

  std::vector<DriveInfo> drives;
  for (const auto& [mountPoint, mount] : visible) {
    if (IsRealDrive(mount, system)) drives.push_back(DescribeDrive(mount, system));
  }
  return drives;
}

std::string DriveItemText(const DriveInfo& drive) {
  switch (drive.kind) {
    case DriveKind::Removable:
      return drive.mountPoint;
    case DriveKind::Remote:
      if (!drive.networkSource.empty()) return drive.mountPoint + " " + drive.networkSource;
      [[fallthrough]];
    default:
      return drive.mountPoint + " [" + drive.label + "]";
  }
}

int DriveIndexOfFolder(const std::vector<DriveInfo>& drives, const std::string& folder) {
  int best = -1;
  std::size_t bestLength = 0;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    const std::string& mountPoint = drives[i].mountPoint;
    if (FolderIsOnMount(folder, mountPoint) && (best < 0 || mountPoint.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = mountPoint.size();
    }
  }
  return best;
}

}  // namespace ovik
