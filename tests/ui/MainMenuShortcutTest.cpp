#include "MainTestSupport.h"

#include "support/TempTree.h"

#include <QClipboard>
#include <QItemSelectionModel>
#include <QAbstractItemView>
#include <QTest>

#include <gtest/gtest.h>

namespace ovik::testing {
namespace {

const QString kUntouched = QStringLiteral("what was there before");

class MainMenuShortcuts : public ::testing::Test {
 protected:
  void SetUp() override {
    window = MakeMainWindow();
    window->activateWindow();
    QApplication::clipboard()->setText(kUntouched);
    tree.WriteFile("src/a.txt", "a");
    tree.WriteFile("dst/a.txt", "a");
    tree.WriteFile("src/b.txt", "b");
    tree.WriteFile("dst/b.txt", "B");
    tree.WriteFile("src/c.txt", "c");
    source = tree.Path("src");
    destination = tree.Path("dst");
    window->SetFolderFieldText(true, source);
    window->SetFolderFieldText(false, destination);
  }

  void Press(int key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(window.get(), static_cast<Qt::Key>(key), modifiers);
    QApplication::processEvents();
  }

  QString Header() const {
    return QString::fromStdString("Source folder: " + source + "\r\nDestination folder: " + destination + "\r\n");
  }

  TempTree tree;
  std::unique_ptr<TfrmMain> window;
  std::string source;
  std::string destination;
};

TEST_F(MainMenuShortcuts, DoNothingWhileTheListIsEmpty) {
  Press(Qt::Key_C, Qt::ControlModifier);
  Press(Qt::Key_F1, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), kUntouched);
}

TEST_F(MainMenuShortcuts, CopyTheQualifyingLinesAfterARun) {
  window->btnCompare->click();
  ASSERT_EQ(window->lstResults->model()->rowCount(), 3);

  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            Header() + "!Destn file missing: c.txt\r\n!Mismatched contents at offset 0: b.txt\r\nOk: a.txt\r\n");

  Press(Qt::Key_F1, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            Header() + "!Destn file missing: c.txt\r\n!Mismatched contents at offset 0: b.txt\r\n");

  Press(Qt::Key_F2, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), Header() + "Ok: a.txt\r\n");
}

TEST_F(MainMenuShortcuts, CopySelectedFollowsTheListsSelectionInListOrder) {
  window->btnCompare->click();
  QItemSelectionModel* selection = window->lstResults->selectionModel();
  const QAbstractItemModel* model = window->lstResults->model();
  selection->select(model->index(2, 0), QItemSelectionModel::Select);
  selection->select(model->index(0, 0), QItemSelectionModel::Select);

  Press(Qt::Key_F3, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), Header() + "!Destn file missing: c.txt\r\nOk: a.txt\r\n");
}

TEST_F(MainMenuShortcuts, StopWorkingAgainWhenAFieldChangeClearsTheList) {
  window->btnCompare->click();
  window->SetFolderFieldText(false, tree.Path("elsewhere"));
  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), kUntouched);
}

}  // namespace
}  // namespace ovik::testing
