#pragma once

#include <string>
#include <string_view>

namespace ovik {

// What a file system makes of the names it is given: whether two names that
// differ only in case (or in Unicode form) are one, and which names it
// refuses to hold. By default: case-sensitive, holds any name.
struct NameRules {
  // The file system's name as the notes show it ("vfat", "exfat"); empty
  // when nothing is known of it.
  std::string fileSystem;
  bool ignoresCase = false;
  // A case-folded folder also takes the Unicode forms of a name as one.
  bool ignoresUnicodeForm = false;
  // The characters "*:<>?\| and the control characters below 0x20.
  bool refusesWindowsCharacters = false;
  // Names that end in a dot or a space.
  bool refusesTrailingDotOrSpace = false;
  // The device names CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9,
  // with or without an extension.
  bool refusesReservedNames = false;
};

// The rules of a file system by its type as the mount table names it
// ("vfat", "exfat", "ntfs3", "cifs" …; a FUSE type by its subtype) and its
// mount options, comma-separated.
NameRules RulesOfFileSystem(std::string_view type, std::string_view options);

// The name of the file system that a boot sector announces ("exfat",
// "vfat", "ntfs"); empty for any other.
std::string FileSystemOfBootSector(std::string_view sector);

// One line of the mount table (/proc/self/mountinfo) for a device.
struct MountTableEntry {
  std::string type;     // with a FUSE subtype: "fuse.fusefat", "fuseblk"
  std::string source;   // "/dev/sdb1"
  std::string options;  // the mount's and the file system's, comma-separated
};

// The first entry of `mountInfo` whose device number is major:minor; an
// empty type when there is none.
MountTableEntry FindMountOfDevice(std::string_view mountInfo, unsigned major, unsigned minor);

// Why the file system cannot hold `name` as given; empty when it can.
std::string WhyNameNotHeld(const NameRules& rules, std::string_view name);

// The rules that hold for the names of `folder` on this machine; for a
// folder that is not there, those of the nearest folder above it that is.
NameRules DescribeNamesOf(const std::string& folder);

}  // namespace ovik
