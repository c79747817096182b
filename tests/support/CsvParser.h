#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovik::testing {

using CsvRecord = std::vector<std::string>;

// A strict RFC 4180 reader, independent of the code under test: records end
// with CR LF, fields are separated by commas, a quoted field may hold
// commas, line breaks and doubled quotes. Returns nothing when the text is
// not well-formed CSV (a stray quote, text after a closing quote, an open
// quoted field at the end, a bare CR or LF outside quotes).
std::optional<std::vector<CsvRecord>> ParseCsv(std::string_view text);

}  // namespace ovik::testing
