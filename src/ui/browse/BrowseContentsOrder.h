#pragma once

#include "platform/files/FolderContents.h"

#include <string>
#include <vector>

namespace ovik {

// The text of an entry in the contents list: a file by its name, a folder
// as "[name]", so "." and ".." read "[.]" and "[..]".
std::string ContentsText(const ContentsEntry& entry);

// True for files that get the executable glyph: an execute permission bit,
// or one of the extensions ".exe", ".com", ".bat", ".pif" in any case.
bool LooksExecutable(const ContentsEntry& entry);

// Folders first, then files, each alphabetically without regard to case
// (ties broken by the exact bytes, so the order is stable).
void SortForContentsList(std::vector<ContentsEntry>& entries);

}  // namespace ovik
