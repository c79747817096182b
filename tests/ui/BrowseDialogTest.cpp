#include "ui/browse/BrowseContentsList.h"
#include "ui/browse/BrowseDialog.h"
#include "ui/browse/BrowseDriveList.h"
#include "ui/browse/BrowseFolderList.h"
#include "ui/main/MainBrowseFolder.h"

#include "BrowseTestSupport.h"
#include "support/FakeDriveSystem.h"
#include "support/TempTree.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <set>

namespace ovik {
namespace {

using browse_test::AnswerModal;
using testing::FakeDriveSystem;
using testing::TempTree;

std::string Bytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

// A main window reduced to its two folder fields.
class FakeHost final : public BrowseFolderHost {
 public:
  std::string fields[2];
  int replacements = 0;
  int idleResets = 0;

  std::string FolderFieldText(bool isSource) const override { return fields[isSource ? 0 : 1]; }
  void SetFolderFieldText(bool isSource, const std::string& text) override {
    fields[isSource ? 0 : 1] = text;
    ++replacements;
  }
  void ResetRunStateToIdle() override { ++idleResets; }
};

class BrowseDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { browse_test::EnsureApplication(); }

  void SetUp() override {
    tree.WriteFile("src/a.txt", "a");
    tree.WriteFile("src/run.sh", "#!/bin/sh\n");
    chmod(tree.Path("src/run.sh").c_str(), 0755);
    tree.WriteFile("src/setup.EXE", "");
    tree.WriteFile("src/.dotfile", "");
    tree.MakeFolder("src/sub");
    tree.MakeFolder("src/Beta");
    tree.MakeFolder("src/.hidden");
    mkfifo(tree.Path("src/pipe").c_str(), 0600);
    tree.WriteFile("home/Documents/letter.txt", "x");
    tree.MakeFolder("disk2/inner");
    tree.MakeFolder("blank");
    system.environment["HOME"] = tree.Path("home");
    system.Mount("/", "ext4", "/dev/sda1");
    system.Mount(tree.Path("blank"), "iso9660", "/dev/sr0");
    system.Mount(tree.Path("disk2"), "ext4", "/dev/sdb1");
    system.deadMounts.insert(tree.Path("blank"));
    dialog = std::make_unique<TfrmBrowse>(nullptr, system);
    dialog->DriveAnswerTimeout = std::chrono::milliseconds(500);
  }

  void TearDown() override { dialog->hide(); }

  void ShowOn(const std::string& folder, bool isSource) {
    dialog->hide();
    dialog->IsSrc = isSource;
    dialog->SelFolder = folder;
    dialog->show();
    QApplication::processEvents();
    dialog->FormActivate();
  }

  template <typename Widget>
  Widget* Child(const char* name) {
    auto* child = dialog->findChild<Widget*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  std::vector<std::string> Texts(QListWidget* list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i) texts.push_back(Bytes(list->item(i)->text()));
    return texts;
  }

  void SelectEntry(const QString& text) {
    auto* files = Child<ContentsListBox>("filFiles");
    const auto found = files->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    files->setCurrentItem(found.front());
  }

  // Picks a drive list item as the user would.
  void PickDrive(int index) {
    auto* drives = Child<DriveListBox>("drvDrives");
    drives->setCurrentIndex(index);
    emit drives->activated(index);
  }

  TempTree tree;
  FakeDriveSystem system;
  std::unique_ptr<TfrmBrowse> dialog;
};

TEST_F(BrowseDialogTest, CaptionsNameTheSide) {
  ShowOn(tree.Path("src") + "/", true);
  EXPECT_EQ(dialog->windowTitle(), "Browse Source folder");
  EXPECT_EQ(Child<QPushButton>("btnSelect")->text(), "Source &Ok");
  EXPECT_EQ(Child<QLabel>("lblFolder")->text(), "Current Source:");
  EXPECT_EQ(Child<QLabel>("lblContents")->text(), "Source contents");
  ShowOn(tree.Path("src") + "/", false);
  EXPECT_EQ(dialog->windowTitle(), "Browse Destn folder");
  EXPECT_EQ(Child<QPushButton>("btnSelect")->text(), "Destn &Ok");
  EXPECT_EQ(Child<QLabel>("lblFolder")->text(), "Current Destn:");
  EXPECT_EQ(Child<QLabel>("lblContents")->text(), "Destn contents");
}

TEST_F(BrowseDialogTest, ListsShowTheChainSubFoldersAndContents) {
  ShowOn(tree.Path("src") + "/", true);
  const std::vector<std::string> rows = Texts(Child<FolderListBox>("fldFolders"));
  ASSERT_GE(rows.size(), 4u);
  EXPECT_EQ(rows.front(), "/");
  EXPECT_EQ((std::vector<std::string>(rows.end() - 3, rows.end())), (std::vector<std::string>{"src", "Beta", "sub"}));
  EXPECT_EQ(Texts(Child<ContentsListBox>("filFiles")),
            (std::vector<std::string>{"[.]", "[..]", "[.hidden]", "[Beta]", "[sub]", ".dotfile", "a.txt", "run.sh",
                                      "setup.EXE"}));
  EXPECT_EQ(dialog->SelFolder, tree.Path("src"));
  EXPECT_EQ(Bytes(Child<QLabel>("lblSelFolder")->text()), tree.Path("src"));
  EXPECT_EQ(Child<FolderListBox>("fldFolders")->currentRow(), static_cast<int>(rows.size()) - 3);
  // Folder, file and program glyphs alike: the rows never change height.
  std::set<int> heights;
  for (QListWidget* list : {static_cast<QListWidget*>(Child<FolderListBox>("fldFolders")),
                            static_cast<QListWidget*>(Child<ContentsListBox>("filFiles"))})
    for (int row = 0; row < list->count(); ++row) heights.insert(list->sizeHintForRow(row));
  EXPECT_EQ(heights.size(), 1u);
}

TEST_F(BrowseDialogTest, AFolderThatCannotBeOpenedLeavesTheListsWhereTheyAre) {
  ShowOn(tree.Path("src") + "/", true);
  Child<FolderListBox>("fldFolders")->SetFolder(tree.Path("missing"));
  EXPECT_EQ(Child<FolderListBox>("fldFolders")->Folder(), tree.Path("src"));
  EXPECT_EQ(dialog->SelFolder, tree.Path("src"));
}

TEST_F(BrowseDialogTest, ResizeSharesTheWidthBetweenTheLists) {
  ShowOn(tree.Path("src") + "/", true);
  dialog->resize(672, 346);
  QApplication::processEvents();
  dialog->FormResize();
  ASSERT_EQ(dialog->width(), 672);
  for (const char* name : {"drvDrives", "fldFolders"}) {
    EXPECT_EQ(Child<QWidget>(name)->x(), 8) << name;
    EXPECT_EQ(Child<QWidget>(name)->width(), 325) << name;
  }
  EXPECT_EQ(Child<QWidget>("lblContents")->x(), 341);
  EXPECT_EQ(Child<QWidget>("filFiles")->x(), 341);
  EXPECT_EQ(Child<QWidget>("filFiles")->width(), 325);
  const QWidget* cancel = Child<QWidget>("btnCancel");
  EXPECT_LE(cancel->geometry().bottom(), dialog->height());
  EXPECT_EQ(Child<QWidget>("lblSelFolder")->x(), Child<QWidget>("lblFolder")->geometry().right() + 1 + 4);
}

TEST_F(BrowseDialogTest, TheWindowKeepsItsMinimumOuterSize) {
  ShowOn(tree.Path("src") + "/", true);
  dialog->resize(100, 80);
  QApplication::processEvents();
  dialog->FormResize();
  EXPECT_GE(dialog->frameGeometry().width(), 350);
  EXPECT_GE(dialog->frameGeometry().height(), 250);
  EXPECT_GE(Child<QWidget>("filFiles")->height(), 0);
}

TEST_F(BrowseDialogTest, DoubleClickOpensOnlyFolderEntries) {
  ShowOn(tree.Path("src") + "/", true);
  int changes = 0;
  QObject::connect(Child<FolderListBox>("fldFolders"), &FolderListBox::changed, [&] { ++changes; });

  SelectEntry("[.]");
  dialog->filFilesDblClick();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(dialog->SelFolder, tree.Path("src"));

  SelectEntry("a.txt");
  dialog->filFilesDblClick();
  EXPECT_EQ(changes, 1);

  Child<ContentsListBox>("filFiles")->clearSelection();
  dialog->filFilesDblClick();
  EXPECT_EQ(changes, 1);

  SelectEntry("[sub]");
  dialog->filFilesDblClick();
  EXPECT_EQ(dialog->SelFolder, tree.Path("src/sub"));

  SelectEntry("[..]");
  dialog->filFilesDblClick();
  EXPECT_EQ(dialog->SelFolder, tree.Path("src"));
  SelectEntry("[..]");
  dialog->filFilesDblClick();
  EXPECT_EQ(dialog->SelFolder, tree.root());
  EXPECT_EQ(Bytes(Child<QLabel>("lblSelFolder")->text()), tree.root());
}

TEST_F(BrowseDialogTest, AFileNamedLikeAFolderIsNotOpened) {
  tree.WriteFile("src/[sub]", "not a folder");
  ShowOn(tree.Path("src") + "/", true);
  const auto entries = Child<ContentsListBox>("filFiles")->findItems("[sub]", Qt::MatchExactly);
  ASSERT_EQ(entries.size(), 2);
  for (QListWidgetItem* entry : entries) {
    Child<ContentsListBox>("filFiles")->setCurrentItem(entry);
    dialog->filFilesDblClick();
    if (Child<ContentsListBox>("filFiles")->Folder() == tree.Path("src")) continue;
    EXPECT_EQ(dialog->SelFolder, tree.Path("src/sub"));
    return;
  }
  FAIL() << "neither entry opened the folder";
}

TEST_F(BrowseDialogTest, AnInaccessibleDriveWarnsAndRestoresTheRecordedItem) {
  ShowOn(tree.Path("src") + "/", true);
  auto* drives = Child<DriveListBox>("drvDrives");
  ASSERT_EQ(drives->count(), 3);
  ASSERT_EQ(drives->currentIndex(), 0);
  QString warning, title;
  AnswerModal(
      [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        warning = box->text();
        title = box->windowTitle();
        box->accept();
      },
      dialog.get());
  PickDrive(1);
  EXPECT_EQ(title, "Warning");
  EXPECT_EQ(Bytes(warning), "Unable to access media on drive " + tree.Path("blank"));
  EXPECT_EQ(drives->currentIndex(), 0);
  EXPECT_EQ(Child<FolderListBox>("fldFolders")->Folder(), tree.Path("src"));
}

TEST_F(BrowseDialogTest, EachSideRecordsItsOwnDriveIndex) {
  ShowOn(tree.Path("src") + "/", true);
  EXPECT_EQ(dialog->LastSrcDriveIndex, 0);
  PickDrive(2);
  EXPECT_EQ(Child<FolderListBox>("fldFolders")->Folder(), tree.Path("disk2"));
  EXPECT_EQ(dialog->LastSrcDriveIndex, 2);
  EXPECT_EQ(dialog->LastDstDriveIndex, 0);

  // The destination side opens on the drive already shown: nothing recorded.
  ShowOn(tree.Path("disk2/inner") + "/", false);
  EXPECT_EQ(dialog->LastDstDriveIndex, 0);
  EXPECT_EQ(dialog->LastSrcDriveIndex, 2);

  // A refused pick returns to the destination's recorded item, which the
  // drive list then opens: the last folder shown on that drive.
  AnswerModal([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); }, dialog.get());
  PickDrive(1);
  EXPECT_EQ(Child<DriveListBox>("drvDrives")->currentIndex(), 0);
  EXPECT_EQ(Child<FolderListBox>("fldFolders")->Folder(), tree.Path("src"));
  EXPECT_EQ(dialog->LastDstDriveIndex, 0);
  EXPECT_EQ(dialog->LastSrcDriveIndex, 2);
}

TEST_F(BrowseDialogTest, TheDriveListFillsOnlyOnce) {
  ShowOn(tree.Path("src") + "/", true);
  system.Mount(tree.Path("home"), "vfat", "/dev/sdz1");
  ShowOn(tree.Path("src") + "/", true);
  EXPECT_EQ(Child<DriveListBox>("drvDrives")->count(), 3);
}

TEST_F(BrowseDialogTest, ADoubleClickInTheFolderListOpensTheRow) {
  ShowOn(tree.Path("src") + "/", true);
  auto* folders = Child<FolderListBox>("fldFolders");
  const auto sub = folders->findItems("sub", Qt::MatchExactly);
  ASSERT_EQ(sub.size(), 1);
  emit folders->itemDoubleClicked(sub.front());
  EXPECT_EQ(folders->Folder(), tree.Path("src/sub"));
  EXPECT_EQ(Child<ContentsListBox>("filFiles")->Folder(), tree.Path("src/sub"));
  emit folders->itemDoubleClicked(folders->item(0));
  EXPECT_EQ(folders->Folder(), "/");
  EXPECT_EQ(dialog->SelFolder, "/");
  // A single move of the highlight opens nothing.
  folders->setCurrentRow(1);
  EXPECT_EQ(folders->Folder(), "/");
}

TEST_F(BrowseDialogTest, TabVisitsFoldersDrivesOkAndCancel) {
  ShowOn(tree.Path("src") + "/", true);
  ASSERT_EQ(QApplication::focusWidget(), Child<QWidget>("fldFolders"));
  std::vector<std::string> visited;
  for (int i = 0; i < 4; ++i) {
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &tab);
    visited.push_back(QApplication::focusWidget()->objectName().toStdString());
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"drvDrives", "btnSelect", "btnCancel", "fldFolders"}));
}

class BrowseFolderTest : public BrowseDialogTest {
 protected:
  // Runs BrowseFolder; while the dialog is up, `act` works it.
  void Browse(bool isSource, std::function<void(TfrmBrowse&)> act) {
    AnswerModal([this, act = std::move(act)](QWidget*) { act(*dialog); });
    BrowseFolder(isSource, host, *dialog);
  }
  void OpenAndChoose(TfrmBrowse& d, const std::string& folder) {
    d.findChild<FolderListBox*>("fldFolders")->SetFolder(folder);
    d.findChild<QPushButton*>("btnSelect")->click();
  }
  FakeHost host;
};

TEST_F(BrowseFolderTest, OkWritesTheChosenFolderBackAndResetsTheTitle) {
  host.fields[0] = tree.Path("src");
  Browse(true, [&](TfrmBrowse& d) { OpenAndChoose(d, tree.Path("src/sub")); });
  EXPECT_EQ(host.fields[0], tree.Path("src/sub"));
  EXPECT_EQ(host.fields[1], "");
  EXPECT_EQ(host.replacements, 1);
  EXPECT_EQ(host.idleResets, 1);
}

TEST_F(BrowseFolderTest, CancelAfterNavigatingChangesNothing) {
  host.fields[1] = tree.Path("src");
  Browse(false, [&](TfrmBrowse& d) {
    d.findChild<FolderListBox*>("fldFolders")->SetFolder(tree.Path("disk2"));
    d.findChild<QPushButton*>("btnCancel")->click();
  });
  EXPECT_EQ(host.fields[1], tree.Path("src"));
  EXPECT_EQ(host.replacements, 0);
  EXPECT_EQ(host.idleResets, 1);
}

TEST_F(BrowseFolderTest, TheSameTextIsNotWrittenAgain) {
  host.fields[0] = tree.Path("src");
  Browse(true, [&](TfrmBrowse& d) { d.findChild<QPushButton*>("btnSelect")->click(); });
  EXPECT_EQ(host.replacements, 0);
}

TEST_F(BrowseFolderTest, ATextDifferingOnlyInCaseIsWritten) {
  host.fields[0] = tree.Path("SRC");
  Browse(true, [&](TfrmBrowse& d) { OpenAndChoose(d, tree.Path("src")); });
  EXPECT_EQ(host.fields[0], tree.Path("src"));
  EXPECT_EQ(host.replacements, 1);
}

TEST_F(BrowseFolderTest, TheWrittenFolderHasNoTrailingSeparatorExceptTheRoot) {
  Browse(true, [&](TfrmBrowse& d) {
    EXPECT_EQ(d.SelFolder, tree.Path("home/Documents"));
    d.findChild<QPushButton*>("btnSelect")->click();
  });
  EXPECT_EQ(host.fields[0], tree.Path("home/Documents"));
  Browse(true, [&](TfrmBrowse& d) { OpenAndChoose(d, "/"); });
  EXPECT_EQ(host.fields[0], "/");
}


TEST_F(BrowseFolderTest, EnterChoosesTheOpenedFolderAndEscapeCancels) {
  auto press = [](TfrmBrowse& d, Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(d.findChild<QWidget*>("fldFolders"), &event);
  };
  Browse(false, [&](TfrmBrowse& d) {
    d.findChild<FolderListBox*>("fldFolders")->SetFolder(tree.Path("src/Beta"));
    d.findChild<FolderListBox*>("fldFolders")->setCurrentRow(0);
    press(d, Qt::Key_Return);
  });
  EXPECT_EQ(host.fields[1], tree.Path("src/Beta"));
  Browse(false, [&](TfrmBrowse& d) {
    d.findChild<FolderListBox*>("fldFolders")->SetFolder(tree.Path("src"));
    press(d, Qt::Key_Escape);
  });
  EXPECT_EQ(host.fields[1], tree.Path("src/Beta"));
}

}  // namespace
}  // namespace ovik
