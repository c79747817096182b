#pragma once

#include "platform/files/FileSystem.h"

#include <memory>
#include <vector>

namespace ovik {

// A folder's entries as one listing returned them, shared by both passes
// of a walk.
struct FolderListing {
  bool listed = false;  // false: the folder could not be listed whole
  std::vector<DirEntry> entries;
};
using ListingRef = std::shared_ptr<const FolderListing>;

ListingRef ListFolderNow(FileSystem& fileSystem, const std::string& folder, FileSizes sizes);

// The entries a walk descends into: folders that pass the folders filter,
// "." and ".." aside.
inline bool IsSubFolder(const DirEntry& entry) {
  return PassesFilter(entry.attributes, kFoldersFilter) && (entry.attributes & faDirectory) != 0 &&
         entry.name != "." && entry.name != "..";
}

// The entries a walk hands to the comparison: those that pass the files
// filter.
inline bool IsFile(const DirEntry& entry) { return PassesFilter(entry.attributes, kFilesFilter); }

// A sub-folder reached again through a symbolic link above it would never
// end; it is skipped. One whose identity could not be read is walked, so
// that its listing fails and is reported.
inline bool IsOnPath(const DirEntry& entry, const std::vector<FileId>& path) {
  if (!entry.attributesRead) return false;
  for (const FileId& id : path)
    if (id == entry.id) return true;
  return false;
}

}  // namespace ovik
