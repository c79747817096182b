#pragma once

#include "platform/files/FileSystem.h"

#include <sys/stat.h>

namespace ovik {

// Attributes of an entry as the walks see them on Linux: a directory after
// following symbolic links; hidden when the name begins with "." (but is not
// "." or ".."); read-only without any write permission bit; archive for
// other regular files. Linux has no system attribute.
std::uint32_t AttributesFromStat(const struct stat& st, std::string_view name);

// True for FIFOs, sockets and device nodes, which are not files for Ovik.
bool IsSpecialFile(const struct stat& st);

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<DirectoryListing> List(const std::string& folder, std::uint32_t filter) override;
  std::optional<DirEntry> FindEntry(const std::string& path, std::uint32_t filter) override;
  OpenResult OpenForRead(const std::string& path, ReadRole role) override;
};

}  // namespace ovik
