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

std::shared_ptr<ReaderPool> ReaderPool::Start(FileSystem& fileSystem, std::size_t blockSize,
                                              const ReadAheadLimits& limits) {
  auto pool = std::make_shared<ReaderPool>(fileSystem, blockSize, limits);
  const std::size_t count = std::max<std::size_t>(1, limits.readers);
  pool->readers_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    auto reader = std::make_unique<Reader>();
    Reader& self = *reader;
    {
      std::lock_guard lock(pool->mutex_);
      ++pool->liveReaders_;
    }
    // Each reader holds the pool: a reader left behind keeps alive what it
    // may still touch.
    self.thread = std::thread([pool, stop = pool->stop_.get_token(), &self] { pool->ReaderLoop(stop, self); });
    pool->readers_.push_back(std::move(reader));
  }
  return pool;
}

ReaderPool::ReaderPool(FileSystem& fileSystem, std::size_t blockSize, const ReadAheadLimits& limits)
    : fileSystem_(fileSystem),
      blockSize_(blockSize),
      blocksPerRead_(std::max<std::size_t>(1, limits.blocksPerRead)),
      limits_(limits),
      allowedRunning_(limits.running != 0 ? limits.running : std::max(2u, std::thread::hardware_concurrency())) {}

ReaderPool::~ReaderPool() {
  for (std::byte* buffer : allBuffers_) std::free(buffer);
}

void ReaderPool::Stop() {
  stop_.request_stop();
  {
    std::unique_lock lock(mutex_);
    WakeIdle(idle_.size());
    readerExited_.wait_for(lock, kLeaveBehindAfter, [this] { return liveReaders_ == 0; });
  }
  for (const auto& reader : readers_) {
    if (!reader->thread.joinable()) continue;
    if (reader->exited.load()) reader->thread.join();
    else reader->thread.detach();
  }
}

// --- The engine's side -------------------------------------------------------

void ReaderPool::Publish(const std::vector<std::shared_ptr<PairJob>>& jobs, bool urgent) {
  std::lock_guard lock(mutex_);
  for (const auto& job : jobs) {
    if (urgent) jobs_.push_front({job});
    else jobs_.push_back({job});
  }
  WakeIdle(std::min(jobs.size(), allowedRunning_ - std::min(running_, allowedRunning_)));
}

// A woken reader is given its place among those at work with the wake-up,
// so that readers woken but not yet running are not woken again.
void ReaderPool::WakeIdle(std::size_t count) {
  for (; count > 0 && !idle_.empty(); --count) {
    ++running_;
    idle_.back()->woken.release();
    idle_.pop_back();
  }
}

// What was read of the job while it was ahead no longer counts as ahead.
void ReaderPool::SetHead(PairJob& job) {
  {
    std::lock_guard lock(mutex_);
    head_ = job.serial;
    Uncount(job);
  }
  NotifyRoom();
}

void ReaderPool::SetHeadPast(std::uint64_t serial) {
  {
    std::lock_guard lock(mutex_);
    head_ = serial;
  }
  NotifyRoom();
}

// With mutex_ held.
void ReaderPool::Uncount(PairJob& job) {
  bytesAhead_ -= job.countedAhead;
  job.countedAhead = 0;
}

void ReaderPool::Abandon(PairJob& job) {
  job.abandoned.store(true);
  {
    std::lock_guard lock(mutex_);
    Uncount(job);
  }
  NotifyRoom();
}

// The readers ring once the job is done and a batch of jobs is, or when
// they have to wait themselves, so that an engine faster than the readers
// is woken in batches rather than for every file.
bool ReaderPool::WaitFor(const PairJob& job, WaitHook& hook) {
  while (!job.done.load(std::memory_order_acquire)) {
    {
      std::unique_lock lock(mutex_);
      awaited_ = &job;
      wakeAtJobsDone_ = jobsDone_.load() + limits_.batch;
      bellRung_ = false;
      engineWaits_.store(true);
      if (!job.done.load()) engineBell_.wait_for(lock, kWaitSlice, [this] { return bellRung_; });
      engineWaits_.store(false);
      awaited_ = nullptr;
    }
    if (job.done.load(std::memory_order_acquire)) break;
    if (!hook.KeepWaiting(job.Progress())) return false;
  }
  return true;
}

// --- The readers -------------------------------------------------------------

void ReaderPool::ReaderLoop(std::stop_token stop, Reader& self) {
  pthread_setname_np(pthread_self(), "ovik-reader");
  Place place(*this, stop);
  PairReader reader(place, blockSize_);
  bool running = false;
  Job job;
  while (NextJob(stop, self, job, running)) {
    if (job.pair->digestOnly) reader.ReadForDigest(*job.pair);
    else if (job.part == Part::Pair) reader.ReadPair(job.pair);
    else reader.ReadHandedOffDestination(*job.pair);
    Finish(*job.pair);
    job = Job{};
  }
  // Before it is counted out, so that whoever sees no reader left joins
  // this one rather than leaving it behind.
  self.exited.store(true);
  {
    std::lock_guard lock(mutex_);
    --liveReaders_;
  }
  readerExited_.notify_all();
}

// The next job in the order published, once fewer readers than allowed are
// at work; false when stopping. A reader that goes on from job to job keeps
// its place among those at work.
bool ReaderPool::NextJob(std::stop_token stop, Reader& self, Job& job, bool& running) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!stop.stop_requested() && !jobs_.empty() && (running || running_ < allowedRunning_)) break;
    if (running) --running_;
    running = false;
    if (stop.stop_requested()) return false;
    idle_.push_back(&self);
    RingIfDue(true);
    lock.unlock();
    self.woken.acquire();
    lock.lock();
    running = true;
  }
  if (!running) ++running_;
  running = true;
  job = std::move(jobs_.front());
  jobs_.pop_front();
  return true;
}

void ReaderPool::Finish(PairJob& job) {
  if (!LeaveJob(job)) return;
  jobsDone_.fetch_add(1);
  WakeEngineIfDue();
}

bool ReaderPool::Place::HandOffDestination(const std::shared_ptr<PairJob>& job) {
  if (pool_.limits_.readers < 2) return false;
  job->parts.fetch_add(1);
  std::lock_guard lock(pool_.mutex_);
  job->large = true;
  pool_.jobs_.push_front({job, Part::Destination});
  pool_.WakeIdle(1);
  return true;
}

bool ReaderPool::Place::TakeBackDestination(PairJob& job) {
  std::lock_guard lock(pool_.mutex_);
  const auto found = std::find_if(pool_.jobs_.begin(), pool_.jobs_.end(), [&](const Job& queued) {
    return queued.pair.get() == &job && queued.part == Part::Destination;
  });
  if (found == pool_.jobs_.end()) return false;
  pool_.jobs_.erase(found);
  job.parts.fetch_sub(1);
  return true;
}

bool ReaderPool::Place::WaitForRoom(PairJob& job, PairComparison::Side side) {
  const auto limit = PairReader::kReadsAhead * static_cast<std::int64_t>(pool_.blocksPerRead_);
  std::unique_lock lock(pool_.mutex_);
  ++job.waitingForRoom;
  ++pool_.roomSleepers_;
  const bool room = pool_.WaitAside(lock, stop_, [&] {
    return job.abandoned.load() || job.comparison.Decided() || job.comparison.BlocksAhead(side) <= limit / 2 ||
           job.comparison.Comparable();
  });
  --pool_.roomSleepers_;
  --job.waitingForRoom;
  lock.unlock();
  // Blocks the other side brought in for this reader to compare.
  std::vector<std::byte*> spent;
  job.comparison.CompareAvailable(spent);
  if (!spent.empty()) pool_.ReturnBuffers(spent);
  return room && !job.abandoned.load();
}

// A large file ahead of the one the engine waits for is read only while
// the bytes read ahead stay within bounds, so that a slow device reads the
// files near the engine's first.
bool ReaderPool::Place::MayRead(PairJob& job) {
  if (stop_.stop_requested() || job.abandoned.load()) return false;
  if (!job.large) return true;
  const auto bytes = static_cast<std::int64_t>(pool_.blockSize_ * pool_.blocksPerRead_);
  const auto limit = static_cast<std::int64_t>(pool_.limits_.bytesAhead);
  std::unique_lock lock(pool_.mutex_);
  const auto mayRead = [&] {
    return job.serial == pool_.head_ || job.abandoned.load() || pool_.bytesAhead_ + bytes <= limit;
  };
  if (!mayRead()) {
    ++pool_.roomSleepers_;
    pool_.WaitAside(lock, stop_, mayRead);
    --pool_.roomSleepers_;
  }
  if (stop_.stop_requested() || job.abandoned.load()) return false;
  if (job.serial != pool_.head_) {
    pool_.bytesAhead_ += bytes;
    job.countedAhead += bytes;
  }
  return true;
}

template <typename Ready>
bool ReaderPool::WaitAside(std::unique_lock<std::mutex>& lock, std::stop_token stop, Ready ready) {
  --running_;
  if (!jobs_.empty()) WakeIdle(1);
  RingIfDue(true);
  const bool readyNow = roomMade_.wait(lock, stop, ready);
  ++running_;
  return readyNow;
}

void ReaderPool::Place::WaitStarts() {
  std::lock_guard lock(pool_.mutex_);
  --pool_.running_;
  if (!pool_.jobs_.empty()) pool_.WakeIdle(1);
  pool_.RingIfDue(true);
}

void ReaderPool::Place::WaitEnds() {
  std::lock_guard lock(pool_.mutex_);
  ++pool_.running_;
}

// Sequentially consistent on both sides: the engine says that it waits and
// then looks, a reader finishes a job and then looks whether anyone waits,
// so no wake-up is lost.
void ReaderPool::WakeEngineIfDue() {
  if (!engineWaits_.load()) return;
  std::lock_guard lock(mutex_);
  RingIfDue(false);
}

void ReaderPool::RingIfDue(bool readerWaits) {
  if (!engineWaits_.load() || bellRung_ || awaited_ == nullptr || !awaited_->done.load()) return;
  if (!readerWaits && !WorthWaking()) return;
  bellRung_ = true;
  engineBell_.notify_one();
}

// A batch of jobs done since the engine began to wait, or a large file,
// which is worth a wake-up of its own.
bool ReaderPool::WorthWaking() const { return jobsDone_.load() >= wakeAtJobsDone_ || awaited_->large; }

void ReaderPool::NotifyRoom() {
  if (roomSleepers_.load() == 0) return;
  std::lock_guard lock(mutex_);
  roomMade_.notify_all();
}

// --- Buffers -----------------------------------------------------------------

std::byte* ReaderPool::TakeBuffer() {
  std::lock_guard lock(buffersMutex_);
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
    std::lock_guard lock(buffersMutex_);
    freeBuffers_.insert(freeBuffers_.end(), buffers.begin(), buffers.end());
  }
  buffers.clear();
}

}  // namespace ovik
