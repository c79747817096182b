#include "common/NumberFormat.h"
#include "reports/DetailOrder.h"
#include "support/EngineHarness.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <random>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;

constexpr std::int64_t kBlock = static_cast<std::int64_t>(BlockSize);

// What a damaged copy must produce: its line and its share of the totals.
struct Expected {
  std::vector<std::string> lines;
  // Lines with a note, and a part of the note that tells its damage.
  std::map<std::string, std::string> notes;
  VerifyTotals totals;
};

class DamagedCopy {
 public:
  DamagedCopy(EngineHarness& h, unsigned seed, bool includeHidden)
      : h_(h), random_(seed), includeHidden_(includeHidden) {}

  Expected Build(int fileCount) {
    for (const char* folder : kFolders) {
      h_.tree.MakeFolder(std::string("src/") + folder);
      h_.tree.MakeFolder(std::string("dst/") + folder);
    }
    h_.tree.MakeFolder("src/gone");  // a source folder without a destination twin
    // A source folder that cannot be listed, and a destination folder that
    // cannot be searched although the copies are in it.
    for (const char* folder : {"src/locked", "dst/locked", "src/shut", "dst/shut"}) h_.tree.MakeFolder(folder);
    h_.fileSystem.MakeUnreachable(h_.Src("locked"));
    h_.fileSystem.MakeUnreachable(h_.Dst("shut"));
    Expect("!Source read error", "locked/");
    ++expected_.totals.ErrorCount;
    ++expected_.totals.SrcReadErrorCount;
    expected_.totals.SrcFolderCount = static_cast<std::int32_t>(std::size(kFolders)) + 3;
    expected_.totals.DstFolderCount = static_cast<std::int32_t>(std::size(kFolders)) + 2;
    // Hidden folders without a destination twin: named when skipped,
    // their files missing when walked.
    for (const char* hidden : {".hid/", "d1/.cache/"}) {
      h_.tree.WriteFile(std::string("src/") + hidden + "never", "x");
      if (!includeHidden_) {
        Expect("Hidden folder skipped", hidden);
        continue;
      }
      Expect("!Destn file missing", std::string(hidden) + "never");
      ++expected_.totals.SrcFolderCount;
      ++expected_.totals.SrcFileCount;
      ++expected_.totals.SrcByteTotal;
      ++expected_.totals.ErrorCount;
      ++expected_.totals.DstMissingCount;
    }

    for (int i = 0; i < fileCount; ++i) AddFile(i);
    SortDetailLines(expected_.lines);
    return expected_;
  }

 private:
  static constexpr const char* kFolders[] = {"d1", "d1/Sub", "d2", "d2/x", "d2/x/y", "caf\xe9"};

  std::int64_t Uniform(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
  }

  std::string FolderFor() {
    const std::int64_t pick = Uniform(0, static_cast<std::int64_t>(std::size(kFolders)) + 3);
    if (pick == 0) return "";
    if (pick == 1) return "gone/";
    if (pick == 2) return "locked/";
    if (pick == 3) return "shut/";
    return std::string(kFolders[pick - 4]) + "/";
  }

  std::int64_t SizeFor() {
    static constexpr std::int64_t edges[] = {0, 1, kBlock - 1, kBlock, kBlock + 1, 2 * kBlock};
    switch (Uniform(0, 3)) {
      case 0: return edges[Uniform(0, std::size(edges) - 1)];
      case 1: return Uniform(1, 5000);
      default: return Uniform(0, 3 * kBlock);
    }
  }

  std::int64_t FlipOffsetFor(std::int64_t size) {
    const std::int64_t candidates[] = {0, kBlock - 1, kBlock, size - 1, Uniform(0, size - 1)};
    for (;;) {
      const std::int64_t offset = candidates[Uniform(0, std::size(candidates) - 1)];
      if (offset < size) return offset;
    }
  }

  void AddFile(int index) {
    std::string name = "File" + std::to_string(index);
    if (index % 3 == 0) name = "file" + std::to_string(index) + ".BIN";
    if (index % 17 == 0) name += "\xff";
    const std::string relative = FolderFor() + name;
    // The first two are longer than the blocks read ahead of one file, so
    // that its reading stops for room and goes on.
    const std::int64_t size = index < 2 ? 40 * kBlock + index : SizeFor();
    const std::string bytes = PatternBytes(static_cast<std::size_t>(size), static_cast<unsigned>(index));
    h_.tree.WriteFile("src/" + relative, bytes);
    if (relative.rfind("locked/", 0) == 0) return;  // never seen

    VerifyTotals& t = expected_.totals;
    ++t.SrcFileCount;
    t.SrcByteTotal += size;
    const bool destinationFolderExists = relative.rfind("gone/", 0) != 0;
    const std::int64_t damage = Uniform(0, 11);
    if (relative.rfind("shut/", 0) == 0) {
      // Whether or not the copy is there, it cannot be looked at.
      if (damage != 0) h_.tree.WriteFile("dst/" + relative, bytes);
      Expect("!Destn read error", relative);
      ++t.DstFileCount;
      ++t.ErrorCount;
      ++t.DstReadErrorCount;
      return;
    }
    if (!destinationFolderExists || damage == 0) {
      Expect("!Destn file missing", relative);
      ++t.ErrorCount;
      ++t.DstMissingCount;
      return;
    }
    ++t.DstFileCount;
    std::string copy = bytes;
    if (damage >= 10) {
      // A block that cannot be read, on either side: the blocks before it count.
      const bool source = damage == 10;
      const std::int64_t block = Uniform(0, size / kBlock);
      h_.fileSystem.FailRead(h_.tree.Path((source ? "src/" : "dst/") + relative), static_cast<int>(block), EIO);
      Expect(source ? "!Source read error" : "!Destn read error", relative);
      ++t.ErrorCount;
      ++(source ? t.SrcReadErrorCount : t.DstReadErrorCount);
      t.DstByteTotal += block * kBlock;
    } else if (damage <= 4 || (damage <= 7 && size == 0)) {
      Expect("Ok", relative);
      t.DstByteTotal += size;
    } else if (damage == 7 && size >= 200) {
      // Bytes of no pattern, enough of them in the first differing block.
      std::int64_t start = Uniform(0, size - 100);
      start -= std::max<std::int64_t>(0, start % kBlock - (kBlock - 100));
      const auto length = static_cast<std::size_t>(std::min(Uniform(64, 3000), size - start));
      copy.replace(static_cast<std::size_t>(start), length, PatternBytes(length, 1000u + static_cast<unsigned>(index)));
      const auto offset = static_cast<std::int64_t>(
          std::mismatch(bytes.begin(), bytes.end(), copy.begin()).first - bytes.begin());
      Expect("!Mismatched contents at offset " + FormatThousands(offset), relative, "no pattern recognised");
      ++t.ErrorCount;
      ++t.MismatchCount;
      t.DstByteTotal += std::min(size, (offset / kBlock + 1) * kBlock);
    } else if (damage <= 7) {
      const std::int64_t offset = FlipOffsetFor(size);
      copy[static_cast<std::size_t>(offset)] ^= static_cast<char>(Uniform(1, 255));
      Expect("!Mismatched contents at offset " + FormatThousands(offset), relative, "flipped in 1 byte");
      ++t.ErrorCount;
      ++t.MismatchCount;
      t.DstByteTotal += std::min(size, (offset / kBlock + 1) * kBlock);
    } else {
      if (damage == 8 && size > 0) copy.resize(static_cast<std::size_t>(Uniform(0, size - 1)));
      else copy += PatternBytes(static_cast<std::size_t>(Uniform(1, 150000)), 99);
      Expect("!Mismatched sizes", relative,
             copy.size() < bytes.size() ? "short (" + FormatThousands(static_cast<std::int64_t>(copy.size())) + " of "
                                        : std::string("longer ("));
      ++t.ErrorCount;
      ++t.MismatchCount;
      // Whole blocks before the pass in which the counts differ.
      t.DstByteTotal += std::min<std::int64_t>(size, static_cast<std::int64_t>(copy.size())) / kBlock * kBlock;
    }
    h_.tree.WriteFile("dst/" + relative, copy);
  }

  void Expect(const std::string& prefix, const std::string& relative, const std::string& note = "") {
    expected_.lines.push_back(prefix + ": " + relative);
    if (!note.empty()) expected_.notes[expected_.lines.back()] = note;
  }

  EngineHarness& h_;
  std::mt19937_64 random_;
  bool includeHidden_;
  Expected expected_;
};

// Reading ahead must not change a single line or count: off, by readers as
// they come, and squeezed so that readers wait for room and for each other
// and read one block at a time.
enum class Reading { Direct, Threads, ThreadsSqueezed };

class RandomDamage : public ::testing::TestWithParam<std::tuple<unsigned, Reading>> {};

TEST_P(RandomDamage, EveryFileGetsTheLineItsDamageMustProduce) {
  EngineHarness h;
  const auto [seed, reading] = GetParam();
  h.engine.readAhead = reading != Reading::Direct;
  if (reading == Reading::ThreadsSqueezed) h.engine.readAheadLimits = {3, 2 * BlockSize, 4, 1, 2, 1};
  // One seed walks the hidden folders too, so that the lookahead follows
  // that rule in every reading mode.
  h.engine.includeHidden = seed == 7u;
  const Expected expected = DamagedCopy(h, seed, h.engine.includeHidden).Build(120);
  ASSERT_GT(expected.totals.DstMissingCount, 0);
  ASSERT_GT(expected.totals.MismatchCount, 10);
  h.Verify();

  EXPECT_EQ(h.view.lines, expected.lines);
  std::size_t noted = 0;
  for (const auto& [line, note] : h.view.notes) {
    const auto wanted = expected.notes.find(line);
    if (wanted == expected.notes.end()) continue;
    ++noted;
    EXPECT_NE(note.find(wanted->second), std::string::npos) << line << ": " << note;
  }
  EXPECT_EQ(noted, expected.notes.size());
  const VerifyTotals& actual = h.engine.totals;
  const VerifyTotals& want = expected.totals;
  EXPECT_EQ(actual.SrcFileCount, want.SrcFileCount);
  EXPECT_EQ(actual.SrcFolderCount, want.SrcFolderCount);
  EXPECT_EQ(actual.SrcByteTotal, want.SrcByteTotal);
  EXPECT_EQ(actual.DstFolderCount, want.DstFolderCount);
  EXPECT_EQ(actual.DstFileCount, want.DstFileCount);
  EXPECT_EQ(actual.DstByteTotal, want.DstByteTotal);
  EXPECT_EQ(actual.ErrorCount, want.ErrorCount);
  EXPECT_EQ(actual.DstMissingCount, want.DstMissingCount);
  EXPECT_EQ(actual.MismatchCount, want.MismatchCount);
  EXPECT_EQ(actual.SrcReadErrorCount, want.SrcReadErrorCount);
  EXPECT_EQ(actual.DstReadErrorCount, want.DstReadErrorCount);
  EXPECT_EQ(h.view.status, want.ErrorCount > 0 ? "Errors" : "Verified OK");
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, RandomDamage,
                         ::testing::Combine(::testing::Values(1u, 7u, 2026u),
                                            ::testing::Values(Reading::Direct, Reading::Threads,
                                                              Reading::ThreadsSqueezed)));

}  // namespace
}  // namespace ovik
