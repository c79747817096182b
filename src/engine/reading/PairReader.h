#pragma once

#include "engine/FileOutcome.h"
#include "engine/reading/PairComparison.h"
#include "platform/files/FileSystem.h"
#include "sums/DigestKind.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovik {

// Takes in the bytes of a file as they are read, off the engine's thread,
// and gives their digest at the end.
class StreamDigest {
 public:
  virtual ~StreamDigest() = default;
  virtual void Update(const std::byte* data, std::size_t size) = 0;
  // The digest of everything taken in, in lower-case hexadecimal.
  virtual std::string Finish() = 0;
  // Once finished: the kind of the digest given, where it computed more
  // than one.
  virtual std::optional<DigestKind> KindGiven() const { return std::nullopt; }
};

// A buffer of `capacity` bytes aligned for reads that bypass the cache;
// freed with std::free.
std::byte* AllocateReadBuffer(std::size_t capacity);

// Where one side of a pair has got to; one reader at a time reads it.
struct SideReading {
  // Shared with whoever asks it to read ahead, so that it stays open
  // while asked.
  std::shared_ptr<ReadableFile> file;
  FileId id;  // of the file opened
  std::int64_t nextBlock = 0;
  bool blockByBlock = false;  // a read of several blocks failed: one at a time from there on
  bool ended = false;         // the end of the file, or a failure
};

// A pair of files to read and compare, or a file to read for its digest
// alone, with everything its readers touch. The engine and the readers
// share it; the engine reads `outcome` once the job is done, and nothing of
// it after it gave up waiting.
struct PairJob {
  PairJob(std::uint64_t serialNumber, std::size_t blockSize) : serial(serialNumber), comparison(blockSize) {}

  const std::uint64_t serial;  // its place in the order the engine takes jobs
  std::string srcPath;
  std::string dstPath;
  // A file read for its digest alone: `dstPath` relative to `root`, which
  // no step of it may leave.
  bool digestOnly = false;
  std::string root;
  ReadRole dstRole = ReadRole::DestinationMedium;
  bool dstListed = false;  // its folder's listing named the destination a regular file
  // Of the source, or of the file read for its digest alone: read whole.
  std::unique_ptr<StreamDigest> digest;

  PairComparison comparison;
  SideReading sides[2];
  FileId srcId;
  std::int64_t planSize = 0;  // the length the reads are planned by
  std::int64_t listedSize = -1;  // of the source, as the walk listed it; -1: not known
  // A source that needs more than one read; set before its destination is
  // handed to another reader.
  bool large = false;
  std::atomic<std::int64_t> bytesRead{0};  // of a file read for its digest alone
  ReadOutcome outcome;

  std::atomic<int> parts{1};           // readers that are or will be at it
  std::atomic<int> waitingForRoom{0};  // its readers waiting for the other side
  // The window's: the outcome is the engine's (set under its lock, and
  // read by the engine without it once true), and, under its lock, the
  // bytes read while the job was ahead of the engine's.
  std::atomic<bool> done{false};
  std::int64_t countedAhead = 0;
  // The pool's, under its lock: the bytes of it counted in one head's rate.
  std::int64_t countedInRate = 0;

  std::int64_t Progress() const {
    return digestOnly ? bytesRead.load(std::memory_order_relaxed) : comparison.BytesChecked();
  }
};

// What a reader of pairs needs of the place it works in: buffers, a second
// reader for the destination of a large file, and leave to read on.
class ReadingPlace {
 public:
  virtual ~ReadingPlace() = default;
  virtual FileSystem& Files() = 0;
  virtual std::size_t BlocksPerRead() const = 0;
  // Told when a read of `side` waits for the device; null: not asked.
  virtual WaitNotice* Waits(PairComparison::Side side) { (void)side; return nullptr; }
  // A buffer for a read of `blocks` blocks, one or BlocksPerRead().
  virtual std::byte* TakeBuffer(std::size_t blocks) = 0;
  virtual void ReturnBuffers(std::vector<std::byte*>& buffers) = 0;
  // Hands the destination of a source that needs more than one read to
  // another reader; false when there is none to take it.
  virtual bool HandOffDestination(const std::shared_ptr<PairJob>& job) { (void)job; return false; }
  // Takes back a side handed off to another reader that no reader has
  // started on.
  virtual bool TakeBackSide(PairJob& job, PairComparison::Side side) { (void)job; (void)side; return false; }
  // Waits while one side, read alone, is too far ahead of the other; false
  // when the reader should stop.
  virtual bool WaitForRoom(PairJob& job, PairComparison::Side side) { (void)job; (void)side; return true; }
  // Asked before every read; false when the reader should stop.
  virtual bool MayRead(PairJob& job) = 0;
  // The comparison may have moved on: a reader waiting for room may go on.
  virtual void Compared(PairJob& job) { (void)job; }
};

// Reads one part of a job: the whole pair (the source, then the
// destination, or the source alone while another reader takes the
// destination of a large file), or a destination handed off. Opens as a
// loop of single blocks would: the source first, then the destination,
// whose existence is looked up when it cannot be opened.
class PairReader {
 public:
  // Blocks of one side read ahead of the other before its reader waits.
  static constexpr std::int64_t kReadsAhead = 4;

  PairReader(ReadingPlace& place, std::size_t blockSize) : place_(place), blockSize_(blockSize) {}

  void ReadPair(const std::shared_ptr<PairJob>& job);
  void ReadHandedOffDestination(PairJob& job);
  void ReadForDigest(PairJob& job);

  // The same in parts, for a reader that opens many pairs before it reads
  // them in the order their data lies: opens as ReadPair does (true when
  // both files are open and their blocks are to be read), reads one side up
  // to `endBlock` or both sides in turn, and finishes the pair, its files
  // closed.
  bool OpenPair(PairJob& job);
  // A pair another reader opened is read by this one: its files tell this
  // reader's place when they wait for the device.
  void TakeOverPair(PairJob& job);
  void ReadStretch(PairJob& job, PairComparison::Side side, std::int64_t endBlock);
  void ReadBoth(PairJob& job) {
    HeldSides both{true, true};
    ReadSides(job, both);
  }
  void FinishPair(PairJob& job);
  // One side of an open pair, read while a reader of the other medium
  // reads the other side; the other side is taken back when nobody has
  // started on it by the time this reader has to wait for it. Each
  // finishes what it read, its files closed.
  void ReadOwnSide(PairJob& job, PairComparison::Side side);
  void ReadApartSide(PairJob& job, PairComparison::Side side);

 private:
  struct HeldSides {
    bool source = false;
    bool destination = false;
  };
  bool OpenSource(PairJob& job);
  bool OpenDestination(PairJob& job);
  // Reads the sides the reader holds until the pair is decided, the sides
  // end or the reader must stop. A side handed off that no reader started
  // on is taken back, and held from then on.
  void ReadSides(PairJob& job, HeldSides& held);
  // Leaves nothing uncompared, reads a source held to its end for its
  // digest, and closes the files held.
  void FinishHeld(PairJob& job, const HeldSides& held);
  Piece ReadPiece(PairJob& job, PairComparison::Side side);
  void TakeInDigest(PairJob& job, const Piece& piece);
  // A source read for its digest goes on to its end once the comparison is
  // decided.
  void ReadSourceToItsEnd(PairJob& job);
  void LeaveNothingUncompared(PairJob& job);
  void Spend();

  ReadingPlace& place_;
  const std::size_t blockSize_;
  std::vector<std::byte*> spent_;
};

// The reader leaves its part of the job; the last one to leave makes the
// outcome the engine's (true).
bool LeaveJob(PairJob& job);

}  // namespace ovik
