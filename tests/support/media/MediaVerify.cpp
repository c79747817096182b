#include "support/media/MediaVerify.h"

#include "engine/VerifyEngine.h"
#include "support/FakeClock.h"
#include "support/RecordingView.h"

namespace ovik::testing {

const char* ReadingName(Reading reading) {
  switch (reading) {
    case Reading::PlainLoop: return "PlainLoop";
    case Reading::Threads: return "Threads";
    case Reading::ThreadsBlockByBlock: return "ThreadsBlockByBlock";
  }
  return "";
}

VerifyResult VerifyFolders(const std::string& source, const std::string& destination, Reading reading,
                           ReadRole destinationRole) {
  RecordingView view;
  FakeClock clock;
  VerifyEngine engine(view, SystemFileSystem(), clock);
  engine.readAhead = reading != Reading::PlainLoop;
  if (reading == Reading::ThreadsBlockByBlock) engine.readAheadLimits.blocksPerRead = 1;
  engine.destinationReadRole = destinationRole;
  engine.VerifyCommand(source, destination);
  return {view.lines, engine.totals, view.status};
}

std::string CountsText(const VerifyTotals& t) {
  return "files " + std::to_string(t.SrcFileCount) + "/" + std::to_string(t.DstFileCount) + ", folders " +
         std::to_string(t.SrcFolderCount) + "/" + std::to_string(t.DstFolderCount) + ", bytes " +
         std::to_string(t.SrcByteTotal) + "/" + std::to_string(t.DstByteTotal) + ", errors " +
         std::to_string(t.ErrorCount) + " (missing " + std::to_string(t.DstMissingCount) + ", source read " +
         std::to_string(t.SrcReadErrorCount) + ", destination read " + std::to_string(t.DstReadErrorCount) +
         ", mismatches " + std::to_string(t.MismatchCount) + ")";
}

}  // namespace ovik::testing
