#include "common/NumberFormat.h"
#include "support/EngineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;
using Lines = std::vector<std::string>;

bool Contains(const Lines& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// Presses Abort once, at the first pump at which `when` holds.
void AbortWhen(EngineHarness& h, std::function<bool()> when) {
  h.view.onPump = [&h, when, pressed = false]() mutable {
    if (pressed || !when()) return;
    pressed = true;
    h.engine.AbortCommand();
  };
}

void ExpectAbortedRun(const EngineHarness& h) {
  EXPECT_EQ(h.engine.verdict, Verdict::Aborted);
  EXPECT_EQ(h.view.status, "Aborted");
  EXPECT_EQ(h.view.statusColour, Colour::Red);
  EXPECT_TRUE(Contains(h.view.statuses, "Aborting..."));
  EXPECT_TRUE(Contains(h.view.statuses, "Sorting details..."));
  EXPECT_EQ(h.view.titles.back(), "Ovik-Stopped");
  EXPECT_FALSE(h.view.buttons.at(ViewButton::Abort));
  EXPECT_TRUE(h.view.buttons.at(ViewButton::BrowseSrc));
  EXPECT_TRUE(h.view.sorted);
}

std::size_t EntriesOf(const char* folder) {
  const auto entries = std::filesystem::directory_iterator(folder);
  return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

TEST(Abort, WhileFilesAreReadAheadLeavesNoReaderAndNoOpenFile) {
  EngineHarness h;
  for (int i = 0; i < 60; ++i) h.WriteBoth("f" + std::to_string(i), PatternBytes(3 * BlockSize, i));
  h.Verify();  // a whole run first: a sanitizer's own thread starts with the first readers
  const std::size_t threads = EntriesOf("/proc/self/task");
  const std::size_t files = EntriesOf("/proc/self/fd");
  std::size_t threadsDuringTheRun = 0;
  AbortWhen(h, [&] {
    threadsDuringTheRun = EntriesOf("/proc/self/task");
    return h.view.lines.size() == 3;
  });
  h.Verify();
  ExpectAbortedRun(h);
  EXPECT_GT(threadsDuringTheRun, threads) << "the files were read ahead";
  EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
  EXPECT_EQ(EntriesOf("/proc/self/fd"), files);
}

TEST(Abort, DuringTheScanSkipsTheWalk) {
  EngineHarness h;
  h.WriteBoth("one/f", "1");
  h.WriteBoth("two/f", "2");
  h.WriteBoth("three/f", "3");
  h.WriteBoth("top", "t");
  AbortWhen(h, [&] { return h.view.Label(ViewLabel::NumSrcFolders).text == "1"; });
  h.Verify();
  ExpectAbortedRun(h);
  EXPECT_FALSE(Contains(h.view.statuses, "Verifying destn..."));
  EXPECT_TRUE(h.view.lines.empty());
  EXPECT_FALSE(h.view.saveAndCopyEnabled);
  EXPECT_EQ(h.engine.totals.SrcFolderCount, 1) << "the sibling folders are not scanned";
  EXPECT_EQ(h.engine.totals.SrcFileCount, 0) << "a folder's files come after its sub-folders";
  EXPECT_EQ(h.fileSystem.opens, 0);
}

TEST(Abort, DuringTheWalkKeepsTheLinesAndTheCurrentFile) {
  EngineHarness h;
  for (int i = 0; i < 6; ++i) h.WriteBoth("f" + std::to_string(i), "0123456789");
  h.tree.WriteFile("src/missing", "x");
  AbortWhen(h, [&] { return h.view.lines.size() == 2; });
  h.Verify();
  ExpectAbortedRun(h);
  ASSERT_EQ(h.view.lines.size(), 2u);
  EXPECT_TRUE(std::is_sorted(h.view.lines.begin(), h.view.lines.end()));
  EXPECT_TRUE(h.view.saveAndCopyEnabled);
  EXPECT_EQ(h.engine.totals.DstFileCount + h.engine.totals.DstMissingCount, 2);
  // The captions and name of the file in hand stay shown.
  EXPECT_TRUE(h.view.Label(ViewLabel::Progress).visible);
  EXPECT_TRUE(h.view.Label(ViewLabel::File).visible);
  EXPECT_FALSE(h.LabelText(ViewLabel::CurrFileName).empty());
  for (const std::string& line : h.view.lines)
    EXPECT_EQ(line.find(h.LabelText(ViewLabel::CurrFileName)), std::string::npos) << "no line for the file in hand";
}

TEST(Abort, InsideALargeFileAddsNoLineForIt) {
  EngineHarness h;
  // Read on the engine's thread, which shows the bytes checked after every
  // block; readers would finish a file this small before the first wait.
  h.engine.readAhead = false;
  h.clock.stepSeconds = 0.3;  // a quarter second passes between blocks: the loop pumps
  h.WriteBoth("a/small", "s");
  const std::string big = PatternBytes(20 * BlockSize, 9);
  h.WriteBoth("big", big);
  const std::string threeBlocks = FormatThousands(3 * static_cast<std::int64_t>(BlockSize));
  AbortWhen(h, [&] {
    return h.LabelText(ViewLabel::CurrFileName) == "big" && h.LabelText(ViewLabel::NumFileBytes) == threeBlocks;
  });
  h.Verify();
  ExpectAbortedRun(h);
  EXPECT_EQ(h.view.lines, Lines{"Ok: a/small"});
  EXPECT_EQ(h.engine.totals.DstFileCount, 1);
  EXPECT_EQ(h.engine.totals.DstByteTotal, 1);
  EXPECT_EQ(h.engine.totals.ErrorCount, 0);
  EXPECT_EQ(h.LabelText(ViewLabel::CurrFileName), "big");
  EXPECT_TRUE(h.view.Label(ViewLabel::FileBytes).visible);
  const std::string shownBytes = h.LabelText(ViewLabel::NumFileBytes);
  EXPECT_TRUE(shownBytes == threeBlocks || shownBytes == FormatThousands(4 * static_cast<std::int64_t>(BlockSize)))
      << "at most one more block after the abort, got " << shownBytes;
}

TEST(Abort, DeclinedConfirmationChangesNothing) {
  EngineHarness h;
  h.WriteBoth("a", "1");
  h.WriteBoth("b", "2");
  h.view.confirmAbortAnswer = false;
  AbortWhen(h, [&] { return h.view.lines.size() == 1; });
  h.Verify();
  EXPECT_FALSE(Contains(h.view.statuses, "Aborting..."));
  EXPECT_EQ(h.view.status, "Verified OK");
  EXPECT_EQ(h.view.lines.size(), 2u);
}

TEST(Abort, NextRunStartsAfresh) {
  EngineHarness h;
  h.WriteBoth("a", "1");
  AbortWhen(h, [&] { return h.view.status == "Scanning source..."; });
  h.Verify();
  ASSERT_EQ(h.view.status, "Aborted");
  h.view.onPump = nullptr;
  h.Verify();
  EXPECT_EQ(h.view.status, "Verified OK");
  EXPECT_EQ(h.view.lines, Lines{"Ok: a"});
}

}  // namespace
}  // namespace ovik
