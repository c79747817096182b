#pragma once

#include "engine/VerifyEngine.h"
#include "support/FakeClock.h"
#include "support/media/FaultyFileSystem.h"
#include "support/media/MediaVerify.h"
#include "support/RecordingView.h"
#include "support/TempTree.h"

#include <string>

namespace ovik::testing {

// A source and a destination folder in one temporary tree, with an engine
// that reports to a RecordingView, reads through a FaultyFileSystem and
// tells time by a FakeClock.
struct EngineHarness {
  TempTree tree;
  RecordingView view;
  FaultyFileSystem fileSystem;
  FakeClock clock;
  VerifyEngine engine{view, fileSystem, clock};

  EngineHarness() {
    tree.MakeFolder("src");
    tree.MakeFolder("dst");
  }

  std::string Src(const std::string& relative = "") const { return relative.empty() ? tree.Path("src") : tree.Path("src/" + relative); }
  std::string Dst(const std::string& relative = "") const { return relative.empty() ? tree.Path("dst") : tree.Path("dst/" + relative); }

  // The same bytes on both sides.
  void WriteBoth(const std::string& relative, const std::string& bytes) const {
    tree.WriteFile("src/" + relative, bytes);
    tree.WriteFile("dst/" + relative, bytes);
  }

  void Verify() { engine.VerifyCommand(Src(), Dst()); }

  void ReadBy(Reading reading) {
    engine.readAhead = reading != Reading::PlainLoop;
    if (reading == Reading::ThreadsBlockByBlock) engine.readAheadLimits.blocksPerRead = 1;
  }

  const std::string& LabelText(ViewLabel label) const { return view.Label(label).text; }
};

}  // namespace ovik::testing
