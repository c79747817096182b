#include "platform/files/PosixFileSystem.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace ovik {
namespace {

using testing::PatternBytes;
using testing::TempTree;

// Every entry of a folder that passes the filter, by name.
std::map<std::string, DirEntry> ListAll(const std::string& folder, std::uint32_t filter,
                                        FileSizes sizes = FileSizes::Read) {
  std::map<std::string, DirEntry> entries;
  std::vector<DirEntry> listed;
  int error = 0;
  if (!SystemFileSystem().ListEntries(folder, sizes, listed, error)) return entries;
  for (const DirEntry& entry : listed)
    if (PassesFilter(entry.attributes, filter)) entries[entry.name] = entry;
  return entries;
}

struct stat StatWithMode(mode_t mode) {
  struct stat st {};
  st.st_mode = mode;
  return st;
}

TEST(Attributes, HiddenIsADotNameOtherThanDotAndDotDot) {
  const struct stat file = StatWithMode(S_IFREG | 0644);
  EXPECT_EQ(AttributesFromStat(file, ".profile"), faHidden | faArchive);
  EXPECT_EQ(AttributesFromStat(file, "..."), faHidden | faArchive);
  EXPECT_EQ(AttributesFromStat(file, "a.txt"), faArchive);
  const struct stat dir = StatWithMode(S_IFDIR | 0755);
  EXPECT_EQ(AttributesFromStat(dir, "."), faDirectory);
  EXPECT_EQ(AttributesFromStat(dir, ".."), faDirectory);
  EXPECT_EQ(AttributesFromStat(dir, ".git"), faDirectory | faHidden);
}

TEST(Attributes, ReadOnlyWhenNoWriteBitIsSet) {
  EXPECT_EQ(AttributesFromStat(StatWithMode(S_IFREG | 0444), "f"), faReadOnly);
  EXPECT_EQ(AttributesFromStat(StatWithMode(S_IFREG | 0000), "f"), faReadOnly);
  EXPECT_EQ(AttributesFromStat(StatWithMode(S_IFREG | 0404 | S_IWOTH), "f"), faArchive);
  EXPECT_EQ(AttributesFromStat(StatWithMode(S_IFDIR | 0555), "d"), faDirectory | faReadOnly);
}

TEST(Filters, ExcludeOnlySpecialAttributesTheFilterLacks) {
  // Folders (16): plain directories and plain files pass, hidden ones do not.
  EXPECT_TRUE(PassesFilter(faDirectory, kFoldersFilter));
  EXPECT_TRUE(PassesFilter(faArchive, kFoldersFilter));
  EXPECT_TRUE(PassesFilter(faReadOnly, kFoldersFilter));
  EXPECT_TRUE(PassesFilter(0, kFoldersFilter));
  EXPECT_FALSE(PassesFilter(faDirectory | faHidden, kFoldersFilter));
  EXPECT_FALSE(PassesFilter(faArchive | faHidden, kFoldersFilter));
  EXPECT_FALSE(PassesFilter(faDirectory | faSysFile, kFoldersFilter));
  // Files (39): every file, hidden and system ones too; no directories.
  EXPECT_TRUE(PassesFilter(faArchive | faHidden | faReadOnly, kFilesFilter));
  EXPECT_TRUE(PassesFilter(faSysFile, kFilesFilter));
  EXPECT_FALSE(PassesFilter(faDirectory, kFilesFilter));
  EXPECT_FALSE(PassesFilter(faVolumeId, kFilesFilter));
  // Anything (63).
  EXPECT_TRUE(PassesFilter(faDirectory | faHidden | faSysFile | faVolumeId, kAnythingFilter));
}

TEST(Listing, AppliesAttributesAndFiltersToRealEntries) {
  TempTree tree;
  tree.WriteFile("plain.txt", "abc");
  tree.WriteFile(".hidden.txt", "hidden");
  tree.WriteFile(".dotdir/inner", "x");
  tree.MakeFolder("sub");
  tree.MakeFolder("lost+found");  // not at the root of a file system
  tree.WriteFile("readonly.txt", "ro");
  chmod(tree.Path("readonly.txt").c_str(), 0444);
  ASSERT_EQ(symlink("sub", tree.Path("linkToSub").c_str()), 0);

  const auto files = ListAll(tree.root(), kFilesFilter);
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(files.at("plain.txt").attributes, faArchive);
  EXPECT_EQ(files.at("plain.txt").size, 3);
  EXPECT_EQ(files.at(".hidden.txt").attributes, faHidden | faArchive);
  EXPECT_EQ(files.at("readonly.txt").attributes, faReadOnly);

  const auto folders = ListAll(tree.root(), kFoldersFilter);
  EXPECT_TRUE(folders.count("sub"));
  EXPECT_TRUE(folders.count("."));
  EXPECT_TRUE(folders.count(".."));
  EXPECT_FALSE(folders.count(".dotdir"));
  ASSERT_TRUE(folders.count("lost+found"));
  EXPECT_EQ(folders.at("lost+found").attributes, faDirectory);
  ASSERT_TRUE(folders.count("linkToSub"));
  EXPECT_TRUE(folders.at("linkToSub").attributes & faDirectory);
  EXPECT_EQ(folders.at("linkToSub").id, folders.at("sub").id);
  EXPECT_TRUE(folders.count("plain.txt")) << "plain files pass the folders filter";

  EXPECT_EQ(ListAll(tree.root(), kAnythingFilter).size(), 9u);

  // Left to the open, a regular file's size is not read; links and folders
  // are still looked at.
  const auto told = ListAll(tree.root(), kAnythingFilter, FileSizes::LeftToTheOpen);
  EXPECT_EQ(told.at("plain.txt").size, kSizeUnknown);
  EXPECT_EQ(told.at(".hidden.txt").attributes, faHidden);
  EXPECT_EQ(told.at("linkToSub").id, folders.at("sub").id);

  // The regular files as the entries name them, links left out.
  std::vector<std::string> fileNames;
  ASSERT_TRUE(SystemFileSystem().ListFileNames(tree.root(), fileNames));
  std::sort(fileNames.begin(), fileNames.end());
  EXPECT_EQ(fileNames, (std::vector<std::string>{".hidden.txt", "plain.txt", "readonly.txt"}));
  EXPECT_FALSE(SystemFileSystem().ListFileNames(tree.Path("nowhere"), fileNames));
}

// A large folder's attributes are read on two threads, a few entries at a
// time each: every entry gets its own, whatever kind it is.
TEST(Listing, EveryEntryOfALargeFolderGetsItsOwnAttributes) {
  TempTree tree;
  constexpr int kEntries = 300;
  const auto nameOf = [](int i) { return (i % 7 == 0 ? ".e" : "e") + std::to_string(i); };
  for (int i = 0; i < kEntries; ++i) {
    if (i % 10 == 0) tree.MakeFolder(nameOf(i));
    else if (i % 25 == 1) ASSERT_EQ(symlink("nowhere", tree.Path(nameOf(i)).c_str()), 0);
    else tree.WriteFile(nameOf(i), std::string(static_cast<std::size_t>(i), 'x'));
  }
  for (const FileSizes sizes : {FileSizes::Read, FileSizes::LeftToTheOpen}) {
    const auto listed = ListAll(tree.root(), kAnythingFilter, sizes);
    ASSERT_EQ(listed.size(), std::size_t{kEntries + 2});
    for (int i = 0; i < kEntries; ++i) {
      const DirEntry& entry = listed.at(nameOf(i));
      const bool folder = i % 10 == 0;
      const bool file = !folder && i % 25 != 1;
      const std::uint32_t hidden = i % 7 == 0 ? std::uint32_t{faHidden} : 0u;
      if (file && sizes == FileSizes::LeftToTheOpen) {
        EXPECT_EQ(entry.size, kSizeUnknown) << i;
        EXPECT_EQ(entry.attributes, hidden) << i;
        continue;
      }
      EXPECT_EQ(entry.size, file ? i : 0) << i;
      const std::uint32_t kind = folder ? std::uint32_t{faDirectory} : file ? std::uint32_t{faArchive} : 0u;
      EXPECT_EQ(entry.attributes, kind | hidden) << i;
      EXPECT_TRUE(entry.attributesRead) << i;
    }
  }
}

TEST(Listing, FolderThatCannotBeListedFailsWithItsErrorNumber) {
  TempTree tree;
  tree.WriteFile("file", "x");
  for (const auto& [name, expected] : {std::pair{"missing", ENOENT}, {"file", ENOTDIR}, {"missing/deeper", ENOENT}}) {
    std::vector<DirEntry> entries;
    int error = 0;
    EXPECT_FALSE(SystemFileSystem().ListEntries(tree.Path(name), FileSizes::Read, entries, error)) << name;
    EXPECT_EQ(error, expected) << name;
  }
}

TEST(Listing, SizeBeyondFourGigabytesIsKept) {
  TempTree tree;
  const std::string path = tree.Path("sparse");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  const off_t size = (off_t{5} << 30) + 7;
  const bool truncated = ftruncate(fd, size) == 0;
  close(fd);
  if (!truncated) GTEST_SKIP() << "the temporary folder does not hold sparse files";
  EXPECT_EQ(ListAll(tree.root(), kFilesFilter).at("sparse").size, size);
}

TEST(SpecialFiles, AreNeverListedAndNeverOpened) {
  TempTree tree;
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0644), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = tree.Path("sock");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(symlink("fifo", tree.Path("linkToFifo").c_str()), 0);

  EXPECT_TRUE(ListAll(tree.root(), kFilesFilter).empty());
  EXPECT_FALSE(FindEntry(SystemFileSystem(), tree.Path("fifo"), kAnythingFilter));
  std::vector<std::string> fileNames{"stale"};
  EXPECT_TRUE(SystemFileSystem().ListFileNames(tree.root(), fileNames));
  EXPECT_TRUE(fileNames.empty());

  // Also as a file its listing named a moment before, which a FIFO may
  // have taken the place of since.
  alarm(10);  // opening a FIFO for reading would block without a writer
  for (const char* name : {"fifo", "sock", "linkToFifo"}) {
    for (const OpenResult& opened : {SystemFileSystem().OpenForRead(tree.Path(name), ReadRole::Source),
                                     SystemFileSystem().OpenForRead(tree.Path(name), ReadRole::DestinationCached),
                                     SystemFileSystem().OpenListedFile(tree.Path(name), ReadRole::DestinationCached)}) {
      EXPECT_EQ(opened.file, nullptr) << name;
      EXPECT_NE(opened.error, 0) << name;
    }
  }
  alarm(0);
  close(sock);
}

TEST(SymbolicLinks, DanglingLinkIsAFileThatCannotBeOpened) {
  TempTree tree;
  ASSERT_EQ(symlink("nowhere", tree.Path("dangling").c_str()), 0);
  const auto files = ListAll(tree.root(), kFilesFilter);
  ASSERT_TRUE(files.count("dangling"));
  EXPECT_EQ(files.at("dangling").size, 0);
  EXPECT_FALSE(files.at("dangling").attributes & faDirectory);
  const OpenResult opened = SystemFileSystem().OpenForRead(tree.Path("dangling"), ReadRole::Source);
  EXPECT_EQ(opened.file, nullptr);
  EXPECT_EQ(opened.error, ENOENT);
  EXPECT_TRUE(FindEntry(SystemFileSystem(), tree.Path("dangling"), kFilesFilter));
}

TEST(FindEntry, FiltersTheEntryThatNamesThePath) {
  TempTree tree;
  tree.WriteFile("d/f", "12345");
  const auto file = FindEntry(SystemFileSystem(), tree.Path("d/f"), kFilesFilter);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->name, "f");
  EXPECT_EQ(file->size, 5);
  EXPECT_FALSE(FindEntry(SystemFileSystem(), tree.Path("d"), kFilesFilter));
  EXPECT_TRUE(FindEntry(SystemFileSystem(), tree.Path("d"), kAnythingFilter));
  EXPECT_FALSE(FindEntry(SystemFileSystem(), tree.Path("nothing"), kAnythingFilter));
  EXPECT_FALSE(FindEntry(SystemFileSystem(), "", kAnythingFilter));
}

TEST(ReadBlock, FillsWholeBlocksUntilTheEnd) {
  TempTree tree;
  const std::string bytes = PatternBytes(250000, 3);
  tree.WriteFile("f", bytes);
  for (ReadRole role : {ReadRole::Source, ReadRole::DestinationMedium, ReadRole::DestinationCached}) {
    OpenResult opened = SystemFileSystem().OpenForRead(tree.Path("f"), role);
    ASSERT_NE(opened.file, nullptr);
    std::string buffer(102400, '\0');
    auto* data = reinterpret_cast<std::byte*>(buffer.data());
    int error = 0;
    std::string readBack;
    std::vector<std::int64_t> counts;
    for (;;) {
      const std::int64_t count = opened.file->ReadBlock(data, buffer.size(), error);
      counts.push_back(count);
      if (count <= 0) break;
      readBack.append(buffer, 0, static_cast<std::size_t>(count));
    }
    EXPECT_EQ(counts, (std::vector<std::int64_t>{102400, 102400, 45200, 0}));
    EXPECT_EQ(readBack, bytes);
  }
}

TEST(OpenForRead, RefusesFolders) {
  TempTree tree;
  tree.MakeFolder("d");
  const OpenResult opened = SystemFileSystem().OpenForRead(tree.Path("d"), ReadRole::Source);
  EXPECT_EQ(opened.file, nullptr);
  EXPECT_EQ(opened.error, EISDIR);
}

}  // namespace
}  // namespace ovik
