#pragma once

#include "reports/ReportFilter.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ovik {

// The text form can also carry the lines' notes, each on the line after its
// result, indented.
enum class ReportFormat { Text, Csv, TextWithNotes };

// Every line of a report, header included, ends with this.
inline constexpr std::string_view kReportLineEnd = "\r\n";

// One line of the details list as a report visits it.
struct DetailLine {
  const std::string& text;
  bool isError;
  std::string_view note;
};

// The lines of the details list in their order, as a report walks them:
// kept as texts, or made one at a time from a store.
class DetailLines {
 public:
  using Visitor = std::function<bool(std::size_t row, const DetailLine& line)>;
  using Walk = std::function<void(const Visitor& visit)>;

  // The texts themselves; a line is an error unless DetailLineIsError says not.
  DetailLines(const std::vector<std::string>& texts);  // NOLINT(google-explicit-constructor)
  DetailLines(std::size_t count, Walk walk) : count_(count), walk_(std::move(walk)) {}

  std::size_t Count() const { return count_; }
  // Calls `visit` for each line from the first until it returns false.
  void ForEach(const Visitor& visit) const { walk_(visit); }

 private:
  std::size_t count_ = 0;
  Walk walk_;
};

// What a report is made of: the folder texts as the window shows them and
// the details list in its order. `isSelected` may be empty, meaning that no
// line is selected.
struct ReportContent {
  std::string_view sourceText;
  std::string_view destText;
  DetailLines lines;
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
// keeps the exact name, whose line breaks stay inside its quotes. With
// notes, a note follows on its own line, indented by four spaces.
std::string ReportLine(ReportFormat format, std::string_view line, std::string_view note = {});

// Calls `visit` with each line that qualifies for the filter, from the first
// line of the list to the last, until `visit` returns false.
void ForEachQualifyingLine(const ReportContent& content, ReportFilter filter,
                           const std::function<bool(const std::string& line)>& visit);
void ForEachQualifyingDetail(const ReportContent& content, ReportFilter filter,
                             const std::function<bool(const DetailLine& line)>& visit);
// How many lines qualify.
std::size_t QualifyingCount(const ReportContent& content, ReportFilter filter);

// The text form as the clipboard gets it: the header always, then every
// qualifying line, each line ending with CR LF.
std::string DetailsTextLine(std::string_view line);
std::string DetailsText(const ReportContent& content, ReportFilter filter);

}  // namespace ovik
