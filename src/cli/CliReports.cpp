#include "cli/CliReports.h"

#include "platform/files/OutputFile.h"
#include "reports/ChecksumListSave.h"
#include "reports/EscapedText.h"
#include "reports/ReportSave.h"

#include <cstring>

namespace ovik {
namespace {

constexpr const char* kChecksumListWords = "the checksum list";
constexpr const char* kReportWords = "the report";
constexpr const char* kCsvReportWords = "the CSV report";

void PrintCannotWrite(std::FILE* err, const char* what, const std::string& path, int code) {
  PrintMessage(err, std::string("ovik-verify: cannot write ") + what + " " + path + ": " + std::strerror(code));
}

// Names the first failed step of an output; a close that fails after a
// failed write has nothing to add.
FileFailureHandler FirstFailureOn(std::FILE* err, const char* what, const std::string& path) {
  return [err, what, &path, named = false](const FileFailure& failure) mutable {
    if (!named) PrintCannotWrite(err, what, path, failure.code);
    named = true;
  };
}

bool WriteOneReport(const std::string& path, const CliOptions& options, const std::vector<std::string>& lines,
                    ReportFormat format, std::FILE* err) {
  const ReportContent content{options.source, options.destination, lines, nullptr};
  const char* what = format == ReportFormat::Csv ? kCsvReportWords : kReportWords;
  return SaveReport(path, content, options.filter, format, FirstFailureOn(err, what, path));
}

}  // namespace

void PrintMessage(std::FILE* err, const std::string& message) {
  const std::string line = EscapedLine(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), err);
}

bool CheckCliOutputs(const CliOptions& options, std::FILE* err) {
  const struct {
    const std::string& path;
    const char* what;
  } outputs[] = {
      {options.sumsFile, kChecksumListWords},
      {options.reportFile, kReportWords},
      {options.csvFile, kCsvReportWords},
  };
  bool writable = true;
  for (const auto& output : outputs) {
    if (output.path.empty()) continue;
    if (const int problem = OutputProblem(output.path); problem != 0) {
      PrintCannotWrite(err, output.what, output.path, problem);
      writable = false;
    }
  }
  std::fflush(err);
  return writable;
}

bool WriteCliChecksumList(const CliOptions& options, const VerifyEngine& engine, std::FILE* err) {
  const std::string& path = options.sumsFile;
  if (path.empty()) return true;
  if (!engine.HasRecordedSums()) {
    PrintMessage(err, "ovik-verify: " + path + ": not written, the run was aborted; an earlier file is left as it was");
    std::fflush(err);
    return true;
  }
  const bool saved = SaveChecksumList(path, engine.RecordedSums(), FirstFailureOn(err, kChecksumListWords, path));
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
