#pragma once

#include "engine/PairReader.h"
#include "engine/StepWindow.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace ovik {

struct ReadAheadLimits {
  std::size_t filesAhead = 128;        // steps of the walk ahead of the engine
  std::size_t bytesAhead = 64u << 20;  // bytes read of large files ahead of the one waited for
  std::size_t readers = 32;            // threads of a pool on flash or in memory
  // Readers at work at once besides those waiting for the device; 0: as
  // many as the machine has processors.
  std::size_t running = 0;
  // Jobs done before an engine waiting for one is woken, so that each
  // wake-up is worth its cost.
  std::size_t batch = 32;
  // Blocks asked of the file system in one read of a longer file.
  std::size_t blocksPerRead = 10;
};

// Reader threads that read and compare the jobs added to them, in the order
// added, and tell the window when each is done. They decide no result line.
// Everything a reader touches belongs to the pool, the window or the job,
// which the reader holds, so that a reader stuck in the kernel (a device
// that stalls, a server gone) can be left behind when a run ends: it frees
// nothing of the run's, and what it brings in late goes nowhere.
class ReaderPool : public std::enable_shared_from_this<ReaderPool> {
 public:
  static std::shared_ptr<ReaderPool> Start(FileSystem& fileSystem, std::shared_ptr<StepWindow> window,
                                           std::size_t blockSize, const ReadAheadLimits& limits,
                                           std::size_t readers);
  ReaderPool(FileSystem& fileSystem, std::shared_ptr<StepWindow> window, std::size_t blockSize,
             const ReadAheadLimits& limits, std::size_t readers);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // Read after every job added before.
  void Add(std::shared_ptr<PairJob> job);
  // Stops every reader; waits a moment for those that finish their call,
  // and leaves behind any that hangs in the kernel.
  void Stop();

 private:
  struct Work {
    std::shared_ptr<PairJob> job;
    bool destinationOnly = false;  // the destination of a large file, handed over
  };
  class ReaderContext;

  void Serve(std::stop_token stop, std::size_t index);
  bool NextWork(std::stop_token stop, Work& work, bool& running);
  // With mutex_ held: a reader leaves its place among those at work.
  void LeavePlace();

  std::byte* TakeBuffer();
  void ReturnBuffers(std::vector<std::byte*>& buffers);

  FileSystem& fileSystem_;
  const std::shared_ptr<StepWindow> window_;
  const std::size_t blockSize_;
  const std::size_t blocksPerRead_;
  const std::size_t readers_;
  const std::size_t allowedRunning_;

  std::mutex mutex_;
  std::condition_variable_any workAdded_;  // readers waiting for work or a place at work
  std::condition_variable_any compared_;   // readers waiting for the other side of their pair
  std::deque<Work> work_;
  std::size_t running_ = 0;  // readers at work, not waiting for the device or for room
  std::vector<char> exited_;
  std::size_t live_ = 0;
  std::vector<std::byte*> freeBuffers_;
  std::vector<std::byte*> allBuffers_;
  std::vector<std::jthread> threads_;
};

}  // namespace ovik
