#pragma once

#include "platform/files/OutputFile.h"
#include "reports/FileFailure.h"
#include "reports/ReportForm.h"

#include <functional>
#include <string>

namespace ovik {

// Writes a file through an OutputFile: `writeBody` writes what it holds and
// returns 0 or the errno of the write that failed. Each failed step (create,
// write, close, replace) is passed to `onFailure` as it happens; a body
// that returns ECANCELED was given up and is no failure; after a
// failed write the file is still closed, so a second failure can follow,
// and a file that was to replace another is dropped, leaving the earlier
// one as it was. Returns true when every step succeeded.
bool SaveOutput(const std::string& path, const std::function<int(OutputFile& file)>& writeBody,
                const FileFailureHandler& onFailure, FileCalls calls = PosixFileCalls());

// Told how many lines are written, every kProgressEvery lines; false stops
// the save.
using SaveProgress = std::function<bool(std::size_t written)>;
inline constexpr std::size_t kProgressEvery = 16384;

// Writes the qualifying lines to `path` in the given form, through
// SaveOutput, one after the other as they are made. The header goes out
// together with the first qualifying line, so a report in which no line
// qualifies is an empty file. A save that `progress` stops reports no
// failure and leaves an earlier file as it was.
bool SaveReport(const std::string& path, const ReportContent& content, ReportFilter filter,
                ReportFormat format, const FileFailureHandler& onFailure, FileCalls calls = PosixFileCalls(),
                const SaveProgress& progress = {});

}  // namespace ovik
