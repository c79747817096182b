#include "support/CsvParser.h"
#include "reports/EscapedText.h"
#include "reports/ReportForm.h"

#include <gtest/gtest.h>

#include <set>

namespace ovik {
namespace {

using testing::CsvRecord;
using testing::ParseCsv;

// A sorted list after a run with every kind of result, skipped folders
// among them (no errors), plus a line whose prefix differs from "Ok" only by
// case, which counts as an error line.
const std::vector<std::string> kMixedLines = {
    "!Destn file missing: gone.txt",
    "!Mismatched contents at offset 1,024: a/b.bin",
    "!Mismatched sizes: short.dat",
    "Hidden folder skipped: .config/",
    "OK: odd case.txt",
    "Ok: first.txt",
    "Ok: sub/second.txt",
    "System folder skipped: lost+found/",
};

std::vector<std::string> Qualifying(const ReportContent& content, ReportFilter filter) {
  std::vector<std::string> taken;
  ForEachQualifyingLine(content, filter, [&](const std::string& line) {
    taken.push_back(line);
    return true;
  });
  return taken;
}

ReportContent MixedContent(std::set<std::size_t> selected = {}) {
  return {"/src", "/dst", kMixedLines, [selected](std::size_t row) { return selected.count(row) > 0; }};
}

TEST(ReportFilterTest, EachFilterTakesItsLinesInListOrder) {
  const ReportContent content = MixedContent({5, 1, 3});
  EXPECT_EQ(Qualifying(content, ReportFilter::All), kMixedLines);
  EXPECT_EQ(Qualifying(content, ReportFilter::ErrorsOnly),
            (std::vector<std::string>{kMixedLines[0], kMixedLines[1], kMixedLines[2], kMixedLines[4]}));
  EXPECT_EQ(Qualifying(content, ReportFilter::NonErrorsOnly),
            (std::vector<std::string>{kMixedLines[3], kMixedLines[5], kMixedLines[6], kMixedLines[7]}));
  EXPECT_EQ(Qualifying(content, ReportFilter::SelectedOnly),
            (std::vector<std::string>{kMixedLines[1], kMixedLines[3], kMixedLines[5]}));
}

TEST(ReportFilterTest, SelectedOnlyWithoutSelectionTakesNothing) {
  EXPECT_TRUE(Qualifying(MixedContent(), ReportFilter::SelectedOnly).empty());
  const ReportContent noSelector{"/src", "/dst", kMixedLines, nullptr};
  EXPECT_TRUE(Qualifying(noSelector, ReportFilter::SelectedOnly).empty());
  EXPECT_EQ(Qualifying(noSelector, ReportFilter::All), kMixedLines);
}

TEST(DetailsTextTest, HeaderThenQualifyingLinesEachEndingWithCrLf) {
  const std::vector<std::string> lines = {"!Mismatched sizes: a.txt", "Ok: b.txt"};
  const ReportContent content{"/media/disc/", "/home/me/copy", lines, nullptr};
  EXPECT_EQ(DetailsText(content, ReportFilter::All),
            "Source folder: /media/disc/\r\nDestination folder: /home/me/copy\r\n"
            "!Mismatched sizes: a.txt\r\nOk: b.txt\r\n");
  EXPECT_EQ(DetailsText(content, ReportFilter::NonErrorsOnly),
            "Source folder: /media/disc/\r\nDestination folder: /home/me/copy\r\nOk: b.txt\r\n");
}

TEST(DetailsTextTest, ErrorsOnlyAfterACleanRunGivesTheHeaderAlone) {
  const std::vector<std::string> lines = {"Ok: a.txt", "Ok: b.txt"};
  const ReportContent content{"/a", "/b", lines, nullptr};
  EXPECT_EQ(DetailsText(content, ReportFilter::ErrorsOnly), "Source folder: /a\r\nDestination folder: /b\r\n");
}

// One file, one line: a name holding control characters cannot forge a
// line or reach the terminal raw; every other name is left byte for byte.
TEST(EscapedLineTest, ControlsAreEscapedAndEverythingElseIsKept) {
  const struct {
    std::string line, shown;
  } cases[] = {
      {"Ok: plain name.txt", "Ok: plain name.txt"},
      {"Ok: back\\slash", "Ok: back\\slash"},
      {"Ok: caf\xc3\xa9 \xff.txt", "Ok: caf\xc3\xa9 \xff.txt"},
      {"Ok: x\nOk: y", "\\Ok: x\\nOk: y"},
      {"Ok: cr\r tab\t back\\slash", "\\Ok: cr\\r tab\\t back\\\\slash"},
      {"Ok: \x1b[31mred\x7f", "\\Ok: \\x1b[31mred\\x7f"},
      {"Ok: c1 \xc2\x9b" "2J", "\\Ok: c1 \\xc2\\x9b2J"},
      {"Ok: raw c1 \x9b" "2J \x85", "\\Ok: raw c1 \\x9b2J \\x85"},
      {"Ok: euro \xe2\x82\xac", "Ok: euro \xe2\x82\xac"},
      {"Ok: cut \xe2\x82 overlong \xc1\x9b", "\\Ok: cut \xe2\\x82 overlong \xc1\\x9b"},
      {std::string("Ok: nul\0byte", 12), "\\Ok: nul\\x00byte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapedLine(c.line), c.shown);
    EXPECT_EQ(EscapedLine(c.line).find_first_of("\r\n\x1b"), std::string::npos);
  }
  const std::vector<std::string> lines = {"Ok: x\nOk: y"};
  EXPECT_EQ(DetailsText({"/s\tx", "/d", lines, nullptr}, ReportFilter::All),
            "\\Source folder: /s\\tx\r\nDestination folder: /d\r\n\\Ok: x\\nOk: y\r\n");
  EXPECT_EQ(ReportLine(ReportFormat::Csv, lines[0]), "\"Ok\",\"x\nOk: y\"") << "CSV keeps the exact name";
}

TEST(CsvLineTest, ThousandsCommaStaysInsideTheFirstField) {
  EXPECT_EQ(ToCsvLine("!Mismatched contents at offset 1,024: a/b.bin"),
            "\"!Mismatched contents at offset 1,024\",\"a/b.bin\"");
  EXPECT_EQ(ToCsvLine("Ok: sub/file.txt"), "\"Ok\",\"sub/file.txt\"");
  EXPECT_EQ(ToCsvLine("Hidden folder skipped: .config/"), "\"Hidden folder skipped\",\".config/\"");
}

TEST(CsvLineTest, SplitsAtTheFirstSeparatorOnly) {
  EXPECT_EQ(ToCsvLine("Ok: a: b.txt"), "\"Ok\",\"a: b.txt\"");
  EXPECT_EQ(ToCsvLine("Ok: "), "\"Ok\",\"\"");
}

TEST(CsvLineTest, LineWithoutSeparatorGivesAnEmptyLine) {
  EXPECT_EQ(ToCsvLine("Ok:no-space"), "");
  EXPECT_EQ(ToCsvLine(""), "");
}

TEST(CsvLineTest, AwkwardNamesComeBackAsTwoCleanColumns) {
  const std::vector<std::string> names = {
      "say \"hi\".txt", "a,b,c.csv", "two\nlines.txt", "cr\r\nlf.txt", "\"", "\"\"", ",", "ends with quote\"",
      "caf\xc3\xa9.txt", "bad \xff byte",
  };
  for (const std::string& name : names) {
    const std::string csv = ToCsvLine("!Destn file missing: " + name) + "\r\n";
    const auto records = ParseCsv(csv);
    ASSERT_TRUE(records.has_value()) << csv;
    ASSERT_EQ(records->size(), 1u) << csv;
    EXPECT_EQ((*records)[0], (CsvRecord{"!Destn file missing", name}));
  }
}

TEST(ReportHeaderTest, CsvHeaderQuotesAwkwardFolderNames) {
  const auto records = ParseCsv(ReportHeader(ReportFormat::Csv, "/mnt/\"x\",y", "/new\nline"));
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(*records, (std::vector<CsvRecord>{{"Source folder", "/mnt/\"x\",y"}, {"Destination folder", "/new\nline"}}));
}

TEST(CsvParserTest, RejectsWhatIsNotCsv) {
  // The checks above rely on the parser refusing malformed text.
  EXPECT_FALSE(ParseCsv("\"a\"b\"\r\n").has_value());
  EXPECT_FALSE(ParseCsv("\"open\r\n").has_value());
  EXPECT_FALSE(ParseCsv("a\"b\r\n").has_value());
  EXPECT_FALSE(ParseCsv("\"a\",\"b\"\n").has_value());
  EXPECT_TRUE(ParseCsv("\"a\"\"\",b\r\n").has_value());
}

}  // namespace
}  // namespace ovik
