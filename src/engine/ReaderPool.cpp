#include "engine/ReaderPool.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>

namespace ovik {
namespace {

// The comparison looks at its display and at Abort this often while it
// waits for the readers.
constexpr auto kWaitSlice = std::chrono::milliseconds(50);
// How long the end of a run waits for readers to finish the call they are
// in before it leaves them behind.
constexpr auto kLeaveBehindAfter = std::chrono::milliseconds(100);

std::byte* AllocateBuffer(std::size_t capacity) {
  void* memory = std::aligned_alloc(kReadBufferAlignment, capacity);
  if (memory == nullptr) throw std::bad_alloc();
  return static_cast<std::byte*>(memory);
}

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
      readSize_(blockSize * std::max<std::size_t>(1, limits.blocksPerRead)),
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

// --- The comparison's side ---------------------------------------------------

void ReaderPool::Publish(const std::vector<std::shared_ptr<PairStreams>>& pairs, bool urgent) {
  std::lock_guard lock(mutex_);
  for (const auto& pair : pairs) {
    // A pair without a source to read is a job for its destination alone.
    Job job{pair, pair->src.finished.load() ? &pair->dst : nullptr};
    if (urgent) jobs_.push_front(std::move(job));
    else jobs_.push_back(std::move(job));
  }
  WakeIdle(std::min(pairs.size(), allowedRunning_ - std::min(running_, allowedRunning_)));
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

void ReaderPool::SetHead(std::uint64_t serial) {
  head_.store(serial);
  NotifyRoom();
}

bool ReaderPool::IsReady(const FileStream& stream, Awaited what) {
  if (what == Awaited::Open) return stream.known.load();
  if (what == Awaited::End) return stream.finished.load();
  return stream.published.load() != stream.taken.load(std::memory_order_relaxed) || stream.finished.load();
}

// The readers ring once what is awaited is there and a batch of it is read,
// or when they have to wait themselves, so that a comparison faster than the
// readers is woken in batches rather than for every file or chunk.
bool ReaderPool::WaitFor(FileStream& stream, Awaited what, WaitHook& hook) {
  while (!IsReady(stream, what)) {
    {
      std::unique_lock lock(mutex_);
      awaited_ = &stream;
      awaitedWhat_ = what;
      wakeAtPairsDone_ = pairsDone_.load() + limits_.batch;
      bellRung_ = false;
      engineWaits_.store(true);
      if (!IsReady(stream, what)) engineBell_.wait_for(lock, kWaitSlice, [this] { return bellRung_; });
      engineWaits_.store(false);
      awaited_ = nullptr;
    }
    if (IsReady(stream, what)) break;
    if (!hook.KeepWaiting()) return false;
  }
  return true;
}

void ReaderPool::Took(FileStream& stream, std::uint32_t taken) {
  stream.taken.store(taken);
  if (stream.waitsForRoom.load() && stream.published.load() - taken <= FileStream::kChunks / 2) NotifyRoom();
}

void ReaderPool::ReturnChunk(const Chunk& chunk) { ReturnBuffer(chunk); }

void ReaderPool::Release(PairStreams& pair) {
  pair.released.store(true);
  for (FileStream* stream : {&pair.src, &pair.dst})
    if (stream->endings.fetch_add(1) == 1) ReturnUntaken(*stream);
  NotifyRoom();
}

// --- The readers -------------------------------------------------------------

void ReaderPool::ReaderLoop(std::stop_token stop, Reader& self) {
  pthread_setname_np(pthread_self(), "ovik-reader");
  bool running = false;
  Job job;
  while (NextJob(stop, self, job, running)) {
    if (job.stream != nullptr) ReadStream(stop, *job.pair, *job.stream);
    else ReadPair(stop, job.pair);
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

// Both files of a pair, one after the other: small files cost one job. A
// source that needs more than one read hands the destination to another
// reader, so that the two are read at once. The destination of a source
// that cannot be opened is never asked for.
void ReaderPool::ReadPair(std::stop_token stop, const std::shared_ptr<PairStreams>& pair) {
  if (ReadStream(stop, *pair, pair->src, &pair)) return;
  if (!pair->src.opened) {
    Finish(*pair, pair->dst);
    return;
  }
  ReadStream(stop, *pair, pair->dst);
}

// One file of a pair, opened and read as the comparison would; an exception
// goes to the comparison, to be thrown where it asks. True when the partner
// stream was handed to another reader.
bool ReaderPool::ReadStream(std::stop_token stop, PairStreams& pair, FileStream& stream,
                            const std::shared_ptr<PairStreams>* partnerOf) {
  bool handedOff = false;
  try {
    if (!stop.stop_requested() && (!pair.released.load() || stream.readWhole)) {
      if (std::unique_ptr<ReadableFile> file = Open(stream)) {
        if (partnerOf != nullptr && stream.size >= static_cast<std::int64_t>(readSize_)) {
          std::lock_guard lock(mutex_);
          jobs_.push_front({*partnerOf, &(*partnerOf)->dst});
          WakeIdle(1);
          handedOff = true;
        }
        ReadChunks(stop, pair, stream, *file);
      }
    }
  } catch (...) {
    stream.failure = std::current_exception();
  }
  Finish(pair, stream);
  return handedOff;
}

// Opens the file; one that cannot be opened is known at once, with the
// existence test of a destination. One that opens is known with its first
// chunk.
std::unique_ptr<ReadableFile> ReaderPool::Open(FileStream& stream) {
  const bool confined = !stream.root.empty();
  OpenResult opened = confined ? fileSystem_.OpenBeneath(stream.root, stream.path, stream.role)
                               : fileSystem_.OpenForRead(stream.path, stream.role);
  if (!opened.file) {
    if (stream.destination)
      stream.lookup = confined ? fileSystem_.LookUpBeneath(stream.root, stream.path) : fileSystem_.LookUp(stream.path);
    stream.known.store(true);
    WakeEngineIfDue();
    return nullptr;
  }
  stream.opened = true;
  stream.id = opened.id;
  stream.size = opened.size;
  opened.file->TellWaits(&waits_);
  return std::move(opened.file);
}

// Reads the file in reads of several blocks, each filled whole unless the
// file ends. A read that fails is done again block by block from its start,
// so that the blocks before the failing one are delivered and the failure
// falls in the same block as for a reader of single blocks. A file to be
// read whole goes on to its end in a buffer of its own once the comparison
// let go of it.
void ReaderPool::ReadChunks(std::stop_token stop, PairStreams& pair, FileStream& stream, ReadableFile& file) {
  std::int64_t offset = 0;
  bool blockByBlock = false;
  Chunk own;  // for the reads nobody takes
  for (;;) {
    const std::size_t size = ReadSize(stream, offset, blockByBlock);
    const std::size_t capacity = size <= blockSize_ ? blockSize_ : readSize_;
    bool budgeted = false;
    const bool published = WaitForRoom(stop, pair, stream, capacity, budgeted);
    if (stop.stop_requested() || (!published && !stream.readWhole)) break;
    if (!published && own.data == nullptr) own = TakeBuffer(readSize_, false);
    Chunk chunk = published ? TakeBuffer(capacity, budgeted) : own;
    try {
      chunk.count = file.ReadAt(chunk.data, size, offset, chunk.error);
    } catch (...) {
      if (published) ReturnBuffer(chunk);
      if (own.data != nullptr) ReturnBuffer(own);
      throw;
    }
    if (chunk.count < 0 && size > blockSize_) {
      if (published) ReturnBuffer(chunk);
      blockByBlock = true;
      continue;
    }
    chunk.last = chunk.count < static_cast<std::int64_t>(size);
    if (stream.digest && chunk.count > 0) stream.digest->Update(chunk.data, static_cast<std::size_t>(chunk.count));
    if (chunk.last && chunk.count >= 0 && stream.digest) stream.digestValue = stream.digest->Finish();
    if (published) PublishChunk(stream, chunk);
    if (chunk.last) break;
    offset += chunk.count;
  }
  if (own.data != nullptr) ReturnBuffer(own);
}

// Enough whole blocks for the rest of the file and one byte more, so that
// its end is seen without another read; at most one read's worth.
std::size_t ReaderPool::ReadSize(const FileStream& stream, std::int64_t offset, bool blockByBlock) const {
  if (blockByBlock) return blockSize_;
  const auto remaining = static_cast<std::size_t>(std::max<std::int64_t>(stream.size - offset, 0));
  return std::min(remaining / blockSize_ + 1, readSize_ / blockSize_) * blockSize_;
}

// True when another chunk of the stream may be read: the comparison has room
// for it, and the pair is the one compared or the bytes read ahead allow it.
// A reader that waited goes on only once half the room is free, so that it
// is woken once for many chunks.
bool ReaderPool::HasRoom(const PairStreams& pair, const FileStream& stream, std::size_t capacity,
                         bool resuming) const {
  const std::uint32_t ahead = stream.published.load(std::memory_order_relaxed) - stream.taken.load();
  if (ahead >= (resuming ? FileStream::kChunks / 2 + 1 : FileStream::kChunks)) return false;
  if (pair.serial == head_.load()) return true;
  const std::size_t limit = resuming ? ResumeBudget() : limits_.bytesAhead;
  return bytesAhead_.load() + capacity <= limit;
}

std::size_t ReaderPool::ResumeBudget() const {
  const std::size_t slack = FileStream::kChunks / 2 * readSize_;
  return limits_.bytesAhead - std::min(limits_.bytesAhead, slack);
}

// Waits for room for another chunk; false when the pair was let go or the
// readers stop. A reader waiting for room gives up its place among those at
// work: the comparison may be waiting for a file no working reader has
// opened yet.
bool ReaderPool::WaitForRoom(std::stop_token stop, PairStreams& pair, FileStream& stream, std::size_t capacity,
                             bool& budgeted) {
  if (!HasRoom(pair, stream, capacity, false)) {
    std::unique_lock lock(mutex_);
    --running_;
    if (!jobs_.empty()) WakeIdle(1);
    RingIfDue(true);
    stream.waitsForRoom.store(true);
    ++roomSleepers_;
    roomMade_.wait(lock, stop, [&] { return pair.released.load() || HasRoom(pair, stream, capacity, true); });
    --roomSleepers_;
    stream.waitsForRoom.store(false);
    ++running_;
  }
  if (stop.stop_requested() || pair.released.load()) return false;
  budgeted = pair.serial != head_.load();
  return true;
}

void ReaderPool::PublishChunk(FileStream& stream, const Chunk& chunk) {
  const std::uint32_t index = stream.published.load(std::memory_order_relaxed);
  stream.chunks[index % FileStream::kChunks] = chunk;
  stream.published.store(index + 1);
  if (!stream.known.load(std::memory_order_relaxed)) stream.known.store(true);
  WakeEngineIfDue();
}

void ReaderPool::Finish(PairStreams& pair, FileStream& stream) {
  if (!stream.known.load(std::memory_order_relaxed)) stream.known.store(true);
  stream.finished.store(true);
  if (stream.endings.fetch_add(1) == 1) ReturnUntaken(stream);
  if (pair.streamsFinished.fetch_add(1) == 1) pairsDone_.fetch_add(1);
  WakeEngineIfDue();
}

// Gives back the chunks read but never taken; called once both the reader
// and the comparison are done with the stream.
void ReaderPool::ReturnUntaken(FileStream& stream) {
  for (std::uint32_t i = stream.taken.load(); i != stream.published.load(); ++i)
    ReturnBuffer(stream.chunks[i % FileStream::kChunks]);
}

void ReaderPool::ReaderWaits::WaitStarts() {
  std::lock_guard lock(pool_.mutex_);
  --pool_.running_;
  if (!pool_.jobs_.empty()) pool_.WakeIdle(1);
  pool_.RingIfDue(true);
}

void ReaderPool::ReaderWaits::WaitEnds() {
  std::lock_guard lock(pool_.mutex_);
  ++pool_.running_;
}

// Sequentially consistent on both sides: the comparison says that it waits
// and then looks, a reader publishes and then looks whether anyone waits, so
// no wake-up is lost.
void ReaderPool::WakeEngineIfDue() {
  if (!engineWaits_.load()) return;
  std::lock_guard lock(mutex_);
  RingIfDue(false);
}

void ReaderPool::RingIfDue(bool readerWaits) {
  if (!engineWaits_.load() || bellRung_ || awaited_ == nullptr || !IsReady(*awaited_, awaitedWhat_)) return;
  if (!readerWaits && !WorthWaking()) return;
  bellRung_ = true;
  engineBell_.notify_one();
}

// A batch of pairs read since the comparison began to wait for an open; half
// a stream's room of chunks, or its end, when it waits for a chunk.
bool ReaderPool::WorthWaking() const {
  if (awaitedWhat_ == Awaited::Open) return pairsDone_.load() >= wakeAtPairsDone_;
  const FileStream& stream = *awaited_;
  return stream.finished.load() ||
         stream.published.load() - stream.taken.load(std::memory_order_relaxed) >= FileStream::kChunks / 2;
}

void ReaderPool::NotifyRoom() {
  if (roomSleepers_.load() == 0) return;
  std::lock_guard lock(mutex_);
  roomMade_.notify_all();
}

// --- Buffers -----------------------------------------------------------------

Chunk ReaderPool::TakeBuffer(std::size_t capacity, bool budgeted) {
  Chunk chunk;
  chunk.capacity = capacity;
  {
    std::lock_guard lock(buffersMutex_);
    std::vector<std::byte*>& free = capacity == blockSize_ ? freeBlocks_ : freeReads_;
    if (!free.empty()) {
      chunk.data = free.back();
      free.pop_back();
    } else {
      allBuffers_.reserve(allBuffers_.size() + 1);
      chunk.data = AllocateBuffer(capacity);
      allBuffers_.push_back(chunk.data);
    }
  }
  chunk.budgeted = budgeted;
  if (budgeted) bytesAhead_.fetch_add(capacity);
  return chunk;
}

void ReaderPool::ReturnBuffer(const Chunk& chunk) {
  {
    std::lock_guard lock(buffersMutex_);
    (chunk.capacity == blockSize_ ? freeBlocks_ : freeReads_).push_back(chunk.data);
  }
  if (!chunk.budgeted) return;
  const std::size_t before = bytesAhead_.fetch_sub(chunk.capacity);
  const std::size_t resumeAt = ResumeBudget();
  if (before > resumeAt && before - chunk.capacity <= resumeAt) NotifyRoom();
}

}  // namespace ovik
