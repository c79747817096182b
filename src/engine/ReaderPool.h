#pragma once

#include "platform/files/FileSystem.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <semaphore>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace ovik {

struct ReadAheadLimits {
  std::size_t filesAhead = 128;        // pairs announced and not yet taken
  std::size_t bytesAhead = 64u << 20;  // buffer bytes filled ahead of the pair compared
  std::size_t readers = 32;            // threads, each reading one file at a time
  // Readers at work at once besides those waiting for the device; 0: as
  // many as the machine has processors.
  std::size_t running = 0;
  // Pairs read before a comparison waiting for one is woken, so that each
  // wake-up is worth its cost.
  std::size_t batch = 32;
  // Blocks asked of the file system in one read of a longer file.
  std::size_t blocksPerRead = 10;
};

// Asked between the bounded waits of the comparison for the readers, so
// that the display stays alive; false gives up waiting (the run was
// aborted).
class WaitHook {
 public:
  virtual ~WaitHook() = default;
  virtual bool KeepWaiting() = 0;
};

// Takes in the bytes of a file as they are read, off the comparison's
// thread, and gives their digest at the end.
class StreamDigest {
 public:
  virtual ~StreamDigest() = default;
  virtual void Update(const std::byte* data, std::size_t size) = 0;
  // The digest of everything taken in, in lower-case hexadecimal.
  virtual std::string Finish() = 0;
};

// Bytes of a file as one read brought them in.
struct Chunk {
  std::byte* data = nullptr;
  std::size_t capacity = 0;
  std::int64_t count = 0;  // -1: the read failed with `error`
  int error = 0;
  bool last = false;       // nothing follows: the end of the file, or a failure
  bool budgeted = false;   // counted against the bytes read ahead
};

// One file of a pair: its open and its chunks, from the reader that reads
// it to the comparison, which takes them in order.
struct FileStream {
  static constexpr std::uint32_t kChunks = 8;  // read and not yet taken

  std::string path;
  // When set, `path` is relative to it and may not lead out of it.
  std::string root;
  ReadRole role = ReadRole::Source;
  bool destination = false;
  // The bytes go through `digest` as they are read; with `readWhole` the
  // file is read to its end even after the comparison let go of it.
  std::unique_ptr<StreamDigest> digest;
  bool readWhole = false;
  // Written by the reader before `finished` is set: the digest of the whole
  // file; empty when it could not be read whole.
  std::string digestValue;
  // Written by the reader before `known` is set.
  bool opened = false;
  FileId id;
  std::int64_t size = 0;
  EntryLookup lookup;  // of a destination that could not be opened
  std::exception_ptr failure;
  std::atomic<bool> known{false};  // the open is decided, and its first chunk published

  Chunk chunks[kChunks];
  std::atomic<std::uint32_t> published{0};
  std::atomic<std::uint32_t> taken{0};
  std::atomic<bool> finished{false};   // no more chunks come
  std::atomic<bool> waitsForRoom{false};
  // The reader's end and the comparison's letting go: the second one gives
  // back the chunks nobody took.
  std::atomic<int> endings{0};
};

struct PairStreams {
  std::uint64_t serial = 0;
  FileStream src;
  FileStream dst;
  std::atomic<bool> released{false};  // the comparison is done with it
  std::atomic<int> streamsFinished{0};
};

// Reader threads that open and read the files announced to them, in the
// order announced, as the comparison would: whole blocks, a short one only
// at the end, the existence test of a destination that cannot be opened.
// They decide nothing. Everything a reader touches belongs to the pool,
// which every reader shares, so that a reader stuck in the kernel (a device
// that stalls, a server gone) can be left behind when a run ends: it frees
// nothing of the run's, and what it brings in late goes nowhere.
class ReaderPool : public std::enable_shared_from_this<ReaderPool> {
 public:
  static std::shared_ptr<ReaderPool> Start(FileSystem& fileSystem, std::size_t blockSize,
                                           const ReadAheadLimits& limits);
  ReaderPool(FileSystem& fileSystem, std::size_t blockSize, const ReadAheadLimits& limits);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // The comparison's thread: hands out pairs to read (`urgent`: before all
  // others; a stream finished before it is handed out is not read), tells
  // which pair it compares, waits for a stream, gives back what it took and
  // lets go of pairs.
  void Publish(const std::vector<std::shared_ptr<PairStreams>>& pairs, bool urgent = false);
  void SetHead(std::uint64_t serial);
  // End: the reader is done with the stream (and its digest is known).
  enum class Awaited { Open, Chunk, End };
  // Waits in slices of a twentieth of a second, asking `hook` in between;
  // false when the hook gave up.
  bool WaitFor(FileStream& stream, Awaited what, WaitHook& hook);
  static bool IsReady(const FileStream& stream, Awaited what);
  // The comparison took the stream's chunks up to `taken`.
  void Took(FileStream& stream, std::uint32_t taken);
  void ReturnChunk(const Chunk& chunk);
  void Release(PairStreams& pair);
  // Stops every reader; waits a moment for those that finish their call,
  // and leaves behind any that hangs in the kernel.
  void Stop();

 private:
  // A whole pair, or one stream of it (null: the pair).
  struct Job {
    std::shared_ptr<PairStreams> pair;
    FileStream* stream = nullptr;
  };
  struct Reader {
    std::thread thread;
    std::atomic<bool> exited{false};
    std::binary_semaphore woken{0};
  };
  class ReaderWaits final : public WaitNotice {
   public:
    explicit ReaderWaits(ReaderPool& pool) : pool_(pool) {}
    void WaitStarts() override;
    void WaitEnds() override;

   private:
    ReaderPool& pool_;
  };

  void ReaderLoop(std::stop_token stop, Reader& self);
  bool NextJob(std::stop_token stop, Reader& self, Job& job, bool& running);
  void ReadPair(std::stop_token stop, const std::shared_ptr<PairStreams>& pair);
  // `partnerOf`: the pair whose other stream goes to another reader when
  // this one turns out to need more than one read.
  bool ReadStream(std::stop_token stop, PairStreams& pair, FileStream& stream,
                  const std::shared_ptr<PairStreams>* partnerOf = nullptr);
  std::unique_ptr<ReadableFile> Open(FileStream& stream);
  // With mutex_ held.
  void WakeIdle(std::size_t count);
  void ReadChunks(std::stop_token stop, PairStreams& pair, FileStream& stream, ReadableFile& file);
  std::size_t ReadSize(const FileStream& stream, std::int64_t offset, bool blockByBlock) const;
  bool WaitForRoom(std::stop_token stop, PairStreams& pair, FileStream& stream, std::size_t capacity,
                   bool& budgeted);
  bool HasRoom(const PairStreams& pair, const FileStream& stream, std::size_t capacity, bool resuming) const;
  std::size_t ResumeBudget() const;
  void PublishChunk(FileStream& stream, const Chunk& chunk);
  void Finish(PairStreams& pair, FileStream& stream);
  void ReturnUntaken(FileStream& stream);
  void WakeEngineIfDue();
  // With mutex_ held.
  void RingIfDue(bool readerWaits);
  bool WorthWaking() const;
  void NotifyRoom();

  Chunk TakeBuffer(std::size_t capacity, bool budgeted);
  void ReturnBuffer(const Chunk& chunk);

  FileSystem& fileSystem_;
  const std::size_t blockSize_;
  const std::size_t readSize_;
  const ReadAheadLimits limits_;
  const std::size_t allowedRunning_;
  ReaderWaits waits_{*this};

  std::mutex mutex_;
  std::condition_variable_any roomMade_;
  std::condition_variable_any engineBell_;
  std::condition_variable_any readerExited_;
  std::deque<Job> jobs_;
  std::size_t running_ = 0;  // readers at work, not waiting for the device or for room
  // Readers waiting for work, the one that went idle last on top: it is
  // woken first, while its caches are warm.
  std::vector<Reader*> idle_;
  std::atomic<std::size_t> roomSleepers_{0};
  std::size_t liveReaders_ = 0;

  std::atomic<std::uint64_t> head_{0};  // the pair compared or taken next
  std::atomic<std::size_t> bytesAhead_{0};
  std::atomic<std::uint64_t> pairsDone_{0};

  // The comparison waiting for a stream, and when to wake it.
  std::atomic<bool> engineWaits_{false};
  FileStream* awaited_ = nullptr;
  Awaited awaitedWhat_ = Awaited::Open;
  std::uint64_t wakeAtPairsDone_ = 0;
  bool bellRung_ = false;

  std::mutex buffersMutex_;
  std::vector<std::byte*> freeBlocks_;  // of one block
  std::vector<std::byte*> freeReads_;   // of readSize_
  std::vector<std::byte*> allBuffers_;

  std::stop_source stop_;
  std::vector<std::unique_ptr<Reader>> readers_;
};

}  // namespace ovik
