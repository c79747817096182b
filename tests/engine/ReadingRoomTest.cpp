// The window of steps between the walk and the engine, and the pool of
// readers that takes the files' jobs, each on its own.

#include "engine/reading/ReaderPool.h"
#include "engine/walk/StepWindow.h"
#include "engine/VerifyEngine.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <thread>

namespace ovik {
namespace {

using namespace std::chrono_literals;

class CountingHook final : public WaitHook {
 public:
  explicit CountingHook(int giveUpAt = -1) : giveUpAt_(giveUpAt) {}
  bool KeepWaiting(std::int64_t) override { return ++asked != giveUpAt_; }
  int asked = 0;

 private:
  int giveUpAt_;
};

// Many readers, who know after one file that reads do not wait, and from
// then on take a few small files at once.
PoolPace ManyReaders(std::size_t threads) {
  PoolPace pace;
  pace.threads = threads;
  pace.span = 1;
  return pace;
}

PoolPace OneHead(std::size_t threads, bool bothSidesHere) {
  PoolPace pace;
  pace.oneHead = true;
  pace.threads = threads;
  pace.pinned = true;
  pace.bothSidesHere = bothSidesHere;
  pace.batch = 4;
  pace.stretchBytes = 2 * BlockSize;
  return pace;
}

StepWindow::Entry FileStep(const std::string& name) {
  StepWindow::Entry entry;
  entry.step.kind = WalkStep::Kind::File;
  entry.step.srcPath = name;
  return entry;
}

std::size_t ThreadsOfThisProcess() {
  const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// The threads of this process once a pool has come and gone: a sanitizer's
// own thread starts with the first threads.
std::size_t ThreadsAtRest() {
  auto window = std::make_shared<StepWindow>(1, 0, 1);
  ReaderPool::Start(SystemFileSystem(), window, BlockSize, ReadAheadLimits{}, ManyReaders(1))->Stop();
  return ThreadsOfThisProcess();
}

// The walk fills the window and waits; once the engine has taken enough
// for a batch it fills it up again; the engine takes every step in order.
TEST(StepWindow, TheWalkWaitsWhileItIsFullAndTheEngineTakesEveryStepInOrder) {
  StepWindow window(4, 0, 2);
  std::atomic<int> added{0};
  std::jthread walk([&](std::stop_token stop) {
    for (int i = 0; i < 10; ++i) {
      if (!window.Add(FileStep(std::to_string(i)), stop)) return;
      ++added;
    }
    window.End();
  });
  const auto waitFor = [&](int count) {
    for (int i = 0; i < 200 && added.load() < count; ++i) std::this_thread::sleep_for(5ms);
    return added.load();
  };
  EXPECT_EQ(waitFor(4), 4);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(added.load(), 4) << "the walk added to a full window";

  CountingHook hook;
  StepWindow::Entry entry;
  ASSERT_TRUE(window.Take(entry, hook));
  EXPECT_EQ(entry.step.srcPath, "0");
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(added.load(), 4) << "woken for one step";
  for (int i = 1; i < 10; ++i) {
    ASSERT_TRUE(window.Take(entry, hook));
    EXPECT_EQ(entry.step.srcPath, std::to_string(i));
  }
  EXPECT_FALSE(window.Take(entry, hook)) << "the end of the walk";
}

TEST(StepWindow, WhatTheWalkThrewComesAfterTheStepsBeforeIt) {
  StepWindow window(8, 0, 2);
  std::stop_source stop;
  window.Add(FileStep("a"), stop.get_token());
  window.End(std::make_exception_ptr(std::runtime_error("listing")));
  CountingHook hook;
  StepWindow::Entry entry;
  ASSERT_TRUE(window.Take(entry, hook));
  EXPECT_THROW(window.Take(entry, hook), std::runtime_error);
}

// The engine asks its hook between slices and stops at once when the hook
// gives up, whether it waits for a step or for a job.
TEST(StepWindow, AWaitAsksItsHookBetweenSlicesAndEndsWhenItGivesUp) {
  StepWindow window(8, 0, 2);
  StepWindow::Entry entry;
  CountingHook forStep(3);
  EXPECT_FALSE(window.Take(entry, forStep));
  EXPECT_EQ(forStep.asked, 3);

  PairJob job(0, 16);
  CountingHook forJob(2);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(window.WaitForOutcome(job, forJob));
  EXPECT_EQ(forJob.asked, 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

class NoticeCount final : public WaitNotice {
 public:
  void WaitStarts() override { ++starts; }
  void WaitEnds() override { ++ends; }
  std::atomic<int> starts{0};
  std::atomic<int> ends{0};
};

// A large file after the engine's reads only within the bytes allowed
// ahead; it reads on once the engine comes to it.
TEST(StepWindow, ALargeFileAheadWaitsForItsBytesUntilTheEngineComesToIt) {
  StepWindow window(8, 10, 2);
  PairJob ahead(5, 16);
  NoticeCount notice;
  std::stop_source stop;
  ASSERT_TRUE(window.MayReadAhead(ahead, 6, stop.get_token(), notice));
  std::atomic<bool> secondRead{false};
  std::jthread reader([&] {
    secondRead = window.MayReadAhead(ahead, 6, stop.get_token(), notice);
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(secondRead.load()) << "read beyond the bytes allowed ahead";
  EXPECT_EQ(notice.starts.load(), 1) << "the reader gave up its place while it waited";

  std::jthread engine([&] {
    CountingHook hook;
    window.WaitForOutcome(ahead, hook);
  });
  reader.join();
  EXPECT_TRUE(secondRead.load());
  EXPECT_EQ(notice.ends.load(), 1);
  window.Done(ahead);
}

// A FileSystem whose opens of one name wait until they are let go, as a
// device that stalls.
class StallingFileSystem final : public FileSystem {
 public:
  bool ListEntries(const std::string& folder, FileSizes sizes, std::vector<DirEntry>& entries, int& error) override {
    return SystemFileSystem().ListEntries(folder, sizes, entries, error);
  }
  EntryLookup LookUp(const std::string& path) override { return SystemFileSystem().LookUp(path); }
  OpenResult OpenForRead(const std::string& path, ReadRole role) override {
    if (path.ends_with("/stuck")) {
      ++stalled;
      while (!letGo.load()) std::this_thread::sleep_for(1ms);
    }
    return SystemFileSystem().OpenForRead(path, role);
  }
  std::atomic<int> stalled{0};
  std::atomic<bool> letGo{false};
};

std::shared_ptr<PairJob> PairOf(const testing::TempTree& tree, const std::string& name, std::uint64_t serial) {
  auto job = std::make_shared<PairJob>(serial, BlockSize);
  job->srcPath = tree.Path("src/" + name);
  job->dstPath = tree.Path("dst/" + name);
  return job;
}

// The pool reads the pairs handed to it, one reader or many, in reads of
// one block or many, and each outcome is the one the pair must have; at the
// end every reader is joined. They are handed over at once, so that a
// reader takes several small pairs together, up to the large one.
TEST(ReaderPool, ReadsEveryPairAndLeavesNoThreadBehind) {
  testing::TempTree tree;
  const std::string large = testing::PatternBytes(3 * 1024 * 1024 + 7, 3);
  std::string changed = large;
  changed[2 * 1024 * 1024] ^= 1;
  const struct {
    const char* name;
    std::string src;
    std::optional<std::string> dst;
    FileResult result;
  } pairs[] = {
      {"same", "abc", "abc", FileResult::Ok},
      {"empty", "", "", FileResult::Ok},
      {"missing", "abc", std::nullopt, FileResult::DstMissing},
      {"shorter", "abcdef", "abc", FileResult::SizeMismatch},
      {"longer", "abc", "abcdef", FileResult::SizeMismatch},
      {"changed", "abc", "abd", FileResult::ContentMismatch},
      {"large", large, large, FileResult::Ok},
      {"large changed", large, changed, FileResult::ContentMismatch},
  };
  for (const auto& pair : pairs) {
    tree.WriteFile(std::string("src/") + pair.name, pair.src);
    if (pair.dst) tree.WriteFile(std::string("dst/") + pair.name, *pair.dst);
  }
  const std::size_t threadsBefore = ThreadsAtRest();
  const struct {
    const char* name;
    PoolPace pace;
  } paces[] = {{"one reader", ManyReaders(1)},
               {"two readers", ManyReaders(2)},
               {"eight readers", ManyReaders(8)},
               {"one head", OneHead(1, false)},
               {"one head, two readers", OneHead(2, false)},
               {"one head under both sides", OneHead(1, true)}};
  for (const auto& [paceName, pace] : paces) {
    for (std::size_t blocksPerRead : {1u, 10u}) {
      SCOPED_TRACE(std::string(paceName) + ", reads of " + std::to_string(blocksPerRead) + " blocks");
      ReadAheadLimits limits;
      limits.blocksPerRead = blocksPerRead;
      limits.bytesAhead = 2 * BlockSize;
      auto window = std::make_shared<StepWindow>(64, static_cast<std::int64_t>(limits.bytesAhead), limits.batch);
      auto pool = ReaderPool::Start(SystemFileSystem(), window, BlockSize, limits, pace);
      std::vector<std::shared_ptr<PairJob>> jobs;
      for (const auto& pair : pairs) jobs.push_back(PairOf(tree, pair.name, jobs.size()));
      std::vector<std::shared_ptr<PairJob>> handed = jobs;
      pool->Add(handed);
      for (std::size_t i = 0; i < jobs.size(); ++i) {
        CountingHook hook(200);
        ASSERT_TRUE(window->WaitForOutcome(*jobs[i], hook)) << pairs[i].name;
        EXPECT_EQ(jobs[i]->outcome.compared.result, pairs[i].result) << pairs[i].name;
      }
      EXPECT_EQ(jobs[6]->outcome.compared.bytesChecked, static_cast<std::int64_t>(large.size()));
      window->Close();
      pool->Stop();
      EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    }
  }
}

// A reader inside a call that does not return is left behind at the end,
// which comes at once; it goes once its call returns.
TEST(ReaderPool, AReaderStuckInACallIsLeftBehindAndGoesLater) {
  testing::TempTree tree;
  tree.WriteFile("src/stuck", "x");
  tree.WriteFile("dst/stuck", "x");
  // A file system outlives the runs that use it, the readers left behind too.
  static StallingFileSystem& fileSystem = *new StallingFileSystem;
  const std::size_t threadsBefore = ThreadsAtRest();
  {
    auto window = std::make_shared<StepWindow>(8, 1 << 20, 2);
    auto pool = ReaderPool::Start(fileSystem, window, BlockSize, ReadAheadLimits{}, ManyReaders(4));
    pool->Add(PairOf(tree, "stuck", 0));
    while (fileSystem.stalled.load() == 0) std::this_thread::sleep_for(1ms);
    const auto start = std::chrono::steady_clock::now();
    window->Close();
    pool->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore + 1) << "only the stuck reader is left";
  }
  fileSystem.letGo = true;
  for (int i = 0; i < 500 && ThreadsOfThisProcess() > threadsBefore; ++i) std::this_thread::sleep_for(2ms);
  EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
}

}  // namespace
}  // namespace ovik
