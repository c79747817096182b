#include "platform/files/OutputFile.h"

#include "common/PathUtils.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <charconv>
#include <string>

namespace ovik {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
// As many links as the kernel follows in one path.
constexpr int kMostLinks = 40;
// How long a write waiting for its reader sleeps before it looks whether it
// was abandoned.
constexpr int kWaitSliceMs = 100;

std::atomic<bool> g_outputWaitsAbandoned{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// How an output reaches its path.
enum class Way { NewFile, Replace, InPlace, Descriptor };

struct OutputPlace {
  Way way = Way::NewFile;
  std::string path;  // links followed
  int fd = -1;       // Descriptor: the program's own
  struct stat old {};  // Replace: the file replaced, whose owner and permissions stay
  bool regular = false;
  int error = 0;
};

OutputPlace Failure(int error) {
  OutputPlace place;
  place.error = error;
  return place;
}

bool MayWrite(const std::string& path, int how) { return faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0; }

// The descriptor that "/dev/stdout", "/dev/stderr", "/dev/fd/N" or
// "/proc/self/fd/N" names, or -1.
int StandardDescriptorOf(std::string_view path) {
  if (path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    if (!path.starts_with(prefix)) continue;
    const std::string_view number = path.substr(prefix.size());
    int fd = -1;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), fd);
    if (error == std::errc() && end == number.data() + number.size() && !number.empty()) return fd;
  }
  return -1;
}

// Follows the symbolic links that `path` itself is, to the file they lead
// to or the name a new file would take. 0 or the error number.
int FollowLinks(std::string& path) {
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    if (hops == kMostLinks) return ELOOP;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t size = readlink(path.c_str(), target.data(), target.size());
    if (size < 0) return errno;
    target.resize(static_cast<std::size_t>(size));
    path = target.starts_with('/') ? target : JoinPath(FolderOf(path), target);
  }
}

OutputPlace PlaceOfNewFile(const std::string& path) {
  const std::string folder = FolderOf(path);
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return Failure(errno);
  if (!S_ISDIR(st.st_mode)) return Failure(ENOTDIR);
  if (!MayWrite(folder, W_OK | X_OK)) return Failure(errno);
  OutputPlace place;
  place.way = Way::NewFile;
  place.path = path;
  place.regular = true;
  return place;
}

OutputPlace LocateOutput(const std::string& given) {
  if (const int fd = StandardDescriptorOf(given); fd >= 0) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return Failure(EBADF);
    OutputPlace place;
    place.way = Way::Descriptor;
    place.path = given;
    place.fd = fd;
    return place;
  }
  std::string path = given;
  if (const int error = FollowLinks(path); error != 0) return Failure(error);
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT ? PlaceOfNewFile(path) : Failure(errno);
  if (S_ISDIR(st.st_mode)) return Failure(EISDIR);
  if (!MayWrite(path, W_OK)) return Failure(errno);
  OutputPlace place;
  place.path = path;
  place.regular = S_ISREG(st.st_mode);
  place.old = st;
  const bool folderTakesFiles = MayWrite(FolderOf(path), W_OK | X_OK);
  place.way = place.regular && folderTakesFiles ? Way::Replace : Way::InPlace;
  return place;
}

OutputTarget TargetOfStat(const struct stat& st) {
  OutputTarget target;
  target.device = static_cast<std::uint64_t>(st.st_dev);
  target.inode = static_cast<std::uint64_t>(st.st_ino);
  target.characterDevice = S_ISCHR(st.st_mode);
  return target;
}

// 0 once `fd` takes bytes again; EINTR once the wait is abandoned.
int WaitUntilWritable(int fd) {
  for (;;) {
    if (g_outputWaitsAbandoned.load()) return EINTR;
    pollfd waiting{fd, POLLOUT, 0};
    const int ready = poll(&waiting, 1, kWaitSliceMs);
    if (ready > 0) return 0;
    if (ready < 0 && errno != EINTR) return errno;
  }
}

// The new file keeps who may read and write the one it replaces: its
// permissions, and its owner where the program may give files away.
void KeepOwnerAndPermissions(int fd, const struct stat& old) {
  // Should either fail, the new file is still the complete one.
  [[maybe_unused]] const int owned = geteuid() == 0 ? fchown(fd, old.st_uid, old.st_gid) : 0;
  fchmod(fd, old.st_mode & 07777);
}

// ".name.ovik-<pid>-<n>" beside the file, hidden from file managers.
std::string TemporaryName(const std::string& path, unsigned attempt) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".ovik-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
}

}  // namespace

FileCalls PosixFileCalls() {
  return {
      [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
      [](int fd, const void* bytes, std::size_t count) { return ::write(fd, bytes, count); },
      [](int fd) { return ::close(fd); },
  };
}

int OutputProblem(const std::string& path) { return LocateOutput(path).error; }

std::optional<OutputTarget> TargetOfDescriptor(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return std::nullopt;
  OutputTarget target = TargetOfStat(st);
  target.ownDescriptor = true;
  return target;
}

std::optional<OutputTarget> TargetOfOutput(const std::string& path) {
  const OutputPlace place = LocateOutput(path);
  if (place.error != 0) return std::nullopt;
  if (place.way == Way::Descriptor) return TargetOfDescriptor(place.fd);
  if (place.way != Way::NewFile) return TargetOfStat(place.old);
  char* folder = realpath(FolderOf(place.path).c_str(), nullptr);
  if (folder == nullptr) return std::nullopt;
  OutputTarget target;
  target.newPath = JoinPath(folder, place.path.substr(place.path.rfind('/') + 1));
  std::free(folder);
  return target;
}

OutputOpenedAhead OpenSpecialOutputAhead(const std::string& path) {
  const OutputPlace place = LocateOutput(path);
  OutputOpenedAhead opened;
  opened.error = place.error;
  if (place.error != 0 || place.way != Way::InPlace || place.regular) return opened;
  opened.fd = open(place.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (opened.fd >= 0) return opened;
  opened.error = errno;
  opened.noReader = opened.error == ENXIO && S_ISFIFO(place.old.st_mode);
  return opened;
}

void AbandonOutputWaits(bool abandon) { g_outputWaitsAbandoned.store(abandon); }

OutputFile::OutputFile(FileCalls calls) : calls_(std::move(calls)) {}

OutputFile::~OutputFile() {
  if (IsOpen()) Close();
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

int OutputFile::Create(const std::string& path) {
  const OutputPlace place = LocateOutput(path);
  if (place.error != 0) return place.error;
  target_ = place.path;
  buffer_.clear();
  errno = 0;
  switch (place.way) {
    case Way::Descriptor:
      fd_ = fcntl(place.fd, F_DUPFD_CLOEXEC, 3);
      return fd_ >= 0 ? 0 : errno;
    case Way::InPlace:
      fd_ = calls_.open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (place.regular ? O_TRUNC : 0), 0666);
      return fd_ >= 0 ? 0 : (errno != 0 ? errno : EIO);
    case Way::NewFile:
    case Way::Replace: break;
  }
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = TemporaryName(target_, attempt);
    errno = 0;
    fd_ = calls_.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = temporary;
      syncs_ = true;
      if (place.way == Way::Replace) KeepOwnerAndPermissions(fd_, place.old);
      return 0;
    }
    if (errno != EEXIST) return errno != 0 ? errno : EIO;
  }
  return EEXIST;
}

int OutputFile::Write(std::string_view bytes) {
  if (!IsOpen()) return EBADF;
  buffer_.append(bytes);
  return buffer_.size() >= kBufferSize ? WriteOut() : 0;
}

int OutputFile::WriteOut() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    errno = 0;
    const ssize_t written = calls_.write(fd_, buffer_.data() + done, buffer_.size() - done);
    int code = written < 0 && errno != 0 ? errno : EIO;
    if (written < 0 && code == EAGAIN) code = WaitUntilWritable(fd_);
    else if (written < 0 && code == EINTR && !g_outputWaitsAbandoned.load()) code = 0;
    if (written <= 0) {
      if (code == 0) continue;
      buffer_.erase(0, done);
      return code;
    }
    done += static_cast<std::size_t>(written);
  }
  buffer_.clear();
  return 0;
}

int OutputFile::Flush() {
  if (!IsOpen()) return EBADF;
  if (const int error = WriteOut(); error != 0) return error;
  return !syncs_ || fdatasync(fd_) == 0 ? 0 : errno;
}

int OutputFile::Close() {
  if (!IsOpen()) return EBADF;
  buffer_.clear();
  const int fd = fd_;
  fd_ = -1;
  errno = 0;
  // The descriptor is gone even when close fails, so it is never retried.
  if (calls_.close(fd) != 0) return errno != 0 ? errno : EIO;
  return 0;
}

int OutputFile::Replace() {
  if (temporary_.empty()) return 0;
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return errno;
  temporary_.clear();
  return 0;
}

}  // namespace ovik
