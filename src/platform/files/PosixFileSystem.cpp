#include "platform/files/PosixFileSystem.h"

#include "common/PathUtils.h"
#include "platform/files/PosixListFile.h"
#include "platform/files/PosixReadableFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace ovik {

bool PassesFilter(std::uint32_t attributes, std::uint32_t filter) {
  constexpr std::uint32_t special = faHidden | faSysFile | faVolumeId | faDirectory | faDevice;
  return (attributes & special & ~filter) == 0;
}

bool IsNoSuchEntry(int error) { return error == ENOENT || error == ENOTDIR; }

std::optional<DirEntry> FindEntry(FileSystem& fileSystem, const std::string& path, std::uint32_t filter) {
  EntryLookup lookup = fileSystem.LookUp(path);
  if (!lookup.entry || !PassesFilter(lookup.entry->attributes, filter)) return std::nullopt;
  return std::move(lookup.entry);
}

static bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

static bool IsHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.' && !IsDotOrDotDot(name);
}

std::uint32_t AttributesFromStat(const struct stat& st, std::string_view name) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
  if (IsSpecialFile(st)) attributes |= faDevice;
  if (IsHiddenName(name)) attributes |= faHidden;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= faReadOnly;
  else if (S_ISREG(st.st_mode)) attributes |= faArchive;
  return attributes;
}

bool IsSpecialFile(const struct stat& st) {
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
}

namespace {

// Describes an entry whose target cannot be reached through its symbolic
// link: it is a file that cannot be opened.
bool DescribeDanglingLink(int dirFd, const char* name, struct stat& st) {
  if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return false;
  st.st_size = 0;
  return true;
}

void FillAttributes(const struct stat& st, DirEntry& entry) {
  entry.attributes = AttributesFromStat(st, entry.name);
  entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
  entry.id = FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  entry.attributesRead = true;
}

void FillEntry(const struct stat& st, std::string_view name, DirEntry& entry) {
  entry.name.assign(name);
  FillAttributes(st, entry);
}

// What the listing alone tells of an entry whose attributes cannot be read.
void MarkUnread(unsigned char type, DirEntry& entry) {
  entry.attributes = (type == DT_DIR ? std::uint32_t{faDirectory} : 0u) |
                     (IsHiddenName(entry.name) ? std::uint32_t{faHidden} : 0u);
  entry.size = 0;
  entry.id = FileId{};
  entry.attributesRead = false;
}

// An entry of a listing whose attributes are still to be read.
struct UnreadEntry {
  std::size_t index;
  unsigned char type;
};

// Adds the entry `name` of a listing. A regular file (no link) is told by
// the listing itself when its size is left to the open; the attributes of
// the others are read after the listing, in `unread`.
void AddEntry(const char* name, unsigned char type, FileSizes sizes, std::vector<DirEntry>& entries,
              std::vector<UnreadEntry>& unread) {
  DirEntry& entry = entries.emplace_back();
  entry.name = name;
  if (IsDotOrDotDot(name)) {
    entry.attributes = faDirectory;
    return;
  }
  if (type == DT_REG && sizes == FileSizes::LeftToTheOpen) {
    entry.attributes = IsHiddenName(name) ? std::uint32_t{faHidden} : 0u;
    entry.size = kSizeUnknown;
    return;
  }
  unread.push_back({entries.size() - 1, type});
}

void ReadAttributes(int dirFd, const UnreadEntry& unread, std::vector<DirEntry>& entries) {
  DirEntry& entry = entries[unread.index];
  struct stat st;
  if (fstatat(dirFd, entry.name.c_str(), &st, 0) == 0 || DescribeDanglingLink(dirFd, entry.name.c_str(), st))
    FillAttributes(st, entry);
  else
    MarkUnread(unread.type, entry);
}

// Below this many, reading the attributes costs less than handing half of
// them to another processor.
constexpr std::size_t kUnreadWorthSharing = 32;
constexpr std::size_t kUnreadPerPiece = 8;

// Reads the attributes of the `unread` entries; a large folder's on two
// processors, a few entries at a time each.
void ReadAllAttributes(int dirFd, const std::vector<UnreadEntry>& unread, std::vector<DirEntry>& entries,
                       HelperThread& helper) {
  if (unread.size() < kUnreadWorthSharing) {
    for (const UnreadEntry& one : unread) ReadAttributes(dirFd, one, entries);
    return;
  }
  std::atomic<std::size_t> next{0};
  helper.RunOnBoth([&] {
    for (;;) {
      const std::size_t begin = next.fetch_add(kUnreadPerPiece);
      if (begin >= unread.size()) return;
      const std::size_t end = std::min(begin + kUnreadPerPiece, unread.size());
      for (std::size_t i = begin; i < end; ++i) ReadAttributes(dirFd, unread[i], entries);
    }
  });
}

// True when the open folder is the root of a mounted file system. The
// system says so where it can (Linux 5.8 on); elsewhere the root's parent
// lies on another device, or is the root itself ("/").
bool IsMountRoot(int dirFd) {
  struct statx stx {};
  if (statx(dirFd, "", AT_EMPTY_PATH, STATX_TYPE, &stx) == 0 && (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0)
    return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  struct stat self;
  struct stat parent;
  if (fstat(dirFd, &self) != 0 || fstatat(dirFd, "..", &parent, 0) != 0) return false;
  return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

// The lost+found of a file system, directly under its root, is the file
// system's own and readable by root alone: it carries the system attribute,
// so that the walks pass it over. Elsewhere a folder of that name is
// ordinary. The root is looked at only when the name is there.
void MarkSystemFolders(int dirFd, std::vector<DirEntry>& entries) {
  for (DirEntry& entry : entries) {
    if (entry.name != "lost+found" || (entry.attributes & faDirectory) == 0) continue;
    if (IsMountRoot(dirFd)) entry.attributes |= faSysFile;
    return;
  }
}

// Hands each entry of the open folder `dirFd` to `take` in the order the
// system returns them; false with the error number when the folder cannot
// be read to its end.
template <typename Take>
bool ReadDirents(int dirFd, const Take& take, int& error) {
  alignas(dirent64) char buffer[32 * 1024];
  for (;;) {
    const ssize_t count = getdents64(dirFd, buffer, sizeof buffer);
    if (count == 0) return true;
    if (count < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    for (ssize_t offset = 0; offset < count;) {
      const auto* d = reinterpret_cast<const dirent64*>(buffer + offset);
      take(*d);
      offset += d->d_reclen;
    }
  }
}

// Reads every entry of the open folder `dirFd` in the order the system
// returns them.
bool ReadAllEntries(int dirFd, FileSizes sizes, std::vector<DirEntry>& entries, HelperThread& helper, int& error) {
  std::vector<UnreadEntry> unread;
  const bool read =
      ReadDirents(dirFd, [&](const dirent64& d) { AddEntry(d.d_name, d.d_type, sizes, entries, unread); }, error);
  if (read) ReadAllAttributes(dirFd, unread, entries, helper);
  return read;
}

}  // namespace

FolderRef PosixFileSystem::ParentOf(const std::string& path, const char*& name, int& error) {
  const std::size_t slash = path.rfind('/');
  error = 0;
  if (slash == std::string::npos) {
    name = path.c_str();
    return nullptr;
  }
  name = path.c_str() + slash + 1;
  return folders_.ForLookups(std::string_view(path).substr(0, slash), error);
}

bool PosixFileSystem::ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries,
                                  int& error) {
  entries.clear();
  const FolderRef opened = folders_.ForListing(folder, error);
  if (!opened) return false;
  if (!ReadAllEntries(opened->fd(), sizes, entries, helper_, error)) {
    entries.clear();
    return false;
  }
  MarkSystemFolders(opened->fd(), entries);
  return true;
}

// Only what the entries tell: a name whose type they leave unknown (or a
// link) is not among them.
bool PosixFileSystem::ListFileNames(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  int error = 0;
  const FolderRef opened = folders_.ForListing(folder, error);
  if (!opened) return false;
  return ReadDirents(
      opened->fd(),
      [&](const dirent64& d) {
        if (d.d_type == DT_REG) names.emplace_back(d.d_name);
      },
      error);
}

// In the order of their inode numbers, the order of the tables that hold
// them, which the folder's listing tells.
void PosixFileSystem::ReadEntriesAhead(const std::string& folder, const std::vector<std::string>& names) {
  int error = 0;
  const FolderRef opened = folders_.ForListing(folder, error);
  if (!opened) return;
  const std::unordered_set<std::string_view> wanted(names.begin(), names.end());
  std::vector<std::pair<ino64_t, std::string>> found;
  ReadDirents(
      opened->fd(),
      [&](const dirent64& d) {
        if (wanted.count(d.d_name) != 0) found.emplace_back(d.d_ino, d.d_name);
      },
      error);
  std::sort(found.begin(), found.end());
  struct stat st;
  for (const auto& entry : found) (void)fstatat(opened->fd(), entry.second.c_str(), &st, 0);
}

EntryLookup PosixFileSystem::LookUp(const std::string& path) {
  if (path.empty()) return {std::nullopt, ENOENT};
  const char* last = nullptr;
  int error = 0;
  const FolderRef parent = ParentOf(path, last, error);
  if (error != 0) return {std::nullopt, error};
  // A path that ends with a separator ("/" among them) names that folder.
  const std::string name = *last == '\0' ? "." : last;
  const int dirFd = parent ? parent->fd() : AT_FDCWD;
  struct stat st;
  if (fstatat(dirFd, name.c_str(), &st, 0) != 0 && !DescribeDanglingLink(dirFd, name.c_str(), st))
    return {std::nullopt, errno};
  DirEntry entry;
  FillEntry(st, name, entry);
  return {std::move(entry), 0};
}

// A source comes from a listing that has just named it a file; a
// destination is looked up by its name.
OpenResult PosixFileSystem::OpenForRead(const std::string& path, ReadRole role) {
  return OpenInParent(path, role, role == ReadRole::Source ? Listed::AsFile : Listed::No);
}

OpenResult PosixFileSystem::OpenListedFile(const std::string& path, ReadRole role) {
  return OpenInParent(path, role, Listed::AsFile);
}

OpenResult PosixFileSystem::OpenInParent(const std::string& path, ReadRole role, Listed listed) {
  const char* name = nullptr;
  int error = 0;
  const FolderRef parent = ParentOf(path, name, error);
  if (error != 0) return OpenFailure(error);
  return OpenRegularFileForRead(parent ? parent->fd() : AT_FDCWD, name, role, listed);
}

OpenResult PosixFileSystem::OpenBeneath(const std::string& root, const std::string& relative, ReadRole role) {
  int error = 0;
  const FolderRef folder = folders_.ForLookups(root, error);
  if (!folder) return OpenFailure(error);
  return OpenRegularFileBeneath(folder->fd(), relative, role);
}

EntryLookup PosixFileSystem::LookUpBeneath(const std::string& root, const std::string& relative) {
  int error = 0;
  const FolderRef folder = folders_.ForLookups(root, error);
  if (!folder) return {std::nullopt, error};
  struct stat st;
  error = StatBeneath(folder->fd(), relative, false, st);
  // A link whose target cannot be reached is a file that cannot be opened;
  // one that leads out of the root says so.
  if (error != 0) {
    if (error == EXDEV || StatBeneath(folder->fd(), relative, true, st) != 0 || !S_ISLNK(st.st_mode))
      return {std::nullopt, error};
    st.st_size = 0;
  }
  DirEntry entry;
  FillEntry(st, relative.substr(relative.rfind('/') + 1), entry);
  return {std::move(entry), 0};
}

OpenResult FileSystem::OpenBeneath(const std::string& root, const std::string& relative, ReadRole role) {
  return OpenForRead(JoinPath(root, relative), role);
}

OpenResult FileSystem::OpenList(const std::string& path) { return OpenForRead(path, ReadRole::Source); }

bool FileSystem::ListFileNames(const std::string& folder, std::vector<std::string>& names) {
  std::vector<DirEntry> entries;
  int error = 0;
  names.clear();
  if (!ListEntries(folder, FileSizes::LeftToTheOpen, entries, error)) return false;
  for (DirEntry& entry : entries)
    if (PassesFilter(entry.attributes, kFilesFilter)) names.push_back(std::move(entry.name));
  return true;
}

OpenResult PosixFileSystem::OpenList(const std::string& path) { return OpenListForRead(path); }

EntryLookup FileSystem::LookUpBeneath(const std::string& root, const std::string& relative) {
  return LookUp(JoinPath(root, relative));
}

// Never destroyed: a thread left behind in a call that never returns (a
// FIFO without a writer, a stalled device) may still use it while the
// process exits.
FileSystem& SystemFileSystem() {
  static auto* const fileSystem = new PosixFileSystem();
  return *fileSystem;
}

}  // namespace ovik
