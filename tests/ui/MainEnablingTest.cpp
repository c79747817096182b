#include "MainTestSupport.h"

#include "support/TempTree.h"
#include "ui/main/details/MainDetailsModel.h"

#include <QAction>
#include <QDropEvent>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QMenu>
#include <QMimeData>

#include <gtest/gtest.h>

#include <optional>

namespace ovik::testing {
namespace {

TEST(MainWindowEnabling, StartsWithEmptyFieldsAndOnlySafeCommands) {
  auto window = MakeMainWindow();
  EXPECT_FALSE(window->btnCompare->isEnabled());
  EXPECT_FALSE(window->btnSwap->isEnabled());
  EXPECT_FALSE(window->btnAbort->isEnabled());
  EXPECT_TRUE(window->btnBrowseSrc->isEnabled());
  EXPECT_FALSE(window->mnuFileSaveAll->isEnabled());
  EXPECT_FALSE(window->mnuEdit->menuAction()->isEnabled());
  EXPECT_FALSE(window->mnuEditCopyAll->isEnabled());
  EXPECT_TRUE(window->mnuFileExit->isEnabled());
  EXPECT_TRUE(window->mnuFileIncludeHidden->isCheckable());
  EXPECT_FALSE(window->mnuFileIncludeHidden->isChecked());
  EXPECT_TRUE(window->mnuFileIncludeHidden->isEnabled());
  EXPECT_EQ(window->mnuFileIncludeHidden->text(), "Include hidden folders");
  const QList<QAction*> fileItems = window->mnuFile->actions();
  const qsizetype hiddenAt = fileItems.indexOf(window->mnuFileIncludeHidden);
  ASSERT_GT(hiddenAt, fileItems.indexOf(window->mnuFileSaveSelectedOnly));
  EXPECT_EQ(fileItems.indexOf(window->mnuFileExit), hiddenAt + 2) << "above Exit, a separator between";
  EXPECT_EQ(window->focusWidget(), window->btnDetails);
  EXPECT_EQ(window->windowTitle(), "Ovik");
  EXPECT_TRUE(window->edtSrc->isReadOnly());
  EXPECT_FALSE(window->grpDetails->isVisible());
  EXPECT_EQ(LabelText(window->lblNumSrcFiles), "-");
}

TEST(MainWindowEnabling, TabOrderRunsFromMoreDetailsThroughTheFolderRow) {
  auto window = MakeMainWindow();
  std::vector<std::string> order;
  QWidget* widget = window->btnDetails;
  for (int step = 0; step < 9; ++step) {
    order.push_back(widget->objectName().toStdString());
    do widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus) || widget->objectName().isEmpty());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"btnDetails", "edtSrc", "edtDst", "btnBrowseSrc", "btnBrowseDst",
                                             "btnCompare", "btnAbort", "btnSwap", "lstResults"}));
}

TEST(MainWindowEnabling, VerifyNeedsTwoDifferentFoldersComparedExactly) {
  auto window = MakeMainWindow();
  window->SetFolderFieldText(true, "/data/photos");
  EXPECT_FALSE(window->btnCompare->isEnabled());
  EXPECT_TRUE(window->btnSwap->isEnabled());

  window->SetFolderFieldText(false, "/data/photos/");
  EXPECT_FALSE(window->btnCompare->isEnabled()) << "a trailing separator makes no difference";
  EXPECT_FALSE(window->btnSwap->isEnabled());

  window->SetFolderFieldText(false, "/data/Photos");
  EXPECT_TRUE(window->btnCompare->isEnabled()) << "letter case makes a difference";
  EXPECT_TRUE(window->btnSwap->isEnabled());

  window->SetFolderFieldText(true, "/data/photos");
  window->SetFolderFieldText(false, "");
  EXPECT_FALSE(window->btnCompare->isEnabled());
  EXPECT_TRUE(window->btnSwap->isEnabled());
}

TEST(MainWindowEnabling, TheRootFolderCountsAsAFolder) {
  auto window = MakeMainWindow();
  window->SetFolderFieldText(true, "/");
  EXPECT_TRUE(window->btnSwap->isEnabled());
  window->SetFolderFieldText(false, "/mnt/backup");
  EXPECT_TRUE(window->btnCompare->isEnabled());
  window->SetFolderFieldText(false, "/");
  EXPECT_FALSE(window->btnCompare->isEnabled());
}

TEST(MainWindowEnabling, SwapWithOneFieldEmptyMovesTheTextAcross) {
  auto window = MakeMainWindow();
  window->SetFolderFieldText(true, "/media/disc");
  window->btnSwap->click();
  EXPECT_EQ(window->FolderFieldText(true), "");
  EXPECT_EQ(window->FolderFieldText(false), "/media/disc");
  EXPECT_EQ(window->edtDst->text(), "/media/disc");
  EXPECT_TRUE(window->edtSrc->text().isEmpty());
  EXPECT_FALSE(window->btnCompare->isEnabled());
  EXPECT_TRUE(window->btnSwap->isEnabled());
}

TEST(MainWindowEnabling, FieldsKeepBytesThatAreNotValidText) {
  auto window = MakeMainWindow();
  const std::string latin1 = "/data/caf\xe9";
  window->SetFolderFieldText(true, latin1);
  window->SetFolderFieldText(false, "/data/caf\xef\xbf\xbd");
  EXPECT_EQ(window->FolderFieldText(true), latin1);
  EXPECT_TRUE(window->btnCompare->isEnabled()) << "two byte strings that show alike are still different";
}

std::string FileUri(const std::string& path) {
  return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/").toStdString();
}

// Drags a text/uri-list onto a field as a file manager does: into the
// field, across it, and a drop when the field takes the drag. True when
// the drop is taken.
bool DropOn(QWidget* field, const std::string& uriList,
            Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  QMimeData data;
  data.setData("text/uri-list", QByteArray::fromStdString(uriList));
  QDragEnterEvent enter(QPoint(5, 5), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(field, &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(QPoint(6, 5), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(field, &move);
  QDropEvent drop(QPointF(6, 5), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(field, &drop);
  EXPECT_TRUE(move.isAccepted() && drop.isAccepted());
  EXPECT_NE(drop.dropAction(), Qt::MoveAction) << "a move would let the file manager delete the folder";
  return drop.isAccepted();
}

TEST(MainWindowDrop, OnlyOneLocalFolderIsTakenAndWrittenAsTheBrowserWritesIt) {
  TempTree tree;
  tree.MakeFolder("photos");
  tree.MakeFolder("caf\xe9");
  tree.WriteFile("note.txt", "x");
  const std::string photos = tree.Path("photos");
  const std::string uri = FileUri(photos);
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {uri + "/\r\n", photos},
      {"file:///", "/"},
      {"file://localhost" + uri.substr(7), photos},
      {"# from the file manager\r\n" + FileUri(tree.Path("caf\xe9")) + "\r\n", tree.Path("caf\xe9")},
      {FileUri(tree.Path("note.txt")), std::nullopt},
      {uri + "\r\n" + FileUri(tree.Path("caf\xe9")), std::nullopt},
      {FileUri(tree.Path("gone")), std::nullopt},
      {"file://fileserver" + uri.substr(7), std::nullopt},
      {"sftp://host" + uri.substr(7), std::nullopt},
      {uri + "#part", std::nullopt},
      {uri + "%00x", std::nullopt},
      {"/tmp", std::nullopt},
  };
  auto window = MakeMainWindow();
  for (const auto& [uriList, written] : cases) {
    window->SetFolderFieldText(true, "/elsewhere");
    EXPECT_EQ(DropOn(window->edtSrc, uriList), written.has_value()) << uriList;
    EXPECT_EQ(window->FolderFieldText(true), written.value_or("/elsewhere")) << uriList;
  }
  EXPECT_FALSE(DropOn(window->edtDst, uri, Qt::MoveAction));
  EXPECT_TRUE(DropOn(window->edtDst, uri, Qt::LinkAction));
  EXPECT_EQ(window->FolderFieldText(false), photos);
}

class MainWindowReset : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.WriteFile("src/a.txt", "alpha");
    tree.WriteFile("dst/a.txt", "alphX");
    window = MakeMainWindow();
    window->SetFolderFieldText(true, tree.Path("src"));
    window->SetFolderFieldText(false, tree.Path("dst"));
    window->btnCompare->click();
    ASSERT_EQ(LabelText(window->lblStatus), "Errors");
    ASSERT_EQ(window->DetailsModel().LineCount(), 1u);
  }

  void ExpectResultsCleared() {
    EXPECT_EQ(LabelText(window->lblStatus), "");
    EXPECT_EQ(LabelText(window->lblNumSrcFiles), "-");
    EXPECT_EQ(LabelText(window->lblNumErrors), "-");
    EXPECT_EQ(TextColour(window->lblNumErrors), QColor(0, 0, 0));
    EXPECT_EQ(window->DetailsModel().LineCount(), 0u);
    EXPECT_EQ(window->lstResults->model()->rowCount(), 0);
    EXPECT_FALSE(window->mnuFileSaveAll->isEnabled());
    EXPECT_FALSE(window->mnuEdit->menuAction()->isEnabled());
  }

  TempTree tree;
  std::unique_ptr<TfrmMain> window;
};

TEST_F(MainWindowReset, ARealChangeOfAFieldClearsTheResults) {
  window->SetFolderFieldText(false, tree.Path("dst") + "/");
  ExpectResultsCleared();
  EXPECT_TRUE(window->btnCompare->isEnabled());
}

TEST_F(MainWindowReset, SettingTheSameTextAgainKeepsTheResults) {
  window->SetFolderFieldText(true, tree.Path("src"));
  EXPECT_EQ(LabelText(window->lblStatus), "Errors");
  EXPECT_EQ(window->DetailsModel().LineCount(), 1u);
  EXPECT_TRUE(window->mnuFileSaveAll->isEnabled());
}

TEST_F(MainWindowReset, ADroppedFolderResetsOnlyWhenTheTextChanges) {
  EXPECT_TRUE(DropOn(window->edtDst, FileUri(tree.Path("dst")) + "/"));
  EXPECT_EQ(LabelText(window->lblStatus), "Errors") << "the same folder";
  EXPECT_TRUE(DropOn(window->edtDst, FileUri(tree.Path("src/..")) + "/"));
  ExpectResultsCleared();
  EXPECT_EQ(window->FolderFieldText(false), tree.root());
  EXPECT_TRUE(window->btnCompare->isEnabled());
}

TEST_F(MainWindowReset, NoFolderIsTakenWhileARunIsInProgress) {
  bool tried = false;
  OnEveryPump probe([&] {
    if (window->windowTitle() != "Ovik-Verifying") return false;
    EXPECT_FALSE(DropOn(window->edtDst, FileUri(tree.root())));
    return tried = true;
  });
  window->btnCompare->click();
  EXPECT_TRUE(tried);
  EXPECT_EQ(window->FolderFieldText(false), tree.Path("dst"));
}

TEST_F(MainWindowReset, IncludeHiddenFoldersClearsTheResultsAndWaitsOutARun) {
  tree.WriteFile("src/.hid/x", "x");
  window->mnuFileIncludeHidden->trigger();
  EXPECT_TRUE(window->mnuFileIncludeHidden->isChecked());
  ExpectResultsCleared();
  EXPECT_TRUE(window->btnCompare->isEnabled());

  bool offDuringRun = false;
  OnEveryPump probe([&] {
    if (window->windowTitle() != "Ovik-Verifying") return false;
    offDuringRun = !window->mnuFileIncludeHidden->isEnabled();
    return true;
  });
  window->btnCompare->click();
  EXPECT_TRUE(offDuringRun);
  EXPECT_TRUE(window->mnuFileIncludeHidden->isEnabled());
  EXPECT_EQ(window->DetailsModel().Lines(),
            (std::vector<std::string>{"!Destn file missing: .hid/x", "!Mismatched contents at offset 4: a.txt"}));

  window->mnuFileIncludeHidden->trigger();
  ExpectResultsCleared();
  window->btnCompare->click();
  EXPECT_EQ(window->DetailsModel().Lines(),
            (std::vector<std::string>{"!Mismatched contents at offset 4: a.txt", "Hidden folder skipped: .hid/"}));
}

TEST_F(MainWindowReset, SwapClearsTheResults) {
  window->btnSwap->click();
  ExpectResultsCleared();
  EXPECT_EQ(window->FolderFieldText(true), tree.Path("dst"));
  EXPECT_EQ(window->FolderFieldText(false), tree.Path("src"));
  EXPECT_TRUE(window->btnCompare->isEnabled());
}

}  // namespace
}  // namespace ovik::testing
