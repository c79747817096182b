#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace ovik {

// The system calls an OutputFile makes on its descriptor. Tests replace
// them to provoke failures the real file system rarely gives, such as a
// failing close.
struct FileCalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<ssize_t(int fd, const void* bytes, std::size_t count)> write;
  std::function<int(int fd)> close;
};

FileCalls PosixFileCalls();

// 0 when OutputFile can write to `path`, or else the error number that the
// write would meet: ENOENT or ENOTDIR for a folder that is not there,
// EISDIR for a folder, EACCES or EROFS for a file or folder the user may
// not write. Only looks: nothing is created or opened.
int OutputProblem(const std::string& path);

// A file written as shell redirection writes it, but never left half
// written where a whole file was:
// - a new name or a regular file: written under a temporary name in the
//   same folder, synced, and renamed over it by Replace, keeping an earlier
//   file's permissions; so the path holds the earlier file or the complete
//   new one, never a part. Where the folder takes no new file but the file
//   itself may be written, it is truncated and written in place, as `>`
//   does;
// - a symbolic link: the file it leads to, by the same rules; the link
//   stays;
// - anything else (a terminal, a pipe, a device): written in place through
//   an ordinary open, never renamed over; "/dev/stdout", "/dev/stderr" and
//   "/dev/fd/N" write through the program's own descriptor, after what it
//   wrote there already;
// - an existing file the user may not write is refused with EACCES.
// Every step returns 0 or the error number of its failure. Dropped before
// Replace, a temporary file goes again.
class OutputFile {
 public:
  explicit OutputFile(FileCalls calls = PosixFileCalls());
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int Create(const std::string& path);
  // Buffered.
  int Write(std::string_view bytes);
  // Writes out what is buffered; a file that will replace another is also
  // synced to the medium.
  int Flush();
  // Closes the descriptor, also after a failed write; whatever is still
  // buffered is dropped.
  int Close();
  // Puts a complete temporary file in the place of the path; nothing to do
  // for an output written in place. Only after a Flush and a Close that
  // succeeded.
  int Replace();

  bool IsOpen() const { return fd_ >= 0; }

 private:
  int WriteOut();

  FileCalls calls_;
  int fd_ = -1;
  bool syncs_ = false;
  std::string target_;
  std::string temporary_;
  std::string buffer_;
};

}  // namespace ovik
