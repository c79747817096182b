#include "reports/DetailOrder.h"
#include "reports/store/ResultRuns.h"
#include "reports/store/ResultStore.h"
#include "reports/store/StoreOrder.h"

#include "support/ScopedLocale.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <clocale>
#include <random>
#include <string>
#include <vector>

namespace ovik {
namespace {

using Lines = std::vector<std::string>;

struct Result {
  ResultKind kind;
  std::string name;
  std::int64_t offset = 0;
};

ResultStore StoreOf(const std::vector<Result>& results) {
  ResultStore store;
  for (const Result& r : results) store.Append({r.kind, r.name, r.offset, {}});
  return store;
}

Lines TextsInOrder(const ResultStore& store, const std::vector<ResultStore::Line>& order) {
  Lines texts;
  for (ResultStore::Line line : order) texts.push_back(store.Text(line));
  return texts;
}

// The store's order must be the order of the old sort of whole texts.
void ExpectOldOrder(const std::vector<Result>& results) {
  const ResultStore store = StoreOf(results);
  Lines expected;
  for (ResultStore::Line line = 0; line < store.Count(); ++line) expected.push_back(store.Text(line));
  SortDetailLines(expected);
  EXPECT_EQ(TextsInOrder(store, SortedStoreOrder(store)), expected);
}

// Folders shared and nested, files beside sub-folders, the same name in
// two folders, names at the root, case and accent variants, names that
// are not UTF-8, offsets of different lengths.
const std::vector<Result> kTricky = {
    {ResultKind::Ok, "a/d.txt"},        {ResultKind::Ok, "a/c/x"},          {ResultKind::Ok, "a/b.txt"},
    {ResultKind::Ok, "a/c.txt"},        {ResultKind::Ok, "a/c-d/x"},        {ResultKind::Ok, "a/c1/x"},
    {ResultKind::Ok, "A/c/y"},          {ResultKind::Ok, "a"},              {ResultKind::Ok, "b.txt"},
    {ResultKind::Ok, "\xc3\xa9/a"},     {ResultKind::Ok, "e/b"},            {ResultKind::Ok, "E/a"},
    {ResultKind::Ok, "e\xcc\x81/c"},    {ResultKind::Ok, "caf\xe9/x"},      {ResultKind::Ok, "caf\xe9"},
    {ResultKind::Ok, "cafe/x"},         {ResultKind::Ok, "\xff\xfe/\xc3"},  {ResultKind::Ok, "x/\xe2\x82"},
    {ResultKind::Ok, "sub/same.txt"},   {ResultKind::Ok, "other/same.txt"}, {ResultKind::Ok, "same.txt"},
    {ResultKind::Ok, "x\xef\xbc\x8fy"}, {ResultKind::Ok, "x/y"},            {ResultKind::Ok, "x/\xe6\x97\xa5"},
    {ResultKind::Ok, "photos/2027/"},   {ResultKind::Ok, "photos/2027.jpg"}, {ResultKind::Ok, ""},
    {ResultKind::DstMissing, "a/b"},    {ResultKind::DstMissing, "B"},      {ResultKind::SizeMismatch, "a"},
    {ResultKind::ContentMismatch, "x", 0},      {ResultKind::ContentMismatch, "y", 2},
    {ResultKind::ContentMismatch, "big", 102400}, {ResultKind::ContentMismatch, "z", 1024},
    {ResultKind::ContentMismatch, "w", 1024},   {ResultKind::ContentMismatch, "v", 1000000},
    {ResultKind::HiddenFolderSkipped, ".config/"}, {ResultKind::BadChecksumLine, "12"},
    {ResultKind::FolderMissing, "empty/"},      {ResultKind::DstIsSource, "self"},
};

std::vector<Result> RandomResults(unsigned seed, int count) {
  static const char* const kPieces[] = {"a", "A", "b", "B", "e", "\xc3\xa9", "e\xcc\x81", "/", ".", "-", "_",
                                        " ", "1", "10", "9", "\xff", "\xc3", "\xc3\x9f", "ss", "\xce\xa9",
                                        "\xe6\x97\xa5", "\xef\xbc\x8f", "IMG_", "\t", "'", "\xf0\x9f\x98\x80"};
  static const ResultKind kKinds[] = {ResultKind::Ok, ResultKind::Ok, ResultKind::DstMissing,
                                      ResultKind::ContentMismatch};
  std::mt19937 random(seed);
  std::vector<Result> results;
  for (int i = 0; i < count; ++i) {
    Result r{kKinds[random() % 4], ""};
    for (unsigned n = random() % 8; n > 0; --n) r.name += kPieces[random() % std::size(kPieces)];
    r.offset = static_cast<std::int64_t>(random() % 3) * 999;
    results.push_back(r);
  }
  return results;
}

void ExpectOldOrderIn(const char* locale) {
  testing::ScopedLocale collate(LC_COLLATE, locale);
  if (!collate.ok()) GTEST_SKIP() << "locale " << locale << " is not installed (generate it with locale-gen)";
  ExpectOldOrder(kTricky);
  for (unsigned seed : {1u, 2u, 3u}) ExpectOldOrder(RandomResults(seed, 3000));
}

TEST(StoreOrder, IsTheOrderOfWholeTextsInCUtf8) { ExpectOldOrderIn("C.UTF-8"); }
TEST(StoreOrder, IsTheOrderOfWholeTextsInEnUs) { ExpectOldOrderIn("en_US.UTF-8"); }

// Enough lines for several batches written aside and merged, twice; and
// with the temporary file refused beyond its first batch (a full disk), the
// rest kept in memory.
TEST(ResultRuns, GiveTheOrderOfWholeTextsAcrossBatches) {
  testing::ScopedLocale collate(LC_COLLATE, "C.UTF-8");
  const std::vector<Result> results = RandomResults(4, 40000);
  Lines expected;
  for (const Result& r : results) expected.push_back(ResultText({r.kind, r.name, r.offset, {}}));
  SortDetailLines(expected);
  for (const bool fileRefused : {false, true}) {
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (fileRefused) {
      rlimit limited = before;
      limited.rlim_cur = ResultRuns::kBatchBytes * 3 / 2;
      setrlimit(RLIMIT_FSIZE, &limited);
    }
    ResultRuns runs;
    for (const Result& r : results) runs.Append({r.kind, r.name, r.offset, {}});
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);
    for (int pass = 0; pass < 2; ++pass) {
      Lines got;
      runs.ForEach([&got](const ResultRuns::Visited& line) {
        got.push_back(line.text);
        return true;
      });
      EXPECT_EQ(got, expected) << "pass " << pass << (fileRefused ? ", the file refused" : "");
    }
  }
}

TEST(ResultStore, KeepsEachLineAsItCame) {
  ResultStore store;
  const std::string longName(3u << 20, 'n');
  store.Append({ResultKind::Ok, "sub/a.txt", 0, {}});
  store.Append({ResultKind::ContentMismatch, "sub/b.bin", 1234567, "damage"});
  store.Append({ResultKind::Ok, "root.txt", 0, {}});
  store.Append({ResultKind::Ok, longName, 0, {}});
  ASSERT_EQ(store.Count(), 4u);
  EXPECT_EQ(store.FolderCount(), 2u) << "a folder is kept once";
  EXPECT_EQ(store.Text(0), "Ok: sub/a.txt");
  EXPECT_EQ(store.Text(1), "!Mismatched contents at offset 1,234,567: sub/b.bin");
  EXPECT_EQ(store.TextLength(1), store.Text(1).size());
  EXPECT_EQ(store.Text(2), "Ok: root.txt");
  EXPECT_EQ(store.Text(3), "Ok: " + longName);
  EXPECT_EQ(store.Note(1), "damage");
  EXPECT_TRUE(store.Note(0).empty());
  store.Clear();
  EXPECT_EQ(store.Count(), 0u);
}

}  // namespace
}  // namespace ovik
