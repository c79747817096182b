#pragma once

#include "engine/WalkRules.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ovik {

// The destination walk's order of folders and files, worked out ahead of
// the walk so that the files it will compare next can be read early. It
// follows the walk's own rules over the same listings: the walk takes each
// folder's listing from here, and a folder is listed once, whether ahead of
// the walk or when the walk enters it. Results are never decided here.
class WalkLookahead {
 public:
  // `subFolderFilter`: the walk's own (SubFolderFilter).
  WalkLookahead(FolderLister list, const std::string& srcRoot, const std::string& dstRoot, const FileId& rootId,
                std::uint32_t subFolderFilter, std::size_t listingsAhead = 32);
  WalkLookahead(FileSystem& fileSystem, const std::string& srcRoot, const std::string& dstRoot, const FileId& rootId,
                std::uint32_t subFolderFilter, std::size_t listingsAhead = 32);

  // The listing of `folder`, which the walk enters now.
  ListingRef ListingFor(const std::string& folder);
  // The next file the walk will compare after those given before; false at
  // the end, or while the walk has more listings to catch up with than may
  // wait for it.
  bool NextFile(std::string& srcPath, std::string& dstPath);

 private:
  struct Frame {
    std::string src;
    std::string dst;
    FileId id;
    ListingRef listing;
    std::size_t nextFolder = 0;
    std::size_t nextFile = 0;
    bool foldersDone = false;
  };

  // Moves on to the next file or the next folder still to be listed; true
  // when a file was found.
  bool Step(std::string* srcPath, std::string* dstPath);
  ListingRef ListTop();

  FolderLister list_;
  std::vector<Frame> stack_;
  std::vector<FileId> path_;
  std::unordered_map<std::string, ListingRef> ahead_;  // listed, not yet entered by the walk
  std::uint32_t subFolderFilter_;
  std::size_t listingsAhead_;
  bool lost_ = false;  // the walk went where this did not foresee
};

}  // namespace ovik
