#include "common/NumberFormat.h"
#include "support/EngineHarness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;
using Lines = std::vector<std::string>;

std::string Flipped(std::string bytes, std::size_t offset) {
  bytes[offset] = static_cast<char>(~bytes[offset]);
  return bytes;
}

TEST(CompareFile, EachResultPrefixWithItsCounterAndColours) {
  EngineHarness h;
  const std::string bytes = PatternBytes(1000);
  h.WriteBoth("ok.bin", bytes);
  h.tree.WriteFile("src/missing.bin", bytes);
  h.WriteBoth("src-unreadable", bytes);
  h.fileSystem.FailOpen(h.Src("src-unreadable"), EACCES);
  h.WriteBoth("dst-unreadable", bytes);
  h.fileSystem.FailOpen(h.Dst("dst-unreadable"), EACCES);
  h.tree.WriteFile("src/sizes.bin", bytes);
  h.tree.WriteFile("dst/sizes.bin", bytes + "x");
  h.tree.WriteFile("src/contents.bin", bytes);
  h.tree.WriteFile("dst/contents.bin", Flipped(bytes, 3));

  h.Verify();

  EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: missing.bin", "!Destn read error: dst-unreadable",
                                 "!Mismatched contents at offset 3: contents.bin", "!Mismatched sizes: sizes.bin",
                                 "!Source read error: src-unreadable", "Ok: ok.bin"}));
  const VerifyTotals& t = h.engine.totals;
  EXPECT_EQ(t.SrcFileCount, 6);
  EXPECT_EQ(t.DstFileCount, 5) << "every result but a missing destination counts";
  EXPECT_EQ(t.ErrorCount, 5);
  EXPECT_EQ(t.DstMissingCount, 1);
  EXPECT_EQ(t.SrcReadErrorCount, 1);
  EXPECT_EQ(t.DstReadErrorCount, 1);
  EXPECT_EQ(t.MismatchCount, 2);
  // Ok adds its 1000 bytes, the content mismatch its whole first block, the
  // size mismatch nothing (the counts differ in the first pass).
  EXPECT_EQ(t.DstByteTotal, 2000);
  for (ViewLabel label : {ViewLabel::NumDstFilesMissing, ViewLabel::NumSrcReadErrs, ViewLabel::NumDstReadErrs}) {
    EXPECT_EQ(h.view.Label(label).text, "1");
    EXPECT_EQ(h.view.Label(label).colour, Colour::Red);
  }
  EXPECT_EQ(h.LabelText(ViewLabel::NumMismatches), "2");
  EXPECT_EQ(h.LabelText(ViewLabel::NumErrors), "5");
  EXPECT_EQ(h.view.Label(ViewLabel::NumErrors).colour, Colour::Red);
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFiles), "5");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "2,000");
  EXPECT_EQ(h.view.progressColour, Colour::Red);
  EXPECT_EQ(h.view.progress, 33);  // 2000 × 100 ÷ 6000
  EXPECT_EQ(h.view.status, "Errors");
  EXPECT_EQ(h.view.statusColour, Colour::Red);
  EXPECT_EQ(h.engine.verdict, Verdict::Errors);
  EXPECT_EQ(h.view.scrolls, 6) << "the list scrolls along once per line";
}

TEST(CompareFile, CleanRunIsGreen) {
  EngineHarness h;
  h.WriteBoth("a", PatternBytes(5000));
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"Ok: a"});
  EXPECT_EQ(h.view.status, "Verified OK");
  EXPECT_EQ(h.view.statusColour, Colour::Green);
  EXPECT_EQ(h.view.progress, 100);
  EXPECT_EQ(h.view.progressColour, Colour::Green);
  for (ViewLabel label : {ViewLabel::NumErrors, ViewLabel::NumDstFilesMissing, ViewLabel::NumSrcReadErrs,
                          ViewLabel::NumDstReadErrs, ViewLabel::NumMismatches}) {
    EXPECT_EQ(h.view.Label(label).text, "0");
    EXPECT_EQ(h.view.Label(label).colour, Colour::Green);
  }
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "5,000");
}

// The first difference decides, wherever it falls: in the first or the
// last block (a whole one or not), at the edges of blocks, and inside a
// read of several blocks but not at its start, in every way of reading.
TEST(CompareFile, FirstDifferenceAtBlockBoundaries) {
  constexpr std::size_t kBlock = BlockSize;
  constexpr std::size_t odd = 250000;
  constexpr std::size_t whole = 20 * kBlock;
  constexpr std::size_t large = 2 << 20;  // three reads of up to ten blocks, the last one short
  const struct {
    std::size_t size;
    std::size_t offset;
  } cases[] = {
      // The first block, the edges of blocks, the last block of a file that ends inside it.
      {odd, 0}, {odd, 1}, {odd, kBlock - 1}, {odd, kBlock}, {odd, 2 * kBlock - 1}, {odd, 2 * kBlock}, {odd, odd - 1},
      // The last block of files that end with a whole one.
      {kBlock, kBlock - 1}, {whole, 0}, {whole, whole - kBlock}, {whole, whole - 1},
      // Inside the first read and at its end, at the start of the second and inside it, the last byte.
      {large, 3 * kBlock + 17}, {large, 10 * kBlock - 1}, {large, 10 * kBlock}, {large, 12 * kBlock + 5},
      {large, large - 1},
  };
  for (const testing::Reading reading : testing::kEveryReading) {
    SCOPED_TRACE(testing::ReadingName(reading));
    EngineHarness h;
    h.ReadBy(reading);
    std::int64_t expectedBytes = 0;
    Lines expected;
    for (const auto& c : cases) {
      const std::string bytes = PatternBytes(c.size, 7);
      const std::string name = "flip" + std::to_string(c.size) + "-" + std::to_string(c.offset);
      h.tree.WriteFile("src/" + name, bytes);
      h.tree.WriteFile("dst/" + name, Flipped(bytes, c.offset));
      expected.push_back("!Mismatched contents at offset " + FormatThousands(static_cast<std::int64_t>(c.offset)) +
                         ": " + name);
      // The block holding the difference is counted whole.
      expectedBytes += static_cast<std::int64_t>(std::min(c.size, (c.offset / kBlock + 1) * kBlock));
    }
    h.Verify();
    std::sort(expected.begin(), expected.end());
    Lines lines = h.view.lines;
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(h.engine.totals.MismatchCount, static_cast<std::int32_t>(std::size(cases)));
    EXPECT_EQ(h.engine.totals.DstByteTotal, expectedBytes);
  }
}

struct SizeCase {
  const char* name;
  std::size_t srcSize;
  std::size_t dstSize;
  const char* prefix;
  std::int64_t bytesChecked;
};

TEST(CompareFile, LengthsAndBlockMultiples) {
  const SizeCase cases[] = {
      {"empty", 0, 0, "Ok", 0},
      {"one-block", 102400, 102400, "Ok", 102400},
      {"two-blocks", 204800, 204800, "Ok", 204800},
      {"odd", 102401, 102401, "Ok", 102401},
      {"dst-longer-by-1", 5, 6, "!Mismatched sizes", 0},
      {"dst-longer-after-full-block", 102400, 102401, "!Mismatched sizes", 102400},
      {"dst-shorter", 204800, 204799, "!Mismatched sizes", 102400},
      {"dst-empty", 10, 0, "!Mismatched sizes", 0},
      {"src-empty", 0, 1, "!Mismatched sizes", 0},
      {"dst-one-block-short", 204800, 102400, "!Mismatched sizes", 102400},
      // Lengths that differ in the last pass of a file of several reads.
      {"large-dst-shorter-by-1", 20 * 102400, 20 * 102400 - 1, "!Mismatched sizes", 19 * 102400},
      {"large-dst-longer-by-1", 20 * 102400 + 500, 20 * 102400 + 501, "!Mismatched sizes", 20 * 102400},
  };
  EngineHarness h;
  const std::string pattern = PatternBytes(21 * 102400, 11);
  std::int64_t expectedBytes = 0;
  Lines expected;
  for (const SizeCase& c : cases) {
    h.tree.WriteFile(std::string("src/") + c.name, pattern.substr(0, c.srcSize));
    h.tree.WriteFile(std::string("dst/") + c.name, pattern.substr(0, c.dstSize));
    expected.push_back(std::string(c.prefix) + ": " + c.name);
    expectedBytes += c.bytesChecked;
  }
  h.Verify();
  Lines lines = h.view.lines;
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(h.engine.totals.DstByteTotal, expectedBytes);
  EXPECT_EQ(h.engine.totals.DstFileCount, static_cast<std::int32_t>(std::size(cases)));
}

TEST(CompareFile, ContentsDifferingBeforeTheSizeDoes) {
  EngineHarness h;
  const std::string bytes = PatternBytes(250000, 5);
  h.tree.WriteFile("src/early", bytes);
  h.tree.WriteFile("dst/early", Flipped(bytes, 10) + "tail");
  // A difference inside the pass in which the counts differ is not seen.
  h.tree.WriteFile("src/late", bytes);
  h.tree.WriteFile("dst/late", Flipped(bytes, 210000) + "tail");
  h.Verify();
  EXPECT_EQ(h.view.lines, (Lines{"!Mismatched contents at offset 10: early", "!Mismatched sizes: late"}));
}

TEST(CompareFile, EmptyFilesAreOkAndWriteAZeroByteTotal) {
  EngineHarness h;
  h.WriteBoth("empty", "");
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"Ok: empty"});
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "0");
  EXPECT_EQ(h.LabelText(ViewLabel::NumSrcBytes), "0");
  EXPECT_EQ(h.view.progress, 0) << "no source bytes: the bar stays at 0";
  EXPECT_EQ(h.view.status, "Verified OK");
}

TEST(CompareFile, FolderWhereAFileIsExpectedIsMissing) {
  EngineHarness h;
  h.tree.WriteFile("src/name", "data");
  h.tree.MakeFolder("dst/name");
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Destn file missing: name"});
  EXPECT_EQ(h.engine.totals.DstFileCount, 0);
}

TEST(CompareFile, UnopenableDestinationDatedBefore1980ExistsAndIsAReadError) {
  EngineHarness h;
  h.WriteBoth("old", "data");
  const timespec epoch[2] = {{0, 0}, {0, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, h.Dst("old").c_str(), epoch, 0), 0);
  h.fileSystem.FailOpen(h.Dst("old"), EACCES);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Destn read error: old"});
}

TEST(CompareFile, DestinationThatCannotBeLookedAtIsAReadErrorNotMissing) {
  for (const auto& [error, line] : {std::pair{EACCES, "!Destn read error: f"}, {EIO, "!Destn read error: f"},
                                    {ENOENT, "!Destn file missing: f"}, {ENOTDIR, "!Destn file missing: f"}}) {
    EngineHarness h;
    h.WriteBoth("f", "data");
    h.fileSystem.FailOpen(h.Dst("f"), error);
    h.fileSystem.FailLookUp(h.Dst("f"), error);
    h.Verify();
    EXPECT_EQ(h.view.lines, Lines{line}) << error;
  }
}

TEST(CompareFile, DestinationThatIsTheSourceFileItselfIsNotRead) {
  EngineHarness h;
  const std::string bytes = PatternBytes(5000);
  h.tree.WriteFile("src/photo.jpg", bytes);  // kept by the copy as a link back to the source
  ASSERT_EQ(symlink(h.Src("photo.jpg").c_str(), h.Dst("photo.jpg").c_str()), 0);
  h.tree.WriteFile("src/hard", bytes);
  ASSERT_EQ(link(h.Src("hard").c_str(), h.Dst("hard").c_str()), 0);
  h.tree.WriteFile("src/album/a", bytes);
  ASSERT_EQ(symlink(h.Src("album").c_str(), h.Dst("album").c_str()), 0);
  h.WriteBoth("copy", bytes);
  h.fileSystem.FailRead(h.Src("photo.jpg"), 0, EIO);  // a read would show as a read error

  h.Verify();

  EXPECT_EQ(h.view.lines, (Lines{"!Destn is the source file: album/a", "!Destn is the source file: hard",
                                 "!Destn is the source file: photo.jpg", "Ok: copy"}));
  const VerifyTotals& t = h.engine.totals;
  EXPECT_EQ(t.ErrorCount, 3);
  EXPECT_EQ(t.DstMissingCount, 3);
  EXPECT_EQ(t.DstFileCount, 1);
  EXPECT_EQ(t.DstByteTotal, 5000);
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFilesMissing), "3");
  EXPECT_EQ(h.view.Label(ViewLabel::NumDstFilesMissing).colour, Colour::Red);
  EXPECT_EQ(h.view.status, "Errors");
}

// Among files of its folder, so that the destination's folder is listed.
TEST(CompareFile, SpecialFileAtTheDestinationIsNotOpened) {
  EngineHarness h;
  h.tree.WriteFile("src/pipe", "data");
  ASSERT_EQ(mkfifo(h.Dst("pipe").c_str(), 0644), 0);
  h.WriteBoth("real", "r");
  alarm(20);
  h.Verify();
  alarm(0);
  EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: pipe", "Ok: real"}));
}

TEST(CompareFile, SourceThatChangedLengthSinceTheListing) {
  EngineHarness h;
  h.WriteBoth("grown", "12345");
  h.engine.ResetResults();
  h.engine.SourceRootLength = static_cast<std::int32_t>(h.Src().size());
  h.engine.CompareFile(h.Src("grown"), h.Dst("grown"), 4);
  EXPECT_EQ(h.view.lines, Lines{"!Mismatched sizes: grown"});
  EXPECT_EQ(h.engine.totals.DstByteTotal, 5);
}

}  // namespace
}  // namespace ovik

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;

// What the first difference looks like, told from the blocks in hand, in
// every way of reading; a damage of no known kind is "other".
TEST(CompareFile, EachDamageGetsItsNote) {
  constexpr std::size_t kSize = 3 * BlockSize;
  constexpr std::size_t at = 150000;
  const std::string bytes = PatternBytes(kSize, 3);
  const auto overwritten = [&](std::size_t count, char value) {
    std::string copy = bytes;
    copy.replace(at, count, count, value);
    return copy;
  };
  std::string threeBits = bytes;
  threeBits[at] ^= 1;
  threeBits[at + 10] ^= 2;
  threeBits[at + 300] ^= 4;
  std::string shortAndDamaged = bytes.substr(0, 250000);
  shortAndDamaged[240000] ^= 1;
  std::string other = bytes;
  other.replace(at, 2000, PatternBytes(2000, 99));
  const std::pair<std::string, std::string> cases[][1] = {
      {{overwritten(4096, '\0'), "4,096 bytes of zeros from offset 150,000: an area never written or trimmed"}},
      {{overwritten(4096, '\xff'), "4,096 bytes of 0xFF from offset 150,000: erased flash"}},
      {{bytes.substr(0, at) + static_cast<char>(bytes[at] ^ 0x10) + bytes.substr(at + 1),
        "1 bit flipped in 1 byte from offset 150,000: bit rot or bad memory"}},
      {{threeBits, "3 bits flipped in 301 bytes from offset 150,000: bit rot or bad memory"}},
      {{bytes.substr(0, at) + bytes.substr(at + 1) + "x",
        "from offset 150,000 the source's bytes 1 byte later: 1 byte lost there (a shifted copy)"}},
      {{bytes.substr(0, at) + "\x01\x02\x03\x04\x05\x06\x07" + bytes.substr(at, kSize - at - 7),
        "7 bytes put in at offset 150,000, then the source's bytes (a shifted copy)"}},
      {{bytes.substr(0, 2 * BlockSize) + bytes.substr(0, BlockSize),
        "from offset 204,800 the data repeats the file's bytes at offset 0: a drive that wraps around, as fake "
        "large flash drives do"}},
      {{bytes.substr(0, 250000), "the destination is 57,200 bytes short (250,000 of 307,200); the part both have matches"}},
      {{bytes + PatternBytes(1000, 4),
        "the destination is 1,000 bytes longer (308,200 instead of 307,200); the part both have matches"}},
      {{shortAndDamaged,
        "the destination is 57,200 bytes short (250,000 of 307,200); the part both have differs from offset 240,000"}},
      {{other, "2,000 bytes from offset 150,000 differ, with no pattern recognised"}},
  };
  for (const testing::Reading reading : testing::kEveryReading) {
    SCOPED_TRACE(testing::ReadingName(reading));
    EngineHarness h;
    h.ReadBy(reading);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const std::string name = "f" + std::to_string(i);
      h.tree.WriteFile("src/" + name, bytes);
      h.tree.WriteFile("dst/" + name, cases[i][0].first);
      expected.push_back(name + " | " + cases[i][0].second);
    }
    h.WriteBoth("same", bytes);
    h.Verify();
    std::vector<std::string> notes;
    for (const auto& [line, note] : h.view.notes) notes.push_back(line.substr(line.rfind(' ') + 1) + " | " + note);
    std::sort(notes.begin(), notes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(h.view.lines.back(), "Ok: same") << "a file that matches has no note";
  }
}

// Read on to the end, the note counts the differing blocks and names their
// ranges; without it nothing past the first difference is read.
TEST(CompareFile, ExplainedDamageCountsEveryDifferingBlock) {
  EngineHarness h;
  const std::string bytes = PatternBytes(10 * BlockSize, 5);
  std::string copy = bytes;
  for (const std::size_t offset : {150000u, 150001u, 210000u, 520000u, 810000u, 1000000u}) copy[offset] ^= 1;
  h.tree.WriteFile("src/f", bytes);
  h.tree.WriteFile("dst/f", copy);
  h.engine.explainDamage = true;
  h.Verify();
  ASSERT_EQ(h.view.notes.size(), 1u);
  EXPECT_EQ(h.view.lines, (std::vector<std::string>{"!Mismatched contents at offset 150,000: f"}));
  EXPECT_EQ(h.view.notes[0].second,
            "2 bits flipped in 2 bytes from offset 150,000: bit rot or bad memory\n"
            "5 of 9 blocks of 102,400 bytes from offset 102,400 on differ (6 bytes); 4 ranges: 150,000-210,000, "
            "520,000-520,000, 810,000-810,000, ...; spanning 150,000-1,000,000");
}

}  // namespace
}  // namespace ovik
