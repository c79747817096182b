#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ovik {

// What the kernel says of the device that holds a folder. It is a starting
// point only: virtual disks, USB bridges and loop devices often say
// "not rotational" over a disk that seeks.
enum class MediumKind : std::uint8_t {
  Unknown,        // no block device (FUSE, network, ...) or nothing said
  Rotational,     // queue/rotational is 1
  NonRotational,  // queue/rotational is 0
  Memory,         // a file system kept in memory (tmpfs, ramfs)
};

// The medium under a folder: its whole disk, found from the folder's device
// through sysfs (a partition up to its disk, a loop device to its backing
// file's disk, device-mapper and md devices to their members).
struct MediumInfo {
  // The same for two folders on one disk ("8:0" for sda); empty when no
  // block device is known.
  std::string id;
  MediumKind kernelSays = MediumKind::Unknown;
  std::uint32_t readAheadKiB = 0;   // queue/read_ahead_kb; 0 when unknown
  std::uint32_t maxRequestKiB = 0;  // queue/max_sectors_kb; 0 when unknown
  // One line for a verbose log: the chain of devices and what each says.
  std::string description;
};

// The medium that holds `folder`. `sysfsRoot` lets tests stand a tree of
// their own in for /sys.
MediumInfo DescribeMedium(const std::string& folder, const std::string& sysfsRoot = "/sys");

// The byte offset on its device of the first data of the open file `fd`,
// from FS_IOC_FIEMAP; nothing where the file system does not tell or the
// file holds no data.
std::optional<std::uint64_t> FirstExtentOffset(int fd);

}  // namespace ovik
