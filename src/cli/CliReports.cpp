#include "cli/CliReports.h"

#include "platform/files/OutputFile.h"
#include "reports/ChecksumListSave.h"
#include "reports/EscapedText.h"
#include "reports/ReportSave.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace ovik {
namespace {

void PrintCannotWrite(std::FILE* err, const char* what, const std::string& path, const std::string& reason) {
  PrintMessage(err, std::string("ovik-verify: cannot write ") + what + " " + path + ": " + reason);
}

// Names the first failed step of an output; a close that fails after a
// failed write has nothing to add.
FileFailureHandler FirstFailureOn(std::FILE* err, const char* what, const std::string& path) {
  return [err, what, &path, named = false](const FileFailure& failure) mutable {
    if (!named) PrintCannotWrite(err, what, path, std::strerror(failure.code));
    named = true;
  };
}

void PrintLeft(std::FILE* err, const std::string& path, const char* why) {
  PrintMessage(err, "ovik-verify: " + path + ": not written, " + why + "; an earlier file is left as it was");
}

// One of the files a run reads or writes, with the words that name it.
struct NamedTarget {
  std::string words;
  OutputTarget target;
};

// Two names for one file where at least one of them writes it. A terminal
// or /dev/null takes outputs in turn; an output written through standard
// output's own descriptor follows what was printed there.
bool Collide(const NamedTarget& a, const NamedTarget& b, bool bIsStandardOutput) {
  if (!a.target.SameFile(b.target) || a.target.characterDevice) return false;
  return !(bIsStandardOutput && a.target.ownDescriptor);
}

}  // namespace

void PrintMessage(std::FILE* err, const std::string& message) {
  const std::string line = EscapedLine(message) + "\n";
  std::fwrite(line.data(), 1, line.size(), err);
}

CliOutputs::CliOutputs(const CliOptions& options) : options_(options) {
  const Output all[] = {{Kind::Sums, "the checksum list", options.sumsFile},
                        {Kind::Report, "the report", options.reportFile},
                        {Kind::Csv, "the CSV report", options.csvFile}};
  for (const Output& output : all)
    if (!output.path.empty()) outputs_.push_back(output);
}

bool CliOutputs::WritesDetails() const {
  return std::ranges::any_of(outputs_, [](const Output& output) { return output.kind != Kind::Sums; });
}

CliOutputs::~CliOutputs() {
  for (const Output& output : outputs_)
    if (output.fd >= 0) close(output.fd);
}

std::string CliOutputs::SameFileProblem(std::FILE* out) const {
  std::vector<NamedTarget> targets;
  for (const Output& output : outputs_) {
    if (const std::optional<OutputTarget> target = TargetOfOutput(output.path))
      targets.push_back({std::string(output.what) + " " + output.path, *target});
  }
  std::vector<NamedTarget> others;
  if (const std::optional<OutputTarget> target = TargetOfDescriptor(fileno(out)))
    others.push_back({"standard output", *target});
  // The list checked is read before the outputs are written, which would
  // replace it.
  if (options_.check && options_.source != "-") {
    if (const std::optional<OutputTarget> target = TargetOfOutput(options_.source); target && target->newPath.empty())
      others.push_back({"the checksum list checked " + options_.source, *target});
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    for (std::size_t k = i + 1; k < targets.size(); ++k)
      if (Collide(targets[i], targets[k], false)) return targets[i].words + " and " + targets[k].words + " are one file";
    for (const NamedTarget& other : others)
      if (Collide(targets[i], other, other.words == "standard output"))
        return targets[i].words + " and " + other.words + " are one file";
  }
  return {};
}

bool CliOutputs::Open(std::FILE* err) {
  bool writable = true;
  for (Output& output : outputs_) {
    const OutputOpenedAhead opened = OpenSpecialOutputAhead(output.path);
    output.fd = opened.fd;
    if (opened.error == 0) continue;
    PrintCannotWrite(err, output.what, output.path,
                     opened.noReader ? "a FIFO that no program reads" : std::strerror(opened.error));
    writable = false;
  }
  std::fflush(err);
  return writable;
}

void CliOutputs::LeaveAll(std::FILE* err) const {
  for (const Output& output : outputs_) PrintLeft(err, output.path, "the run was aborted");
  std::fflush(err);
}

std::string CliOutputs::WrittenPath(const Output& output) {
  return output.fd >= 0 ? "/dev/fd/" + std::to_string(output.fd) : output.path;
}

bool CliOutputs::WriteOne(const Output& output, const VerifyEngine& engine, const DetailLines& lines,
                          std::FILE* err) const {
  const FileFailureHandler onFailure = FirstFailureOn(err, output.what, output.path);
  if (output.kind == Kind::Sums) return SaveChecksumList(WrittenPath(output), engine.RecordedSums(), onFailure);
  const ReportContent content{options_.source, options_.destination, lines, nullptr};
  const ReportFormat format = output.kind == Kind::Csv ? ReportFormat::Csv : ReportFormat::Text;
  return SaveReport(WrittenPath(output), content, options_.filter, format, onFailure);
}

bool CliOutputs::WriteAll(const VerifyEngine& engine, const DetailLines& lines, std::FILE* err,
                          const std::function<bool()>& interrupted) const {
  bool succeeded = true;
  for (const Output& output : outputs_) {
    if (interrupted()) PrintLeft(err, output.path, "the program was interrupted");
    else if (output.kind == Kind::Sums && !engine.HasRecordedSums()) PrintLeft(err, output.path, "the run was aborted");
    else succeeded = WriteOne(output, engine, lines, err) && succeeded;
    std::fflush(err);
  }
  return succeeded;
}

}  // namespace ovik
