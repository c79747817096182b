#include "platform/media/Medium.h"

#include "platform/drives/DrivesMountTable.h"
#include "platform/media/SysfsDevices.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

namespace ovik {
namespace {

std::string DeviceNumber(dev_t device) { return std::to_string(major(device)) + ":" + std::to_string(minor(device)); }

MediumInfo MediumOfKind(MediumKind kind, std::string description) {
  MediumInfo info;
  info.kernelSays = kind;
  info.description = std::move(description);
  return info;
}

// The line of /proc/self/mountinfo whose field `field` (0 for the mount's
// id, 2 for its device number) is `value`.
std::optional<MountRecord> MountWhere(std::size_t field, const std::string& value) {
  std::ifstream in("/proc/self/mountinfo");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string text;
    for (std::size_t i = 0; i <= field && fields >> text;) ++i;
    if (text != value) continue;
    std::vector<MountRecord> mounts = ParseMountTable(line);
    if (!mounts.empty()) return std::move(mounts.front());
  }
  return std::nullopt;
}

// The mount that holds `path`. Its mount id tells it exactly; the device
// number is the fallback for kernels without one, though btrfs gives each
// subvolume a number of its own that the table does not show.
std::optional<MountRecord> MountHolding(const std::string& path, dev_t device) {
  struct statx status {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID, &status) == 0 && (status.stx_mask & STATX_MNT_ID) != 0)
    if (std::optional<MountRecord> mount = MountWhere(0, std::to_string(status.stx_mnt_id))) return mount;
  return MountWhere(2, DeviceNumber(device));
}

// The block device a mount names as its source. FUSE file systems may name
// a device they read through a server of their own; they stay unknown.
std::optional<dev_t> SourceDevice(const MountRecord& mount) {
  if (mount.fsType.starts_with("fuse")) return std::nullopt;
  struct stat source {};
  if (stat(mount.source.c_str(), &source) != 0 || !S_ISBLK(source.st_mode)) return std::nullopt;
  return source.st_rdev;
}

MediumInfo DescribePath(const std::string& path, const std::string& sysfsRoot, int depthLeft);

// The medium under a block device; a loop device's backing file is looked
// at as any other path.
MediumInfo DescribeDeviceNumber(dev_t device, const std::string& sysfsRoot, int depthLeft) {
  return DescribeBlockDevice(
      DeviceNumber(device), sysfsRoot,
      [&sysfsRoot](const std::string& file, int left) { return DescribePath(file, sysfsRoot, left); }, depthLeft);
}

// A file system whose device number is not a block device's: in memory, a
// file system of several devices (btrfs) that names one as its source, or
// one without a device at all (FUSE, network, overlay).
MediumInfo DescribeAnonymousDevice(const std::string& path, dev_t device, const std::string& sysfsRoot,
                                   int depthLeft) {
  struct statfs fileSystem {};
  if (statfs(path.c_str(), &fileSystem) == 0) {
    if (fileSystem.f_type == TMPFS_MAGIC) return MediumOfKind(MediumKind::Memory, "tmpfs: in memory");
    if (fileSystem.f_type == RAMFS_MAGIC) return MediumOfKind(MediumKind::Memory, "ramfs: in memory");
  }
  const std::optional<MountRecord> mount = MountHolding(path, device);
  if (!mount) return MediumOfKind(MediumKind::Unknown, DeviceNumber(device) + ": mounted nowhere this process sees");
  if (const std::optional<dev_t> source = SourceDevice(*mount)) {
    MediumInfo info = DescribeDeviceNumber(*source, sysfsRoot, depthLeft);
    info.description = mount->fsType + " on " + info.description;
    return info;
  }
  return MediumOfKind(MediumKind::Unknown, mount->fsType + " (" + mount->source + "): no block device");
}

MediumInfo DescribePath(const std::string& path, const std::string& sysfsRoot, int depthLeft) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0)
    return MediumOfKind(MediumKind::Unknown, "cannot look at it: " + std::error_code(errno, std::generic_category()).message());
  if (major(status.st_dev) == 0) return DescribeAnonymousDevice(path, status.st_dev, sysfsRoot, depthLeft);
  return DescribeDeviceNumber(status.st_dev, sysfsRoot, depthLeft);
}

}  // namespace

MediumInfo DescribeMedium(const std::string& folder, const std::string& sysfsRoot) {
  return DescribePath(folder, sysfsRoot, kDeviceChainDepth);
}

}  // namespace ovik
