#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
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

// The file an output lands in: an existing one by its device and inode, a
// new one by its folder's real path and its name.
struct OutputTarget {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::string newPath;  // empty for an existing file
  // A terminal or /dev/null: outputs written there in turn replace
  // nothing of each other.
  bool characterDevice = false;
  // Written through one of the program's descriptors, after what it wrote
  // there already ("/dev/stdout", "/dev/fd/N").
  bool ownDescriptor = false;

  bool SameFile(const OutputTarget& other) const {
    return device == other.device && inode == other.inode && newPath == other.newPath;
  }
};

// Where an output to `path` would land, links followed; nothing when that
// cannot be told (OutputProblem says why).
std::optional<OutputTarget> TargetOfOutput(const std::string& path);
// Where the program's descriptor `fd` writes.
std::optional<OutputTarget> TargetOfDescriptor(int fd);

// An output written in place that is no regular file (a FIFO, a device, a
// terminal) opened at once, never waiting for a reader, so that a run
// learns before it starts that an output has nowhere to go, and a FIFO's
// reader sees one writer from the start to the end. The descriptor stays
// non-blocking: OutputFile waits for the reader itself. Other outputs are
// opened when they are written.
struct OutputOpenedAhead {
  int fd = -1;     // -1: written later under its name, or failed
  int error = 0;   // of the open
  bool noReader = false;  // a FIFO that no program has open for reading
};
OutputOpenedAhead OpenSpecialOutputAhead(const std::string& path);

// A write that a pipe, a FIFO or a terminal does not take at once waits for
// its reader in short slices. Once abandoned (safe in a signal handler),
// such a write gives up with EINTR, so that Ctrl+C still ends a program
// whose reader never reads.
void AbandonOutputWaits(bool abandon);

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
