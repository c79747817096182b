// What each way of reading leaves in the page cache, and where a block read
// finds the end of a file.

#include "platform/files/FileSystem.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <vector>

namespace ovik {
namespace {

using testing::PatternBytes;
using testing::TempTree;

constexpr std::size_t kFileSize = 1 << 20;

struct AlignedFree {
  void operator()(std::byte* p) const { std::free(p); }
};

std::unique_ptr<std::byte, AlignedFree> AlignedBuffer(std::size_t size) {
  return std::unique_ptr<std::byte, AlignedFree>(
      static_cast<std::byte*>(std::aligned_alloc(kReadBufferAlignment, size)));
}

// Pages of the file that are in the page cache right now.
std::size_t ResidentPages(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const off_t size = lseek(fd, 0, SEEK_END);
  void* map = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return 0;
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((static_cast<std::size_t>(size) + page - 1) / page);
  std::size_t count = 0;
  if (mincore(map, static_cast<std::size_t>(size), resident.data()) == 0) {
    for (unsigned char flags : resident) count += flags & 1;
  }
  munmap(map, static_cast<std::size_t>(size));
  return count;
}

// Written without a sync: the pages are in the cache and dirty.
std::string WriteUnsyncedFile(const TempTree& tree) {
  tree.WriteFile("file.bin", PatternBytes(kFileSize, 3));
  return tree.Path("file.bin");
}

void DropPages(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

// A file system that keeps every page in memory (tmpfs) cannot drop them.
bool CacheCanBeDropped(const TempTree& tree) {
  const std::string probe = tree.Path("probe.bin");
  tree.WriteFile("probe.bin", PatternBytes(1 << 16));
  DropPages(probe);
  return ResidentPages(probe) == 0;
}

void ReadToEnd(ReadableFile& file) {
  auto buffer = AlignedBuffer(102'400);
  int error = 0;
  while (file.ReadBlock(buffer.get(), 102'400, error) == 102'400) {
  }
}

class PageCache : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CacheCanBeDropped(tree)) GTEST_SKIP() << "the temporary folder's file system keeps its files in memory";
    path = WriteUnsyncedFile(tree);
    ASSERT_GT(ResidentPages(path), 0u);
  }

  TempTree tree;
  std::string path;
};

TEST_F(PageCache, MediumReadWritesOutAndDropsThePagesBeforeTheFirstBlock) {
  OpenResult opened = SystemFileSystem().OpenForRead(path, ReadRole::DestinationMedium);
  ASSERT_NE(opened.file, nullptr);
  EXPECT_EQ(ResidentPages(path), 0u);
}

TEST_F(PageCache, MediumReadLeavesNothingBehind) {
  OpenResult opened = SystemFileSystem().OpenForRead(path, ReadRole::DestinationMedium);
  ASSERT_NE(opened.file, nullptr);
  ReadToEnd(*opened.file);
  opened.file.reset();
  EXPECT_EQ(ResidentPages(path), 0u);
}

TEST_F(PageCache, SourceAndCachedReadsKeepThePages) {
  for (ReadRole role : {ReadRole::Source, ReadRole::DestinationCached}) {
    OpenResult opened = SystemFileSystem().OpenForRead(path, role);
    ASSERT_NE(opened.file, nullptr);
    ReadToEnd(*opened.file);
    opened.file.reset();
    EXPECT_EQ(ResidentPages(path), kFileSize / static_cast<std::size_t>(sysconf(_SC_PAGESIZE)));
  }
}

// The readers ask before they choose the order of reading; asking must
// not read the pages in meanwhile. A page missing here and there (memory
// reclaim at work) leaves a file in memory. A destination read from its
// medium is never in memory: its pages went at its open.
TEST_F(PageCache, AskingWhetherAFileIsInMemoryBringsNothingIn) {
  constexpr long kCachestat = 451;
  if (syscall(kCachestat, -1, nullptr, nullptr, 0) != 0 && errno == ENOSYS)
    GTEST_SKIP() << "this kernel cannot tell what is cached without reading it";
  OpenResult opened = SystemFileSystem().OpenForRead(path, ReadRole::Source);
  ASSERT_NE(opened.file, nullptr);
  EXPECT_TRUE(opened.file->InMemory());
  DropPages(path);
  EXPECT_FALSE(opened.file->InMemory());
  EXPECT_EQ(ResidentPages(path), 0u);
  // Read without read-ahead: an eighth, then all but the last page.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  std::vector<char> bytes(kFileSize);
  ASSERT_EQ(pread(fd, bytes.data(), kFileSize / 8, 0), static_cast<ssize_t>(kFileSize / 8));
  EXPECT_FALSE(opened.file->InMemory()) << "an eighth in";
  ASSERT_EQ(pread(fd, bytes.data(), kFileSize - 4096, 0), static_cast<ssize_t>(kFileSize - 4096));
  close(fd);
  ASSERT_LT(ResidentPages(path), kFileSize / 4096);
  EXPECT_TRUE(opened.file->InMemory()) << "one page out of 256";
  ReadToEnd(*opened.file);
  EXPECT_TRUE(opened.file->InMemory());
  OpenResult medium = SystemFileSystem().OpenForRead(path, ReadRole::DestinationMedium);
  ASSERT_NE(medium.file, nullptr);
  EXPECT_FALSE(medium.file->InMemory());
}

void Append(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(ReadEnd, BytesAddedAfterOpeningAreStillRead) {
  for (ReadRole role : {ReadRole::Source, ReadRole::DestinationMedium, ReadRole::DestinationCached}) {
    TempTree tree;
    tree.WriteFile("f", PatternBytes(10));
    OpenResult opened = SystemFileSystem().OpenForRead(tree.Path("f"), role);
    ASSERT_NE(opened.file, nullptr);
    Append(tree.Path("f"), PatternBytes(5, 2));
    auto buffer = AlignedBuffer(4096);
    int error = 0;
    EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 15);
    EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 0);
  }
}

TEST(ReadEnd, BytesAddedAfterAFullBlockAtTheOpeningLengthAreStillRead) {
  TempTree tree;
  tree.WriteFile("f", PatternBytes(4096));
  OpenResult opened = SystemFileSystem().OpenForRead(tree.Path("f"), ReadRole::Source);
  ASSERT_NE(opened.file, nullptr);
  auto buffer = AlignedBuffer(4096);
  int error = 0;
  EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 4096);
  Append(tree.Path("f"), PatternBytes(5, 2));
  EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 5);
  EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 0);
}

TEST(ReadEnd, BytesAddedAfterTheEndWasReachedComeWithTheNextBlock) {
  TempTree tree;
  tree.WriteFile("f", PatternBytes(10));
  OpenResult opened = SystemFileSystem().OpenForRead(tree.Path("f"), ReadRole::DestinationMedium);
  ASSERT_NE(opened.file, nullptr);
  auto buffer = AlignedBuffer(4096);
  int error = 0;
  EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 10);
  Append(tree.Path("f"), PatternBytes(5, 2));
  EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 5);
  EXPECT_EQ(opened.file->ReadBlock(buffer.get(), 4096, error), 0);
}

}  // namespace
}  // namespace ovik
