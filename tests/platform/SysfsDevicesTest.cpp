// The medium under a block device, found in a sysfs tree the test writes:
// partitions, loop devices, device-mapper and md devices over members on
// one disk or on several, disks that say little.

#include "platform/media/SysfsDevices.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace ovik {
namespace {

namespace fs = std::filesystem;
using testing::TempTree;

// A sysfs tree with what the kernel shows of the devices below.
class SysfsTree {
 public:
  SysfsTree() {
    Disk("pci/block/sda", "8:0", "1", "128", "1280");
    Partition("pci/block/sda/sda1", "8:1");
    Partition("pci/block/sda/sda2", "8:2");
    Disk("pci/block/sdb", "8:16", "0", "256", "512");
    Partition("pci/block/sdb/sdb1", "8:17");
    Device("usb/block/sdc", "8:32");  // no queue folder at all
    Disk("usb/block/sdd", "8:48", "1", "", "");
    tree_.WriteFile("devices/usb/block/sdd/queue/read_ahead_kb", "many\n");

    Loop("virtual/block/loop3", "7:3", "/images/on-sda1.img");
    Partition("virtual/block/loop3/loop3p1", "259:0");
    Loop("virtual/block/loop4", "7:4", "/images/on-fuse.img");
    Loop("virtual/block/loop5", "7:5", "/images/on-loop5.img");

    Members("virtual/block/dm-0", "253:0", {"pci/block/sda/sda1", "pci/block/sda/sda2"});
    tree_.WriteFile("devices/virtual/block/dm-0/dm/name", "vg-one\n");
    Members("virtual/block/dm-1", "253:1", {"pci/block/sda/sda2", "pci/block/sdb/sdb1"});
    Members("virtual/block/dm-2", "253:2", {"pci/block/sdb/sdb1", "usb/block/sdc"});
    Members("virtual/block/md0", "9:0", {"pci/block/sdb/sdb1"});
  }

  std::string root() const { return tree_.root(); }

  MediumInfo Describe(const std::string& majorMinor) const {
    return DescribeBlockDevice(majorMinor, root(), [this](const std::string& path, int depthLeft) {
      return MediumOfFile(path, depthLeft);
    });
  }

 private:
  // The media of backing files, as the file systems holding them would say.
  MediumInfo MediumOfFile(const std::string& path, int depthLeft) const {
    static const std::map<std::string, std::string> deviceOfFile = {{"/images/on-sda1.img", "8:1"},
                                                                    {"/images/on-loop5.img", "7:5"}};
    const auto found = deviceOfFile.find(path);
    if (found == deviceOfFile.end()) {
      MediumInfo unknown;
      unknown.description = "fuse (server): no block device";
      return unknown;
    }
    return DescribeBlockDevice(found->second, root(), [this](const std::string& file, int left) {
      return MediumOfFile(file, left);
    }, depthLeft);
  }

  void Device(const std::string& folder, const std::string& majorMinor) {
    tree_.WriteFile("devices/" + folder + "/dev", majorMinor + "\n");
    tree_.MakeFolder("dev/block");
    fs::create_directory_symlink("../../devices/" + folder, tree_.Path("dev/block/" + majorMinor));
  }
  void Disk(const std::string& folder, const std::string& majorMinor, const std::string& rotational,
            const std::string& readAhead, const std::string& maxRequest) {
    Device(folder, majorMinor);
    const std::pair<const char*, const std::string&> values[] = {
        {"rotational", rotational}, {"read_ahead_kb", readAhead}, {"max_sectors_kb", maxRequest}};
    for (const auto& [file, value] : values)
      if (!value.empty()) tree_.WriteFile("devices/" + folder + "/queue/" + file, value + "\n");
  }
  void Partition(const std::string& folder, const std::string& majorMinor) {
    Device(folder, majorMinor);
    tree_.WriteFile("devices/" + folder + "/partition", "1\n");
  }
  void Loop(const std::string& folder, const std::string& majorMinor, const std::string& backingFile) {
    Disk(folder, majorMinor, "0", "128", "1280");
    tree_.WriteFile("devices/" + folder + "/loop/backing_file", backingFile + "\n");
  }
  void Members(const std::string& folder, const std::string& majorMinor, const std::vector<std::string>& members) {
    Disk(folder, majorMinor, "0", "128", "128");
    tree_.MakeFolder("devices/" + folder + "/slaves");
    for (const std::string& member : members)
      fs::create_directory_symlink(tree_.Path("devices/" + member),
                                   tree_.Path("devices/" + folder + "/slaves/" + fs::path(member).filename().string()));
  }

  TempTree tree_;
};

struct DeviceCase {
  const char* majorMinor;
  const char* id;
  MediumKind kind;
  std::uint32_t readAheadKiB;
  std::uint32_t maxRequestKiB;
  const char* description;
};

#define SDA "sda (8:0): rotational 1, read-ahead 128 KiB, max request 1280 KiB"
#define SDB "sdb (8:16): rotational 0, read-ahead 256 KiB, max request 512 KiB"

TEST(SysfsDevices, FollowsEachDeviceToTheDisksUnderIt) {
  const SysfsTree sysfs;
  const DeviceCase cases[] = {
      {"8:0", "8:0", MediumKind::Rotational, 128, 1280, SDA},
      {"8:1", "8:0", MediumKind::Rotational, 128, 1280, "sda1 → " SDA},
      {"8:17", "8:16", MediumKind::NonRotational, 256, 512, "sdb1 → " SDB},
      {"8:32", "8:32", MediumKind::Unknown, 0, 0, "sdc (8:32): the kernel says nothing"},
      {"8:48", "8:48", MediumKind::Rotational, 0, 0, "sdd (8:48): rotational 1"},
      {"7:3", "8:0", MediumKind::Rotational, 128, 1280, "loop3 → file on sda1 → " SDA},
      {"259:0", "8:0", MediumKind::Rotational, 128, 1280, "loop3p1 → loop3 → file on sda1 → " SDA},
      {"7:4", "", MediumKind::Unknown, 0, 0, "loop4 → file on fuse (server): no block device"},
      {"253:0", "8:0", MediumKind::Rotational, 128, 1280, "dm-0 (vg-one) → sda1 → " SDA "; sda2 → " SDA},
      {"253:1", "8:0+8:16", MediumKind::Rotational, 128, 512, "dm-1 → sda2 → " SDA "; sdb1 → " SDB},
      {"253:2", "8:16+8:32", MediumKind::Unknown, 256, 512,
       "dm-2 → sdb1 → " SDB "; sdc (8:32): the kernel says nothing"},
      {"9:0", "8:16", MediumKind::NonRotational, 256, 512, "md0 → sdb1 → " SDB},
      {"8:99", "", MediumKind::Unknown, 0, 0, "8:99: not a block device in sysfs"},
  };
  for (const DeviceCase& c : cases) {
    SCOPED_TRACE(c.majorMinor);
    const MediumInfo info = sysfs.Describe(c.majorMinor);
    EXPECT_EQ(info.id, c.id);
    EXPECT_EQ(info.kernelSays, c.kind);
    EXPECT_EQ(info.readAheadKiB, c.readAheadKiB);
    EXPECT_EQ(info.maxRequestKiB, c.maxRequestKiB);
    EXPECT_EQ(info.description, c.description);
  }
}

TEST(SysfsDevices, ALoopDeviceBackedByAFileOnItselfEndsUnknown) {
  const SysfsTree sysfs;
  const MediumInfo info = sysfs.Describe("7:5");
  EXPECT_EQ(info.id, "");
  EXPECT_EQ(info.kernelSays, MediumKind::Unknown);
  EXPECT_TRUE(info.description.ends_with("7:5: too long a chain of devices")) << info.description;
}

}  // namespace
}  // namespace ovik
