#pragma once

#include "platform/media/Medium.h"

#include <functional>
#include <string>

namespace ovik {

// How many steps a chain of devices may take (a partition to its disk, a
// loop device to its backing file, a device to its members) before its
// medium counts as unknown, so that a chain that leads back to itself ends.
inline constexpr int kDeviceChainDepth = 8;

// The medium that holds the file at `path` (a loop device's backing file),
// where the chain may take `depthLeft` more steps.
using FileMedium = std::function<MediumInfo(const std::string& path, int depthLeft)>;

// The medium under the block device `majorMinor` ("8:1"), from the sysfs
// tree at `sysfsRoot`: a partition goes up to its disk, a loop device to
// `fileMedium` of its backing file, a device with members (device-mapper,
// md) to its members' media. Members on more than one disk make one medium
// of the slowest kind among them, its id the members' ids joined by "+".
MediumInfo DescribeBlockDevice(const std::string& majorMinor, const std::string& sysfsRoot,
                               const FileMedium& fileMedium, int depthLeft = kDeviceChainDepth);

}  // namespace ovik
