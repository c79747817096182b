// Each medium read at its own pace: what the media are said to be decides
// how many readers read them and in which order, never a line or a count.

#include "engine/reading/ReaderTuning.h"
#include "engine/VerifyEngine.h"
#include "support/FakeClock.h"
#include "support/LoweredOpenFileLimit.h"
#include "support/RecordingView.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <mutex>
#include <thread>

namespace ovik {
namespace {

using Lines = std::vector<std::string>;

// The machine's files, with the media under the two roots said to be of a
// chosen kind, every file's data placed on its device where the test says,
// and every read recorded in the order it was asked for.
class PlacedFileSystem final : public FileSystem {
 public:
  struct Read {
    std::string path;
    std::int64_t offset;
    std::thread::id thread;
  };

  bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries, int& error) override {
    return SystemFileSystem().ListEntries(folder, sizes, entries, error);
  }
  EntryLookup LookUp(const std::string& path) override { return SystemFileSystem().LookUp(path); }
  void ReadEntriesAhead(const std::string& folder, const std::vector<std::string>& names) override {
    const std::lock_guard lock(mutex);
    for (const std::string& name : names) entriesReadAhead.push_back(folder + "/" + name);
  }
  OpenResult OpenForRead(const std::string& path, ReadRole role) override {
    OpenResult opened = SystemFileSystem().OpenForRead(path, role);
    if (opened.file) opened.file = std::make_shared<PlacedFile>(*this, path, std::move(opened.file));
    return opened;
  }
  void ReleaseFolders() override { SystemFileSystem().ReleaseFolders(); }
  MediumInfo DescribeMedium(const std::string& folder) override {
    for (const auto& [root, medium] : media)
      if (folder.starts_with(root)) return medium;
    return {};
  }

  std::map<std::string, MediumInfo> media;            // by root
  std::map<std::string, std::uint64_t> placeOnDevice;  // by path
  std::mutex mutex;
  std::vector<Read> reads;
  struct ReadAhead {
    std::string path;
    std::size_t readsBefore;  // of `reads`, when it was asked
  };
  std::vector<ReadAhead> readAhead;         // files asked to read their start ahead, in order
  std::vector<std::string> entriesReadAhead;
  std::set<std::string> toldWaits;  // files asked to tell when a read waits for the device
  std::string slowRoot;             // each read below it takes 20 ms: time for another reader to start
  bool inMemory = false;            // every file is said to be in the page cache
  std::set<std::string> outOfMemory;  // but these

 private:
  class PlacedFile final : public ReadableFile {
   public:
    PlacedFile(PlacedFileSystem& fileSystem, std::string path, std::shared_ptr<ReadableFile> file)
        : fileSystem_(fileSystem), path_(std::move(path)), file_(std::move(file)) {}
    std::int64_t ReadAt(std::byte* buffer, std::size_t size, std::int64_t offset, int& error) override {
      {
        const std::lock_guard lock(fileSystem_.mutex);
        fileSystem_.reads.push_back({path_, offset, std::this_thread::get_id()});
      }
      if (!fileSystem_.slowRoot.empty() && path_.starts_with(fileSystem_.slowRoot))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      return file_->ReadAt(buffer, size, offset, error);
    }
    std::optional<std::uint64_t> PhysicalOffset() override {
      const auto found = fileSystem_.placeOnDevice.find(path_);
      if (found == fileSystem_.placeOnDevice.end()) return std::nullopt;
      return found->second;
    }
    bool InMemory() override {
      return fileSystem_.inMemory && fileSystem_.outOfMemory.count(path_) == 0;
    }
    void WillRead(std::int64_t) override {
      const std::lock_guard lock(fileSystem_.mutex);
      fileSystem_.readAhead.push_back({path_, fileSystem_.reads.size()});
    }
    void TellWaits(WaitNotice* notice) override {
      if (notice != nullptr) {
        const std::lock_guard lock(fileSystem_.mutex);
        fileSystem_.toldWaits.insert(path_);
      }
      file_->TellWaits(notice);
    }

   private:
    PlacedFileSystem& fileSystem_;
    std::string path_;
    std::shared_ptr<ReadableFile> file_;
  };
};

MediumInfo Medium(MediumKind kind, const char* id) {
  MediumInfo medium;
  medium.kernelSays = kind;
  medium.id = id;
  medium.description = std::string("test medium ") + id;
  return medium;
}

struct PacedRun {
  Lines lines;
  std::string chosen;
  std::vector<PlacedFileSystem::Read> reads;
  std::vector<PlacedFileSystem::ReadAhead> readAhead;
  Lines entriesReadAhead;
  std::set<std::string> toldWaits;
};

constexpr int kFiles = 40;

std::string NameOf(int i) { return "f" + std::to_string(100 + i); }

// Files placed on the device in the opposite order of their names, some
// changed or missing in the destination, and two empty folders.
PacedRun VerifyOn(const MediumInfo& source, const MediumInfo& destination, std::size_t readers = 0,
                  bool slowDestination = false, bool inMemory = false, const std::set<int>& outOfMemory = {}) {
  testing::TempTree tree;
  PlacedFileSystem fileSystem;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = NameOf(i);
    const std::string bytes = testing::PatternBytes(static_cast<std::size_t>(1000 + 300 * i), static_cast<unsigned>(i));
    tree.WriteFile("src/" + name, bytes);
    if (i % 13 != 5) tree.WriteFile("dst/" + name, i % 7 == 3 ? bytes + "x" : bytes);
    fileSystem.placeOnDevice[tree.Path("src/" + name)] = static_cast<std::uint64_t>(kFiles - i) * 4096;
    fileSystem.placeOnDevice[tree.Path("dst/" + name)] = static_cast<std::uint64_t>(kFiles - i) * 4096 + (1 << 20);
    if (outOfMemory.count(i) != 0) fileSystem.outOfMemory.insert(tree.Path("src/" + name));
  }
  for (const char* folder : {"src/a", "src/b", "dst/a", "dst/b"}) tree.MakeFolder(folder);
  fileSystem.media[tree.Path("src")] = source;
  fileSystem.media[tree.Path("dst")] = destination;
  if (slowDestination) fileSystem.slowRoot = tree.Path("dst");
  fileSystem.inMemory = inMemory;
  testing::RecordingView view;
  testing::FakeClock clock;
  VerifyEngine engine(view, fileSystem, clock);
  engine.readers = readers;
  PacedRun run;
  engine.onReadingChosen = [&](const std::string& text) { run.chosen = text; };
  engine.VerifyCommand(tree.Path("src"), tree.Path("dst"));
  run.lines = view.lines;
  run.reads = fileSystem.reads;
  // Relative to the tree, so that runs compare.
  for (PlacedFileSystem::Read& read : run.reads) read.path = read.path.substr(tree.root().size() + 1);
  for (const std::string& path : fileSystem.toldWaits) run.toldWaits.insert(path.substr(tree.root().size() + 1));
  run.readAhead = fileSystem.readAhead;
  for (PlacedFileSystem::ReadAhead& ahead : run.readAhead) ahead.path = ahead.path.substr(tree.root().size() + 1);
  for (const std::string& entry : fileSystem.entriesReadAhead)
    run.entriesReadAhead.push_back(entry.substr(tree.root().size() + 1));
  return run;
}

// The reads of one side, in the order asked.
Lines ReadsOf(const PacedRun& run, const std::string& side) {
  Lines names;
  for (const PlacedFileSystem::Read& read : run.reads)
    if (read.path.starts_with(side + "/") && (names.empty() || names.back() != read.path)) names.push_back(read.path);
  return names;
}

// How often the reads went from one side to the other.
int SideChanges(const PacedRun& run) {
  int changes = 0;
  for (std::size_t i = 1; i < run.reads.size(); ++i)
    changes += run.reads[i].path.substr(0, 3) != run.reads[i - 1].path.substr(0, 3) ? 1 : 0;
  return changes;
}

TEST(MediumPace, EveryKindOfMediumGivesTheSameLines) {
  const PacedRun plain = VerifyOn(Medium(MediumKind::Memory, "0:1"), Medium(MediumKind::NonRotational, "8:0"));
  ASSERT_EQ(plain.lines.size(), static_cast<std::size_t>(kFiles));
  EXPECT_NE(plain.chosen.find("many readers"), std::string::npos) << plain.chosen;
  // A read in memory never waits for a device; tmpfs refuses every read
  // that may not wait, so asking would count each one as a wait.
  EXPECT_FALSE(plain.toldWaits.empty());
  for (const std::string& path : plain.toldWaits) EXPECT_TRUE(path.starts_with("dst/")) << path;
  const struct {
    const char* name;
    MediumInfo source;
    MediumInfo destination;
    rlim_t openFiles = 0;  // the process's limit during the run; 0: as it is
  } cases[] = {
      {"a rotational destination", Medium(MediumKind::NonRotational, "259:0"), Medium(MediumKind::Rotational, "8:16")},
      // Fewer than the two files of each pair may be open at once.
      {"a rotational destination, few files open", Medium(MediumKind::NonRotational, "259:0"),
       Medium(MediumKind::Rotational, "8:16"), 2 * kFiles - 20},
      {"a destination nothing is known of", Medium(MediumKind::Memory, "0:1"), Medium(MediumKind::Unknown, "")},
      {"a rotational source", Medium(MediumKind::Rotational, "8:16"), Medium(MediumKind::NonRotational, "259:0")},
      {"both on one rotational disk", Medium(MediumKind::Rotational, "8:16"), Medium(MediumKind::Rotational, "8:16")},
  };
  for (const auto& c : cases) {
    std::optional<testing::LoweredOpenFileLimit> limit;
    if (c.openFiles != 0) limit.emplace(c.openFiles);
    const PacedRun run = VerifyOn(c.source, c.destination);
    limit.reset();
    EXPECT_EQ(run.lines, plain.lines) << c.name;
    EXPECT_NE(run.chosen.find("one head"), std::string::npos) << c.name << ": " << run.chosen;
    EXPECT_NE(run.chosen.find("settled on: "), std::string::npos) << c.name << ": " << run.chosen;
  }
}

// One reader on one head reads the files in the order their data lies on
// it, which here is the opposite of the walk's. While it reads one, the
// next is asked for, so that the head never waits for the reader; the
// destination's sub-folders are read ahead of their lookups, together.
TEST(MediumPace, OneHeadReadsInTheOrderOfTheDataOnIt) {
  const PacedRun run = VerifyOn(Medium(MediumKind::NonRotational, "259:0"), Medium(MediumKind::Rotational, "8:16"), 1);
  const Lines dstReads = ReadsOf(run, "dst");
  ASSERT_FALSE(dstReads.empty());
  Lines sorted = dstReads;
  std::sort(sorted.rbegin(), sorted.rend());
  EXPECT_EQ(dstReads, sorted) << "the destination read against the order of its data";
  EXPECT_NE(run.chosen.find("test medium 8:16"), std::string::npos) << run.chosen;
  EXPECT_NE(run.chosen.find("1 reader (pinned)"), std::string::npos) << run.chosen;

  Lines askedAhead;
  for (const PlacedFileSystem::ReadAhead& ahead : run.readAhead) {
    askedAhead.push_back(ahead.path);
    for (std::size_t i = 0; i < ahead.readsBefore; ++i)
      EXPECT_NE(run.reads[i].path, ahead.path) << "asked to read ahead after it was read";
  }
  EXPECT_EQ(askedAhead, Lines(dstReads.begin() + 1, dstReads.end()));
  Lines subFolders = run.entriesReadAhead;
  std::sort(subFolders.begin(), subFolders.end());
  EXPECT_EQ(subFolders, (Lines{"dst/a", "dst/b"}));
  const PacedRun onSource = VerifyOn(Medium(MediumKind::Rotational, "8:16"), Medium(MediumKind::NonRotational, "259:0"), 1);
  EXPECT_EQ(onSource.entriesReadAhead, Lines{}) << "the destination is not on the head";
}

// A source on flash and a destination that seeks: the head's reader reads
// the destinations while other readers read the sources apart, so the
// head never waits for them (unless it finds one nobody started on).
TEST(MediumPace, TheOtherMediumIsReadApartFromTheHead) {
  const PacedRun run =
      VerifyOn(Medium(MediumKind::NonRotational, "259:0"), Medium(MediumKind::Rotational, "8:16"), 0, true);
  EXPECT_NE(run.chosen.find("each source read apart at its own pace"), std::string::npos) << run.chosen;
  // Any reader may take the head's next file, so a pair's source counts
  // as the head's only where the thread that read its destination read it.
  std::map<std::string, std::set<std::thread::id>> readersOf;
  for (const PlacedFileSystem::Read& read : run.reads) readersOf[read.path].insert(read.thread);
  int sourcesReadByTheHead = 0;
  for (int i = 0; i < kFiles; ++i)
    for (const std::thread::id& thread : readersOf["src/" + NameOf(i)])
      if (readersOf["dst/" + NameOf(i)].count(thread) != 0) ++sourcesReadByTheHead;
  EXPECT_LE(sourcesReadByTheHead, kFiles / 4) << run.chosen;
  const PacedRun both = VerifyOn(Medium(MediumKind::Rotational, "8:16"), Medium(MediumKind::Rotational, "8:17"));
  EXPECT_EQ(both.chosen.find("read apart"), std::string::npos) << both.chosen;
}

// Both sides on one disk: a stretch of one side, then of the other, never
// a block of each in turn. Found in memory, each pair is read a block of
// each side in turn, so that a block is compared while the processor's
// cache still holds it.
TEST(MediumPace, BothSidesOnOneHeadAreReadAStretchOfEachAtATime) {
  const MediumInfo disk = Medium(MediumKind::Rotational, "8:16");
  const PacedRun run = VerifyOn(disk, disk, 1);
  ASSERT_GT(run.reads.size(), static_cast<std::size_t>(kFiles));
  EXPECT_LE(SideChanges(run), 3) << "the head went between the two sides for every file";
  EXPECT_NE(run.chosen.find("a stretch of sources, then of destinations"), std::string::npos) << run.chosen;
  const PacedRun cached = VerifyOn(disk, disk, 0, false, true);
  EXPECT_NE(cached.chosen.find("found in memory"), std::string::npos) << cached.chosen;
  EXPECT_GT(SideChanges(cached), kFiles / 2) << "files found in memory read in stretches";
  EXPECT_EQ(cached.lines, run.lines);
  // The system's memory reclaim takes a page of a warm tree here and there.
  const PacedRun oneOut = VerifyOn(disk, disk, 0, false, true, {kFiles - 1});
  EXPECT_NE(oneOut.chosen.find("found in memory"), std::string::npos) << oneOut.chosen;
  const PacedRun eachEighthOut = VerifyOn(disk, disk, 0, false, true, {0, 8, 16, 24, 32});
  EXPECT_EQ(eachEighthOut.chosen.find("found in memory"), std::string::npos) << eachEighthOut.chosen;
  EXPECT_EQ(eachEighthOut.lines, run.lines);
}

// Pairs decided at their open and empty files read nothing, so they tell
// nothing of the medium, even where every file is said to be in memory.
TEST(MediumPace, ABatchWithNothingToReadTellsNothingOfTheMedium) {
  testing::TempTree tree;
  PlacedFileSystem fileSystem;
  for (int i = 0; i < kFiles; ++i) {
    tree.WriteFile("src/" + NameOf(i), i % 2 == 0 ? "" : "x");
    if (i % 2 == 0) tree.WriteFile("dst/" + NameOf(i), "");
  }
  fileSystem.media[tree.Path("src")] = Medium(MediumKind::Rotational, "8:16");
  fileSystem.media[tree.Path("dst")] = Medium(MediumKind::Rotational, "8:16");
  fileSystem.inMemory = true;
  testing::RecordingView view;
  testing::FakeClock clock;
  VerifyEngine engine(view, fileSystem, clock);
  std::string chosen;
  engine.onReadingChosen = [&](const std::string& text) { chosen = text; };
  engine.VerifyCommand(tree.Path("src"), tree.Path("dst"));
  EXPECT_NE(chosen.find("settled on: one head"), std::string::npos) << chosen;
}

// One reader to begin with; one more while each raises the rate clearly;
// again after a while, and when the files change from small to large.
TEST(ReaderTuning, KeepsReadersOnlyWhileTheRateRisesClearly) {
  const struct {
    const char* name;
    std::vector<double> secondsPerBatch;  // of 100 small files each
    std::size_t settled;
  } cases[] = {
      {"a second reader changes nothing", {1.0, 0.95, 1.0}, 1},
      {"a second reader helps, a third does not", {1.0, 0.5, 0.48, 0.5}, 2},
      {"every reader helps up to the most", {1.0, 0.5, 0.25, 0.12, 0.12}, 4},
      {"a slower second reader", {1.0, 2.0, 1.0}, 1},
      // Tried again against the rate of now, slower than at first.
      {"a second reader helps when tried again",
       [] {
         std::vector<double> spans{1.0, 1.0};
         spans.insert(spans.end(), ReaderTuning::kTryAgainAfter - 1, 1.0);
         spans.insert(spans.end(), {1.5, 0.5, 0.5});
         return spans;
       }(),
       2},
  };
  for (const auto& c : cases) {
    ReaderTuning tuning(4, false);
    EXPECT_EQ(tuning.Readers(), 1u) << c.name;
    for (double seconds : c.secondsPerBatch) tuning.BatchRead(100, 100 * 4096.0, seconds);
    EXPECT_EQ(tuning.Readers(), c.settled) << c.name;
  }

  ReaderTuning tuning(4, false);
  tuning.BatchRead(100, 100 * 4096.0, 1.0);
  tuning.BatchRead(100, 100 * 4096.0, 1.0);
  ASSERT_EQ(tuning.Readers(), 1u);
  tuning.BatchRead(100, 100 * 4096.0, 1.0);
  EXPECT_EQ(tuning.Readers(), 1u) << "settled: no more tries for a while";
  tuning.BatchRead(4, 4 * 64.0 * (1 << 20), 1.0);  // large files now: measured again at one
  tuning.BatchRead(4, 4 * 64.0 * (1 << 20), 1.0);
  EXPECT_EQ(tuning.Readers(), 2u) << "large after small is tried again";

  // Spans measured in the middle of large files, none of which ended.
  ReaderTuning parts(4, false);
  parts.BatchRead(0, 128.0 * (1 << 20), 1.0);
  parts.BatchRead(0, 128.0 * (1 << 20), 0.5);
  EXPECT_EQ(parts.Readers(), 3u) << "a second reader of large files that raised the rate stays";

  ReaderTuning pinned(3, true);
  pinned.BatchRead(100, 100 * 4096.0, 1.0);
  pinned.BatchRead(100, 100 * 4096.0, 0.1);
  EXPECT_EQ(pinned.Readers(), 3u);
}

TEST(ReadingWay, TheOtherWayIsTriedOnceAndKeptOnlyWhenClearlyFaster) {
  struct Span {
    double seconds;  // of 100 small files
    bool waited = true;
    bool doubted = true;  // one head's readers settled on more than one
  };
  const struct {
    const char* name;
    bool oneHeadFirst;
    bool measured;
    std::vector<Span> spans;
    bool oneHeadAtEnd;
  } cases[] = {
      {"a head that seeks: many readers are slower", true, true, {{1.0}, {2.0}, {0.1}}, true},
      {"a disk said to spin that does not seek", true, true, {{1.0}, {0.5}, {2.0}}, false},
      {"many readers no slower than a doubted head", true, true, {{1.0}, {0.97}}, false},
      {"many readers a little slower than a doubted head's best", true, true, {{1.0}, {1.1}}, false},
      {"many readers clearly slower than a doubted head", true, true, {{1.0}, {1.2}}, true},
      {"one head read from memory", true, true, {{1.0, false, false}}, false},
      {"one head whose one reader is best", true, true, {{1.0, true, false}, {0.1, true, false}}, true},
      {"said to be flash, seeks like one head", false, true, {{1.0}, {0.5}, {2.0}}, true},
      {"flash: one head is not clearly faster", false, true, {{1.0}, {0.9}}, false},
      {"not measured", true, false, {{1.0, false}, {0.1}}, true},
  };
  for (const auto& c : cases) {
    ReadingWay way(c.oneHeadFirst, c.measured);
    for (const Span& span : c.spans) way.SpanRead(100 / span.seconds, span.waited, span.doubted);
    EXPECT_EQ(way.OneHead(), c.oneHeadAtEnd) << c.name << ": " << way.Describe();
  }

  ReadingWay found(true, true);
  EXPECT_TRUE(found.FoundInMemory());
  EXPECT_FALSE(found.OneHead()) << "a batch found in memory before it is read";
  EXPECT_FALSE(found.SpanRead(1.0, true, true)) << "settled";
  ReadingWay pinned(true, false);
  EXPECT_FALSE(pinned.FoundInMemory());
  EXPECT_FALSE(pinned.ReadBeyondAnyHead(1e9, 2e9));
  EXPECT_TRUE(pinned.OneHead());

  ReadingWay fast(true, true);
  EXPECT_FALSE(fast.ReadBeyondAnyHead(150e6, 300e6)) << "the pace of a fast disk";
  EXPECT_TRUE(fast.ReadBeyondAnyHead(200e6, 400e6)) << "a head read beyond any disk that seeks";
  EXPECT_FALSE(fast.OneHead());
  EXPECT_TRUE(fast.SpanRead(150e6, true, true)) << "many readers clearly slower than the one head was";
  EXPECT_TRUE(fast.OneHead());
  ReadingWay settled(true, true);
  settled.SpanRead(100, true, true);
  settled.SpanRead(50, true, true);
  EXPECT_TRUE(settled.OneHead());
  EXPECT_FALSE(settled.ReadBeyondAnyHead(1e9, 2e9)) << "one head settled on after many readers were tried";
}

}  // namespace
}  // namespace ovik
