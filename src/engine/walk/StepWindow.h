#pragma once

#include "engine/reading/PairReader.h"
#include "engine/walk/Walk.h"
#include "engine/WaitHook.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>

namespace ovik {

// The steps of a walk that lie ahead of the engine, in the walk's order,
// each file's with the job its readers read. The walking thread adds steps
// while there is room; the engine takes them one by one and waits for the
// outcome of each file's job; readers say when a job is done and ask
// before they read a large file ahead of the one the engine waits for.
// Everything here is under one lock; the engine never waits longer than a
// slice without asking its WaitHook.
class StepWindow {
 public:
  struct Entry {
    WalkStep step;
    std::shared_ptr<PairJob> job;  // a file's to read; null for any other step
  };

  // `capacity`: steps ahead of the engine; `bytesAhead`: bytes read of large
  // files ahead of the one the engine waits for; `batch`: jobs done before
  // an engine that waits for a done job is woken.
  StepWindow(std::size_t capacity, std::int64_t bytesAhead, std::size_t batch);

  // Room for more steps, for a walk whose files are read in batches.
  void Widen(std::size_t capacity);
  // The walking thread: waits while the window is full; false once closed.
  bool Add(Entry entry, std::stop_token stop);
  // The same for several: waits while the window is full, then moves in
  // as many of `entries` as fit; how many, 0 once closed.
  std::size_t Add(std::span<Entry> entries, std::stop_token stop);
  // The walk ended; `failure`: what it threw, thrown again to the engine
  // once it has taken every step before.
  void End(std::exception_ptr failure = nullptr);

  // The engine: the next step, or false at the end of the walk or when
  // `hook` gave up.
  bool Take(Entry& entry, WaitHook& hook);
  // Waits for the job's outcome; false when `hook` gave up.
  bool WaitForOutcome(PairJob& job, WaitHook& hook);
  // No more steps are added; a walk that waits for room stops.
  void Close();

  // The readers: the job's outcome is the engine's.
  void Done(PairJob& job);
  // Before a read of `bytes` of a large file: waits while the bytes read
  // ahead of the engine's file are at their bound (`onWait` told around
  // the wait); false when `stop` was asked.
  bool MayReadAhead(PairJob& job, std::int64_t bytes, std::stop_token stop, WaitNotice& onWait);
  // A reader has to wait or found nothing to do: an engine waiting for a
  // job that is done is woken now rather than after a batch.
  void ReaderWaits();
  // Whether the engine waits for a job that is not done.
  bool EngineWaits();

 private:
  // With mutex_ held.
  bool RoomForTheWalk() const;
  void WakeEngineIfItsJobIsDone();

  std::size_t capacity_;
  std::size_t refill_;  // the walk waits until this many steps fit
  const std::int64_t bytesLimit_;
  const std::size_t batch_;

  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::deque<Entry> steps_;
  // Steps the engine took out of the window together, its own; they count
  // as in the window until the engine comes back for more.
  std::deque<Entry> taken_;
  std::size_t takenCount_ = 0;
  bool ended_ = false;
  bool closed_ = false;
  std::exception_ptr failure_;
  bool walkWaits_ = false;
  bool engineWaitsForStep_ = false;

  // The job the engine waits for, and when it is woken for it.
  PairJob* awaited_ = nullptr;
  std::uint64_t jobsDone_ = 0;
  std::uint64_t wakeAtJobsDone_ = 0;
  bool engineWoken_ = false;

  // The engine's file and the bytes read of large files after it.
  std::uint64_t head_ = 0;
  std::int64_t bytesAhead_ = 0;
  std::size_t bytesWaiters_ = 0;
};

}  // namespace ovik
