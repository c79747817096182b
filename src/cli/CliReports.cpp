#include "cli/CliReports.h"

#include "reports/ChecksumListSave.h"
#include "reports/ReportSave.h"

namespace ovik {
namespace {

void PrintFileFailure(std::FILE* err, const std::string& path, const FileFailure& failure) {
  const std::string message = FileErrorText(failure.code, failure.action) + "\n" + path + "\n";
  std::fwrite(message.data(), 1, message.size(), err);
}

bool WriteOneReport(const std::string& path, const CliOptions& options, const std::vector<std::string>& lines,
                    ReportFormat format, std::FILE* err) {
  const ReportContent content{options.source, options.destination, lines, nullptr};
  return SaveReport(path, content, options.filter, format,
                    [&](const FileFailure& failure) { PrintFileFailure(err, path, failure); });
}

}  // namespace

bool WriteCliChecksumList(const CliOptions& options, const VerifyEngine& engine, std::FILE* err) {
  const std::string& path = options.sumsFile;
  if (path.empty()) return true;
  if (!engine.HasRecordedSums()) {
    std::fprintf(err, "ovik-verify: %s: not written, the run was aborted; an earlier file is left as it was\n",
                 path.c_str());
    std::fflush(err);
    return true;
  }
  const bool saved = SaveChecksumList(path, engine.RecordedSums(),
                                      [&](const FileFailure& failure) { PrintFileFailure(err, path, failure); });
  std::fflush(err);
  return saved;
}

bool WriteCliReports(const CliOptions& options, const std::vector<std::string>& lines, std::FILE* err) {
  bool succeeded = true;
  if (!options.reportFile.empty())
    succeeded = WriteOneReport(options.reportFile, options, lines, ReportFormat::Text, err) && succeeded;
  if (!options.csvFile.empty())
    succeeded = WriteOneReport(options.csvFile, options, lines, ReportFormat::Csv, err) && succeeded;
  std::fflush(err);
  return succeeded;
}

}  // namespace ovik
