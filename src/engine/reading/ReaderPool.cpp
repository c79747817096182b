#include "engine/reading/ReaderPool.h"

#include "platform/WorkThread.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>

namespace ovik {
namespace {

// How long the end of a run waits for readers to finish the call they are
// in before it leaves them behind.
constexpr auto kLeaveBehindAfter = std::chrono::milliseconds(100);
// Small files a reader takes at a time the many-readers way.
constexpr std::size_t kSmallFilesTaken = 8;
// A one-head reader that got nowhere for this long is taken to be stuck.
constexpr auto kStallAfter = std::chrono::milliseconds(250);
// How long a one-head batch waits for the walk to add more.
constexpr auto kGatherFor = std::chrono::milliseconds(20);
// Pairs of a batch found in memory before the rest is left to many readers.
constexpr std::size_t kEnoughToTellMemory = 256;
// Pairs with data per pair out of memory that a batch still counts as in
// memory: the system's memory reclaim takes a page from a warm tree here
// and there.
constexpr std::size_t kPairsPerMissTolerated = 32;
// Bytes of large files one head's rate is measured over, at most.
constexpr double kSpanBytes = 128 << 20;
// Bytes of large files one reader compares before its rate is first looked
// at: with both sides on the head, a stretch of each.
constexpr double kFirstLookBytes = 32 << 20;
// Spans' worth of files many readers are tried over.
constexpr std::size_t kTrialSpans = 4;
// Single-block buffers a reader keeps for itself: both sides of a small file.
constexpr std::size_t kSingleBlocksKept = 2;

}  // namespace

// What a reader of the pool gives the PairReader: the pool's buffers, a
// second reader for a large file's destination, and leave to read on.
class ReaderPool::ReaderContext final : public ReadingPlace, public WaitNotice {
 public:
  ReaderContext(ReaderPool& pool, std::stop_token stop) : pool_(pool), stop_(std::move(stop)) {}
  FileSystem& Files() override { return pool_.fileSystem_; }
  std::size_t BlocksPerRead() const override { return pool_.blocksPerRead_; }
  // In memory a read never waits for a device; where the file system
  // refuses reads that must not wait (tmpfs does), asking first would
  // count every read as a wait.
  WaitNotice* Waits(PairComparison::Side side) override { return pool_.pace_.inMemory[side] ? nullptr : this; }
  std::byte* TakeBuffer(std::size_t blocks) override;
  void ReturnBuffers(std::vector<std::byte*>& buffers) override;
  bool HandOffDestination(const std::shared_ptr<PairJob>& job) override;
  // The jobs the reader took together, and the one it reads.
  void Holds(std::vector<Work>* taken, std::size_t current) {
    taken_ = taken;
    current_ = current;
  }
  bool TakeBackSide(PairJob& job, PairComparison::Side side) override;
  // Reads the other side of a one-head pair, with no place among the
  // head's readers to leave while it waits.
  void ReadsApart(bool apart) { apart_ = apart; }
  bool WaitForRoom(PairJob& job, PairComparison::Side side) override;
  bool MayRead(PairJob& job) override;
  void Compared(PairJob& job) override;
  void WaitStarts() override;
  void WaitEnds() override;

 private:
  ReaderPool& pool_;
  std::stop_token stop_;
  bool leftPlace_ = false;  // gave up its place among those at work while the device is busy
  std::vector<Work>* taken_ = nullptr;
  std::size_t current_ = 0;
  bool apart_ = false;
  // Single-block buffers kept for the reader's next small files, so that a
  // pair of them costs no lock; and every one it took, which are the only
  // ones it can tell from the others without the pool's lock.
  std::vector<std::byte*> singleBlocks_;
  std::vector<std::byte*> singleBlocksTaken_;
};

std::shared_ptr<ReaderPool> ReaderPool::Start(FileSystem& fileSystem, std::shared_ptr<StepWindow> window,
                                              std::size_t blockSize, const ReadAheadLimits& limits, PoolPace pace) {
  auto pool = std::make_shared<ReaderPool>(fileSystem, std::move(window), blockSize, limits);
  pool->Begin(std::move(pace));
  return pool;
}

ReaderPool::ReaderPool(FileSystem& fileSystem, std::shared_ptr<StepWindow> window, std::size_t blockSize,
                       const ReadAheadLimits& limits)
    : fileSystem_(fileSystem),
      window_(std::move(window)),
      blockSize_(blockSize),
      blocksPerRead_(std::max<std::size_t>(1, limits.blocksPerRead)),
      allowedRunning_(limits.running != 0 ? limits.running : std::max(2u, std::thread::hardware_concurrency())),
      manyRunning_(allowedRunning_) {}

// Each reader holds the pool: a reader left behind keeps alive what it may
// still touch.
void ReaderPool::Begin(PoolPace pace, std::string notes) {
  const std::lock_guard lock(mutex_);
  if (stopped_ || !threads_.empty()) return;
  pace_ = std::move(pace);
  notes_ = std::move(notes);
  readers_ = std::max<std::size_t>(1, pace_.threads);
  tuning_ = ReaderTuning(std::min(readers_, pace_.oneHeadMost), pace_.pinned);
  way_ = ReadingWay(pace_.oneHead, pace_.measureWay);
  oneHead_ = pace_.oneHead;
  if (pace_.oneHead) allowedRunning_ = tuning_.Readers();
  spanStart_ = std::chrono::steady_clock::now();
  exited_.assign(readers_, 0);
  live_ = readers_;
  threads_.reserve(readers_);
  std::shared_ptr<ReaderPool> self = shared_from_this();
  for (std::size_t i = 0; i < readers_; ++i)
    threads_.emplace_back([self, i](std::stop_token stop) { self->Serve(std::move(stop), i); });
}

std::string ReaderPool::Describe() {
  const std::lock_guard lock(mutex_);
  if (threads_.empty()) return notes_;
  std::string settled = oneHead_ ? "one head, " + tuning_.Describe() : std::to_string(readers_) + " readers";
  if (!way_.Describe().empty()) settled += " (" + way_.Describe() + ")";
  return notes_ + (notes_.empty() ? "" : "\n") + "settled on: " + settled;
}

ReaderPool::~ReaderPool() {
  for (std::byte* buffer : allBuffers_) std::free(buffer);
}

// A one-head batch gathers what the walk adds; its readers look again in
// a moment.
void ReaderPool::Add(std::shared_ptr<PairJob> job) {
  std::vector<std::shared_ptr<PairJob>> jobs;
  jobs.push_back(std::move(job));
  Add(jobs);
}

// Readers are woken for a share of small files each, up to the readers
// allowed at work, once the lock is let go, so that they do not wake only
// to wait for it.
void ReaderPool::Add(std::vector<std::shared_ptr<PairJob>>& jobs) {
  std::size_t toWake = 0;
  {
    const std::lock_guard lock(mutex_);
    for (std::shared_ptr<PairJob>& job : jobs) work_.push_back({std::move(job)});
    jobs.clear();
    lastAdded_ = std::chrono::steady_clock::now();
    if (oneHead_) {
      toWake = running_ < allowedRunning_ && work_.size() >= pace_.batch ? 1 : 0;
    } else {
      const std::size_t wanted = std::min((work_.size() + kSmallFilesTaken - 1) / kSmallFilesTaken, allowedRunning_);
      toWake = wanted > running_ ? wanted - running_ : 0;
    }
  }
  for (std::size_t i = 0; i < toWake; ++i) workAdded_.notify_one();
}

void ReaderPool::AllAdded() {
  const std::lock_guard lock(mutex_);
  allAdded_ = true;
  workAdded_.notify_all();
}

void ReaderPool::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
  }
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
  StartWorkThread("ovik-reader");
  ReaderContext context(*this, stop);
  PairReader reader(context, blockSize_);
  while (!stop.stop_requested()) {
    if (oneHead_) ServeOneHead(stop, context, reader);
    else ServeMany(stop, context, reader);
  }
  // Counted out under the lock, so that whoever sees it exited joins it.
  const std::lock_guard lock(mutex_);
  exited_[index] = 1;
  --live_;
}

void ReaderPool::ServeMany(std::stop_token stop, ReaderContext& context, PairReader& reader) {
  std::vector<Work> taken;
  bool running = false;
  Span done;
  while (NextWork(stop, taken, running, done)) {
    done = Span{};
    for (std::size_t i = 0; i < taken.size(); ++i) {
      Work& work = taken[i];
      context.Holds(&taken, i);
      if (work.job->digestOnly) reader.ReadForDigest(*work.job);
      else if (work.destinationOnly) reader.ReadHandedOffDestination(*work.job);
      else reader.ReadPair(work.job);
      if (!work.destinationOnly) {
        ++done.files;
        done.bytes += static_cast<double>(std::max<std::int64_t>(work.job->planSize, 0));
      }
      Finish(*work.job);
      work = Work{};
    }
    context.Holds(nullptr, 0);
    taken.clear();
  }
}

// Jobs a reader took with one that turned out large go back to the front
// of the work, in their order, for other readers to take.
void ReaderPool::GiveBack(std::vector<Work>& taken, std::size_t keep) {
  if (taken.size() <= keep) return;
  const std::lock_guard lock(mutex_);
  work_.insert(work_.begin(), std::make_move_iterator(taken.begin() + static_cast<std::ptrdiff_t>(keep)),
               std::make_move_iterator(taken.end()));
  taken.resize(keep);
  if (running_ < allowedRunning_) workAdded_.notify_one();
}

// Whether a job may be taken with others: a pair whose source, as the walk
// listed it, fits one read, or was listed without its size. One found large
// at its open gives back those taken after it.
bool ReaderPool::TakenInARun(const Work& work) const {
  return !work.destinationOnly && !work.job->digestOnly &&
         work.job->listedSize < static_cast<std::int64_t>(blockSize_ * blocksPerRead_);
}

// The next work in the order added, once fewer readers than allowed are at
// work; false when stopping or when the pool goes over to one head (a
// destination handed over is still read). A reader that goes on from job
// to job keeps its place among those at work. Small files are taken a few
// at a time while their reads do not wait for the device, so that a
// reader comes back for work once per few files rather than once per
// file, while every reader at work still gets a share.
bool ReaderPool::NextWork(std::stop_token stop, std::vector<Work>& taken, bool& running, Span done) {
  std::unique_lock lock(mutex_);
  if (done.files > 0 && !oneHead_) {
    spanBytes_ += done.bytes;
    spanFiles_ += done.files;
    // Many readers tried: over a few spans of one head, from the end of
    // their first span, so that their start (the rest of a batch one head
    // opened, a cold walk) does not weigh on the trial.
    if (spanFiles_ >= (way_.Trying() && !trialStarting_ ? kTrialSpans : 1) * pace_.span) {
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - spanStart_;
      if (trialStarting_) {
        trialStarting_ = false;
        StartSpan();
      } else {
        SpanRead(spanFiles_, spanBytes_, took.count());
      }
    }
  }
  for (;;) {
    const bool handedOver = !work_.empty() && work_.front().destinationOnly;
    if (stop.stop_requested() || (oneHead_ && !handedOver)) {
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
    workAdded_.wait(lock, stop, [&] { return oneHead_ || (!work_.empty() && running_ < allowedRunning_); });
  }
  if (!running) ++running_;
  running = true;
  // Reads that wait for the device are better many at once, one per reader.
  const bool few = !readsWait_ && TakenInARun(work_.front());
  const std::size_t share = few ? std::clamp<std::size_t>(work_.size() / allowedRunning_, 1, kSmallFilesTaken) : 1;
  do {
    taken.push_back(std::move(work_.front()));
    work_.pop_front();
  } while (taken.size() < share && !work_.empty() && TakenInARun(work_.front()));
  return true;
}

// The way of reading changes only between spans; one head is taken up
// only once no destination handed over waits to be read.
void ReaderPool::SpanRead(std::size_t files, double bytes, double seconds) {
  const std::size_t waits = deviceWaits_.load();
  const bool toOneHead = !oneHead_;
  if (toOneHead && !work_.empty() && work_.front().destinationOnly) return;
  double rate = ReadingRate(files, bytes, seconds);
  if (oneHead_) rate = std::max(rate, tuning_.SettledRate());
  // A span read from memory may still have waited once or twice (a page
  // the kernel was bringing in); one from the device waits for most files.
  const bool waitedForDevice = waits - spanWaitsBefore_ > files / 8;
  readsWait_ = waitedForDevice;
  if (way_.SpanRead(rate, waitedForDevice, tuning_.Settled() && tuning_.Readers() > 1)) ChangeWay();
  StartSpan();
}

void ReaderPool::ChangeWay() {
  oneHead_ = way_.OneHead();
  if (oneHead_) tuning_ = ReaderTuning(std::min(readers_, pace_.oneHeadMost), pace_.pinned);
  allowedRunning_ = oneHead_ ? tuning_.Readers() : manyRunning_;
  trialStarting_ = !oneHead_ && way_.Trying();
  workAdded_.notify_all();
}

void ReaderPool::StartSpan() {
  spanWaitsBefore_ = deviceWaits_.load();
  spanFiles_ = 0;
  spanBytes_ = 0;
  spanStart_ = std::chrono::steady_clock::now();
}

void ReaderPool::Finish(PairJob& job) {
  if (LeaveJob(job)) window_->Done(job);
}

// --- One head ----------------------------------------------------------------

void ReaderPool::ServeOneHead(std::stop_token stop, ReaderContext& context, PairReader& reader) {
  std::unique_lock lock(mutex_);
  Run run;
  bool takenOver = false;
  std::shared_ptr<PairJob> apart;
  while (NextRun(stop, lock, reader, run, takenOver, apart)) {
    const bool inStretches = oneHead_ && pace_.bothSidesHere;
    ReadAhead next = NextToReadAhead(takenOver || apart || inStretches);
    lock.unlock();
    if (next.file) next.file->WillRead(next.length);
    if (apart) {
      context.ReadsApart(true);
      reader.ReadApartSide(*apart, ApartSide());
      context.ReadsApart(false);
      Finish(*apart);
      apart.reset();
      lock.lock();
      continue;
    }
    {
      std::shared_lock head = pace_.headLock ? std::shared_lock(*pace_.headLock) : std::shared_lock<std::shared_mutex>();
      if (takenOver) ReadTakenOver(run, reader);
      else ReadRun(run, reader, stop, inStretches);
    }
    for (OpenedPair& pair : run) Finish(*pair.job);
    lock.lock();
    double bytes = 0;
    for (const OpenedPair& pair : run)
      bytes += static_cast<double>(std::max<std::int64_t>(pair.job->planSize - pair.job->countedInRate, 0));
    --running_;
    lastProgress_ = std::chrono::steady_clock::now();
    const std::size_t files = run.size();
    run.clear();
    OneHeadRunRead(files, bytes, !takenOver);
  }
}

// While one head reads a pair, the start of the next pair's file on the
// head is asked for, so that the head finds the next request waiting when
// it is done with this one, rather than idling while the reader compares
// and asks. Pairs in memory and stretches of both sides are left alone.
ReaderPool::ReadAhead ReaderPool::NextToReadAhead(bool noRun) const {
  if (noRun || !oneHead_ || runs_.empty() || runs_.front().empty()) return {};
  const OpenedPair& next = runs_.front().front();
  const SideReading& side = next.job->sides[pace_.orderBy];
  if (!side.file || side.ended || next.job->planSize <= 0) return {};
  const auto readBytes = static_cast<std::int64_t>(blockSize_ * blocksPerRead_);
  return {side.file, std::min(next.job->planSize, readBytes)};
}

// The rate of one head is measured every span of files read from its
// sorted batches, so that the readers are tuned as often as with small
// batches while the head still seeks once per large one. Files of a batch
// read after the pool went over to many readers count as theirs.
void ReaderPool::OneHeadRunRead(std::size_t files, double bytes, bool measured) {
  const auto now = std::chrono::steady_clock::now();
  const bool batchDone = --runsLeft_ == 0 && runs_.empty() && !openingBatch_;
  if (batchDone) batchEnded_ = now;
  if (!measured) return;
  if (!oneHead_) {
    spanFiles_ += files;
    spanBytes_ += bytes;
    return;
  }
  measured_.files += files;
  measured_.bytes += bytes;
  measured_.seconds += static_cast<double>(files) * openSecondsPerFile_;
  MeasureOneHead(now, batchDone);
}

void ReaderPool::OneHeadProgress(PairJob& job) {
  const std::int64_t checked = job.Progress();
  if (!oneHead_ || checked <= job.countedInRate) return;
  const bool firstLook = measured_.bytes < kFirstLookBytes;
  measured_.bytes += static_cast<double>(checked - job.countedInRate);
  job.countedInRate = checked;
  const auto now = std::chrono::steady_clock::now();
  if (firstLook && measured_.bytes >= kFirstLookBytes) LookBeyondAnyHead(now);
  if (measured_.bytes >= kSpanBytes) MeasureOneHead(now, false);
}

// The first MiB of large files one reader compares tell a medium far
// faster than any head that seeks (a virtual disk said to spin) at once,
// rather than after a span and a reader or two more. With both sides on
// the head, it read each byte compared twice.
void ReaderPool::LookBeyondAnyHead(std::chrono::steady_clock::time_point now) {
  if (tuning_.Readers() != 1 || !IsLarge(measured_.files, measured_.bytes)) return;
  const double seconds = measured_.seconds + std::chrono::duration<double>(now - readingSince_).count();
  const double headBytes = measured_.bytes * (pace_.bothSidesHere ? 2 : 1);
  if (seconds <= 0 || !way_.ReadBeyondAnyHead(measured_.bytes / seconds, headBytes / seconds)) return;
  ChangeWay();
  measured_ = Measured{};
  readingSince_ = now;
  StartSpan();
}

void ReaderPool::MeasureOneHead(std::chrono::steady_clock::time_point now, bool batchDone) {
  const bool spanFull = measured_.files >= pace_.span || measured_.bytes >= kSpanBytes;
  if (!batchDone && !spanFull) return;
  measured_.seconds += std::chrono::duration<double>(now - readingSince_).count();
  readingSince_ = now;
  if (!spanFull) return;
  if (tuning_.BatchRead(measured_.files, measured_.bytes, measured_.seconds)) allowedRunning_ = tuning_.Readers();
  SpanRead(measured_.files, measured_.bytes, measured_.seconds);
  measured_ = Measured{};
  workAdded_.notify_all();
}

bool ReaderPool::NextRun(std::stop_token stop, std::unique_lock<std::mutex>& lock, PairReader& reader, Run& run,
                         bool& takenOver, std::shared_ptr<PairJob>& apart) {
  takenOver = false;
  // Once a batch is full, the walk has ended or has added nothing for a moment.
  const auto mayOpenBatch = [&] {
    return oneHead_ && runs_.empty() && runsLeft_ == 0 && !openingBatch_ && !work_.empty() &&
           !work_.front().destinationOnly &&
           running_ < allowedRunning_ &&
           (work_.size() >= pace_.batch || allAdded_ ||
            std::chrono::steady_clock::now() - std::max(lastAdded_, batchEnded_) >= kGatherFor);
  };
  const auto mayTakeRun = [&] { return !runs_.empty() && running_ < allowedRunning_; };
  // Once the pool reads the many-readers way, the runs opened before are
  // still read here.
  const auto leftOneHead = [&] { return !oneHead_ && runs_.empty(); };
  for (;;) {
    if (stop.stop_requested()) return false;
    // Taken by a reader that holds no place at the head, at once: the
    // head's reader may be waiting for it.
    if (!apart_.empty()) {
      apart = std::move(apart_.front());
      apart_.pop_front();
      return true;
    }
    if (leftOneHead()) return false;
    if (mayTakeRun()) {
      run = std::move(runs_.front());
      runs_.pop_front();
      ++running_;
      lastProgress_ = std::chrono::steady_clock::now();
      return true;
    }
    if (mayOpenBatch()) {
      while (!work_.empty() && toOpen_.size() < pace_.batch) {
        toOpen_.push_back(std::move(work_.front().job));
        work_.pop_front();
      }
      openingBatch_ = true;
      ++running_;
      // A reader that begins is not stuck, however long the pool waited.
      const auto openStart = std::chrono::steady_clock::now();
      lastProgress_ = openStart;
      lock.unlock();
      std::vector<Run> runs;
      bool inMemory = false;
      {
        std::shared_lock head = pace_.headLock ? std::shared_lock(*pace_.headLock) : std::shared_lock<std::shared_mutex>();
        runs = OpenBatch(reader, lock, inMemory);
      }
      --running_;
      openingBatch_ = false;
      runsLeft_ += runs.size();
      std::size_t opened = 0;
      for (Run& run : runs) opened += run.size();
      readingSince_ = std::chrono::steady_clock::now();
      openSecondsPerFile_ = std::chrono::duration<double>(readingSince_ - openStart).count() /
                            static_cast<double>(std::max<std::size_t>(1, opened));
      for (Run& batchRun : runs) runs_.push_back(std::move(batchRun));
      // Its runs are read as they are, by as many readers as the many way has.
      if (inMemory && way_.FoundInMemory()) {
        oneHead_ = false;
        allowedRunning_ = manyRunning_;
      }
      workAdded_.notify_all();
      continue;
    }
    if (work_.empty() && runs_.empty()) {
      lock.unlock();
      window_->ReaderWaits();
      lock.lock();
    }
    const bool ready =
        workAdded_.wait_for(lock, stop, kGatherFor,
                            [&] { return !apart_.empty() || leftOneHead() || mayTakeRun() || mayOpenBatch(); });
    if (!ready && TakeOverStalledBatch(lock, run)) {
      takenOver = true;
      return true;
    }
  }
}

// A reader stuck in a call (a file whose open or read never answers) holds
// up the batch it opens or reads; another reader reads the rest in the
// walk's order, so that the engine comes to the stuck file itself.
bool ReaderPool::TakeOverStalledBatch(std::unique_lock<std::mutex>& lock, Run& run) {
  if (std::chrono::steady_clock::now() - lastProgress_ < kStallAfter) return false;
  if (!openingBatch_ && runs_.empty()) return false;
  lock.unlock();
  const bool engineWaits = window_->EngineWaits() && !WalkHoldsTheHead();
  lock.lock();
  if (!engineWaits) return false;
  run = std::move(opened_);
  opened_.clear();
  for (Run& waiting : runs_) {
    for (OpenedPair& pair : waiting) run.push_back(std::move(pair));
    --runsLeft_;
  }
  runs_.clear();
  for (std::shared_ptr<PairJob>& job : toOpen_) run.push_back({std::move(job), {}, false});
  toOpen_.clear();
  // The stuck reader holds up the next batch too.
  while (!work_.empty() && run.size() < pace_.batch) {
    run.push_back({std::move(work_.front().job), {}, false});
    work_.pop_front();
  }
  if (run.empty()) return false;
  std::sort(run.begin(), run.end(), [](const OpenedPair& a, const OpenedPair& b) { return a.job->serial < b.job->serial; });
  // One more run of the batch: no other batch is opened while it is read.
  ++runsLeft_;
  ++running_;
  lastProgress_ = std::chrono::steady_clock::now();
  return true;
}

// The walk lists the head: the readers wait for it, and so would whoever
// took over from them.
bool ReaderPool::WalkHoldsTheHead() const {
  if (!pace_.headLock || !pace_.headLock->try_lock_shared()) return static_cast<bool>(pace_.headLock);
  pace_.headLock->unlock_shared();
  return false;
}

// What was taken over is opened first and read in the order of its data,
// as a batch is: the reader that seemed stuck may only be slow, and reading
// in the walk's order beside it would make the head seek for every file.
void ReaderPool::ReadTakenOver(Run& run, PairReader& reader) {
  std::vector<OpenedPair*> toRead;
  for (OpenedPair& pair : run) {
    PairJob& job = *pair.job;
    if (pair.open) {
      reader.TakeOverPair(job);
    } else if (reader.OpenPair(job)) {
      FindPlaces(pair);
    } else {
      reader.FinishPair(job);
      continue;
    }
    toRead.push_back(&pair);
  }
  const int orderBy = pace_.orderBy;
  std::stable_sort(toRead.begin(), toRead.end(), [orderBy](const OpenedPair* a, const OpenedPair* b) {
    return a->places[orderBy] < b->places[orderBy];
  });
  for (OpenedPair* pair : toRead) {
    if (!pair->job->comparison.Decided()) reader.ReadBoth(*pair->job);
    reader.FinishPair(*pair->job);
  }
}

// Each place costs a call: only those that order something.
void ReaderPool::FindPlaces(OpenedPair& pair) const {
  for (int side = 0; side < 2; ++side)
    if (side == pace_.orderBy || pace_.bothSidesHere) pair.places[side] = PlaceOf(pair.job->sides[side]);
}

// Both sides are in memory: the pair will not move the head. Asking stops
// once more pairs are out than a batch in memory may have, so that a cold
// disk is asked of a pair or two a batch.
void ReaderPool::MemoryCount::Count(PairJob& job) {
  if (job.planSize <= 0 || gaveUp_) return;
  ++withData_;
  for (SideReading& side : job.sides)
    if (!side.file->InMemory()) {
      ++out_;
      gaveUp_ = out_ > withData_ / kPairsPerMissTolerated + 1;
      return;
    }
}

// A batch whose opens decided every pair, or whose files are all empty,
// tells nothing of the medium.
bool ReaderPool::MemoryCount::InMemory() const {
  return !gaveUp_ && withData_ > 0 && out_ <= withData_ / kPairsPerMissTolerated;
}

ReaderPool::DataPlace ReaderPool::PlaceOf(SideReading& side) {
  if (const std::optional<std::uint64_t> offset = side.file->PhysicalOffset()) return {0, *offset};
  if (side.id.inode != 0) return {1, side.id.inode};
  return {};
}

// The pairs are opened in the walk's order, which is the order of their
// folders' entries, and read in the order of their data on the one head.
// A pair an open decided is done at once.
std::vector<ReaderPool::Run> ReaderPool::OpenBatch(PairReader& reader, std::unique_lock<std::mutex>& lock,
                                                   bool& inMemory) {
  MemoryCount memory;
  std::size_t tried = 0;
  for (;;) {
    lock.lock();
    lastProgress_ = std::chrono::steady_clock::now();
    if (toOpen_.empty()) break;
    // So many pairs in memory tell enough: the rest goes back, for many
    // readers to open at once rather than one after another here.
    if (memory.InMemory() && tried >= kEnoughToTellMemory) {
      while (!toOpen_.empty()) {
        work_.push_front({std::move(toOpen_.back())});
        toOpen_.pop_back();
      }
      break;
    }
    ++tried;
    std::shared_ptr<PairJob> job = std::move(toOpen_.front());
    toOpen_.pop_front();
    lock.unlock();
    OpenedPair pair{job, {}, true};
    if (reader.OpenPair(*job)) {
      memory.Count(*job);
      FindPlaces(pair);
    } else {
      reader.FinishPair(*job);
      Finish(*job);
      continue;
    }
    lock.lock();
    opened_.push_back(std::move(pair));
    lock.unlock();
  }
  inMemory = memory.InMemory();
  // With the lock held from here: what was opened, unless taken over.
  Run opened = std::move(opened_);
  opened_.clear();
  const int orderBy = pace_.orderBy;
  std::stable_sort(opened.begin(), opened.end(), [orderBy](const OpenedPair& a, const OpenedPair& b) {
    return a.places[orderBy] < b.places[orderBy];
  });
  // Both sides on the one head: runs of pairs whose sources together fill
  // a stretch, at most half a batch, so that a second reader has a run to
  // read and the tuning learns whether the head seeks; otherwise a run is
  // one pair.
  std::vector<Run> runs;
  std::int64_t inLastRun = 0;
  for (OpenedPair& pair : opened) {
    const std::int64_t size = std::max<std::int64_t>(pair.job->planSize, 0);
    if (runs.empty() || !pace_.bothSidesHere || inLastRun + size > pace_.stretchBytes ||
        runs.back().size() >= std::max<std::size_t>(1, pace_.span / 2)) {
      runs.emplace_back();
      inLastRun = 0;
    }
    inLastRun += size;
    runs.back().push_back(std::move(pair));
  }
  return runs;
}

// With both sides on the one head, a stretch of the sources is read in the
// order of their data, then the same stretch of the destinations in
// theirs, never a block of each in turn. A run read the many-readers way
// (its batch was found in memory) reads a block of each side in turn, so
// that each block is compared while it is still in the processor's cache.
void ReaderPool::ReadRun(Run& run, PairReader& reader, const std::stop_token& stop, bool inStretches) {
  for (OpenedPair& pair : run) reader.TakeOverPair(*pair.job);
  if (!inStretches) {
    for (OpenedPair& pair : run) {
      if (pace_.otherSideApart && !pair.job->comparison.Decided() && HandApart(pair.job)) {
        reader.ReadOwnSide(*pair.job, pace_.orderBy);
        continue;
      }
      reader.ReadBoth(*pair.job);
      reader.FinishPair(*pair.job);
    }
    return;
  }
  const std::int64_t stretchBlocks = std::max<std::int64_t>(1, pace_.stretchBytes / static_cast<std::int64_t>(blockSize_));
  Run bySource = run;
  std::stable_sort(bySource.begin(), bySource.end(), [](const OpenedPair& a, const OpenedPair& b) {
    return a.places[PairComparison::kSource] < b.places[PairComparison::kSource];
  });
  const auto unfinished = [](const OpenedPair& pair) {
    const PairJob& job = *pair.job;
    return !job.comparison.Decided() && !(job.sides[0].ended && job.sides[1].ended);
  };
  while (!stop.stop_requested() && std::any_of(run.begin(), run.end(), unfinished)) {
    for (OpenedPair& pair : bySource)
      reader.ReadStretch(*pair.job, PairComparison::kSource, pair.job->sides[0].nextBlock + stretchBlocks);
    for (OpenedPair& pair : run)
      reader.ReadStretch(*pair.job, PairComparison::kDestination, pair.job->sides[1].nextBlock + stretchBlocks);
  }
  for (OpenedPair& pair : run) reader.FinishPair(*pair.job);
}

bool ReaderPool::HandApart(const std::shared_ptr<PairJob>& job) {
  const std::lock_guard lock(mutex_);
  if (readers_ < 2 || stopped_) return false;
  job->parts.fetch_add(1);
  apart_.push_back(job);
  workAdded_.notify_one();
  return true;
}

void ReaderPool::LeavePlace() {
  --running_;
  if (!work_.empty()) workAdded_.notify_one();
}

bool ReaderPool::ReaderContext::HandOffDestination(const std::shared_ptr<PairJob>& job) {
  // The small files taken with this one go back for other readers first.
  if (taken_ != nullptr) pool_.GiveBack(*taken_, current_ + 1);
  if (pool_.readers_ < 2) return false;
  const std::lock_guard lock(pool_.mutex_);
  if (pool_.oneHead_) return false;
  job->parts.fetch_add(1);
  job->large = true;
  pool_.work_.push_front({job, true});
  if (pool_.running_ < pool_.allowedRunning_) pool_.workAdded_.notify_one();
  return true;
}

bool ReaderPool::ReaderContext::TakeBackSide(PairJob& job, PairComparison::Side side) {
  const std::lock_guard lock(pool_.mutex_);
  if (side == pool_.ApartSide()) {
    const auto apart = std::find_if(pool_.apart_.begin(), pool_.apart_.end(),
                                    [&](const std::shared_ptr<PairJob>& queued) { return queued.get() == &job; });
    if (apart != pool_.apart_.end()) {
      pool_.apart_.erase(apart);
      job.parts.fetch_sub(1);
      return true;
    }
  }
  if (side != PairComparison::kDestination) return false;
  const auto found = std::find_if(pool_.work_.begin(), pool_.work_.end(), [&](const Work& queued) {
    return queued.job.get() == &job && queued.destinationOnly;
  });
  if (found == pool_.work_.end()) return false;
  pool_.work_.erase(found);
  job.parts.fetch_sub(1);
  return true;
}

// Waits while this side is too far ahead of the other: without a place
// among the readers at work the many-readers way; a reader of one head
// keeps its place, since another would only make the head seek, and one
// reading apart holds none.
bool ReaderPool::ReaderContext::WaitForRoom(PairJob& job, PairComparison::Side side) {
  const auto limit = PairReader::kReadsAhead * static_cast<std::int64_t>(pool_.blocksPerRead_);
  pool_.window_->ReaderWaits();
  std::unique_lock lock(pool_.mutex_);
  ++job.waitingForRoom;
  const bool leavesPlace = !apart_ && !pool_.oneHead_;
  if (leavesPlace) pool_.LeavePlace();
  const bool room = pool_.compared_.wait(lock, stop_, [&] {
    return job.comparison.Decided() || job.comparison.BlocksAhead(side) <= limit / 2 || job.comparison.Comparable();
  });
  if (leavesPlace) ++pool_.running_;
  --job.waitingForRoom;
  lock.unlock();
  // Blocks the other side brought in for this reader to compare.
  std::vector<std::byte*> spent;
  job.comparison.CompareAvailable(spent);
  if (!spent.empty()) pool_.ReturnBuffers(spent);
  return room;
}

std::byte* ReaderPool::ReaderContext::TakeBuffer(std::size_t blocks) {
  if (!pool_.IsSingleBlock(blocks)) return pool_.TakeBuffer(blocks);
  if (!singleBlocks_.empty()) {
    std::byte* buffer = singleBlocks_.back();
    singleBlocks_.pop_back();
    return buffer;
  }
  std::byte* buffer = pool_.TakeBuffer(blocks);
  if (std::find(singleBlocksTaken_.begin(), singleBlocksTaken_.end(), buffer) == singleBlocksTaken_.end())
    singleBlocksTaken_.push_back(buffer);
  return buffer;
}

void ReaderPool::ReaderContext::ReturnBuffers(std::vector<std::byte*>& buffers) {
  std::erase_if(buffers, [&](std::byte* buffer) {
    if (singleBlocks_.size() == kSingleBlocksKept) return false;
    if (std::find(singleBlocksTaken_.begin(), singleBlocksTaken_.end(), buffer) == singleBlocksTaken_.end())
      return false;
    singleBlocks_.push_back(buffer);
    return true;
  });
  if (!buffers.empty()) pool_.ReturnBuffers(buffers);
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
  if (pool_.oneHead_) {
    const std::lock_guard lock(pool_.mutex_);
    pool_.lastProgress_ = std::chrono::steady_clock::now();
    pool_.OneHeadProgress(job);
  }
  if (!job.large) return true;
  const auto bytes = static_cast<std::int64_t>(pool_.blockSize_ * pool_.blocksPerRead_);
  return pool_.window_->MayReadAhead(job, bytes, stop_, *this);
}

// On one head a reader keeps its place while the device is busy: another
// reader would only make it seek.
void ReaderPool::ReaderContext::WaitStarts() {
  pool_.deviceWaits_.fetch_add(1, std::memory_order_relaxed);
  {
    const std::lock_guard lock(pool_.mutex_);
    if (pool_.oneHead_) return;
    pool_.LeavePlace();
    leftPlace_ = true;
  }
  pool_.window_->ReaderWaits();
}

void ReaderPool::ReaderContext::WaitEnds() {
  const std::lock_guard lock(pool_.mutex_);
  if (!leftPlace_) return;
  leftPlace_ = false;
  ++pool_.running_;
}

// A read of one block (a small file) takes a buffer of one block, so that
// pairs waiting for their other side hold no more than they need.
std::byte* ReaderPool::TakeBuffer(std::size_t blocks) {
  const bool single = IsSingleBlock(blocks);
  const std::lock_guard lock(mutex_);
  std::vector<std::byte*>& free = single ? freeSingleBlocks_ : freeBuffers_;
  if (!free.empty()) {
    std::byte* buffer = free.back();
    free.pop_back();
    return buffer;
  }
  allBuffers_.reserve(allBuffers_.size() + 1);
  if (single) singleBlocks_.reserve(singleBlocks_.size() + 1);
  std::byte* buffer = AllocateReadBuffer(blockSize_ * (single ? 1 : blocksPerRead_));
  allBuffers_.push_back(buffer);
  if (single) singleBlocks_.insert(buffer);
  return buffer;
}

void ReaderPool::ReturnBuffers(std::vector<std::byte*>& buffers) {
  {
    const std::lock_guard lock(mutex_);
    for (std::byte* buffer : buffers) (singleBlocks_.count(buffer) != 0 ? freeSingleBlocks_ : freeBuffers_).push_back(buffer);
  }
  buffers.clear();
}

}  // namespace ovik
