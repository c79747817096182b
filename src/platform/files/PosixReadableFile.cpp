#include "platform/files/PosixReadableFile.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>

namespace ovik {
namespace {

// The kernel's first read-ahead on a file already covers 128 KiB (its
// default window), so for a file no larger than that the sequential hint
// would change nothing and only cost a system call.
constexpr off_t kSmallestFileWorthAHint = 128 * 1024;

// Writes out the file's dirty pages, waits for them and drops its cached
// pages, so that the next reads come from the device. No device cache flush
// is asked for: that would cost a full flush per file.
void DropCachedPages(int fd) {
  sync_file_range(fd, 0, 0,
                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

// Pages of the file that the page cache holds, by cachestat (Linux 6.5),
// which only counts. Nothing where the system cannot tell.
std::optional<std::uint64_t> CachedPages(int fd) {
#ifdef SYS_cachestat
  constexpr long kCachestat = SYS_cachestat;
#else
  constexpr long kCachestat = 451;  // the same number on every architecture
#endif
  struct {
    std::uint64_t offset, length;
  } wholeFile{0, 0};
  struct {
    std::uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
  } counts{};
  static std::atomic<bool> unsupported{false};
  if (unsupported.load(std::memory_order_relaxed)) return std::nullopt;
  if (syscall(kCachestat, fd, &wholeFile, &counts, 0) == 0) return counts.cached;
  if (errno == ENOSYS) unsupported.store(true, std::memory_order_relaxed);
  return std::nullopt;
}

// The byte is in the page cache. A read that may not wait also starts
// reading a missing page from the device, out of the order the head is
// read in: only where the cache cannot be asked otherwise.
bool ByteCached(int fd, off_t offset) {
  char byte = 0;
  iovec part{&byte, 1};
  return preadv2(fd, &part, 1, offset, RWF_NOWAIT) == 1;
}

class PosixReadableFile final : public ReadableFile {
 public:
  PosixReadableFile(int fd, off_t sizeWhenOpened, ReadRole role)
      : fd_(fd), sizeWhenOpened_(sizeWhenOpened), role_(role) {
    if (role_ == ReadRole::DestinationMedium) DropCachedPages(fd_);
    if (sizeWhenOpened_ > kSmallestFileWorthAHint) posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  ~PosixReadableFile() override {
    // Whatever this read brought into the cache goes, so that a second run
    // reads the medium again and the cache keeps room for the source.
    if (role_ == ReadRole::DestinationMedium) posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
    close(fd_);
  }
  PosixReadableFile(const PosixReadableFile&) = delete;
  PosixReadableFile& operator=(const PosixReadableFile&) = delete;

  std::optional<std::uint64_t> PhysicalOffset() override { return FirstExtentOffset(fd_); }
  void WillRead(std::int64_t length) override { posix_fadvise(fd_, 0, length, POSIX_FADV_WILLNEED); }
  // A destination's pages were dropped at its open: its reads go to the
  // medium.
  bool InMemory() override {
    if (role_ == ReadRole::DestinationMedium) return false;
    static const auto pageSize = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const std::uint64_t pages = (static_cast<std::uint64_t>(sizeWhenOpened_) + pageSize - 1) / pageSize;
    if (const std::optional<std::uint64_t> cached = CachedPages(fd_)) return *cached >= pages - pages / 32;
    return ByteCached(fd_, 0) && ByteCached(fd_, std::max<off_t>(sizeWhenOpened_ - 1, 0));
  }

  std::int64_t ReadAt(std::byte* buffer, std::size_t size, std::int64_t offset, int& error) override {
    std::size_t filled = 0;
    bool atEnd = false;
    while (filled < size && !atEnd) {
      const ssize_t count = ReadOnce(buffer + filled, size - filled, offset + static_cast<off_t>(filled));
      if (count == 0) break;
      if (count < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN && ClearNonBlockingOnARegularFile()) continue;
        error = errno;
        return -1;
      }
      filled += static_cast<std::size_t>(count);
      // A short read that stops exactly at the length the file had when it
      // was opened is its end; asking again would only return nothing.
      // Anywhere else a short read is retried (network file systems return
      // them before the end).
      atEnd = filled < size && offset + static_cast<off_t>(filled) == sizeWhenOpened_;
    }
    return static_cast<std::int64_t>(filled);
  }

  void TellWaits(WaitNotice* notice) override { notice_ = notice; }

 private:
  // One read. With a notice to tell, what the cache holds is asked for
  // first without waiting, and a read that has to wait is told; a read from
  // the medium always waits.
  ssize_t ReadOnce(std::byte* at, std::size_t count, off_t offset) {
    if (notice_ == nullptr) return pread(fd_, at, count, offset);
    if (tryCacheFirst_ && role_ != ReadRole::DestinationMedium) {
      iovec part{at, count};
      const ssize_t cached = preadv2(fd_, &part, 1, offset, RWF_NOWAIT);
      if (cached >= 0 || (errno != EAGAIN && errno != EOPNOTSUPP)) return cached;
      if (errno == EOPNOTSUPP) tryCacheFirst_ = false;
    }
    notice_->WaitStarts();
    const ssize_t done = pread(fd_, at, count, offset);
    const int error = errno;
    notice_->WaitEnds();
    errno = error;
    return done;
  }

  // True when the descriptor is a regular file that was non-blocking and
  // now blocks. Anything else put in the file's place since it was looked
  // at keeps failing instead of waiting.
  bool ClearNonBlockingOnARegularFile() {
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int flags = fcntl(fd_, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) != 0 && fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
  }

  int fd_;
  off_t sizeWhenOpened_;
  ReadRole role_;
  WaitNotice* notice_ = nullptr;
  bool tryCacheFirst_ = true;
};

int ErrorForNonRegular(const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : ENXIO; }

FileId IdOf(const struct stat& st) {
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// Opens the path below `rootFd` one step at a time, refusing every
// symbolic link on the way and at the end: for systems without openat2.
int OpenFollowingNoLinks(int rootFd, const std::string& relative, int flags) {
  int folder = rootFd;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = relative.find('/', start);
    const std::string step = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const bool last = slash == std::string::npos;
    int next = -1;
    if (step == "..") errno = EXDEV;
    else if (last) next = openat(folder, step.empty() ? "." : step.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    else if (!step.empty() && step != ".") next = openat(folder, step.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    else next = folder;
    const int error = errno;
    if (folder != rootFd && folder != next) close(folder);
    if (next < 0 || last) {
      errno = error;
      return next;
    }
    folder = next;
    start = slash + 1;
  }
}

// Opens `relative`, shorter than PATH_MAX, below `rootFd` so that no step
// of it leads outside.
int OpenShortPathBeneath(int rootFd, const std::string& relative, int flags) {
  static std::atomic<bool> withoutOpenat2{false};
  if (!withoutOpenat2.load(std::memory_order_relaxed)) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0;; ++attempt) {
      const long fd = syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how);
      if (fd >= 0) return static_cast<int>(fd);
      // A rename elsewhere in the file system can make the kernel unsure
      // that ".." stayed below the root; it asks for another try.
      if (errno == EINTR || (errno == EAGAIN && attempt < 8)) continue;
      // Refused by a filter (containers): the walk below gives the answer.
      if (errno == EPERM) break;
      if (errno != ENOSYS) return -1;
      withoutOpenat2 = true;
      break;
    }
  }
  const int fd = OpenFollowingNoLinks(rootFd, relative, flags);
  if (fd >= 0 && (flags & O_PATH) != 0 && (flags & O_NOFOLLOW) == 0) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
      close(fd);
      errno = ELOOP;
      return -1;
    }
  }
  return fd;
}

// Opens `relative` below `rootFd` so that no step of it leads outside. The
// kernel takes no path of PATH_MAX bytes or more, so a longer one is opened
// a part at a time at its separators, each part below the folder the one
// before it reached: beneath that folder, and so beneath the root.
int OpenBeneathFd(int rootFd, const std::string& relative, int flags) {
  if (relative.size() < PATH_MAX) return OpenShortPathBeneath(rootFd, relative, flags);
  const std::size_t cut = relative.rfind('/', PATH_MAX - 1);
  const std::size_t rest = relative.find_first_not_of('/', cut);
  if (cut == std::string::npos || cut == 0 || rest == std::string::npos) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int folder = OpenShortPathBeneath(rootFd, relative.substr(0, cut), O_PATH | O_DIRECTORY);
  if (folder < 0) return -1;
  const int fd = OpenBeneathFd(folder, relative.substr(rest), flags);
  const int error = errno;
  close(folder);
  errno = error;
  return fd;
}

// The open file `fd` to be read, once it is known to be a regular file: as
// `seen` describes it, or else as it is now. Anything else is closed again.
OpenResult AdoptRegularFile(int fd, ReadRole role, const struct stat* seen) {
  struct stat now;
  if (seen == nullptr) {
    if (fstat(fd, &now) != 0) {
      const int error = errno;
      close(fd);
      return OpenFailure(error);
    }
    seen = &now;
  }
  if (!S_ISREG(seen->st_mode)) {
    close(fd);
    return OpenFailure(ErrorForNonRegular(*seen));
  }
  return {std::make_shared<PosixReadableFile>(fd, seen->st_size, role), 0, IdOf(*seen),
          static_cast<std::int64_t>(seen->st_size)};
}

}  // namespace

int StatBeneath(int rootFd, const std::string& relative, bool noFollow, struct stat& st) {
  const int fd = OpenBeneathFd(rootFd, relative, O_PATH | (noFollow ? O_NOFOLLOW : 0));
  if (fd < 0) return errno;
  const int error = fstat(fd, &st) == 0 ? 0 : errno;
  close(fd);
  return error;
}

OpenResult OpenRegularFileBeneath(int rootFd, const std::string& relative, ReadRole role) {
  struct stat st;
  // A destination is looked at before it is opened, so that a FIFO or a
  // device there is never opened.
  if (role != ReadRole::Source) {
    if (const int error = StatBeneath(rootFd, relative, false, st); error != 0) return OpenFailure(error);
    if (!S_ISREG(st.st_mode)) return OpenFailure(ErrorForNonRegular(st));
  }
  const int fd = OpenBeneathFd(rootFd, relative, O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return OpenFailure(errno);
  return AdoptRegularFile(fd, role, nullptr);
}

OpenResult OpenRegularFileForRead(int dirFd, const char* name, ReadRole role, Listed listed) {
  struct stat st;
  const bool lookedAt = listed == Listed::No;
  if (lookedAt) {
    if (fstatat(dirFd, name, &st, 0) != 0) return OpenFailure(errno);
    if (!S_ISREG(st.st_mode)) return OpenFailure(ErrorForNonRegular(st));
  }
  // Reads of regular files never wait for O_NONBLOCK's sake, so the flag
  // stays; a file system that would answer EAGAIN gets blocking reads back
  // in ReadAt.
  const int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return OpenFailure(errno);
  // A file looked at just before is taken as it was seen; a listed one is
  // checked now, since its listing may be older.
  return AdoptRegularFile(fd, role, lookedAt ? &st : nullptr);
}

}  // namespace ovik
