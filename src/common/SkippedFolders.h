#pragma once

#include <string_view>

namespace ovik {

// Prefixes of the details lines that name a sub-folder the walks passed
// over, hidden or system. They are no errors: they count nothing and leave
// the verdict alone.
inline constexpr std::string_view kPrefixHiddenFolderSkipped = "Hidden folder skipped";
inline constexpr std::string_view kPrefixSystemFolderSkipped = "System folder skipped";
// Likewise no errors: a device, a FIFO or a socket in the source, which has
// no bytes to compare; an empty source sub-folder with no twin in the
// destination, where no file is missing but the folder is.
inline constexpr std::string_view kPrefixSpecialFileSkipped = "Special file skipped";
inline constexpr std::string_view kPrefixFolderMissing = "Folder missing in destination";
// Likewise no error: a source sub-folder that is the folder being walked or
// one above it, reached again through a symbolic link, whose walk would
// never end.
inline constexpr std::string_view kPrefixLinkToFolderAboveSkipped = "Link to a folder above skipped";

// True when the details line names a folder the walks passed over.
bool IsSkippedFolderLine(std::string_view line);
// True when the line is one of the notes above, which are no errors.
bool IsNoteLine(std::string_view line);

}  // namespace ovik
