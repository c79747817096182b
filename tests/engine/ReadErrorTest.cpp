#include "support/EngineHarness.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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
