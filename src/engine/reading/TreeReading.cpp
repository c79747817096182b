#include "engine/reading/TreeReading.h"

#include "engine/reading/ReadingPlan.h"
#include "platform/OpenFileLimit.h"
#include "platform/WorkThread.h"

#include <atomic>
#include <chrono>
#include <span>

namespace ovik {
namespace {

// How long the end of a run waits for the walk to leave the call it is in
// before it leaves the thread behind.
constexpr auto kLeaveBehindAfter = std::chrono::milliseconds(100);

// Steps handed to the window and the readers together.
constexpr std::size_t kStepsPerBunch = 16;
// How long the first step of a bunch may wait for the rest.
constexpr auto kBunchFor = std::chrono::milliseconds(1);

}  // namespace

// What the walking thread holds, so that a thread left behind in a call
// keeps alive what it may still touch.
struct TreeReading::Walking {
  std::unique_ptr<Walk> walk;
  std::shared_ptr<StepWindow> window;
  std::shared_ptr<ReaderPool> pool;
  FileSystem* fileSystem = nullptr;
  Settings settings;
  std::atomic<bool> exited{false};
};

TreeReading::TreeReading(FileSystem& fileSystem, std::unique_ptr<Walk> walk, Settings settings)
    : window_(std::make_shared<StepWindow>(settings.limits.filesAhead,
                                           static_cast<std::int64_t>(settings.limits.bytesAhead),
                                           settings.limits.batch)) {
  if (settings.readFiles) pool_ = std::make_shared<ReaderPool>(fileSystem, window_, settings.blockSize, settings.limits);
  walking_ = std::make_shared<Walking>();
  walking_->walk = std::move(walk);
  walking_->window = window_;
  walking_->pool = pool_;
  walking_->fileSystem = &fileSystem;
  walking_->settings = std::move(settings);
  walker_ = std::jthread([walking = walking_](std::stop_token stop) { RunWalk(*walking, std::move(stop)); });
}

TreeReading::~TreeReading() {
  window_->Close();
  walker_.request_stop();
  if (pool_) pool_->Stop();
  const auto deadline = std::chrono::steady_clock::now() + kLeaveBehindAfter;
  while (!walking_->exited.load() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (walking_->exited.load()) walker_.join();
  else walker_.detach();
}

// Asked here rather than on the engine's thread: a medium that stalls may
// hold up the question too.
void TreeReading::ChoosePace(Walking& walking, FileSystem& fileSystem) {
  const Settings& settings = walking.settings;
  ReadingPlan plan = PlanReading(fileSystem.DescribeMedium(settings.srcRoot.empty() ? "/" : settings.srcRoot),
                                 fileSystem.DescribeMedium(settings.dstRoot.empty() ? "/" : settings.dstRoot),
                                 settings.limits, settings.pinnedReaders, OpenFilesAllowed());
  if (plan.pace.oneHead || plan.pace.measureWay) {
    // Batches of pairs are opened and sorted: the walk keeps a few ahead.
    walking.window->Widen(4 * plan.pace.batch);
    plan.pace.headLock = std::make_shared<std::shared_mutex>();
    walking.walk->ListAlone(plan.pace.headLock, [pool = walking.pool.get()] {
      return pool->ReadsOnTheHead(PairComparison::kDestination);
    });
  }
  walking.pool->Begin(plan.pace, plan.Describe());
}

// The steps of a walk on their way to the window and the readers, a few at
// a time, so that each wake-up of a reader or the engine is worth its cost.
// A bunch goes on a step that is no file, once it is full, and once its
// first step is a millisecond old when the walk comes back with the next;
// steps found before a call that hangs wait with the walk.
class TreeReading::Bunch {
 public:
  void Keep(StepWindow::Entry entry) {
    if (entries_.empty()) started_ = std::chrono::steady_clock::now();
    jobs_.push_back(entry.job);
    entries_.push_back(std::move(entry));
  }
  bool Due() const {
    return entries_.size() >= kStepsPerBunch || std::chrono::steady_clock::now() - started_ >= kBunchFor;
  }
  // The readers get the jobs of the steps the window took before the walk
  // waits for room again: the engine may wait for one of them. False once
  // the window is closed.
  bool Hand(Walking& walking, std::stop_token stop) {
    std::size_t handed = 0;
    while (handed < entries_.size()) {
      const std::size_t added = walking.window->Add(std::span(entries_).subspan(handed), stop);
      if (added == 0) return false;
      std::vector<std::shared_ptr<PairJob>> jobs;
      for (std::size_t i = handed; i < handed + added; ++i)
        if (jobs_[i]) jobs.push_back(std::move(jobs_[i]));
      if (walking.pool && !jobs.empty()) walking.pool->Add(jobs);
      handed += added;
    }
    entries_.clear();
    jobs_.clear();
    return true;
  }

 private:
  std::vector<StepWindow::Entry> entries_;
  std::vector<std::shared_ptr<PairJob>> jobs_;  // of each entry, null for a step that is no file
  std::chrono::steady_clock::time_point started_;
};

void TreeReading::RunWalk(Walking& walking, std::stop_token stop) {
  StartWorkThread("ovik-walk");
  const Settings& settings = walking.settings;
  try {
    if (walking.pool) ChoosePace(walking, *walking.fileSystem);
    std::uint64_t serial = 0;
    WalkStep step;
    Bunch bunch;
    while (!stop.stop_requested() && walking.walk->Next(step)) {
      StepWindow::Entry entry;
      entry.step = std::move(step);
      // A file whose attributes could not be read is never opened.
      if (walking.pool && entry.step.kind == WalkStep::Kind::File && entry.step.flag) {
        entry.job = std::make_shared<PairJob>(serial++, settings.blockSize);
        entry.job->srcPath = std::move(entry.step.srcPath);
        entry.job->dstPath = std::move(entry.step.dstPath);
        entry.job->listedSize = entry.step.size;
        entry.job->dstRole = settings.dstRole;
        entry.job->dstListed = entry.step.dstListed;
        if (settings.makeSourceDigest) entry.job->digest = settings.makeSourceDigest();
      }
      const bool file = entry.step.kind == WalkStep::Kind::File;
      bunch.Keep(std::move(entry));
      if ((!file || bunch.Due()) && !bunch.Hand(walking, stop)) break;
      step = WalkStep{};
    }
    if (!stop.stop_requested()) bunch.Hand(walking, stop);
    if (walking.pool) walking.pool->AllAdded();
    walking.window->End();
  } catch (...) {
    walking.window->End(std::current_exception());
  }
  walking.exited.store(true);
}

}  // namespace ovik
