#pragma once

#include "engine/notes/DamageClass.h"
#include "platform/files/FileSystem.h"
#include "sums/DigestKind.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace ovik {

// The result of one file, in the order of precedence in which the checks
// meet them.
enum class FileResult : std::uint8_t {
  Ok,
  DstMissing,        // the destination could not be opened (the lookup tells whether it is there)
  DstIsSource,       // the destination is the source file itself
  SrcReadError,
  DstReadError,
  SizeMismatch,
  ContentMismatch,
  ChecksumMismatch,
};

// What the check of one file found, before it is counted and listed.
struct CompareOutcome {
  FileResult result = FileResult::Ok;
  std::int64_t bytesChecked = 0;  // source bytes of the blocks compared
  std::int64_t matchedBytes = 0;  // equal bytes before the first difference
  bool Failed() const { return result != FileResult::Ok; }
};

// What reading a pair found, handed to the engine once per file: the
// comparison's outcome, what opened, and the digest of a file read whole.
struct ReadOutcome {
  CompareOutcome compared;
  std::int64_t blocksCompared = 0;
  bool srcOpened = false;
  std::int64_t srcSize = 0;      // the source's length when it was opened
  std::int64_t dstSize = -1;     // the destination's, once it opened
  Damage damage;                 // what the block that decided a mismatch looks like
  EntryLookup dstLookup;         // of a destination that could not be opened
  std::string digest;            // hexadecimal; empty unless the file was read whole
  std::optional<DigestKind> digestKind;  // which, where more than one kind was computed
  std::exception_ptr failure;    // what no file can explain, thrown again by the engine
};

}  // namespace ovik
