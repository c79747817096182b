#pragma once

#include "engine/reading/PairReader.h"
#include "engine/reading/ReaderTuning.h"
#include "engine/walk/StepWindow.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <mutex>
#include <shared_mutex>
#include <stop_token>
#include <unordered_set>
#include <thread>
#include <vector>

namespace ovik {

struct ReadAheadLimits {
  std::size_t filesAhead = 1024;       // steps of the walk ahead of the engine
  std::size_t bytesAhead = 64u << 20;  // bytes read of large files ahead of the one waited for
  std::size_t readers = 32;            // threads of a pool on flash or in memory
  // Readers at work at once besides those waiting for the device; 0: as
  // many as the machine has processors.
  std::size_t running = 0;
  // Jobs done before an engine waiting for one is woken, so that each
  // wake-up is worth its cost.
  std::size_t batch = 32;
  // Pairs opened and sorted together on one head: the more, the fewer
  // seeks between them. Bounded by the files the process may hold open.
  std::size_t oneHeadBatch = 4096;
  // Blocks asked of the file system in one read of a longer file.
  std::size_t blocksPerRead = 10;
};

// How a pool reads its medium. Flash and memory: many readers, each on a
// pair, in the order added. One head (a disk that seeks, or a medium not
// known): batches of pairs opened first and read in the order their data
// lies, by as many readers as raise the rate; with both sides on the one
// head, a stretch of sources is read, then the same stretch of
// destinations; with the other side on flash or in memory, another reader
// reads it beside the head's.
struct PoolPace {
  bool oneHead = false;        // the way read first: one head, or many readers
  bool measureWay = false;     // the other way is tried, and the faster kept
  bool bothSidesHere = false;  // source and destination on this pool's one head
  // The side that does not order a batch lies on flash or in memory: while
  // the head reads its side of a pair, another reader reads that side, so
  // the head never waits for it.
  bool otherSideApart = false;
  bool inMemory[2] = {false, false};  // of each side: its medium is memory (tmpfs)
  PairComparison::Side orderBy = PairComparison::kDestination;  // the side whose data order sorts a batch
  std::size_t threads = 1;     // readers there may be
  std::size_t oneHeadMost = 4; // readers one head is tried with
  bool pinned = false;         // always `threads` readers at work
  std::size_t batch = 128;     // pairs opened and sorted at a time
  std::size_t span = 128;      // files a rate is measured over
  std::int64_t stretchBytes = 32 << 20;
  // Held shared while a reader reads, so that the walk lists this head
  // between two pairs rather than during one.
  std::shared_ptr<std::shared_mutex> headLock;
};

// Reader threads that read and compare the jobs added to them and tell the
// window when each is done. They decide no result line.
// Everything a reader touches belongs to the pool, the window or the job,
// which the reader holds, so that a reader stuck in the kernel (a device
// that stalls, a server gone) can be left behind when a run ends: it frees
// nothing of the run's, and what it brings in late goes nowhere.
class ReaderPool : public std::enable_shared_from_this<ReaderPool> {
 public:
  static std::shared_ptr<ReaderPool> Start(FileSystem& fileSystem, std::shared_ptr<StepWindow> window,
                                           std::size_t blockSize, const ReadAheadLimits& limits, PoolPace pace);
  // A pool whose readers start with Begin, once the pace is known.
  ReaderPool(FileSystem& fileSystem, std::shared_ptr<StepWindow> window, std::size_t blockSize,
             const ReadAheadLimits& limits);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // Starts the readers; `notes`: what was found of the media, for
  // Describe. Nothing once stopped.
  void Begin(PoolPace pace, std::string notes = {});
  // Read after every job added before.
  void Add(std::shared_ptr<PairJob> job);
  // The same for several, which are taken from `jobs`.
  void Add(std::vector<std::shared_ptr<PairJob>>& jobs);
  // No more jobs will be added: a one-head batch need not wait for more.
  void AllAdded();
  // Stops every reader; waits a moment for those that finish their call,
  // and leaves behind any that hangs in the kernel.
  void Stop();
  // What was found and chosen, and how many readers it settled on.
  std::string Describe();
  // Whether `side` lies on the one head and the head is read now: on the
  // walk's thread, once the pool has begun.
  bool ReadsOnTheHead(PairComparison::Side side) const {
    return oneHead_.load() && (pace_.bothSidesHere || pace_.orderBy == side);
  }

 private:
  struct Work {
    std::shared_ptr<PairJob> job;
    bool destinationOnly = false;  // the destination of a large file, handed over
  };
  // Where the data of one side of an open pair lies, for the order of a
  // batch: its first extent on the device, else its inode, else nothing.
  struct DataPlace {
    int known = 2;  // 0: the first extent, 1: the inode, 2: neither
    std::uint64_t value = 0;
    auto operator<=>(const DataPlace&) const = default;
  };
  struct OpenedPair {
    std::shared_ptr<PairJob> job;
    DataPlace places[2];
    bool open = true;  // false: taken over unopened from a reader stuck in a call
  };
  // Pairs of a batch a one-head reader reads together, open, in order.
  using Run = std::vector<OpenedPair>;
  class ReaderContext;

  void Serve(std::stop_token stop, std::size_t index);
  // Each returns when stopping or when the way of reading changes.
  void ServeMany(std::stop_token stop, ReaderContext& context, PairReader& reader);
  void GiveBack(std::vector<Work>& taken, std::size_t keep);
  void ServeOneHead(std::stop_token stop, ReaderContext& context, PairReader& reader);
  struct ReadAhead {
    std::shared_ptr<ReadableFile> file;
    std::int64_t length = 0;
  };
  ReadAhead NextToReadAhead(bool noRun) const;
  // Files and bytes of pairs a reader finished.
  struct Span {
    std::size_t files = 0;
    double bytes = 0;
  };
  // `taken`: empty, filled with one job or a few small ones; `done`: what
  // the jobs taken before came to.
  bool NextWork(std::stop_token stop, std::vector<Work>& taken, bool& running, Span done);
  bool TakenInARun(const Work& work) const;
  // With mutex_ held: a span of the current way was read.
  void SpanRead(std::size_t files, double bytes, double seconds);
  // With mutex_ held: the next span is measured from now.
  void StartSpan();
  // With mutex_ held: the pool reads the way way_ settled on.
  void ChangeWay();
  // With mutex_ held: the first bytes of a span one reader compared tell
  // whether the medium outruns any head.
  void LookBeyondAnyHead(std::chrono::steady_clock::time_point now);
  // With mutex_ held: a run of one head was read; `files` of `bytes`
  // not yet counted; `measured`: false for one taken over from a reader
  // that seemed stuck.
  void OneHeadRunRead(std::size_t files, double bytes, bool measured);
  // With mutex_ held: the bytes of `job` compared since it was last
  // counted join one head's rate, so that a span of large files is
  // measured as it is read, not once a file of hundreds of MiB ends.
  void OneHeadProgress(PairJob& job);
  // With mutex_ held: what one head read since its rate was last
  // measured makes a span, or ended a batch.
  void MeasureOneHead(std::chrono::steady_clock::time_point now, bool batchDone);
  // With `lock` on mutex_: the next run of the batch, a new batch opened
  // and sorted when it is out; false when stopping.
  // `apart`: set instead of `run` to a pair whose other side is to be
  // read apart.
  bool NextRun(std::stop_token stop, std::unique_lock<std::mutex>& lock, PairReader& reader, Run& run,
               bool& takenOver, std::shared_ptr<PairJob>& apart);
  // The side of a one-head pair that is not the head's, for another reader
  // to read; false when there is none.
  bool HandApart(const std::shared_ptr<PairJob>& job);
  PairComparison::Side ApartSide() const {
    return pace_.orderBy == PairComparison::kSource ? PairComparison::kDestination : PairComparison::kSource;
  }
  // Opens the pairs of `toOpen_`, `lock` let go meanwhile and held at the
  // end; `inMemory`: the pairs with data were found in memory, all but one
  // in 32, and there was one.
  std::vector<Run> OpenBatch(PairReader& reader, std::unique_lock<std::mutex>& lock, bool& inMemory);
  // Whether the pairs a batch opened are in memory, all but a few.
  class MemoryCount {
   public:
    void Count(PairJob& job);
    bool InMemory() const;

   private:
    std::size_t withData_ = 0;
    std::size_t out_ = 0;
    bool gaveUp_ = false;
  };
  static DataPlace PlaceOf(SideReading& side);
  void FindPlaces(OpenedPair& pair) const;
  void ReadRun(Run& run, PairReader& reader, const std::stop_token& stop, bool inStretches);
  // With `lock` on mutex_: when no reader got anywhere for a while and the
  // engine waits, what the batch has left, as one more run of it.
  bool TakeOverStalledBatch(std::unique_lock<std::mutex>& lock, Run& run);
  bool WalkHoldsTheHead() const;
  void ReadTakenOver(Run& run, PairReader& reader);
  void Finish(PairJob& job);
  // With mutex_ held: a reader leaves its place among those at work.
  void LeavePlace();

  std::byte* TakeBuffer(std::size_t blocks);
  // Reads of one block get buffers of one block, where others are larger.
  bool IsSingleBlock(std::size_t blocks) const { return blocks <= 1 && blocksPerRead_ > 1; }
  void ReturnBuffers(std::vector<std::byte*>& buffers);

  FileSystem& fileSystem_;
  const std::shared_ptr<StepWindow> window_;
  const std::size_t blockSize_;
  const std::size_t blocksPerRead_;
  std::size_t readers_ = 0;
  std::size_t allowedRunning_;
  const std::size_t manyRunning_;  // readers at work at once the many-readers way

  PoolPace pace_;
  std::string notes_;
  bool stopped_ = false;

  std::mutex mutex_;
  std::condition_variable_any workAdded_;  // readers waiting for work or a place at work
  std::condition_variable_any compared_;   // readers waiting for the other side of their pair
  std::deque<Work> work_;
  std::deque<std::shared_ptr<PairJob>> apart_;  // one-head pairs whose other side waits for a reader
  std::size_t running_ = 0;  // readers at work, not waiting for the device or for room
  // What one head read since its rate was last measured. The time of
  // opening a batch is shared among its files.
  struct Measured {
    std::size_t files = 0;
    double bytes = 0;
    double seconds = 0;
  };
  // One head: runs of the batch in hand, readers allowed at work, and what
  // has been read since the rate was last measured.
  std::deque<Run> runs_;
  std::deque<std::shared_ptr<PairJob>> toOpen_;  // of the batch being opened
  Run opened_;                                    // of the batch being opened
  std::chrono::steady_clock::time_point lastProgress_;
  std::chrono::steady_clock::time_point lastAdded_;
  // The walk lists the head mostly between two batches: the next gathers
  // from when the last was read.
  std::chrono::steady_clock::time_point batchEnded_;
  bool allAdded_ = false;
  std::size_t runsLeft_ = 0;
  bool openingBatch_ = false;
  ReaderTuning tuning_{1, false};
  ReadingWay way_{false, false};
  std::atomic<bool> oneHead_{false};
  // Reads that waited for the device, and the count when the span began.
  std::atomic<std::size_t> deviceWaits_{0};
  std::size_t spanWaitsBefore_ = 0;
  bool readsWait_ = true;  // the last span's reads waited for the device
  // The span the many-readers way is measured over.
  std::size_t spanFiles_ = 0;
  double spanBytes_ = 0;
  std::chrono::steady_clock::time_point spanStart_;
  bool trialStarting_ = false;  // many readers tried, their first span not yet read
  Measured measured_;
  double openSecondsPerFile_ = 0;                      // of the batch in hand
  std::chrono::steady_clock::time_point readingSince_;  // its runs were ready, or its rate last measured
  std::vector<char> exited_;
  std::size_t live_ = 0;
  std::vector<std::byte*> freeBuffers_;
  std::vector<std::byte*> freeSingleBlocks_;
  std::unordered_set<std::byte*> singleBlocks_;
  std::vector<std::byte*> allBuffers_;
  std::vector<std::jthread> threads_;
};

}  // namespace ovik
