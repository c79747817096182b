#include "reports/DetailOrder.h"
#include "reports/ReportFilter.h"

#include "support/ScopedLocale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <random>
#include <string>

namespace ovik {
namespace {

using Lines = std::vector<std::string>;


// The lines in the order the list must show them.
const Lines kOrdered = {
    "!Destn file missing: a.txt",
    "!Destn file missing: B.txt",
    "!Destn file missing: sub/c.txt",
    "!Destn is the source file: photo.jpg",
    "!Destn read error: locked.bin",
    "!Mismatched contents at offset 0: x",
    "!Mismatched contents at offset 102,400: big.iso",
    "!Mismatched contents at offset 2: y",
    "!Mismatched sizes: short.dat",
    "!Source read error: unlistable/",
    "!Source read error: z",
    "Hidden folder skipped: .config/",
    "Hidden folder skipped: sub/.cache/",
    "Ok: 0-first.txt",
    "Ok: apple",
    "Ok: Banana",
    "Ok: cherry/inner",
    "Ok: Zed",
    "System folder skipped: lost+found/",
};

Lines Shuffled(Lines lines, unsigned seed) {
  std::mt19937 random(seed);
  std::shuffle(lines.begin(), lines.end(), random);
  return lines;
}

void ExpectListOrderIn(const char* locale) {
  testing::ScopedLocale collate(LC_COLLATE, locale);
  if (!collate.ok()) GTEST_SKIP() << "locale " << locale << " is not installed (generate it with locale-gen)";
  for (unsigned seed : {1u, 2u, 3u}) {
    Lines lines = Shuffled(kOrdered, seed);
    SortDetailLines(lines);
    EXPECT_EQ(lines, kOrdered) << "seed " << seed;
  }
}

TEST(DetailOrder, ErrorsFirstGroupedThenOkIgnoringCaseInCUtf8) { ExpectListOrderIn("C.UTF-8"); }

TEST(DetailOrder, ErrorsFirstGroupedThenOkIgnoringCaseInEnUs) { ExpectListOrderIn("en_US.UTF-8"); }

TEST(DetailOrder, LinesDifferingOnlyInCaseHaveOneOrderWhateverTheInput) {
  testing::ScopedLocale collate(LC_COLLATE, "C.UTF-8");
  const Lines variants = {"Ok: README", "Ok: readme", "Ok: ReadMe", "Ok: rEADME"};
  Lines first = variants;
  SortDetailLines(first);
  for (unsigned seed : {4u, 5u, 6u}) {
    Lines again = Shuffled(variants, seed);
    SortDetailLines(again);
    EXPECT_EQ(again, first);
  }
}

TEST(DetailOrder, InvalidUtf8SortsDeterministicallyWithoutCrashing) {
  testing::ScopedLocale collate(LC_COLLATE, "C.UTF-8");
  const Lines lines = {"Ok: caf\xe9",  "Ok: cafe",   "Ok: \xff\xfe", "!Destn file missing: \xc3",
                       "Ok: \xe2\x82", "Ok: caf\xc3\xa9", "Ok: ", "", "\x80"};
  Lines first = lines;
  SortDetailLines(first);
  ASSERT_EQ(first.size(), lines.size());
  EXPECT_TRUE(std::is_permutation(first.begin(), first.end(), lines.begin()));
  const auto missing = std::find(first.begin(), first.end(), "!Destn file missing: \xc3");
  for (auto ok = first.begin(); ok != first.end(); ++ok) {
    if (ok->rfind("Ok", 0) == 0) {
      EXPECT_LT(missing, ok) << *ok;
    }
  }
  for (unsigned seed : {7u, 8u, 9u}) {
    Lines again = Shuffled(lines, seed);
    SortDetailLines(again);
    EXPECT_EQ(again, first);
  }
}

TEST(DetailOrder, OrderOfPositionsMatchesOrderOfLines) {
  const Lines lines = Shuffled(kOrdered, 10);
  const std::vector<std::size_t> order = SortedDetailOrder(lines);
  Lines viaOrder;
  for (std::size_t i : order) viaOrder.push_back(lines[i]);
  Lines sorted = lines;
  SortDetailLines(sorted);
  EXPECT_EQ(viaOrder, sorted);
  EXPECT_TRUE(SortedDetailOrder({}).empty());
}

// Large enough to matter; how fast it sorts is left to the benchmarks.
TEST(DetailOrder, ManyLinesKeepErrorsFirst) {
  Lines lines;
  lines.reserve(200000);
  for (int i = 0; i < 200000; ++i)
    lines.push_back((i % 97 == 0 ? "!Mismatched sizes: dir/" : "Ok: dir/") + std::to_string(i * 7919 % 200003));
  SortDetailLines(lines);
  const auto firstOk = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == 'O'; });
  EXPECT_EQ(firstOk - lines.begin(), 2062);
  EXPECT_TRUE(std::all_of(firstOk, lines.end(), [](const std::string& l) { return l.rfind("Ok: ", 0) == 0; }));
}

TEST(ReportFilter, NonErrorPrefixesAreComparedExactlyAndWithCase) {
  EXPECT_TRUE(LineQualifies("Ok: a", ReportFilter::NonErrorsOnly, false));
  EXPECT_FALSE(LineQualifies("OK: a", ReportFilter::NonErrorsOnly, false));
  EXPECT_TRUE(LineQualifies("OK: a", ReportFilter::ErrorsOnly, false));
  EXPECT_TRUE(LineQualifies("!Mismatched sizes: a", ReportFilter::ErrorsOnly, false));
  EXPECT_TRUE(LineQualifies("O", ReportFilter::ErrorsOnly, false));
  // The lines naming skipped folders are no errors; their prefixes too are
  // compared exactly.
  for (const char* skipped : {"Hidden folder skipped: .config/", "System folder skipped: lost+found/"}) {
    EXPECT_TRUE(LineQualifies(skipped, ReportFilter::NonErrorsOnly, false)) << skipped;
    EXPECT_FALSE(LineQualifies(skipped, ReportFilter::ErrorsOnly, false)) << skipped;
  }
  EXPECT_TRUE(LineQualifies("hidden folder skipped: .config/", ReportFilter::ErrorsOnly, false));
  EXPECT_TRUE(LineQualifies("Hidden folder skipped", ReportFilter::ErrorsOnly, false));
  EXPECT_TRUE(LineQualifies("", ReportFilter::All, false));
  EXPECT_FALSE(LineQualifies("Ok: a", ReportFilter::SelectedOnly, false));
  EXPECT_TRUE(LineQualifies("Ok: a", ReportFilter::SelectedOnly, true));
}

}  // namespace
}  // namespace ovik
