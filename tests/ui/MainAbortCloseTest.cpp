#include "MainTestSupport.h"

#include "support/TempTree.h"
#include "support/media/TestMedia.h"
#include "ui/main/details/MainDetailsModel.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QMenu>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace ovik::testing {
namespace {

class MainWindowAbortAndClose : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 60; ++i) {
      const std::string name = "d" + std::to_string(i % 3) + "/f" + std::to_string(i);
      tree.WriteFile("src/" + name, PatternBytes(4000, static_cast<unsigned>(i)));
      tree.WriteFile("dst/" + name, PatternBytes(4000, static_cast<unsigned>(i)));
    }
    window = MakeMainWindow();
    window->SetFolderFieldText(true, tree.Path("src"));
    window->SetFolderFieldText(false, tree.Path("dst"));
  }

  // Runs `step` once, at the first pump of the walk after some lines.
  void RunWithStepDuringWalk(std::function<void()> step) {
    bool done = false;
    OnEveryPump probe([&] {
      if (window->lblStatus->text() != "Verifying destn..." || window->DetailsModel().LineCount() < 5) return false;
      done = true;
      step();
      return true;
    });
    window->btnCompare->click();
    ASSERT_TRUE(done);
  }

  TempTree tree;
  std::unique_ptr<TfrmMain> window;
};

TEST_F(MainWindowAbortAndClose, AbortAnsweredYesStopsTheWalkAndKeepsItsLines) {
  BoxAnswerer answerer(QMessageBox::Yes);
  RunWithStepDuringWalk([&] { window->btnAbort->click(); });

  EXPECT_EQ(answerer.seen().title, "Confirm");
  EXPECT_EQ(answerer.seen().text, "Abort Ovik?");
  EXPECT_EQ(answerer.seen().buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(answerer.seen().defaultButton, QMessageBox::Yes);
  EXPECT_EQ(answerer.seen().escapeButton, QMessageBox::No);
  EXPECT_LE(answerer.seen().offCentre.manhattanLength(), 2) << "centred on the screen";

  EXPECT_EQ(LabelText(window->lblStatus), "Aborted");
  EXPECT_EQ(TextColour(window->lblStatus), QColor(255, 0, 0));
  const std::size_t lines = window->DetailsModel().LineCount();
  EXPECT_GE(lines, 5u);
  EXPECT_LT(lines, 60u);
  EXPECT_EQ(window->lstResults->model()->rowCount(), static_cast<int>(lines));
  EXPECT_TRUE(window->DetailsModel().IsSorted());
  EXPECT_TRUE(window->mnuFileSaveAll->isEnabled());
  EXPECT_EQ(window->windowTitle(), "Ovik-Stopped");
  EXPECT_TRUE(window->lblProgress->isVisibleTo(window->grpResults)) << "the file in hand stays shown";
  EXPECT_FALSE(window->btnAbort->isEnabled());
  EXPECT_TRUE(window->btnCompare->isEnabled());
}

TEST_F(MainWindowAbortAndClose, AbortAnsweredNoLetsTheRunFinish) {
  BoxAnswerer answerer(QMessageBox::No);
  RunWithStepDuringWalk([&] { window->btnAbort->click(); });
  EXPECT_EQ(answerer.seen().count, 1);
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
  EXPECT_EQ(window->DetailsModel().LineCount(), 60u);
}

TEST_F(MainWindowAbortAndClose, EscReachesAbortOnlyWhileItIsEnabled) {
  BoxAnswerer answerer(QMessageBox::Yes);
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &escape);
  QApplication::processEvents();
  EXPECT_EQ(answerer.seen().count, 0);

  RunWithStepDuringWalk([&] {
    QKeyEvent duringRun(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &duringRun);
  });
  EXPECT_EQ(answerer.seen().count, 1);
  EXPECT_EQ(LabelText(window->lblStatus), "Aborted");
}

TEST_F(MainWindowAbortAndClose, ClosingDuringARunIsRefusedWithAWarning) {
  BoxAnswerer answerer(QMessageBox::Ok);
  bool closed = true;
  RunWithStepDuringWalk([&] {
    closed = window->close();
    window->mnuFileExit->trigger();
  });
  EXPECT_FALSE(closed);
  EXPECT_EQ(answerer.seen().count, 2) << "the close box and Exit alike";
  EXPECT_EQ(answerer.seen().title, "Warning");
  EXPECT_EQ(answerer.seen().text, "Verify in progress, click Abort before closing");
  EXPECT_EQ(answerer.seen().buttons, QMessageBox::Ok);
  EXPECT_EQ(answerer.seen().escapeButton, QMessageBox::Ok);
  EXPECT_LE(answerer.seen().offCentre.manhattanLength(), 2) << "centred on the screen";
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK") << "the run goes on";
}

TEST_F(MainWindowAbortAndClose, AfterARunClosingAsksAndHonoursTheAnswer) {
  BoxAnswerer answerer(QMessageBox::Yes);
  RunWithStepDuringWalk([&] { window->btnAbort->click(); });
  ASSERT_EQ(LabelText(window->lblStatus), "Aborted");

  answerer.SetAnswer(QMessageBox::No);
  EXPECT_FALSE(window->close());
  EXPECT_EQ(answerer.seen().title, "Confirm");
  EXPECT_EQ(answerer.seen().text, "Close Ovik?");
  EXPECT_EQ(answerer.seen().defaultButton, QMessageBox::Yes);
  EXPECT_EQ(answerer.seen().escapeButton, QMessageBox::No);
  EXPECT_TRUE(window->isVisible());

  answerer.SetAnswer(QMessageBox::Yes);
  window->mnuFileExit->trigger();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowAbortAndClose, DoubleClickInAFieldIsIgnoredDuringARun) {
  // A double-click would open the folder picker; during the run it must not.
  RunWithStepDuringWalk([&] {
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(window->edtSrc, &click);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  });
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
}

TEST_F(MainWindowAbortAndClose, TheListFollowsTheNewestLinesDuringTheWalk) {
  window->btnDetails->click();
  bool checked = false;
  OnEveryPump probe([&] {
    // Once sorted, the list is back at its top; the status that announces
    // the sort reaches the screen with the walk's lines shown.
    const int rows = window->lstResults->model()->rowCount();
    if (rows < 30 || window->DetailsModel().IsSorted()) return false;
    checked = true;
    const QRect newest = window->lstResults->visualRect(window->lstResults->model()->index(rows - 1, 0));
    EXPECT_TRUE(window->lstResults->viewport()->rect().contains(newest)) << rows;
    return true;
  });
  window->btnCompare->click();
  EXPECT_TRUE(checked);
  EXPECT_EQ(window->lstResults->indexAt(QPoint(1, 1)).row(), 0) << "back at the top once sorted";
}

TEST_F(MainWindowAbortAndClose, EnterStartsVerifyUnlessAButtonHasTheFocus) {
  window->btnDetails->setFocus();
  QKeyEvent onButton(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(window->btnDetails, &onButton);
  EXPECT_TRUE(window->grpDetails->isVisibleTo(window.get())) << "the focused button took Enter";
  EXPECT_EQ(window->windowTitle(), "Ovik");

  window->edtSrc->setFocus();
  QKeyEvent onField(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(window->edtSrc, &onField);
  EXPECT_EQ(window->windowTitle(), "Ovik-Stopped");
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
}

// A destination read that never returns: the window keeps answering, Esc
// brings the question at once, Yes ends the run at once with the lines
// found so far, and a new run can start.
TEST(MainWindowStalledRead, EscAbortsAtOnceAndANewRunCanStart) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Fuse);
  using Clock = std::chrono::steady_clock;
  TempTree tree;
  for (const char* side : {"src/", "copy/", "other/"}) {
    tree.WriteFile(std::string(side) + "first", "1");
    tree.WriteFile(std::string(side) + "stuck", PatternBytes(5000, 1));
  }
  TestMedium medium(MediumKind::Fuse, tree.Path("copy"), {"--stall-read=stuck:0"});
  ASSERT_EQ(medium.error(), "");
  auto window = MakeMainWindow();
  window->SetFolderFieldText(true, tree.Path("src"));
  window->SetFolderFieldText(false, medium.root());

  std::optional<Clock::time_point> stalledSince, escPosted, boxSeen, answered;
  int passesWhileStalled = 0;
  OnEveryPump probe([&] {
    if (LabelText(window->lblCurrFileName) != "stuck") return false;
    if (!stalledSince) stalledSince = Clock::now();
    ++passesWhileStalled;
    if (Clock::now() - *stalledSince < std::chrono::milliseconds(600)) return false;
    escPosted = Clock::now();
    QApplication::postEvent(window.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    return true;
  });
  OnEveryPump answerer([&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return false;
    boxSeen = Clock::now();
    EXPECT_EQ(box->windowTitle(), "Confirm");
    box->button(QMessageBox::Yes)->click();
    answered = Clock::now();
    return true;
  });
  window->btnCompare->click();
  const Clock::time_point ended = Clock::now();

  ASSERT_TRUE(escPosted && boxSeen && answered) << "the run never met the stalled file, or no question came";
  EXPECT_GE(passesWhileStalled, 3) << "events are processed during the stall";
  EXPECT_LT(*boxSeen - *escPosted, std::chrono::milliseconds(500));
  EXPECT_LT(ended - *answered, kPromptly);
  EXPECT_EQ(LabelText(window->lblStatus), "Aborted");
  EXPECT_LE(window->DetailsModel().LineCount(), 1u) << "the stalled file has no line";

  window->SetFolderFieldText(false, tree.Path("other"));
  window->btnCompare->click();
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
}

}  // namespace
}  // namespace ovik::testing
