#pragma once

#include "reports/ReportFile.h"
#include "reports/ReportForm.h"

#include <functional>
#include <string>

namespace ovik {

struct FileFailure {
  int code;
  FileAction action;
};

using FileFailureHandler = std::function<void(const FileFailure& failure)>;

// Writes the qualifying lines to `path` in the given form. The header goes
// out together with the first qualifying line, so a report in which no
// line qualifies is an empty file. Each failed step (create, write, close)
// is passed to `onFailure` as it happens; after a failed write the walk
// stops and the file is still closed, so a second failure can follow. A
// partly written file stays. Returns true when every step succeeded.
bool SaveReport(const std::string& path, const ReportContent& content, ReportFilter filter,
                ReportFormat format, const FileFailureHandler& onFailure, FileCalls calls = PosixFileCalls());

}  // namespace ovik
