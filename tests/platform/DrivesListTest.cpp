#include "platform/drives/Drives.h"
#include "platform/drives/DrivesMountTable.h"

#include "support/FakeDriveSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ovik {
namespace {

using testing::FakeDriveSystem;

std::vector<std::string> MountPoints(const std::vector<DriveInfo>& drives) {
  std::vector<std::string> points;
  for (const DriveInfo& drive : drives) points.push_back(drive.mountPoint);
  return points;
}

const DriveInfo& DriveAt(const std::vector<DriveInfo>& drives, const std::string& mountPoint) {
  const auto found =
      std::find_if(drives.begin(), drives.end(), [&](const DriveInfo& d) { return d.mountPoint == mountPoint; });
  EXPECT_NE(found, drives.end()) << mountPoint;
  return *found;
}

TEST(MountTable, ParsesFieldsAroundOptionalTagsAndDecodesEscapes) {
  const auto records = ParseMountTable(
      "36 35 98:0 /mnt1 /mnt/my\\040disk rw,noatime master:1 shared:7 - ext3 /dev/root rw,errors=continue\n"
      "garbage line\n"
      "21 26 0:20 / /proc rw,relatime - proc proc rw\n");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].deviceNumber, "98:0");
  EXPECT_EQ(records[0].root, "/mnt1");
  EXPECT_EQ(records[0].mountPoint, "/mnt/my disk");
  EXPECT_EQ(records[0].fsType, "ext3");
  EXPECT_EQ(records[0].source, "/dev/root");
  EXPECT_EQ(records[1].mountPoint, "/proc");
}

TEST(MountTable, LeavesIncompleteEscapesAlone) { EXPECT_EQ(DecodeMountEscapes("a\\134b\\04"), "a\\b\\04"); }

class DriveListing : public ::testing::Test {
 protected:
  FakeDriveSystem system;
};

TEST_F(DriveListing, KeepsRealFileSystemsInMountPointOrder) {
  system.Mount("/proc", "proc", "proc");
  system.Mount("/sys", "sysfs", "sysfs");
  system.Mount("/sys/fs/cgroup", "cgroup2", "cgroup2");
  system.Mount("/dev/pts", "devpts", "devpts");
  system.Mount("/run", "tmpfs", "tmpfs");
  system.Mount("/run/user/1000", "tmpfs", "tmpfs");
  system.Mount("/snap/core/1", "squashfs", "/dev/loop0");
  system.Mount("/", "ext4", "/dev/sda1");
  system.Mount("/home", "ext4", "/dev/sda2");
  system.Mount("/data", "xfs", "/dev/sdb1");
  EXPECT_EQ(MountPoints(ListDrives(system)), (std::vector<std::string>{"/", "/data", "/home"}));
}

TEST_F(DriveListing, AlwaysOffersTheRoot) {
  system.Mount("/proc", "proc", "proc");
  const auto drives = ListDrives(system);
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(DriveItemText(drives[0]), "/ []");
}

TEST_F(DriveListing, ALaterMountOnTheSamePointHidesTheEarlierOne) {
  system.Mount("/", "ext4", "/dev/sda1");
  system.Mount("/mnt/x", "ext4", "/dev/sdb1");
  system.Mount("/mnt/x", "nfs", "server:/export");
  const auto drives = ListDrives(system);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(DriveItemText(drives[1]), "/mnt/x server:/export");
}

TEST_F(DriveListing, LeavesOutFilesBoundIntoPlace) {
  system.Mount("/", "overlay", "overlay");
  system.Mount("/etc/hosts", "ext4", "/dev/vda");
  system.notFolders.insert("/etc/hosts");
  EXPECT_EQ(MountPoints(ListDrives(system)), (std::vector<std::string>{"/"}));
}

TEST_F(DriveListing, TellsTheKindsApart) {
  system.Mount("/", "ext4", "/dev/sda1", "8:1");
  system.Mount("/media/anna/STICK", "vfat", "/dev/sdc1", "8:33");
  system.Mount("/run/media/bo/CARD", "exfat", "/dev/mmcblk0p1", "179:1");
  system.Mount("/mnt/flag", "ext4", "/dev/sdd", "8:48");
  system.files["/sys/dev/block/8:48/removable"] = "1\n";
  system.Mount("/mnt/part", "ext4", "/dev/sde1", "8:65");
  system.files["/sys/dev/block/8:65/partition"] = "1\n";
  system.files["/sys/dev/block/8:65/../removable"] = "1\n";
  system.Mount("/mnt/share", "cifs", "//server/share");
  system.Mount("/mnt/ssh", "fuse.sshfs", "me@host:");
  system.Mount("/mnt/disc", "iso9660", "/dev/sr0");
  system.Mount("/mnt/ram", "tmpfs", "tmpfs");
  const auto drives = ListDrives(system);
  EXPECT_EQ(DriveAt(drives, "/").kind, DriveKind::Fixed);
  EXPECT_EQ(DriveAt(drives, "/media/anna/STICK").kind, DriveKind::Removable);
  EXPECT_EQ(DriveAt(drives, "/run/media/bo/CARD").kind, DriveKind::Removable);
  EXPECT_EQ(DriveAt(drives, "/mnt/flag").kind, DriveKind::Removable);
  EXPECT_EQ(DriveAt(drives, "/mnt/part").kind, DriveKind::Removable);
  EXPECT_EQ(DriveAt(drives, "/mnt/share").kind, DriveKind::Remote);
  EXPECT_EQ(DriveAt(drives, "/mnt/ssh").kind, DriveKind::Remote);
  EXPECT_EQ(DriveAt(drives, "/mnt/disc").kind, DriveKind::CdRom);
  EXPECT_EQ(DriveAt(drives, "/mnt/ram").kind, DriveKind::RamDisk);
}

TEST_F(DriveListing, WritesItemTextsByKind) {
  system.Mount("/", "ext4", "/dev/sda1");
  system.labels["/dev/sda1"] = "System Disk";
  system.Mount("/media/STICK", "vfat", "/dev/sdc1");
  system.labels["/dev/sdc1"] = "STICK";
  system.Mount("/mnt/share", "smb3", "//Server/Share");
  system.Mount("/mnt/disc", "udf", "/dev/sr0");
  system.Mount("/mnt/ram", "ramfs", "none");
  std::vector<std::string> texts;
  for (const DriveInfo& drive : ListDrives(system)) texts.push_back(DriveItemText(drive));
  EXPECT_EQ(texts, (std::vector<std::string>{"/ [System Disk]", "/media/STICK", "/mnt/disc []", "/mnt/ram []",
                                             "/mnt/share //Server/Share"}));
}

TEST(DriveText, ARemoteDriveWithoutSourceShowsItsLabel) {
  EXPECT_EQ(DriveItemText(DriveInfo{"/mnt/n", DriveKind::Remote, "lbl", ""}), "/mnt/n [lbl]");
}

TEST(DriveOfFolder, IsTheLongestMountPointOnWholeComponents) {
  const std::vector<DriveInfo> drives{{"/", DriveKind::Fixed, "", ""},
                                      {"/mnt/usb", DriveKind::Removable, "", ""},
                                      {"/mnt/usb/inner", DriveKind::Fixed, "", ""}};
  EXPECT_EQ(DriveIndexOfFolder(drives, "/"), 0);
  EXPECT_EQ(DriveIndexOfFolder(drives, "/mnt"), 0);
  EXPECT_EQ(DriveIndexOfFolder(drives, "/mnt/usbx"), 0);
  EXPECT_EQ(DriveIndexOfFolder(drives, "/mnt/usb"), 1);
  EXPECT_EQ(DriveIndexOfFolder(drives, "/mnt/usb/a"), 1);
  EXPECT_EQ(DriveIndexOfFolder(drives, "/mnt/usb/inner/b"), 2);
  EXPECT_EQ(DriveIndexOfFolder(drives, "relative"), -1);
  EXPECT_EQ(DriveIndexOfFolder({}, "/"), -1);
}

}  // namespace
}  // namespace ovik
