#include "platform/files/NameRules.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace ovik {

namespace {

bool HasOption(std::string_view options, std::string_view wanted) {
  while (!options.empty()) {
    const std::size_t comma = options.find(',');
    if (options.substr(0, comma) == wanted) return true;
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return false;
}

// A FUSE mount's type is "fuse" or "fuseblk", with the driver's subtype after a dot.
std::string_view WithoutFusePrefix(std::string_view type) {
  for (std::string_view prefix : {"fuse.", "fuseblk."})
    if (type.substr(0, prefix.size()) == prefix) return type.substr(prefix.size());
  return type;
}

bool IsOneOf(std::string_view type, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), type) != names.end();
}

// The mount table writes a space, a tab, a newline and a backslash in a
// path as an octal escape.
std::string Unescaped(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        text += static_cast<char>(std::stoi(std::string(digits), nullptr, 8));
        i += 3;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

bool IsReservedDeviceName(std::string_view name) {
  std::string base(name.substr(0, name.find('.')));
  std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return std::toupper(c); });
  if (IsOneOf(base, {"CON", "PRN", "AUX", "NUL"})) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
         base[3] <= '9';
}

}  // namespace

NameRules RulesOfFileSystem(std::string_view type, std::string_view options) {
  NameRules rules;
  const std::string_view driver = WithoutFusePrefix(type);
  if (IsOneOf(driver, {"vfat", "msdos", "fat", "fusefat"})) {
    rules.fileSystem = driver == "msdos" ? "msdos" : "vfat";
    rules.ignoresCase = true;
    rules.refusesWindowsCharacters = true;
  } else if (IsOneOf(driver, {"exfat", "exfat-fuse"})) {
    rules.fileSystem = "exfat";
    rules.ignoresCase = true;
    rules.refusesWindowsCharacters = true;
  } else if (IsOneOf(driver, {"ntfs", "ntfs3", "ntfs-3g", "lowntfs-3g"})) {
    // On Linux NTFS keeps case and takes any name unless mounted to do as Windows does.
    rules.fileSystem = "ntfs";
    rules.ignoresCase = HasOption(options, "ignore_case") || HasOption(options, "nocase");
    const bool windowsNames = HasOption(options, "windows_names");
    rules.refusesWindowsCharacters = windowsNames;
    rules.refusesTrailingDotOrSpace = windowsNames;
    rules.refusesReservedNames = windowsNames;
  } else if (IsOneOf(driver, {"cifs", "smb3"})) {
    rules.fileSystem = std::string(driver);
    rules.ignoresCase = HasOption(options, "nocase");
  }
  return rules;
}

std::string FileSystemOfBootSector(std::string_view sector) {
  const auto has = [&](std::size_t offset, std::string_view text) { return sector.substr(offset, text.size()) == text; };
  if (sector.size() < 90) return {};
  if (has(3, "EXFAT   ")) return "exfat";
  if (has(3, "NTFS    ")) return "ntfs";
  if (has(82, "FAT32   ") || has(54, "FAT12   ") || has(54, "FAT16   ")) return "vfat";
  return {};
}

MountTableEntry FindMountOfDevice(std::string_view mountInfo, unsigned major, unsigned minor) {
  const std::string device = std::to_string(major) + ":" + std::to_string(minor);
  std::istringstream lines{std::string(mountInfo)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, parent, number, root, mountPoint, mountOptions;
    if (!(fields >> id >> parent >> number >> root >> mountPoint >> mountOptions) || number != device) continue;
    std::string field;
    while (fields >> field && field != "-") {}
    MountTableEntry entry;
    std::string source, superOptions;
    if (!(fields >> entry.type >> source)) continue;
    fields >> superOptions;
    entry.source = Unescaped(source);
    entry.options = mountOptions + "," + superOptions;
    return entry;
  }
  return {};
}

std::string WhyNameNotHeld(const NameRules& rules, std::string_view name) {
  const std::string who =
      rules.fileSystem.empty() ? "the destination's file system" : "the destination's file system (" + rules.fileSystem + ")";
  if (rules.refusesWindowsCharacters) {
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 0x20) return who + " cannot hold control characters in a name";
      if (std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos)
        return who + " cannot hold \"" + std::string(1, c) + "\" in a name";
    }
  }
  if (rules.refusesTrailingDotOrSpace && !name.empty() && (name.back() == '.' || name.back() == ' '))
    return who + (name.back() == '.' ? " cannot hold a name that ends in a dot" : " cannot hold a name that ends in a space");
  if (rules.refusesReservedNames && IsReservedDeviceName(name))
    return who + " cannot hold the reserved device name \"" + std::string(name.substr(0, name.find('.'))) + "\"";
  return {};
}

}  // namespace ovik
