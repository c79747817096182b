#include "engine/ReaderPool.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace ovik {
namespace {

// How long the end of a run waits for readers to finish the call they are
// in before it leaves them behind.
constexpr auto kLeaveBehindAfter = std::chrono::milliseconds(100);

}  // namespace

// What a reader of the pool gives the PairReader: the pool's buffers, a
// second reader for a large file's destination, and leave to read on.
class ReaderPool::ReaderContext final : public ReadingPlace, public WaitNotice {
 public:
  ReaderContext(ReaderPool& pool, std::stop_token stop) : pool_(pool), stop_(std::move(stop)) {}
  FileSystem& Files() override { return pool_.fileSystem_; }
  std::size_t BlocksPerRead() const override { return pool_.blocksPerRead_; }
  WaitNotice* Waits() override { return this; }
  std::byte* TakeBuffer() override { return pool_.TakeBuffer(); }
  void ReturnBuffers(std::vector<std::byte*>& buffers) override { pool_.ReturnBuffers(buffers); }
  bool HandOffDestination(const std::shared_ptr<PairJob>& job) override;
  bool TakeBackDestination(PairJob& job) override;
  bool WaitForRoom(PairJob& job, PairComparison::Side side) override;
  bool MayRead(PairJob& job) override;
  void Compared(PairJob& job) override;
  void WaitStarts() override;
  void WaitEnds() override;

 private:
  ReaderPool& pool_;
  std::stop_token stop_;
};

std::shared_ptr<ReaderPool> ReaderPool::Start(FileSystem& fileSystem, std::shared_ptr<StepWindow> window,
                                              std::size_t blockSize, const ReadAheadLimits& limits,
                                              std::size_t readers) {
  const std::size_t count = std::max<std::size_t>(1, readers);
  auto pool = std::make_shared<ReaderPool>(fileSystem, std::move(window), blockSize, limits, count);
  pool->exited_.assign(count, 0);
  pool->live_ = count;
  pool->threads_.reserve(count);
  // Each reader holds the pool: a reader left behind keeps alive what it
  // may still touch.
  for (std::size_t i = 0; i < count; ++i)
    pool->threads_.emplace_back([pool, i](std::stop_token stop) { pool->Serve(std::move(stop), i); });
  return pool;
}

ReaderPool::ReaderPool(FileSystem& fileSystem, std::shared_ptr<StepWindow> window, std::size_t blockSize,
                       const ReadAheadLimits& limits, std::size_t readers)
    : fileSystem_(fileSystem),
      window_(std::move(window)),
      blockSize_(blockSize),
      blocksPerRead_(std::max<std::size_t>(1, limits.blocksPerRead)),
      readers_(readers),
      allowedRunning_(limits.running != 0 ? limits.running : std::max(2u, std::thread::hardware_concurrency())) {}

ReaderPool::~ReaderPool() {
  for (std::byte* buffer : allBuffers_) std::free(buffer);
}

void ReaderPool::Add(std::shared_ptr<PairJob> job) {
  const std::lock_guard lock(mutex_);
  work_.push_back({std::move(job)});
  if (running_ < allowedRunning_) workAdded_.notify_one();
}

void ReaderPool::Stop() {
  for (std::jthread& thread : threads_) thread.request_stop();
  const auto deadline = std::chrono::steady_clock::now() + kLeaveBehindAfter;
  std::unique_lock lock(mutex_);
  while (live_ > 0 && std::chrono::steady_clock::now() < deadline) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock.lock();
  }
  for (std::size_t i = 0; i < threads_.size(); ++i) {
    if (exited_[i] != 0) threads_[i].join();
    else threads_[i].detach();
  }
}

void ReaderPool::Serve(std::stop_token stop, std::size_t index) {
  pthread_setname_np(pthread_self(), "ovik-reader");
  ReaderContext context(*this, stop);
  PairReader reader(context, blockSize_);
  Work work;
  bool running = false;
  while (NextWork(stop, work, running)) {
    if (work.job->digestOnly) reader.ReadForDigest(*work.job);
    else if (work.destinationOnly) reader.ReadHandedOffDestination(*work.job);
    else reader.ReadPair(work.job);
    if (LeaveJob(*work.job)) window_->Done(*work.job);
    work = Work{};
  }
  // Counted out under the lock, so that whoever sees it exited joins it.
  const std::lock_guard lock(mutex_);
  exited_[index] = 1;
  --live_;
}

// The next work in the order added, once fewer readers than allowed are at
// work; false when stopping. A reader that goes on from job to job keeps
// its place among those at work.
bool ReaderPool::NextWork(std::stop_token stop, Work& work, bool& running) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stop.stop_requested()) {
      if (running) --running_;
      return false;
    }
    if (!work_.empty() && (running || running_ < allowedRunning_)) break;
    if (running) LeavePlace();
    running = false;
    if (work_.empty()) {
      lock.unlock();
      window_->ReaderWaits();
      lock.lock();
    }
    workAdded_.wait(lock, stop, [&] { return !work_.empty() && running_ < allowedRunning_; });
  }
  if (!running) ++running_;
  running = true;
  work = std::move(work_.front());
  work_.pop_front();
  return true;
}

void ReaderPool::LeavePlace() {
  --running_;
  if (!work_.empty()) workAdded_.notify_one();
}

bool ReaderPool::ReaderContext::HandOffDestination(const std::shared_ptr<PairJob>& job) {
  if (pool_.readers_ < 2) return false;
  job->parts.fetch_add(1);
  const std::lock_guard lock(pool_.mutex_);
  job->large = true;
  pool_.work_.push_front({job, true});
  if (pool_.running_ < pool_.allowedRunning_) pool_.workAdded_.notify_one();
  return true;
}

bool ReaderPool::ReaderContext::TakeBackDestination(PairJob& job) {
  const std::lock_guard lock(pool_.mutex_);
  const auto found = std::find_if(pool_.work_.begin(), pool_.work_.end(), [&](const Work& queued) {
    return queued.job.get() == &job && queued.destinationOnly;
  });
  if (found == pool_.work_.end()) return false;
  pool_.work_.erase(found);
  job.parts.fetch_sub(1);
  return true;
}

// Waits without a place among the readers at work while this side is too
// far ahead of the other.
bool ReaderPool::ReaderContext::WaitForRoom(PairJob& job, PairComparison::Side side) {
  const auto limit = PairReader::kReadsAhead * static_cast<std::int64_t>(pool_.blocksPerRead_);
  pool_.window_->ReaderWaits();
  std::unique_lock lock(pool_.mutex_);
  ++job.waitingForRoom;
  pool_.LeavePlace();
  const bool room = pool_.compared_.wait(lock, stop_, [&] {
    return job.comparison.Decided() || job.comparison.BlocksAhead(side) <= limit / 2 || job.comparison.Comparable();
  });
  ++pool_.running_;
  --job.waitingForRoom;
  lock.unlock();
  // Blocks the other side brought in for this reader to compare.
  std::vector<std::byte*> spent;
  job.comparison.CompareAvailable(spent);
  if (!spent.empty()) pool_.ReturnBuffers(spent);
  return room;
}

void ReaderPool::ReaderContext::Compared(PairJob& job) {
  if (job.waitingForRoom.load() == 0) return;
  const std::lock_guard lock(pool_.mutex_);
  pool_.compared_.notify_all();
}

// A large file ahead of the one the engine waits for is read only while
// the bytes read ahead stay within bounds, so that a slow device reads the
// files near the engine's first.
bool ReaderPool::ReaderContext::MayRead(PairJob& job) {
  if (stop_.stop_requested()) return false;
  if (!job.large) return true;
  const auto bytes = static_cast<std::int64_t>(pool_.blockSize_ * pool_.blocksPerRead_);
  return pool_.window_->MayReadAhead(job, bytes, stop_, *this);
}

void ReaderPool::ReaderContext::WaitStarts() {
  {
    const std::lock_guard lock(pool_.mutex_);
    pool_.LeavePlace();
  }
  pool_.window_->ReaderWaits();
}

void ReaderPool::ReaderContext::WaitEnds() {
  const std::lock_guard lock(pool_.mutex_);
  ++pool_.running_;
}

std::byte* ReaderPool::TakeBuffer() {
  const std::lock_guard lock(mutex_);
  if (!freeBuffers_.empty()) {
    std::byte* buffer = freeBuffers_.back();
    freeBuffers_.pop_back();
    return buffer;
  }
  allBuffers_.reserve(allBuffers_.size() + 1);
  std::byte* buffer = AllocateReadBuffer(blockSize_ * blocksPerRead_);
  allBuffers_.push_back(buffer);
  return buffer;
}

void ReaderPool::ReturnBuffers(std::vector<std::byte*>& buffers) {
  {
    const std::lock_guard lock(mutex_);
    freeBuffers_.insert(freeBuffers_.end(), buffers.begin(), buffers.end());
  }
  buffers.clear();
}

}  // namespace ovik
