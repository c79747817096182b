#pragma once

#include "platform/files/FileSystem.h"
#include "platform/files/HelperThread.h"
#include "platform/files/PosixFolderHandles.h"
#include "platform/files/PosixReadableFile.h"

#include <sys/stat.h>

#include <string_view>

namespace ovik {

// Attributes of an entry as the walks see them on Linux: a directory after
// following symbolic links; hidden when the name begins with "." (but is not
// "." or ".."); read-only without any write permission bit; archive for
// other regular files. The system attribute is the listing's to give
// (ListEntries: a file system's own lost+found).
std::uint32_t AttributesFromStat(const struct stat& st, std::string_view name);

// True for FIFOs, sockets and device nodes, which are not files for Ovik.
bool IsSpecialFile(const struct stat& st);

class PosixFileSystem final : public FileSystem {
 public:
  bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries, int& error) override;
  EntryLookup LookUp(const std::string& path) override;
  void ReadEntriesAhead(const std::string& folder, const std::vector<std::string>& names) override;
  OpenResult OpenForRead(const std::string& path, ReadRole role) override;
  bool ListFileNames(const std::string& folder, std::vector<std::string>& names) override;
  OpenResult OpenListedFile(const std::string& path, ReadRole role) override;
  OpenResult OpenBeneath(const std::string& root, const std::string& relative, ReadRole role) override;
  OpenResult OpenList(const std::string& path) override;
  EntryLookup LookUpBeneath(const std::string& root, const std::string& relative) override;
  void ReleaseFolders() override { folders_.Clear(); }
  MediumInfo DescribeMedium(const std::string& folder) override { return ovik::DescribeMedium(folder); }
  NameRules DescribeNames(const std::string& folder) override { return DescribeNamesOf(folder); }

 private:
  // The folder that holds `path` and the name of `path` in it, the end of
  // `path` itself; the current folder for a name without a separator. Null
  // with the error number when that folder cannot be opened.
  FolderRef ParentOf(const std::string& path, const char*& name, int& error);
  OpenResult OpenInParent(const std::string& path, ReadRole role, Listed listed);

  FolderHandles folders_;
  // Reads the attributes of a large folder's entries beside the listing's thread.
  HelperThread helper_;
};

}  // namespace ovik
