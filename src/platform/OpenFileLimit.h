#pragma once

#include <cstddef>

namespace ovik {

// Raises this process's limit of open files to what the system allows, up
// to 65,536: a disk that seeks is read best a thousand files at a time,
// each held open from the moment its place on the disk is asked until it
// is read. Sizes the table of open files for such a batch; called before
// any thread starts.
void RaiseOpenFileLimit();

// How many files this process may hold open at once.
std::size_t OpenFilesAllowed();

}  // namespace ovik
