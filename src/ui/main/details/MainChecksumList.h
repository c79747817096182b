#pragma once

#include "sums/ChecksumList.h"

#include <optional>
#include <string>

class QWidget;

namespace ovik {

// The platform's open dialog "dlgOpenSums" for the checksum list to verify
// a folder with. Nothing when the user cancels.
std::optional<std::string> AskListToCheck(QWidget* parent);

// The save dialog "dlgSaveSums" for a recorded checksum list, offering the
// name chosen last in this process, or "SHA256SUMS" in `folder` the first
// time. Nothing when the user cancels.
std::optional<std::string> AskListFile(QWidget* parent, const std::string& folder);

// Writes the list to `path`; a failed step is shown in an error box and an
// earlier file of that name stays as it was.
void SaveListTo(QWidget* parent, const std::string& path, const ChecksumList& list);

}  // namespace ovik
