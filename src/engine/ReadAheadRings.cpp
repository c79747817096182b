#include "engine/ReadAhead.h"

#include <pthread.h>

#include <cerrno>

namespace ovik {

// The files one ring thread keeps in flight: each is looked at, opened and
// read block by block through AsyncReads, exactly as a reader thread would
// read it with ReadBlock, and closed; what it finds goes to the side as a
// reader thread's would.
class ReadAhead::Ring {
 public:
  Ring(ReadAhead& owner, AsyncReads& io) : owner_(owner), io_(io), flights_(owner.FlightsPerRing()) {}

  void Run() {
    std::vector<AsyncReads::Completion> completions;
    for (;;) {
      const bool stopping = owner_.stopping_.load();
      if (!stopping) StartJobs();
      ResumeParked(stopping);
      if (stopping && busy_ == 0) return;
      owner_.ringsWaiting_.fetch_add(1);
      const bool wait = !MoreToDoNow();
      if (wait) owner_.BeforeReaderWaits();
      completions.clear();
      io_.Collect(completions, wait);
      owner_.ringsWaiting_.fetch_sub(1);
      for (const AsyncReads::Completion& done : completions) Completed(done);
    }
  }

 private:
  enum Kind : std::uint64_t { kLook, kOpen, kRead, kClose, kKinds };

  static std::uint64_t Tag(std::size_t slot, Kind kind) { return slot * kKinds + kind; }

  // True when a job or a parked file could be taken on without waiting.
  bool MoreToDoNow() const {
    if (owner_.stopping_.load()) return false;
    if (busy_ < flights_.size() && owner_.JobWaiting()) return true;
    for (const Flight& flight : flights_)
      if (flight.step == Flight::Step::Parked && (flight.side->pair->released.load() || owner_.MayResume(*flight.side)))
        return true;
    return false;
  }

  void StartJobs() {
    for (std::size_t slot = 0; slot < flights_.size() && busy_ < flights_.size(); ++slot) {
      Flight& flight = flights_[slot];
      if (flight.step != Flight::Step::Free) continue;
      Side* side = owner_.TryNextJob();
      if (side == nullptr) return;
      ++busy_;
      flight = Flight{};
      flight.side = side;
      if (side->pair->released.load()) {
        Finish(slot);
        continue;
      }
      flight.step = Flight::Step::Looking;
      flight.pending = 1;
      io_.LookAt(static_cast<int>(slot), side->path, Tag(slot, kLook));
    }
  }

  void ResumeParked(bool stopping) {
    for (std::size_t slot = 0; slot < flights_.size(); ++slot) {
      Flight& flight = flights_[slot];
      if (flight.step != Flight::Step::Parked) continue;
      if (stopping || flight.side->pair->released.load()) {
        Unpark(flight);
        CloseFile(slot);
      } else if (owner_.MayResume(*flight.side)) {
        Unpark(flight);
        ReadNextBlock(slot);
      }
    }
  }

  void Unpark(Flight& flight) {
    flight.step = Flight::Step::Reading;
    owner_.parkedFlights_.fetch_sub(1);
  }

  void Completed(const AsyncReads::Completion& done) {
    const std::size_t slot = done.tag / kKinds;
    Flight& flight = flights_[slot];
    --flight.pending;
    try {
      switch (static_cast<Kind>(done.tag % kKinds)) {
        case kLook: return LookedAt(slot, done.result);
        case kOpen: return Opened(slot, done.result);
        case kRead: return Read(slot, done.result);
        case kClose: return Finish(slot);
        case kKinds: break;
      }
    } catch (...) {
      flight.side->failure = std::current_exception();
      if (flight.side->openState.load() == 0) flight.side->openState.store(2);
      if (flight.pending == 0) Finish(slot);
    }
  }

  void LookedAt(std::size_t slot, std::int64_t result) {
    Flight& flight = flights_[slot];
    Side& side = *flight.side;
    const FileFacts& facts = io_.Facts(static_cast<int>(slot));
    if (result < 0 || !facts.regular || side.pair->released.load() || owner_.stopping_.load())
      return NotOpened(slot);
    flight.size = facts.size;
    side.id = facts.id;
    side.size = facts.size;
    flight.chunk = owner_.TakeBuffer(side);
    flight.step = Flight::Step::Opening;
    flight.pending = 2;
    io_.OpenAndRead(static_cast<int>(slot), side.path, side.role, flight.chunk.data, owner_.blockSize_,
                    Tag(slot, kOpen), Tag(slot, kRead));
  }

  // The file is no regular file, or cannot be looked at or opened: what a
  // reader thread's open would have found, with the existence test of a
  // destination.
  void NotOpened(std::size_t slot) {
    Side& side = *flights_[slot].side;
    if (side.destination) side.lookup = owner_.fileSystem_.LookUp(side.path);
    side.openState.store(2);
    owner_.WakeEngineIfDue(false);
    if (flights_[slot].pending == 0) Finish(slot);
  }

  void Opened(std::size_t slot, std::int64_t result) {
    Flight& flight = flights_[slot];
    if (result < 0) {
      flight.openFailed = true;
      return NotOpened(slot);
    }
    flight.side->openState.store(1);
    owner_.WakeEngineIfDue(false);
  }

  void Read(std::size_t slot, std::int64_t result) {
    Flight& flight = flights_[slot];
    Side& side = *flight.side;
    if (flight.openFailed) {
      owner_.ReturnBuffer(flight.chunk, false);
      flight.chunk = Chunk{};
      return Finish(slot);
    }
    if (result == -EAGAIN || result == -EINTR) return ReadRest(slot);
    if (result < 0) {
      flight.chunk.count = -1;
      flight.chunk.error = static_cast<int>(-result);
      Publish(side, flight);
      return CloseFile(slot);
    }
    flight.filled += result;
    const auto block = static_cast<std::int64_t>(owner_.blockSize_);
    const bool full = flight.filled == block;
    // A short read that stops at the length the file had is its end;
    // anywhere else the block is filled further, as ReadBlock does.
    const bool atEnd = result == 0 || flight.offset + flight.filled == flight.size;
    if (!full && !atEnd) return ReadRest(slot);
    flight.chunk.count = flight.filled;
    Publish(side, flight);
    if (!full || side.pair->released.load() || owner_.stopping_.load()) return CloseFile(slot);
    flight.offset += block;
    if (owner_.MayFill(side)) return ReadNextBlock(slot);
    flight.step = Flight::Step::Parked;
    owner_.parkedFlights_.fetch_add(1);
  }

  void Publish(Side& side, Flight& flight) {
    const std::uint32_t index = side.produced.load(std::memory_order_relaxed);
    side.chunks[index % kBlocksPerSide] = flight.chunk;
    side.produced.store(index + 1);
    flight.chunk = Chunk{};
    flight.filled = 0;
    owner_.WakeEngineIfDue(false);
  }

  void ReadNextBlock(std::size_t slot) {
    Flight& flight = flights_[slot];
    flight.chunk = owner_.TakeBuffer(*flight.side);
    ReadRest(slot);
  }

  void ReadRest(std::size_t slot) {
    Flight& flight = flights_[slot];
    flight.step = Flight::Step::Reading;
    flight.pending = 1;
    io_.Read(static_cast<int>(slot), flight.chunk.data + flight.filled,
             owner_.blockSize_ - static_cast<std::size_t>(flight.filled), flight.offset + flight.filled,
             Tag(slot, kRead));
  }

  void CloseFile(std::size_t slot) {
    Flight& flight = flights_[slot];
    if (flight.chunk.data != nullptr) {
      owner_.ReturnBuffer(flight.chunk, false);
      flight.chunk = Chunk{};
    }
    flight.step = Flight::Step::Closing;
    flight.pending = 1;
    io_.Close(static_cast<int>(slot), flight.side->role, Tag(slot, kClose));
  }

  void Finish(std::size_t slot) {
    Flight& flight = flights_[slot];
    owner_.FinishSide(*flight.side);
    flight = Flight{};
    --busy_;
  }

  ReadAhead& owner_;
  AsyncReads& io_;
  std::vector<Flight> flights_;
  std::size_t busy_ = 0;
};

// The rings share the pairs ahead: two files each.
std::size_t ReadAhead::FlightsPerRing() const {
  return std::max<std::size_t>(4, 2 * limits_.filesAhead / minRunning_);
}

void ReadAhead::RingLoop(AsyncReads& io) {
  pthread_setname_np(pthread_self(), "ovik-reader");
  Ring(*this, io).Run();
}

// Claims the next published job without waiting for one; null when none is
// published yet.
ReadAhead::Side* ReadAhead::TryNextJob() {
  std::uint32_t ticket = tickets_.load();
  for (;;) {
    Slot& slot = slots_[ticket & (slots_.size() - 1)];
    if (slot.sequence.load() != ticket + 1) return nullptr;
    if (tickets_.compare_exchange_weak(ticket, ticket + 1)) {
      Side* side = slot.side;
      slot.sequence.store(ticket + static_cast<std::uint32_t>(slots_.size()));
      return side;
    }
  }
}

bool ReadAhead::JobWaiting() const {
  const std::uint32_t ticket = tickets_.load();
  return slots_[ticket & (slots_.size() - 1)].sequence.load() == ticket + 1;
}

void ReadAhead::WakeRings() {
  for (auto& ring : rings_) ring->Wake();
}

}  // namespace ovik
