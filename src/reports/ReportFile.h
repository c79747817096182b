#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace ovik {

// The step of the file output that failed; Replacing: putting a file
// written in full in the place of the one it replaces.
enum class FileAction { Creating, Writing, Closing, Replacing };

// "creating", "writing", "closing" or "replacing".
std::string_view FileActionWord(FileAction action);

// The first line of the error message: "Error 28 writing file".
std::string FileErrorText(int code, FileAction action);

// The system calls a ReportFile makes. Tests replace them to provoke
// failures the real file system rarely gives, such as a failing close.
struct FileCalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<ssize_t(int fd, const void* bytes, std::size_t count)> write;
  std::function<int(int fd)> close;
};

FileCalls PosixFileCalls();

// A file written with status codes instead of exceptions: every step
// returns 0 or the errno of its failure. Writes are buffered; a failure of
// the medium surfaces at a later Write or at Flush, never at Close, so a
// report whose data did not reach the file always counts as a write error.
class ReportFile {
 public:
  explicit ReportFile(FileCalls calls = PosixFileCalls());
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // Creates the file or truncates an existing one.
  int Create(const std::string& path);
  int Write(std::string_view bytes);
  int Flush();
  // Closes the file; whatever is still buffered is dropped, because a
  // file is only closed without a Flush after a write has failed.
  int Close();

  bool IsOpen() const { return fd_ >= 0; }

 private:
  FileCalls calls_;
  int fd_ = -1;
  std::string buffer_;
};

}  // namespace ovik
