#include "ui/main/details/MainSaveDialog.h"

#include <QFile>
#include <QFileDialog>

namespace ovik {
namespace {

// What the dialog offers again next time; it lives as long as the process.
struct LastSaveChoice {
  QString fileName;
  QString filterEntry;
};

LastSaveChoice& LastChoice() {
  static LastSaveChoice last;
  return last;
}

void PrepareSaveDialog(QFileDialog& dialog, const LastSaveChoice& last, bool offerNotes) {
  dialog.setObjectName("dlgSave");
  // Qt's own dialog, so that the chosen filter entry is known exactly.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix("csv");
  QStringList entries{kCsvFilesEntry, kTextFilesEntry};
  if (offerNotes) entries << kTextWithNotesEntry;
  dialog.setNameFilters(entries);
  // The filter entry first: choosing an entry can change the extension
  // of the name in the dialog.
  if (entries.contains(last.filterEntry)) dialog.selectNameFilter(last.filterEntry);
  if (!last.fileName.isEmpty()) dialog.selectFile(last.fileName);
}

}  // namespace

std::optional<ReportFileChoice> AskReportFile(QWidget* parent, bool offerNotes) {
  QFileDialog dialog(parent);
  PrepareSaveDialog(dialog, LastChoice(), offerNotes);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;

  LastChoice() = {files.first(), dialog.selectedNameFilter()};
  const QString entry = dialog.selectedNameFilter();
  const ReportFormat format = entry == kCsvFilesEntry        ? ReportFormat::Csv
                              : entry == kTextWithNotesEntry ? ReportFormat::TextWithNotes
                                                             : ReportFormat::Text;
  return ReportFileChoice{QFile::encodeName(files.first()).toStdString(), format};
}

}  // namespace ovik
