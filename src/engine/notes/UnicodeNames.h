#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ovik {

// A name in Unicode normalization form C; nothing when the name is not
// valid UTF-8 (its bytes then have no other form).
std::optional<std::string> NfcForm(std::string_view name);
// The name in form D, for a case-folded folder's comparison; the name
// itself when it is not valid UTF-8.
std::string NfdForm(std::string_view name);
// The name with its case folded; ASCII letters only when it is not valid UTF-8.
std::string FoldedCase(std::string_view name);
// "NFC" or "NFD" when the name is in that form and not in the other; empty otherwise.
std::string_view UnicodeFormOf(std::string_view name);

}  // namespace ovik
