#include "engine/TreeReading.h"

#include <pthread.h>

#include <atomic>
#include <chrono>

namespace ovik {
namespace {

// How long the end of a run waits for the walk to leave the call it is in
// before it leaves the thread behind.
constexpr auto kLeaveBehindAfter = std::chrono::milliseconds(100);

}  // namespace

// What the walking thread holds, so that a thread left behind in a call
// keeps alive what it may still touch.
struct TreeReading::Walking {
  std::unique_ptr<Walk> walk;
  std::shared_ptr<StepWindow> window;
  std::shared_ptr<ReaderPool> pool;
  Settings settings;
  std::atomic<bool> exited{false};
};

TreeReading::TreeReading(FileSystem& fileSystem, std::unique_ptr<Walk> walk, Settings settings)
    : window_(std::make_shared<StepWindow>(settings.limits.filesAhead,
                                           static_cast<std::int64_t>(settings.limits.bytesAhead),
                                           settings.limits.batch)) {
  if (settings.readFiles)
    pool_ = ReaderPool::Start(fileSystem, window_, settings.blockSize, settings.limits, settings.limits.readers);
  walking_ = std::make_shared<Walking>();
  walking_->walk = std::move(walk);
  walking_->window = window_;
  walking_->pool = pool_;
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

void TreeReading::RunWalk(Walking& walking, std::stop_token stop) {
  pthread_setname_np(pthread_self(), "ovik-walk");
  const Settings& settings = walking.settings;
  try {
    std::uint64_t serial = 0;
    WalkStep step;
    while (!stop.stop_requested() && walking.walk->Next(step)) {
      StepWindow::Entry entry;
      entry.step = std::move(step);
      // A file whose attributes could not be read is never opened.
      if (walking.pool && entry.step.kind == WalkStep::Kind::File && entry.step.flag) {
        entry.job = std::make_shared<PairJob>(serial++, settings.blockSize);
        entry.job->srcPath = entry.step.srcPath;
        entry.job->dstPath = entry.step.dstPath;
        entry.job->dstRole = settings.dstRole;
        if (settings.makeSourceDigest) entry.job->digest = settings.makeSourceDigest();
      }
      std::shared_ptr<PairJob> job = entry.job;
      if (!walking.window->Add(std::move(entry), stop)) break;
      if (job) walking.pool->Add(std::move(job));
      step = WalkStep{};
    }
    walking.window->End();
  } catch (...) {
    walking.window->End(std::current_exception());
  }
  walking.exited.store(true);
}

}  // namespace ovik
