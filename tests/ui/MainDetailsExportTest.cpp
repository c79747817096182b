#include "ModalAnswerer.h"
#include "support/CsvParser.h"
#include "support/FileBytes.h"
#include "support/TempTree.h"
#include "ui/main/details/MainDetailsExport.h"
#include "ui/main/details/MainSaveDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace ovik {
namespace {

using testing::ModalAnswerer;
using testing::ReadFileBytes;
using testing::TempTree;

// Makes the application object for the test program unless another part
// of it already has, and deletes it again at the end of the run, so that
// the toolkit's resources are released before the leak checker looks.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QApplication::instance() == nullptr) owned_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { owned_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "ovik_ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> owned_;
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

bool IsSaveDialog(QWidget* w) { return w->objectName() == "dlgSave" && qobject_cast<QFileDialog*>(w) != nullptr; }

bool IsErrorBox(QWidget* w) {
  auto* box = qobject_cast<QMessageBox*>(w);
  return box != nullptr && box->windowTitle() == "Error";
}

bool IsOverwriteQuestion(QWidget* w) {
  auto* box = qobject_cast<QMessageBox*>(w);
  return box != nullptr && box->text().contains("already exists");
}

ModalAnswerer::Step ChooseFile(const char* entry, const std::string& path) {
  return {IsSaveDialog, [entry, path](QWidget* w) {
            auto* dialog = static_cast<QFileDialog*>(w);
            dialog->selectNameFilter(entry);
            // Typed as a user types it: a whole path in the name field.
            auto* nameField = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(nameField, nullptr);
            nameField->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();
          }};
}

ModalAnswerer::Step PressOnBox(bool (*recognises)(QWidget*), QMessageBox::StandardButton button,
                               QString* textSeen = nullptr) {
  return {recognises, [button, textSeen](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            if (textSeen != nullptr) *textSeen = box->text();
            box->button(button)->click();
          }};
}

const std::vector<std::string> kMixedLines = {
    "!Destn file missing: gone \"quoted\", with comma.txt",
    "!Mismatched contents at offset 1,024: a/b.bin",
    "Ok: caf\xc3\xa9.txt",
    "Ok: sub/line\nbreak.txt",
};
const std::vector<std::string> kCleanLines = {"Ok: a.txt", "Ok: b.txt"};

class DetailsExportTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(QApplication::instance(), nullptr); }

  DetailsContext Context(const std::vector<std::string>& lines, std::set<std::size_t> selected = {}) const {
    return {"/media/disc/", "/home/me/copy", lines, [selected](std::size_t row) { return selected.count(row) > 0; }};
  }

  // Saves through the dialog, choosing `entry` and `path` in it; true when
  // the dialog came and was answered.
  bool SaveAs(const char* entry, const std::string& path, const std::vector<std::string>& lines, ReportFilter filter) {
    ModalAnswerer answerer;
    answerer.Then(ChooseFile(entry, path));
    SaveDetails(nullptr, Context(lines), filter);
    return answerer.AllAnswered();
  }

  TempTree tree_;
};

TEST_F(DetailsExportTest, SaveDialogIsSetUpForReports) {
  QStringList filters;
  QString suffix;
  bool native = true;
  bool confirmsOverwrite = false;
  ModalAnswerer answerer;
  answerer.Then({IsSaveDialog, [&](QWidget* w) {
                   auto* dialog = static_cast<QFileDialog*>(w);
                   filters = dialog->nameFilters();
                   suffix = dialog->defaultSuffix();
                   native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
                   confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite) &&
                                       dialog->acceptMode() == QFileDialog::AcceptSave;
                   dialog->reject();
                 }});
  SaveDetails(nullptr, Context(kMixedLines), ReportFilter::All);
  EXPECT_TRUE(answerer.AllAnswered());
  EXPECT_EQ(filters, (QStringList{"CSV files (*.csv)", "Text files (*.txt)"}));
  EXPECT_EQ(suffix, "csv");
  EXPECT_FALSE(native);
  EXPECT_TRUE(confirmsOverwrite);
}

TEST_F(DetailsExportTest, CsvEntryWritesCsvThatParsesIntoTwoCleanColumns) {
  const std::string path = tree_.Path("report.csv");
  ASSERT_TRUE(SaveAs(kCsvFilesEntry, path, kMixedLines, ReportFilter::All));

  const auto records = testing::ParseCsv(ReadFileBytes(path));
  ASSERT_TRUE(records.has_value());
  const std::vector<testing::CsvRecord> expected = {
      {"Source folder", "/media/disc/"},
      {"Destination folder", "/home/me/copy"},
      {"!Destn file missing", "gone \"quoted\", with comma.txt"},
      {"!Mismatched contents at offset 1,024", "a/b.bin"},
      {"Ok", "caf\xc3\xa9.txt"},
      {"Ok", "sub/line\nbreak.txt"},
  };
  EXPECT_EQ(*records, expected);
}

TEST_F(DetailsExportTest, TextEntryWithCsvNameWritesTheTextForm) {
  const std::string path = tree_.Path("errors.csv");
  ASSERT_TRUE(SaveAs(kTextFilesEntry, path, kMixedLines, ReportFilter::ErrorsOnly));
  EXPECT_EQ(ReadFileBytes(path),
            "Source folder: /media/disc/\r\nDestination folder: /home/me/copy\r\n"
            "!Destn file missing: gone \"quoted\", with comma.txt\r\n"
            "!Mismatched contents at offset 1,024: a/b.bin\r\n");
}

TEST_F(DetailsExportTest, DialogOffersTheLastNameAndEntryAgain) {
  const std::string path = tree_.Path("kept.csv");
  ModalAnswerer first;
  first.Then(ChooseFile(kTextFilesEntry, path));
  SaveDetails(nullptr, Context(kMixedLines), ReportFilter::NonErrorsOnly);
  ASSERT_TRUE(first.AllAnswered());

  QStringList offeredFiles;
  QString offeredEntry;
  ModalAnswerer second;
  second.Then({IsSaveDialog, [&](QWidget* w) {
                 auto* dialog = static_cast<QFileDialog*>(w);
                 offeredFiles = dialog->selectedFiles();
                 offeredEntry = dialog->selectedNameFilter();
                 static_cast<QDialog*>(dialog)->accept();
               }});
  second.Then(PressOnBox(IsOverwriteQuestion, QMessageBox::Yes));
  SaveDetails(nullptr, Context(kMixedLines), ReportFilter::SelectedOnly);
  ASSERT_TRUE(second.AllAnswered());
  EXPECT_EQ(offeredFiles, QStringList{QString::fromStdString(path)});
  EXPECT_EQ(offeredEntry, kTextFilesEntry);
  // Nothing selected: the old report is replaced by an empty file.
  EXPECT_EQ(ReadFileBytes(path), "");
}

TEST_F(DetailsExportTest, ErrorsOnlyAfterACleanRunWritesAnEmptyFile) {
  const std::string path = tree_.Path("clean.txt");
  ASSERT_TRUE(SaveAs(kTextFilesEntry, path, kCleanLines, ReportFilter::ErrorsOnly));
  EXPECT_EQ(ReadFileBytes(path), "");
}

TEST_F(DetailsExportTest, MissingFolderShowsACreatingError) {
  const std::string path = tree_.Path("no such folder/report.csv");
  QString message;
  ModalAnswerer answerer;
  answerer.Then(ChooseFile(kCsvFilesEntry, path)).Then(PressOnBox(IsErrorBox, QMessageBox::Ok, &message));
  SaveDetails(nullptr, Context(kMixedLines), ReportFilter::All);
  ASSERT_TRUE(answerer.AllAnswered());
  EXPECT_EQ(message.toStdString(), "Error 2 creating file\n" + path);
}

TEST_F(DetailsExportTest, FullDeviceShowsOneWritingErrorInACentredCriticalBox) {
  // The dialog adds ".csv" to a name without an extension, so the full
  // device is reached through a link with a name the dialog leaves alone.
  const std::string path = tree_.Path("full.csv");
  ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
  QString message;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QPoint boxCentre;
  ModalAnswerer answerer;
  answerer.Then(ChooseFile(kCsvFilesEntry, path))
      .Then(PressOnBox(IsOverwriteQuestion, QMessageBox::Yes))
      .Then({IsErrorBox, [&](QWidget* w) {
               auto* box = static_cast<QMessageBox*>(w);
               message = box->text();
               icon = box->icon();
               boxCentre = box->frameGeometry().center();
               box->button(QMessageBox::Ok)->click();
             }});
  SaveDetails(nullptr, Context(kMixedLines), ReportFilter::All);
  ASSERT_TRUE(answerer.AllAnswered());
  EXPECT_EQ(message, QString::fromStdString("Error 28 writing file\n" + path));
  EXPECT_EQ(icon, QMessageBox::Critical);
  const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((boxCentre - screenCentre).manhattanLength(), 2);
  // No second box: closing the device succeeds, and nothing is still open.
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DetailsExportTest, CopyPutsHeaderAndQualifyingLinesOnTheClipboard) {
  QGuiApplication::clipboard()->setText("something else");
  CopyDetails(Context(kMixedLines, {1, 2}), ReportFilter::SelectedOnly);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            QString::fromUtf8("Source folder: /media/disc/\r\nDestination folder: /home/me/copy\r\n"
                              "!Mismatched contents at offset 1,024: a/b.bin\r\nOk: caf\xc3\xa9.txt\r\n"));
}

TEST_F(DetailsExportTest, CopyErrorsOnlyAfterACleanRunCopiesTheHeaderAlone) {
  CopyDetails(Context(kCleanLines), ReportFilter::ErrorsOnly);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            "Source folder: /media/disc/\r\nDestination folder: /home/me/copy\r\n");
}

// A long copy asks first with the count of the lines the filter takes, and
// copies every one of them once asked.
TEST_F(DetailsExportTest, CopyOfManyLinesAsksWithTheirCountFirst) {
  std::vector<std::string> lines;
  for (int i = 0; i < 300000; ++i) lines.push_back(i % 2 == 0 ? "!Destn file missing: f" + std::to_string(i) : "Ok: g");
  const auto isCopyQuestion = [](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    return box != nullptr && box->text().contains("to the clipboard");
  };
  QString asked;
  QGuiApplication::clipboard()->setText("before");
  {
    ModalAnswerer answerer;
    answerer.Then(PressOnBox(isCopyQuestion, QMessageBox::No, &asked));
    CopyDetails(Context(lines), ReportFilter::ErrorsOnly);
    EXPECT_TRUE(answerer.AllAnswered());
  }
  EXPECT_EQ(asked, "Copy 150,000 lines to the clipboard?");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before") << "copied when told not to";

  ModalAnswerer answerer;
  answerer.Then(PressOnBox(isCopyQuestion, QMessageBox::Yes));
  CopyDetails(Context(lines), ReportFilter::ErrorsOnly);
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_EQ(copied.count("\r\n"), 2 + 150000);
  EXPECT_TRUE(copied.endsWith("!Destn file missing: f299998\r\n"));
}

}  // namespace
}  // namespace ovik
