#pragma once

#include "reports/ReportFilter.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ovik {

enum class ReportFormat { Text, Csv };

// Every line of a report, header included, ends with this.
inline constexpr std::string_view kReportLineEnd = "\r\n";

// What a report is made of: the folder texts as the window shows them and
// the details list in its order. `isSelected` may be empty, meaning that no
// line is selected.
struct ReportContent {
  std::string_view sourceText;
  std::string_view destText;
  const std::vector<std::string>& lines;
  std::function<bool(std::size_t row)> isSelected;
};

// One field of a CSV line: always quoted, with every quote inside doubled,
// so that commas, quotes and line breaks in names stay inside their field.
std::string CsvField(std::string_view text);

// The CSV form of one details line: prefix and name, split at the first
// ": ". A line without ": " gives an empty line.
std::string ToCsvLine(std::string_view line);

// The two header lines of the given form, each ending with CR LF; escaped
// as the details lines are.
std::string ReportHeader(ReportFormat format, std::string_view sourceText, std::string_view destText);

// One details line in the given form, without its line end. The text form
// escapes a line that holds control characters (EscapedLine); a CSV field
// keeps the exact name, whose line breaks stay inside its quotes.
std::string ReportLine(ReportFormat format, std::string_view line);

// Calls `visit` with each line that qualifies for the filter, from the first
// line of the list to the last, until `visit` returns false.
void ForEachQualifyingLine(const ReportContent& content, ReportFilter filter,
                           const std::function<bool(const std::string& line)>& visit);

// The text form as the clipboard gets it: the header always, then every
// qualifying line, each line ending with CR LF.
std::string DetailsText(const ReportContent& content, ReportFilter filter);

}  // namespace ovik
