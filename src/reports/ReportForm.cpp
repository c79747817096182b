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

DetailLines::DetailLines(const std::vector<std::string>& texts)
    : count_(texts.size()), walk_([&texts](const Visitor& visit) {
        for (std::size_t row = 0; row < texts.size(); ++row)
          if (!visit(row, {texts[row], DetailLineIsError(texts[row]), {}})) return;
      }) {}

std::string ReportLine(ReportFormat format, std::string_view line, std::string_view note) {
  if (format == ReportFormat::Csv) return ToCsvLine(line);
  std::string text = EscapedLine(line);
  if (format == ReportFormat::TextWithNotes && !note.empty()) {
    text += kReportLineEnd;
    text += "    ";
    text += EscapedLine(note);
  }
  return text;
}

void ForEachQualifyingDetail(const ReportContent& content, ReportFilter filter,
                             const std::function<bool(const DetailLine& line)>& visit) {
  const bool selectionMatters = filter == ReportFilter::SelectedOnly;
  content.lines.ForEach([&](std::size_t row, const DetailLine& line) {
    const bool selected = selectionMatters && content.isSelected && content.isSelected(row);
    return !Qualifies(line.isError, filter, selected) || visit(line);
  });
}

void ForEachQualifyingLine(const ReportContent& content, ReportFilter filter,
                           const std::function<bool(const std::string& line)>& visit) {
  ForEachQualifyingDetail(content, filter, [&](const DetailLine& line) { return visit(line.text); });
}

std::size_t QualifyingCount(const ReportContent& content, ReportFilter filter) {
  std::size_t count = 0;
  ForEachQualifyingDetail(content, filter, [&count](const DetailLine&) { return ++count, true; });
  return count;
}

std::string DetailsTextLine(std::string_view line) {
  return ReportLine(ReportFormat::Text, line) + std::string(kReportLineEnd);
}

std::string DetailsText(const ReportContent& content, ReportFilter filter) {
  std::string text = ReportHeader(ReportFormat::Text, content.sourceText, content.destText);
  ForEachQualifyingLine(content, filter, [&](const std::string& line) {
    text += DetailsTextLine(line);
    return true;
  });
  return text;
}

}  // namespace ovik
