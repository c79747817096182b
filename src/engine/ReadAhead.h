#pragma once

#include "engine/FilePair.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ovik {

struct ReadAheadLimits {
  std::size_t filesAhead = 32;         // pairs announced and not yet taken
  std::size_t bytesAhead = 64u << 20;  // block buffers filled ahead of the comparison
  std::size_t readers = 32;            // threads, each reading one file at a time
  // Readers at work at once besides those waiting for the device, while
  // few reads wait for it; 0: as many as the machine has processors.
  std::size_t running = 0;
  // Pairs read before a comparison waiting for them is woken, so that each
  // wake-up is worth its cost.
  std::size_t batch = 8;
  // Read through the file system's batched reads where it offers them: one
  // ring per processor keeps many files in flight with few system calls.
  bool batched = true;
};

// Reads the files of the walk before the comparison asks for them, so that
// many requests are in flight while the comparison works through the file
// in hand. The files are announced in the order the comparison will take
// them; reader threads open each source and destination file, make the
// existence test of a destination that cannot be opened, read its blocks
// exactly as the comparison would and close it. They decide nothing: the
// comparison takes each pair in turn as a FilePair and meets the same
// opens, errors and blocks as if it read them itself.
//
// Only as many readers as there are processors work at once, and another
// one starts whenever one waits for the device, so that slow media get
// many requests in flight and cached files few threads. Announcing, taking
// and letting go of pairs belong to the comparison's thread. Destroying it
// stops every reader at once and leaves no thread and no open file behind.
class ReadAhead {
 public:
  ReadAhead(FileSystem& fileSystem, ReadRole dstRole, std::size_t blockSize, ReadAheadLimits limits = {});
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // True while another pair may be announced; `forBatch`: room for a whole
  // batch of pairs.
  bool HasRoom(bool forBatch = false) const;
  // The readers start on what was announced once the announcing is done.
  void Announce(std::string srcPath, std::string dstPath);
  void AnnouncingDone();
  // The pair announced first when it is this one (pairs announced before it
  // and never taken are dropped); null otherwise. Its reading goes on while
  // the caller holds it and stops when the caller lets go of it.
  std::unique_ptr<FilePair> Take(const std::string& srcPath, const std::string& dstPath);

 private:
  static constexpr std::size_t kBlocksPerSide = 32;  // of one file ahead, even the one compared

  struct Chunk {
    std::byte* data = nullptr;
    std::int64_t count = 0;
    int error = 0;
    bool budgeted = false;  // counted in bytesAhead_
  };
  struct Pair;
  struct Side {
    Pair* pair = nullptr;
    std::string path;
    bool destination = false;
    // Written by its reader before `openState` turns non-zero.
    FileId id;
    std::int64_t size = 0;
    EntryLookup lookup;
    std::exception_ptr failure;
    ReadRole role = ReadRole::Source;
    std::atomic<int> openState{0};  // 0 not yet, 1 opened, 2 not opened
    // Blocks, from its reader to the comparison.
    Chunk chunks[kBlocksPerSide];
    std::atomic<std::uint32_t> produced{0};
    std::atomic<std::uint32_t> consumed{0};
    std::atomic<bool> finished{false};  // no more blocks come
    Chunk held;                 // the block the comparison looks at
    // A buffer given with the job for the first block, so that a small file
    // needs nothing from the shared pool.
    std::byte* spare = nullptr;
    // The reader's end and the comparison's letting go: the second one
    // gives back the blocks nobody took.
    std::atomic<int> endings{0};
  };
  struct Pair {
    std::uint64_t serial = 0;
    Side src;
    Side dst;
    std::atomic<bool> released{false};
    std::atomic<int> sidesFinished{0};
  };
  struct Slot {
    std::atomic<std::uint32_t> sequence{0};  // 32 bits: waited on directly
    Side* side = nullptr;
  };
  class TakenPair;
  class ReaderWaits final : public WaitNotice {
   public:
    explicit ReaderWaits(ReadAhead& owner) : owner_(owner) {}
    void WaitStarts() override;
    void WaitEnds() override;

   private:
    ReadAhead& owner_;
  };
  enum class Awaited { Open, Block };

  // One file of a pair in a ring: where it is in the steps of its reading.
  struct Flight {
    enum class Step { Free, Looking, Opening, Reading, Parked, Closing };
    Side* side = nullptr;
    Step step = Step::Free;
    bool openFailed = false;
    Chunk chunk;                // the block being filled
    std::int64_t filled = 0;    // bytes in it so far
    std::int64_t offset = 0;    // where it starts in the file
    std::int64_t size = 0;      // the file's length when it was looked at
    int pending = 0;            // completions still to come
  };
  class Ring;

  // Rings.
  void RingLoop(AsyncReads& io);
  std::size_t FlightsPerRing() const;
  Side* TryNextJob();
  bool JobWaiting() const;
  void WakeRings();

  // Readers.
  void ReaderLoop();
  bool StartWorking();
  Side* NextJob();
  void ReadSide(Side& side);
  std::unique_ptr<ReadableFile> OpenSide(Side& side);
  void ReadBlocks(Side& side, ReadableFile& file);
  bool WaitForRoom(Side& side);
  void FinishSide(Side& side);
  void StopWorking();
  void BeforeReaderWaits();
  void CountRead();

  // The comparison.
  void WaitFor(Side& side, Awaited what);
  bool IsReady(const Side& side, Awaited what) const;
  std::int64_t NextBlock(Side& side, const std::byte*& data, int& error);
  void Release(Pair& pair);
  void LetGo(Side& side);

  std::shared_ptr<Pair> NewPair();

  // Both.
  void WakeEngineIfDue(bool readerWaits);
  Chunk TakeBuffer(Side& side);
  void ReturnBuffer(const Chunk& chunk, bool onEngineThread);
  std::byte* SpareBuffer();
  void ReturnUntaken(Side& side, bool onEngineThread);
  bool MayFill(const Side& side) const;
  bool MayResume(const Side& side) const;
  std::size_t ResumeBudget() const;
  void RoomMade(bool ringsMayResume = true);

  FileSystem& fileSystem_;
  ReadRole dstRole_;
  std::size_t blockSize_;
  ReadAheadLimits limits_;
  std::uint32_t minRunning_;
  std::atomic<std::uint32_t> maxRunning_{0};
  std::atomic<std::uint32_t> reads_{0};
  std::atomic<std::uint32_t> waitedReads_{0};
  ReaderWaits waits_{*this};

  // The comparison's own.
  std::deque<std::shared_ptr<Pair>> waiting_;  // announced, not yet taken
  std::deque<std::shared_ptr<Pair>> published_;  // kept alive until every side is finished
  std::vector<std::shared_ptr<Pair>> freePairs_;  // done with, to be used again
  std::uint64_t nextSerial_ = 0;
  std::uint32_t publishedJobs_ = 0;
  std::vector<Side*> toPublish_;
  std::vector<std::byte*> spares_;

  // Jobs: one slot per side, published in order, claimed by ticket. Every
  // value a thread sleeps on is 32 bits wide, so that it sleeps on that
  // value itself and a wake-up reaches only those who wait for it.
  std::vector<Slot> slots_;
  std::atomic<std::uint32_t> tickets_{0};

  std::atomic<bool> stopping_{false};
  std::atomic<std::uint32_t> running_{0};
  std::atomic<std::uint64_t> headSerial_{0};  // the pair compared or taken next
  std::atomic<std::size_t> bytesAhead_{0};
  std::atomic<std::uint32_t> room_{0};  // changes whenever blocks are given back
  // Readers asleep on room_, on running_ and on a job slot, so that nobody
  // is woken where nobody sleeps.
  std::atomic<int> roomSleepers_{0};
  std::atomic<int> runningSleepers_{0};
  std::atomic<int> slotSleepers_{0};
  std::atomic<std::uint64_t> pairsDone_{0};

  // A comparison waiting for a side, and when to wake it.
  std::atomic<Side*> awaitedSide_{nullptr};
  std::atomic<int> awaitedWhat_{0};
  std::atomic<std::uint64_t> wakeAtPairsDone_{0};
  std::atomic<std::uint32_t> engineBell_{0};
  std::atomic<int> bellCheckers_{0};  // readers looking at the awaited side

  std::mutex buffersMutex_;
  std::vector<std::byte*> freeBuffers_;
  std::vector<std::byte*> allBuffers_;

  std::vector<std::unique_ptr<AsyncReads>> rings_;
  std::atomic<int> ringsWaiting_{0};
  std::atomic<int> parkedFlights_{0};
  std::vector<std::thread> readers_;
};

}  // namespace ovik
