#pragma once

#include "engine/walk/WalkRules.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

namespace ovik {

// One step of a walk over the source tree, in the walk's order: what the
// engine needs for its lines and counters, and the files it compares.
struct WalkStep {
  enum class Kind : std::uint8_t {
    FolderEntered,   // the walk enters the folder `srcPath`
    FolderUnlisted,  // `srcPath` could not be listed whole; `flag`: it is the root
    SubFolder,       // the walk goes into a sub-folder next; `flag`: its destination twin is there
    Line,            // a line of its own, `line` for `srcPath`
    File,            // a file to compare; `flag`: its attributes were read. The
                     // scan's: the `files` files of a folder, `size` bytes in all
  };
  Kind kind = Kind::FolderEntered;
  bool flag = false;
  ResultKind line = ResultKind::Ok;
  std::int64_t size = 0;    // of a file, as the listing gave it
  std::uint64_t files = 1;
  std::uint64_t inode = 0;  // of a file, where the listing gave it; 0 otherwise
  bool dstListed = false;   // of a file: the destination's listing named it a regular file
  std::string srcPath;
  std::string dstPath;
  ListingRef listing;  // of a file: its folder's listing
};

// The walk over the source tree, one step at a time: a folder's walked
// sub-folders depth first in the listing's order, with a line for each
// sub-folder passed over and each special file among them, then the
// folder's files. The scan walks without a destination and counts a
// folder's files in one step; the destination walk looks up each
// sub-folder's twin and names a folder missing in the destination below
// which no file was found. Each step may list a folder;
// nothing is listed before the step that needs it.
class Walk {
 public:
  // No `dstRoot`: the scan, which lists with `sizes` and looks nothing up
  // in the destination.
  Walk(FileSystem& fileSystem, std::string srcRoot, std::optional<std::string> dstRoot, FileSizes sizes,
       std::uint32_t subFolderFilter);

  // The next step; false at the end of the walk.
  bool Next(WalkStep& step);
  // Listings and lookups hold `lock` alone, so that they never race a
  // reader of the same head. While `destinationOnTheHead` says the head
  // reads the destination, the twins of a folder's sub-folders are read
  // ahead together in the order they lie, so that the head sweeps the
  // tables that hold them once.
  void ListAlone(std::shared_ptr<std::shared_mutex> lock, std::function<bool()> destinationOnTheHead = {}) {
    headLock_ = std::move(lock);
    onTheHead_ = std::move(destinationOnTheHead);
  }

 private:
  struct Folder {
    std::string src;
    std::string dst;
    ListingRef listing;                // null until listed
    std::vector<char> dstSubThere;     // of each walked sub-folder, in order
    std::vector<char> dstListsFile;    // of each entry, when the destination was listed
    std::size_t nextEntry = 0;
    std::size_t nextSub = 0;
    std::size_t nextFile = 0;
    bool entered = false;
    bool filesPass = false;
    bool topMissing = false;           // the highest folder missing in the destination
    std::uint64_t filesBefore = 0;
  };

  bool IsWalked(const DirEntry& entry) const;
  // Lists the folder on top; false when it could not be listed.
  bool ListTop();
  void ListDestinationFiles(Folder& folder);
  bool NextOfEntries(Folder& folder, WalkStep& step);
  bool NextFile(Folder& folder, WalkStep& step);
  bool CountFiles(Folder& folder, WalkStep& step);
  void Leave(WalkStep& step, bool& stepped);

  FileSystem& fileSystem_;
  const std::string srcRoot_;
  const std::string dstRoot_;
  const bool withDestination_;
  const FileSizes sizes_;
  const std::uint32_t subFolderFilter_;
  bool started_ = false;
  std::vector<Folder> folders_;
  // The identities of the folders on the current path, to skip link cycles.
  std::vector<FileId> path_;
  std::shared_ptr<std::shared_mutex> headLock_;
  std::function<bool()> onTheHead_;
  std::uint64_t filesFound_ = 0;
  bool insideMissing_ = false;
};

}  // namespace ovik
