#include "reports/ReportSave.h"

namespace ovik {
namespace {

// Writes the qualifying lines; returns 0 or the errno of the failed write.
int WriteQualifyingLines(ReportFile& file, const ReportContent& content, ReportFilter filter, ReportFormat format) {
  int code = 0;
  bool headerWritten = false;
  ForEachQualifyingLine(content, filter, [&](const std::string& line) {
    if (!headerWritten) {
      code = file.Write(ReportHeader(format, content.sourceText, content.destText));
      headerWritten = true;
    }
    if (code == 0) code = file.Write(ReportLine(format, line));
    if (code == 0) code = file.Write(kReportLineEnd);
    return code == 0;
  });
  return code != 0 ? code : file.Flush();
}

}  // namespace

bool SaveReport(const std::string& path, const ReportContent& content, ReportFilter filter,
                ReportFormat format, const FileFailureHandler& onFailure, FileCalls calls) {
  ReportFile file(std::move(calls));
  if (const int code = file.Create(path); code != 0) {
    onFailure({code, FileAction::Creating});
    return false;
  }
  bool succeeded = true;
  if (const int code = WriteQualifyingLines(file, content, filter, format); code != 0) {
    onFailure({code, FileAction::Writing});
    succeeded = false;
  }
  if (const int code = file.Close(); code != 0) {
    onFailure({code, FileAction::Closing});
    succeeded = false;
  }
  return succeeded;
}

}  // namespace ovik
