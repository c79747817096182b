#pragma once

#include <string_view>

namespace ovik {

// Prefixes of the details lines that name a sub-folder the walks passed
// over, hidden or system. They are no errors: they count nothing and leave
// the verdict alone.
inline constexpr std::string_view kPrefixHiddenFolderSkipped = "Hidden folder skipped";
inline constexpr std::string_view kPrefixSystemFolderSkipped = "System folder skipped";

// True when the details line names a folder the walks passed over.
bool IsSkippedFolderLine(std::string_view line);

}  // namespace ovik
