#include "engine/ReadAhead.h"

#include "platform/WaitWord.h"

#include <pthread.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>
#include <utility>

namespace ovik {

// A pair handed to the comparison: its opens and blocks come from what the
// readers found, waiting for them where they are not there yet.
class ReadAhead::TakenPair final : public FilePair {
 public:
  TakenPair(ReadAhead& owner, std::shared_ptr<Pair> pair) : owner_(owner), pair_(std::move(pair)) {}
  ~TakenPair() override { owner_.Release(*pair_); }
  TakenPair(const TakenPair&) = delete;
  TakenPair& operator=(const TakenPair&) = delete;

  bool OpenSource(FileId& id, std::int64_t& size) override {
    const bool opened = Opened(pair_->src, id);
    size = pair_->src.size;
    return opened;
  }
  bool OpenDestination(FileId& id) override { return Opened(pair_->dst, id); }
  EntryLookup LookUpDestination() override {
    owner_.WaitFor(pair_->dst, Awaited::Open);
    return pair_->dst.lookup;
  }
  std::int64_t ReadSourceBlock(const std::byte*& data, int& error) override {
    return owner_.NextBlock(pair_->src, data, error);
  }
  std::int64_t ReadDestinationBlock(const std::byte*& data, int& error) override {
    return owner_.NextBlock(pair_->dst, data, error);
  }

 private:
  bool Opened(Side& side, FileId& id) {
    owner_.WaitFor(side, Awaited::Open);
    const bool opened = side.openState.load(std::memory_order_acquire) == 1;
    if (!opened && side.failure) std::rethrow_exception(side.failure);
    id = side.id;
    return opened;
  }

  ReadAhead& owner_;
  std::shared_ptr<Pair> pair_;
};

ReadAhead::ReadAhead(FileSystem& fileSystem, ReadRole dstRole, std::size_t blockSize, ReadAheadLimits limits)
    : fileSystem_(fileSystem),
      dstRole_(dstRole),
      blockSize_(blockSize),
      limits_(limits),
      minRunning_(static_cast<std::uint32_t>(limits.running != 0 ? limits.running
                                                                 : std::max(2u, std::thread::hardware_concurrency()))),
      slots_(std::bit_ceil(4 * limits.filesAhead + 16)) {
  for (std::size_t i = 0; i < slots_.size(); ++i) slots_[i].sequence.store(static_cast<std::uint32_t>(i));
  maxRunning_.store(minRunning_);
  const std::size_t flightsPerRing = FlightsPerRing();
  for (std::uint32_t i = 0; limits_.batched && i < minRunning_; ++i) {
    std::unique_ptr<AsyncReads> ring = fileSystem_.StartAsyncReads(flightsPerRing);
    if (!ring) {
      rings_.clear();
      break;
    }
    rings_.push_back(std::move(ring));
  }
  if (!rings_.empty()) {
    for (auto& ring : rings_) readers_.emplace_back([this, &io = *ring] { RingLoop(io); });
    return;
  }
  readers_.reserve(limits_.readers);
  for (std::size_t i = 0; i < limits_.readers; ++i) readers_.emplace_back([this] { ReaderLoop(); });
}

ReadAhead::~ReadAhead() {
  stopping_.store(true);
  for (Slot& slot : slots_) {
    slot.sequence.fetch_add(1u << 31);
    WakeAll(slot.sequence);
  }
  running_.fetch_add(static_cast<std::uint32_t>(readers_.size() + 1));
  WakeAll(running_);
  RoomMade();
  for (auto& ring : rings_) ring->Wake();
  for (std::thread& reader : readers_) reader.join();
  for (std::byte* buffer : allBuffers_) std::free(buffer);
}

// --- The comparison's side ---------------------------------------------------

bool ReadAhead::HasRoom(bool forBatch) const {
  return waiting_.size() + (forBatch ? limits_.batch : 1) <= limits_.filesAhead;
}

void ReadAhead::Announce(std::string srcPath, std::string dstPath) {
  std::shared_ptr<Pair> pair = NewPair();
  pair->serial = nextSerial_++;
  pair->src.pair = pair->dst.pair = pair.get();
  pair->src.path = std::move(srcPath);
  pair->dst.path = std::move(dstPath);
  pair->dst.destination = true;
  pair->dst.role = dstRole_;
  pair->src.spare = SpareBuffer();
  pair->dst.spare = SpareBuffer();
  toPublish_.push_back(&pair->src);
  toPublish_.push_back(&pair->dst);
  published_.push_back(pair);
  waiting_.push_back(std::move(pair));
}

void ReadAhead::AnnouncingDone() {
  const std::uint32_t mask = static_cast<std::uint32_t>(slots_.size() - 1);
  for (Side* side : toPublish_) {
    const std::uint32_t job = publishedJobs_++;
    Slot& slot = slots_[job & mask];
    // The slot is free long before: far fewer jobs are ever outstanding.
    while (slot.sequence.load(std::memory_order_acquire) != job) std::this_thread::yield();
    slot.side = side;
    slot.sequence.store(job + 1);
    if (slotSleepers_.load() > 0) WakeAll(slot.sequence);
  }
  toPublish_.clear();
  if (ringsWaiting_.load() > 0) WakeRings();
  // Pairs nobody touches any more.
  while (!published_.empty() && published_.front()->released.load() &&
         published_.front()->sidesFinished.load() == 2) {
    while (bellCheckers_.load() != 0) std::this_thread::yield();
    if (published_.front().use_count() == 1 && freePairs_.size() < 2 * limits_.filesAhead)
      freePairs_.push_back(std::move(published_.front()));
    published_.pop_front();
  }
}

// A pair as new, from those done with where there is one: a pair holds the
// room for a whole run of blocks, which is worth keeping.
std::shared_ptr<ReadAhead::Pair> ReadAhead::NewPair() {
  if (freePairs_.empty()) return std::make_shared<Pair>();
  std::shared_ptr<Pair> pair = std::move(freePairs_.back());
  freePairs_.pop_back();
  pair->released.store(false);
  pair->sidesFinished.store(0);
  for (Side* side : {&pair->src, &pair->dst}) {
    side->destination = false;
    side->role = ReadRole::Source;
    side->id = FileId{};
    side->size = 0;
    side->lookup = EntryLookup{};
    side->failure = nullptr;
    side->openState.store(0);
    side->produced.store(0);
    side->consumed.store(0);
    side->finished.store(false);
    side->held = Chunk{};
    side->spare = nullptr;
    side->endings.store(0);
  }
  return pair;
}

std::unique_ptr<FilePair> ReadAhead::Take(const std::string& srcPath, const std::string& dstPath) {
  const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](const std::shared_ptr<Pair>& pair) {
    return pair->src.path == srcPath && pair->dst.path == dstPath;
  });
  if (found == waiting_.end()) return nullptr;
  std::shared_ptr<Pair> pair = *found;
  std::vector<std::shared_ptr<Pair>> dropped(waiting_.begin(), found);
  waiting_.erase(waiting_.begin(), std::next(found));
  for (const auto& skipped : dropped) Release(*skipped);
  headSerial_.store(pair->serial);
  RoomMade();
  return std::make_unique<TakenPair>(*this, std::move(pair));
}

// The comparison is done with the pair: its readers stop at their next
// block, and the blocks go back.
void ReadAhead::Release(Pair& pair) {
  pair.released.store(true);
  LetGo(pair.src);
  LetGo(pair.dst);
  headSerial_.store(waiting_.empty() ? nextSerial_ : waiting_.front()->serial);
  RoomMade();
}

void ReadAhead::LetGo(Side& side) {
  if (side.held.data != nullptr) ReturnBuffer(side.held, true);
  side.held = Chunk{};
  if (side.endings.fetch_add(1) == 1) ReturnUntaken(side, true);
}

// Sequentially consistent loads: the comparison announces that it waits
// and then looks again, while a reader publishes and then looks whether
// anyone waits; only a single order of all four keeps a wake-up from being
// lost.
bool ReadAhead::IsReady(const Side& side, Awaited what) const {
  if (what == Awaited::Open) return side.openState.load() != 0;
  return side.produced.load() != side.consumed.load() || side.finished.load();
}

// Sleeps until the side is ready. The readers wake the comparison once a
// batch of pairs is read or when they have to wait themselves, so that a
// comparison faster than the device or the readers is woken in batches.
void ReadAhead::WaitFor(Side& side, Awaited what) {
  while (!IsReady(side, what)) {
    const std::uint32_t bell = engineBell_.load();
    wakeAtPairsDone_.store(pairsDone_.load() + limits_.batch);
    awaitedWhat_.store(static_cast<int>(what));
    awaitedSide_.store(&side);
    if (IsReady(side, what)) {
      awaitedSide_.store(nullptr);
      return;
    }
    SleepWhileEquals(engineBell_, bell);
    awaitedSide_.store(nullptr);
  }
}

std::int64_t ReadAhead::NextBlock(Side& side, const std::byte*& data, int& error) {
  if (side.held.data != nullptr) {
    ReturnBuffer(side.held, true);
    side.held = Chunk{};
  }
  WaitFor(side, Awaited::Block);
  const std::uint32_t index = side.consumed.load(std::memory_order_relaxed);
  if (index == side.produced.load(std::memory_order_acquire)) {
    if (side.failure) std::rethrow_exception(side.failure);
    data = nullptr;
    return 0;
  }
  const Chunk chunk = side.chunks[index % kBlocksPerSide];
  side.consumed.store(index + 1);
  RoomMade(side.produced.load() - (index + 1) == kBlocksPerSide / 2);
  side.held = chunk;
  data = chunk.data;
  if (chunk.count < 0) error = chunk.error;
  return chunk.count;
}

// --- The readers -------------------------------------------------------------

// A reader keeps its place among the working readers from job to job, and
// gives it up only when more are working than allowed (one that waited for
// the device has come back).
void ReadAhead::ReaderLoop() {
  pthread_setname_np(pthread_self(), "ovik-reader");
  while (StartWorking()) {
    for (;;) {
      Side* side = NextJob();
      if (side == nullptr) {
        StopWorking();
        return;
      }
      ReadSide(*side);
      if (running_.load() > maxRunning_.load()) break;
    }
    StopWorking();
  }
}

// Waits until fewer readers than allowed are at work; false when stopping.
bool ReadAhead::StartWorking() {
  std::uint32_t running = running_.load();
  for (;;) {
    if (stopping_.load()) return false;
    if (running < maxRunning_.load()) {
      if (running_.compare_exchange_weak(running, running + 1)) return true;
      continue;
    }
    BeforeReaderWaits();
    runningSleepers_.fetch_add(1);
    if (running_.load() == running) SleepWhileEquals(running_, running);
    runningSleepers_.fetch_sub(1);
    running = running_.load();
  }
}

void ReadAhead::StopWorking() {
  running_.fetch_sub(1);
  if (runningSleepers_.load() > 0) WakeOne(running_);
}

void ReadAhead::ReaderWaits::WaitStarts() {
  owner_.waitedReads_.fetch_add(1, std::memory_order_relaxed);
  owner_.StopWorking();
}

void ReadAhead::ReaderWaits::WaitEnds() { owner_.running_.fetch_add(1); }

// Every so many blocks, the share of reads that waited for the device sets
// how many readers may work: when most wait, all of them, so that they
// block in the device rather than take turns; when few wait, as many as
// there are processors.
void ReadAhead::CountRead() {
  constexpr std::uint32_t kWindow = 256;
  if (reads_.fetch_add(1, std::memory_order_relaxed) % kWindow != kWindow - 1) return;
  const std::uint32_t waited = waitedReads_.exchange(0, std::memory_order_relaxed);
  const bool slowMedium = waited * 4 > kWindow;
  const std::uint32_t wanted = slowMedium ? static_cast<std::uint32_t>(readers_.size()) : minRunning_;
  if (maxRunning_.exchange(wanted) < wanted && runningSleepers_.load() > 0) WakeAll(running_);
}

// The next job in the order of announcing; null when stopping.
ReadAhead::Side* ReadAhead::NextJob() {
  const std::uint32_t ticket = tickets_.fetch_add(1);
  Slot& slot = slots_[ticket & (slots_.size() - 1)];
  for (;;) {
    const std::uint32_t sequence = slot.sequence.load(std::memory_order_acquire);
    if (sequence == ticket + 1) break;
    if (stopping_.load()) return nullptr;
    BeforeReaderWaits();
    slotSleepers_.fetch_add(1);
    if (slot.sequence.load() == sequence) SleepWhileEquals(slot.sequence, sequence);
    slotSleepers_.fetch_sub(1);
  }
  Side* side = slot.side;
  slot.sequence.store(ticket + static_cast<std::uint32_t>(slots_.size()), std::memory_order_release);
  return side;
}

// One file of a pair, opened and read as the comparison would; an
// exception goes to the comparison, to be thrown where it asks.
void ReadAhead::ReadSide(Side& side) {
  if (!side.pair->released.load()) {
    try {
      if (std::unique_ptr<ReadableFile> file = OpenSide(side)) ReadBlocks(side, *file);
    } catch (...) {
      side.failure = std::current_exception();
    }
  }
  FinishSide(side);
}

// Opens the file and makes what was found known; for a destination that
// cannot be opened, with the existence test.
std::unique_ptr<ReadableFile> ReadAhead::OpenSide(Side& side) {
  OpenResult opened;
  try {
    opened = fileSystem_.OpenForRead(side.path, side.role);
    if (!opened.file && side.destination) side.lookup = fileSystem_.LookUp(side.path);
  } catch (...) {
    side.failure = std::current_exception();
  }
  side.id = opened.id;
  side.size = opened.size;
  side.openState.store(opened.file ? 1 : 2);
  WakeEngineIfDue(false);
  if (opened.file) opened.file->TellWaits(&waits_);
  return std::move(opened.file);
}

void ReadAhead::ReadBlocks(Side& side, ReadableFile& file) {
  for (;;) {
    if (!WaitForRoom(side)) return;
    Chunk chunk = TakeBuffer(side);
    try {
      chunk.count = file.ReadBlock(chunk.data, blockSize_, chunk.error);
    } catch (...) {
      ReturnBuffer(chunk, false);
      throw;
    }
    CountRead();
    const std::int64_t count = chunk.count;
    const std::uint32_t index = side.produced.load(std::memory_order_relaxed);
    side.chunks[index % kBlocksPerSide] = chunk;
    side.produced.store(index + 1);
    WakeEngineIfDue(false);
    if (count != static_cast<std::int64_t>(blockSize_)) return;
  }
}

// True when another block of the side may be read: the comparison has room
// for it, and the pair is the one compared or the budget allows.
bool ReadAhead::MayFill(const Side& side) const {
  const std::uint32_t ahead = side.produced.load(std::memory_order_relaxed) - side.consumed.load();
  if (ahead >= kBlocksPerSide) return false;
  if (side.spare != nullptr) return true;
  return side.pair->serial == headSerial_.load() || bytesAhead_.load() + blockSize_ <= limits_.bytesAhead;
}

// Waits for room for another block; false when the pair was let go or the
// readers stop. A reader waiting for room gives up its place among the
// working readers, as one waiting for the device does: the comparison may
// be waiting for a file that no working reader has opened yet.
bool ReadAhead::WaitForRoom(Side& side) {
  for (;;) {
    if (stopping_.load() || side.pair->released.load()) return false;
    if (MayFill(side)) return true;
    BeforeReaderWaits();
    roomSleepers_.fetch_add(1);
    const std::uint32_t room = room_.load();
    if (!stopping_.load() && !side.pair->released.load() && !MayFill(side)) {
      StopWorking();
      SleepWhileEquals(room_, room);
      running_.fetch_add(1);
    }
    roomSleepers_.fetch_sub(1);
  }
}

void ReadAhead::FinishSide(Side& side) {
  Pair& pair = *side.pair;
  side.finished.store(true);
  if (side.endings.fetch_add(1) == 1) ReturnUntaken(side, false);
  const bool pairDone = pair.sidesFinished.fetch_add(1) == 1;  // the last touch of the pair
  if (pairDone) pairsDone_.fetch_add(1);
  WakeEngineIfDue(false);
}

// True when a file parked in a ring may go on: its side has room for half
// a run of blocks, and the budget for as many, so that a ring is woken once
// for many blocks rather than once for each.
bool ReadAhead::MayResume(const Side& side) const {
  const std::uint32_t ahead = side.produced.load(std::memory_order_relaxed) - side.consumed.load();
  if (ahead > kBlocksPerSide / 2) return false;
  if (side.spare != nullptr || side.pair->serial == headSerial_.load()) return true;
  return bytesAhead_.load() <= ResumeBudget();
}

// What may be filled ahead before a file parked for the budget goes on.
std::size_t ReadAhead::ResumeBudget() const {
  return limits_.bytesAhead - std::min(limits_.bytesAhead, kBlocksPerSide / 2 * blockSize_);
}

// Readers that found no room sleep on room_; it changes only when one does.
// Rings are woken when a parked file may have reached MayResume.
void ReadAhead::RoomMade(bool ringsMayResume) {
  if (ringsMayResume && parkedFlights_.load() > 0 && ringsWaiting_.load() > 0) WakeRings();
  if (roomSleepers_.load() == 0) return;
  room_.fetch_add(1);
  WakeAll(room_);
}

void ReadAhead::BeforeReaderWaits() { WakeEngineIfDue(true); }

// Rings for a waiting comparison when what it waits for is there and a
// batch of pairs is done, or a reader is about to wait itself.
void ReadAhead::WakeEngineIfDue(bool readerWaits) {
  if (awaitedSide_.load() == nullptr) return;
  if (!readerWaits && pairsDone_.load() < wakeAtPairsDone_.load()) return;
  bellCheckers_.fetch_add(1);
  Side* side = awaitedSide_.load();
  const bool ready = side != nullptr && IsReady(*side, static_cast<Awaited>(awaitedWhat_.load()));
  bellCheckers_.fetch_sub(1);
  if (ready && awaitedSide_.compare_exchange_strong(side, nullptr)) {
    engineBell_.fetch_add(1);
    WakeOne(engineBell_);
  }
}

// --- Blocks ----------------------------------------------------------------

// A buffer for the side's next block: the one it came with, else one from
// the shared pool, counted against the budget.
ReadAhead::Chunk ReadAhead::TakeBuffer(Side& side) {
  Chunk chunk;
  if (side.spare != nullptr) {
    chunk.data = std::exchange(side.spare, nullptr);
    return chunk;
  }
  chunk.budgeted = true;
  bytesAhead_.fetch_add(blockSize_);
  std::lock_guard lock(buffersMutex_);
  if (!freeBuffers_.empty()) {
    chunk.data = freeBuffers_.back();
    freeBuffers_.pop_back();
    return chunk;
  }
  void* memory = std::aligned_alloc(kReadBufferAlignment, blockSize_);
  if (memory == nullptr) {
    bytesAhead_.fetch_sub(blockSize_);
    throw std::bad_alloc();
  }
  allBuffers_.push_back(static_cast<std::byte*>(memory));
  chunk.data = allBuffers_.back();
  return chunk;
}

// Spare buffers stay with the comparison's thread, which hands them out
// with the jobs; budgeted ones go back to the shared pool.
void ReadAhead::ReturnBuffer(const Chunk& chunk, bool onEngineThread) {
  if (!chunk.budgeted && onEngineThread) {
    spares_.push_back(chunk.data);
    return;
  }
  {
    std::lock_guard lock(buffersMutex_);
    freeBuffers_.push_back(chunk.data);
  }
  if (chunk.budgeted) {
    const std::size_t resumeAt = ResumeBudget();
    const std::size_t before = bytesAhead_.fetch_sub(blockSize_);
    RoomMade(before > resumeAt && before - blockSize_ <= resumeAt);
  }
}

std::byte* ReadAhead::SpareBuffer() {
  if (spares_.empty()) {
    std::lock_guard lock(buffersMutex_);
    const std::size_t taken = std::min<std::size_t>(freeBuffers_.size(), 16);
    spares_.insert(spares_.end(), freeBuffers_.end() - static_cast<std::ptrdiff_t>(taken), freeBuffers_.end());
    freeBuffers_.resize(freeBuffers_.size() - taken);
    while (spares_.size() < 16) {
      void* memory = std::aligned_alloc(kReadBufferAlignment, blockSize_);
      if (memory == nullptr) throw std::bad_alloc();
      allBuffers_.push_back(static_cast<std::byte*>(memory));
      spares_.push_back(allBuffers_.back());
    }
  }
  std::byte* buffer = spares_.back();
  spares_.pop_back();
  return buffer;
}

// Gives back the blocks read but never taken; called once both the reader
// and the comparison are done with the side.
void ReadAhead::ReturnUntaken(Side& side, bool onEngineThread) {
  for (std::uint32_t i = side.consumed.load(); i != side.produced.load(); ++i)
    ReturnBuffer(side.chunks[i % kBlocksPerSide], onEngineThread);
  if (side.spare != nullptr) ReturnBuffer(Chunk{std::exchange(side.spare, nullptr)}, onEngineThread);
  RoomMade();
}

}  // namespace ovik
