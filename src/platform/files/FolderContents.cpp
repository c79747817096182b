#include "platform/files/FolderContents.h"

#include "platform/files/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace ovik {

namespace {

// Follows symbolic links; a dangling link is described as the link itself,
// which shows up as a plain file.
bool DescribeEntry(int dirFd, const char* name, struct stat& st) {
  return fstatat(dirFd, name, &st, 0) == 0 || fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool HasExecuteBit(const struct stat& st) { return (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0; }

}  // namespace

std::vector<ContentsEntry> ReadFolderContents(const std::string& folder) {
  std::vector<ContentsEntry> entries;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return entries;
  while (const dirent* d = readdir(dir)) {
    struct stat st;
    if (!DescribeEntry(dirfd(dir), d->d_name, st) || IsSpecialFile(st)) continue;
    const bool isFolder = S_ISDIR(st.st_mode);
    entries.push_back(ContentsEntry{d->d_name, isFolder, !isFolder && S_ISREG(st.st_mode) && HasExecuteBit(st)});
  }
  closedir(dir);
  return entries;
}

bool FolderCanBeListed(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return false;
  closedir(dir);
  return true;
}

}  // namespace ovik
