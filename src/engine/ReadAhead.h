#pragma once

#include "engine/FilePair.h"
#include "engine/ReaderPool.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace ovik {

// Reads the files of the walk before the comparison asks for them, so that
// many requests are in flight while the comparison works through the file
// in hand. The files are announced in the order the comparison will take
// them; a pool of readers opens and reads them (ReaderPool). The comparison
// takes each pair in turn as a FilePair and meets the same opens, errors and
// blocks as if it read them itself; it never waits for the readers longer
// than a moment without asking its WaitHook, so that a device that stalls
// leaves the display alive and Abort at hand. Everything here belongs to
// the comparison's thread. Destroying it stops the readers; one stuck in the
// kernel is left behind, with nothing of the run's in its hands.
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
  // and never taken are dropped); a pair that was not announced is read at
  // once, before the others. Its reading goes on while the caller holds it
  // and stops when the caller lets go of it. Waits for it ask `hook`.
  std::unique_ptr<FilePair> Take(const std::string& srcPath, const std::string& dstPath, WaitHook& hook);

 private:
  class TakenPair;

  std::shared_ptr<PairStreams> NewPair(std::string srcPath, std::string dstPath);
  void Release(PairStreams& pair);

  ReadRole dstRole_;
  std::size_t blockSize_;
  ReadAheadLimits limits_;
  std::shared_ptr<ReaderPool> pool_;
  std::deque<std::shared_ptr<PairStreams>> waiting_;  // announced, not yet taken
  std::vector<std::shared_ptr<PairStreams>> toPublish_;
  std::uint64_t nextSerial_ = 0;
};

}  // namespace ovik
