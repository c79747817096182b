#pragma once

#include "sums/DigestKind.h"

#include <string>
#include <string_view>

namespace ovik {

// One understood line of a checksum list.
struct ChecksumLine {
  DigestKind kind = DigestKind::Sha256;
  std::string digest;  // the digest's bytes
  std::string name;    // the file's name relative to the list's folder, unescaped
};

enum class LineVerdict {
  Entry,    // a file and its digest
  Skipped,  // an empty line or a comment
  Bad,      // a line that cannot be understood, or names a file it must not
};

// Reads the lines of one checksum list in order, in each form the coreutils
// tools write: «HASH␠␠name» (a "*" in place of the second space marks
// binary mode), «TAG (name) = HASH», each with a backslash in front when the
// name is escaped, and the single-space form «HASH␠name» of other tools.
// Remembers which of the two untagged forms the list uses, since a name
// that begins with a space or "*" reads differently in each.
class ChecksumLineParser {
 public:
  // `naming`: what the list's file name says (NamingOfList); `untagged`,
  // when given, the kind of every untagged hash, whatever the name says.
  explicit ChecksumLineParser(WideHashNaming naming, std::optional<DigestKind> untagged = std::nullopt)
      : naming_(naming), untagged_(untagged) {}

  // `line` without its line feed; a carriage return before it is dropped.
  // `out` is filled for an Entry.
  LineVerdict Parse(std::string_view line, ChecksumLine& out);

 private:
  enum class UntaggedForm { Unknown, TwoFields, SingleSpace };

  bool ParseTagged(std::string_view rest, bool escaped, ChecksumLine& out) const;
  bool ParseUntagged(std::string_view rest, bool escaped, ChecksumLine& out);

  WideHashNaming naming_;
  std::optional<DigestKind> untagged_;
  UntaggedForm form_ = UntaggedForm::Unknown;
};

// True for a name a list may give: not empty, no NUL, not absolute, no ".."
// component, so that it cannot lead out of the list's folder by itself.
bool IsSafeListedName(std::string_view name);

// The line of sha256sum for a file: the lower-case hex digest, two spaces
// and the name; a name holding a backslash, a line feed or a carriage return
// is escaped and the line begins with a backslash. Without a line end.
std::string FormatChecksumLine(std::string_view hexDigest, std::string_view name);

// Lower-case hex of `bytes`, and back; false for text that is not hex of
// the size of `bytes`.
std::string ToHex(std::string_view bytes);
bool FromHex(std::string_view hex, std::string& bytes);

}  // namespace ovik
