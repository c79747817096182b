#pragma once

#include "engine/reading/ReaderPool.h"
#include "engine/walk/StepWindow.h"
#include "engine/walk/Walk.h"

#include <functional>
#include <memory>
#include <thread>

namespace ovik {

// A walk run on a thread of its own, ahead of the engine, into a window of
// steps; the files among them are read by a pool of readers. The engine
// takes the steps from the window in the walk's order. Destroying it
// closes the window and stops the readers; a thread stuck in the kernel is
// left behind, with nothing of the run's in its hands.
class TreeReading {
 public:
  using DigestMaker = std::function<std::unique_ptr<StreamDigest>()>;
  struct Settings {
    ReadAheadLimits limits;
    ReadRole dstRole = ReadRole::DestinationMedium;
    std::size_t blockSize = 0;
    // Whether the files of the walk are read; `makeSourceDigest`: each
    // source is read whole through a digest of its own.
    bool readFiles = false;
    DigestMaker makeSourceDigest;
    // The roots whose media decide how the files are read, and the readers
    // for each medium whatever it is (0: chosen by the medium).
    std::string srcRoot;
    std::string dstRoot;
    std::size_t pinnedReaders = 0;
  };

  TreeReading(FileSystem& fileSystem, std::unique_ptr<Walk> walk, Settings settings);
  ~TreeReading();
  TreeReading(const TreeReading&) = delete;
  TreeReading& operator=(const TreeReading&) = delete;

  StepWindow& Window() { return *window_; }
  // What was found of the media, what was chosen and settled on; empty
  // when no file was read.
  std::string Describe() { return pool_ ? pool_->Describe() : std::string(); }

 private:
  struct Walking;
  class Bunch;
  static void RunWalk(Walking& walking, std::stop_token stop);
  static void ChoosePace(Walking& walking, FileSystem& fileSystem);

  std::shared_ptr<StepWindow> window_;
  std::shared_ptr<ReaderPool> pool_;
  std::shared_ptr<Walking> walking_;
  std::jthread walker_;
};

}  // namespace ovik
