#include "platform/files/PosixListFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ovik {
namespace {

// A file read as a stream: each read goes on from where the last one
// stopped, whatever offset it is given.
class PosixStreamFile final : public ReadableFile {
 public:
  explicit PosixStreamFile(int fd) : fd_(fd) {}
  ~PosixStreamFile() override { close(fd_); }
  PosixStreamFile(const PosixStreamFile&) = delete;
  PosixStreamFile& operator=(const PosixStreamFile&) = delete;

  std::int64_t ReadAt(std::byte* buffer, std::size_t size, std::int64_t, int& error) override {
    std::size_t filled = 0;
    while (filled < size) {
      const ssize_t count = read(fd_, buffer + filled, size - filled);
      if (count == 0) break;
      if (count > 0) {
        filled += static_cast<std::size_t>(count);
      } else if (errno == EAGAIN) {
        // Standard input may have been left non-blocking by whoever
        // started the program.
        pollfd ready{fd_, POLLIN, 0};
        poll(&ready, 1, -1);
      } else if (errno != EINTR) {
        error = errno;
        return -1;
      }
    }
    return static_cast<std::int64_t>(filled);
  }

 private:
  int fd_;
};

}  // namespace

OpenResult OpenListForRead(const std::string& path) {
  const int fd = path == "-" ? fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3)
                             : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return OpenFailure(errno);
  struct stat st;
  const int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (error != 0) {
    close(fd);
    return OpenFailure(error);
  }
  OpenResult result;
  result.file = std::make_shared<PosixStreamFile>(fd);
  result.id = FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  result.size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
  return result;
}

}  // namespace ovik
