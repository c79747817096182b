#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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
};

inline constexpr std::uint32_t kFoldersFilter = faDirectory;                               // 16
inline constexpr std::uint32_t kFilesFilter = faReadOnly | faHidden | faSysFile | faArchive;  // 39
inline constexpr std::uint32_t kAnythingFilter = faAnyFile;                               // 63

// Filters work by exclusion: an entry is skipped when it carries one of the
// special attributes (hidden, system, volume label, directory) that the
// filter does not include. Plain attributes always pass.
bool PassesFilter(std::uint32_t attributes, std::uint32_t filter);

// Identity of a file system object, used to recognise a folder that is
// reached again through a symbolic link.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

struct DirEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  FileId id;
};

// One open directory enumeration. Entries come in the order the system
// returns them, "." and ".." included where the system reports them.
class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  // Fills `entry` with the next entry that passes the listing's filter.
  virtual bool Next(DirEntry& entry) = 0;
};

// How a file is read. The source is the reference and is read through the
// cache; the destination is read from the medium unless asked otherwise.
enum class ReadRole { Source, DestinationMedium, DestinationCached };

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads until `size` bytes are in `buffer`, the end of the file or an
  // error. Returns the count, or -1 with the error number in `error`.
  virtual std::int64_t ReadBlock(std::byte* buffer, std::size_t size, int& error) = 0;
};

struct OpenResult {
  std::unique_ptr<ReadableFile> file;  // null on failure
  int error = 0;                       // the error number when `file` is null
};

// The narrow file-system interface the engine uses; tests put their own in
// its place to inject failures.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Null when the folder cannot be listed. An empty folder path is the root.
  virtual std::unique_ptr<DirectoryListing> List(const std::string& folder, std::uint32_t filter) = 0;
  // The entry that names `path` itself, when it exists and passes `filter`.
  virtual std::optional<DirEntry> FindEntry(const std::string& path, std::uint32_t filter) = 0;
  // Opens a regular file for reading; never opens special files.
  virtual OpenResult OpenForRead(const std::string& path, ReadRole role) = 0;
};

// The file system of the machine.
FileSystem& SystemFileSystem();

// Alignment that buffers handed to ReadBlock must have, so that reads that
// bypass the cache can go straight into them.
inline constexpr std::size_t kReadBufferAlignment = 4096;

}  // namespace ovik
