#pragma once

#include "engine/FilePair.h"

#include <condition_variable>
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
  std::size_t filesAhead = 32;             // pairs announced and not yet taken
  std::size_t bytesAhead = 64u << 20;      // block buffers filled ahead of the comparison
  std::size_t readers = 32;                // threads, each reading one file at a time
  std::size_t blocksPerFileAhead = 64;     // of one file, even the one being compared
};

// Reads the files of the walk before the comparison asks for them, so that
// many requests are in flight while the comparison works through the file
// in hand. The files are announced in the order the comparison will take
// them; reader threads open each source and destination file, make the
// existence test of a destination that cannot be opened, read their blocks
// exactly as the comparison would and close them. They decide nothing: the
// comparison takes each pair in turn as a FilePair and meets the same
// opens, errors and blocks as if it read them itself. Destroying it stops
// every reader at once and leaves no thread and no open file behind.
class ReadAhead {
 public:
  ReadAhead(FileSystem& fileSystem, ReadRole dstRole, std::size_t blockSize, ReadAheadLimits limits = {});
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // True while another pair may be announced.
  bool HasRoom() const;
  void Announce(const std::string& srcPath, const std::string& dstPath);
  // The pair announced first when it is this one (pairs announced before it
  // and never taken are dropped); null otherwise. Its reading goes on while
  // the caller holds it and stops when the caller lets go of it.
  std::unique_ptr<FilePair> Take(const std::string& srcPath, const std::string& dstPath);

 private:
  struct Chunk {
    std::byte* data;
    std::int64_t count;
    int error;
  };
  struct Side {
    std::string path;
    bool destination = false;
    bool openDone = false;
    bool opened = false;
    FileId id;
    EntryLookup lookup;
    std::deque<Chunk> chunks;
    std::byte* held = nullptr;  // the block the comparison looks at
    bool finished = false;      // no more blocks come
    // What a reader met that the comparison would have met as an exception.
    std::exception_ptr failure;
  };
  struct Pair {
    std::uint64_t serial = 0;
    Side src;
    Side dst;
    bool released = false;
  };
  struct Job {
    std::shared_ptr<Pair> pair;
    Side* side;
  };
  class TakenPair;

  void ReaderLoop();
  void ReadSide(std::unique_lock<std::mutex>& lock, const Job& job);
  void ReadBlocks(std::unique_lock<std::mutex>& lock, const Job& job, ReadableFile& file);
  bool HasRoomFor(const Pair& pair, const Side& side) const;
  std::byte* TakeBuffer();
  void ReturnBuffer(std::byte* buffer);
  void Release(Pair& pair);
  void Drop(Pair& pair);
  void WaitUntilOpened(const Side& side, std::unique_lock<std::mutex>& lock);
  std::int64_t NextBlock(Side& side, const std::byte*& data, int& error);
  void WakeEngine();

  FileSystem& fileSystem_;
  ReadRole dstRole_;
  std::size_t blockSize_;
  ReadAheadLimits limits_;

  mutable std::mutex mutex_;
  std::condition_variable jobsReady_;
  std::condition_variable roomReady_;
  std::condition_variable engineWake_;
  std::deque<Job> jobs_;
  std::deque<std::shared_ptr<Pair>> waiting_;  // announced, not yet taken
  std::uint64_t nextSerial_ = 0;
  std::uint64_t headSerial_ = 0;  // the pair the comparison holds or takes next
  std::size_t bytesAhead_ = 0;
  std::vector<std::byte*> freeBuffers_;
  std::vector<std::byte*> allBuffers_;
  bool holding_ = false;  // the comparison holds a pair
  std::size_t idleReaders_ = 0;
  std::size_t roomWaiters_ = 0;
  bool engineWaiting_ = false;
  bool stopping_ = false;
  std::vector<std::thread> readers_;
};

}  // namespace ovik
