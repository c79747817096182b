#include "engine/ReadAhead.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace ovik {

// A pair handed to the comparison: its opens and blocks come from what the
// readers found, waiting for them where they are not there yet.
class ReadAhead::TakenPair final : public FilePair {
 public:
  TakenPair(ReadAhead& owner, std::shared_ptr<Pair> pair) : owner_(owner), pair_(std::move(pair)) {}
  ~TakenPair() override { owner_.Release(*pair_); }
  TakenPair(const TakenPair&) = delete;
  TakenPair& operator=(const TakenPair&) = delete;

  bool OpenSource(FileId& id) override { return Opened(pair_->src, id); }
  bool OpenDestination(FileId& id) override { return Opened(pair_->dst, id); }
  EntryLookup LookUpDestination() override {
    std::unique_lock lock(owner_.mutex_);
    owner_.WaitUntilOpened(pair_->dst, lock);
    return pair_->dst.lookup;
  }
  std::int64_t ReadSourceBlock(const std::byte*& data, int& error) override {
    return owner_.NextBlock(pair_->src, data, error);
  }
  std::int64_t ReadDestinationBlock(const std::byte*& data, int& error) override {
    return owner_.NextBlock(pair_->dst, data, error);
  }

 private:
  bool Opened(const Side& side, FileId& id) {
    std::unique_lock lock(owner_.mutex_);
    owner_.WaitUntilOpened(side, lock);
    id = side.id;
    return side.opened;
  }

  ReadAhead& owner_;
  std::shared_ptr<Pair> pair_;
};

ReadAhead::ReadAhead(FileSystem& fileSystem, ReadRole dstRole, std::size_t blockSize, ReadAheadLimits limits)
    : fileSystem_(fileSystem), dstRole_(dstRole), blockSize_(blockSize), limits_(limits) {
  readers_.reserve(limits_.readers);
  for (std::size_t i = 0; i < limits_.readers; ++i) readers_.emplace_back([this] { ReaderLoop(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  jobsReady_.notify_all();
  roomReady_.notify_all();
  for (std::thread& reader : readers_) reader.join();
  for (std::byte* buffer : allBuffers_) std::free(buffer);
}

bool ReadAhead::HasRoom() const {
  std::lock_guard lock(mutex_);
  return waiting_.size() < limits_.filesAhead;
}

void ReadAhead::Announce(const std::string& srcPath, const std::string& dstPath) {
  std::lock_guard lock(mutex_);
  auto pair = std::make_shared<Pair>();
  pair->serial = nextSerial_++;
  pair->src.path = srcPath;
  pair->dst.path = dstPath;
  pair->dst.destination = true;
  if (waiting_.empty() && !holding_) headSerial_ = pair->serial;
  waiting_.push_back(pair);
  jobs_.push_back({pair, &pair->src});
  jobs_.push_back({pair, &pair->dst});
  if (idleReaders_ > 1) jobsReady_.notify_one();
  if (idleReaders_ > 0) jobsReady_.notify_one();
}

std::unique_ptr<FilePair> ReadAhead::Take(const std::string& srcPath, const std::string& dstPath) {
  std::lock_guard lock(mutex_);
  const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](const std::shared_ptr<Pair>& pair) {
    return pair->src.path == srcPath && pair->dst.path == dstPath;
  });
  if (found == waiting_.end()) return nullptr;
  std::shared_ptr<Pair> pair = *found;
  for (auto it = waiting_.begin(); it != found; ++it) Drop(**it);
  waiting_.erase(waiting_.begin(), std::next(found));
  headSerial_ = pair->serial;
  holding_ = true;
  if (roomWaiters_ > 0) roomReady_.notify_all();
  return std::make_unique<TakenPair>(*this, std::move(pair));
}

void ReadAhead::Release(Pair& pair) {
  std::lock_guard lock(mutex_);
  Drop(pair);
  holding_ = false;
  headSerial_ = waiting_.empty() ? nextSerial_ : waiting_.front()->serial;
  if (roomWaiters_ > 0) roomReady_.notify_all();
}

// Gives back every block of the pair; its readers stop at their next block.
void ReadAhead::Drop(Pair& pair) {
  pair.released = true;
  for (Side* side : {&pair.src, &pair.dst}) {
    if (side->held != nullptr) ReturnBuffer(side->held);
    side->held = nullptr;
    for (const Chunk& chunk : side->chunks) ReturnBuffer(chunk.data);
    side->chunks.clear();
  }
}

bool ReadAhead::HasRoomFor(const Pair& pair, const Side& side) const {
  if (side.chunks.size() >= limits_.blocksPerFileAhead) return false;
  return pair.serial == headSerial_ || bytesAhead_ + blockSize_ <= limits_.bytesAhead;
}

std::byte* ReadAhead::TakeBuffer() {
  bytesAhead_ += blockSize_;
  if (!freeBuffers_.empty()) {
    std::byte* buffer = freeBuffers_.back();
    freeBuffers_.pop_back();
    return buffer;
  }
  void* memory = std::aligned_alloc(kReadBufferAlignment, blockSize_);
  if (memory == nullptr) throw std::bad_alloc();
  allBuffers_.push_back(static_cast<std::byte*>(memory));
  return allBuffers_.back();
}

void ReadAhead::ReturnBuffer(std::byte* buffer) {
  bytesAhead_ -= blockSize_;
  freeBuffers_.push_back(buffer);
}

void ReadAhead::WakeEngine() {
  if (engineWaiting_) engineWake_.notify_one();
}

void ReadAhead::WaitUntilOpened(const Side& side, std::unique_lock<std::mutex>& lock) {
  if (!side.openDone) {
    engineWaiting_ = true;
    engineWake_.wait(lock, [&] { return side.openDone; });
    engineWaiting_ = false;
  }
  if (side.failure && !side.opened) std::rethrow_exception(side.failure);
}

std::int64_t ReadAhead::NextBlock(Side& side, const std::byte*& data, int& error) {
  std::unique_lock lock(mutex_);
  if (side.held != nullptr) {
    ReturnBuffer(side.held);
    side.held = nullptr;
    if (roomWaiters_ > 0) roomReady_.notify_all();
  }
  if (side.chunks.empty() && !side.finished) {
    engineWaiting_ = true;
    engineWake_.wait(lock, [&] { return !side.chunks.empty() || side.finished; });
    engineWaiting_ = false;
  }
  if (side.chunks.empty()) {
    if (side.failure) std::rethrow_exception(side.failure);
    data = nullptr;
    return 0;
  }
  const Chunk chunk = side.chunks.front();
  side.chunks.pop_front();
  side.held = chunk.data;
  data = chunk.data;
  if (chunk.count < 0) error = chunk.error;
  return chunk.count;
}

void ReadAhead::ReaderLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (jobs_.empty()) {
      ++idleReaders_;
      jobsReady_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      --idleReaders_;
      continue;
    }
    const Job job = std::move(jobs_.front());
    jobs_.pop_front();
    if (!job.pair->released) ReadSide(lock, job);
  }
}

// Opens one file of a pair and reads its blocks, each as the comparison
// would read it, until the end, an error, or until the pair is let go. An
// exception goes to the comparison, to be thrown where it asks.
void ReadAhead::ReadSide(std::unique_lock<std::mutex>& lock, const Job& job) {
  Side& side = *job.side;
  const std::string path = side.path;
  const bool destination = side.destination;
  lock.unlock();
  OpenResult opened;
  EntryLookup lookup;
  std::exception_ptr failure;
  try {
    opened = fileSystem_.OpenForRead(path, destination ? dstRole_ : ReadRole::Source);
    if (!opened.file && destination) lookup = fileSystem_.LookUp(path);
  } catch (...) {
    failure = std::current_exception();
  }
  lock.lock();
  side.openDone = true;
  side.opened = opened.file != nullptr;
  side.id = opened.id;
  side.lookup = std::move(lookup);
  side.failure = failure;
  WakeEngine();

  if (opened.file) {
    try {
      ReadBlocks(lock, job, *opened.file);
    } catch (...) {
      side.failure = std::current_exception();
    }
    lock.unlock();
    opened.file.reset();
    lock.lock();
  }
  side.finished = true;
  WakeEngine();
}

void ReadAhead::ReadBlocks(std::unique_lock<std::mutex>& lock, const Job& job, ReadableFile& file) {
  Side& side = *job.side;
  for (;;) {
    if (!stopping_ && !job.pair->released && !HasRoomFor(*job.pair, side)) {
      ++roomWaiters_;
      roomReady_.wait(lock, [&] { return stopping_ || job.pair->released || HasRoomFor(*job.pair, side); });
      --roomWaiters_;
    }
    if (stopping_ || job.pair->released) return;
    std::byte* buffer = TakeBuffer();
    lock.unlock();
    int error = 0;
    std::int64_t count = -1;
    try {
      count = file.ReadBlock(buffer, blockSize_, error);
    } catch (...) {
      lock.lock();
      ReturnBuffer(buffer);
      throw;
    }
    lock.lock();
    if (stopping_ || job.pair->released) {
      ReturnBuffer(buffer);
      return;
    }
    side.chunks.push_back({buffer, count, error});
    WakeEngine();
    if (count != static_cast<std::int64_t>(blockSize_)) return;
  }
}

}  // namespace ovik
