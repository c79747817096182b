#include "platform/files/PosixFileSystem.h"

#include "platform/files/PosixReadableFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ovik {

bool PassesFilter(std::uint32_t attributes, std::uint32_t filter) {
  constexpr std::uint32_t special = faHidden | faSysFile | faVolumeId | faDirectory;
  return (attributes & special & ~filter) == 0;
}

static bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

std::uint32_t AttributesFromStat(const struct stat& st, std::string_view name) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
  if (!name.empty() && name.front() == '.' && !IsDotOrDotDot(name)) attributes |= faHidden;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= faReadOnly;
  else if (S_ISREG(st.st_mode)) attributes |= faArchive;
  return attributes;
}

bool IsSpecialFile(const struct stat& st) {
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
}

namespace {

const char* FolderOrRoot(const std::string& folder) { return folder.empty() ? "/" : folder.c_str(); }

std::string_view LastComponent(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Describes an entry whose target cannot be reached through its symbolic
// link: it is a file that cannot be opened.
bool DescribeDanglingLink(int dirFd, const char* name, struct stat& st) {
  if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return false;
  st.st_size = 0;
  return true;
}

// Describes the object at `where` (relative to `dirFd`), named `name`.
bool MakeEntry(int dirFd, const char* where, std::string_view name, std::uint32_t filter, DirEntry& entry) {
  struct stat st;
  if (fstatat(dirFd, where, &st, 0) != 0 && !DescribeDanglingLink(dirFd, where, st)) return false;
  if (IsSpecialFile(st)) return false;
  const std::uint32_t attributes = AttributesFromStat(st, name);
  if (!PassesFilter(attributes, filter)) return false;
  entry.name.assign(name);
  entry.attributes = attributes;
  entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
  entry.id = FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

class PosixDirectoryListing final : public DirectoryListing {
 public:
  PosixDirectoryListing(DIR* dir, std::uint32_t filter) : dir_(dir), filter_(filter) {}
  ~PosixDirectoryListing() override { closedir(dir_); }
  PosixDirectoryListing(const PosixDirectoryListing&) = delete;
  PosixDirectoryListing& operator=(const PosixDirectoryListing&) = delete;

  bool Next(DirEntry& entry) override {
    while (const dirent* d = readdir(dir_)) {
      if (MakeEntry(dirfd(dir_), d->d_name, d->d_name, filter_, entry)) return true;
    }
    return false;
  }

 private:
  DIR* dir_;
  std::uint32_t filter_;
};

}  // namespace

std::unique_ptr<DirectoryListing> PosixFileSystem::List(const std::string& folder, std::uint32_t filter) {
  DIR* dir = opendir(FolderOrRoot(folder));
  if (dir == nullptr) return nullptr;
  return std::make_unique<PosixDirectoryListing>(dir, filter);
}

std::optional<DirEntry> PosixFileSystem::FindEntry(const std::string& path, std::uint32_t filter) {
  if (path.empty()) return std::nullopt;
  DirEntry entry;
  if (!MakeEntry(AT_FDCWD, path.c_str(), LastComponent(path), filter, entry)) return std::nullopt;
  return entry;
}

OpenResult PosixFileSystem::OpenForRead(const std::string& path, ReadRole role) {
  return OpenRegularFileForRead(path, role);
}

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace ovik
