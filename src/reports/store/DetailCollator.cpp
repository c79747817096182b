#include "reports/store/DetailCollator.h"

#include <unicode/utf8.h>
#include <unicode/utf16.h>

#include <clocale>
#include <cstdint>

namespace ovik {
namespace {

// The ICU locale name for the collation locale of the process: "en_US.UTF-8"
// gives "en_US"; "C" and "POSIX" use the root collation.
std::string CollationLocaleName() {
  const char* name = std::setlocale(LC_COLLATE, nullptr);
  std::string locale = name != nullptr ? name : "";
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale == "C" || locale == "POSIX") return "";
  return locale;
}

}  // namespace

Collator OpenCaseInsensitiveCollator() {
  UErrorCode status = U_ZERO_ERROR;
  Collator collator(ucol_open(CollationLocaleName().c_str(), &status));
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator.reset(ucol_open("", &status));
  }
  // Secondary strength ignores case but keeps accents; punctuation stays
  // significant (ICU's "non-ignorable" default).
  ucol_setStrength(collator.get(), UCOL_SECONDARY);
  ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
  return collator;
}

void DecodeLine(std::string_view line, std::u16string& out) {
  out.clear();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.data());
  const auto length = static_cast<std::int32_t>(line.size());
  std::int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) c = 0xFFFD;
    if (c <= 0xFFFF) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      out.push_back(static_cast<char16_t>(U16_LEAD(c)));
      out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
    }
  }
}

}  // namespace ovik
