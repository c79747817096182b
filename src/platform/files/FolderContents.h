#pragma once

#include <string>
#include <vector>

namespace ovik {

struct ContentsEntry {
  std::string name;
  bool isFolder = false;
  bool isExecutable = false;  // a file with an execute permission bit
};

// The entries of `folder` in the order the system returns them, "." and
// ".." included; special files (FIFOs, sockets, devices) are left out.
// Empty when the folder cannot be listed.
std::vector<ContentsEntry> ReadFolderContents(const std::string& folder);

// True when `path` names a folder that can be listed.
bool FolderCanBeListed(const std::string& path);

}  // namespace ovik
