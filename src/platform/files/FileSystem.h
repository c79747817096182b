#pragma once

#include "platform/files/NameRules.h"
#include "platform/media/Medium.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovik {

// Attribute bits of a directory entry, with the values the walks' filters use.
enum FileAttribute : std::uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeId = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
  faAnyFile = 0x3F,
  // A device, a FIFO or a socket: named, never read, and passed by no filter.
  faDevice = 0x40,
};

inline constexpr std::uint32_t kFoldersFilter = faDirectory;                               // 16
inline constexpr std::uint32_t kFilesFilter = faReadOnly | faHidden | faSysFile | faArchive;  // 39
inline constexpr std::uint32_t kAnythingFilter = faAnyFile;                               // 63

// Filters work by exclusion: an entry is skipped when it carries one of the
// special attributes (hidden, system, volume label, directory, device) that
// the filter does not include. Plain attributes always pass.
bool PassesFilter(std::uint32_t attributes, std::uint32_t filter);

// True when a failed lookup's error number says that nothing of that name
// is there (rather than that it could not be looked at).
bool IsNoSuchEntry(int error);

// Identity of a file system object, used to recognise a folder that is
// reached again through a symbolic link and a destination that is the
// source itself.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// The size of a file that a listing left to the open.
inline constexpr std::int64_t kSizeUnknown = -1;

struct DirEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::int64_t size = 0;  // kSizeUnknown when the listing did not read it
  FileId id;
  // False when the listing returned the name but its kind and size could
  // not be read; `attributes` then hold what the name and the listing tell.
  bool attributesRead = true;
};

struct EntryLookup {
  std::optional<DirEntry> entry;  // the entry, when it is there
  int error = 0;                  // why the lookup failed; 0 when it worked
};

// What a listing reads of the files it names: their sizes, or only what the
// listing itself tells (a regular file's size then comes with its open).
enum class FileSizes { Read, LeftToTheOpen };

// How a file is read. The source is the reference and is read through the
// cache; the destination is read from the medium unless asked otherwise.
enum class ReadRole { Source, DestinationMedium, DestinationCached };

// Told when a read is about to wait for the device and when it is done, so
// that whoever reads can keep other work going meanwhile.
class WaitNotice {
 public:
  virtual ~WaitNotice() = default;
  virtual void WaitStarts() = 0;
  virtual void WaitEnds() = 0;
};

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads from `offset` until `size` bytes are in `buffer`, the end of the
  // file or an error. Returns the count, or -1 with the error number in
  // `error`. A count below `size` happens only at the end of the file.
  virtual std::int64_t ReadAt(std::byte* buffer, std::size_t size, std::int64_t offset, int& error) = 0;
  // From now on, reads tell `notice` around every wait for the device; what
  // the cache holds is read without a notice.
  virtual void TellWaits(WaitNotice* notice) { (void)notice; }
  // Where the file's first data lies on its device, for reading files in
  // the order their data lies; nothing where that is not known.
  virtual std::optional<std::uint64_t> PhysicalOffset() { return std::nullopt; }
  // Tells the system that the first `length` bytes are read next, so that
  // it brings them in while the file read before them is still read; the
  // call does not wait for them. By default nothing.
  virtual void WillRead(std::int64_t length) { (void)length; }
  // Whether the file's data is in memory (the page cache), all but a page
  // in 32, asked without reading from the device; false where that is not
  // known.
  virtual bool InMemory() { return false; }

  // Reads on from where the last read stopped.
  std::int64_t ReadBlock(std::byte* buffer, std::size_t size, int& error) {
    const std::int64_t count = ReadAt(buffer, size, position_, error);
    if (count > 0) position_ += count;
    return count;
  }

 private:
  std::int64_t position_ = 0;
};

struct OpenResult {
  std::shared_ptr<ReadableFile> file;  // null on failure
  int error = 0;                       // the error number when `file` is null
  FileId id;                           // of the file opened
  std::int64_t size = 0;               // its length when it was opened
};

inline OpenResult OpenFailure(int error) {
  OpenResult result;
  result.error = error;
  return result;
}

// The narrow file-system interface the engine uses; tests put their own in
// its place to inject failures. Paths are byte strings; an empty folder
// path is the root. Reading ahead calls it from its own threads, and a
// thread whose call hangs in the kernel is left behind when a run ends, so
// a file system must outlive the runs that use it.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Every entry of `folder` in the order the system returns them, "." and
  // ".." included where the system reports them, special files marked as
  // devices.
  // Folders always come with their identity. False with the error number
  // when the folder cannot be listed whole.
  virtual bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries,
                           int& error) = 0;
  // The entry that names `path` itself.
  virtual EntryLookup LookUp(const std::string& path) = 0;
  // Reads the attributes of the entries `names` of `folder` in the order
  // they lie on the medium, so that looking them up next, in any order,
  // finds them in memory rather than moving a head back and forth. By
  // default nothing.
  virtual void ReadEntriesAhead(const std::string& folder, const std::vector<std::string>& names) {
    (void)folder;
    (void)names;
  }
  // Opens a regular file for reading; never opens special files.
  virtual OpenResult OpenForRead(const std::string& path, ReadRole role) = 0;
  // The names of the regular files among the entries of `folder`, as far as
  // its listing tells them without looking at each entry; false when it
  // cannot be listed. By default the files among those of ListEntries.
  virtual bool ListFileNames(const std::string& folder, std::vector<std::string>& names);
  // As OpenForRead, for a file that ListFileNames has just named a regular
  // file: it need not be looked at before it is opened, and is looked at
  // once open instead. By default OpenForRead.
  virtual OpenResult OpenListedFile(const std::string& path, ReadRole role) { return OpenForRead(path, role); }
  // As OpenForRead and LookUp for `relative` within `root`, where no step
  // of the path may lead out of `root`: neither "..", nor a symbolic link
  // that points outside (the error is then EXDEV). By default the two paths
  // are only joined.
  virtual OpenResult OpenBeneath(const std::string& root, const std::string& relative, ReadRole role);
  virtual EntryLookup LookUpBeneath(const std::string& root, const std::string& relative);
  // Opens a checksum list to be read from start to end: on the machine, a
  // regular file or a stream (a pipe, a FIFO, "-" for standard input), whose
  // open and reads may wait as long as its writer. By default OpenForRead.
  virtual OpenResult OpenList(const std::string& path);
  // Lets go of the folders kept open between calls; a run ends with it.
  virtual void ReleaseFolders() {}
  // The medium that holds `folder`; unknown by default.
  virtual MediumInfo DescribeMedium(const std::string& folder) {
    (void)folder;
    return {};
  }
  // How the file system under `folder` takes names: case-sensitive and
  // holding any name by default.
  virtual NameRules DescribeNames(const std::string& folder) {
    (void)folder;
    return {};
  }
};

// The entry that names `path` itself, when it exists and passes `filter`.
std::optional<DirEntry> FindEntry(FileSystem& fileSystem, const std::string& path, std::uint32_t filter);

// The file system of the machine.
FileSystem& SystemFileSystem();

// Alignment that buffers handed to ReadAt must have, so that reads that
// bypass the cache can go straight into them.
inline constexpr std::size_t kReadBufferAlignment = 4096;

}  // namespace ovik
