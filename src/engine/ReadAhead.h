#pragma once

#include "engine/FilePair.h"
#include "engine/ReaderPool.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovik {

// The digest of a file that a reader reads whole, collected once the reader
// is done with it, which may be long after the comparison let go of it.
class PendingDigest {
 public:
  PendingDigest() = default;
  explicit operator bool() const { return stream_ != nullptr; }

  bool Done() const { return stream_->finished.load(); }
  // Once Done:
  bool Opened() const { return stream_->opened; }
  // The entry of a destination that could not be opened.
  const EntryLookup& Lookup() const { return stream_->lookup; }
  // Empty when the file could not be read whole.
  const std::string& Value() const { return stream_->digestValue; }
  // What the reader met that no file could explain, thrown as the
  // comparison would have met it.
  void RethrowFailure() const {
    if (stream_->failure) std::rethrow_exception(stream_->failure);
  }

 private:
  friend class ReadAhead;
  PendingDigest(std::shared_ptr<PairStreams> pair, FileStream& stream) : pair_(std::move(pair)), stream_(&stream) {}

  std::shared_ptr<PairStreams> pair_;
  FileStream* stream_ = nullptr;
};

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
  // and stops when the caller lets go of it. Waits for it ask `hook`. When
  // sources are digested, `sourceDigest` receives the source's.
  std::unique_ptr<FilePair> Take(const std::string& srcPath, const std::string& dstPath, WaitHook& hook,
                                 PendingDigest* sourceDigest = nullptr);

  // From now on every source is read whole, through a digest of its own
  // that `makeDigest` gives, even after the comparison let go of it.
  using DigestMaker = std::function<std::unique_ptr<StreamDigest>()>;
  void DigestSources(DigestMaker makeDigest) { makeSourceDigest_ = std::move(makeDigest); }
  // A destination `relative` below `root` (which no step of it may leave),
  // read whole through `digest` alone: nothing of it goes to a comparison.
  // The readers start on it once the announcing is done; the caller limits
  // how many wait.
  PendingDigest AnnounceDigestOnly(const std::string& root, std::string relative,
                                   std::unique_ptr<StreamDigest> digest);
  // Waits until the digest's reader is done; false when `hook` gave up.
  bool WaitForDigest(const PendingDigest& digest, WaitHook& hook);

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
  DigestMaker makeSourceDigest_;
};

}  // namespace ovik
