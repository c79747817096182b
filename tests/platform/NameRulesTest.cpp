// What a destination's file system makes of names: the rules read from its
// type and mount options, and, on real FAT32, exFAT and ext4 images, that
// the rules say what the driver does with the names it is given.

#include "platform/files/NameRules.h"
#include "support/media/FatMedium.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace ovik {
namespace {

using testing::FatKind;
using testing::FatMedium;
using testing::MediumKind;
using testing::TestMedium;

TEST(NameRules, FileSystemTypeAndMountOptionsGiveTheRules) {
  const struct {
    const char* type;
    const char* options;
    const char* name;
    bool ignoresCase, refusesCharacters, refusesWindowsNames;
  } cases[] = {
      {"vfat", "rw,relatime,fmask=0022,shortname=mixed,utf8=1", "vfat", true, true, false},
      {"msdos", "rw", "msdos", true, true, false},
      {"fuse.fusefat", "rw,user_id=0", "vfat", true, true, false},
      {"exfat", "rw,iocharset=utf8", "exfat", true, true, false},
      {"fuseblk.exfat", "rw", "exfat", true, true, false},
      // NTFS on Linux keeps case and takes any name unless told otherwise.
      {"ntfs3", "rw,uid=0,gid=0", "ntfs", false, false, false},
      {"ntfs3", "rw,nocase,windows_names", "ntfs", true, true, true},
      {"fuseblk.ntfs-3g", "rw,windows_names", "ntfs", false, true, true},
      {"fuseblk.lowntfs-3g", "rw,ignore_case", "ntfs", true, false, false},
      {"cifs", "rw,vers=3.1.1,nocase", "cifs", true, false, false},
      {"cifs", "rw,vers=3.1.1", "cifs", false, false, false},
      // An option is a whole word of the list.
      {"cifs", "rw,nocasefold", "cifs", false, false, false},
      {"ext4", "rw,relatime", "", false, false, false},
      {"fuse.sshfs", "rw", "", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.options);
    const NameRules rules = RulesOfFileSystem(c.type, c.options);
    EXPECT_EQ(rules.fileSystem, c.name);
    EXPECT_EQ(rules.ignoresCase, c.ignoresCase);
    EXPECT_FALSE(rules.ignoresUnicodeForm);
    EXPECT_EQ(rules.refusesWindowsCharacters, c.refusesCharacters);
    EXPECT_EQ(rules.refusesTrailingDotOrSpace, c.refusesWindowsNames);
    EXPECT_EQ(rules.refusesReservedNames, c.refusesWindowsNames);
  }
}

TEST(NameRules, WhyANameCannotBeHeld) {
  NameRules all;
  all.fileSystem = "ntfs";
  all.refusesWindowsCharacters = all.refusesTrailingDotOrSpace = all.refusesReservedNames = true;
  const std::string who = "the destination's file system (ntfs) cannot hold ";
  const struct {
    const char* name;
    std::string why;
  } cases[] = {
      {"plain name.txt", ""},
      {"a:b", who + "\":\" in a name"},
      {"what?", who + "\"?\" in a name"},
      {"back\\slash", who + "\"\\\" in a name"},
      {"\"quoted\"", who + "\"\"\" in a name"},
      {"tab\there", who + "control characters in a name"},
      {"ends.", who + "a name that ends in a dot"},
      {"ends ", who + "a name that ends in a space"},
      {"con", who + "the reserved device name \"con\""},
      {"LPT9.log", who + "the reserved device name \"LPT9\""},
      {"COM0", ""},
      {"CONSOLE", ""},
      {"é.txt", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(WhyNameNotHeld(all, c.name), c.why) << c.name;
  EXPECT_EQ(WhyNameNotHeld(NameRules{}, "a:b?."), "");
}

TEST(NameRules, TheMountTableNamesTheFileSystemOfADevice) {
  const std::string table =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "45 22 0:40 / /media/stick rw,nosuid shared:5 master:2 - fuse.fusefat fusefat rw,user_id=0\n"
      "46 22 7:0 / /media/my\\040card rw,nosuid - fuseblk /dev/loop\\0400 rw,allow_other\n";
  const MountTableEntry stick = FindMountOfDevice(table, 0, 40);
  EXPECT_EQ(stick.type, "fuse.fusefat");
  EXPECT_EQ(stick.options, "rw,nosuid,rw,user_id=0");
  const MountTableEntry card = FindMountOfDevice(table, 7, 0);
  EXPECT_EQ(card.type, "fuseblk");
  EXPECT_EQ(card.source, "/dev/loop 0");
  EXPECT_EQ(FindMountOfDevice(table, 8, 2).type, "");

  std::string sector(512, '\0');
  EXPECT_EQ(FileSystemOfBootSector(sector), "");
  sector.replace(3, 8, "EXFAT   ");
  EXPECT_EQ(FileSystemOfBootSector(sector), "exfat");
  sector.replace(3, 8, "MSWIN4.1");
  sector.replace(82, 8, "FAT32   ");
  EXPECT_EQ(FileSystemOfBootSector(sector), "vfat");
}

bool CanCreate(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// The names refused or held on the images, as their drivers on Linux take
// them: FAT32 and exFAT refuse the characters and ignore case, but hold a
// trailing dot or space and the device names; ext4 holds all of them.
const char* const kProbedNames[] = {"a:b", "a*b", "a?b", "a<b", "a>b", "a|b", "a\"b", "a\\b", "a\x01" "b",
                                    "dot.", "space ", "CON", "nul.txt", "COM1"};

class NameRulesOnFat : public ::testing::TestWithParam<FatKind> {};

TEST_P(NameRulesOnFat, TheRulesSayWhatTheDriverRefuses) {
  OVIK_REQUIRE_FAT(GetParam());
  FatMedium medium(GetParam());
  ASSERT_EQ(medium.error(), "");
  const NameRules rules = DescribeNamesOf(medium.root());
  EXPECT_EQ(rules.fileSystem, GetParam() == FatKind::Fat32 ? "vfat" : "exfat");
  EXPECT_TRUE(rules.ignoresCase);
  for (const char* name : kProbedNames)
    EXPECT_EQ(CanCreate(medium.root(), name), WhyNameNotHeld(rules, name).empty()) << name;

  // Two names that differ in case are one.
  ASSERT_TRUE(CanCreate(medium.root(), "Photo.JPG"));
  EXPECT_FALSE(CanCreate(medium.root(), "photo.jpg"));
  // A folder that is not there takes names as the one above it does.
  EXPECT_TRUE(DescribeNamesOf(medium.root() + "/not/there").ignoresCase);
}

INSTANTIATE_TEST_SUITE_P(Images, NameRulesOnFat, ::testing::Values(FatKind::Fat32, FatKind::Exfat),
                         [](const auto& info) { return std::string(testing::FatName(info.param)); });

TEST(NameRules, Ext4KeepsCaseAndHoldsEveryName) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Ext4);
  testing::TempTree content;
  TestMedium medium(MediumKind::Ext4, content.root());
  ASSERT_EQ(medium.error(), "");
  const NameRules rules = DescribeNamesOf(medium.root());
  EXPECT_FALSE(rules.ignoresCase);
  for (const char* name : kProbedNames) {
    EXPECT_TRUE(CanCreate(medium.root(), name)) << name;
    EXPECT_EQ(WhyNameNotHeld(rules, name), "") << name;
  }
}

}  // namespace
}  // namespace ovik
