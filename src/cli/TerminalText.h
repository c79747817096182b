#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ovik {

// The UTF-8 text with every control character (a new line, a carriage
// return, an escape, their 8-bit kin from U+0080 to U+009F, and a stray
// byte 0x80 to 0x9F) shown as '?', so that it cannot move the cursor.
std::string WithoutControls(std::string_view text);

// The number of terminal columns the UTF-8 text takes. A character whose
// width the locale does not know counts as two, so that a line measured
// here never turns out longer than measured.
std::size_t DisplayWidth(std::string_view text);

// The longest start, or end, of the text that fits in `columns`, cut
// between characters.
std::string_view HeadFitting(std::string_view text, std::size_t columns);
std::string_view TailFitting(std::string_view text, std::size_t columns);

}  // namespace ovik
