#pragma once

#include "engine/notes/DamageClass.h"
#include "engine/FileOutcome.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

namespace ovik {

// Bytes of one side of a pair as one read brought them in: whole blocks
// from `firstBlock` on, a short one only at the end of the file, or a
// failed read of one block.
struct Piece {
  std::byte* data = nullptr;
  std::int64_t firstBlock = 0;
  std::int64_t blocks = 0;  // asked for
  std::int64_t count = 0;   // -1: the read failed with `error`, or threw `failure`
  int error = 0;
  std::exception_ptr failure;

  std::int64_t EndBlock() const { return firstBlock + blocks; }
  bool Failed() const { return count < 0; }
};

// The comparison of one pair, block by block, from the pieces its readers
// bring in, in whatever order the two sides arrive: whoever brings in the
// piece that completes a block of both sides compares it, unless another
// reader is comparing already, who then takes it too. It meets the blocks
// exactly as a loop reading one block of each side at a time would: a
// source block that fails decides before its destination block is looked
// at, a pass whose counts differ is a size mismatch, and the first unequal
// byte decides, its block counted whole; the source's end decides the rest.
class PairComparison {
 public:
  enum Side { kSource = 0, kDestination = 1 };

  explicit PairComparison(std::size_t blockSize) : blockSize_(blockSize) {}
  PairComparison(const PairComparison&) = delete;
  PairComparison& operator=(const PairComparison&) = delete;

  // Both files are open: blocks may be compared from now on.
  void Start(std::vector<std::byte*>& spent);
  // Takes in a piece of one side and, with `compare`, compares what both
  // sides now hold. Buffers nobody needs any more go to `spent`.
  void Add(Side side, Piece piece, std::vector<std::byte*>& spent, bool compare = true);
  // Compares what both sides hold, unless another reader is at it.
  void CompareAvailable(std::vector<std::byte*>& spent);
  // True when a block of both sides waits and nobody compares it.
  bool Comparable() const;
  // Decided before any block: an open failed or threw, or the destination
  // is the source. Nothing once blocks may be compared.
  void Decide(FileResult result, std::vector<std::byte*>& spent, std::exception_ptr failure = nullptr);

  bool Decided() const { return decided_.load(std::memory_order_acquire); }
  // Blocks of `side` read and not yet compared.
  std::int64_t BlocksAhead(Side side) const;
  // Source bytes compared so far; from any thread.
  std::int64_t BytesChecked() const { return bytesChecked_.load(std::memory_order_relaxed); }
  // Once Decided, and every reader has left:
  const CompareOutcome& Outcome() const { return outcome_; }
  std::int64_t BlocksCompared() const { return blocksCompared_; }
  std::exception_ptr Failure() const { return failure_; }
  // What the block that decided a mismatch looks like.
  const Damage& FirstDamage() const { return damage_; }

 private:
  // Pieces of one side read and not yet compared, oldest first. The front
  // one is held in place, so that a pair read in one piece a side
  // allocates nothing for them.
  class Queue {
   public:
    bool Empty() const { return !hasFront_; }
    const Piece& Front() const { return front_; }
    void Push(Piece piece);
    void PopFront();
    // Empties the queue; the buffers of its pieces go to `spent`.
    void Drain(std::vector<std::byte*>& spent);

   private:
    Piece front_;
    bool hasFront_ = false;
    std::vector<Piece> behind_;  // after the front, from `next_` on
    std::size_t next_ = 0;
  };

  // Compares from `block` on over the fronts of both queues, without the
  // lock, until one of them runs out or the file is decided.
  void CompareFronts(const Piece& src, const Piece* dst, std::int64_t& block);
  bool CompareBlock(const Piece& src, const Piece& dst, std::int64_t block);
  std::int64_t BlockCount(const Piece& piece, std::int64_t block) const;
  // Keeps the file's first bytes after its first block compared equal, and
  // classifies the block that decided a mismatch; nothing else is read.
  void NoteBlock(const std::byte* src, const std::byte* dst, std::int64_t srcCount, std::int64_t dstCount,
                 std::size_t equal, std::int64_t block);
  void Finish(FileResult result, std::exception_ptr failure = nullptr);
  // With mutex_ held.
  void Drain(std::vector<std::byte*>& spent);
  void CompareWhileAble(std::unique_lock<std::mutex>& lock, std::vector<std::byte*>& spent);
  // With mutex_ held.
  bool CanStep() const;

  const std::size_t blockSize_;
  mutable std::mutex mutex_;
  Queue queues_[2];
  std::int64_t blocksRead_[2] = {0, 0};
  std::int64_t nextBlock_ = 0;
  bool started_ = false;
  bool comparing_ = false;
  std::atomic<bool> decided_{false};
  std::atomic<std::int64_t> bytesChecked_{0};
  // Written by whoever compares, which the token `comparing_` makes one at a time.
  CompareOutcome outcome_;
  std::int64_t blocksCompared_ = 0;
  std::exception_ptr failure_;
  Damage damage_;
  // Kept once a whole first block is read: most files are smaller, and a
  // job is made for every file.
  std::vector<std::byte> fileStart_;
};

}  // namespace ovik
