#pragma once

#include "engine/ReaderPool.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovik {

// A file announced to be read for its digest alone, whose outcome the
// engine collects later.
class DigestReading {
 public:
  DigestReading() = default;
  explicit DigestReading(std::shared_ptr<PairJob> job) : job_(std::move(job)) {}

 private:
  friend class ReadAhead;
  std::shared_ptr<PairJob> job_;
};

// Reads the files of the walk before the engine asks for them, so that many
// requests are in flight while the engine works through the file in hand.
// The pairs are announced in the order the engine will take them; a pool
// of readers reads and compares them and hands back one outcome per pair.
// The engine never waits for one longer than a moment without asking its
// WaitHook, so that a device that stalls leaves the display alive and Abort
// at hand, and once it gave up on a pair it touches nothing of it again.
// Everything here belongs to the engine's thread. Destroying it stops the
// readers; one stuck in the kernel is left behind, with nothing of the
// run's in its hands.
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
  // What reading the pair found, once the readers are done with it; the
  // pair announced first when it is this one (pairs announced before it
  // and never taken are dropped), else read at once, before the others.
  // Nothing when `hook` gave up.
  std::optional<ReadOutcome> Take(const std::string& srcPath, const std::string& dstPath, WaitHook& hook);

  // From now on every source is read whole, through a digest of its own
  // that `makeDigest` gives, even after its comparison is decided.
  using DigestMaker = std::function<std::unique_ptr<StreamDigest>()>;
  void DigestSources(DigestMaker makeDigest) { makeSourceDigest_ = std::move(makeDigest); }
  // A file `relative` below `root` (which no step of it may leave), read
  // whole through `digest` alone. The readers start on it once the
  // announcing is done; the caller limits how many wait.
  DigestReading AnnounceDigestOnly(const std::string& root, std::string relative,
                                   std::unique_ptr<StreamDigest> digest);
  // Waits for it; nothing when `hook` gave up.
  std::optional<ReadOutcome> Collect(const DigestReading& reading, WaitHook& hook);

 private:
  std::shared_ptr<PairJob> NewJob();
  std::optional<ReadOutcome> WaitForOutcome(PairJob& job, WaitHook& hook);

  ReadRole dstRole_;
  std::size_t blockSize_;
  ReadAheadLimits limits_;
  std::shared_ptr<ReaderPool> pool_;
  std::deque<std::shared_ptr<PairJob>> waiting_;  // announced, not yet taken
  std::vector<std::shared_ptr<PairJob>> toPublish_;
  std::uint64_t nextSerial_ = 0;
  DigestMaker makeSourceDigest_;
};

}  // namespace ovik
