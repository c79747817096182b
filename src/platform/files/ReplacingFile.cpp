#include "platform/files/ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace ovik {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

// ".name.ovik-<pid>-<n>" beside the file, hidden from file managers.
std::string TemporaryName(const std::string& path, unsigned attempt) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".ovik-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

}  // namespace

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::Discard() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
  fd_ = -1;
  temporary_.clear();
}

int ReplacingFile::Create(const std::string& path) {
  Discard();
  path_ = path;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = TemporaryName(path, attempt);
    fd_ = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = temporary;
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int ReplacingFile::Write(std::string_view bytes) {
  buffer_.append(bytes);
  return buffer_.size() >= kBufferSize ? WriteOut() : 0;
}

int ReplacingFile::WriteOut() {
  std::string_view rest = buffer_;
  while (!rest.empty()) {
    const ssize_t written = write(fd_, rest.data(), rest.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
  buffer_.clear();
  return 0;
}

int ReplacingFile::Flush() {
  if (const int error = WriteOut(); error != 0) return error;
  return fdatasync(fd_) == 0 ? 0 : errno;
}

int ReplacingFile::Replace() {
  if (const int error = Flush(); error != 0) return error;
  const int closed = close(fd_);
  fd_ = -1;
  if (closed != 0) return errno;
  if (rename(temporary_.c_str(), path_.c_str()) != 0) return errno;
  temporary_.clear();
  return 0;
}

}  // namespace ovik
