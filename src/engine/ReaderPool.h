#pragma once

#include "engine/PairReader.h"
#include "engine/WaitHook.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>
#include <stop_token>
#include <thread>
#include <vector>

namespace ovik {

struct ReadAheadLimits {
  std::size_t filesAhead = 128;        // pairs announced and not yet taken
  std::size_t bytesAhead = 64u << 20;  // bytes read of large files ahead of the one waited for
  std::size_t readers = 32;            // threads, each reading one file at a time
  // Readers at work at once besides those waiting for the device; 0: as
  // many as the machine has processors.
  std::size_t running = 0;
  // Pairs read before an engine waiting for one is woken, so that each
  // wake-up is worth its cost.
  std::size_t batch = 32;
  // Blocks asked of the file system in one read of a longer file.
  std::size_t blocksPerRead = 10;
};

// Reader threads that read and compare the pairs handed to them, in the
// order handed out, and hand back one outcome per pair. They decide no
// result line. Everything a reader touches belongs to the pool or to the
// job, which the reader holds, so that a reader stuck in the kernel (a
// device that stalls, a server gone) can be left behind when a run ends:
// it frees nothing of the run's, and what it brings in late goes nowhere.
class ReaderPool : public std::enable_shared_from_this<ReaderPool> {
 public:
  static std::shared_ptr<ReaderPool> Start(FileSystem& fileSystem, std::size_t blockSize,
                                           const ReadAheadLimits& limits);
  ReaderPool(FileSystem& fileSystem, std::size_t blockSize, const ReadAheadLimits& limits);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // The engine's thread: hands out jobs (`urgent`: before all others),
  // tells which one it waits for next, waits for one and gives up on one.
  void Publish(const std::vector<std::shared_ptr<PairJob>>& jobs, bool urgent = false);
  void SetHead(PairJob& job);
  void SetHeadPast(std::uint64_t serial);
  // Waits in slices of a twentieth of a second, asking `hook` in between;
  // false when the hook gave up.
  bool WaitFor(const PairJob& job, WaitHook& hook);
  // Readers stop reading the job at their next read; its outcome goes nowhere.
  void Abandon(PairJob& job);
  // Stops every reader; waits a moment for those that finish their call,
  // and leaves behind any that hangs in the kernel.
  void Stop();

 private:
  enum class Part { Pair, Destination };
  struct Job {
    std::shared_ptr<PairJob> pair;
    Part part = Part::Pair;
  };
  struct Reader {
    std::thread thread;
    std::atomic<bool> exited{false};
    std::binary_semaphore woken{0};
  };
  // What a reader of the pool needs while it reads a pair.
  class Place final : public ReadingPlace, public WaitNotice {
   public:
    Place(ReaderPool& pool, std::stop_token stop) : pool_(pool), stop_(std::move(stop)) {}
    FileSystem& Files() override { return pool_.fileSystem_; }
    std::size_t BlocksPerRead() const override { return pool_.blocksPerRead_; }
    WaitNotice* Waits() override { return this; }
    std::byte* TakeBuffer() override { return pool_.TakeBuffer(); }
    void ReturnBuffers(std::vector<std::byte*>& buffers) override { pool_.ReturnBuffers(buffers); }
    bool HandOffDestination(const std::shared_ptr<PairJob>& job) override;
    bool TakeBackDestination(PairJob& job) override;
    bool WaitForRoom(PairJob& job, PairComparison::Side side) override;
    bool MayRead(PairJob& job) override;
    void Compared(PairJob& job) override {
      if (job.waitingForRoom.load() != 0) pool_.NotifyRoom();
    }
    void WaitStarts() override;
    void WaitEnds() override;

   private:
    ReaderPool& pool_;
    std::stop_token stop_;
  };

  void ReaderLoop(std::stop_token stop, Reader& self);
  bool NextJob(std::stop_token stop, Reader& self, Job& job, bool& running);
  void Finish(PairJob& job);
  // With mutex_ held.
  void WakeIdle(std::size_t count);
  // With `lock` on mutex_: waits for `ready` without a place among the
  // readers at work.
  template <typename Ready>
  bool WaitAside(std::unique_lock<std::mutex>& lock, std::stop_token stop, Ready ready);
  void Uncount(PairJob& job);
  void WakeEngineIfDue();
  // With mutex_ held.
  void RingIfDue(bool readerWaits);
  bool WorthWaking() const;
  void NotifyRoom();

  std::byte* TakeBuffer();
  void ReturnBuffers(std::vector<std::byte*>& buffers);

  FileSystem& fileSystem_;
  const std::size_t blockSize_;
  const std::size_t blocksPerRead_;
  const ReadAheadLimits limits_;
  const std::size_t allowedRunning_;

  std::mutex mutex_;
  std::condition_variable_any roomMade_;
  std::condition_variable_any engineBell_;
  std::condition_variable_any readerExited_;
  std::deque<Job> jobs_;
  std::size_t running_ = 0;  // readers at work, not waiting for the device or for room
  // Readers waiting for work, the one that went idle last on top: it is
  // woken first, while its caches are warm.
  std::vector<Reader*> idle_;
  std::size_t liveReaders_ = 0;
  std::atomic<std::size_t> roomSleepers_{0};

  // The job the engine waits for or takes next, and the bytes read of large
  // files ahead of it.
  std::uint64_t head_ = 0;
  std::int64_t bytesAhead_ = 0;
  std::atomic<std::uint64_t> jobsDone_{0};

  // The engine waiting for a job, and when to wake it.
  std::atomic<bool> engineWaits_{false};
  const PairJob* awaited_ = nullptr;
  std::uint64_t wakeAtJobsDone_ = 0;
  bool bellRung_ = false;

  std::mutex buffersMutex_;
  std::vector<std::byte*> freeBuffers_;
  std::vector<std::byte*> allBuffers_;

  std::stop_source stop_;
  std::vector<std::unique_ptr<Reader>> readers_;
};

}  // namespace ovik
