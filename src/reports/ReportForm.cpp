#include "reports/ReportForm.h"

#include "reports/EscapedText.h"

namespace ovik {
namespace {

constexpr std::string_view kPrefixSeparator = ": ";

std::string CsvPair(std::string_view first, std::string_view second) {
  return CsvField(first) + "," + CsvField(second);
}

}  // namespace

std::string CsvField(std::string_view text) {
  std::string field;
  field.reserve(text.size() + 2);
  field += '"';
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

std::string ToCsvLine(std::string_view line) {
  const std::size_t split = line.find(kPrefixSeparator);
  if (split == std::string_view::npos) return {};
  return CsvPair(line.substr(0, split), line.substr(split + kPrefixSeparator.size()));
}

std::string ReportHeader(ReportFormat format, std::string_view sourceText, std::string_view destText) {
  std::string header;
  if (format == ReportFormat::Csv) {
    header += CsvPair("Source folder", sourceText);
    header += kReportLineEnd;
    header += CsvPair("Destination folder", destText);
  } else {
    header += EscapedLine("Source folder: " + std::string(sourceText));
    header += kReportLineEnd;
    header += EscapedLine("Destination folder: " + std::string(destText));
  }
  header += kReportLineEnd;
  return header;
}

std::string ReportLine(ReportFormat format, std::string_view line) {
  return format == ReportFormat::Csv ? ToCsvLine(line) : EscapedLine(line);
}

void ForEachQualifyingLine(const ReportContent& content, ReportFilter filter,
                           const std::function<bool(const std::string& line)>& visit) {
  const bool selectionMatters = filter == ReportFilter::SelectedOnly;
  for (std::size_t row = 0; row < content.lines.size(); ++row) {
    const bool selected = selectionMatters && content.isSelected && content.isSelected(row);
    if (LineQualifies(content.lines[row], filter, selected) && !visit(content.lines[row])) return;
  }
}

std::string DetailsText(const ReportContent& content, ReportFilter filter) {
  std::string text = ReportHeader(ReportFormat::Text, content.sourceText, content.destText);
  ForEachQualifyingLine(content, filter, [&](const std::string& line) {
    text += ReportLine(ReportFormat::Text, line);
    text += kReportLineEnd;
    return true;
  });
  return text;
}

}  // namespace ovik
