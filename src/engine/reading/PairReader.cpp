#include "engine/reading/PairReader.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace ovik {

using Side = PairComparison::Side;

std::byte* AllocateReadBuffer(std::size_t capacity) {
  void* memory = std::aligned_alloc(kReadBufferAlignment, capacity);
  if (memory == nullptr) throw std::bad_alloc();
  return static_cast<std::byte*>(memory);
}

void PairReader::ReadPair(const std::shared_ptr<PairJob>& jobRef) {
  PairJob& job = *jobRef;
  if (!place_.MayRead(job)) return;
  if (OpenSource(job)) {
    const auto readSize = static_cast<std::int64_t>(blockSize_ * place_.BlocksPerRead());
    HeldSides held{true, true};
    // The two sides of a file that needs more than one read are read at once.
    if (job.planSize >= readSize && place_.HandOffDestination(jobRef)) {
      held.destination = false;
      ReadSides(job, held);
    } else if (OpenDestination(job)) {
      ReadSides(job, held);
    }
    FinishHeld(job, held);
  }
  Spend();
}

void PairReader::ReadHandedOffDestination(PairJob& job) {
  HeldSides held{false, true};
  if (place_.MayRead(job) && OpenDestination(job)) ReadSides(job, held);
  FinishHeld(job, held);
}

void PairReader::ReadOwnSide(PairJob& job, Side side) {
  HeldSides held{side == PairComparison::kSource, side == PairComparison::kDestination};
  ReadSides(job, held);
  FinishHeld(job, held);
}

// The other medium does not seek: its reads are not asked to tell waits,
// which are the head's to count.
void PairReader::ReadApartSide(PairJob& job, Side side) {
  HeldSides held{side == PairComparison::kSource, side == PairComparison::kDestination};
  if (job.sides[side].file) job.sides[side].file->TellWaits(nullptr);
  ReadSides(job, held);
  FinishHeld(job, held);
}

// Closed here rather than by whoever lets go of the job last, which is
// mostly the engine's thread: it has enough to do.
void PairReader::FinishHeld(PairJob& job, const HeldSides& held) {
  LeaveNothingUncompared(job);
  if (held.source) ReadSourceToItsEnd(job);
  Spend();
  if (held.source) job.sides[PairComparison::kSource].file.reset();
  if (held.destination) job.sides[PairComparison::kDestination].file.reset();
}

void PairReader::ReadForDigest(PairJob& job) {
  if (!place_.MayRead(job)) return;
  SideReading& side = job.sides[PairComparison::kDestination];
  try {
    OpenResult opened = place_.Files().OpenBeneath(job.root, job.dstPath, job.dstRole);
    if (!opened.file) {
      job.outcome.dstLookup = place_.Files().LookUpBeneath(job.root, job.dstPath);
      job.outcome.compared.result = FileResult::DstMissing;
      return;
    }
    job.planSize = opened.size;
    opened.file->TellWaits(place_.Waits(PairComparison::kDestination));
    side.file = std::move(opened.file);
  } catch (...) {
    job.outcome.failure = std::current_exception();
    return;
  }
  while (!side.ended && place_.MayRead(job)) {
    Piece piece = ReadPiece(job, PairComparison::kDestination);
    if (piece.count > 0) {
      job.digest->Update(piece.data, static_cast<std::size_t>(piece.count));
      job.bytesRead.fetch_add(piece.count, std::memory_order_relaxed);
    }
    if (piece.failure) job.outcome.failure = piece.failure;
    else if (side.ended && !piece.Failed()) {
      job.outcome.digest = job.digest->Finish();
      job.outcome.digestKind = job.digest->KindGiven();
    }
    spent_.push_back(piece.data);
    Spend();
  }
  side.file.reset();
}

bool PairReader::OpenPair(PairJob& job) {
  const bool open = place_.MayRead(job) && OpenSource(job) && OpenDestination(job);
  Spend();
  return open;
}

void PairReader::TakeOverPair(PairJob& job) {
  for (const Side side : {PairComparison::kSource, PairComparison::kDestination})
    if (job.sides[side].file) job.sides[side].file->TellWaits(place_.Waits(side));
}

void PairReader::ReadStretch(PairJob& job, Side side, std::int64_t endBlock) {
  SideReading& reading = job.sides[side];
  while (!job.comparison.Decided() && !reading.ended && reading.nextBlock < endBlock && place_.MayRead(job)) {
    Piece piece = ReadPiece(job, side);
    if (side == PairComparison::kSource) TakeInDigest(job, piece);
    job.comparison.Add(side, std::move(piece), spent_);
    Spend();
  }
}

void PairReader::FinishPair(PairJob& job) { FinishHeld(job, HeldSides{true, true}); }

bool PairReader::OpenSource(PairJob& job) {
  OpenResult opened;
  try {
    opened = place_.Files().OpenForRead(job.srcPath, ReadRole::Source);
  } catch (...) {
    job.comparison.Decide(FileResult::SrcReadError, spent_, std::current_exception());
    return false;
  }
  if (!opened.file) {
    job.comparison.Decide(FileResult::SrcReadError, spent_);
    return false;
  }
  job.outcome.srcOpened = true;
  job.outcome.srcSize = opened.size;
  job.srcId = opened.id;
  job.sides[PairComparison::kSource].id = opened.id;
  job.planSize = opened.size;
  opened.file->TellWaits(place_.Waits(PairComparison::kSource));
  job.sides[PairComparison::kSource].file = std::move(opened.file);
  return true;
}

bool PairReader::OpenDestination(PairJob& job) {
  OpenResult opened;
  try {
    opened = job.dstListed ? place_.Files().OpenListedFile(job.dstPath, job.dstRole)
                           : place_.Files().OpenForRead(job.dstPath, job.dstRole);
    if (!opened.file) {
      job.outcome.dstLookup = place_.Files().LookUp(job.dstPath);
      job.comparison.Decide(FileResult::DstMissing, spent_);
      place_.Compared(job);
    return false;
    }
  } catch (...) {
    job.comparison.Decide(FileResult::DstMissing, spent_, std::current_exception());
    place_.Compared(job);
    return false;
  }
  // Reached through a link or a mount back to the source: no copy is there
  // to compare, and the medium may hold nothing of it.
  if (job.srcId != FileId{} && opened.id == job.srcId) {
    job.comparison.Decide(FileResult::DstIsSource, spent_);
    place_.Compared(job);
    return false;
  }
  job.outcome.dstSize = opened.size;
  opened.file->TellWaits(place_.Waits(PairComparison::kDestination));
  job.sides[PairComparison::kDestination].file = std::move(opened.file);
  job.sides[PairComparison::kDestination].id = opened.id;
  job.comparison.Start(spent_);
  place_.Compared(job);
  return true;
}

// A reader of both sides reads the one that is behind, the source first;
// a reader of one side waits when it is too far ahead of the other, or
// takes the other side too when no reader has started on it.
void PairReader::ReadSides(PairJob& job, HeldSides& held) {
  const auto takeBackOtherSide = [&] {
    if (held.source == held.destination) return false;
    const Side other = held.source ? PairComparison::kDestination : PairComparison::kSource;
    if (!place_.TakeBackSide(job, other)) return false;
    if (other == PairComparison::kSource) {
      held.source = true;
    } else {
      held.destination = true;
      // A destination handed off before it was opened; one that fails
      // decides the pair.
      if (!job.sides[PairComparison::kDestination].file) OpenDestination(job);
    }
    return true;
  };
  while (!job.comparison.Decided()) {
    const SideReading& src = job.sides[PairComparison::kSource];
    const SideReading& dst = job.sides[PairComparison::kDestination];
    const bool srcLeft = held.source && !src.ended;
    const bool dstLeft = held.destination && !dst.ended;
    if (!srcLeft && !dstLeft) {
      if (takeBackOtherSide()) continue;
      return;
    }
    const Side side = srcLeft && (!dstLeft || src.nextBlock <= dst.nextBlock) ? PairComparison::kSource
                                                                               : PairComparison::kDestination;
    const bool oneSide = held.source != held.destination;
    if (oneSide &&
        job.comparison.BlocksAhead(side) >= kReadsAhead * static_cast<std::int64_t>(place_.BlocksPerRead())) {
      if (takeBackOtherSide()) continue;
      if (!place_.WaitForRoom(job, side)) return;
      continue;
    }
    if (!place_.MayRead(job)) return;
    Piece piece = ReadPiece(job, side);
    if (side == PairComparison::kSource) TakeInDigest(job, piece);
    // The reader of the side that is ahead waits for this one: it compares,
    // so that the slower side (a source read through a digest) only reads.
    const bool otherWaits = oneSide && job.waitingForRoom.load() != 0;
    job.comparison.Add(side, std::move(piece), spent_, !otherWaits);
    place_.Compared(job);
    Spend();
  }
}

// Enough whole blocks for the rest of the file as planned and one more, so
// that its end is seen without another read; at most one read's worth. A
// read of several blocks that fails is done again block by block, so that
// the failure falls in the same block as for a reader of single blocks.
Piece PairReader::ReadPiece(PairJob& job, Side side) {
  SideReading& reading = job.sides[side];
  const auto blockSize = static_cast<std::int64_t>(blockSize_);
  const std::int64_t offset = reading.nextBlock * blockSize;
  const std::int64_t remaining = std::max<std::int64_t>(job.planSize - offset, 0);
  Piece piece;
  piece.firstBlock = reading.nextBlock;
  piece.blocks = reading.blockByBlock
                     ? 1
                     : std::min<std::int64_t>(remaining / blockSize + 1,
                                              static_cast<std::int64_t>(place_.BlocksPerRead()));
  piece.data = place_.TakeBuffer(static_cast<std::size_t>(piece.blocks));
  try {
    piece.count = reading.file->ReadAt(piece.data, static_cast<std::size_t>(piece.blocks * blockSize), offset,
                                       piece.error);
  } catch (...) {
    piece.count = -1;
    piece.failure = std::current_exception();
  }
  if (piece.Failed() && piece.blocks > 1 && !piece.failure) {
    spent_.push_back(piece.data);
    reading.blockByBlock = true;
    return ReadPiece(job, side);
  }
  if (piece.Failed()) piece.blocks = 1;
  reading.ended = piece.count < piece.blocks * blockSize;
  reading.nextBlock += piece.blocks;
  return piece;
}

void PairReader::TakeInDigest(PairJob& job, const Piece& piece) {
  if (!job.digest) return;
  if (piece.count > 0) job.digest->Update(piece.data, static_cast<std::size_t>(piece.count));
  if (!piece.Failed() && job.sides[PairComparison::kSource].ended) job.outcome.digest = job.digest->Finish();
}

void PairReader::ReadSourceToItsEnd(PairJob& job) {
  SideReading& src = job.sides[PairComparison::kSource];
  if (!job.digest || !src.file) return;
  while (!src.ended && place_.MayRead(job)) {
    Piece piece = ReadPiece(job, PairComparison::kSource);
    TakeInDigest(job, piece);
    if (piece.failure && !job.outcome.failure) job.outcome.failure = piece.failure;
    spent_.push_back(piece.data);
    Spend();
  }
}

// A piece brought in for the other reader to compare may be the last one:
// whoever leaves compares what is there, unless another reader is at it,
// who then takes it too.
void PairReader::LeaveNothingUncompared(PairJob& job) {
  job.comparison.CompareAvailable(spent_);
  place_.Compared(job);
}

void PairReader::Spend() {
  if (!spent_.empty()) place_.ReturnBuffers(spent_);
}

bool LeaveJob(PairJob& job) {
  if (job.parts.fetch_sub(1, std::memory_order_acq_rel) != 1) return false;
  if (job.digestOnly) {
    job.outcome.compared.bytesChecked = job.bytesRead.load(std::memory_order_relaxed);
  } else {
    job.outcome.compared = job.comparison.Outcome();
    job.outcome.blocksCompared = job.comparison.BlocksCompared();
    job.outcome.damage = job.comparison.FirstDamage();
    if (std::exception_ptr failure = job.comparison.Failure()) job.outcome.failure = failure;
  }
  return true;
}

}  // namespace ovik
