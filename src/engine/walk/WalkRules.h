#pragma once

#include "common/ResultLine.h"
#include "common/SkippedFolders.h"
#include "platform/files/FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
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

// Lists a folder for a walk, sizes left to the open.
using FolderLister = std::function<ListingRef(const std::string& folder)>;

// The filter of the walks' sub-folder passes: hidden and system folders
// pass only when they are asked for.
inline std::uint32_t SubFolderFilter(bool includeHidden) {
  return includeHidden ? kFoldersFilter | faHidden | faSysFile : kFoldersFilter;
}

// A folder of the listing, "." and ".." aside.
inline bool IsFolder(const DirEntry& entry) {
  return (entry.attributes & faDirectory) != 0 && entry.name != "." && entry.name != "..";
}

// The entries a walk descends into: folders that pass the sub-folder filter.
inline bool IsSubFolder(const DirEntry& entry, std::uint32_t subFolderFilter) {
  return IsFolder(entry) && PassesFilter(entry.attributes, subFolderFilter);
}

// The line that names a folder the walk passes over by the filter, hidden
// before system; nothing for any other entry.
inline std::optional<ResultKind> SkippedFolderKind(const DirEntry& entry, std::uint32_t subFolderFilter) {
  if (!IsFolder(entry) || PassesFilter(entry.attributes, subFolderFilter)) return std::nullopt;
  return (entry.attributes & faHidden) != 0 ? ResultKind::HiddenFolderSkipped : ResultKind::SystemFolderSkipped;
}

// A device, a FIFO or a socket: named by the walk, never read.
inline bool IsSpecialFile(const DirEntry& entry) { return (entry.attributes & faDevice) != 0; }

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

// A sub-folder the walk would enter but for being on its path: named by a
// line, never walked.
inline bool IsFolderAbove(const DirEntry& entry, std::uint32_t subFolderFilter, const std::vector<FileId>& path) {
  return IsSubFolder(entry, subFolderFilter) && IsOnPath(entry, path);
}

}  // namespace ovik
