#pragma once

#include "reports/ReportSave.h"
#include "sums/ChecksumList.h"

#include <string>

namespace ovik {

// Writes `list` in the form of sha256sum, one line per file in the byte
// order of the names, so that `sha256sum -c` run in the listed folder checks
// it. Written as SaveOutput writes: an earlier file of that name is
// replaced only by a complete list. The failed step goes to `onFailure`;
// true when none failed.
bool SaveChecksumList(const std::string& path, const ChecksumList& list, const FileFailureHandler& onFailure);

}  // namespace ovik
