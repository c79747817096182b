// A file on a loop-mounted ext4 image has one byte changed in the image file
// behind the mounted file system's back. Its cached pages still hold the old
// byte, so only a verify that reads the medium can see the change. And where
// the first extent of a file lies in the image.

#include "common/NumberFormat.h"
#include "platform/media/Medium.h"
#include "support/media/LoopMount.h"
#include "support/SystemCommands.h"
#include "support/TempTree.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace ovik {
namespace {

using testing::CommandResult;
using testing::LoopMount;
using testing::PatternBytes;
using testing::Quoted;
using testing::RunCommand;
using testing::TempTree;

void WriteAndSync(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_EQ(fsync(fd), 0);
  close(fd);
}

// Where the byte at `offset` of the file lies on its device, from the file
// system's extent map. Empty when the extent holding it is not plain data.
std::optional<std::uint64_t> PhysicalOffset(const std::string& path, std::uint64_t offset) {
  constexpr unsigned kMaxExtents = 64;
  std::vector<std::byte> storage(sizeof(fiemap) + kMaxExtents * sizeof(fiemap_extent));
  auto* map = reinterpret_cast<fiemap*>(storage.data());
  map->fm_start = 0;
  map->fm_length = FIEMAP_MAX_OFFSET;
  map->fm_flags = FIEMAP_FLAG_SYNC;
  map->fm_extent_count = kMaxExtents;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const int status = ioctl(fd, FS_IOC_FIEMAP, map);
  close(fd);
  if (status != 0) return std::nullopt;
  constexpr std::uint32_t kNotPlainData = FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_ENCODED |
                                          FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_NOT_ALIGNED |
                                          FIEMAP_EXTENT_UNWRITTEN;
  for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
    const fiemap_extent& extent = map->fm_extents[i];
    if (offset < extent.fe_logical || offset >= extent.fe_logical + extent.fe_length) continue;
    if (extent.fe_flags & kNotPlainData) return std::nullopt;
    return extent.fe_physical + (offset - extent.fe_logical);
  }
  return std::nullopt;
}

std::string BytesAt(const std::string& path, std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t read = pread(fd, bytes.data(), count, static_cast<off_t>(offset));
  close(fd);
  bytes.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
  return bytes;
}

std::optional<char> ByteAt(const std::string& path, std::uint64_t offset) {
  const std::string byte = BytesAt(path, offset, 1);
  return byte.empty() ? std::nullopt : std::optional<char>(byte[0]);
}

std::optional<std::uint64_t> FirstExtentOffsetOf(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const std::optional<std::uint64_t> offset = FirstExtentOffset(fd);
  close(fd);
  return offset;
}

// Writes into the image file itself, past the mounted file system and its
// cache. The write lands in the image file's own cache, which is where a
// buffered loop device reads from; a direct-I/O loop device writes that
// cache out before it reads, and the sync makes it plain either way.
bool WriteByteAt(const std::string& path, std::uint64_t offset, char byte) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = pwrite(fd, &byte, 1, static_cast<off_t>(offset)) == 1 && fdatasync(fd) == 0;
  close(fd);
  return written;
}

CommandResult RunVerifier(const std::string& options, const std::string& source, const std::string& destination) {
  return RunCommand(Quoted(OVIK_VERIFY_BINARY) + " " + options + " " + Quoted(source) + " " + Quoted(destination));
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class MediumReadLoopImage : public ::testing::TestWithParam<bool> {};

TEST_P(MediumReadLoopImage, OnlyTheMediumReadSeesAByteChangedBehindTheCache) {
  OVIK_REQUIRE_MEDIUM(testing::MediumKind::Ext4);
  const bool directIo = GetParam();

  TempTree tree;  // declared first, so it goes after the mount is taken down
  tree.MakeFolder("src");
  tree.MakeFolder("mnt");
  const std::string image = tree.Path("medium.img");
  tree.WriteFile("medium.img", "");
  ASSERT_EQ(truncate(image.c_str(), 32 << 20), 0);

  const CommandResult mkfs = RunCommand("mkfs.ext4 -q -F " + Quoted(image));
  ASSERT_EQ(mkfs.status, 0) << mkfs.output;
  LoopMount loop(image, tree.Path("mnt"), "ext4", false, directIo);
  ASSERT_EQ(loop.error(), "");
  if (directIo && !loop.UsesDirectIo())
    GTEST_SKIP() << "the temporary folder's file system does not take direct I/O for a loop device";

  // Three blocks of the verifier and some; the changed byte sits inside the
  // third block, off any page edge.
  const std::string contents = PatternBytes(300'000, 7);
  constexpr std::uint64_t kChangedOffset = 2 * 102'400 + 4'097;
  tree.WriteFile("src/data.bin", contents);
  WriteAndSync(tree.Path("mnt/data.bin"), contents);

  const std::optional<std::uint64_t> physical = PhysicalOffset(tree.Path("mnt/data.bin"), kChangedOffset);
  ASSERT_TRUE(physical.has_value()) << "no plain extent holds the byte";
  const std::optional<char> original = ByteAt(image, *physical);
  ASSERT_TRUE(original.has_value());
  ASSERT_EQ(*original, contents[kChangedOffset]) << "the extent map points elsewhere in the image";
  ASSERT_TRUE(WriteByteAt(image, *physical, static_cast<char>(~*original)));

  const CommandResult cached = RunVerifier("--cached", tree.Path("src"), tree.Path("mnt"));
  EXPECT_EQ(cached.status, 0) << cached.output;
  EXPECT_TRUE(EndsWith(cached.output, "\nVerified OK\n")) << cached.output;

  const CommandResult medium = RunVerifier("", tree.Path("src"), tree.Path("mnt"));
  EXPECT_EQ(medium.status, 1) << medium.output;
  const std::string expected = "\n!Mismatched contents at offset " + FormatThousands(kChangedOffset) + ": data.bin\n";
  EXPECT_NE(medium.output.find(expected), std::string::npos) << medium.output;
  EXPECT_TRUE(EndsWith(medium.output, "\nErrors\n")) << medium.output;
}

INSTANTIATE_TEST_SUITE_P(LoopDevice, MediumReadLoopImage, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "DirectIo" : "Buffered";
                         });

// Files written one after another on a fresh file system lie one after
// another, and the first extent's offset is where each file's bytes are in
// the image; an empty file has no place.
TEST(FirstExtentOffset, PointsAtEachFilesBytesInTheImage) {
  OVIK_REQUIRE_MEDIUM(testing::MediumKind::Ext4);
  TempTree tree;
  tree.MakeFolder("mnt");
  const std::string image = tree.Path("medium.img");
  tree.WriteFile("medium.img", "");
  ASSERT_EQ(truncate(image.c_str(), 32 << 20), 0);
  const CommandResult mkfs = RunCommand("mkfs.ext4 -q -F " + Quoted(image));
  ASSERT_EQ(mkfs.status, 0) << mkfs.output;
  LoopMount loop(image, tree.Path("mnt"), "ext4", false);
  ASSERT_EQ(loop.error(), "");

  std::optional<std::uint64_t> previous;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE(seed);
    const std::string name = tree.Path("mnt/file" + std::to_string(seed));
    const std::string contents = PatternBytes(20'000, seed);
    WriteAndSync(name, contents);
    const std::optional<std::uint64_t> offset = FirstExtentOffsetOf(name);
    ASSERT_TRUE(offset.has_value());
    EXPECT_EQ(BytesAt(image, *offset, contents.size()), contents);
    if (previous) {
      EXPECT_GT(*offset, *previous);
    }
    previous = offset;
  }
  WriteAndSync(tree.Path("mnt/empty"), "");
  EXPECT_EQ(FirstExtentOffsetOf(tree.Path("mnt/empty")), std::nullopt);
}

}  // namespace
}  // namespace ovik
