#include "platform/files/PosixReadableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

  std::int64_t ReadBlock(std::byte* buffer, std::size_t size, int& error) override {
    std::size_t filled = 0;
    bool atEnd = false;
    while (filled < size && !atEnd) {
      const ssize_t count = read(fd_, buffer + filled, size - filled);
      if (count == 0) break;
      if (count < 0) {
        if (errno == EINTR) continue;
        error = errno;
        return -1;
      }
      filled += static_cast<std::size_t>(count);
      offset_ += count;
      // A short read that stops exactly at the length the file had when it
      // was opened is its end; asking again would only return nothing.
      // Anywhere else a short read is retried (network file systems return
      // them before the end).
      atEnd = filled < size && offset_ == sizeWhenOpened_;
    }
    return static_cast<std::int64_t>(filled);
  }

 private:
  int fd_;
  off_t sizeWhenOpened_;
  off_t offset_ = 0;
  ReadRole role_;
};

int ErrorForNonRegular(const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : ENXIO; }

}  // namespace

OpenResult OpenRegularFileForRead(const std::string& path, ReadRole role) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {nullptr, errno};
  if (!S_ISREG(st.st_mode)) return {nullptr, ErrorForNonRegular(st)};
  // O_NONBLOCK guards against the path having been replaced by a FIFO since
  // the stat above; the check after opening confirms what was opened.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return {nullptr, errno};
  struct stat opened;
  if (fstat(fd, &opened) != 0) {
    const int error = errno;
    close(fd);
    return {nullptr, error};
  }
  if (!S_ISREG(opened.st_mode)) {
    close(fd);
    return {nullptr, ErrorForNonRegular(opened)};
  }
  // Blocking reads again. O_RDONLY and O_CLOEXEC are not status flags, so
  // no other status flag is set and none is lost.
  fcntl(fd, F_SETFL, 0);
  return {std::make_unique<PosixReadableFile>(fd, opened.st_size, role), 0};
}

}  // namespace ovik
