#include "engine/reading/ReadingPlan.h"

#include <algorithm>

namespace ovik {
namespace {

// Open files left for all but the pairs of a batch.
constexpr std::size_t kOpenFilesKept = 128;

bool MaySeek(const MediumInfo& medium) {
  return medium.kernelSays == MediumKind::Rotational || medium.kernelSays == MediumKind::Unknown;
}

const char* KindText(MediumKind kind) {
  switch (kind) {
    case MediumKind::Rotational: return "rotational";
    case MediumKind::NonRotational: return "not rotational";
    case MediumKind::Memory: return "memory";
    case MediumKind::Unknown: break;
  }
  return "unknown";
}

std::string SideText(const char* side, const MediumInfo& medium) {
  std::string text = std::string(side) + ": " + KindText(medium.kernelSays);
  if (!medium.id.empty()) text += ", device " + medium.id;
  if (!medium.description.empty()) text += " (" + medium.description + ")";
  return text;
}

}  // namespace

ReadingPlan PlanReading(const MediumInfo& source, const MediumInfo& destination, const ReadAheadLimits& limits,
                        std::size_t pinnedReaders, std::size_t openFiles) {
  ReadingPlan plan{source, destination, {}};
  PoolPace& pace = plan.pace;
  pace.pinned = pinnedReaders != 0;
  pace.oneHead = MaySeek(source) || MaySeek(destination);
  pace.threads = pace.pinned ? pinnedReaders : limits.readers;
  pace.oneHeadMost = pace.pinned ? pinnedReaders : kMostReadersOnOneHead;
  // What the kernel says is tried first. Memory alone is not measured, nor
  // a medium nothing is known of (FUSE, network): it stays one head, with
  // as many readers as raise the rate. A disk said to spin (as virtual
  // disks are by default) and one said to be flash try the other way.
  const bool inMemory = source.kernelSays == MediumKind::Memory && destination.kernelSays == MediumKind::Memory;
  const bool unknown = source.kernelSays == MediumKind::Unknown || destination.kernelSays == MediumKind::Unknown;
  pace.measureWay = !pace.pinned && !inMemory && !unknown;
  pace.orderBy = MaySeek(destination) || !MaySeek(source) ? PairComparison::kDestination : PairComparison::kSource;
  pace.inMemory[PairComparison::kSource] = source.kernelSays == MediumKind::Memory;
  pace.inMemory[PairComparison::kDestination] = destination.kernelSays == MediumKind::Memory;
  pace.bothSidesHere = !source.id.empty() && source.id == destination.id;
  const MediumInfo& other = pace.orderBy == PairComparison::kDestination ? source : destination;
  pace.otherSideApart = pace.oneHead && !pace.bothSidesHere && !MaySeek(other);
  // A batch holds both files of each pair open; the rest of the process
  // (folders of the walk, the readers' other files) keeps a good margin.
  const std::size_t batchFits = (openFiles - std::min(openFiles, kOpenFilesKept)) / 4;
  pace.batch = std::clamp<std::size_t>(limits.oneHeadBatch, 1, std::max<std::size_t>(1, batchFits));
  return plan;
}

std::string ReadingPlan::Describe() const {
  std::string text = SideText("source", source) + "\n" + SideText("destination", destination) + "\nreading: ";
  if (!pace.oneHead) return text + "many readers at once" + (pace.measureWay ? ", one head tried" : "");
  text += pace.orderBy == PairComparison::kDestination ? "the destination" : "the source";
  text += " as one head, pairs in the order of its data";
  if (pace.bothSidesHere) text += ", a stretch of sources, then of destinations";
  if (pace.otherSideApart)
    text += pace.orderBy == PairComparison::kDestination ? ", each source read apart at its own pace"
                                                         : ", each destination read apart at its own pace";
  return text;
}

}  // namespace ovik
