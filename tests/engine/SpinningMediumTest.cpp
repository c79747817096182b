// The test medium that spins, and the engine on it: small files read in the
// order they lie cost few seeks of its one head, files read out of order
// about one each.

#include "platform/OpenFileLimit.h"
#include "support/FileBytes.h"
#include "support/media/MediaVerify.h"
#include "support/media/SpinningMedium.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <string>
#include <vector>

namespace ovik {
namespace {

using testing::HeadCounts;
using testing::SpinModel;

constexpr int kFiles = 2000;
constexpr int kPerFolder = 100;

// The name of file `i`; names sort as the files were written.
std::string SmallFileName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "d%02d/f%03d", i / kPerFolder, i % kPerFolder);
  return name;
}

// 2,000 files of 1-8 KiB in 20 folders.
void WriteSmallFiles(const testing::TempTree& tree, const std::string& folder) {
  for (int i = 0; i < kFiles; ++i)
    tree.WriteFile(folder + "/" + SmallFileName(i),
                   testing::PatternBytes(1000 + static_cast<std::size_t>(i * 733 % 7192), static_cast<unsigned>(i)));
}

void ReadEach(const std::string& root, const std::vector<int>& order) {
  for (const int i : order) testing::ReadFileBytes(root + "/" + SmallFileName(i));
}

std::vector<std::string> ListedNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing))
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    closedir(listing);
  }
  return names;
}

class SpinningMediumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OVIK_REQUIRE_SPINNING_MEDIUM();
    WriteSmallFiles(tree_, "content");
  }

  testing::TempTree tree_;
};

TEST_F(SpinningMediumTest, FilesReadInTheOrderTheyLieCostFewSeeksAndScatteredOnesOneEach) {
  std::vector<int> inOrder, scattered;
  // Each file about 997 files (some 4 MiB) from the one before, past any
  // drive's read-ahead.
  for (int i = 0; i < kFiles; ++i) inOrder.push_back(i), scattered.push_back(i * 997 % kFiles);
  for (const SpinModel model : {SpinModel::HardDisk, SpinModel::Disc}) {
    const HeadCounts ordered =
        testing::CountHeadWork(tree_.Path("content"), [&](const std::string& root) { ReadEach(root, inOrder); }, model);
    EXPECT_EQ(ordered.reads, kFiles);
    EXPECT_LE(ordered.seeks, 2);
    const HeadCounts jumping = testing::CountHeadWork(
        tree_.Path("content"), [&](const std::string& root) { ReadEach(root, scattered); }, model);
    EXPECT_EQ(jumping.reads, kFiles);
    EXPECT_GE(jumping.seeks, kFiles - 2);
    EXPECT_EQ(jumping.bytes, ordered.bytes);
  }
}

TEST_F(SpinningMediumTest, FoldersListInNameOrder) {
  testing::SpinningMedium medium(tree_.Path("content"));
  ASSERT_EQ(medium.error(), "");
  const std::vector<std::string> names = ListedNames(medium.root() + "/d07");
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kPerFolder));
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

// A medium that is not known to be flash is read by one reader in the order
// its data lies; readers on many files at once would make the head jump.
// The head takes its time, so that what the readers measure is the head's
// pace: on a head that only counted, more readers would be faster. Files
// are opened and sorted thousands at a time, as the programs allow. An
// open that answers late makes the reader look stuck, and another reads
// the rest of its batch: in the order of the data too.
TEST_F(SpinningMediumTest, SmallFilesOnOneHeadAreReadWithASeekPerHundredAtMost) {
  RaiseOpenFileLimit();
  WriteSmallFiles(tree_, "source");
  const struct {
    const char* name;
    std::vector<std::string> faults;
  } cases[] = {{"every open answers at once", {}},
               {"an open answers late", {"--late-open=" + SmallFileName(1500) + ":400"}}};
  for (const auto& c : cases) {
    testing::VerifyResult result;
    const HeadCounts counts = testing::CountHeadWork(
        tree_.Path("content"),
        [&](const std::string& root) {
          result = testing::VerifyFolders(tree_.Path("source"), root, testing::Reading::Threads);
        },
        SpinModel::HardDisk, 1.0, c.faults);
    EXPECT_EQ(result.totals.ErrorCount, 0) << c.name << ": " << testing::CountsText(result.totals);
    EXPECT_EQ(result.totals.DstFileCount, kFiles) << c.name;
    EXPECT_LE(counts.seeks, kFiles / 100) << c.name << ": " << counts.reads << " reads";
  }
}

}  // namespace
}  // namespace ovik
