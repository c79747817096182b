#include "reports/ReportSave.h"

namespace ovik {
namespace {

// Writes the qualifying lines; returns 0 or the errno of the failed write.
int WriteQualifyingLines(OutputFile& file, const ReportContent& content, ReportFilter filter, ReportFormat format) {
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
  return code;
}

}  // namespace

bool SaveOutput(const std::string& path, const std::function<int(OutputFile& file)>& writeBody,
                const FileFailureHandler& onFailure, FileCalls calls) {
  OutputFile file(std::move(calls));
  if (const int code = file.Create(path); code != 0) {
    onFailure({code, FileAction::Creating});
    return false;
  }
  bool succeeded = true;
  int code = writeBody(file);
  if (code == 0) code = file.Flush();
  if (code != 0) {
    onFailure({code, FileAction::Writing});
    succeeded = false;
  }
  if (const int closed = file.Close(); closed != 0) {
    onFailure({closed, FileAction::Closing});
    succeeded = false;
  }
  if (!succeeded) return false;
  if (const int replaced = file.Replace(); replaced != 0) {
    onFailure({replaced, FileAction::Replacing});
    return false;
  }
  return true;
}

bool SaveReport(const std::string& path, const ReportContent& content, ReportFilter filter,
                ReportFormat format, const FileFailureHandler& onFailure, FileCalls calls) {
  return SaveOutput(
      path, [&](OutputFile& file) { return WriteQualifyingLines(file, content, filter, format); }, onFailure,
      std::move(calls));
}

}  // namespace ovik
