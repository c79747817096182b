#include "MainTestSupport.h"

#include "support/TempTree.h"
#include "ui/main/look/MainColours.h"
#include "ui/main/details/MainDetailsModel.h"

#include <QAction>
#include <QImage>
#include <QAbstractItemView>
#include <QMenu>
#include <QPixmap>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <stdexcept>

namespace ovik::testing {
namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

// The colour painted in the middle of the filled part of the bar.
QColor PaintedBarColour(QProgressBar* bar) {
  const QImage image = bar->grab().toImage();
  return image.pixelColor(image.width() / 4, image.height() / 2);
}

std::vector<std::string> ShownLines(const TfrmMain& window) {
  std::vector<std::string> lines;
  const QAbstractItemModel* model = window.lstResults->model();
  for (int row = 0; row < model->rowCount(); ++row)
    lines.push_back(model->data(model->index(row, 0)).toString().toStdString());
  return lines;
}

class MainWindowRun : public ::testing::Test {
 protected:
  void SetUp() override { window = MakeMainWindow(); }

  void Verify(const std::string& source, const std::string& destination) {
    window->SetFolderFieldText(true, tree.Path(source));
    window->SetFolderFieldText(false, tree.Path(destination));
    window->btnCompare->click();
  }

  TempTree tree;
  std::unique_ptr<TfrmMain> window;
};

TEST_F(MainWindowRun, ARunWithErrorsShowsTotalsVerdictAndSortedDetails) {
  tree.WriteFile("src/same.bin", PatternBytes(3000));
  tree.WriteFile("dst/same.bin", PatternBytes(3000));
  tree.WriteFile("src/sub/short.bin", PatternBytes(2000));
  tree.WriteFile("dst/sub/short.bin", PatternBytes(1000));
  tree.WriteFile("src/sub/gone.txt", "x");
  tree.WriteFile("src/Zeta.txt", "zeta");
  tree.WriteFile("dst/Zeta.txt", "zeta");
  Verify("src", "dst");

  EXPECT_EQ(LabelText(window->lblStatus), "Errors");
  EXPECT_EQ(TextColour(window->lblStatus), kRed);
  EXPECT_EQ(LabelText(window->lblNumSrcFiles), "4");
  EXPECT_EQ(LabelText(window->lblNumSrcFolders), "1");
  EXPECT_EQ(LabelText(window->lblNumSrcBytes), "5,005");
  EXPECT_EQ(LabelText(window->lblNumDstFiles), "3");
  EXPECT_EQ(LabelText(window->lblNumDstFolders), "1");
  EXPECT_EQ(LabelText(window->lblNumErrors), "2");
  EXPECT_EQ(TextColour(window->lblNumErrors), kRed);
  EXPECT_EQ(LabelText(window->lblNumDstFilesMissing), "1");
  EXPECT_EQ(TextColour(window->lblNumDstFilesMissing), kRed);
  EXPECT_EQ(LabelText(window->lblNumMismatches), "1");
  EXPECT_EQ(LabelText(window->lblNumSrcReadErrs), "0");
  EXPECT_EQ(TextColour(window->lblNumSrcReadErrs), kGreen);

  EXPECT_EQ(ShownLines(*window), (std::vector<std::string>{"!Destn file missing: sub/gone.txt",
                                                           "!Mismatched sizes: sub/short.bin", "Ok: same.bin",
                                                           "Ok: Zeta.txt"}));
  EXPECT_TRUE(window->lstResults->isVisibleTo(window->grpDetails));

  EXPECT_EQ(window->pbrVerifyProgress->palette().color(QPalette::Highlight), kRed);
  const QColor painted = PaintedBarColour(window->pbrVerifyProgress);
  EXPECT_GT(painted.red(), 180);
  EXPECT_LT(painted.green(), 90);

  EXPECT_EQ(window->windowTitle(), "Ovik-Stopped");
  EXPECT_TRUE(window->mnuFileSaveAll->isEnabled());
  EXPECT_TRUE(window->mnuFileSaveSelectedOnly->isEnabled());
  EXPECT_TRUE(window->mnuEdit->menuAction()->isEnabled());
  EXPECT_TRUE(window->mnuCopySelectedOnly->isEnabled());
  EXPECT_TRUE(window->btnCompare->isEnabled());
  EXPECT_TRUE(window->btnBrowseSrc->isEnabled());
  EXPECT_FALSE(window->btnAbort->isEnabled());
  EXPECT_FALSE(window->lblProgress->isVisibleTo(window->grpResults));
  EXPECT_EQ(LabelText(window->lblCurrFileName), "");
}

TEST_F(MainWindowRun, ACleanRunEndsGreenWithAFullBar) {
  tree.WriteFile("src/a/one.bin", PatternBytes(200000, 3));
  tree.WriteFile("dst/a/one.bin", PatternBytes(200000, 3));
  Verify("src", "dst");

  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
  EXPECT_EQ(TextColour(window->lblStatus), kGreen);
  EXPECT_EQ(LabelText(window->lblNumErrors), "0");
  EXPECT_EQ(TextColour(window->lblNumErrors), kGreen);
  EXPECT_EQ(LabelText(window->lblNumDstBytes), "200,000");
  EXPECT_EQ(window->pbrVerifyProgress->value(), 100);
  const QColor painted = PaintedBarColour(window->pbrVerifyProgress);
  EXPECT_LT(painted.red(), 90);
  EXPECT_GT(painted.green(), 90);
  EXPECT_LT(painted.blue(), 90);
}

TEST_F(MainWindowRun, ASourceWithoutFilesEndsWithNoSourceFiles) {
  tree.MakeFolder("src/empty/deeper");
  tree.MakeFolder("dst/empty/deeper");
  Verify("src", "dst");

  EXPECT_EQ(LabelText(window->lblStatus), "No source files");
  EXPECT_EQ(TextColour(window->lblStatus), kRed);
  EXPECT_EQ(LabelText(window->lblNumSrcFolders), "2");
  EXPECT_EQ(LabelText(window->lblNumDstFiles), "-");
  EXPECT_FALSE(window->mnuFileSaveAll->isEnabled()) << "nothing to save";
  EXPECT_FALSE(window->mnuEdit->menuAction()->isEnabled());
  EXPECT_EQ(window->windowTitle(), "Ovik-Stopped");
}

TEST_F(MainWindowRun, TheCommandsAreLockedWhileTheRunIsUnderWay) {
  for (int i = 0; i < 20; ++i) {
    tree.WriteFile("src/f" + std::to_string(i), PatternBytes(1000));
    tree.WriteFile("dst/f" + std::to_string(i), PatternBytes(1000));
  }
  bool checked = false;
  OnEveryPump probe([&] {
    if (window->windowTitle() != "Ovik-Verifying") return false;
    checked = true;
    EXPECT_FALSE(window->btnCompare->isEnabled());
    EXPECT_FALSE(window->btnSwap->isEnabled());
    EXPECT_FALSE(window->btnBrowseSrc->isEnabled());
    EXPECT_FALSE(window->btnBrowseDst->isEnabled());
    EXPECT_TRUE(window->btnAbort->isEnabled());
    EXPECT_TRUE(window->btnDetails->isEnabled());
    EXPECT_TRUE(window->mnuFileExit->isEnabled());
    EXPECT_FALSE(window->mnuFileSaveAll->isEnabled());
    return true;
  });
  Verify("src", "dst");
  EXPECT_TRUE(checked);
  EXPECT_EQ(LabelText(window->lblStatus), "Verified OK");
}

TEST_F(MainWindowRun, ARunCanBeRepeatedAndReplacesTheResults) {
  tree.WriteFile("src/a", "1");
  tree.WriteFile("dst/a", "1");
  Verify("src", "dst");
  tree.WriteFile("src/b", "2");
  window->btnCompare->click();
  EXPECT_EQ(LabelText(window->lblNumSrcFiles), "2");
  EXPECT_EQ(window->DetailsModel().LineCount(), 2u);
  EXPECT_EQ(LabelText(window->lblStatus), "Errors");
}

TEST_F(MainWindowRun, APaletteChangeRepaintsWithTheColoursOfTheNewPalette) {
  tree.WriteFile("src/a", "alpha");
  tree.WriteFile("dst/a", "alphX");
  Verify("src", "dst");
  {
    ScopedApplicationPalette dark(DarkPalette());
    const QColor background = window->palette().color(QPalette::Window);
    for (const QLabel* label : {window->lblStatus, window->lblNumErrors, window->lblNumSrcReadErrs})
      EXPECT_GE(ContrastRatio(TextColour(label), background), kTextContrast) << LabelText(label);
    EXPECT_GE(ContrastRatio(PaintedBarColour(window->pbrVerifyProgress), window->palette().color(QPalette::Base)),
              kBarContrast);
  }
  EXPECT_EQ(TextColour(window->lblStatus), kRed);
  EXPECT_EQ(TextColour(window->lblNumSrcReadErrs), kGreen);
  EXPECT_EQ(window->pbrVerifyProgress->palette().color(QPalette::Highlight), kRed);
}

// The machine's file system, except that opening a file throws.
class ThrowingFileSystem : public FileSystem {
 public:
  bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries, int& error) override {
    return SystemFileSystem().ListEntries(folder, sizes, entries, error);
  }
  EntryLookup LookUp(const std::string& path) override { return SystemFileSystem().LookUp(path); }
  OpenResult OpenForRead(const std::string&, ReadRole) override { throw std::runtime_error("medium went away"); }
};

TEST(MainWindowFailure, ARunThatThrowsRestoresTheCommandsAndShowsTheMessage) {
  TempTree tree;
  tree.WriteFile("src/a", "1");
  tree.WriteFile("dst/a", "1");
  EnsureMainTestApplication();
  ThrowingFileSystem fileSystem;
  TfrmMain window(nullptr, fileSystem);
  window.show();
  window.SetFolderFieldText(true, tree.Path("src"));
  window.SetFolderFieldText(false, tree.Path("dst"));
  BoxAnswerer answerer(QMessageBox::Ok);
  window.btnCompare->click();

  EXPECT_EQ(answerer.seen().title, "Error");
  EXPECT_EQ(answerer.seen().text, "medium went away");
  EXPECT_EQ(window.windowTitle(), "Ovik-Stopped");
  EXPECT_FALSE(window.btnAbort->isEnabled());
  EXPECT_TRUE(window.btnCompare->isEnabled());
  EXPECT_TRUE(window.btnBrowseDst->isEnabled());
  EXPECT_FALSE(window.mnuFileSaveAll->isEnabled());
}

}  // namespace
}  // namespace ovik::testing
