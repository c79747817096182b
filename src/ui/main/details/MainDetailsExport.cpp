#include "ui/main/details/MainDetailsExport.h"

#include "common/NumberFormat.h"
#include "reports/ReportSave.h"
#include "ui/main/MainFileError.h"
#include "ui/main/MainMessageBoxes.h"
#include "ui/main/details/MainSaveDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProgressDialog>

#include <algorithm>

namespace ovik {
namespace {

// Lines walked between two looks at the progress box.
constexpr std::size_t kLinesPerProgressStep = 4096;

ReportContent ContentOf(const DetailsContext& details) {
  return {details.sourceText, details.destText, details.lines, details.isSelected};
}

// Calls `visit` with each qualifying line. A long walk shows its progress
// in a box that keeps the window answering and can stop it: false then.
bool WalkShowingProgress(const char* label, const ReportContent& content, ReportFilter filter,
                         const std::function<bool(const std::string&)>& visit) {
  const std::size_t lines = content.lines.Count();
  QProgressDialog progress(label, "Cancel", 0, static_cast<int>(lines), QApplication::activeWindow());
  progress.setObjectName("dlgCopyProgress");
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(500);
  progress.setAutoReset(false);
  std::size_t visited = 0;
  ForEachQualifyingLine(content, filter, [&](const std::string& line) {
    if (!visit(line)) return false;
    if (++visited % kLinesPerProgressStep != 0) return true;
    progress.setValue(static_cast<int>(std::min(visited, lines)));
    return !progress.wasCanceled();
  });
  return !progress.wasCanceled();
}

}  // namespace

void SaveDetails(QWidget* parent, const DetailsContext& details, ReportFilter filter) {
  const std::optional<ReportFileChoice> choice = AskReportFile(parent, details.hasNotes);
  if (!choice) return;
  const ReportContent content = ContentOf(details);
  // Shown only when the save takes a while.
  QProgressDialog progress("Saving details...", "Cancel", 0, static_cast<int>(details.lines.Count()), parent);
  progress.setObjectName("dlgSaveProgress");
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(500);
  progress.setAutoReset(false);
  SaveReport(
      choice->path, content, filter, choice->format,
      [&](const FileFailure& failure) { ShowFileError(parent, choice->path, failure.code, failure.action); },
      PosixFileCalls(), [&progress](std::size_t written) {
        progress.setValue(static_cast<int>(std::min<std::size_t>(written, static_cast<std::size_t>(progress.maximum()))));
        return !progress.wasCanceled();
      });
}

void CopyDetails(const DetailsContext& details, ReportFilter filter) {
  const ReportContent content = ContentOf(details);
  if (details.lines.Count() > kCopyAskAbove) {
    std::size_t count = filter == ReportFilter::All ? details.lines.Count() : 0;
    if (filter != ReportFilter::All &&
        !WalkShowingProgress("Counting lines...", content, filter, [&count](const std::string&) { return ++count, true; }))
      return;
    if (count > kCopyAskAbove &&
        !AskConfirm(QString("Copy %1 lines to the clipboard?").arg(QString::fromStdString(FormatThousands(
            static_cast<std::int64_t>(count))))))
      return;
  }
  QString text = QFile::decodeName(QByteArray::fromStdString(ReportHeader(ReportFormat::Text, content.sourceText, content.destText)));
  const bool copied = WalkShowingProgress("Copying details...", content, filter, [&text](const std::string& line) {
    text += QFile::decodeName(QByteArray::fromStdString(DetailsTextLine(line)));
    return true;
  });
  if (copied) QGuiApplication::clipboard()->setText(text);
}

}  // namespace ovik
