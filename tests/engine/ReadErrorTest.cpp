#include "support/EngineHarness.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;
using testing::VerifyAsNobody;
using Lines = std::vector<std::string>;

TEST(ReadErrors, SourceFailingInTheMiddleCountsTheBlocksBefore) {
  EngineHarness h;
  h.WriteBoth("f", PatternBytes(250000));
  h.fileSystem.FailRead(h.Src("f"), 1, EIO);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Source read error: f"});
  EXPECT_EQ(h.engine.totals.SrcReadErrorCount, 1);
  EXPECT_EQ(h.engine.totals.DstFileCount, 1);
  EXPECT_EQ(h.engine.totals.DstByteTotal, 102400);
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "102,400");
  EXPECT_EQ(h.LabelText(ViewLabel::NumSrcReadErrs), "1");
  EXPECT_EQ(h.view.Label(ViewLabel::NumSrcReadErrs).colour, Colour::Red);
}

TEST(ReadErrors, DestinationFailingInTheMiddle) {
  EngineHarness h;
  h.WriteBoth("f", PatternBytes(250000));
  h.fileSystem.FailRead(h.Dst("f"), 2, EIO);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Destn read error: f"});
  EXPECT_EQ(h.engine.totals.DstReadErrorCount, 1);
  EXPECT_EQ(h.engine.totals.DstFileCount, 1);
  EXPECT_EQ(h.engine.totals.DstByteTotal, 204800);
}

TEST(ReadErrors, DestinationFailingAtTheFirstBlockAddsNoBytes) {
  EngineHarness h;
  h.WriteBoth("f", "abc");
  h.fileSystem.FailRead(h.Dst("f"), 0, EIO);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Destn read error: f"});
  EXPECT_EQ(h.engine.totals.DstFileCount, 1);
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "-");
}

TEST(ReadErrors, SourceIsReportedWhenBothSidesFail) {
  EngineHarness h;
  h.WriteBoth("read", PatternBytes(250000));
  h.fileSystem.FailRead(h.Src("read"), 1, EIO);
  h.fileSystem.FailRead(h.Dst("read"), 1, EIO);
  h.WriteBoth("open", "x");
  h.fileSystem.FailOpen(h.Src("open"), EACCES);
  h.fileSystem.FailOpen(h.Dst("open"), EACCES);
  h.Verify();
  EXPECT_EQ(h.view.lines, (Lines{"!Source read error: open", "!Source read error: read"}));
  EXPECT_EQ(h.engine.totals.SrcReadErrorCount, 2);
  EXPECT_EQ(h.engine.totals.DstReadErrorCount, 0);
  EXPECT_EQ(h.engine.totals.ErrorCount, 2);
}

// A file of three reads of ten blocks, one side failing or differing while
// the other is still read: the first block that fails or differs decides,
// and a block in which both fail is the source's. Every way of reading
// gives what reading block by block gives.
TEST(ReadErrors, FirstFailingOrDifferingBlockOfALargeFileDecides) {
  constexpr std::int64_t kBlock = static_cast<std::int64_t>(BlockSize);
  constexpr int kNone = -1;
  const struct {
    const char* name;
    int srcFailing;  // block index, or kNone
    int dstFailing;
    std::int64_t flipped;  // offset of a changed destination byte, or kNone
    std::string line;
    std::int64_t bytesChecked;
  } cases[] = {
      {"dst-in-2nd-read", kNone, 13, kNone, "!Destn read error", 13 * kBlock},
      {"src-in-2nd-read", 13, kNone, kNone, "!Source read error", 13 * kBlock},
      {"dst-in-last-block", kNone, 20, kNone, "!Destn read error", 20 * kBlock},
      {"both-same-block", 13, 13, kNone, "!Source read error", 13 * kBlock},
      {"dst-before-src", 15, 12, kNone, "!Destn read error", 12 * kBlock},
      {"src-before-dst", 12, 15, kNone, "!Source read error", 12 * kBlock},
      {"difference-before-dst", kNone, 13, 3 * kBlock + 17, "!Mismatched contents at offset 307,217", 4 * kBlock},
      {"src-before-difference", 4, kNone, 13 * kBlock + 5, "!Source read error", 4 * kBlock},
      {"dst-in-the-differing-block", kNone, 13, 13 * kBlock + 5, "!Destn read error", 13 * kBlock},
  };
  for (const testing::Reading reading : testing::kEveryReading) {
    SCOPED_TRACE(testing::ReadingName(reading));
    EngineHarness h;
    h.ReadBy(reading);
    const std::string bytes = PatternBytes(2 << 20, 3);
    Lines expected;
    std::int64_t expectedBytes = 0;
    for (const auto& c : cases) {
      std::string copy = bytes;
      if (c.flipped != kNone) copy[static_cast<std::size_t>(c.flipped)] ^= 0x5a;
      h.tree.WriteFile(std::string("src/") + c.name, bytes);
      h.tree.WriteFile(std::string("dst/") + c.name, copy);
      if (c.srcFailing != kNone) h.fileSystem.FailRead(h.Src(c.name), c.srcFailing, EIO);
      if (c.dstFailing != kNone) h.fileSystem.FailRead(h.Dst(c.name), c.dstFailing, EIO);
      expected.push_back(c.line + ": " + c.name);
      expectedBytes += c.bytesChecked;
    }
    h.Verify();
    Lines lines = h.view.lines;
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    const VerifyTotals& t = h.engine.totals;
    EXPECT_EQ(t.SrcReadErrorCount, 4);
    EXPECT_EQ(t.DstReadErrorCount, 4);
    EXPECT_EQ(t.MismatchCount, 1);
    EXPECT_EQ(t.DstFileCount, static_cast<std::int32_t>(std::size(cases)));
    EXPECT_EQ(t.DstByteTotal, expectedBytes);
  }
}

TEST(ReadErrors, SourceThatCannotBeOpenedAgainstAMissingDestination) {
  EngineHarness h;
  h.tree.WriteFile("src/f", "x");
  h.fileSystem.FailOpen(h.Src("f"), EACCES);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Source read error: f"}) << "the destination is not looked at";
}

TEST(ReadErrors, UnprivilegedUserMeetsFilesAndFoldersItMayNotRead) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to the unprivileged user";
  testing::TempTree tree;
  tree.WriteFile("src/fine", "ok");
  tree.WriteFile("dst/fine", "ok");
  tree.WriteFile("src/locked", "secret");
  tree.WriteFile("dst/locked", "secret");
  tree.WriteFile("src/dstlocked", "data");
  tree.WriteFile("dst/dstlocked", "data");
  tree.WriteFile("src/closed/inside", "never seen");
  tree.WriteFile("dst/closed/inside", "never seen");
  // Names can be listed, but nothing in it can be looked at.
  tree.WriteFile("src/listonly/x", "x");
  tree.WriteFile("src/listonly/sub/y", "y");
  tree.WriteFile("dst/listonly/x", "x");
  tree.WriteFile("dst/listonly/sub/y", "y");
  // The copies are there, in a destination folder that cannot be searched.
  tree.WriteFile("src/shut/z", "z");
  tree.WriteFile("dst/shut/z", "z");
  for (const char* folder : {"", "src", "dst", "src/closed", "dst/closed", "src/listonly", "dst/shut"})
    ASSERT_EQ(chmod(tree.Path(folder).c_str(), 0755), 0);
  ASSERT_EQ(chmod(tree.Path("src/locked").c_str(), 0), 0);
  ASSERT_EQ(chmod(tree.Path("dst/dstlocked").c_str(), 0), 0);
  ASSERT_EQ(chmod(tree.Path("src/closed").c_str(), 0), 0);
  ASSERT_EQ(chmod(tree.Path("src/listonly").c_str(), 0444), 0);
  ASSERT_EQ(chmod(tree.Path("dst/shut").c_str(), 0), 0);

  EXPECT_EQ(VerifyAsNobody(tree.Path("src"), tree.Path("dst")),
            (Lines{"!Destn read error: dstlocked", "!Destn read error: shut/z", "!Source read error: closed/",
                   "!Source read error: listonly/sub/", "!Source read error: listonly/x",
                   "!Source read error: locked", "Ok: fine", "Errors"}));
}

}  // namespace
}  // namespace ovik
