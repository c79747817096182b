#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ovik::faultfs {

struct ListedEntry {
  std::string name;
  ino_t inode = 0;
  unsigned char type = 0;  // DT_*
};

// The entries of an open folder but "." and "..", in the byte order of
// their names, as a disc lists them. Leaves `folder` open.
std::vector<ListedEntry> SortedListing(int folder);

}  // namespace ovik::faultfs
