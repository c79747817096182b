#pragma once

#include "cli/CliOptions.h"
#include "engine/VerifyEngine.h"
#include "reports/ReportForm.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace ovik {

// The outputs the options ask for (--write-sums, --report, --csv), looked
// at as a set and opened where they are FIFOs or devices before the run
// reads anything, and written after it.
class CliOutputs {
 public:
  explicit CliOutputs(const CliOptions& options);
  ~CliOutputs();
  CliOutputs(const CliOutputs&) = delete;
  CliOutputs& operator=(const CliOutputs&) = delete;

  // Empty, or the usage problem of two outputs that are one file, so that
  // one would replace the other, e.g. «the report r.txt and the checksum
  // list ./r.txt are one file»; standard output (`out`) and the checksum
  // list being checked count as well.
  std::string SameFileProblem(std::FILE* out) const;

  // Names on `err` each output that cannot be written, e.g. «ovik-verify:
  // cannot write the report FILE: Is a directory», and opens those that are
  // no regular files. True when all can be written.
  bool Open(std::FILE* err);

  // Says on `err` of each output that it was not written and why: «FILE:
  // not written, the run was aborted; an earlier file is left as it was».
  void LeaveAll(std::FILE* err) const;

  // Writes the checksum list the run recorded and the reports of the
  // sorted details lines, with the folder texts as given on the command
  // line. A failure is named as Open names it. Once `interrupted` says so,
  // the outputs not yet written are left as they were, as by LeaveAll.
  // Returns false when any output could not be written.
  bool WriteAll(const VerifyEngine& engine, const DetailLines& lines, std::FILE* err,
                const std::function<bool()>& interrupted) const;

  // True when a report of the details lines is among the outputs.
  bool WritesDetails() const;

 private:
  enum class Kind { Sums, Report, Csv };
  struct Output {
    Kind kind;
    const char* what;
    std::string path;
    int fd = -1;  // opened ahead of the run
  };

  // The name the writers are given: the descriptor opened ahead, or else
  // the path.
  static std::string WrittenPath(const Output& output);
  bool WriteOne(const Output& output, const VerifyEngine& engine, const DetailLines& lines,
                std::FILE* err) const;

  const CliOptions& options_;
  std::vector<Output> outputs_;
};

// Prints one message line on `err`, escaped as the details lines are.
void PrintMessage(std::FILE* err, const std::string& message);

}  // namespace ovik
