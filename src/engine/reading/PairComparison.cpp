#include "engine/reading/PairComparison.h"

#include <algorithm>
#include <cstring>

namespace ovik {
namespace {

// Number of equal bytes before the first difference of two blocks. The
// blocks at the end of a file are empty and may have no data at all.
std::size_t EqualPrefixLength(const std::byte* a, const std::byte* b, std::size_t count) {
  if (count == 0 || std::memcmp(a, b, count) == 0) return count;
  return static_cast<std::size_t>(std::mismatch(a, a + count, b).first - a);
}

}  // namespace

void PairComparison::Start(std::vector<std::byte*>& spent) {
  std::unique_lock lock(mutex_);
  started_ = true;
  CompareWhileAble(lock, spent);
}

void PairComparison::Add(Side side, Piece piece, std::vector<std::byte*>& spent, bool compare) {
  std::unique_lock lock(mutex_);
  if (Decided()) {
    if (piece.data != nullptr) spent.push_back(piece.data);
    return;
  }
  blocksRead_[side] = piece.Failed() ? piece.firstBlock + 1 : piece.EndBlock();
  queues_[side].Push(std::move(piece));
  if (compare) CompareWhileAble(lock, spent);
}

void PairComparison::CompareAvailable(std::vector<std::byte*>& spent) {
  std::unique_lock lock(mutex_);
  CompareWhileAble(lock, spent);
}

bool PairComparison::Comparable() const {
  std::lock_guard lock(mutex_);
  return started_ && !comparing_ && !Decided() && CanStep();
}

bool PairComparison::CanStep() const {
  const Queue& src = queues_[kSource];
  const Queue& dst = queues_[kDestination];
  return !src.Empty() && (src.Front().Failed() || !dst.Empty());
}

void PairComparison::Decide(FileResult result, std::vector<std::byte*>& spent, std::exception_ptr failure) {
  std::lock_guard lock(mutex_);
  if (Decided() || started_) return;
  Finish(result, std::move(failure));
  Drain(spent);
}

std::int64_t PairComparison::BlocksAhead(Side side) const {
  std::lock_guard lock(mutex_);
  return blocksRead_[side] - nextBlock_;
}

// The one who holds the token compares, the lock let go while it does, and
// goes on while the fronts of the queues allow; pieces brought in meanwhile
// are found on its next turn.
void PairComparison::CompareWhileAble(std::unique_lock<std::mutex>& lock, std::vector<std::byte*>& spent) {
  if (comparing_ || !started_) return;
  comparing_ = true;
  while (!Decided()) {
    if (!CanStep()) break;
    Queue& srcQueue = queues_[kSource];
    Queue& dstQueue = queues_[kDestination];
    const Piece src = srcQueue.Front();
    const Piece dst = dstQueue.Empty() ? Piece{} : dstQueue.Front();
    std::int64_t block = nextBlock_;
    lock.unlock();
    CompareFronts(src, &dst, block);
    lock.lock();
    nextBlock_ = block;
    for (Queue& queue : queues_) {
      while (!queue.Empty() && !queue.Front().Failed() && queue.Front().EndBlock() <= nextBlock_) {
        spent.push_back(queue.Front().data);
        queue.PopFront();
      }
    }
  }
  if (Decided()) Drain(spent);
  comparing_ = false;
}

void PairComparison::Queue::Push(Piece piece) {
  if (hasFront_) {
    behind_.push_back(std::move(piece));
    return;
  }
  front_ = std::move(piece);
  hasFront_ = true;
}

void PairComparison::Queue::PopFront() {
  constexpr std::size_t kCompactAfter = 16;
  if (next_ == behind_.size()) {
    front_ = Piece{};
    hasFront_ = false;
    behind_.clear();
    next_ = 0;
    return;
  }
  front_ = std::move(behind_[next_++]);
  if (next_ == kCompactAfter) {
    behind_.erase(behind_.begin(), behind_.begin() + static_cast<std::ptrdiff_t>(next_));
    next_ = 0;
  }
}

void PairComparison::Queue::Drain(std::vector<std::byte*>& spent) {
  for (; hasFront_; PopFront())
    if (front_.data != nullptr) spent.push_back(front_.data);
}

void PairComparison::CompareFronts(const Piece& src, const Piece* dst, std::int64_t& block) {
  if (src.Failed()) {
    Finish(FileResult::SrcReadError, src.failure);
    return;
  }
  for (; block < src.EndBlock() && block < dst->EndBlock(); ++block)
    if (CompareBlock(src, *dst, block)) return;
}

// True once the block decided the file.
bool PairComparison::CompareBlock(const Piece& src, const Piece& dst, std::int64_t block) {
  if (dst.Failed()) {
    Finish(FileResult::DstReadError, dst.failure);
    return true;
  }
  const std::int64_t srcCount = BlockCount(src, block);
  const std::int64_t dstCount = BlockCount(dst, block);
  const std::byte* srcData = src.data + (block - src.firstBlock) * blockSize_;
  const std::byte* dstData = dst.data + (block - dst.firstBlock) * blockSize_;
  if (srcCount != dstCount) {
    NoteBlock(srcData, dstData, srcCount, dstCount, 0, block);
    Finish(FileResult::SizeMismatch);
    return true;
  }
  const auto count = static_cast<std::size_t>(srcCount);
  const std::size_t equal = EqualPrefixLength(srcData, dstData, count);
  if (block == 0 || equal != count) NoteBlock(srcData, dstData, srcCount, dstCount, equal, block);
  outcome_.matchedBytes += static_cast<std::int64_t>(equal);
  outcome_.bytesChecked += srcCount;
  ++blocksCompared_;
  bytesChecked_.store(outcome_.bytesChecked, std::memory_order_relaxed);
  if (equal != count) {
    Finish(FileResult::ContentMismatch);
    return true;
  }
  // A short source block is the source's end.
  if (srcCount != static_cast<std::int64_t>(blockSize_)) {
    Finish(FileResult::Ok);
    return true;
  }
  return false;
}

std::int64_t PairComparison::BlockCount(const Piece& piece, std::int64_t block) const {
  const auto size = static_cast<std::int64_t>(blockSize_);
  return std::clamp<std::int64_t>(piece.count - (block - piece.firstBlock) * size, 0, size);
}

void PairComparison::NoteBlock(const std::byte* src, const std::byte* dst, std::int64_t srcCount,
                               std::int64_t dstCount, std::size_t equal, std::int64_t block) {
  const auto srcBytes = std::span(src, static_cast<std::size_t>(srcCount));
  const auto dstBytes = std::span(dst, static_cast<std::size_t>(dstCount));
  if (srcCount != dstCount) {
    damage_ = ClassifySizeDifference(srcBytes, dstBytes, outcome_.matchedBytes);
  } else if (equal != srcBytes.size()) {
    damage_ = ClassifyDifference({srcBytes, dstBytes, equal, block * static_cast<std::int64_t>(blockSize_),
                                  std::span<const std::byte>(fileStart_)});
  } else if (srcBytes.size() == blockSize_ && blockSize_ >= kFileStartKept) {
    fileStart_.assign(src, src + kFileStartKept);
  }
}

void PairComparison::Finish(FileResult result, std::exception_ptr failure) {
  outcome_.result = result;
  failure_ = std::move(failure);
  decided_.store(true, std::memory_order_release);
}

void PairComparison::Drain(std::vector<std::byte*>& spent) {
  for (Queue& queue : queues_) queue.Drain(spent);
}

}  // namespace ovik
