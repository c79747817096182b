#include "cli/CliReports.h"

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
