#include "ui/main/MainDetailsExport.h"

#include "reports/ReportSave.h"
#include "ui/main/MainFileError.h"
#include "ui/main/MainSaveDialog.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

namespace ovik {
namespace {

ReportContent ContentOf(const DetailsContext& details) {
  return {details.sourceText, details.destText, details.lines, details.isSelected};
}

}  // namespace

void SaveDetails(QWidget* parent, const DetailsContext& details, ReportFilter filter) {
  const std::optional<ReportFileChoice> choice = AskReportFile(parent);
  if (!choice) return;
  SaveReport(choice->path, ContentOf(details), filter, choice->format, [&](const FileFailure& failure) {
    ShowFileError(parent, choice->path, failure.code, failure.action);
  });
}

void CopyDetails(const DetailsContext& details, ReportFilter filter) {
  const std::string text = DetailsText(ContentOf(details), filter);
  QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(text)));
}

}  // namespace ovik
