#include "SortedListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace ovik::faultfs {

std::vector<ListedEntry> SortedListing(int folder) {
  std::vector<ListedEntry> entries;
  const int own = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) return entries;
  DIR* listing = fdopendir(own);
  if (listing == nullptr) {
    close(own);
    return entries;
  }
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") entries.push_back({name, entry->d_ino, entry->d_type});
  }
  closedir(listing);
  std::sort(entries.begin(), entries.end(), [](const ListedEntry& a, const ListedEntry& b) { return a.name < b.name; });
  return entries;
}

}  // namespace ovik::faultfs
