#pragma once

#include <unicode/ucol.h>

#include <memory>
#include <string>
#include <string_view>

namespace ovik {

struct CollatorClose {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using Collator = std::unique_ptr<UCollator, CollatorClose>;

// The collator of the details order: the user's collation for LC_COLLATE at
// secondary strength (case ignored, accents kept), punctuation significant.
Collator OpenCaseInsensitiveCollator();

// UTF-16 of a line of bytes; bytes that are not UTF-8 become U+FFFD.
void DecodeLine(std::string_view line, std::u16string& out);

}  // namespace ovik
