#include "MainTestSupport.h"
#include "ModalAnswerer.h"

#include "common/PathUtils.h"
#include "support/FileBytes.h"
#include "support/TempTree.h"
#include "ui/browse/BrowseDialog.h"
#include "ui/main/details/MainDetailsModel.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace ovik::testing {
namespace {

const std::string kAlphaSha256 = "8ed3f6ad685b959ead7022518e1af76cd816f8e8ec7ccdda1ed4018e8f2223f8";
const std::string kBetaSha256 = "f44e64e75f3948e9f73f8dfa94721c4ce8cbb4f265c4790c702b2d41cfbf2753";

std::function<bool(QWidget*)> Named(const char* name) {
  return [name](QWidget* w) { return w->objectName() == name; };
}

// Types the path into a file dialog's name field and accepts it; the
// dialog's first offer goes to `offered`.
ModalAnswerer::Step ChooseInFileDialog(const char* name, const std::string& path, QString* offered = nullptr) {
  return {Named(name), [path, offered](QWidget* w) {
            auto* dialog = static_cast<QFileDialog*>(w);
            if (offered != nullptr) *offered = dialog->selectedFiles().value(0);
            auto* nameField = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(nameField, nullptr);
            nameField->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();
          }};
}

TEST(MainWindowChecksums, RecordSaveThenVerifyTheCopyWithTheList) {
  TempTree tree;
  for (const char* side : {"src", "dst"}) {
    tree.WriteFile(std::string(side) + "/a.txt", "alpha");
    tree.WriteFile(std::string(side) + "/sub/b", "beta");
  }
  const std::string dst = tree.Path("dst");
  auto window = MakeMainWindow();
  EXPECT_TRUE(window->mnuFileRecordChecksums->isCheckable());
  EXPECT_FALSE(window->mnuFileRecordChecksums->isChecked());
  EXPECT_FALSE(window->mnuFileSaveChecksums->isEnabled());
  window->SetFolderFieldText(true, tree.Path("src"));
  window->SetFolderFieldText(false, dst);
  window->mnuFileRecordChecksums->trigger();

  bool lockedDuringRun = false;
  OnEveryPump probe([&] {
    if (window->windowTitle() != "Ovik-Verifying") return false;
    lockedDuringRun = !window->mnuFileRecordChecksums->isEnabled() && !window->mnuFileVerifyWithList->isEnabled() &&
                      !window->mnuFileSaveChecksums->isEnabled();
    return true;
  });
  window->btnCompare->click();
  EXPECT_TRUE(lockedDuringRun);
  ASSERT_TRUE(window->mnuFileSaveChecksums->isEnabled());

  const std::string list = tree.Path("SHA256SUMS");
  QString offered;
  ModalAnswerer save;
  save.Then(ChooseInFileDialog("dlgSaveSums", list, &offered));
  window->mnuFileSaveChecksums->trigger();
  ASSERT_TRUE(save.AllAnswered());
  EXPECT_EQ(offered.toStdString(), dst + "/SHA256SUMS");
  EXPECT_EQ(ReadFileBytes(list), kAlphaSha256 + "  a.txt\n" + kBetaSha256 + "  sub/b\n");

  // Years later: the source is gone and a byte of the copy changed.
  tree.WriteFile("src/sub/b", "");
  tree.WriteFile("dst/sub/b", "bets");
  std::string browserStart;
  ModalAnswerer check;
  check.Then(ChooseInFileDialog("dlgOpenSums", list)).Then({Named("frmBrowse"), [&](QWidget* w) {
                                                               auto* browser = static_cast<TfrmBrowse*>(w);
                                                               browserStart = browser->SelFolder;
                                                               browser->SelFolder = dst;
                                                               browser->accept();
                                                             }});
  window->mnuFileVerifyWithList->trigger();
  ASSERT_TRUE(check.AllAnswered());
  EXPECT_EQ(StripTrailingBackslash(browserStart), tree.root()) << "the browser starts at the list's folder";
  EXPECT_EQ(window->FolderFieldText(true), list);
  EXPECT_EQ(window->FolderFieldText(false), dst);
  EXPECT_EQ(LabelText(window->lblStatus), "Errors");
  EXPECT_EQ(window->DetailsModel().Lines(), (std::vector<std::string>{"!Mismatched checksum: sub/b", "Ok: a.txt"}));
  EXPECT_EQ(LabelText(window->lblNumSrcFiles), "2");
  EXPECT_FALSE(window->btnSwap->isEnabled()) << "a list and a folder are never swapped";
  EXPECT_FALSE(window->mnuFileSaveChecksums->isEnabled()) << "a check records nothing";

  // Verify checks against the list again, until a folder is the source.
  tree.WriteFile("dst/sub/b", "beta");
  window->btnCompare->click();
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
  window->SetFolderFieldText(true, tree.Path("src"));
  EXPECT_TRUE(window->btnSwap->isEnabled());
  window->btnCompare->click();
  EXPECT_EQ(window->DetailsModel().Lines().front(), "!Mismatched sizes: sub/b");
}

}  // namespace
}  // namespace ovik::testing
