#pragma once

#include <string>
#include <string_view>

namespace ovik {

// A file written whole under a temporary name in the folder of its path and
// then put in the path's place, so that the path always holds the earlier
// file or the complete new one, never a part. Every step returns 0 or the
// error number of its failure. Dropped before Replace, the temporary file
// goes again.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file, readable and writable as the umask allows.
  int Create(const std::string& path);
  // Buffered.
  int Write(std::string_view bytes);
  // Writes out what is buffered and waits until the medium holds it.
  int Flush();
  // Closes the temporary file and renames it to the path.
  int Replace();

 private:
  int WriteOut();
  void Discard();

  int fd_ = -1;
  std::string path_;
  std::string temporary_;
  std::string buffer_;
};

}  // namespace ovik
