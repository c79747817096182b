#include "ui/main/details/MainDetailsExport.h"

#include "common/NumberFormat.h"
#include "reports/ReportSave.h"
#include "ui/main/MainFileError.h"
#include "ui/main/MainMessageBoxes.h"
#include "ui/main/details/MainSaveDialog.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProgressDialog>

namespace ovik {
namespace {

ReportContent ContentOf(const DetailsContext& details) {
  return {details.sourceText, details.destText, details.lines, details.isSelected};
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
    const std::size_t count = QualifyingCount(content, filter);
    if (count > kCopyAskAbove &&
        !AskConfirm(QString("Copy %1 lines to the clipboard?").arg(QString::fromStdString(FormatThousands(
            static_cast<std::int64_t>(count))))))
      return;
  }
  const std::string text = DetailsText(content, filter);
  QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(text)));
}

}  // namespace ovik
