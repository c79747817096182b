#pragma once

#include <string>
#include <vector>

namespace ovik {

// One line of /proc/self/mountinfo, with the escapes of its paths decoded.
struct MountRecord {
  std::string deviceNumber;  // "major:minor"
  std::string root;          // the part of the file system mounted here
  std::string mountPoint;
  std::string fsType;
  std::string source;
};

std::vector<MountRecord> ParseMountTable(const std::string& text);

// Decodes the octal escapes ("\040" for a space) the kernel writes in paths.
std::string DecodeMountEscapes(const std::string& text);

}  // namespace ovik
