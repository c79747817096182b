#include "engine/walk/StepWindow.h"

#include <algorithm>
#include <utility>

namespace ovik {

StepWindow::StepWindow(std::size_t capacity, std::int64_t bytesAhead, std::size_t batch)
    : capacity_(std::max<std::size_t>(1, capacity)),
      refill_(std::clamp<std::size_t>(batch, 1, capacity_)),
      bytesLimit_(bytesAhead),
      batch_(batch) {}

void StepWindow::Widen(std::size_t capacity) {
  const std::lock_guard lock(mutex_);
  capacity_ = std::max(capacity_, capacity);
  refill_ = std::clamp<std::size_t>(batch_, 1, capacity_);
}

bool StepWindow::RoomForTheWalk() const { return steps_.size() + takenCount_ + refill_ <= capacity_; }

// Once there is room the walk fills the window up, so that it is woken
// once for many steps rather than for every one.
bool StepWindow::Add(Entry entry, std::stop_token stop) { return Add(std::span<Entry>(&entry, 1), stop) == 1; }

std::size_t StepWindow::Add(std::span<Entry> entries, std::stop_token stop) {
  std::unique_lock lock(mutex_);
  if (steps_.size() + takenCount_ >= capacity_ && !closed_) {
    walkWaits_ = true;
    changed_.wait(lock, stop, [this] { return closed_ || RoomForTheWalk(); });
    walkWaits_ = false;
  }
  if (closed_ || stop.stop_requested()) return 0;
  std::size_t added = 0;
  for (; added < entries.size() && steps_.size() + takenCount_ < capacity_; ++added)
    steps_.push_back(std::move(entries[added]));
  const bool wakeEngine = engineWaitsForStep_;
  lock.unlock();
  if (wakeEngine) changed_.notify_all();
  return added;
}

void StepWindow::End(std::exception_ptr failure) {
  {
    const std::lock_guard lock(mutex_);
    ended_ = true;
    failure_ = std::move(failure);
  }
  changed_.notify_all();
}

// Steps the engine takes out of the window at once, so that it does not
// contend for the lock with the walk and the readers for every file.
constexpr std::size_t kStepsTakenAtOnce = 32;

bool StepWindow::Take(Entry& entry, WaitHook& hook) {
  if (!taken_.empty()) {
    entry = std::move(taken_.front());
    taken_.pop_front();
    return true;
  }
  std::unique_lock lock(mutex_);
  takenCount_ = 0;
  if (walkWaits_ && RoomForTheWalk()) changed_.notify_all();
  while (steps_.empty() && !ended_) {
    engineWaitsForStep_ = true;
    changed_.wait_for(lock, kWaitSlice, [this] { return !steps_.empty() || ended_; });
    engineWaitsForStep_ = false;
    if (!steps_.empty() || ended_) break;
    lock.unlock();
    if (!hook.KeepWaiting(0)) return false;
    lock.lock();
  }
  if (steps_.empty()) {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return false;
  }
  entry = std::move(steps_.front());
  steps_.pop_front();
  while (!steps_.empty() && taken_.size() < kStepsTakenAtOnce) {
    taken_.push_back(std::move(steps_.front()));
    steps_.pop_front();
  }
  takenCount_ = taken_.size();
  const bool wakeWalk = walkWaits_ && RoomForTheWalk();
  lock.unlock();
  if (wakeWalk) changed_.notify_all();
  return true;
}

void StepWindow::Close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

// What was read of the job while it was ahead no longer counts as ahead. A
// small file read already is taken as it is: no reader waits for the
// engine to come to it.
bool StepWindow::WaitForOutcome(PairJob& job, WaitHook& hook) {
  if (job.done.load(std::memory_order_acquire) && job.countedAhead == 0) return true;
  std::unique_lock lock(mutex_);
  head_ = job.serial;
  bytesAhead_ -= std::exchange(job.countedAhead, 0);
  if (bytesWaiters_ > 0) changed_.notify_all();
  while (!job.done) {
    awaited_ = &job;
    wakeAtJobsDone_ = jobsDone_ + batch_;
    engineWoken_ = false;
    changed_.wait_for(lock, kWaitSlice, [this] { return engineWoken_; });
    awaited_ = nullptr;
    if (job.done) break;
    lock.unlock();
    if (!hook.KeepWaiting(job.Progress())) return false;
    lock.lock();
  }
  return true;
}

// An engine faster than the readers is woken once a batch of jobs is done
// since it began to wait, or for a large file, which is worth a wake-up of
// its own, rather than for every small file.
void StepWindow::Done(PairJob& job) {
  {
    const std::lock_guard lock(mutex_);
    job.done.store(true, std::memory_order_release);
    ++jobsDone_;
    if (awaited_ == nullptr || !awaited_->done || engineWoken_) return;
    if (jobsDone_ < wakeAtJobsDone_ && !(awaited_ == &job && job.large)) return;
    engineWoken_ = true;
  }
  changed_.notify_all();
}

void StepWindow::ReaderWaits() {
  const std::lock_guard lock(mutex_);
  WakeEngineIfItsJobIsDone();
}

bool StepWindow::EngineWaits() {
  const std::lock_guard lock(mutex_);
  return awaited_ != nullptr && !awaited_->done;
}

void StepWindow::WakeEngineIfItsJobIsDone() {
  if (awaited_ == nullptr || !awaited_->done || engineWoken_) return;
  engineWoken_ = true;
  changed_.notify_all();
}

// A slow device reads the files near the engine's first.
bool StepWindow::MayReadAhead(PairJob& job, std::int64_t bytes, std::stop_token stop, WaitNotice& onWait) {
  std::unique_lock lock(mutex_);
  const auto mayRead = [&] { return job.serial <= head_ || bytesAhead_ + bytes <= bytesLimit_; };
  if (!mayRead()) {
    WakeEngineIfItsJobIsDone();
    ++bytesWaiters_;
    lock.unlock();
    onWait.WaitStarts();
    lock.lock();
    changed_.wait(lock, stop, mayRead);
    --bytesWaiters_;
    lock.unlock();
    onWait.WaitEnds();
    lock.lock();
  }
  if (stop.stop_requested()) return false;
  if (job.serial > head_) {
    bytesAhead_ += bytes;
    job.countedAhead += bytes;
  }
  return true;
}

}  // namespace ovik
