#include "reports/ReportSave.h"

#include <cerrno>

namespace ovik {
namespace {

// Writes the qualifying lines; returns 0 or the errno of the failed write.
// ECANCELED when `progress` said to stop.
int WriteQualifyingLines(OutputFile& file, const ReportContent& content, ReportFilter filter, ReportFormat format,
                         const SaveProgress& progress) {
  int code = 0;
  std::size_t written = 0;
  ForEachQualifyingDetail(content, filter, [&](const DetailLine& line) {
    if (written == 0) code = file.Write(ReportHeader(format, content.sourceText, content.destText));
    if (code == 0) code = file.Write(ReportLine(format, line.text, line.note));
    if (code == 0) code = file.Write(kReportLineEnd);
    ++written;
    if (code == 0 && progress && written % kProgressEvery == 0 && !progress(written)) code = ECANCELED;
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
  if (code == ECANCELED) {
    // Given up: a file that was to replace another goes again.
    file.Close();
    return false;
  }
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
                ReportFormat format, const FileFailureHandler& onFailure, FileCalls calls,
                const SaveProgress& progress) {
  return SaveOutput(
      path, [&](OutputFile& file) { return WriteQualifyingLines(file, content, filter, format, progress); },
      onFailure, std::move(calls));
}

}  // namespace ovik
