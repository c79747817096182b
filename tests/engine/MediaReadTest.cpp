// The same tree verified on real media, on either side, in every way of
// reading: sizes at the edges of pages and blocks, a sub-folder, a name that
// is not UTF-8, and either identical or with one byte changed.

#include "common/NumberFormat.h"
#include "engine/VerifyEngine.h"
#include "reports/DetailOrder.h"
#include "support/media/MediaVerify.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <tuple>

namespace ovik {
namespace {

using testing::MediumKind;
using testing::Reading;

enum class Side { Source, Destination };
enum class Copy { Identical, OneByteChanged };
void PrintTo(Side side, std::ostream* out) { *out << (side == Side::Source ? "as source" : "as destination"); }
void PrintTo(Copy copy, std::ostream* out) { *out << (copy == Copy::Identical ? "identical" : "one byte changed"); }

struct TreeFile {
  const char* name;
  std::int64_t size;
};

constexpr TreeFile kTree[] = {
    {"empty", 0},          {"one", 1},        {"page-1", 4095},           {"page", 4096},
    {"block-1", 102399},   {"block", 102400}, {"block+1", 102401},        {"sub/caf\xe9", 250000},
    {"sub/big.bin", 3 * 1024 * 1024 + 7},
};
constexpr const char* kChangedFile = "sub/big.bin";
constexpr std::int64_t kChangedOffset = 2'345'679;

void WriteTree(const testing::TempTree& tree, const std::string& folder, bool changed) {
  unsigned seed = 1;
  for (const TreeFile& file : kTree) {
    std::string bytes = testing::PatternBytes(static_cast<std::size_t>(file.size), seed++);
    if (changed && std::string(file.name) == kChangedFile) bytes[kChangedOffset] ^= 0x20;
    tree.WriteFile(folder + "/" + file.name, bytes);
  }
}

testing::VerifyResult Expected(bool changed) {
  testing::VerifyResult expected;
  VerifyTotals& t = expected.totals;
  t.SrcFolderCount = t.DstFolderCount = 1;
  for (const TreeFile& file : kTree) {
    ++t.SrcFileCount;
    ++t.DstFileCount;
    t.SrcByteTotal += file.size;
    if (changed && std::string(file.name) == kChangedFile) {
      expected.lines.push_back("!Mismatched contents at offset " + FormatThousands(kChangedOffset) + ": " + file.name);
      t.DstByteTotal += (kChangedOffset / static_cast<std::int64_t>(BlockSize) + 1) * static_cast<std::int64_t>(BlockSize);
    } else {
      expected.lines.push_back(std::string("Ok: ") + file.name);
      t.DstByteTotal += file.size;
    }
  }
  t.ErrorCount = t.MismatchCount = changed ? 1 : 0;
  SortDetailLines(expected.lines);
  expected.status = changed ? "Errors" : "Verified OK";
  return expected;
}

class MediaRead : public ::testing::TestWithParam<std::tuple<MediumKind, Side, Reading, Copy>> {};

TEST_P(MediaRead, EveryFileGetsItsLineAndEveryByteIsCounted) {
  const auto [kind, side, reading, copy] = GetParam();
  OVIK_REQUIRE_MEDIUM(kind);

  testing::TempTree tree;
  WriteTree(tree, "content", false);
  const bool changed = copy == Copy::OneByteChanged;
  WriteTree(tree, "other", changed);
  testing::TestMedium medium(kind, tree.Path("content"));
  ASSERT_EQ(medium.error(), "");

  const testing::VerifyResult expected = Expected(changed);
  // The role tells how the destination is read; on the source side the
  // medium is always read through the cache.
  std::vector<ReadRole> roles{ReadRole::DestinationMedium};
  if (side == Side::Destination) roles.push_back(ReadRole::DestinationCached);
  for (const ReadRole role : roles) {
    SCOPED_TRACE(role == ReadRole::DestinationMedium ? "destination read from the medium" : "destination cached");
    const testing::VerifyResult result =
        side == Side::Source ? testing::VerifyFolders(medium.root(), tree.Path("other"), reading, role)
                             : testing::VerifyFolders(tree.Path("other"), medium.root(), reading, role);
    EXPECT_EQ(result.lines, expected.lines);
    EXPECT_EQ(testing::CountsText(result.totals), testing::CountsText(expected.totals));
    EXPECT_EQ(result.status, expected.status);
  }
}

std::string RowName(const ::testing::TestParamInfo<MediaRead::ParamType>& info) {
  const auto [kind, side, reading, copy] = info.param;
  return std::string(testing::MediumName(kind)) + (side == Side::Source ? "_AsSource_" : "_AsDestination_") +
         testing::ReadingName(reading) + (copy == Copy::Identical ? "_Identical" : "_OneByteChanged");
}

INSTANTIATE_TEST_SUITE_P(
    Media, MediaRead,
    ::testing::Combine(::testing::Values(MediumKind::Tmpfs, MediumKind::Ext4, MediumKind::Xfs, MediumKind::Btrfs,
                                         MediumKind::Squashfs, MediumKind::Erofs, MediumKind::Overlay,
                                         MediumKind::Fuse, MediumKind::FuseDirectIo, MediumKind::FuseDirectIoSync),
                       ::testing::Values(Side::Source, Side::Destination),
                       ::testing::Values(Reading::PlainLoop, Reading::Threads, Reading::ThreadsBlockByBlock),
                       ::testing::Values(Copy::Identical, Copy::OneByteChanged)),
    RowName);

}  // namespace
}  // namespace ovik
