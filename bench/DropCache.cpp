// Drops every regular file under the folders given from the page cache, so
// that the next read of it comes from the device. Dirty pages cannot be
// dropped: run sync first.
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include <cstdio>

namespace {

int DropFile(const char* path, const struct stat*, int type, struct FTW*) {
  if (type != FTW_F) return 0;
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return 0;
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: drop-cache FOLDER...\n");
    return 64;
  }
  for (int i = 1; i < argc; ++i)
    if (nftw(argv[i], DropFile, 64, FTW_PHYS) != 0) std::perror(argv[i]);
  return 0;
}
