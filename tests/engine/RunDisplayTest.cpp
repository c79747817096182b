#include "support/EngineHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;
using Lines = std::vector<std::string>;

constexpr ViewLabel kErrorLabels[] = {ViewLabel::NumErrors, ViewLabel::NumDstFilesMissing, ViewLabel::NumSrcReadErrs,
                                      ViewLabel::NumDstReadErrs, ViewLabel::NumMismatches};

TEST(RunDisplay, ResetClearsEverythingAfterARunWithErrors) {
  EngineHarness h;
  h.tree.WriteFile("src/a", "1");
  h.Verify();
  ASSERT_EQ(h.view.progressColour, Colour::Red);

  h.engine.ResetResults();
  for (ViewLabel label : {ViewLabel::NumSrcFiles, ViewLabel::NumSrcFolders, ViewLabel::NumDstFolders,
                          ViewLabel::NumDstFiles, ViewLabel::NumSrcBytes, ViewLabel::NumDstBytes})
    EXPECT_EQ(h.LabelText(label), "-");
  for (ViewLabel label : kErrorLabels) {
    EXPECT_EQ(h.LabelText(label), "-");
    EXPECT_EQ(h.view.Label(label).colour, Colour::Black);
  }
  for (ViewLabel label : {ViewLabel::Progress, ViewLabel::FileBytes, ViewLabel::File, ViewLabel::ElapsedTime,
                          ViewLabel::Elapsed})
    EXPECT_FALSE(h.view.Label(label).visible);
  EXPECT_EQ(h.LabelText(ViewLabel::NumFileBytes), "");
  EXPECT_EQ(h.LabelText(ViewLabel::CurrFileName), "");
  EXPECT_TRUE(h.view.lines.empty());
  EXPECT_FALSE(h.view.saveAndCopyEnabled);
  EXPECT_EQ(h.view.status, "");
  EXPECT_EQ(h.view.statusColour, Colour::Blue);
  EXPECT_EQ(h.view.progress, 0);
  EXPECT_EQ(h.view.progressColour, Colour::Green);
  EXPECT_EQ(h.engine.totals.ErrorCount, 0);
  EXPECT_FALSE(h.engine.AbortRequested);
}

TEST(RunDisplay, StatusesTitlesAndListHandlingInOrder) {
  EngineHarness h;
  h.engine.UpdateTitle();
  ASSERT_EQ(h.view.title, "Ovik");
  h.view.titles.clear();
  h.WriteBoth("b", "2");
  h.WriteBoth("A", "1");
  h.Verify();
  EXPECT_EQ(h.view.statuses, (Lines{"Initialising...", "", "Scanning source...", "Verifying destn...",
                                    "Sorting details...", "Verified OK"}));
  EXPECT_EQ(h.view.titles, (Lines{"Ovik-Verifying", "Ovik-Stopped"}));
  EXPECT_EQ(h.engine.runState, RunState::Stopped);
  EXPECT_EQ(h.view.lines, (Lines{"Ok: A", "Ok: b"}));

  const Lines& log = h.view.log;
  const auto at = [&](const std::string& entry) { return std::find(log.begin(), log.end(), entry) - log.begin(); };
  EXPECT_LT(at("clear"), at("sort-off"));
  EXPECT_LT(at("sort-off"), at("status:Scanning source..."));
  EXPECT_LT(at("status:Sorting details..."), at("list-hide"));
  EXPECT_LT(at("list-hide"), at("sort-on"));
  EXPECT_LT(at("sort-on"), at("list-show"));
  EXPECT_LT(at("list-show"), at("scroll-top"));
  EXPECT_LT(at("scroll-top"), at("status:Verified OK"));
  EXPECT_LT(at("status:Verified OK"), at("update-buttons"));
}

TEST(RunDisplay, ButtonsDuringAndAfterTheRun) {
  EngineHarness h;
  h.WriteBoth("f", "x");
  std::map<ViewButton, bool> during;
  h.view.onPump = [&] {
    if (h.view.status == "Verifying destn...") during = h.view.buttons;
  };
  h.Verify();
  EXPECT_FALSE(during[ViewButton::Compare]);
  EXPECT_FALSE(during[ViewButton::Swap]);
  EXPECT_FALSE(during[ViewButton::BrowseSrc]);
  EXPECT_FALSE(during[ViewButton::BrowseDst]);
  EXPECT_TRUE(during[ViewButton::Abort]);

  EXPECT_TRUE(h.view.buttons[ViewButton::BrowseSrc]);
  EXPECT_TRUE(h.view.buttons[ViewButton::BrowseDst]);
  EXPECT_FALSE(h.view.buttons[ViewButton::Abort]);
  EXPECT_TRUE(h.view.saveAndCopyEnabled);
  // A normal end hides the current-file captions and empties their values.
  for (ViewLabel label : {ViewLabel::Progress, ViewLabel::FileBytes, ViewLabel::File})
    EXPECT_FALSE(h.view.Label(label).visible);
  EXPECT_EQ(h.LabelText(ViewLabel::NumFileBytes), "");
  EXPECT_EQ(h.LabelText(ViewLabel::CurrFileName), "");
}

TEST(RunDisplay, CompletionStillRunsWhenTheRunThrows) {
  EngineHarness h;
  h.WriteBoth("a", "1");
  h.WriteBoth("sub/b", "2");
  h.fileSystem.ThrowWhenListing(h.Src("sub"));
  EXPECT_THROW(h.Verify(), std::runtime_error);
  EXPECT_EQ(h.view.titles.back(), "Ovik-Stopped");
  EXPECT_EQ(h.engine.runState, RunState::Stopped);
  EXPECT_FALSE(h.view.buttons[ViewButton::Abort]);
  EXPECT_TRUE(h.view.buttons[ViewButton::BrowseSrc]);
  EXPECT_TRUE(h.view.buttons[ViewButton::BrowseDst]);
  EXPECT_EQ(h.view.log.back(), "update-buttons");
}

TEST(RunDisplay, BytesCheckedKeepsThePreviousFilesCountUntilABlockIsRead) {
  EngineHarness h;
  h.WriteBoth("a/first", "12345");  // sub-folders are walked before files
  h.WriteBoth("second", "1");
  h.fileSystem.FailOpen(h.Src("second"), EACCES);
  std::map<std::string, std::pair<std::string, bool>> seen;  // file: bytes text, caption shown
  h.view.onPump = [&] {
    const std::string& name = h.LabelText(ViewLabel::CurrFileName);
    if (!name.empty() && !seen.count(name))
      seen[name] = {h.LabelText(ViewLabel::NumFileBytes), h.view.Label(ViewLabel::FileBytes).visible};
  };
  h.Verify();
  EXPECT_EQ(seen["a/first"], std::make_pair(std::string(), false));
  EXPECT_EQ(seen["second"], std::make_pair(std::string("5"), true));
}

TEST(RunDisplay, SaveAndCopyStayDisabledWithoutLines) {
  EngineHarness h;
  h.tree.MakeFolder("src/empty");
  h.tree.MakeFolder("dst/empty");
  h.Verify();
  EXPECT_FALSE(h.view.saveAndCopyEnabled);
  EXPECT_EQ(h.view.titles.back(), "Ovik-Stopped");
}

TEST(RunDisplay, DestinationCountsShowDashUntilNonZero) {
  EngineHarness h;
  h.tree.WriteFile("src/sub/a", "1");  // missing: nothing found on the destination side
  h.Verify();
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFiles), "-");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFolders), "-");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "-");
  EXPECT_EQ(h.LabelText(ViewLabel::NumSrcFiles), "1");
  EXPECT_EQ(h.LabelText(ViewLabel::NumSrcBytes), "1");

  // A source read error counts a checked file but no bytes.
  EngineHarness unreadable;
  unreadable.WriteBoth("a", "1");
  unreadable.fileSystem.FailOpen(unreadable.Src("a"), EACCES);
  unreadable.Verify();
  EXPECT_EQ(unreadable.LabelText(ViewLabel::NumDstFiles), "1");
  EXPECT_EQ(unreadable.LabelText(ViewLabel::NumDstBytes), "-");
}

TEST(RunDisplay, ProgressEndsShortWhenFilesAreMissing) {
  EngineHarness h;
  h.WriteBoth("a", PatternBytes(1000));
  h.tree.WriteFile("src/b", PatternBytes(3000));
  h.Verify();
  EXPECT_EQ(h.view.progress, 25);
  EXPECT_EQ(h.view.progressColour, Colour::Red);
}

TEST(RunDisplay, ProgressIsLimitedTo100) {
  EngineHarness h;
  h.engine.ResetResults();
  h.engine.totals.SrcByteTotal = 10;
  h.engine.totals.DstByteTotal = 10;
  h.engine.ShowProgress(5);
  EXPECT_EQ(h.view.progress, 100);
}

TEST(ElapsedTime, FormatPutsWholeDaysInFront) {
  const auto days = [](double seconds) { return seconds / kSecondsPerDay; };
  EXPECT_EQ(FormatElapsedTime(days(65)), "00:01:05");
  EXPECT_EQ(FormatElapsedTime(days(86399)), "23:59:59");
  EXPECT_EQ(FormatElapsedTime(days(86400)), "1d 00:00:00");
  EXPECT_EQ(FormatElapsedTime(days(86400 + 3600 + 5)), "1d 01:00:05");
  EXPECT_EQ(FormatElapsedTime(days(3 * 86400 + 59)), "3d 00:00:59");
}

TEST(ElapsedTime, HiddenDuringTheFirstSecondThenOncePerSecond) {
  EngineHarness h;
  h.engine.ResetResults();
  h.clock.Advance(0.5);
  h.engine.ShowElapsed();
  EXPECT_FALSE(h.view.Label(ViewLabel::ElapsedTime).visible);
  EXPECT_FALSE(h.view.Label(ViewLabel::Elapsed).visible);

  h.clock.Advance(0.6);
  h.engine.ShowElapsed();
  EXPECT_TRUE(h.view.Label(ViewLabel::ElapsedTime).visible);
  EXPECT_TRUE(h.view.Label(ViewLabel::Elapsed).visible);
  EXPECT_EQ(h.LabelText(ViewLabel::ElapsedTime), "00:00:01");
  const int writes = h.view.Label(ViewLabel::ElapsedTime).writes;

  h.clock.Advance(0.5);
  h.engine.ShowElapsed();
  EXPECT_EQ(h.view.Label(ViewLabel::ElapsedTime).writes, writes) << "less than a second since the last rewrite";
  h.clock.Advance(0.5);
  h.engine.ShowElapsed();
  EXPECT_EQ(h.LabelText(ViewLabel::ElapsedTime), "00:00:02");
}

TEST(ElapsedTime, DayOrMoreAndLocalClockChangesIgnored) {
  EngineHarness h;
  h.engine.ResetResults();
  h.clock.localDays -= 1.0 / 24;  // the local clock goes back an hour
  h.clock.steadySeconds += 5;
  h.engine.ShowElapsed();
  EXPECT_EQ(h.LabelText(ViewLabel::ElapsedTime), "00:00:05");
  h.clock.Advance(86400 + 3600);
  h.engine.ShowElapsed();
  EXPECT_EQ(h.LabelText(ViewLabel::ElapsedTime), "1d 01:00:05");
}

// Seconds of an elapsed text "HH:MM:SS".
int SecondsOf(const std::string& text) {
  return std::stoi(text.substr(0, 2)) * 3600 + std::stoi(text.substr(3, 2)) * 60 + std::stoi(text.substr(6, 2));
}

class ElapsedLog : public testing::RecordingView {
 public:
  void SetLabelText(ViewLabel label, std::string_view text) override {
    if (label == ViewLabel::ElapsedTime) shown.emplace_back(text);
    RecordingView::SetLabelText(label, text);
  }
  std::vector<std::string> shown;
};

// Pumps of a run over one file of `blocks` blocks, read block by block on
// the engine's thread, while the clock moves `secondsPerReading` on every
// reading.
int PumpsOfRun(int blocks, double secondsPerReading, std::vector<std::string>* shown = nullptr) {
  testing::TempTree tree;
  tree.WriteFile("src/f", PatternBytes(BlockSize * static_cast<std::size_t>(blocks), 2));
  tree.WriteFile("dst/f", PatternBytes(BlockSize * static_cast<std::size_t>(blocks), 2));
  ElapsedLog view;
  testing::FakeClock clock;
  clock.stepSeconds = secondsPerReading;
  VerifyEngine engine(view, SystemFileSystem(), clock);
  engine.readAhead = false;
  engine.VerifyCommand(tree.Path("src"), tree.Path("dst"));
  EXPECT_EQ(view.lines, Lines{"Ok: f"});
  if (shown) *shown = view.shown;
  return view.pumps;
}

TEST(ElapsedTime, PumpsInsideAFileOnlyAsTimePasses) {
  EXPECT_EQ(PumpsOfRun(1, 0), PumpsOfRun(30, 0)) << "no time passes, so blocks add no pumps";
  EXPECT_GE(PumpsOfRun(30, 0.3) - PumpsOfRun(1, 0.3), 29) << "a pump per block once a quarter second passes";
}

TEST(ElapsedTime, RewrittenAtMostOncePerSecondDuringAFile) {
  std::vector<std::string> shown;
  PumpsOfRun(40, 0.1, &shown);
  ASSERT_GE(shown.size(), 2u);
  for (std::size_t i = 1; i < shown.size(); ++i)
    EXPECT_GE(SecondsOf(shown[i]) - SecondsOf(shown[i - 1]), 1) << shown[i - 1] << " then " << shown[i];
}

}  // namespace
}  // namespace ovik
