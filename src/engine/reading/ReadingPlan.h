#pragma once

#include "engine/reading/ReaderPool.h"
#include "platform/media/Medium.h"

#include <cstddef>
#include <string>

namespace ovik {

// How the files of a run are read, from what holds each side. What the
// kernel says is a starting point: a disk that seeks, or a medium nothing is
// known of, is read as one head, and as many readers as raise the rate are
// found by measuring; flash and memory are read by many readers at once.
struct ReadingPlan {
  MediumInfo source;
  MediumInfo destination;
  PoolPace pace;

  // What was found of each side and what was chosen, one line each.
  std::string Describe() const;
};

// A one-head medium is tried with up to this many readers.
inline constexpr std::size_t kMostReadersOnOneHead = 4;

// `pinnedReaders`: readers for each medium whatever it is; 0 to choose.
// `openFiles`: files the process may hold open, which bounds a batch.
ReadingPlan PlanReading(const MediumInfo& source, const MediumInfo& destination, const ReadAheadLimits& limits,
                        std::size_t pinnedReaders, std::size_t openFiles);

}  // namespace ovik
