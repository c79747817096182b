// The window on a desktop: sleep held off during a run, the progress on
// the dock's icon, the announcement of a run's end, the remembered choice,
// and the folders given on the command line.
#include "MainTestSupport.h"

#include "Version.h"
#include "support/DesktopBuses.h"
#include "support/TempTree.h"
#include "support/media/TestMedia.h"
#include "ui/main/MainRunAnnouncer.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace ovik::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Lets the event loop run until `done` or five seconds have passed.
bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!done() && Clock::now() < deadline) QTest::qWait(10);
  return done();
}

std::string SettingsFile() {
  return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ovik/ovik.conf").toStdString();
}

TEST(RunTotalsLine, CountsBytesTimeAndErrors) {
  EXPECT_EQ(RunTotalsLine(12345, 1'234'567'890, "00:42:13", 3), "12,345 files, 1.2 GB checked in 00:42:13; 3 errors");
  EXPECT_EQ(RunTotalsLine(1, 1, "00:00:00", 1), "1 file, 1 byte checked in 00:00:00; 1 error");
  EXPECT_EQ(RunTotalsLine(0, 0, "00:00:01", 0), "0 files, 0 bytes checked in 00:00:01; no errors");
}

TEST(MainWindowDesktop, KeepAwakeIsOnUntilSwitchedOffAndRemembered) {
  std::filesystem::remove(SettingsFile());
  for (const bool expected : {true, false, true}) {
    auto window = MakeMainWindow();
    QAction& item = *window->mnuFileKeepAwake;
    EXPECT_EQ(item.text(), "Keep the computer awake during a run");
    EXPECT_TRUE(item.isCheckable());
    EXPECT_EQ(item.isChecked(), expected);
    item.trigger();
  }
  std::filesystem::remove(SettingsFile());
}

// Runs whose destination read stalls until they are aborted, in a window
// that is not the active one.
class MainWindowDesktopRun : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.WriteFile("src/first", "1");
    tree.WriteFile("src/stuck", PatternBytes(5000, 1));
    tree.WriteFile("copy/first", "1");
    tree.WriteFile("copy/stuck", PatternBytes(5000, 1));
  }

  // A run on a medium of its own (a second run would wait for the page the
  // stalled read holds), aborted once it waits for the stalled file; the
  // locks listed meanwhile.
  std::vector<Inhibitor> AbortedRunsLocks(TfrmMain& window, const DesktopBuses& buses) {
    TestMedium medium(MediumKind::Fuse, tree.Path("copy"), {"--stall-read=stuck:0"});
    EXPECT_EQ(medium.error(), "");
    window.SetFolderFieldText(false, medium.root());
    std::vector<Inhibitor> during;
    bool aborted = false;
    OnEveryPump probe([&] {
      if (window.lblCurrFileName->text() != "stuck") return false;
      during = buses.Inhibitors();
      aborted = true;
      window.btnAbort->click();
      return true;
    });
    BoxAnswerer yes(QMessageBox::Yes);
    window.btnCompare->click();
    EXPECT_TRUE(aborted) << "the run never met the stalled file";
    EXPECT_EQ(LabelText(window.lblStatus), "Aborted");
    EXPECT_TRUE(buses.Inhibitors().empty()) << "the lock outlived the run";
    return during;
  }

  TempTree tree;
};

TEST_F(MainWindowDesktopRun, HoldsSleepOffShowsProgressAndAnnouncesTheEnd) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Fuse);
  OVIK_REQUIRE_DESKTOP_BUSES();
  DesktopBuses buses;
  ASSERT_EQ(buses.error(), "");
  buses.ListenToLauncherEntries();
  EnsureMainTestApplication();
  std::filesystem::remove(SettingsFile());
  TfrmMain window;  // never shown, so never the active window
  window.SetFolderFieldText(true, tree.Path("src"));

  const std::vector<Inhibitor> during = AbortedRunsLocks(window, buses);
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].what, "sleep");
  EXPECT_EQ(during[0].who, "Ovik");
  EXPECT_EQ(during[0].mode, "block");
  EXPECT_EQ(during[0].why, "Verifying " + window.FolderFieldText(false) + " against " + tree.Path("src"));

  const std::string body = RunTotalsLine(window.Engine().totals.DstFileCount, window.Engine().totals.DstByteTotal,
                                         LabelText(window.lblElapsedTime), 0);
  ASSERT_TRUE(PumpUntil([&] { return !buses.NotifyCalls().empty(); })) << "no notification";
  const std::vector<std::string> calls = buses.NotifyCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].find("Notify \"Ovik\" 0 \"ovik\" \"Aborted\" \"" + body + "\" [\"default\", "), 0u) << calls[0];
  EXPECT_NE(calls[0].find("{\"desktop-entry\": \"" + std::string(kAppId) + "\"}"), std::string::npos) << calls[0];

  // The dock's bar from 0 to where the run stopped, then gone.
  std::vector<LauncherEntry> entries;
  ASSERT_TRUE(PumpUntil([&] {
    entries = buses.CollectLauncherEntries();
    return !entries.empty() && !entries.back().progressVisible;
  }));
  EXPECT_TRUE(entries.front().progressVisible);
  EXPECT_EQ(entries.front().progress, 0.0);
  for (const LauncherEntry& entry : entries) {
    EXPECT_EQ(entry.uri, "application://" + std::string(kAppId) + ".desktop");
    EXPECT_FALSE(entry.urgent);
  }

  // A click on the notification brings the window up.
  buses.ClickNotification(1);
  EXPECT_TRUE(PumpUntil([&] { return window.isVisible(); }));

  // Switched off, the next run holds nothing; its notification replaces the first.
  window.hide();
  window.mnuFileKeepAwake->trigger();
  EXPECT_TRUE(AbortedRunsLocks(window, buses).empty());
  ASSERT_TRUE(PumpUntil([&] { return buses.NotifyCalls().size() == 2; }));
  EXPECT_EQ(buses.NotifyCalls()[1].find("Notify \"Ovik\" 1 \"ovik\" \"Aborted\""), 0u) << buses.NotifyCalls()[1];
  std::filesystem::remove(SettingsFile());
}

// A run in the active window is not announced; the dock's bar reaches the
// end, turns urgent at the first error and is gone after. When the buses
// go away, runs go on as before.
TEST(MainWindowDesktop, RunsInTheActiveWindowFillTheDockBarUnannounced) {
  OVIK_REQUIRE_DESKTOP_BUSES();
  auto ownedBuses = std::make_unique<DesktopBuses>();
  DesktopBuses& buses = *ownedBuses;
  ASSERT_EQ(buses.error(), "");
  TempTree tree;
  tree.WriteFile("src/a", PatternBytes(300'000, 1));
  tree.WriteFile("good/a", PatternBytes(300'000, 1));
  tree.WriteFile("bad/a", PatternBytes(300'000, 2));
  auto window = MakeMainWindow();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window.get())) GTEST_SKIP() << "the window system cannot activate the window";
  window->SetFolderFieldText(true, tree.Path("src"));
  for (const std::string copy : {"good", "bad"}) {
    buses.ListenToLauncherEntries();
    window->SetFolderFieldText(false, tree.Path(copy));
    window->btnCompare->click();
    EXPECT_TRUE(buses.Inhibitors().empty()) << "the lock outlived the run";
    std::vector<LauncherEntry> entries;
    ASSERT_TRUE(PumpUntil([&] {
      entries = buses.CollectLauncherEntries();
      return !entries.empty() && !entries.back().progressVisible;
    })) << copy;
    ASSERT_GE(entries.size(), 3u) << copy;
    // A mismatch ends the file's comparison early, short of the end.
    const LauncherEntry& last = entries[entries.size() - 2];
    EXPECT_TRUE(last.progressVisible) << copy;
    if (copy == "good") {
      EXPECT_EQ(last.progress, 1.0);
    }
    EXPECT_EQ(last.urgent, copy == "bad") << copy;
    EXPECT_FALSE(entries.back().urgent) << copy;
  }
  QTest::qWait(100);
  EXPECT_TRUE(buses.NotifyCalls().empty()) << buses.NotifyCalls().front();

  ownedBuses.reset();
  QTest::qWait(50);
  window->SetFolderFieldText(false, tree.Path("good"));
  window->btnCompare->click();
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
  QTest::qWait(50);
}

TEST(MainWindowStartFolders, FillsTheFieldsOrSaysWhyNot) {
  TempTree tree;
  tree.WriteFile("src/a", "a");
  tree.WriteFile("dst/a", "a");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(tree.root());
  const struct {
    std::vector<std::string> args;
    std::string source, destination, box;
  } cases[] = {
      {{tree.Path("src"), tree.Path("dst/")}, tree.Path("src"), tree.Path("dst"), ""},
      {{"src"}, tree.Path("src"), "", ""},
      {{"./src/../src", "dst"}, tree.Path("src"), tree.Path("dst"), ""},
      {{tree.Path("src"), "missing"}, "", "", "missing: No such file or directory"},
      {{"src/a"}, "", "", "src/a: Not a directory"},
      {{"src", "dst", "a"}, "", "", "Ovik takes a source folder and a destination folder, not 3 names"},
  };
  for (const auto& c : cases) {
    auto window = MakeMainWindow();
    BoxAnswerer ok(QMessageBox::Ok);
    window->OpenStartFolders(c.args);
    EXPECT_EQ(window->FolderFieldText(true), c.source) << c.args.front();
    EXPECT_EQ(window->FolderFieldText(false), c.destination) << c.args.front();
    EXPECT_EQ(ok.seen().count, c.box.empty() ? 0 : 1) << c.args.front();
    if (!c.box.empty()) {
      EXPECT_EQ(ok.seen().title, "Error");
      EXPECT_EQ(ok.seen().text.toStdString(), c.box);
    }
    if (!c.destination.empty()) {
      window->btnCompare->click();
      EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
    }
  }
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace ovik::testing
