#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ovik {

// Result prefixes of the details list. Every error prefix begins with "!".
inline constexpr const char* kPrefixOk = "Ok";
inline constexpr const char* kPrefixDstMissing = "!Destn file missing";
inline constexpr const char* kPrefixSrcReadError = "!Source read error";
inline constexpr const char* kPrefixDstReadError = "!Destn read error";
// The destination twin is the source file itself (a link or mount back to it).
inline constexpr const char* kPrefixDstIsSource = "!Destn is the source file";
inline constexpr const char* kPrefixSizeMismatch = "!Mismatched sizes";
inline constexpr const char* kPrefixContentMismatch = "!Mismatched contents at offset ";
// Checking against a checksum list: the file's digest is not the listed
// one; a line of the list that cannot be understood, by its number.
inline constexpr const char* kPrefixChecksumMismatch = "!Mismatched checksum";
inline constexpr const char* kPrefixBadChecksumLine = "!Bad checksum line";

// What one line of the details list says, in the engine's words; its text
// is made from it when it is shown, saved or printed.
enum class ResultKind : std::uint8_t {
  Ok,
  DstMissing,
  DstIsSource,
  SrcReadError,
  DstReadError,
  SizeMismatch,
  ContentMismatch,
  ChecksumMismatch,
  BadChecksumLine,
  // No errors: they count nothing and leave the verdict alone.
  HiddenFolderSkipped,
  SystemFolderSkipped,
  SpecialFileSkipped,
  FolderMissing,
  LinkToFolderAboveSkipped,
};

// One result as the engine hands it to a view. The views own nothing of it
// past the call: they keep what they need.
struct ResultLine {
  ResultKind kind = ResultKind::Ok;
  // The relative name, as bytes ("sub/file.txt", "photos/2027/" for a
  // folder); for a bad checksum line, its number.
  std::string_view name;
  // The first differing byte of a content mismatch.
  std::int64_t offset = 0;
  // What more can be said of the line for a person: what the damage looks
  // like, what the destination did to the name. Empty for most lines; it
  // never changes the line's text, its order or the verdict.
  std::string_view note;
  // What the damage of a mismatch looks like, in one word for scripts
  // ("zeros", "bits", "short" ...); empty for other lines.
  std::string_view damage;
  // The lengths of the two files of a file's line; -1 where not known.
  std::int64_t srcSize = -1;
  std::int64_t dstSize = -1;
};

bool IsErrorResult(ResultKind kind);
// The prefix of the line, «!Mismatched contents at offset 1,024» with the
// offset of a content mismatch.
std::string ResultPrefix(ResultKind kind, std::int64_t offset = 0);
// The whole line: prefix + ": " + name.
std::string ResultText(const ResultLine& line);

}  // namespace ovik
