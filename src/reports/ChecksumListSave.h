#pragma once

#include "reports/ReportSave.h"
#include "sums/ChecksumList.h"

#include <string>

namespace ovik {

// Writes `list` in the form of sha256sum, one line per file in the byte
// order of the names, so that `sha256sum -c` run in the listed folder checks
// it. The lines go to a new file that takes the place of `path` only once
// it is complete: when any step fails, an earlier file of that name stays
// as it was. The failed step goes to `onFailure`; true when none failed.
bool SaveChecksumList(const std::string& path, const ChecksumList& list, const FileFailureHandler& onFailure);

}  // namespace ovik
