#include "reports/ReportFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ovik {
namespace {

constexpr std::size_t kBufferCapacity = 64 * 1024;

}  // namespace

std::string_view FileActionWord(FileAction action) {
  switch (action) {
    case FileAction::Creating: return "creating";
    case FileAction::Writing: return "writing";
    case FileAction::Closing: return "closing";
    case FileAction::Replacing: return "replacing";
  }
  return "using";
}

std::string FileErrorText(int code, FileAction action) {
  return "Error " + std::to_string(code) + " " + std::string(FileActionWord(action)) + " file";
}

FileCalls PosixFileCalls() {
  return {
      [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
      [](int fd, const void* bytes, std::size_t count) { return ::write(fd, bytes, count); },
      [](int fd) { return ::close(fd); },
  };
}

ReportFile::ReportFile(FileCalls calls) : calls_(std::move(calls)) { buffer_.reserve(kBufferCapacity); }

ReportFile::~ReportFile() {
  if (IsOpen()) Close();
}

int ReportFile::Create(const std::string& path) {
  errno = 0;
  const int fd = calls_.open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno != 0 ? errno : EIO;
  fd_ = fd;
  buffer_.clear();
  return 0;
}

int ReportFile::Write(std::string_view bytes) {
  if (!IsOpen()) return EBADF;
  buffer_.append(bytes);
  return buffer_.size() >= kBufferCapacity ? Flush() : 0;
}

int ReportFile::Flush() {
  if (!IsOpen()) return EBADF;
  std::size_t done = 0;
  while (done < buffer_.size()) {
    errno = 0;
    const ssize_t written = calls_.write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int code = written < 0 && errno != 0 ? errno : EIO;
      buffer_.erase(0, done);
      return code;
    }
    done += static_cast<std::size_t>(written);
  }
  buffer_.clear();
  return 0;
}

int ReportFile::Close() {
  if (!IsOpen()) return EBADF;
  buffer_.clear();
  const int fd = fd_;
  fd_ = -1;
  errno = 0;
  // The descriptor is gone even when close fails, so it is never retried.
  if (calls_.close(fd) != 0) return errno != 0 ? errno : EIO;
  return 0;
}

}  // namespace ovik
